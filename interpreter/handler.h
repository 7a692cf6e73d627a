// The command handlers the script loop dispatches to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datei/datei.h"
#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

// Loops and wait conditions.
std::uint8_t Bis(Kommandozeile& kz);
std::uint8_t Bis_Bedingung(Kommandozeile& kz);
void Ende_Bis(Kommandozeile& kz);
std::int32_t GeheZuSatz(datei::DateiADO* datei, std::int32_t n);

// Subroutines.
bool Rufe(Kommandozeile& kz);
bool Unterprogramm(Kommandozeile& kz);
bool Ende_Unterprogramm(Kommandozeile& kz);
std::int32_t FindeUnterprogramm(datei::DateiADO* datei, const char* name);

// Record buffers of the reader: the script loop's line, the header search's
// line and GeheZuSatz's line. A record needs two bytes more than its text.
constexpr std::uint32_t kZeilenpuffer = 500;
constexpr std::uint32_t kSuchzeile = 200;
constexpr std::uint32_t kSprungzeile = 100;

// Upper-cases zeile in place; true when it holds the word UNTERPROGRAMM,
// so that the header search tests it as a header.
bool NenntUnterprogramm(char* zeile);
// How the header search sees one line for a name.
enum class Kopfzeile { Nein, Treffer, ZuVieleFelder };
// Upper-cases zeile in place and tests it as FindeUnterprogramm does. The
// line must fit the search's buffer (kSuchzeile - 2 characters at most).
Kopfzeile TesteKopfzeile(char* zeile, const char* name);

// Console, protocol and trace commands.
bool Meldung(Kommandozeile& kz);
bool Pause(Kommandozeile& kz);
bool Info(Kommandozeile& kz);
const char* Systemzeit();
// Writes the date text of the end line into text (capacity bytes, >= 26).
void datum_undZeit(char* text, std::size_t kapazitaet);

// Motor, emergency-stop, sound and trace-level commands.
void Einschalten(Kommandozeile& kz);
void Ausschalten(Kommandozeile& kz);
void Nothalt(Kommandozeile& kz);
void Sound(Kommandozeile& kz);
void Tracelevel(Kommandozeile& kz);
void MotorAus();
// 1..4 for MOTOR1..MOTOR4, 0 for any other name.
int MotorNummerVon(const char* name);

// Switch and analog sensing.
void Schalter(Kommandozeile& kz);
std::int32_t Analog(Kommandozeile& kz);
std::uint8_t AnalogMax(Kommandozeile& kz, std::int32_t wert);
void SchalterInit(Kommandozeile& kz);
void Setze(Kommandozeile& kz);
std::int16_t GibSchalterIndex(Kommandozeile& kz);
// 0..7 for SCHALTER1..SCHALTER8, -1 for any other name.
std::int16_t SchalterIndexVon(const char* name);

}  // namespace taktler::interpreter
