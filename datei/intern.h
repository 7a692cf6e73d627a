// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the source files of the file module.
#pragma once

#include <string>
#include <string_view>

#include "datei/datei.h"
#include "services/fehler.h"
#include "services/trace.h"

namespace taktler::datei::intern {

[[noreturn]] inline void Abbruch(const char* funktion, std::string_view text) {
    services::Fehlerabbruch(kModul, funktion, text);
}

inline void Warne(const char* funktion, std::string_view text) {
    services::Warnung(kModul, funktion, text);
}

// Validity check of every operation on a present object.
inline void Pruefe(const DateiADO* datei, const char* funktion) {
    if (datei == nullptr || datei->Vorhanden != 1) {
        Abbruch(funktion, "DateiADO n.vorhanden");
    }
}

// The system's text for an error number; callers save errno right after
// the failing call, before anything else can change it.
std::string Systemtext(int fehler);

// Puts the object into append mode for SchreibSatz and SchreibDaten: opens
// a missing stream, and reopens one open in another mode. Gives the open's
// success byte.
std::uint8_t ZumAnhaengen(DateiADO* datei);

// Stream offset as the 32-bit value the object keeps.
std::int32_t Offset(std::FILE* strom);

}  // namespace taktler::datei::intern
