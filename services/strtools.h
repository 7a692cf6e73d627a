// SPDX-License-Identifier: GPL-3.0-or-later
// String tools on NUL-terminated byte strings.
#pragma once

#include <array>
#include <cstdint>

namespace taktler::services {

inline constexpr const char* kStrtoolsModul = "STRTOOLS 210100";

// Clears the module's buffer (the field ParseEingabezeile returns).
void StrtoolsZuruecksetzen();

// C-locale upper case in place: only a..z fold, bytes above 127 stay as they
// are, whatever locale the process runs in.
void strGross(char* text);
char Gross(char c);

// Cuts trailing blanks, CR and LF in place; the first character always stays.
void strTrimEnde(char* text);
std::int32_t strTrenneFelder(const char* text, char trenner, char* ergebnis,
                             std::uint32_t kapazitaet);
const char* ParseEingabezeile(const char* zeile, std::int32_t n, char trenner);
std::int32_t strfnd(const char* text, const char* muster);
bool strErsetze(char* text, std::uint32_t kapazitaet, const char* ersatz, const char* suche);
bool strTrim(char* text);
bool IsoliereString(const char* text, std::uint32_t start, std::uint32_t laenge, char* ergebnis,
                    std::uint32_t kapazitaet);

}  // namespace taktler::services
