// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/portwahl.h"

#include <unistd.h>

#include <algorithm>

#include "interface/parallelport.h"
#include "interface/portlog.h"
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

// The search waits no longer for a port in use than this before it lists.
constexpr int kListenFristMs = 500;

// A USB printer adapter shows up as /dev/usb/lpN, not as a parallel port.
std::string UsbHinweis(PortSystem& system) {
    for (int i = 0; i < 8; ++i) {
        const std::string geraet = "/dev/usb/lp" + std::to_string(i);
        if (system.Zugang(geraet, F_OK) == 0) {
            return " (" + geraet +
                   " ist ein USB-Druckeradapter: er kann das Interface nicht ansteuern, es "
                   "braucht einen Parallelport mit Registerzugriff)";
        }
    }
    return "";
}

std::vector<PortEintrag> Registrierte(PortSystem& system, std::string& fehler) {
    std::vector<PortEintrag> ports = FindePorts(system, &fehler, kListenFristMs);
    ports.erase(std::remove_if(ports.begin(), ports.end(),
                               [](const PortEintrag& p) { return !p.registriert; }),
                ports.end());
    return ports;
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
            const std::vector<PortEintrag> ports = Registrierte(system, fehler);
            if (!fehler.empty()) {
                return Fehler(fehler);
            }
            auto an378 = std::find_if(ports.begin(), ports.end(),
                                      [](const PortEintrag& p) { return p.basis == 0x378; });
            name = an378 != ports.end() ? an378->name : ports.empty() ? "" : ports.front().name;
        }
        if (name.empty()) {
            ergebnis.info = kKeinPortInfo + UsbHinweis(system);
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
    std::string fehler;
    std::vector<std::string> zeilen;
    for (const PortEintrag& p : Registrierte(system, fehler)) {
        std::string zeile = p.name + services::Format(" 0x%lx ", p.basis) + Zugriffsart(system, p);
        const std::string halter = Halter(system, p.name);
        if (!halter.empty()) {
            zeile += ", belegt von \"" + halter + "\"";
        }
        zeilen.push_back(zeile);
    }
    if (hinweis != nullptr && zeilen.empty()) {
        *hinweis = !fehler.empty() ? fehler
                                   : "kein Parallelport vom System registriert (Module parport_pc "
                                     "und ppdev laden)" +
                                         UsbHinweis(system);
    }
    return zeilen;
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
