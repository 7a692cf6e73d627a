// SPDX-License-Identifier: GPL-3.0-or-later
// --pruefen: fixed cases and random files, each also run and compared with how the run ends.
#include "pruefen/pruefen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/taktler.h"
#include "services/kxsound.h"
#include "services/virtuelleuhr.h"
#include "testdateien.h"
#include "testhilfe/pruefvergleich.h"
#include "testhilfe/stumme_seams.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

std::string Ersetze(std::string text, const std::string& alt, const std::string& neu) {
    for (auto p = text.find(alt); p != std::string::npos; p = text.find(alt, p + neu.size())) {
        text.replace(p, alt.size(), neu);
    }
    return text;
}

// Checks, then runs on the simulated interface in virtual time, silent and within budgets.
class PruefLauf : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        services::Umwelt().konsole = &stumm;
        services::SetzeSoundgeraet(&ton);
    }
    void TearDown() override {
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }

    std::string PruefeUndLaufe(const std::string& kommandos, const std::string& szenario) {
        SchreibeDatei(k, Ersetze(kommandos, "@DIR@", dir.pfad()));
        pruefung = pruefen::PruefeKommandodatei(k);
        ZustandZuruecksetzen();
        services::VirtuelleUhr virtuell(1'000'000'000'000);
        services::Umwelt().uhr = &virtuell;
        fenster.berichte.clear();
        interface::Simulator simulator(interface::ParseSzenario(szenario, "s.txt").ereignisse);
        BudgetPort budget(simulator, 3'000'000, 5000);
        interface::SetzePort(&budget);
        lauf = Laufende{};
        interpreter::SetzeZeilenHaken(
            [&](const auto& kz, const auto&) { budget.Zeile(), lauf.Zeile(kz); });
        try {
            interpreter::Programmlauf({k, dir / "p.txt"});
        } catch (const services::Programmende&) {
            lauf.art = Laufende::Abbruch;
            lauf.bericht = LetzterBericht();
        } catch (const BudgetPort::Erschoepft&) {
            lauf.art = Laufende::Grenze;
        }
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        ZustandZuruecksetzen();
        services::Umwelt().uhr = &uhr;
        std::filesystem::remove(dir / "p.txt");
        return Vergleiche(pruefung, lauf);
    }

    TempVerzeichnis dir;
    std::string k = dir / "k.txt";
    pruefen::Pruefergebnis pruefung;
    Laufende lauf;
    fuzz::StummeKonsole stumm;
    fuzz::StillesSoundgeraet ton;
};

// One row per rule: each class of fault a walk of the run's rules can make (C1..C7, R1..R3).
struct Fall {
    const char* name;
    std::string datei;                 // "@DIR@" stands for the test's directory
    std::vector<std::string> befunde;  // "LINE: art: text"; "@DIR@" upper-cased
    std::string szenario = "";
    std::string zeigt = "";  // what the run shows on the console, confirming a warning
};

void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.name;
}

const std::string kA = "UNTERPROGRAMM A\nENDE_UNTERPROGRAMM\n";
const std::string kB = "UNTERPROGRAMM B\nENDE_UNTERPROGRAMM\n";
const std::string kFoo = "fehler: unbekanntes Kommando FOO";

