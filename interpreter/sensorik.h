// SPDX-License-Identifier: GPL-3.0-or-later
// Switch and analog sensing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

void Schalter(Kommandozeile& kz);
std::int32_t Analog(Kommandozeile& kz);
std::uint8_t AnalogMax(Kommandozeile& kz, std::int32_t wert);
void SchalterInit(Kommandozeile& kz);
void Setze(Kommandozeile& kz);
std::int16_t GibSchalterIndex(Kommandozeile& kz);

}  // namespace taktler::interpreter
