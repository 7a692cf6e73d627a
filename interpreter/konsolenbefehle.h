// SPDX-License-Identifier: GPL-3.0-or-later
// Console, protocol and trace commands: MELDUNG, PAUSE, INFO and the clock texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

bool Meldung(Kommandozeile& kz);
bool Pause(Kommandozeile& kz);
bool Info(Kommandozeile& kz);
const char* Systemzeit();
// Writes the date text of the end line into text (capacity bytes, >= 26).
void datum_undZeit(char* text, std::size_t kapazitaet);

}  // namespace taktler::interpreter