const std::vector<Fall> kFaelle = {
    // C1: the lines after a calling loop's ENDE_BIS are read at its level.
    {"C1", "BIS ZEIT = 5\nRUFE A\nENDE_BIS\nFOO\nENDE\nEXIT\n" + kA, {"4: " + kFoo}},
    // C2: ENDE_UNTERPROGRAMM closes the level the loop's last pass left open.
    {"C2",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 5\nRUFE B\nENDE_BIS\nENDE_UNTERPROGRAMM\n" + kB,
     {"7: fehler: ENDE_UNTERPROGRAMM ohne offenen Block"}},
    // A stray ENDE in a subroutine leaves its level: the walk lowers it too.
    {"StrayEndeInSubroutine",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 5\nENDE\nENDE\nENDE_UNTERPROGRAMM\n",
     {"7: fehler: ENDE_UNTERPROGRAMM ohne offenen Block"}},
    // C3: ELSE on every pass, not only the last.
    {"C3",
     "BIS ZEIT = 5\nELSE\nRUFE A\nENDE_BIS\nEXIT\nFOO\nENDE\n" + kA,
     {"3: warnung: wird nie ausgefuehrt (ebenso die Befehle bis Zeile 5)", "6: " + kFoo}},
    // C4: ELSE after the loop, in the level its last pass left open.
    {"C4",
     "BIS ZEIT = 5\nBIS ZEIT = 5\nRUFE A\nENDE_BIS\nELSE\nENDE_BIS\nAUSSCHALTEN MOTOR5\nEXIT\n" +
         kA,
     {"1: warnung (nach Zeile 7): BIS-Block beim EXIT in Zeile 8 noch offen (ENDE_BIS oder ENDE "
      "fehlt): der Lauf wartet hier nicht",
      "7: fehler: unbekannter Motor MOTOR5"}},
    // C6: missing words come from the line read before, in reading order.
    {"C6",
     "BIS ZEIT = 5\nBIS\nMELDUNG X\nENDE_BIS\nENDE_BIS\n",
     {"2: fehler: unbekannter Schalter X",
      "2: warnung: BIS ohne Grenzwert: das vierte Wort fehlt"}},
    // C7: ELSE at a subroutine's own level switches the rest of it off.
    {"C7",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nELSE\nRUFE B\nENDE_UNTERPROGRAMM\nFOO\n" + kB,
     {"5: warnung: wird nie ausgefuehrt", "7: " + kFoo,
      "7: warnung: Zeile gehoert zu keinem Unterprogramm"}},
    // R1: a call in a block that is always skipped, or only when a switch is.
    {"R1Immer",
     "BIS SCHALTER1 = 0\nRUFE A\nENDE\nEXIT\nFOO\n" + kA,
     {"2: warnung: wird nie ausgefuehrt (ebenso die Befehle bis Zeile 4)", "5: " + kFoo}},
    {"R1Wenn",
     "BIS SCHALTER1 = 1\nRUFE A\nENDE\nEXIT\nFOO\n" + kA,
     {"5: warnung: unbekanntes Kommando FOO - Abbruch, wenn der Block ab Zeile 1 uebersprungen "
      "wird"},
     "start schalter 1 an\n"},
    // R2: a subroutine that calls itself in a block that always runs.
    {"R2",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 10\nRUFE A\nENDE\nENDE_UNTERPROGRAMM\n",
     {"4: fehler: Verschachtelung tiefer als Stufe 79"}},
    // R3: armed in a block that may be skipped, a later bad name may abort.
    {"R3",
     "BIS SCHALTER1 = 1\nNOTHALT SCHALTER8\nENDE\nNOTHALT SCHALTERX\n",
     {"4: warnung: unbekannter Schalter SCHALTERX - Abbruch, wenn noch kein NOTHALT scharf ist"},
     "start schalter 1 an\n"},
    {"UnterprogrammFehlt", "rufe blinken\n", {"1: fehler: Unterprogramm BLINKEN nicht gefunden"}},
    {"ZeileVorDerSchleife",
     ";" + std::string(98, 'K') + "\nMELDUNG A\nBIS ZEIT = 10\nENDE_BIS\n",
     {"1: fehler: Zeile zu lang fuer den Ruecksprung zu Zeile 3: 99 Zeichen (hoechstens 98)"}},
    // An INFO file's lines may be 248 bytes long.
    {"InfoZeilen",
     "INFO @DIR@/kurz.txt\nINFO @DIR@/lang.txt\n",
     {"2: fehler: INFO-Datei @DIR@/LANG.TXT hat eine Zeile mit 249 Zeichen (hoechstens 248)"}},
    // Line numbers as an editor shows them, though the reader skips an empty line ended by LF.
    {"LeereZeilenCrUndKleinschrift", "MELDUNG A\n\nMELDUNG B\r\rfoo\r", {"5: " + kFoo}},
    // More header names than the check keeps: the search reads the file again.
    {"VieleKoepfe",
     [] {
         std::string s = "RUFE ZIEL\nEXIT\n";
         for (int i = 0; i <= 100'000; ++i) {
             s += "UNTERPROGRAMM H" + std::to_string(i) + "\nENDE_UNTERPROGRAMM\n";
         }
         return s + "UNTERPROGRAMM ZIEL\nFOO\nENDE_UNTERPROGRAMM\n";
     }(),
     {"200006: " + kFoo}},
    // A plain line hands all its words on: here the limit 0, so the block never runs.
    {"WorteAusSchlichterZeile",
     "BIS ZEIT = 2\nENDE\nMELDUNG SCHALTER1 = 0\nBIS\nAUSSCHALTEN MOTOR5\nENDE\n",
     {"3: warnung: MELDUNG zeigt nur das erste Wort: SCHALTER1 (Woerter mit _ verbinden)",
      "4: warnung: BIS ohne Grenzwert: das vierte Wort fehlt", "5: warnung: wird nie ausgefuehrt"}},
    {"Grenzwerte",
     "BIS ANALOG1 >\nENDE_BIS\nBIS ANALOG1 > HELL\nENDE_BIS\nBIS ANALOG1 = MAX\nENDE_BIS\nBIS "
     "SCHALTER2 = 3X\nENDE_BIS\nBIS ZEIT = -1\nEXIT\nENDE\n",
     {"1: warnung: BIS ohne Grenzwert: das vierte Wort fehlt",
      "3: warnung: Grenzwert HELL ist keine Zahl (gilt als 0)",
      "7: warnung: Grenzwert 3X ist keine Zahl (gilt als 3)",
      "9: warnung: negative ZEIT-Grenze -1: wartet etwa 49.7 Tage"},
     "start analog 1 100\nstart analog 2 40\nabfrage 2 schalter 2 an\nabfrage 3 schalter 2 "
     "aus\nabfrage 4 schalter 2 an\nabfrage 5 schalter 2 aus\nabfrage 6 schalter 2 an\n"},
    // C5 (lines 5, 6, 19-21): armed in a call stays armed; files as the run finds; definitions.
    {"C5DateienDefinitionen",
     "SOUND C:\\KLANG\\FEHLT.WAV\nSOUND @DIR@\\KLANG\\GONG.WAV\nINFO @DIR@/fehlt.txt\nINFO "
     "@DIR@/klang/gong.wav\nRUFE A\nNOTHALT SCHALTERX\nRUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG A\n"
     "UNTERPROGRAMM Y\nENDE_UNTERPROGRAMM\n\r\n;\nMELDUNG VERIRRT\nMELDUNG AUCH\n  UNTERPROGRAMM "
     "Z\nENDE_UNTERPROGRAMM\nUNTERPROGRAMM A\nNOTHALT SCHALTER8\nENDE_UNTERPROGRAMM\n",
     {"1: warnung: Datei nicht gefunden: C:\\KLANG\\FEHLT.WAV",
      "3: warnung: Datei nicht gefunden: @DIR@/FEHLT.TXT",
      "9: warnung: Unterprogramm X ohne ENDE_UNTERPROGRAMM",
      "15: warnung: Zeile gehoert zu keinem Unterprogramm (ebenso bis Zeile 16)",
      "17: warnung: Kopfzeile mit Leerzeichen am Anfang wird nie gefunden"}},
    // The beginner's mistakes: a loop without its end does not wait, only one word is shown,
    // a keyword or name typed wrong.
    {"BisOffenAmDateiende",
     "BIS SCHALTER1 = 2\nMELDUNG WARTE\n",
     {"1: warnung: BIS-Block am Dateiende noch offen (ENDE_BIS oder ENDE fehlt): der Lauf wartet "
      "hier nicht"},
     "",
     "WARTE;\nTAKTLER 091200 ENDE"},
    {"BisOffenBeimExit",
     "BIS ZEIT = 1000\nMELDUNG WARTE\nEXIT\n",
     {"1: warnung: BIS-Block beim EXIT in Zeile 3 noch offen (ENDE_BIS oder ENDE fehlt): der Lauf "
      "wartet hier nicht"},
     "",
     "WARTE;\nTAKTLER 091200 ENDE"},
    {"ExitImBlockMitEnde", "BIS SCHALTER1 = 1\nEXIT\nENDE\nMELDUNG A\n", {}},
    {"MehrereWorte",
     "MELDUNG BAND LAEUFT\nPAUSE BITTE,WARTEN\n",
     {"1: warnung: MELDUNG zeigt nur das erste Wort: BAND (Woerter mit _ verbinden)",
      "2: warnung: PAUSE zeigt nur das erste Wort: BITTE (Woerter mit _ verbinden)"},
     "",
     ";BAND;\n"},
    {"KommandoVertippt",
     "einschaltn motor1 links\n",
     {"1: fehler: unbekanntes Kommando EINSCHALTN (meinten Sie EINSCHALTEN?)"}},
    // Several errors in one pass: each behind the one before it, taken as mended.
    {"MotorVertipptUndMehr",
     "EINSCHALTEN MOTR1\nFOO\nBIS SCHALTER1 = 1\nENDE\nENDE\nNOTHALT SCHALTER9\nBIS ZEIT = 5\n"
     "EINSCHALTEN MOTOR1\n",
     {"1: fehler: unbekannter Motor MOTR1 (meinten Sie MOTOR1?)",
      "2: fehler (nach Zeile 1): unbekanntes Kommando FOO",
      "5: fehler (nach Zeile 2): ENDE ohne offenen Block",
      "6: fehler (nach Zeile 5): unbekannter Schalter SCHALTER9",
      "7: warnung (nach Zeile 6): BIS-Block am Dateiende noch offen (ENDE_BIS oder ENDE fehlt): "
      "der "
      "Lauf wartet hier nicht"}},
    {"BedingungVertippt",
     "BIS ZIET = 5\nENDE_BIS\n",
     {"1: fehler: unbekannter Schalter ZIET (meinten Sie ZEIT?)"}},
};

