// SPDX-License-Identifier: GPL-3.0-or-later
// The command file as the run has read it. Every record is kept as it was
// first read, so that a loop's jump back and a subroutine call go straight
// to their line instead of reading the file again from its first line. The
// copy also answers what that re-reading would meet: the longest record up
// to a line (the jump and the header search read with smaller buffers) and
// the lines the header search stops at.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "datei/datei.h"

namespace taktler::interpreter {

struct Zeilenindex {
    // Where a record's bytes lie, and the longest record up to it.
    struct Satz {
        std::uint32_t block = 0;
        std::uint16_t anfang = 0;
        std::uint16_t laenge = 0;
        std::uint16_t laengsteBisHier = 0;
        std::int32_t editorzeile = 0;  // the line an editor shows
    };

    datei::DateiADO* datei = nullptr;  // the file this is a copy of
    // A regular file as the run opened it: it must stay so while the run
    // still reads it, or the run would splice two versions.
    struct Dateistand {
        bool regulaer = false;
        std::uint64_t geraet = 0;
        std::uint64_t knoten = 0;
        std::int64_t groesse = 0;
        std::int64_t geaendert = 0;  // seconds since 1970 and nanoseconds
        std::int64_t geaendertNs = 0;
    } stand;
    // Records lie back to back in fixed blocks, so that nothing is copied
    // again as the store grows.
    std::vector<std::unique_ptr<char[]>> bloecke;
    std::size_t frei = 0;  // bytes left in the last block
    // Its free bytes are line feeds (see LiesWeiter); not after a read that
    // ended the run through the test seam's exception.
    bool blockGefuellt = false;
    std::vector<Satz> saetze;
    bool vollstaendig = false;  // the file's last record is in the copy
    // The script loop's position: behind this line.
    std::int32_t position = 0;
    // The editor line of the next record read from the file.
    std::int32_t naechsteEditorzeile = 1;
    // The record the run is at: the one the script loop took last, or the
    // one a reading stopped at; Zeilenanzahl + 1 while that one is read
    // from the file; 0 before the first line and after the normal end.
    std::int32_t laufsatz = 0;

    // The header search: records looked at so far for the word it stops at,
    // the lines among them that hold it, and the header found for a name.
    std::int32_t durchsucht = 0;
    std::vector<std::int32_t> kandidaten;
    std::unordered_map<std::string, std::int32_t> koepfe;
};

Zeilenindex& DerZeilenindex();
// Forgets the copy and frees its memory.
void ZeilenindexZuruecksetzen();

// Starts the copy of datei, whose stream stands at its first record.
void ZeilenindexBinden(datei::DateiADO* datei);
// The index of datei. There is one index: for another file object it is
// started anew, and that file is read again from its first record.
Zeilenindex& ZeilenindexVon(datei::DateiADO* datei);

std::int32_t Zeilenanzahl(const Zeilenindex& index);
// Record zeile (1..Zeilenanzahl) with every byte LiesSatz stored, NULs included.
std::string_view Satztext(const Zeilenindex& index, std::int32_t zeile);
// The longest record among lines 1..zeile (0 for none).
std::uint32_t LaengsteBis(const Zeilenindex& index, std::int32_t zeile);

// Reads the file's next record into the copy with the script loop's buffer;
// a longer record ends the run with LiesSatz's abort, a file changed since
// the run opened it and a copy past its bound (endless input) with an abort
// of their own. False when the file has no further record.
bool LiesWeiter(Zeilenindex& index);

// The script loop's read: the record behind the position into puffer (of
// kZeilenpuffer bytes), from the copy or, past its end, from the file.
// False at the end of the file.
bool LiesZeile(datei::DateiADO* datei, char* puffer);

// LiesSatz's abort for the first record that is too long for a reader's
// buffer of puffer bytes (the run is at that record then).
[[noreturn]] void ZeileZuLang(Zeilenindex& index, std::uint32_t puffer);

// A record (1..Zeilenanzahl + 1, the last while it is read) as a report
// names it: its editor line and its text as it stands in the file, up to a
// NUL, trailing blanks, CR and LF cut; line 0 for none. Without satz: the
// record the run is at (laufsatz).
struct Laufort {
    std::int32_t editorzeile = 0;
    std::string_view text;
};
Laufort LaufortVon(const Zeilenindex& index, std::int32_t satz);
Laufort LaufortVon(const Zeilenindex& index);

// The records behind the copy, for a report of the whole file: read from
// the file again when it is a regular file; none otherwise (the rest of a
// pipe is not waited for).
struct Restsatz {
    std::int32_t editorzeile = 0;
    std::string text;
};
std::vector<Restsatz> RestDerDatei(const Zeilenindex& index);

}  // namespace taktler::interpreter
