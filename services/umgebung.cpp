// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/umgebung.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "services/abschluss.h"
#include "services/plattform.h"
#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

std::string VFormat(const char* fmt, va_list args) {
    va_list kopie;
    va_copy(kopie, args);
    int n = std::vsnprintf(nullptr, 0, fmt, kopie);
    va_end(kopie);
    if (n <= 0) {
        return {};
    }
    std::string ergebnis(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(ergebnis.data(), ergebnis.size(), fmt, args);
    ergebnis.resize(static_cast<std::size_t>(n));
    return ergebnis;
}

bool UmgebungIstUtf8() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* wert = std::getenv(name);
        if (wert != nullptr && *wert != '\0') {
            std::string w(wert);
            for (auto& c : w) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return w.find("utf-8") != std::string::npos || w.find("utf8") != std::string::npos;
        }
    }
    return false;
}

// Standard output and error as the program found them: closed at start.
bool& AusgabeGeschlossen() {
    static bool geschlossen = false;
    return geschlossen;
}
bool& FehlerGeschlossen() {
    static bool geschlossen = false;
    return geschlossen;
}

void SchreibeAlles(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

bool IstGueltigesUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t folge = 0;
        if (c < 0x80) {
            folge = 0;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            folge = 1;
        } else if ((c & 0xF0) == 0xE0) {
            folge = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            folge = 3;
        } else {
            return false;
        }
        if (folge > 0 && i + folge >= s.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= folge; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += folge + 1;
    }
    return true;
}

std::string Latin1NachUtf8(std::string_view s) {
    std::string aus;
    aus.reserve(s.size() * 2);
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            aus.push_back(ch);
        } else {
            aus.push_back(static_cast<char>(0xC0 | (c >> 6)));
            aus.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return aus;
}

std::string FuerStandardfehler(std::string_view zeile) {
    if (isatty(STDERR_FILENO) == 1 && UmgebungIstUtf8() && !IstGueltigesUtf8(zeile)) {
        return Latin1NachUtf8(zeile);
    }
    return std::string(zeile);
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = VFormat(fmt, args);
    va_end(args);
    return s;
}

void Ausgabe(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = VFormat(fmt, args);
    va_end(args);
    DieKonsole().Aus(s);
}

void FehlerAusgabe(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = VFormat(fmt, args);
    va_end(args);
    DieKonsole().Fehler(s);
}

void StandardkanaeleSichern() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (plattform::Geschlossen(fd)) {
            // The lowest free descriptor: this one.
            if (plattform::OeffneNullgeraet() != fd) {
                _exit(12);
            }
            AusgabeGeschlossen() = AusgabeGeschlossen() || fd == STDOUT_FILENO;
            FehlerGeschlossen() = FehlerGeschlossen() || fd == STDERR_FILENO;
        }
    }
}

void StandardKonsole::Aus(std::string_view text) {
    if (AusgabeGeschlossen() && !text.empty()) {
        StandardausgabeVerloren(EBADF);
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::ferror(stdout) != 0) {
        StandardausgabeVerloren(errno);
    }
}

void StandardausgabeEinrichten() {
    plattform::KonsoleEinrichten();
    // Lines reach a pipe (| tee) or a terminal as they are printed; only a
    // file takes whole blocks.
    const auto info = plattform::Status(stdout);
    if (!info || info->art != plattform::Dateistatus::Art::Datei) {
        std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    }
}

void StandardKonsole::Fehler(std::string_view text) {
    if (FehlerGeschlossen() && !text.empty()) {
        FehlerausgabeVerloren();
        return;
    }
    // Keep the order of both streams on a shared terminal or pipe.
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool StandardKonsole::LiesWort() {
    std::fflush(stdout);
    bool imWort = false;
    for (;;) {
        if (!WarteBereit(STDIN_FILENO, plattform::kLesbar)) {
            return false;
        }
        char c = 0;
        ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return imWort;
        }
        bool weiss = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
        if (weiss) {
            if (imWort) {
                return true;
            }
        } else {
            imWort = true;
        }
    }
}

SystemUhr::SystemUhr() : start_(0) {
    start_ = MonotonMs();
}

