// SPDX-License-Identifier: GPL-3.0-or-later
// What the panel shows, as rows of text: built from a snapshot of the
// simulated interface and the interpreter, so that the layout can be checked
// without a terminal.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "panel/ablage.h"
#include "panel/quelltext.h"

namespace taktler::panel {

constexpr int kMindestBreite = 80;
constexpr int kMindestHoehe = 24;

struct Momentaufnahme {
    std::string kommandodatei;
    // Latched motor states as the interface names them ('L', 'R', 'N') and
    // milliseconds in that state.
    std::array<char, 4> motoren{'N', 'N', 'N', 'N'};
    std::array<std::uint64_t, 4> dauerMs{};
    std::array<bool, 8> schalter{};
    std::array<int, 2> analog{};
    int auswahl = 1;               // the analog input the keys change
    std::int32_t editorzeile = 0;  // of the running line, 0 before the first
    std::string zeilentext;        // raw, as read from the command file
    // The source view: the file as an editor shows it (null: not readable,
    // only the running line is shown), the breakpoints and, while the run
    // is held, the line the source cursor is on.
    const Quelltext* quelle = nullptr;
    std::set<std::int32_t> haltepunkte;
    bool gehalten = false;
    std::int32_t cursor = 0;
    int tempoMs = 0;      // the pause after each line
    std::string hinweis;  // a note of the panel's own, such as a refused breakpoint
    std::int32_t stufe = 0;
    std::int32_t tracelevel = 0;
    bool nothalt = false;
    int nothaltSchalter = 0;  // 1..8 when armed
    bool wartet = false;      // the run waits for a typed answer
    std::string eingabe;      // what is typed so far
    std::string schluss;      // set once the run has ended: the closing note
    bool echterPort = false;  // inputs come from the interface; their keys do nothing
};

enum class Stil { Normal, Titel, Trenner, Aktiv, Hinweis };

struct Bildzeile {
    std::string text;  // UTF-8, at most breite columns
    Stil stil = Stil::Normal;
};

struct Bild {
    std::vector<Bildzeile> zeilen;  // exactly hoehe rows
    int cursorZeile = -1;           // -1: no cursor shown
    int cursorSpalte = 0;
};

// "<<< LINKS (R)", "RECHTS (L) >>>" or "aus", 14 columns: the state named
// as the command file switches it, the interface's letter beside it (the
// names the timing diagram's GTKWave filter uses too).
std::string Motoranzeige(char zustand);

// The whole screen. A screen below the minimum size gets only a note.
Bild Zeichne(const Momentaufnahme& m, const Ablage& ablage, int breite, int hoehe);

extern const char* const kHilfezeile;
extern const char* const kHilfezeileGehalten;
extern const char* const kHilfezeileEchterPort;

// "0 s", "0.3 s", "1 s".
std::string Tempotext(int ms);

// Rows of the source view: the window of zeilen lines around the running
// line (or the cursor, once it leaves that window), each "*" for a breakpoint, the editor line
// number, ">" on the running line, and the text cut to breite columns.
std::vector<Bildzeile> Quellansicht(const Momentaufnahme& m, int zeilen, std::size_t breite);

}  // namespace taktler::panel
