// SPDX-License-Identifier: GPL-3.0-or-later
// The operating system's calls that differ between POSIX and Windows, behind
// one small interface: the build links plattform_posix.cpp or
// plattform_windows.cpp. Nothing above this floor includes a header that only
// one platform has.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace taktler::services::plattform {

// What a file status query tells the floors above.
struct Dateistatus {
    enum class Art { Datei, Verzeichnis, Zeichengeraet, Sonstiges };
    Art art = Art::Sonstiges;
    std::int64_t groesse = 0;
    // Seconds since 1970: last access, last change, status change (on
    // Windows: creation).
    std::int64_t zugriff = 0;
    std::int64_t aenderung = 0;
    std::int64_t statuswechsel = 0;
    std::int64_t aenderungNs = 0;  // the nanoseconds of the last change
    // Identifies the file on its device (device and inode, or volume and
    // file index); two paths with equal values name one file.
    std::uint64_t geraet = 0;
    std::uint64_t knoten = 0;
};

// Nothing, with errno set, when the file cannot be queried.
std::optional<Dateistatus> Status(const std::string& pfad);
std::optional<Dateistatus> Status(std::FILE* strom);

// The local calendar time of seconds since 1970; false when it has none.
bool LokaleZeit(std::int64_t sekunden, std::tm& ergebnis);

// Reads up to n bytes at offset of the stream's descriptor without moving
// it (the stream keeps its own position); retries an interrupted read.
// -1 with errno set on failure.
long long LiesAn(std::FILE* strom, void* puffer, std::size_t n, long long offset);

// Reads on where the descriptor stands (a pipe), retrying an interrupted read.
long long Lies(std::FILE* strom, void* puffer, std::size_t n);

// Writes n bytes at offset without moving the descriptor, or at the end
// when offset is negative; the count written or -1 with errno.
long long SchreibeAn(std::FILE* strom, const void* puffer, std::size_t n, long long offset);
// Whether the stream's descriptor was opened for appending.
bool HaengtAn(std::FILE* strom);

// One character of a stream that only this thread reads (no locking).
int Zeichen(std::FILE* strom);

// Whether the process may write the file, and create files in the
// directory; false with errno set.
bool DarfSchreiben(const std::string& pfad);
bool DarfAnlegenIn(const std::string& verzeichnis);

// Directories, 0 on success or -1 with errno set: create one (permissions
// from the user's defaults), read the working directory into a buffer of
// that size (ERANGE when it does not fit), change to one.
int VerzeichnisAnlegen(const std::string& pfad);
int Arbeitsverzeichnis(char* puffer, std::size_t groesse);
int WechsleVerzeichnis(const std::string& pfad);

// Output files that a stalled reader must not block: opened for writing
// (created; emptied, or appended to) so that a full pipe fails a write instead of blocking.
// The descriptor, or -1 with errno set.
int OeffneAusgabe(const std::string& pfad, bool anhaengen);
long long Schreibe(int fd, const void* daten, std::size_t n);
int Schliesse(int fd);

// Whether a standard descriptor is closed, and the null device opened on
// the lowest free descriptor (-1 on failure).
bool Geschlossen(int fd);
int OeffneNullgeraet();

// The terminal that controls the process, for a question that must not
// read standard input: /dev/tty on POSIX (one descriptor for both), the
// console's CONIN$ and CONOUT$ on Windows, which stay reachable when
// standard input and output are redirected. Both -1 when there is none.
struct Terminal {
    int lesen = -1;
    int schreiben = -1;
};
Terminal OeffneTerminal();
// One byte typed there: 1, 0 at the end of input, or -1 with errno (EINTR
// when a signal or control event broke the read).
long long LiesTerminal(const Terminal& terminal, char& zeichen);
void SchliesseTerminal(Terminal& terminal);

// Sets the console up for the program's Latin-1 texts (before any output).
void KonsoleEinrichten();

// Ends the process by the signal's default action (exit code 128 + signal
// where there is none).
[[noreturn]] void DurchSignalEnden(int signal);

}  // namespace taktler::services::plattform