class PruefFallTest : public PruefLauf, public ::testing::WithParamInterface<Fall> {};

TEST_P(PruefFallTest, FindsTheseLinesAndTheRunAgrees) {
    dir.Datei("klang/gong.wav", "RIFF");
    dir.Datei("lang.txt", "kurz\n" + std::string(249, 'L') + "\n");
    dir.Datei("kurz.txt", std::string(248, 'K') + "\n");
    services::Umwelt().konsole = &konsole;
    EXPECT_EQ(PruefeUndLaufe(GetParam().datei, GetParam().szenario), "");
    EXPECT_NE(konsole.aus.find(GetParam().zeigt), std::string::npos) << konsole.aus;
    EXPECT_NE(lauf.art, Laufende::Grenze);
    std::string gross = dir.pfad();
    std::transform(gross.begin(), gross.end(), gross.begin(), ::toupper);
    std::vector<std::string> befunde;
    for (const auto& b : pruefung.befunde) {
        const std::string nach = b.nach != 0 ? " (nach Zeile " + std::to_string(b.nach) + ")" : "";
        befunde.push_back(Ersetze(
            std::to_string(b.zeile) + (b.fehler ? ": fehler" : ": warnung") + nach + ": " + b.text,
            gross, "@DIR@"));
    }
    EXPECT_EQ(befunde, GetParam().befunde);
}

