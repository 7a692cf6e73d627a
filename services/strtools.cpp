// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/strtools.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "services/fehler.h"
#include "services/trace.h"

namespace taktler::services {

namespace {

constexpr std::size_t kMaxEingabezeile = 250;

std::array<char, 251>& EingabeFeld() {  // result of ParseEingabezeile
    static std::array<char, 251> feld{};
    return feld;
}

bool IstTrimZeichen(char c) {
    return c == ' ' || c == '\0' || c == '\r' || c == '\n';
}

struct FreiMitFree {
    void operator()(char* p) const { std::free(p); }
};

}  // namespace

void strTrimEnde(char* text) {
    std::size_t n = std::strlen(text);
    // Positions n down to 1 are looked at; the first character always stays.
    for (;;) {
        if (!IstTrimZeichen(text[n])) {
            return;
        }
        text[n] = '\0';
        if (n <= 1) {
            return;
        }
        --n;
    }
}

std::int32_t strTrenneFelder(const char* text, char trenner, char* ergebnis,
                             std::uint32_t kapazitaet) {
    if (kapazitaet > 0) {
        ergebnis[0] = '\0';
    }
    std::size_t laenge = std::strlen(text);
    bool ohneBlank = std::strchr(text, ' ') == nullptr;
    // Blank runs only shrink the text; a text without blanks grows by the one
    // separator appended, so these two limits keep the result in bounds.
    if (laenge >= kapazitaet || (ohneBlank && laenge == kapazitaet - 1)) {
        Fehlerabbruch(kStrtoolsModul, "strTrenneFelder", "inoutZeile zu kurz");
    }
    std::int32_t anzahl = 0;
    std::size_t aus = 0;
    std::size_t i = 0;
    while (i < laenge) {
        if (text[i] == ' ') {
            ergebnis[aus++] = trenner;
            ++anzahl;
            while (text[i] == ' ') {
                ++i;
            }
        } else {
            ergebnis[aus++] = text[i++];
        }
    }
    if (anzahl == 0 && laenge > 0) {
        ergebnis[aus++] = trenner;
        ++anzahl;
    }
    ergebnis[aus] = '\0';
    return anzahl;
}

void StrtoolsZuruecksetzen() {
    EingabeFeld().fill('\0');
}

char Gross(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void strGross(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        *p = Gross(*p);
    }
}

const char* ParseEingabezeile(const char* zeile, std::int32_t n, char trenner) {
    std::size_t laenge = std::strlen(zeile);
    if (laenge > kMaxEingabezeile) {
        Fehlerabbruch(kStrtoolsModul, "ParseEingabezeile", "inZeile zu lang");
    }
    auto& feld = EingabeFeld();
    feld[0] = '\0';
    std::int32_t zaehler = 0;
    std::size_t anfang = 0;
    for (std::size_t i = 0; i < laenge; ++i) {
        bool amTrenner = zeile[i] == trenner;
        if (!amTrenner && i + 1 < laenge) {
            continue;
        }
        ++zaehler;
        if (zaehler == n) {
            // A field that ends at the line's end keeps its last character.
            std::size_t ende = amTrenner ? i : i + 1;
            std::memcpy(feld.data(), zeile + anfang, ende - anfang);
            feld[ende - anfang] = '\0';
            break;
        }
        anfang = i + 1;
    }
    return feld.data();
}

std::int32_t strfnd(const char* text, const char* muster) {
    TraceKlammer k(kStrtoolsModul, "strfnd");
    if (muster[0] == '\0') {
        return -1;
    }
    for (std::size_t i = 0; text[i] != '\0'; ++i) {
        std::size_t j = 0;
        while (muster[j] != '\0' && Gross(text[i + j]) == Gross(muster[j])) {
            ++j;
        }
        if (muster[j] == '\0') {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool strErsetze(char* text, std::uint32_t kapazitaet, const char* ersatz, const char* suche) {
    TraceKlammer k(kStrtoolsModul, "strErsetze");
    std::int32_t pos = strfnd(text, suche);
    if (pos < 0) {
        return false;
    }
    // The parts before and after the match are strings of any length,
    // bounded only by the caller's capacity.
    std::string vorher(text, static_cast<std::size_t>(pos));
    std::string nachher(text + pos + std::strlen(suche));
    std::size_t neu = vorher.size() + std::strlen(ersatz) + nachher.size();
    if (neu >= kapazitaet) {
        Fehlerabbruch(kStrtoolsModul, "strErsetze: inoutString zu klein", text);
    }
    std::string ergebnis = vorher + ersatz + nachher;
    std::memcpy(text, ergebnis.c_str(), ergebnis.size() + 1);
    return true;
}

bool strTrim(char* text) {
    TraceKlammer k(kStrtoolsModul, "strTrim");
    std::size_t laenge = std::strlen(text);
    std::unique_ptr<char, FreiMitFree> kopie(static_cast<char*>(std::malloc(laenge + 10)));
    if (!kopie) {
        Fehlerabbruch(kStrtoolsModul, "strTrim: malloc-Fehler", text);
    }
    std::memcpy(kopie.get(), text, laenge + 1);
    const char* rest = kopie.get();
    while (*rest == ' ') {
        ++rest;
    }
    std::memcpy(text, rest, std::strlen(rest) + 1);
    return true;
}

bool IsoliereString(const char* text, std::uint32_t start, std::uint32_t laenge, char* ergebnis,
                    std::uint32_t kapazitaet) {
    TraceKlammer k(kStrtoolsModul, "IsoliereString");
    if (kapazitaet > 0) {
        ergebnis[0] = '\0';
    }
    std::size_t textLaenge = std::strlen(text);
    // start + laenge is never formed, so a huge start cannot wrap around.
    bool imText = start <= textLaenge && laenge <= textLaenge - start;
    if (imText && laenge < kapazitaet) {
        std::memcpy(ergebnis, text + start, laenge);
        ergebnis[laenge] = '\0';
        strTrimEnde(ergebnis);
    }
    return true;
}

}  // namespace taktler::services
