// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the program as far as its output files are concerned: every
// file the program writes is finished (what is left written, then closed)
// and checked on every way the program ends, and a file that lost data is
// never passed over in silence.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace taktler::services {

// Registers how an output is finished at the program's end: write what is
// left, close, and report a failure through Ausgabefehler. Gives the key
// for AusgabeAbmelden (an output closed before the end leaves the list).
std::size_t AusgabeAnmelden(std::function<void()> abschliessen);
void AusgabeAbmelden(std::size_t schluessel);

// An output file lost data. Shows the report, then: during the run the
// program ends at once, through the interrupt path when a signal broke the
// write and with exit code 12 otherwise; while the program is ending, the
// end goes on and its exit code becomes 12.
// As an abort report "Modul: ..., Funktion: ..., Programmabbruch: text":
void Ausgabefehler(std::string_view modul, std::string_view funktion, std::string_view text);
// As one line "taktler: meldung" on standard error (the platform layer's files):
void Ausgabefehler(std::string_view meldung);

// The program has begun to end: output failures from now on are reported
// without ending it a second time.
void EndeBeginnt();
bool EndeLaeuft();
// How many interrupting signals had arrived when the end began, and how
// many of them asked to stop (AbbruchAnzahl).
unsigned SignaleBeimEnde();
unsigned AbbruchBeimEnde();

// Finishes every registered output, newest first, each once. Gives code, or
// 12 when code is 0 and an output failed during the run or its end.
int AusgabenAbschliessen(int code);

// Standard output lost what was written to it (fehler: the system's error
// number): reported like a file, once. A reader that went away (EPIPE with
// SIGPIPE) is no loss: the run ends like a hang-up.
void StandardausgabeVerloren(int fehler);

// Text for standard error went nowhere (it was closed at start): nothing
// can tell it, but a run that ends normally ends with 12.
void FehlerausgabeVerloren();

// Standard output at the end: flushed and checked like the files.
int StandardausgabeAbschliessen(int code);

// Forgets the end and the failures (for tests that run many programs).
void AbschlussZuruecksetzen();

}  // namespace taktler::services
