// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "services/plattform.h"

namespace taktler::services::plattform {

namespace {

Dateistatus Aus(const struct stat& info) {
    Dateistatus s;
    s.art = S_ISREG(info.st_mode)   ? Dateistatus::Art::Datei
            : S_ISDIR(info.st_mode) ? Dateistatus::Art::Verzeichnis
            : S_ISCHR(info.st_mode) ? Dateistatus::Art::Zeichengeraet
                                    : Dateistatus::Art::Sonstiges;
    s.groesse = info.st_size;
    s.zugriff = info.st_atime;
    s.aenderung = info.st_mtime;
    s.statuswechsel = info.st_ctime;
    s.aenderungNs = info.st_mtim.tv_nsec;
    s.geraet = info.st_dev;
    s.knoten = info.st_ino;
    return s;
}

}  // namespace

std::optional<Dateistatus> Status(const std::string& pfad) {
    struct stat info {};
    if (::stat(pfad.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return Aus(info);
}

std::optional<Dateistatus> Status(std::FILE* strom) {
    struct stat info {};
    if (strom == nullptr || ::fstat(fileno(strom), &info) != 0) {
        return std::nullopt;
    }
    return Aus(info);
}

bool LokaleZeit(std::int64_t sekunden, std::tm& ergebnis) {
    const auto t = static_cast<std::time_t>(sekunden);
    return ::localtime_r(&t, &ergebnis) != nullptr;
}

long long LiesAn(std::FILE* strom, void* puffer, std::size_t n, long long offset) {
    ssize_t gelesen;
    do {
        gelesen = ::pread(fileno(strom), puffer, n, static_cast<off_t>(offset));
    } while (gelesen < 0 && errno == EINTR);
    return gelesen;
}

long long Lies(std::FILE* strom, void* puffer, std::size_t n) {
    ssize_t gelesen;
    do {
        gelesen = ::read(fileno(strom), puffer, n);
    } while (gelesen < 0 && errno == EINTR);
    return gelesen;
}

bool HaengtAn(std::FILE* strom) {
    return (::fcntl(fileno(strom), F_GETFL) & O_APPEND) != 0;
}

long long SchreibeAn(std::FILE* strom, const void* puffer, std::size_t n, long long offset) {
    const int fd = fileno(strom);
    return offset < 0 ? ::write(fd, puffer, n)
                      : ::pwrite(fd, puffer, n, static_cast<off_t>(offset));
}

int Zeichen(std::FILE* strom) {
    return getc_unlocked(strom);
}

bool DarfSchreiben(const std::string& pfad) {
    return ::access(pfad.c_str(), W_OK) == 0;
}

bool DarfAnlegenIn(const std::string& verzeichnis) {
    return ::access(verzeichnis.c_str(), W_OK | X_OK) == 0;
}

int VerzeichnisAnlegen(const std::string& pfad) {
    return ::mkdir(pfad.c_str(), 0777);
}

int Arbeitsverzeichnis(char* puffer, std::size_t groesse) {
    return ::getcwd(puffer, groesse) != nullptr ? 0 : -1;
}

int WechsleVerzeichnis(const std::string& pfad) {
    return ::chdir(pfad.c_str());
}

int OeffneAusgabe(const std::string& pfad, bool anhaengen) {
    const int art = O_WRONLY | O_CREAT | O_CLOEXEC | (anhaengen ? O_APPEND : O_TRUNC);
    const int fd = ::open(pfad.c_str(), art, 0666);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return fd;
}

long long Schreibe(int fd, const void* daten, std::size_t n) {
    return ::write(fd, daten, n);
}

int Schliesse(int fd) {
    return ::close(fd);
}

bool Geschlossen(int fd) {
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

int OeffneNullgeraet() {
    return ::open("/dev/null", O_RDWR);
}

Terminal OeffneTerminal() {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    return Terminal{fd, fd};
}

long long LiesTerminal(const Terminal& terminal, char& zeichen) {
    return ::read(terminal.lesen, &zeichen, 1);
}

void SchliesseTerminal(Terminal& terminal) {
    if (terminal.lesen >= 0) {
        ::close(terminal.lesen);
    }
    terminal = Terminal{};
}

void KonsoleEinrichten() {}

void DurchSignalEnden(int signal) {
    std::signal(signal, SIG_DFL);
    sigset_t menge;
    sigemptyset(&menge);
    sigaddset(&menge, signal);
    sigprocmask(SIG_UNBLOCK, &menge, nullptr);
    std::raise(signal);
    _exit(128 + signal);
}

}  // namespace taktler::services::plattform
