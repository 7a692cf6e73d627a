// SPDX-License-Identifier: GPL-3.0-or-later
// The live panel: the command file runs as usual while a full-screen view
// shows the motors, switches, analog inputs, the running line and the
// console. On the simulated interface the keys act on the model; on a real
// port the view shows what the interface reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface/portwahl.h"
#include "interface/simulator.h"
#include "panel/bildschirm.h"

namespace taktler::panel {

// What --panel needs, checked before the port is opened: a usable
// terminal. Gives the reason when the panel cannot run, else "".
std::string PanelVorbereiten(interface::PortOptionen& port);

// Runs the command file (dateien as for Programmlauf) with the panel on the
// terminal. The run, its port traffic, protocol file and exit code are those
// of a run without the panel; what it printed reaches standard output and
// standard error once the panel has closed.
// simulator: the model in use, or null on a real port. haltZeilen: the
// breakpoints to start with (editor lines); a run held before a line can be
// stepped from the keys.
int PanelLauf(interface::Simulator* simulator, const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen = {});

// The same on a given screen.
int PanelLauf(Bildschirm& schirm, interface::Simulator* simulator,
              const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen = {});

}  // namespace taktler::panel