INSTANTIATE_TEST_SUITE_P(Faelle, PruefFallTest, ::testing::ValuesIn(kFaelle),
                         [](const auto& info) { return std::string(info.param.name); });

// From a seed: a well-formed command file ("@DIR@" as in Fall) with a few mutations, a scenario.
class Erzeuger {
  public:
    explicit Erzeuger(std::uint32_t saat) : zufall_(saat) {}
    std::pair<std::string, std::string> Programm() {
        Block(2 + Zahl(9), 0);
        zeilen_.resize(zeilen_.size() + (Wahr(80) ? 1 : 0), "EXIT");
        for (const char* name : {"A", "B", "C"}) {
            if (Wahr(85)) {
                Unterprogramm(name);
            }
        }
        for (int n = Zahl(3); n > 0 && !zeilen_.empty(); --n) {
            Mutiere(zeilen_.begin() + Zahl(static_cast<int>(zeilen_.size())));
        }
        const std::string ende = Wahr(90) ? "\n" : Eins({"\r\n", "\r"});
        // A byte-order mark as some editors write it; nothing is read after Ctrl-Z.
        std::pair<std::string, std::string> p{Wahr(2) ? "\xEF\xBB\xBF" : "", ""};
        for (const std::string& z : zeilen_) {
            p.first += z + ende;
        }
        p.first += Wahr(3) ? std::string(1, '\x1A') + "FAHRE\n" : "";
        // An analog input at 0 is measured again on every evaluation: slow.
        p.second = Wahr(90) ? "start analog 2 " + std::to_string(1 + Zahl(2499)) + "\n" : "";
        for (int n = Zahl(6); n > 0; --n) {
            const int wann = Zahl(3);
            const bool schalter = Wahr(70);
            const std::string zahl = std::to_string(1 + Zahl(wann == 1 && !schalter ? 60 : 40));
            p.second +=
                (wann == 0   ? "start"
                 : wann == 1 ? (schalter ? "abfrage " : "messung ") + zahl
                             : "zeit " + std::to_string(Zahl(50))) +
                (schalter ? " schalter " + std::to_string(Wahr(90) ? 1 + Zahl(3) : 1 + Zahl(8)) +
                                Eins({" an", " aus"})
                          : " analog " + std::to_string(1 + Zahl(2)) + " " +
                                std::to_string(Zahl(2500))) +
                "\n";
        }
        return p;
    }

