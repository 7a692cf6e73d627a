// SPDX-License-Identifier: GPL-3.0-or-later
// Record positions, marks and blocks of a file object.
#pragma once

#include <cstdint>

#include "datei/datei.h"

namespace taktler::datei {

std::uint8_t SetzeMarke(DateiADO* datei);
std::uint8_t GeheZuMarke(DateiADO* datei);
std::uint8_t IstMarkeErreicht(DateiADO* datei);
void AktualisiereSatz(DateiADO* datei, const char* text);
std::uint8_t SchreibDaten(DateiADO* datei, const void* daten, std::int32_t anzahl);
std::int32_t GibFilePtrPos(DateiADO* datei);
std::uint8_t GeheZuFilePtrPos(DateiADO* datei, std::int32_t position);
// Reads up to gewuenscht bytes into puffer, which must hold that many,
// starting at byte start (negative: at Pos).
std::int32_t LiesBlock(DateiADO* datei, void* puffer, std::int32_t gewuenscht, std::int32_t start);

}  // namespace taktler::datei
