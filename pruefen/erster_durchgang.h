// SPDX-License-Identifier: GPL-3.0-or-later
// The first pass over the whole file, streamed: what the header search and
// the jumps back meet, and the layout of the definitions.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "pruefen/befund.h"
#include "pruefen/quelle.h"

namespace taktler::pruefen {

// ---------------------------------------------------------------------------
// First pass: what the header search and the jumps back meet, streamed over
// the whole file; memory only for the names of the headers.

struct Kopfeintrag {
    std::int32_t satz = 0;    // the header's record
    std::int32_t zeile = 0;   // its editor line
    std::int64_t anfang = 0;  // its byte offset
};

// Names are kept as hashes only; a name is checked against its line when
// it is called. Beyond this many names, the search for others reads the
// file again.
constexpr std::size_t kKoepfe = 100'000;
inline std::uint64_t NamensHash(const std::string& name) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

struct Grenzsatz {
    std::int32_t satz = -1;
    std::int32_t zeile = 0;
    std::size_t laenge = 0;
};

struct Suchindex {
    std::int32_t anzahl = 0;  // records the script loop can read
    Grenzsatz zuLang;         // the record at anzahl, too long for every reader
    Grenzsatz sprung;         // first record too long for GeheZuSatz
    Grenzsatz suche;          // first record too long for the header search
    Grenzsatz zuVieleFelder;  // first line the search refuses
    // The first header line of each name hash before those two lines, up to
    // kKoepfe names; the search for another name reads on from ab.
    std::unordered_map<std::uint64_t, Kopfeintrag> koepfe;
    std::optional<Kopfeintrag> ab;
    // The first UNTERPROGRAMM line (the straight flow ends there) and the
    // last ENDE or ENDE_BIS before it.
    std::int32_t hauptEnde = INT32_MAX;
    std::int32_t letzterSchliesser = -1;
    std::vector<Befund> layout;  // definitions that will not work as they look
};

void BaueSuchindex(Quelle& quelle, Suchindex& index);

}  // namespace taktler::pruefen
