// SPDX-License-Identifier: GPL-3.0-or-later
// --pruefen: checks a command file without running it. Nothing is sent to
// the interface and nothing is written; the findings go to the console.
//
// The check walks the run's own rules on every path the conditions allow:
// the lines in the order the run reads them, the fields a line lacks taken
// over from the line read before, ELSE on every pass, the jumps of
// ENDE_BIS, RUFE and ENDE_UNTERPROGRAMM to where the run jumps. A condition
// whose result it cannot know is followed both ways.
//
// The floor's parts: quelle (the bytes and records), zeilen (a line as the
// run sees it), erster_durchgang (the streamed first pass), programmgraph
// (the parts of the file the walk reads), zustand (the abstract state),
// schritt (one step: the transfer function), gang (the walk, taking the
// step as a parameter), befund/befunde (findings), ausgabe (printing).
// The language's rules come from interpreter/sprachregeln.h, shared with
// the run; nothing here reads the run's state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "interpreter/sprachregeln.h"

namespace taktler::pruefen {

using interpreter::Abbruchart;

// A place where a run can end with an abort report.
struct Abbruchstelle {
    // The record (0-based, as the run counts them) the script loop handed
    // to the dispatch last before the abort; -1 when it had none yet.
    std::int32_t satz = -1;
    Abbruchart art = Abbruchart::UnbekanntesKommando;
    bool immer = false;  // every run ends here (reported as an error)
    int zeile = 0;       // the line its finding names
};

struct Pruefbefund {
    int zeile = 0;  // line an editor shows; 0 for the file as a whole
    bool fehler = false;
    std::string text;
    bool abbruch = false;  // a warning ending in " - Abbruch, wenn ...": an error with --streng
    // Found behind an error that every run meets, with that line taken as
    // mended: its line ("fehler (nach Zeile 3)"); 0 for the others.
    int nach = 0;
};

struct Pruefergebnis {
    bool lesbar = true;                // false: one file-level error, nothing else checked
    std::vector<Pruefbefund> befunde;  // in line order
    std::vector<Abbruchstelle> abbrueche;
    // Records (first, last) holding command lines that the check claims no
    // run ever carries out, though runs read them.
    std::vector<std::pair<std::int32_t, std::int32_t>> nieAusgefuehrt;
    std::size_t zustaende = 0;  // states of the run the walk went through
};

// Behind an error that every run meets the check goes on as if that line
// were mended, for at most this many errors in all.
constexpr int kHoechstensFehler = 10;

// The walk gives up beyond this many states, or beyond kZustaendeJeSatz
// per record the file has, up to kZustaendeHoechstens (a file that
// branches that much is reported as not checkable, with an error, naming
// the lines with the most states). Memory stays bounded by the file's size.
constexpr std::size_t kZustandsGrenze = 200'000;
constexpr std::size_t kZustaendeJeSatz = 16;
constexpr std::size_t kZustaendeHoechstens = 2'000'000;
std::size_t Zustandsgrenze(std::int32_t saetze, std::size_t grenze = kZustandsGrenze);

Pruefergebnis PruefeKommandodatei(const std::string& pfad,
                                  std::size_t zustandsGrenze = kZustandsGrenze);

// Every name in dateien is a command file, checked on its own. Prints one
// line per finding, "FILE:LINE: fehler: ..." or "FILE:LINE: warnung: ...",
// then "FILE: N Fehler, M Warnung(en)"; after two or more files one line
// sums them up. streng: a possible abort counts as an error. Gives 12 when
// any file has an error (or none is named), else 0.
int Pruefen(const std::vector<std::string>& dateien, bool streng = false);

}  // namespace taktler::pruefen
