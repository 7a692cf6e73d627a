#include "interface/port.h"

#include "services/umgebung.h"

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

Port& Ziel() {
    Port* port = InstallierterPort();
    return port != nullptr ? *port : DerLeerePort();
}

// Every access of the protocol passes here: the clock counts its cost
// (before the access, so a port that asks the clock sees it) and the
// installed port carries it out.
class Zugriffsseam : public Port {
  public:
    void SchreibeByte(std::uint8_t wert) override {
        services::DieUhr().PortZugriff();
        Ziel().SchreibeByte(wert);
    }
    void SchreibeWort(std::uint16_t wert) override {
        services::DieUhr().PortZugriff();
        Ziel().SchreibeWort(wert);
    }
    std::uint8_t LiesStatus() override {
        services::DieUhr().PortZugriff();
        return Ziel().LiesStatus();
    }
    void Sperren() override { Ziel().Sperren(); }
    void Freigeben() override { Ziel().Freigeben(); }
    void SetzeNotizZiel(std::function<void(const std::string&)> ziel) override {
        Ziel().SetzeNotizZiel(std::move(ziel));
    }
};

}  // namespace

Port& DerPort() {
    static Zugriffsseam seam;
    return seam;
}

void SetzePort(Port* port) {
    InstallierterPort() = port;
}

}  // namespace taktler::interface
