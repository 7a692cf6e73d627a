// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/taktler.h"

#include <array>
#include <string>

#include "interface/interface.h"
#include "interpreter/aufzeichnung.h"
#include "interpreter/konsolenbefehle.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/sprachregeln.h"
#include "interpreter/unterprogramme.h"
#include "interpreter/zeilenindex.h"
#include "interpreter/zustand.h"
#include "services/abschluss.h"
#include "services/fehler.h"
#include "services/strtools.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::interpreter {

namespace {

// Ausfuehren has 80 entries: a command file may nest down to level 79.
void StufeErhoehen(Kommandozeile& kz) {
    if (ZuTief(kz.Stufe)) {
        services::Fehlerabbruch(kModul, Bericht(Abbruchart::ZuTief).funktion, kz.Kommando.data());
    }
    ++kz.Stufe;
}

// ENDE_BIS and ENDE_UNTERPROGRAMM below level 0 end the run like ENDE.
void StufeSenken(Kommandozeile& kz) {
    --kz.Stufe;
    if (kz.Stufe < 0) {
        services::Fehlerabbruch(kModul, Bericht(Abbruchart::EndeOhneBlock).funktion, "");
    }
}

bool Ausfuehrend(const Kommandozeile& kz) {
    return kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] == 1;
}

bool UmgebendAusfuehrend(const Kommandozeile& kz) {
    return UmgebendAusgefuehrt(kz.Stufe, [&kz](std::int32_t stufe) {
        return kz.Ausfuehren[static_cast<std::size_t>(stufe)] == 1;
    });
}

// What Ctrl-C and termination do, wherever the run notices them (the
// emergency-stop checks, and every wait): all motors off first; the end by
// the signal then finishes the protocol file and the port log.
void Unterbrochen(int signal) {
    Programmzustand& z = Zustand();
    for (int motor = 1; motor <= 4; ++motor) {
        interface::MotorStop(*z.Interface, motor);
    }
    services::FehlerAusgabe("TAKTLER unterbrochen (%s): alle Motoren ausgeschaltet\n",
                            services::SignalName(signal));
    services::LaufortMelden();
}

// Whether the dispatch carries a line out or reads it in a skipped block:
// the closing words go by the enclosing level, the rest by their own. At
// level 0 a closing word counts as carried out: it ends the run there (or,
// the toggle, writes its line).
bool WirdAusgefuehrt(std::int32_t code, const Kommandozeile& kz) {
    switch (Regel(code).wirkung) {
        case Wirkung::Schliesst:
        case Wirkung::Senkt:
        case Wirkung::Kehrt:
            return kz.Stufe == 0 || UmgebendAusfuehrend(kz);
        case Wirkung::Endet:
        case Wirkung::Unbekannt:
            return true;
        default:
            return Ausfuehrend(kz);
    }
}

// The level the dispatch leaves (the blocks' words raise or lower it).
std::int32_t StufeDanach(std::int32_t code, const Kommandozeile& kz) {
    switch (Regel(code).wirkung) {
        case Wirkung::Oeffnet:
            return kz.Stufe + 1;
        case Wirkung::Schliesst:
        case Wirkung::Senkt:
            return kz.Stufe - 1;
        default:
            return kz.Stufe;
    }
}

void NothaltPruefen(Kommandozeile& kz) {
    services::UnterbrechungPruefen();
    if (Zustand().NothaltAktiv != 0) {
        Nothalt(kz);
    }
}

using Handler = void (*)(Kommandozeile&);

// The run's handler of each command, by code.
Handler HandlerVon(std::int32_t code) {
    switch (code) {
        case kEinschalten:
            return Einschalten;
        case kSound:
            return Sound;
        case kTracelevel:
            return Tracelevel;
        case kNothalt:
            return Nothalt;
        case kAusschalten:
            return Ausschalten;
        case kRufe:
            return [](Kommandozeile& kz) {
                kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] = 1;
                Rufe(kz);
                KopfErreicht(kz.Zeilennummer);
            };
        case kBis:
            return [](Kommandozeile& kz) { BisAusgewertet(Bis(kz) == 1); };
        case kEndeBis:
            return Ende_Bis;
        case kEndeUnterprogramm:
            return [](Kommandozeile& kz) { Ende_Unterprogramm(kz); };
        case kMeldung:
            return [](Kommandozeile& kz) { Meldung(kz); };
        case kPause:
            return [](Kommandozeile& kz) { Pause(kz); };
        case kInfo:
            return [](Kommandozeile& kz) { Info(kz); };
        default:
            return nullptr;
    }
}

