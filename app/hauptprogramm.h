// SPDX-License-Identifier: GPL-3.0-or-later
// The program driver: options, then the check mode, the live panel or a
// plain run on the chosen port.
#pragma once

namespace taktler::app {

int Hauptprogramm(int argc, char** argv);

}  // namespace taktler::app
