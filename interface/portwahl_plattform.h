// SPDX-License-Identifier: GPL-3.0-or-later
// What choosing a port needs of the platform's real port, given by
// portwahl_posix.cpp or portwahl_windows.cpp, whichever the build uses.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/portwahl.h"

namespace taktler::interface::portwahl {

// The port auto takes: the one at 0x378 first, else the first registered;
// empty when there is none. fehler is set when the search itself failed.
std::string AutoName(PortSystem& system, std::string& fehler);

// The info line when auto found no port.
std::string KeinPortInfo(PortSystem& system);

// Opens the named real port, info its start line; null with fehler set
// when it cannot be opened.
std::unique_ptr<Port> OeffneEcht(const std::string& name, PortSystem& system, std::string& fehler,
                                 std::string& info);

// auto's choice among the registered ports, for either platform's entries.
template <typename Eintrag>
std::string AutoWahl(const std::vector<Eintrag>& ports) {
    auto an378 =
        std::find_if(ports.begin(), ports.end(), [](const Eintrag& p) { return p.basis == 0x378; });
    return an378 != ports.end() ? an378->name : ports.empty() ? "" : ports.front().name;
}

// OeffneEcht for either platform's real port.
template <typename Echt, typename System>
std::unique_ptr<Port> OeffneMitStartzeile(const std::string& name, System& system,
                                          std::string& fehler, std::string& info) {
    auto port = Echt::Oeffne(name, fehler, system);
    if (port) {
        info = port->Startzeile();
    }
    return port;
}

}  // namespace taktler::interface::portwahl
