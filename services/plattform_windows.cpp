// SPDX-License-Identifier: GPL-3.0-or-later
// The platform floor on Windows: the C runtime's low-level I/O and the
// Win32 calls where the runtime has no equivalent.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "services/plattform.h"

namespace taktler::services::plattform {

namespace {

// Every file the program opens without saying is binary, as on POSIX: the
// port log, the timing diagram and the protocol file get the same bytes.
const bool kBinaer = [] {
    _fmode = _O_BINARY;
    return true;
}();

Dateistatus Aus(const struct _stat64& info, HANDLE datei) {
    Dateistatus s;
    const auto art = info.st_mode & _S_IFMT;
    s.art = art == _S_IFREG   ? Dateistatus::Art::Datei
            : art == _S_IFDIR ? Dateistatus::Art::Verzeichnis
            : art == _S_IFCHR ? Dateistatus::Art::Zeichengeraet
                              : Dateistatus::Art::Sonstiges;
    s.groesse = info.st_size;
    s.zugriff = info.st_atime;
    s.aenderung = info.st_mtime;
    s.statuswechsel = info.st_ctime;
    // The volume and the file index identify a file as device and inode do.
    BY_HANDLE_FILE_INFORMATION kennung{};
    if (datei != INVALID_HANDLE_VALUE && GetFileInformationByHandle(datei, &kennung) != 0) {
        s.geraet = kennung.dwVolumeSerialNumber;
        s.knoten =
            (static_cast<std::uint64_t>(kennung.nFileIndexHigh) << 32) | kennung.nFileIndexLow;
    }
    return s;
}

}  // namespace

std::optional<Dateistatus> Status(const std::string& pfad) {
    struct _stat64 info {};
    if (_stat64(pfad.c_str(), &info) != 0) {
        return std::nullopt;
    }
    HANDLE datei =
        CreateFileA(pfad.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Dateistatus s = Aus(info, datei);
    if (datei != INVALID_HANDLE_VALUE) {
        CloseHandle(datei);
    }
    return s;
}

std::optional<Dateistatus> Status(std::FILE* strom) {
    struct _stat64 info {};
    if (strom == nullptr || _fstat64(_fileno(strom), &info) != 0) {
        return std::nullopt;
    }
    return Aus(info, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(strom))));
}

bool LokaleZeit(std::int64_t sekunden, std::tm& ergebnis) {
    const auto t = static_cast<__time64_t>(sekunden);
    return _localtime64_s(&ergebnis, &t) == 0;
}

// The runtime has no positioned read or write: the descriptor is moved
// there. Every caller sets its stream's position afterwards.
long long LiesAn(std::FILE* strom, void* puffer, std::size_t n, long long offset) {
    const int fd = _fileno(strom);
    if (_lseeki64(fd, offset, SEEK_SET) < 0) {
        return -1;
    }
    return _read(fd, puffer, static_cast<unsigned>(n));
}

long long Lies(std::FILE* strom, void* puffer, std::size_t n) {
    return _read(_fileno(strom), puffer, static_cast<unsigned>(n));
}

long long SchreibeAn(std::FILE* strom, const void* puffer, std::size_t n, long long offset) {
    const int fd = _fileno(strom);
    // A descriptor opened for appending writes at the end whatever its position.
    if (offset >= 0 && _lseeki64(fd, offset, SEEK_SET) < 0) {
        return -1;
    }
    return _write(fd, puffer, static_cast<unsigned>(n));
}

bool HaengtAn(std::FILE* strom) {
    (void)strom;
    return false;
}

int Zeichen(std::FILE* strom) {
    return _getc_nolock(strom);
}

bool DarfSchreiben(const std::string& pfad) {
    return _access(pfad.c_str(), 2) == 0;
}

bool DarfAnlegenIn(const std::string& verzeichnis) {
    return _access(verzeichnis.c_str(), 2) == 0;
}

int VerzeichnisAnlegen(const std::string& pfad) {
    return _mkdir(pfad.c_str());
}

int Arbeitsverzeichnis(char* puffer, std::size_t groesse) {
    return _getcwd(puffer, static_cast<int>(groesse)) != nullptr ? 0 : -1;
}

int WechsleVerzeichnis(const std::string& pfad) {
    return _chdir(pfad.c_str());
}

int OeffneAusgabe(const std::string& pfad, bool anhaengen) {
    // A pipe on Windows cannot be made non-blocking through the runtime.
    return _open(
        pfad.c_str(),
        _O_WRONLY | _O_CREAT | (anhaengen ? _O_APPEND : _O_TRUNC) | _O_BINARY | _O_NOINHERIT,
        _S_IREAD | _S_IWRITE);
}

long long Schreibe(int fd, const void* daten, std::size_t n) {
    return _write(fd, daten, static_cast<unsigned>(n));
}

int Schliesse(int fd) {
    return _close(fd);
}

bool Geschlossen(int fd) {
    return _get_osfhandle(fd) == -1;
}

int OeffneNullgeraet() {
    return _open("NUL", _O_RDWR | _O_BINARY);
}

int OeffneTerminal() {
    // The console has no second channel beside standard input that the
    // runtime could read and write; WARNUNG then takes its fixed answer.
    return -1;
}

void KonsoleEinrichten() {
    // The texts are Latin-1; code page 1252 shows them as such.
    SetConsoleOutputCP(1252);
    SetConsoleCP(1252);
}

void DurchSignalEnden(int signal) {
    std::_Exit(128 + signal);
}

}  // namespace taktler::services::plattform
