// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the port, the same on every platform: the simulator, a real port
// through the platform's seam, and the port log around either.
#include "interface/portwahl.h"

#include "interface/portlog.h"
#include "interface/portwahl_plattform.h"
#include "interface/szenario.h"
#include "services/umgebung.h"

namespace taktler::interface {

const char* const kKeinPortInfo = "Kein Parallelport gefunden, simuliertes Interface wird benutzt";

namespace {

GewaehlterPort Fehler(std::string text) {
    GewaehlterPort ergebnis;
    ergebnis.fehler = std::move(text);
    return ergebnis;
}

std::unique_ptr<Port> NeuerSimulator(GewaehlterPort& ergebnis, std::vector<Ereignis> szenario) {
    auto simulator = std::make_unique<Simulator>(std::move(szenario));
    ergebnis.simulator = simulator.get();
    return simulator;
}

}  // namespace

GewaehlterPort OeffnePort(const PortOptionen& optionen, PortSystem& system) {
    GewaehlterPort ergebnis;
    const bool simGewuenscht = optionen.name == "sim" || !optionen.simDatei.empty();
    if (!optionen.simDatei.empty() && optionen.name != "sim" && optionen.name != "auto") {
        return Fehler("--sim=" + optionen.simDatei + " passt nicht zu --port=" + optionen.name +
                      ": das Szenario gilt nur fuer das simulierte Interface");
    }

    if (simGewuenscht) {
        std::vector<Ereignis> szenario;
        if (!optionen.simDatei.empty()) {
            SzenarioErgebnis geladen = LadeSzenario(optionen.simDatei);
            if (!geladen.Ok()) {
                return Fehler(geladen.fehler);
            }
            szenario = std::move(geladen.ereignisse);
        }
        ergebnis.port = NeuerSimulator(ergebnis, std::move(szenario));
    } else {
        std::string name = optionen.name;
        if (name == "auto") {
            std::string fehler;
            name = portwahl::AutoName(system, fehler);
            if (!fehler.empty()) {
                return Fehler(fehler);
            }
        }
        if (name.empty()) {
            ergebnis.info = portwahl::KeinPortInfo(system);
            ergebnis.port = NeuerSimulator(ergebnis, {});
        } else {
            std::string fehler;
            auto port = portwahl::OeffneEcht(name, system, fehler, ergebnis.info);
            if (!port) {
                return Fehler(fehler);
            }
            ergebnis.port = std::move(port);
        }
    }

    if (!optionen.logDatei.empty()) {
        std::string fehler;
        auto log = PortLog::Oeffne(std::move(ergebnis.port), optionen.logDatei, fehler);
        if (!log) {
            return Fehler(fehler);
        }
        ergebnis.port = std::move(log);
    }
    return ergebnis;
}

PortAmEnde::PortAmEnde(GewaehlterPort& wahl) : vorher_(services::Umwelt().ende) {
    services::Umwelt().ende = [&wahl, vorher = vorher_](int code) {
        // The simulator holds nothing of the machine; its log the ending
        // finishes anyway.
        if (wahl.simulator == nullptr && wahl.port) {
            SetzePort(nullptr);
            wahl.port.reset();
        }
        if (vorher) {
            vorher(code);
        }
    };
}

PortAmEnde::~PortAmEnde() {
    services::Umwelt().ende = vorher_;
}

}  // namespace taktler::interface
