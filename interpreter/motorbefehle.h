// SPDX-License-Identifier: GPL-3.0-or-later
// Motor, emergency-stop, sound and trace-level commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

void Einschalten(Kommandozeile& kz);
void Ausschalten(Kommandozeile& kz);
void Nothalt(Kommandozeile& kz);
void Sound(Kommandozeile& kz);
void Tracelevel(Kommandozeile& kz);
void MotorAus();

}  // namespace taktler::interpreter
