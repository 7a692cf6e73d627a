// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the command language, kept once for the run and for the
// check: a row of properties per command, the level rules of the dispatch,
// the abort reports, the names a command takes, the reading of a BIS
// condition, the header test of the subroutine search and the buffers of
// the readers. The run's dispatch and the check's step both read them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace taktler::interpreter {

// Command codes as GibKommando gives them.
enum Kommandocode : std::int32_t {
    kBis = 0,
    kEndeBis = 1,
    kNothalt = 2,
    kEinschalten = 3,
    kAusschalten = 4,
    kRufe = 5,
    kUnterprogramm = 6,
    kTracelevel = 7,
    kEndeUnterprogramm = 8,
    kElse = 9,
    kEnde = 10,
    kExit = 11,
    kReboot = 12,
    kTransfer = 13,
    kKommentar = 14,
    kPause = 15,
    kMeldung = 16,
    kInfo = 17,
    kSound = 18,
    kUnbekannt = 19,
};

constexpr int kMaxStufen = 80;  // Ausfuehren: levels 0..79

// Record buffers of the readers: the script loop's line, the header
// search's line, GeheZuSatz's line and INFO's line. A record needs two
// bytes more than its text.
constexpr std::uint32_t kZeilenpuffer = 500;
constexpr std::uint32_t kSuchzeile = 200;
constexpr std::uint32_t kSprungzeile = 100;
constexpr std::uint32_t kInfozeile = 250;

// The abort reports a command file can lead to.
enum class Abbruchart {
    UnbekanntesKommando,
    MotorNichtDefiniert,
    UnbekannterSchalter,
    NichtGefunden,
    ZuVieleFelder,
    EndeOhneBlock,
    ZuTief,
    ZeileZuLang,
};

// The function text and the detail text of an abort; an empty detail is
// filled in by the caller (the word of the line).
struct Abbruchbericht {
    const char* funktion;
    const char* text;
};
const Abbruchbericht& Bericht(Abbruchart art);
constexpr std::uint16_t Bit(Abbruchart art) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(art));
}

// What a command does to the levels of the dispatch.
enum class Wirkung : std::uint8_t {
    Befehl,     // its handler, when its level is carried out
    Beendet,    // EXIT: ends the run when its level is carried out
    Oeffnet,    // BIS, RUFE: one level up, its handler when the level around is carried out
    Schliesst,  // ENDE_BIS, ENDE_UNTERPROGRAMM: its jump when the level around is carried
                // out, then one level down
    Senkt,      // ENDE: one level down
    Kehrt,      // ELSE: the level's flag turned round when the level around is carried out
    Endet,      // UNTERPROGRAMM: the straight flow ends here
    Unbekannt,  // REBOOT, TRANSFER and every unknown word: abort
};

struct Befehlsregel {
    const char* wort;  // the keyword; "" for every word no row has
    std::int32_t code;
    Wirkung wirkung;
    bool befehl;              // does something when carried out
    std::uint8_t woerter;     // words after the keyword that it reads
    bool zeigt;               // shows its first word only (MELDUNG, PAUSE)
    bool datei;               // its first word names a file it reads (SOUND, INFO)
    std::uint16_t abbrueche;  // Bit() of the aborts it can end with when carried out
};

// The rows in the order GibKommando tries the keywords; the first equal one
// decides.
constexpr std::size_t kBefehle = 19;
const std::array<Befehlsregel, kBefehle>& Befehlsregeln();
// The row of a code; kUnbekannt (or any code no row has) gives the row of
// an unknown word.
const Befehlsregel& Regel(std::int32_t code);
std::int32_t KommandocodeVon(const char* wort);
// The condition code of a word (WAHR 0 .. IMMER 4), -1 for none.
std::int32_t BedingungscodeVon(const char* wort);

// --- Level rules of the dispatch -----------------------------------------

// A BIS or RUFE may not open a level past 79.
constexpr bool ZuTief(std::int32_t stufe) {
    return stufe + 1 >= kMaxStufen;
}

// A block end takes its jump and an ELSE turns its level round only when a
// level is open and the one around it is carried out. ausgefuehrt(stufe)
// tells whether a level is carried out.
template <typename Ausgefuehrt>
bool UmgebendAusgefuehrt(std::int32_t stufe, Ausgefuehrt&& ausgefuehrt) {
    return stufe > 0 && ausgefuehrt(stufe - 1);
}

// --- Names ---------------------------------------------------------------

constexpr std::array<const char*, 4> kMotoren = {"MOTOR1", "MOTOR2", "MOTOR3", "MOTOR4"};
constexpr std::array<const char*, 8> kSchalter = {"SCHALTER1", "SCHALTER2", "SCHALTER3",
                                                  "SCHALTER4", "SCHALTER5", "SCHALTER6",
                                                  "SCHALTER7", "SCHALTER8"};
// 1..4 for MOTOR1..MOTOR4, else 0.
int MotorNummerVon(const char* name);
// 0..7 for SCHALTER1..SCHALTER8, else -1.
std::int16_t SchalterIndexVon(const char* name);

// --- The condition of a BIS line ---------------------------------------------

// By the first word: a time, the analog input, else a switch (which must be
// one of kSchalter).
enum class Bedingungsart { Zeit, Analog, Schalter };
Bedingungsart BedingungsartVon(const char* wort);
// ANALOG1 with the limit MAX waits for the highest value.
bool IstAnalogMax(const char* grenzwert);
// ANALOG1 with ">" or "=" waits while the value is below the limit; every
// other comparison while it is at or above it.
bool AnalogWartetDarunter(const char* vergleich);

// --- The header test of the subroutine search ------------------------------

// How the search sees a line: not at all, as a line it stops at ("Zu
// viele Felder"), or as a header candidate with the name it holds.
struct Kopfsicht {
    bool kandidat = false;
    bool zuVieleFelder = false;
    std::string name;
};
// Upper-cases zeile in place. The line must fit the search's buffer
// (kSuchzeile - 2 characters at most) to be tested as a header.
Kopfsicht SieheKopfzeile(char* zeile);
// Upper-cases zeile in place; true when it holds the word UNTERPROGRAMM.
bool NenntUnterprogramm(char* zeile);

}  // namespace taktler::interpreter
