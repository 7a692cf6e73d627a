// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the port on POSIX: the parallel ports libieee1284 finds.
#include <unistd.h>

#include <algorithm>

#include "interface/parallelport.h"
#include "interface/portwahl.h"
#include "interface/portwahl_plattform.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

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

}  // namespace

namespace portwahl {

std::string AutoName(PortSystem& system, std::string& fehler) {
    return AutoWahl(Registrierte(system, fehler));
}

std::string KeinPortInfo(PortSystem& system) {
    return kKeinPortInfo + UsbHinweis(system);
}

std::unique_ptr<Port> OeffneEcht(const std::string& name, PortSystem& system, std::string& fehler,
                                 std::string& info) {
    return OeffneMitStartzeile<ParallelPort>(name, system, fehler, info);
}

}  // namespace portwahl

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

}  // namespace taktler::interface
