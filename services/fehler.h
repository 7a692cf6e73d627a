// SPDX-License-Identifier: GPL-3.0-or-later
// The three error reports that every module uses, and the handler for
// exhausted memory. Each composes its line within the buffer size of the
// original product and shows it through the message box seam.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "services/umgebung.h"

namespace taktler::services {

// Buffer sizes, terminator included: a longer line is cut, never overrun.
constexpr std::size_t kAbbruchPuffer = 252;
constexpr std::size_t kWarnungPuffer = 256;

// "Modul: %s, Funktion: %s, Programmabbruch: %s", caption "ABBRUCH", exit 12.
[[noreturn]] void Fehlerabbruch(std::string_view modul, std::string_view funktion,
                                std::string_view text);

// "Modul: %s, Funktion: %s, Warnung: %s", caption "WARNUNG". Returns only
// when the answer is OK; any other answer ends the program with code 12.
void Warnung(std::string_view modul, std::string_view funktion, std::string_view text);

// "Modul: %s, Funktion: %s, Meldung: %s", caption "Meldung"; gives the answer.
Antwort Meldung(std::string_view modul, std::string_view funktion, std::string_view text);

// The line that follows the report of a run's ending (an abort report, the
// emergency stop, a signal) to say where it ended: "FILE:LINE: Lauf endet
// hier: TEXT". The run installs what composes it; "" while the run is at
// no line. Shown once, on standard error.
void SetzeLaufort(std::function<std::string()> ort);
void LaufortMelden();
void LaufortZuruecksetzen();  // for tests that run many programs

// Exhausted memory: the abort report with "OutOfStore" as module, function
// and detail text.
[[noreturn]] void OutOfStore();

// Makes exhausted memory anywhere (a failed new) end through OutOfStore,
// with the output files finished, never through std::terminate: a reserve
// set aside now is given back first, for the report and the end.
void SpeicherwaechterEinrichten();

// Composes one report line as the reports do (exposed for tests).
std::string ZeileZusammensetzen(std::string_view art, std::string_view modul,
                                std::string_view funktion, std::string_view text,
                                std::size_t puffer);

}  // namespace taktler::services