  private:
    int Zahl(int n) { return static_cast<int>(zufall_() % static_cast<std::uint32_t>(n)); }
    bool Wahr(int prozent) { return Zahl(100) < prozent; }
    template <typename T>
    T Von(std::initializer_list<T> v) {
        return v.begin()[Zahl(static_cast<int>(v.size()))];
    }
    std::string Eins(std::initializer_list<std::string> v) { return Von(v); }

    std::string Motor() {
        return Wahr(6) ? Eins({"MOTOR5", "MOTOR0", "LAMPE"})
                       : "MOTOR" + std::to_string(1 + Zahl(4));
    }
    std::string Schalter() {
        return Wahr(8) ? Eins({"SCHALTER9", "SCHALTERX", "TASTER1"})
                       : "SCHALTER" + std::to_string(Wahr(70) ? 1 + Zahl(3) : 1 + Zahl(8));
    }
    // Words that other commands may take over as their names.
    std::string Wort() {
        return Eins({"OK", "X", "MOTOR1", "MOTOR5", "SCHALTER2", "SCHALTERX", "A", "B", "ZEIT",
                     "ANALOG1", "=", "5", "MAX", "DANACH"});
    }
    std::string Name() { return Wahr(5) ? "Z" : Eins({"A", "B", "C"}); }
    std::string Bedingung() {
        const int art = Zahl(100);
        return art < 35
                   ? (Wahr(8) ? "BIS ZEIT " : "BIS ZEIT = ") + std::to_string(Von({0, 1, 2, 5, 20}))
               : art < 70 ? "BIS " + Schalter() + " = " + std::to_string(Zahl(4))
               : art < 95 ? "BIS ANALOG1 " + Eins({">", "<", "="}) + " " +
                                std::to_string(Von({0, 100, 500, 1500, 3000}))
                          : "BIS ANALOG1 = MAX";
    }

    void Block(int laenge, int tiefe) {
        for (int i = 0; i < laenge; ++i) {
            const int art = Zahl(100);
            if (art >= 43 && art < 62 && tiefe < 3) {
                Schleife(tiefe);
                continue;
            }
            const std::string kurz = Eins(
                {"AUSSCHALTEN", "EINSCHALTEN", "BIS", "RUFE", "NOTHALT", "MELDUNG", "BIS ZEIT"});
            zeilen_.push_back(
                art < 12   ? "EINSCHALTEN " + Motor() + Eins({" LINKS", " RECHTS", ",LINKS", ""})
                : art < 21 ? "AUSSCHALTEN " + Motor()
                : art < 30 ? "MELDUNG " + Wort()
                : art < 32 ? "TRACELEVEL " + Eins({"0", "1", "4"})
                : art < 36 ? Eins({"; Kommentar", "", "   ; eingerueckt",
                                   "; hier UNTERPROGRAMM A und mehr"})
                : art < 38 ? "PAUSE " + Wort()
                : art < 41 ? "NOTHALT " + Schalter()
                : art < 42 ? "INFO @DIR@/" + Eins({"INFO.TXT", "LANG.TXT", "FEHLT.TXT", "K.TXT"})
                : art < 43 ? "SOUND @DIR@/" + Eins({"GONG.WAV", "FEHLT.WAV"})
                : art < 72 ? "RUFE " + Name()
                : art < 75 ? "EXIT"
                : art < 81 ? kurz  // takes its words from the line read before
                : art < 84 ? Eins({"ELSE", "ENDE", "ENDE_BIS", "ENDE_UNTERPROGRAMM"})
                : art < 85 ? Eins({"FOO", "REBOOT", "TRANSFER", "\tX", ",X"})
                           : "MELDUNG " + Wort());
            if (art >= 43 && art < 72 && Wahr(25)) {  // words from the last line a call read
                zeilen_.push_back(
                    Eins({"AUSSCHALTEN", "EINSCHALTEN", "BIS", "NOTHALT", "RUFE", "BIS ANALOG1"}));
            }
        }
    }