// Carries out one parsed line by the level rules of its command; ausgefuehrt
// is WirdAusgefuehrt before the line moves the level. Gives false when the
// loop is to be left.
bool Verteile(std::int32_t code, bool ausgefuehrt, char* zeile, Kommandozeile& kz) {
    const Handler handler = HandlerVon(code);
    switch (Regel(code).wirkung) {
        case Wirkung::Befehl:
            if (ausgefuehrt && handler != nullptr) {
                handler(kz);
            }
            break;
        case Wirkung::Beendet:
            return !ausgefuehrt;
        case Wirkung::Oeffnet:
            StufeErhoehen(kz);
            if (ausgefuehrt) {
                handler(kz);
            } else {
                kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] = 0;
            }
            break;
        case Wirkung::Schliesst:
            // Level 0 has no block to close: StufeSenken ends the run.
            if (ausgefuehrt && kz.Stufe > 0) {
                handler(kz);
            }
            StufeSenken(kz);
            break;
        case Wirkung::Senkt:
            StufeSenken(kz);
            break;
        case Wirkung::Kehrt:
            if (ausgefuehrt && kz.Stufe > 0) {
                auto& flag = kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)];
                flag = flag == 1 ? 0 : 1;
            }
            datei::SchreibSatz(Zustand().Protokolldatei, zeile);
            break;
        case Wirkung::Endet:
            return Unterprogramm(kz);
        case Wirkung::Unbekannt:
            services::Ausgabe("%s\n", kz.Kommando.data());
            Programmabbruch(kModul, Bericht(Abbruchart::UnbekanntesKommando).funktion,
                            kz.Kommando.data());
    }
    return true;
}

}  // namespace

void Programmabbruch(std::string_view modul, std::string_view funktion, std::string_view text) {
    Programmzustand& z = Zustand();
    // A banner that cannot be written is reported, and the abort goes on.
    services::EndeBeginnt();
    if (z.Protokolldatei != nullptr) {
        datei::SchreibSatz(z.Protokolldatei, "---- PROGRAMMABBRUCH ------");
        datei::SchreibSatz(z.Protokolldatei, std::string(modul).c_str());
        datei::SchreibSatz(z.Protokolldatei, std::string(funktion).c_str());
        datei::SchreibSatz(z.Protokolldatei, std::string(text).c_str());
        datei::SchreibSatz(z.Protokolldatei, "---------------------------");
        z.Protokolldatei = datei::Dispose(z.Protokolldatei);
    }
    services::Fehlerabbruch(modul, funktion, text);
}

namespace {
ZeilenHaken& DerZeilenHaken() {
    static ZeilenHaken haken;
    return haken;
}
}  // namespace

void SetzeZeilenHaken(ZeilenHaken haken) {
    DerZeilenHaken() = std::move(haken);
}

void HaltPruefen() {
    NothaltPruefen(*Zustand().Zeile);
}

bool VerarbeiteZeile(char* zeile) {
    Kommandozeile& kz = *Zustand().Zeile;
    services::strTrimEnde(zeile);
    ++kz.Zeilennummer;
    if (DerZeilenHaken()) {
        std::string text = zeile;
        ParseKommandozeile(zeile, &kz);
        DerZeilenHaken()(kz, text);
    } else {
        ParseKommandozeile(zeile, &kz);
    }
    std::int32_t code = GibKommando(&kz);
    NothaltPruefen(kz);
    const bool ausgefuehrt = WirdAusgefuehrt(code, kz);
    if (code != kKommentar) {
        ZeileGenommen(ausgefuehrt, StufeDanach(code, kz));
    }
    if (!Verteile(code, ausgefuehrt, zeile, kz)) {
        return false;
    }
    NothaltPruefen(kz);
    return true;
}

