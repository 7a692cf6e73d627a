// SPDX-License-Identifier: GPL-3.0-or-later
// Copy, rename and file dates of a file object.
#pragma once

#include <cstdint>

#include "datei/datei.h"

namespace taktler::datei {

std::uint8_t KopiereDaten(DateiADO* ziel, DateiADO* quelle);
std::uint8_t ErgaenzeDaten(DateiADO* ziel, DateiADO* quelle);
std::uint8_t KopiereBlockweise(DateiADO* ziel, DateiADO* quelle);
std::uint8_t Rename(DateiADO* datei, const char* neuerPfad);
std::uint8_t Destroy(DateiADO* datei);
std::int32_t GibGroesse(DateiADO* datei);
std::int32_t NichtGeaendertSeitXSekunden(DateiADO* datei);
std::int32_t NichtGeaendertSeitXMinuten(DateiADO* datei);
const char* DatumLetzterLesezugriff(DateiADO* datei);
const char* DatumLetzteAenderung(DateiADO* datei);
const char* DatumAnlage(DateiADO* datei);

}  // namespace taktler::datei
