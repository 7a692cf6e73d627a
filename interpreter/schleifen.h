// SPDX-License-Identifier: GPL-3.0-or-later
// Loops and wait conditions: BIS ... ENDE_BIS and the jump back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datei/datei.h"
#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

std::uint8_t Bis(Kommandozeile& kz);
std::uint8_t Bis_Bedingung(Kommandozeile& kz);
void Ende_Bis(Kommandozeile& kz);
std::int32_t GeheZuSatz(datei::DateiADO* datei, std::int32_t n);

}  // namespace taktler::interpreter
