// What a run did, for its reader: the trace of every command line the
// script loop takes (--spur), one line each
//   TIME FILE:LINE LEVEL +|- TEXT
// (microseconds since the start on the clock in force, the line an editor
// shows, the level after the line's dispatch, carried out or skipped), and
// the line and branch coverage as an lcov tracefile (--abdeckung), written
// at the end: DA for every command line, BRDA for every BIS (condition
// still open / met).
#pragma once

#include <cstdint>
#include <string>

namespace taktler::interpreter {

// Opens the trace ("-": standard error) and the coverage file, either name
// may be empty, for a run of kommandodatei as the command line names it.
// The trace's time 0 is now. Gives "" or the one-line reason of a failure.
std::string AufzeichnungOeffnen(const std::string& spur, const std::string& abdeckung,
                                const std::string& kommandodatei);

// The script loop takes the line index's current line, a command line,
// before its dispatch: ausgefuehrt, it is carried out (not read in a
// skipped block), and stufe is the level the dispatch leaves. Its trace
// line comes before what the line does, so the trace holds the line that
// ends a run.
void ZeileGenommen(bool ausgefuehrt, std::int32_t stufe);
// The BIS condition of the line taken last was evaluated: still open (the
// block runs) or met.
void BisAusgewertet(bool offen);

// A call reached the header of its subroutine (record satz): the header
// counts as carried out, though the script loop reads on behind it.
void KopfErreicht(std::int32_t satz);

// Writes the coverage file and closes both.
// The program's end does it on every ending; the normal end calls it before
// the line index is released. A file that lost data is reported.
void AufzeichnungAbschliessen();

// Closes without writing anything more (for tests).
void AufzeichnungZuruecksetzen();

}  // namespace taktler::interpreter
