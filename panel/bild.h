// SPDX-License-Identifier: GPL-3.0-or-later
// What the panel shows, as rows of text: built from a snapshot of the
// simulated interface and the interpreter, so that the layout can be checked
// without a terminal.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "panel/ablage.h"

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
    int auswahl = 1;  // the analog input the keys change
    std::int32_t zeilennummer = 0;
    std::string zeilentext;  // raw, as read from the command file
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
extern const char* const kHilfezeileEchterPort;

}  // namespace taktler::panel
