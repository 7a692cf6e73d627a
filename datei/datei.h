// The file object DateiADO: one per file, reading text files record by
// record, appending lines, positions and marks, paths and directories,
// copying, renaming and file dates.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace taktler::datei {

inline constexpr const char* kModul = "DATEI 151100";

constexpr std::size_t kPfadLaenge = 300;   // Pfad holds at most 299 characters
constexpr std::size_t kStufenAnzahl = 20;  // slots of a parsed path
constexpr std::size_t kStufenLaenge = 14;  // 13 characters and the NUL

// Open-mode codes kept in Modus.
enum Modus : std::int32_t {
    kGeschlossen = 0,
    kLesen = 1,
    kLesenSchreiben = 2,
    kAnhaengen = 3,
    kSchreiben = 4,
};

struct Pfadzerlegung {
    std::array<std::array<char, kStufenLaenge>, kStufenAnzahl> Verzeichnisstufen{};
    std::int32_t AnzahlStufen = 0;
    char MitLaufwerk = 0;
};

struct DateiADO {
    char Vorhanden = 0;
    std::FILE* FilePtr = nullptr;
    std::int32_t Pos = 0;
    std::int32_t Marke = 0;
    std::int32_t Satzlaenge = 0;
    std::int32_t Modus = kGeschlossen;
    std::array<char, kPfadLaenge> Pfad{};
    char WeitereSaetze = 1;
    Pfadzerlegung* Verzeichnisse = nullptr;
};

// Module-wide state shared by all objects (one copy, see interpreter/zustand.h).
struct DateiModulzustand {
    std::int32_t Anzahl = 0;      // Create minus Dispose
    struct stat Dateistatus {};   // filled by Status
    std::set<DateiADO*> Lebende;  // objects not yet disposed, released on reset
    std::array<char, kPfadLaenge> Extension{};
    std::array<char, kPfadLaenge> DateinameOhnePfad{};
    std::array<char, kPfadLaenge> Verzeichnis{};
    std::array<char, 32> DatumLesezugriff{};
    std::array<char, 32> DatumAenderung{};
    std::array<char, 32> DatumAnlage{};
    std::array<char, 256> Kopierpuffer{};  // KopiereBlockweise, blocks of 255
    std::string Text;                      // trace lines of LiesSatz, reused
};

// Closes and frees every object still alive (for tests that run many
// programs in one process).
void ModulFreigeben(DateiModulzustand& z);

// --- File object ---
DateiADO* Create();
DateiADO* Dispose(DateiADO* datei);
void SetzePfad(DateiADO* datei, const char* pfad);
std::uint8_t Oeffnen(DateiADO* datei, const char* modus);
std::uint8_t OeffnenRead(DateiADO* datei);
std::uint8_t OeffnenWrite(DateiADO* datei);
std::uint8_t OeffneAppend(DateiADO* datei);
std::uint8_t OeffneReadWrite(DateiADO* datei);
std::uint8_t Schliessen(DateiADO* datei);
const struct stat* Status(DateiADO* datei);
std::uint8_t ExistiertDatei(DateiADO* datei);
std::uint8_t GeheZumErstenSatz(DateiADO* datei);
// Reads one record into puffer; never stores more than kapazitaet bytes.
std::uint8_t LiesSatz(DateiADO* datei, char* puffer, std::uint32_t kapazitaet);
std::uint8_t SchreibSatz(DateiADO* datei, const char* text);

// --- Positions, marks and blocks ---
std::uint8_t SetzeMarke(DateiADO* datei);
std::uint8_t GeheZuMarke(DateiADO* datei);
std::uint8_t IstMarkeErreicht(DateiADO* datei);
void AktualisiereSatz(DateiADO* datei, const char* text);
std::uint8_t SchreibDaten(DateiADO* datei, const void* daten, std::int32_t anzahl);
std::int32_t GibFilePtrPos(DateiADO* datei);
std::uint8_t GeheZuFilePtrPos(DateiADO* datei, std::int32_t position);
// Reads up to gewuenscht bytes into puffer, which must hold that many,
// starting at byte start (negative: at Pos).
std::int32_t LiesBlock(DateiADO* datei, void* puffer, std::int32_t gewuenscht, std::int32_t start);

// --- Paths and directories ---
std::uint8_t ParsePfad(DateiADO* datei);
std::uint8_t BauePfadAuf(DateiADO* datei);
std::uint8_t LegePfadAn(DateiADO* datei);
const char* GibExtension(DateiADO* datei);
const char* GibDateinamenOhnePfad(DateiADO* datei);
const char* GibVerzeichnis(DateiADO* datei);

// --- Copy, rename and file dates ---
std::uint8_t KopiereDaten(DateiADO* ziel, DateiADO* quelle);
std::uint8_t ErgaenzeDaten(DateiADO* ziel, DateiADO* quelle);
std::uint8_t KopiereBlockweise(DateiADO* ziel, DateiADO* quelle);
std::uint8_t Rename(DateiADO* datei, const char* neuerPfad);
std::uint8_t Destroy(DateiADO* datei);
std::int32_t GibGroesse(DateiADO* datei);
std::int32_t NichtGeaendertSeitXSekunden(DateiADO* datei);
std::int32_t NichtGeaendertSeitXMinuten(DateiADO* datei);
const char* DatumLetzterLesezugriff(DateiADO* datei);
const char* DatumLetzteAenderung(DateiADO* datei);
const char* DatumAnlage(DateiADO* datei);

}  // namespace taktler::datei