    void Schleife(int tiefe) {
        zeilen_.push_back(Bedingung());
        Block(Zahl(5), tiefe + 1);
        const bool sonst = Wahr(30) && Sonst(tiefe);
        zeilen_.push_back(Wahr(sonst ? 70 : 45) ? "ENDE" : "ENDE_BIS");
        if ((Wahr(8) && Sonst(tiefe)) || Wahr(8)) {  // an ELSE part or an ENDE after the loop
            zeilen_.push_back("ENDE");
        }
    }

    bool Sonst(int tiefe) {  // true, to chain
        zeilen_.push_back("ELSE");
        Block(Zahl(3), tiefe + 1);
        return true;
    }

    void Unterprogramm(const std::string& name) {
        zeilen_.push_back(Wahr(4)   ? "UNTERPROGRAMM " + name + " ; blinkt"
                          : Wahr(3) ? " UNTERPROGRAMM " + name  // never found
                                    : "UNTERPROGRAMM " + name);
        Block(Zahl(6), 1);
        zeilen_.resize(zeilen_.size() + (Wahr(95) ? 1 : 0), "ENDE_UNTERPROGRAMM");
    }

    void Mutiere(std::vector<std::string>::iterator bei) {
        const int art = Zahl(10);
        if (art == 1) {
            zeilen_.erase(bei);
        } else if (art == 3) {  // deep nesting around the rest of the main part
            const int tiefe = Von({40, 78, 79, 80});
            zeilen_.insert(zeilen_.begin(), static_cast<std::size_t>(tiefe), "BIS ZEIT = 0");
            zeilen_.insert(zeilen_.begin() + tiefe + Zahl(3), static_cast<std::size_t>(tiefe),
                           "ENDE");
        } else if (art == 4) {
            std::transform(bei->begin(), bei->end(), bei->begin(), ::tolower);
        } else if (art == 6) {
            bei->insert(bei->size() / 2, 1, '\0');  // the stored line ends there
        } else if (art == 7) {
            *bei += Eins({" ", "  ", "\t"});
        } else {
            // A line around the readers' limits, a copy, an empty line the reader may skip, a
            // block end the header search takes for a header, or a call.
            zeilen_.insert(bei, art == 0   ? Lang()
                                : art == 2 ? *bei
                                : art == 5 ? ""
                                           : (Wahr(50) ? "ENDE_UNTERPROGRAMM " : "RUFE ") + Name());
        }
    }

    std::string Lang() {
        const std::string kopf = Wahr(50) ? ";" : "MELDUNG ";
        const auto laenge = Von<std::size_t>({98, 99, 120, 198, 199, 250, 498, 499, 520});
        return kopf + std::string(laenge - kopf.size(), 'L');
    }

    std::mt19937 zufall_;
    std::vector<std::string> zeilen_;
};

