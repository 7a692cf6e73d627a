// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/fehler.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <string>

namespace taktler::services {

std::string ZeileZusammensetzen(std::string_view art, std::string_view modul,
                                std::string_view funktion, std::string_view text,
                                std::size_t puffer) {
    std::string zeile;
    zeile.append("Modul: ").append(modul).append(", Funktion: ").append(funktion);
    zeile.append(", ").append(art).append(": ").append(text);
    // A text may hold a NUL byte only where a caller's buffer did; the
    // original composed C strings, so it ends there.
    std::size_t nul = zeile.find('\0');
    if (nul != std::string::npos) {
        zeile.resize(nul);
    }
    if (puffer > 0 && zeile.size() > puffer - 1) {
        zeile.resize(puffer - 1);
    }
    return zeile;
}

namespace {

struct Laufortzustand {
    std::function<std::string()> ort;
    bool gemeldet = false;
};

Laufortzustand& DerLaufort() {
    static Laufortzustand zustand;
    return zustand;
}

}  // namespace

void SetzeLaufort(std::function<std::string()> ort) {
    DerLaufort() = Laufortzustand{std::move(ort), false};
}

void LaufortMelden() {
    Laufortzustand& z = DerLaufort();
    if (z.gemeldet || !z.ort) {
        return;
    }
    z.gemeldet = true;
    std::string zeile = z.ort();
    if (!zeile.empty()) {
        DieKonsole().Fehler(FuerStandardfehler(zeile) + "\n");
    }
}

void LaufortZuruecksetzen() {
    DerLaufort() = Laufortzustand{};
}

void Fehlerabbruch(std::string_view modul, std::string_view funktion, std::string_view text) {
    std::string zeile =
        ZeileZusammensetzen("Programmabbruch", modul, funktion, text, kAbbruchPuffer);
    DasFenster().Zeige("ABBRUCH", zeile, false);
    LaufortMelden();
    ProgrammBeenden(12);
}

void Warnung(std::string_view modul, std::string_view funktion, std::string_view text) {
    std::string zeile = ZeileZusammensetzen("Warnung", modul, funktion, text, kWarnungPuffer);
    if (DasFenster().Zeige("WARNUNG", zeile, true) != Antwort::OK) {
        ProgrammBeenden(12);
    }
}

Antwort Meldung(std::string_view modul, std::string_view funktion, std::string_view text) {
    std::string zeile = ZeileZusammensetzen("Meldung", modul, funktion, text, kWarnungPuffer);
    return DasFenster().Zeige("Meldung", zeile, false);
}

void OutOfStore() {
    Fehlerabbruch("OutOfStore", "OutOfStore", "OutOfStore");
}

namespace {

char*& Reserve() {
    static char* reserve = nullptr;
    return reserve;
}

void SpeicherErschoepft() {
    char*& reserve = Reserve();
    if (reserve == nullptr) {
        // The end itself ran out of memory: no report can be composed.
        static constexpr char kText[] = "[ABBRUCH] OutOfStore\n";
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
        _exit(12);
    }
    delete[] reserve;
    reserve = nullptr;
    OutOfStore();
}

}  // namespace

void SpeicherwaechterEinrichten() {
    constexpr std::size_t kReserve = std::size_t{4} << 20;
    if (Reserve() == nullptr) {
        Reserve() = new char[kReserve];
        // Touched, so that the pages are really there when they are needed.
        std::memset(Reserve(), 0, kReserve);
    }
    std::set_new_handler(SpeicherErschoepft);
}

}  // namespace taktler::services
