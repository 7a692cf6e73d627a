// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/port.h"

namespace taktler::interface {

namespace {

// Stands in while no port is installed: writes go nowhere, reads give 0,
// as on a machine without the interface attached.
class LeererPort : public Port {
  public:
    void SchreibeByte(std::uint8_t) override {}
    void SchreibeWort(std::uint16_t) override {}
    std::uint8_t LiesStatus() override { return 0; }
    void Sperren() override {}
    void Freigeben() override {}
};

LeererPort& DerLeerePort() {
    static LeererPort port;
    return port;
}

// A seam like the console and the clock, not program state: a test or main
// installs it once and it outlives every reset of the program state.
Port*& InstallierterPort() {
    static Port* port = nullptr;
    return port;
}

}  // namespace

Port& DerPort() {
    Port* port = InstallierterPort();
    return port != nullptr ? *port : DerLeerePort();
}

void SetzePort(Port* port) {
    InstallierterPort() = port;
}

}  // namespace taktler::interface
