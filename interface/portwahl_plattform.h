// SPDX-License-Identifier: GPL-3.0-or-later
// What choosing a port needs of the platform's real port, given by
// portwahl_posix.cpp or portwahl_windows.cpp, whichever the build uses.
#pragma once

#include <memory>
#include <string>

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

}  // namespace taktler::interface::portwahl
