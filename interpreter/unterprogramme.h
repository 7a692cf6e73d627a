// SPDX-License-Identifier: GPL-3.0-or-later
// Subroutines: RUFE, the header search, ENDE_UNTERPROGRAMM.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datei/datei.h"
#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

bool Rufe(Kommandozeile& kz);
bool Unterprogramm(Kommandozeile& kz);
bool Ende_Unterprogramm(Kommandozeile& kz);
std::int32_t FindeUnterprogramm(datei::DateiADO* datei, const char* name);

// How the header search sees one line for a name.
enum class Kopfzeile { Nein, Treffer, ZuVieleFelder };
// Upper-cases zeile in place and tests it as FindeUnterprogramm does. The
// line must fit the search's buffer (kSuchzeile - 2 characters at most).
Kopfzeile TesteKopfzeile(char* zeile, const char* name);

}  // namespace taktler::interpreter
