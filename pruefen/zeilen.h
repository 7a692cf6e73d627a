// SPDX-License-Identifier: GPL-3.0-or-later
// How the run sees one line: the parse, the header test; and the texts of
// the findings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "interpreter/sprachregeln.h"

namespace taktler::pruefen {

using namespace interpreter;

// A line as the script loop parses it.
struct Zerlegt {
    std::int32_t code = kKommentar;
    std::string kommando;
    std::array<bool, 3> hat{};  // the line itself has the field
    std::array<std::string, 3> feld;
};

Zerlegt Zerlege(const std::string& text);
Kopfsicht SieheKopf(const std::string& text);
// Control bytes would garble the finding line.
std::string Zeigbar(const std::string& text);
// Optional sign and decimal digits, nothing else.
bool IstZahl(const std::string& text);
// Edits (insert, delete, change, swap of neighbours) from a to b.
std::size_t Abstand(const std::string& a, const std::string& b);
// The word with " (meinten Sie X?)" when X is the one nearest of the
// names, within two edits.
template <typename Namen>
std::string MitVorschlag(const std::string& wort, const Namen& namen) {
    const char* bester = nullptr;
    std::size_t abstand = 3;
    bool eindeutig = false;
    for (const char* name : namen) {
        const std::size_t n = Abstand(wort, name);
        if (n < abstand) {
            bester = name;
            abstand = n;
            eindeutig = true;
        } else if (n == abstand) {
            eindeutig = false;
        }
    }
    if (bester == nullptr || !eindeutig || abstand == 0 || wort.size() < 2) {
        return wort;
    }
    return wort + " (meinten Sie " + bester + "?)";
}

// The keywords a mistyped one may have meant.
const std::vector<const char*>& Schluesselwoerter();
// What the first word of a BIS may be.
const std::vector<const char*>& Bedingungswoerter();
bool IstRegulaer(const std::string& pfad);
bool Existiert(const std::string& pfad);

}  // namespace taktler::pruefen
