// SPDX-License-Identifier: GPL-3.0-or-later
// The file object DateiADO: one per file, reading text files record by
// record, appending lines, positions and marks, paths and directories,
// copying, renaming and file dates.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "services/plattform.h"

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
    // Not in the product's record: the error number of the first write that
    // failed on the open stream, for the report when it is closed.
    int Schreibfehler = 0;
    // No record read since the stream was opened (a pipe has no offset to
    // tell its start by).
    bool AmAnfang = false;
    // Not in the product's record: the line breaks an editor counts (LF,
    // and CR not followed by LF) among the bytes the last LiesSatz took, so
    // that a reader can give each record the line an editor shows.
    std::int32_t Zeilenumbrueche = 0;
};

// Module-wide state shared by all objects: one copy, owned by the module.
struct DateiModulzustand {
    std::int32_t Anzahl = 0;                       // Create minus Dispose
    services::plattform::Dateistatus Dateistatus;  // filled by Status
    std::set<DateiADO*> Lebende;                   // objects not yet disposed, released on reset
    std::array<char, kPfadLaenge> Extension{};
    std::array<char, kPfadLaenge> DateinameOhnePfad{};
    std::array<char, kPfadLaenge> Verzeichnis{};
    std::array<char, 32> DatumLesezugriff{};
    std::array<char, 32> DatumAenderung{};
    std::array<char, 32> DatumAnlage{};
    std::array<char, 256> Kopierpuffer{};  // KopiereBlockweise, blocks of 255
    std::string Text;                      // trace lines of LiesSatz, reused
    std::size_t Abschluss = 0;  // key of the program end's finisher while written streams are open
};

// The module's state, and its reset: closes and frees every object still
// alive (for tests that run many programs in one process).
DateiModulzustand& Modul();
void ModulZuruecksetzen();

// --- File object ---
DateiADO* Create();
DateiADO* Dispose(DateiADO* datei);
void SetzePfad(DateiADO* datei, const char* pfad);
std::uint8_t Oeffnen(DateiADO* datei, const char* modus);
std::uint8_t OeffnenRead(DateiADO* datei);
std::uint8_t OeffnenWrite(DateiADO* datei);
std::uint8_t OeffneAppend(DateiADO* datei);
std::uint8_t OeffneReadWrite(DateiADO* datei);
// Closes the stream; a stream written to that lost data (a failed write, or
// a failed close) is reported with the path and the system's reason.
std::uint8_t Schliessen(DateiADO* datei);
const services::plattform::Dateistatus* Status(DateiADO* datei);
std::uint8_t ExistiertDatei(DateiADO* datei);
std::uint8_t GeheZumErstenSatz(DateiADO* datei);
// Reads one record into puffer; never stores more than kapazitaet bytes. A
// UTF-8 byte-order mark at the start of the file is skipped; a read error is
// an abort, not the end of the file.
std::uint8_t LiesSatz(DateiADO* datei, char* puffer, std::uint32_t kapazitaet);
std::uint8_t SchreibSatz(DateiADO* datei, const char* text);
// Whether the file of pfad could be opened for appending now, without
// creating it: "" if so, else the reason.
std::string WarumNichtAnhaengbar(const char* pfad);

}  // namespace taktler::datei
