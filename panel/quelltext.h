// SPDX-License-Identifier: GPL-3.0-or-later
// The command file as an editor shows it, for the panel's source view: read
// once at the start, split into editor lines, never the run's own reading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace taktler::panel {

class Quelltext {
  public:
    // Reads a regular file of at most kMaxBytes; anything else (a pipe the
    // run reads, a device) stays unread and the view shows only the running
    // line. Gives false then.
    bool Laden(const std::string& pfad);
    // Splits bytes as an editor does: LF, and CR not followed by LF, end a
    // line; a UTF-8 byte-order mark at the start is no part of line 1.
    void Setze(const std::string& bytes);

    std::int32_t Anzahl() const { return static_cast<std::int32_t>(zeilen_.size()); }
    // Editor line n (1..Anzahl) as raw bytes, without its line end.
    const std::string& Zeile(std::int32_t n) const {
        return zeilen_[static_cast<std::size_t>(n - 1)];
    }

    static constexpr std::size_t kMaxBytes = std::size_t{16} << 20;

  private:
    std::vector<std::string> zeilen_;
};

}  // namespace taktler::panel
