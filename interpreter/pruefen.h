// SPDX-License-Identifier: GPL-3.0-or-later
// --pruefen: checks a command file without running it. Nothing is sent to
// the interface and nothing is written; the findings go to the console.
//
// The check walks the run's own rules on every path the conditions allow:
// the lines in the order the run reads them, the fields a line lacks taken
// over from the line read before, ELSE on every pass, the jumps of
// ENDE_BIS, RUFE and ENDE_UNTERPROGRAMM to where the run jumps. A condition
// whose result it cannot know is followed both ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace taktler::interpreter {

// The abort reports the check predicts.
enum class Abbruchart {
    UnbekanntesKommando,  // "Kommando erkennen: unbekanntes Kommando"
    MotorNichtDefiniert,  // "Motor n. definiert"
    UnbekannterSchalter,  // "Unbekannter Schalter"
    NichtGefunden,        // "FindeUnterprogramm: N. gefunden"
    ZuVieleFelder,        // "FindeUnterprogramm: Zu viele Felder"
    EndeOhneBlock,        // "Strukturstufe: ENDE ohne PRUEFE..."
    ZuTief,               // "Strukturstufe: mehr als 79 Stufen"
    ZeileZuLang,          // "max. Zeilenlaenge zu gross"
};

// A place where a run can end with an abort report.
struct Abbruchstelle {
    // The record (0-based, as the run counts them) the script loop handed
    // to the dispatch last before the abort; -1 when it had none yet.
    std::int32_t satz = -1;
    Abbruchart art = Abbruchart::UnbekanntesKommando;
    bool immer = false;  // every run ends here (reported as an error)
};

struct Pruefbefund {
    int zeile = 0;  // line an editor shows; 0 for the file as a whole
    bool fehler = false;
    std::string text;
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

// The walk gives up beyond this many states (a file that branches that
// much is reported as not checkable, with an error).
constexpr std::size_t kZustandsGrenze = 200'000;

Pruefergebnis PruefeKommandodatei(const std::string& pfad,
                                  std::size_t zustandsGrenze = kZustandsGrenze);

// dateien: the command file and optionally the protocol file (not touched).
// Prints one line per finding, "FILE:LINE: fehler: ..." or
// "FILE:LINE: warnung: ...", then "FILE: N Fehler, M Warnung(en)".
// Gives 12 when there is an error (or a wrong argument count), else 0.
int Pruefen(const std::vector<std::string>& dateien);

}  // namespace taktler::interpreter
