// SPDX-License-Identifier: GPL-3.0-or-later
// What a real port tells the notes, the same on every platform: a fault
// once, and each measurement window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace taktler::interface {

class PortNotizen {
  public:
    void SetzeZiel(std::function<void(const std::string&)> ziel) { ziel_ = std::move(ziel); }
    void Notiz(const std::string& text) const;
    // The fault of the named port as the caller reports it, noted the first
    // time; empty when stoerung is.
    std::string Stoerung(const std::string& name, const std::string& stoerung);
    // The measurement window from Sperren to Freigeben. The analog value
    // counts reads: the note of each window is its scale on this machine.
    bool FensterOffen() const { return fensterOffen_; }
    void FensterOeffnen(std::uint64_t jetztUs);
    // A status read, counted while the window is open.
    void Gelesen();
    // Closes the window as of endeUs and notes its reads and length.
    void FensterSchliessen(std::uint64_t endeUs);

  private:
    std::function<void(const std::string&)> ziel_;
    bool stoerungGemeldet_ = false;
    bool fensterOffen_ = false;
    std::uint64_t fensterStartUs_ = 0;
    int fensterLesungen_ = 0;
};

}  // namespace taktler::interface
