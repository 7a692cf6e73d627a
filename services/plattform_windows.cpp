// SPDX-License-Identifier: GPL-3.0-or-later
// The platform floor on Windows: the C runtime's low-level I/O and the
// Win32 calls where the runtime has no equivalent.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "services/plattform.h"
#include "windows_naehte.h"

namespace taktler::services {

namespace {

// The rest of the line read on the console (see LiesTerminal).
std::string& Terminalzeile() {
    static std::string zeile;
    return zeile;
}

}  // namespace

namespace windows {

bool IstRohr(int fd) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_PIPE;
}

bool TerminalGepuffert() {
    return !Terminalzeile().empty();
}

// Wine feeds its console from the Unix standard input: with that
// redirected, nothing typed reaches CONIN$ and a question would wait for ever.
bool TastenKommenAn() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return !wine || GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_CHAR;
}

}  // namespace windows
}  // namespace taktler::services

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
    const int fd =
        _open(pfad.c_str(),
              _O_WRONLY | _O_CREAT | (anhaengen ? _O_APPEND : _O_TRUNC) | _O_BINARY | _O_NOINHERIT,
              _S_IREAD | _S_IWRITE);
    // A pipe (\\.\pipe\...) in no-wait mode: a write that does not fit
    // writes nothing instead of blocking.
    if (fd >= 0 && windows::IstRohr(fd)) {
        DWORD art = PIPE_READMODE_BYTE | PIPE_NOWAIT;
        SetNamedPipeHandleState(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &art, nullptr,
                                nullptr);
    }
    return fd;
}

long long Schreibe(int fd, const void* daten, std::size_t n) {
    if (!windows::IstRohr(fd)) {
        return _write(fd, daten, static_cast<unsigned>(n));
    }
    // A pipe in no-wait mode takes a write whole or not at all (Wine) or
    // as much as fits (Windows): smaller pieces find the room that is left.
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    for (DWORD stueck = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 16)); stueck > 0;
         stueck /= 2) {
        DWORD geschrieben = 0;
        if (WriteFile(h, daten, stueck, &geschrieben, nullptr) == 0) {
            const DWORD grund = GetLastError();
            errno = grund == ERROR_NO_DATA || grund == ERROR_BROKEN_PIPE ? EPIPE : EIO;
            return -1;
        }
        if (geschrieben > 0) {
            return geschrieben;
        }
    }
    errno = EAGAIN;
    return -1;
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

namespace {

// The console's input mode before the question, restored after it.
DWORD konsolenModus = 0;

HANDLE OeffneKonsole(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

// The console window is the program's terminal: CONIN$ and CONOUT$ name it
// whatever standard input and output were redirected to.
Terminal OeffneTerminal() {
    if (!windows::TastenKommenAn()) {
        return Terminal{};
    }
    HANDLE ein = OeffneKonsole("CONIN$");
    HANDLE aus = ein != INVALID_HANDLE_VALUE ? OeffneKonsole("CONOUT$") : INVALID_HANDLE_VALUE;
    if (aus == INVALID_HANDLE_VALUE) {
        if (ein != INVALID_HANDLE_VALUE) {
            CloseHandle(ein);
        }
        return Terminal{};
    }
    // A line as typed, echoed, with Ctrl-C a control event (not a byte).
    if (GetConsoleMode(ein, &konsolenModus) == 0) {
        konsolenModus = 0;
    }
    SetConsoleMode(ein, ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    Terminal t;
    t.lesen = _open_osfhandle(reinterpret_cast<intptr_t>(ein), _O_RDONLY | _O_BINARY);
    t.schreiben = _open_osfhandle(reinterpret_cast<intptr_t>(aus), _O_WRONLY | _O_BINARY);
    if (t.lesen < 0 || t.schreiben < 0) {
        t.lesen < 0 ? (void)CloseHandle(ein) : (void)_close(t.lesen);
        t.schreiben < 0 ? (void)CloseHandle(aus) : (void)_close(t.schreiben);
        return Terminal{};
    }
    return t;
}

long long LiesTerminal(const Terminal& terminal, char& zeichen) {
    std::string& zeile = Terminalzeile();
    if (zeile.empty()) {
        // The console hands a line out whole once Enter is pressed; what
        // the question does not take yet is kept here, not in the console.
        HANDLE ein = reinterpret_cast<HANDLE>(_get_osfhandle(terminal.lesen));
        std::array<char, 256> puffer{};
        DWORD gelesen = 0;
        SetLastError(ERROR_SUCCESS);
        const BOOL ok = ReadFile(ein, puffer.data(), puffer.size(), &gelesen, nullptr);
        // Ctrl-C breaks a console read off; Ctrl-Z at a line's start ends input.
        if (gelesen == 0 && GetLastError() == ERROR_OPERATION_ABORTED) {
            errno = EINTR;
            return -1;
        }
        if (ok == 0) {
            errno = EIO;
            return -1;
        }
        zeile.assign(puffer.data(), gelesen);
    }
    if (zeile.empty()) {
        return 0;
    }
    zeichen = zeile.front();
    zeile.erase(0, 1);
    return 1;
}

void SchliesseTerminal(Terminal& terminal) {
    if (terminal.lesen >= 0) {
        SetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(terminal.lesen)), konsolenModus);
        _close(terminal.lesen);
    }
    Terminalzeile().clear();
    if (terminal.schreiben >= 0) {
        _close(terminal.schreiben);
    }
    terminal = Terminal{};
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
