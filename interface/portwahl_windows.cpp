// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the port on Windows: the LPT ports Windows registered, an address
// named as 0x378, or the simulated interface.
#include <algorithm>

#include "interface/parallelport_windows.h"
#include "interface/portlog.h"
#include "interface/portwahl.h"
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
            // A registered port without the driver is not replaced by the
            // simulator: opening it says what to install.
            const std::vector<PortEintrag> ports = system.Registriert();
            auto an378 = std::find_if(ports.begin(), ports.end(),
                                      [](const PortEintrag& p) { return p.basis == 0x378; });
            name = an378 != ports.end() ? an378->name : ports.empty() ? "" : ports.front().name;
        }
        if (name.empty()) {
            ergebnis.info = kKeinPortInfo;
            ergebnis.port = NeuerSimulator(ergebnis, {});
        } else {
            std::string fehler;
            auto port = ParallelPort::Oeffne(name, fehler, system);
            if (!port) {
                return Fehler(fehler);
            }
            ergebnis.info = port->Startzeile();
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

std::vector<std::string> ListePorts(PortSystem& system, std::string* hinweis) {
    std::vector<std::string> zeilen;
    const std::string treiber = system.LadeTreiber();
    for (const PortEintrag& p : system.Registriert()) {
        zeilen.push_back(p.name + services::Format(" 0x%lx ", p.basis) +
                         (treiber.empty() ? kInpoutDll : "kein Zugriff: " + treiber));
    }
    if (hinweis != nullptr && zeilen.empty()) {
        *hinweis = "kein LPT-Port von Windows registriert (Geraete-Manager, Anschluesse)";
        if (!treiber.empty()) {
            *hinweis += "; " + treiber;
        }
    }
    return zeilen;
}

PortAmEnde::PortAmEnde(GewaehlterPort& wahl) : vorher_(services::Umwelt().ende) {
    services::Umwelt().ende = [&wahl, vorher = vorher_](int code) {
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
