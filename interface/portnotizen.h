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
    // The analog value counts reads: this is its scale on this machine.
    void Messfenster(int lesungen, std::uint64_t dauerUs) const;

  private:
    std::function<void(const std::string&)> ziel_;
    bool stoerungGemeldet_ = false;
};

}  // namespace taktler::interface
