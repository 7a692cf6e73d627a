// SPDX-License-Identifier: GPL-3.0-or-later
// The one parsed-command record of the run and its operations.
#pragma once

#include <array>
#include <cstdint>

#include "interpreter/sprachregeln.h"

namespace taktler::interpreter {

inline constexpr const char* kModul = "TAKTLER 091200";

constexpr std::size_t kKommandoLaenge = 80;
constexpr std::size_t kParameterLaenge = 250;

struct Kommandozeile {
    std::array<char, kKommandoLaenge> Kommando{};
    std::int32_t Zeilennummer = 0;
    std::array<char, kParameterLaenge> Parameter1{};
    std::array<char, kParameterLaenge> Parameter2{};
    std::array<char, kParameterLaenge> Parameter3{};
    std::array<char, kParameterLaenge> Parameter4{};
    std::array<char, kParameterLaenge> Protokolldateiname{};
    std::int32_t Stufe = 0;
    std::array<std::uint8_t, kMaxStufen> Ausfuehren{};
};

// Copies a C string into a fixed field, cut to what the field holds: a
// keyword longer than 79 or a field longer than 249 characters is cut.
template <std::size_t N>
void Kopiere(std::array<char, N>& ziel, const char* quelle) {
    std::size_t i = 0;
    for (; i + 1 < N && quelle[i] != '\0'; ++i) {
        ziel[i] = quelle[i];
    }
    ziel[i] = '\0';
}

// The standard text-to-integer reading of a number in a command line:
// leading white space, optional sign, digits up to the first other
// character, 0 without digits. Values beyond 32 bits saturate.
std::int32_t ZahlAusText(const char* text);

Kommandozeile* KommandozeileCreate();
Kommandozeile* KommandozeileDispose(Kommandozeile* zeile);
// Upper-cases the line in place and ends each field with a NUL.
bool ParseKommandozeile(char* zeile, Kommandozeile* kz);
std::int32_t GibKommando(const Kommandozeile* kz);
std::int32_t GibBedingung(const Kommandozeile* kz);
bool KommandozeileSetzeProtokolldatei(Kommandozeile* kz, const char* name);

}  // namespace taktler::interpreter
