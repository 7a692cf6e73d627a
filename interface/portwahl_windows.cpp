// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the port on Windows: the LPT ports Windows registered, or an
// address named as 0x378.
#include "interface/parallelport_windows.h"
#include "interface/portwahl.h"
#include "interface/portwahl_plattform.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace portwahl {

// A registered port without the driver is not replaced by the simulator:
// opening it says what to install.
std::string AutoName(PortSystem& system, std::string& fehler) {
    (void)fehler;
    return AutoWahl(system.Registriert());
}

std::string KeinPortInfo(PortSystem& system) {
    (void)system;
    return kKeinPortInfo;
}

std::unique_ptr<Port> OeffneEcht(const std::string& name, PortSystem& system, std::string& fehler,
                                 std::string& info) {
    return OeffneMitStartzeile<ParallelPort>(name, system, fehler, info);
}

}  // namespace portwahl

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

}  // namespace taktler::interface
