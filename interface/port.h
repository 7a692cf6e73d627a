// SPDX-License-Identifier: GPL-3.0-or-later
// The seam between the wire protocol and whatever carries it: a real
// parallel port, the simulated interface, or a test's recording port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace taktler::interface {

constexpr std::uint16_t kDatenregister = 0x378;
constexpr std::uint16_t kStatusregister = 0x379;

class Port {
  public:
    virtual ~Port() = default;
    // One byte to the data register.
    virtual void SchreibeByte(std::uint8_t wert) = 0;
    // One 16-bit word at the data register's address (analog trigger writes).
    virtual void SchreibeWort(std::uint16_t wert) = 0;
    // One byte from the status register.
    virtual std::uint8_t LiesStatus() = 0;
    // Hold off interruptions for one analog measurement, and allow them again.
    virtual void Sperren() = 0;
    virtual void Freigeben() = 0;
    // Where a port that models the device reports what it did ("# ..." lines
    // of the port log). Ports without such notes ignore it.
    virtual void SetzeNotizZiel(std::function<void(const std::string&)> ziel) { (void)ziel; }
    // Why the port no longer works, naming it, or "" while it works. Asked
    // after every exchange; a real port looks at the system here.
    virtual std::string Stoerung() { return {}; }
};

// The port all exchanges use. Null until one is installed; the protocol
// then talks to a port that ignores writes and reads 0.
Port& DerPort();
void SetzePort(Port* port);

}  // namespace taktler::interface