// TAKTLER_VERGLEICH=FROM-TO picks the seeds; TAKTLER_VERGLEICH_ABLAGE keeps the files of
// disagreements and of files too branchy to check (tools/pruefen-vergleich.sh).
using PruefVergleich = PruefLauf;
TEST_F(PruefVergleich, AgreesWithRealRuns) {
    std::uint32_t von = 1, bis = 300;
    if (const char* bereich = std::getenv("TAKTLER_VERGLEICH")) {
        std::sscanf(bereich, "%u-%u", &von, &bis);
    }
    const char* ablage = std::getenv("TAKTLER_VERGLEICH_ABLAGE");
    dir.Datei("INFO.TXT", "eine Zeile\n");
    dir.Datei("LANG.TXT", std::string(300, 'L') + "\n");
    dir.Datei("GONG.WAV", SinusWav(0.01));
    std::map<std::string, int> zahl;  // endings and findings by kind
    int abweichungen = 0;
    for (std::uint32_t saat = von; saat <= bis && abweichungen < 5; ++saat) {
        const auto [kommandos, szenario] = Erzeuger(saat).Programm();
        const std::string abweichung = PruefeUndLaufe(kommandos, szenario);
        const auto art = lauf.art == Laufende::Abbruch ? ArtVon(lauf.bericht) : std::nullopt;
        ++zahl[lauf.art == Laufende::Normal   ? "ending normal"
               : lauf.art == Laufende::Grenze ? "ending cut by the budget"
               : art                          ? std::string("ending abort: ") + Name(*art)
                                              : "ending abort: " + lauf.bericht];
        zahl["not checkable"] += pruefung.lesbar ? 0 : 1;
        for (const auto& a : pruefung.abbrueche) {
            ++zahl[std::string(a.immer ? "finding error: " : "finding warning: ") + Name(a.art)];
        }
        if (ablage != nullptr && (!abweichung.empty() || !pruefung.lesbar)) {
            SchreibeDatei(std::string(ablage) + "/k" + std::to_string(saat) + ".txt", kommandos);
            SchreibeDatei(std::string(ablage) + "/s" + std::to_string(saat) + ".txt", szenario);
        }
        if (!abweichung.empty()) {
            ++abweichungen;
            ADD_FAILURE() << "seed " << saat << ": " << abweichung << "\n--- command file:\n"
                          << LiesDatei(k) << "--- scenario:\n"
                          << szenario;
        }
    }
    std::printf("PRUEFVERGLEICH seeds %u-%u\n", von, bis);
    for (const auto& [art, n] : zahl) {
        std::printf("PRUEFVERGLEICH   %-60s %d\n", art.c_str(), n);
    }
}

// A plain file of many lines is checked, whatever the fixed bound; a file whose states
// explode is refused, naming the lines with the most states.
TEST(PruefGrenze, PlainFilesAreCheckedAndTheRefusalNamesTheLines) {
    TempVerzeichnis dir;
    std::string rufe;
    for (int i = 0; i < 100'000; ++i) {
        rufe += "RUFE X\n";
    }
    dir.Datei("rufe.txt", rufe + "EXIT\nUNTERPROGRAMM X\nMELDUNG IM_UP\nENDE_UNTERPROGRAMM\n");
    const pruefen::Pruefergebnis schlicht = pruefen::PruefeKommandodatei(dir / "rufe.txt");
    EXPECT_TRUE(schlicht.lesbar);
    EXPECT_TRUE(schlicht.befunde.empty());
    EXPECT_GT(schlicht.zustaende, pruefen::kZustandsGrenze);
    // Two subroutines calling each other in loops (a random file of the comparison).
    dir.Datei("zweige.txt",
              "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 1\nrufe b\nENDE_BIS\nENDE_UNTERPROGRAMM\n"
              "UNTERPROGRAMM B\nBIS ZEIT = 1\nBIS ANALOG1 > 100\nMELDUNG DANACH\nENDE\nELSE\nENDE\n"
              "BIS ANALOG1 > 100\nRUFE A\nMELDUNG X\nENDE_BIS\nENDE_UNTERPROGRAMM\n");
    const pruefen::Pruefergebnis zweige = pruefen::PruefeKommandodatei(dir / "zweige.txt", 2000);
    ASSERT_FALSE(zweige.lesbar);
    EXPECT_EQ(zweige.befunde.front().text,
              "zu verzweigt fuer eine vollstaendige Pruefung (mehr als 2000 Zustaende, die meisten "
              "bei Zeile 16, 5, 11)");
}

// The command line of the check: files it cannot check, several files, --streng.
struct Aufruf {
    const char* name;
    std::string dateien;  // separated by blanks, "@" the test's directory; --streng among them
    int code;
    std::string aus;
};

void PrintTo(const Aufruf& a, std::ostream* os) {
    *os << a.name;
}

const std::string kWarnt = "BIS SCHALTER1 = 1\nNOTHALT SCHALTER8\nENDE\nNOTHALT SCHALTERX\n";
const std::string kWarnung =
    "unbekannter Schalter SCHALTERX - Abbruch, wenn noch kein NOTHALT scharf ist\n";