Zeitpunkt SystemUhr::Jetzt() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    Zeitpunkt z;
    z.Sekunden = static_cast<std::int32_t>(ms / 1000);
    z.Millisekunden = static_cast<std::uint16_t>(ms % 1000);
    return z;
}

std::tm SystemUhr::LokaleZeit() {
    std::tm ergebnis{};
    plattform::LokaleZeit(std::time(nullptr), ergebnis);
    return ergebnis;
}

std::uint64_t SystemUhr::MonotonMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint64_t SystemUhr::MonotonUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

Antwort KonsolenFenster::Zeige(std::string_view titel, std::string_view zeile, bool mitAbbrechen) {
    // A line end that the composed text already carries is not doubled.
    if (!zeile.empty() && zeile.back() == '\n') {
        zeile.remove_suffix(1);
    }
    std::string ausgabe = "[" + std::string(titel) + "] " + FuerStandardfehler(zeile) + "\n";
    DieKonsole().Fehler(ausgabe);
    if (!mitAbbrechen) {
        return Antwort::OK;
    }
    if (festeAntwort) {
        return *festeAntwort;
    }
    // Ask on the terminal, not on standard input: that belongs to PAUSE.
    plattform::Terminal terminal = plattform::OeffneTerminal();
    if (terminal.lesen < 0) {
        return Antwort::Abbrechen;
    }
    SchreibeAlles(terminal.schreiben, "OK oder Abbrechen? [o/a] ");
    std::string eingabe;
    char c = 0;
    for (;;) {
        // Ctrl-C at the question is no answer: the run takes the interrupt path.
        if (!WarteBereit(terminal.lesen, plattform::kLesbar)) {
            plattform::SchliesseTerminal(terminal);
            UnterbrechungPruefen();
            return Antwort::Abbrechen;
        }
        const long long n = plattform::LiesTerminal(terminal, c);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || c == '\n') {
            break;
        }
        eingabe.push_back(c);
    }
    plattform::SchliesseTerminal(terminal);
    std::size_t anfang = eingabe.find_first_not_of(" \t\r");
    if (anfang != std::string::npos && (eingabe[anfang] == 'o' || eingabe[anfang] == 'O')) {
        return Antwort::OK;
    }
    return Antwort::Abbrechen;
}

KonsolenFenster& StandardFenster() {
    static KonsolenFenster fenster;
    return fenster;
}

namespace {
StandardKonsole& DieStandardKonsole() {
    static StandardKonsole k;
    return k;
}
SystemUhr& DieSystemUhr() {
    static SystemUhr u;
    return u;
}
}  // namespace

Umgebung& Umwelt() {
    static Umgebung u;
    return u;
}

Konsole& DieKonsole() {
    Konsole* k = Umwelt().konsole;
    return k != nullptr ? *k : DieStandardKonsole();
}

Uhr& DieUhr() {
    Uhr* u = Umwelt().uhr;
    return u != nullptr ? *u : DieSystemUhr();
}

Nachrichtenfenster& DasFenster() {
    Nachrichtenfenster* f = Umwelt().fenster;
    return f != nullptr ? *f : StandardFenster();
}

void UmweltZuruecksetzen() {
    Umwelt() = Umgebung{};
}

void ProgrammBeenden(int code) {
    EndeBeginnt();
    code = AusgabenAbschliessen(code);
    // A signal that broke into finishing the files: the interrupt path.
    if (SignalAnzahl() != SignaleBeimEnde()) {
        UnterbrechungPruefen();
    }
    if (Umwelt().ende) {
        Umwelt().ende(code);
    }
    code = StandardausgabeAbschliessen(code);
    std::fflush(nullptr);
    std::exit(code);
}

void ProgrammBeendenDurchSignal(int signal) {
    EndeBeginnt();
    AusgabenAbschliessen(0);
    if (Umwelt().ende) {
        Umwelt().ende(128 + signal);
    }
    StandardausgabeAbschliessen(0);
    std::fflush(nullptr);
    if (IstStoppsignal(signal)) {
        std::_Exit(128 + signal);
    }
    plattform::DurchSignalEnden(signal);
}

}  // namespace taktler::services
