#include "interface/portwahl.h"

#include <algorithm>

#include "interface/portlog.h"
#include "interface/szenario.h"

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
    } else if (optionen.name == "auto") {
        std::string fehler;
        auto ports = FindePorts(system, &fehler);
        if (!fehler.empty()) {
            return Fehler(fehler);
        }
        auto geraet = std::find_if(ports.begin(), ports.end(),
                                   [](const PortEintrag& p) { return p.eigenesGeraet; });
        if (geraet != ports.end()) {
            auto port = ParallelPort::Oeffne(geraet->name, fehler, system);
            if (!port) {
                return Fehler(fehler);
            }
            ergebnis.port = std::move(port);
        } else {
            for (const auto& vermutet : ports) {
                ergebnis.port = ParallelPort::Oeffne(vermutet.name, fehler, system, true);
                if (ergebnis.port) {
                    break;
                }
            }
            if (!ergebnis.port) {
                ergebnis.info = kKeinPortInfo;
                ergebnis.port = NeuerSimulator(ergebnis, {});
            }
        }
    } else {
        std::string fehler;
        auto port = ParallelPort::Oeffne(optionen.name, fehler, system);
        if (!port) {
            return Fehler(fehler);
        }
        ergebnis.port = std::move(port);
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

std::vector<std::string> ListePorts(PortSystem& system) {
    std::vector<std::string> namen;
    for (const auto& port : FindePorts(system)) {
        namen.push_back(port.name);
    }
    return namen;
}

}  // namespace taktler::interface