int Programmlauf(const std::vector<std::string>& dateien) {
    Programmzustand& z = Zustand();
    z.Interface = &z.interfaceDS;
    interface::InterfaceInit(*z.Interface);
    services::SetzeUnterbrechungsaktion(Unterbrochen);

    services::FehlerAusgabe("%s\n", kModul);
    if (dateien.size() < 2 || dateien.size() > 6) {
        services::FehlerAusgabe("Anzahl der Argumente fehlerhaft.\n");
        services::FehlerAusgabe("%s\n", "Aufruf:  TAKTLER <Kommandodatei> <Protokolldatei>\n");
        services::ProgrammBeenden(12);
    }

    for (int stufe = 0; stufe < kTabellenStufen; ++stufe) {
        auto s = static_cast<std::size_t>(stufe);
        z.Klickzaehler[s].fill(0);
        z.Bedingung[s] = 0;
        z.Startzeile[s] = 0;
        z.Durchlauf[s] = 0;
        z.Zeitbausteine[s] = nullptr;
        z.Soundbausteine[s] = nullptr;
    }

    const char* quelle = dateien[0].c_str();
    z.Kommandodatei = datei::Create();
    if (z.Kommandodatei == nullptr) {
        Programmabbruch(kModul,
                        "Quelldatei \xF6"
                        "ffnen: ",
                        quelle);
    }
    datei::SetzePfad(z.Kommandodatei, quelle);
    if (datei::ExistiertDatei(z.Kommandodatei) == 0) {
        Programmabbruch(kModul, "Quelldatei nicht vorhanden: ", quelle);
    }
    if (datei::OeffnenRead(z.Kommandodatei) == 0) {
        Programmabbruch(kModul,
                        "Quelldatei kann nicht ge\xF6"
                        "ffnet werden:",
                        quelle);
    }
    z.Protokolldatei = datei::Create();
    datei::SetzePfad(z.Protokolldatei, dateien[1].c_str());
    // Refused before any motor moves, not at the first ELSE mid-run; the
    // file is still created only by its first line.
    const std::string hindernis = datei::WarumNichtAnhaengbar(dateien[1].c_str());
    if (!hindernis.empty()) {
        z.Protokolldatei = datei::Dispose(z.Protokolldatei);
        services::Fehlerabbruch(kModul, "Protokolldatei kann nicht angelegt werden:",
                                dateien[1] + " (" + hindernis + ")");
    }

    z.Zeile = KommandozeileCreate();
    if (z.Zeile == nullptr) {
        Programmabbruch(kModul, "main", "KommandozeileCreate");
    }
    Kommandozeile& kz = *z.Zeile;
    kz.Stufe = 0;
    kz.Zeilennummer = 0;
    kz.Ausfuehren[0] = 1;

    ZeilenindexBinden(z.Kommandodatei);
    services::SetzeLaufort([name = dateien[0]] {
        const Laufort ort = LaufortVon(DerZeilenindex());
        if (ort.editorzeile == 0) {
            return std::string();
        }
        return name + ":" + std::to_string(ort.editorzeile) +
               ": Lauf endet hier: " + std::string(ort.text);
    });
    std::array<char, kZeilenpuffer> zeile{};
    while (LiesZeile(z.Kommandodatei, zeile.data())) {
        if (!VerarbeiteZeile(zeile.data())) {
            break;
        }
    }
    // A signal during the last line (an EXIT skips the second check).
    services::UnterbrechungPruefen();
    DerZeilenindex().laufsatz = 0;  // the normal end names no line
    AufzeichnungAbschliessen();

    std::array<char, 32> datum{};
    datum_undZeit(datum.data(), datum.size());
    services::Ausgabe("%s\n", services::Format("%s ENDE : %s", kModul, datum.data()).c_str());
    z.Kommandodatei = datei::Dispose(z.Kommandodatei);
    ZeilenindexZuruecksetzen();
    z.Protokolldatei = datei::Dispose(z.Protokolldatei);
    return 0;
}

}  // namespace taktler::interpreter
