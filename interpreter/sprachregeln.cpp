// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/sprachregeln.h"

#include <cstring>

#include "datei/satzregeln.h"
#include "services/strtools.h"

namespace taktler::interpreter {

namespace {

constexpr std::uint16_t kMotor = Bit(Abbruchart::MotorNichtDefiniert);
constexpr std::uint16_t kSchalterName = Bit(Abbruchart::UnbekannterSchalter);
constexpr std::uint16_t kSuche =
    Bit(Abbruchart::NichtGefunden) | Bit(Abbruchart::ZuVieleFelder) | Bit(Abbruchart::ZeileZuLang);
constexpr std::uint16_t kTief = Bit(Abbruchart::ZuTief);
constexpr std::uint16_t kOhneBlock = Bit(Abbruchart::EndeOhneBlock);
constexpr std::uint16_t kSprung = Bit(Abbruchart::ZeileZuLang) | kOhneBlock;

using W = Wirkung;

// wort, code, wirkung, befehl, woerter, zeigt, datei, abbrueche
constexpr std::array<Befehlsregel, kBefehle> kRegeln = {{
    {"EINSCHALTEN", kEinschalten, W::Befehl, true, 2, false, false, kMotor},
    {"SOUND", kSound, W::Befehl, true, 1, false, true, 0},
    {"NOTHALT", kNothalt, W::Befehl, true, 1, false, false, kSchalterName},
    {"AUSSCHALTEN", kAusschalten, W::Befehl, true, 1, false, false, kMotor},
    {"TRACELEVEL", kTracelevel, W::Befehl, true, 1, false, false, 0},
    {"BIS", kBis, W::Oeffnet, true, 3, false, false, kTief | kSchalterName},
    {"ENDE_BIS", kEndeBis, W::Schliesst, false, 0, false, false, kSprung},
    {"RUFE", kRufe, W::Oeffnet, true, 1, false, false, kTief | kSuche},
    {"UNTERPROGRAMM", kUnterprogramm, W::Endet, false, 1, false, false, 0},
    {"ENDE_UNTERPROGRAMM", kEndeUnterprogramm, W::Schliesst, false, 0, false, false, kSprung},
    {"REBOOT", kReboot, W::Unbekannt, false, 0, false, false, Bit(Abbruchart::UnbekanntesKommando)},
    {"MELDUNG", kMeldung, W::Befehl, true, 1, true, false, 0},
    {"PAUSE", kPause, W::Befehl, true, 1, true, false, 0},
    {"INFO", kInfo, W::Befehl, true, 1, false, true, Bit(Abbruchart::ZeileZuLang)},
    {"TRANSFER", kTransfer, W::Unbekannt, false, 0, false, false,
     Bit(Abbruchart::UnbekanntesKommando)},
    {";", kKommentar, W::Befehl, false, 0, false, false, 0},
    {"ENDE", kEnde, W::Senkt, false, 0, false, false, kOhneBlock},
    {"ELSE", kElse, W::Kehrt, false, 0, false, false, 0},
    {"EXIT", kExit, W::Beendet, true, 0, false, false, 0},
}};

constexpr Befehlsregel kUnbekannteRegel = {
    "", kUnbekannt, W::Unbekannt, false, 0, false, false, Bit(Abbruchart::UnbekanntesKommando)};

constexpr const char* kBedingungen[] = {"WAHR", "FALSCH", "WENNNEU", "WENNVORHANDEN", "IMMER"};

}  // namespace

const Abbruchbericht& Bericht(Abbruchart art) {
    static constexpr Abbruchbericht kBerichte[] = {
        {"Kommando erkennen: unbekanntes Kommando", ""},
        {"", "Motor n. definiert"},  // function text: the command
        {"GibSchalterIndex", "Unbekannter Schalter"},
        {"FindeUnterprogramm: N. gefunden", ""},
        {"FindeUnterprogramm: Zu viele Felder", ""},
        {"Strukturstufe: ENDE ohne PRUEFE...", ""},
        {"Strukturstufe: mehr als 79 Stufen", ""},
        {"LiesSatz", datei::kZeileZuLang},
    };
    return kBerichte[static_cast<std::size_t>(art)];
}

const std::array<Befehlsregel, kBefehle>& Befehlsregeln() {
    return kRegeln;
}

const Befehlsregel& Regel(std::int32_t code) {
    // By code, for the dispatch of every line.
    static const std::array<const Befehlsregel*, kUnbekannt + 1> kNachCode = [] {
        std::array<const Befehlsregel*, kUnbekannt + 1> tabelle{};
        tabelle.fill(&kUnbekannteRegel);
        for (const Befehlsregel& r : kRegeln) {
            tabelle[static_cast<std::size_t>(r.code)] = &r;
        }
        return tabelle;
    }();
    if (code < 0 || code > kUnbekannt) {
        return kUnbekannteRegel;
    }
    return *kNachCode[static_cast<std::size_t>(code)];
}

std::int32_t KommandocodeVon(const char* wort) {
    for (const Befehlsregel& r : kRegeln) {
        if (std::strcmp(wort, r.wort) == 0) {
            return r.code;
        }
    }
    return kUnbekannt;
}

std::int32_t BedingungscodeVon(const char* wort) {
    for (std::int32_t i = 0; i < 5; ++i) {
        if (std::strcmp(wort, kBedingungen[i]) == 0) {
            return i;
        }
    }
    return -1;
}

int MotorNummerVon(const char* name) {
    for (std::size_t i = 0; i < kMotoren.size(); ++i) {
        if (std::strcmp(name, kMotoren[i]) == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::int16_t SchalterIndexVon(const char* name) {
    for (std::size_t i = 0; i < kSchalter.size(); ++i) {
        if (std::strcmp(name, kSchalter[i]) == 0) {
            return static_cast<std::int16_t>(i);
        }
    }
    return -1;
}

Bedingungsart BedingungsartVon(const char* wort) {
    if (std::strcmp(wort, "ZEIT") == 0) {
        return Bedingungsart::Zeit;
    }
    if (std::strcmp(wort, "ANALOG1") == 0) {
        return Bedingungsart::Analog;
    }
    return Bedingungsart::Schalter;
}

bool IstAnalogMax(const char* grenzwert) {
    return std::strcmp(grenzwert, "MAX") == 0;
}

bool AnalogWartetDarunter(const char* vergleich) {
    return std::strcmp(vergleich, ">") == 0 || std::strcmp(vergleich, "=") == 0;
}

bool NenntUnterprogramm(char* zeile) {
    services::strGross(zeile);
    return services::strfnd(zeile, "UNTERPROGRAMM") >= 0;
}

Kopfsicht SieheKopfzeile(char* zeile) {
    Kopfsicht k;
    if (!NenntUnterprogramm(zeile)) {
        return k;
    }
    k.kandidat = true;
    if (std::strlen(zeile) >= kSuchzeile - 1) {
        return k;  // the search's reader aborts on it first
    }
    std::array<char, kSuchzeile> felder{};
    if (services::strTrenneFelder(zeile, '|', felder.data(),
                                  static_cast<std::uint32_t>(felder.size())) > 2) {
        k.zuVieleFelder = true;
        return k;
    }
    k.name = services::ParseEingabezeile(felder.data(), 2, '|');
    return k;
}

}  // namespace taktler::interpreter