// Eleven lines that each end every run: the check stops after ten errors.
std::string ZehnVonElfFehlern() {
    std::string aus = "@/elf.txt:1: fehler: unbekanntes Kommando FOO\n";
    for (int n = 2; n <= 10; ++n) {
        aus += "@/elf.txt:" + std::to_string(n) + ": fehler (nach Zeile " + std::to_string(n - 1) +
               "): unbekanntes Kommando FOO\n";
    }
    return aus + "@/elf.txt: 10 Fehler, 0 Warnung(en)\n";
}

class PruefAufrufTest : public TaktlerTest, public ::testing::WithParamInterface<Aufruf> {};

TEST_P(PruefAufrufTest, PrintsEachFileAndTheSum) {
    TempVerzeichnis dir;
    dir.Datei("gut.txt", "MELDUNG A\n");
    dir.Datei("warnt.txt", kWarnt);
    dir.Datei("falsch.txt", "FOO\n");
    dir.Datei("geraet.txt", "INFO /DEV/ZERO\n");
    dir.Datei("elf.txt", Ersetze(std::string(11, '.'), ".", "FOO\n"));
    std::vector<std::string> dateien;
    std::istringstream woerter(Ersetze(GetParam().dateien, "@", dir.pfad()));
    for (std::string d; woerter >> d;) {
        dateien.push_back(d);
    }
    const auto streng = std::find(dateien.begin(), dateien.end(), "--streng");
    const bool mitStreng = streng != dateien.end();
    if (mitStreng) {
        dateien.erase(streng);
    }
    EXPECT_EQ(pruefen::Pruefen(dateien, mitStreng), GetParam().code);
    EXPECT_EQ(Ersetze(konsole.aus, dir.pfad(), "@"), GetParam().aus);
}

INSTANTIATE_TEST_SUITE_P(
    Aufrufe, PruefAufrufTest,
    ::testing::Values(
        Aufruf{
            "Fehlt", "@/fehlt.txt", 12,
            "@/fehlt.txt: fehler: Datei nicht vorhanden\n@/fehlt.txt: 1 Fehler, 0 Warnung(en)\n"},
        Aufruf{"Verzeichnis", "@", 12,
               "@: fehler: ist ein Verzeichnis, keine Kommandodatei\n@: 1 Fehler, 0 Warnung(en)\n"},
        // The run's reader aborts on the first 499 bytes of it.
        Aufruf{"OhneZeilenende", "/dev/zero", 12,
               "/dev/zero:1: fehler: Zeile zu lang: mehr als 1000000 Zeichen (hoechstens 498)\n"
               "/dev/zero: 1 Fehler, 0 Warnung(en)\n"},
        // INFO lists only a regular file: a device is never read by the check.
        Aufruf{"InfoGeraet", "@/geraet.txt", 0, "@/geraet.txt: 0 Fehler, 0 Warnung(en)\n"},
        Aufruf{"ZehnFehler", "@/elf.txt", 12, ZehnVonElfFehlern()},
        Aufruf{"Mehrere", "@/gut.txt @/warnt.txt @/falsch.txt", 12,
               "@/gut.txt: 0 Fehler, 0 Warnung(en)\n@/warnt.txt:4: warnung: " + kWarnung +
                   "@/warnt.txt: 0 Fehler, 1 Warnung(en)\n@/falsch.txt:1: fehler: unbekanntes "
                   "Kommando FOO\n@/falsch.txt: 1 Fehler, 0 Warnung(en)\n"
                   "3 Dateien: 1 mit Fehlern, 1 mit Warnungen, 1 ohne Befund\n"},
        Aufruf{"Warnung", "@/warnt.txt", 0,
               "@/warnt.txt:4: warnung: " + kWarnung + "@/warnt.txt: 0 Fehler, 1 Warnung(en)\n"},
        Aufruf{"Streng", "--streng @/warnt.txt @/gut.txt", 12,
               "@/warnt.txt:4: fehler: " + kWarnung +
                   "@/warnt.txt: 1 Fehler, 0 Warnung(en)\n@/gut.txt: 0 Fehler, 0 Warnung(en)\n"
                   "2 Dateien: 1 mit Fehlern, 0 mit Warnungen, 1 ohne Befund\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace taktler::test
