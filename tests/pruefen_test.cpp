// --pruefen against real runs: fixed cases with their findings and the
// ending of a run on the simulated interface, and a comparison on random
// command files (tools/pruefen-vergleich.sh runs it on any seed range).
#include "interpreter/pruefen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
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
#include "zufallsprogramm.h"

namespace taktler::test {
namespace {

std::string Ersetze(std::string text, const std::string& alt, const std::string& neu) {
    for (std::size_t p = text.find(alt); p != std::string::npos;
         p = text.find(alt, p + neu.size())) {
        text.replace(p, alt.size(), neu);
    }
    return text;
}

std::string Gross(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

struct Grenzerreicht {};

// Stops a run that polls too long: a budget of port accesses.
class BudgetPort : public interface::Port {
  public:
    explicit BudgetPort(interface::Port& innen) : innen_(innen) {}
    void SchreibeByte(std::uint8_t wert) override { Zaehle(), innen_.SchreibeByte(wert); }
    void SchreibeWort(std::uint16_t wert) override { Zaehle(), innen_.SchreibeWort(wert); }
    std::uint8_t LiesStatus() override { return Zaehle(), innen_.LiesStatus(); }
    void Sperren() override {}
    void Freigeben() override {}

  private:
    void Zaehle() {
        if (++zugriffe_ > 3'000'000) {
            throw Grenzerreicht{};
        }
    }
    interface::Port& innen_;
    std::uint64_t zugriffe_ = 0;
};

// Runs in-process on the simulated interface in virtual time (reproducible,
// and as fast as the work of the run), with a silent console and sound, and
// budgets of lines and port accesses.
class PruefLauf : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        services::Umwelt().konsole = &stumm;
        services::SetzeSoundgeraet(&ton);
    }
    void TearDown() override {
        services::SetzeSoundgeraet(nullptr);
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }

    void Schreibe(const std::string& kommandos, const std::string& szenario = "") {
        SchreibeDatei(kommandodatei, Ersetze(kommandos, "@DIR@", dir.pfad()));
        SchreibeDatei(szenariodatei, szenario);
    }

    Laufende Laufe() {
        ZustandZuruecksetzen();
        uhr.emplace(kStartMs);
        services::Umwelt().uhr = &*uhr;
        fenster.berichte.clear();
        std::filesystem::remove(protokoll);
        interface::SzenarioErgebnis szenario = interface::LadeSzenario(szenariodatei);
        EXPECT_TRUE(szenario.Ok());
        interface::Simulator simulator(szenario.ereignisse);
        BudgetPort budget(simulator);
        interface::SetzePort(&budget);
        Laufende ende;
        int zeilen = 0;
        interpreter::SetzeZeilenHaken(
            [&](const interpreter::Kommandozeile& kz, const std::string&) {
                if (++zeilen > 5000) {
                    throw Grenzerreicht{};
                }
                ende.Zeile(kz);
            });
        try {
            interpreter::Programmlauf({kommandodatei, protokoll});
        } catch (const services::Programmende&) {
            ende.art = Laufende::Abbruch;
            ende.bericht = LetzterBericht();
        } catch (const Grenzerreicht&) {
            ende.art = Laufende::Grenze;
        }
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        ZustandZuruecksetzen();
        return ende;
    }

    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
    std::string szenariodatei = dir / "s.txt";
    std::string protokoll = dir / "p.txt";
    static constexpr std::int64_t kStartMs = 1'000'000'000'000;
    std::optional<services::VirtuelleUhr> uhr;
    fuzz::StummeKonsole stumm;
    fuzz::StillesSoundgeraet ton;
};

// ---------------------------------------------------------------------------
// Fixed cases.

struct Fall {
    const char* name;
    std::string datei;                 // "@DIR@" stands for the test's directory
    std::string szenario;              // inputs of the run
    std::vector<std::string> befunde;  // "LINE: art: text"; "@DIR@" upper-cased
    std::string ende;                  // the run's abort report, "" for a normal end
};

void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.name;
}

std::string Wiederhole(const std::string& text, int anzahl) {
    std::string aus;
    for (int i = 0; i < anzahl; ++i) {
        aus += text;
    }
    return aus;
}

// Definitions of n subroutines with different names.
std::string Koepfe(int n) {
    std::string aus;
    for (int i = 0; i < n; ++i) {
        aus += "UNTERPROGRAMM H" + std::to_string(i) + "\nENDE_UNTERPROGRAMM\n";
    }
    return aus;
}

// A comment line of exactly n characters.
std::string Kommentar(std::size_t n) {
    return ";" + std::string(n - 1, '-') + "\n";
}

const std::string kUnbekannt =
    "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes Kommando, Programmabbruch: ";
const std::string kOhneBlock =
    "Modul: TAKTLER 091200, Funktion: Strukturstufe: ENDE ohne PRUEFE..., Programmabbruch: ";
const std::string kZuTief =
    "Modul: TAKTLER 091200, Funktion: Strukturstufe: mehr als 79 Stufen, Programmabbruch: ";
const std::string kZuLang =
    "Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross";
const std::string kSchalter =
    "Modul: TAKTLER 091200, Funktion: GibSchalterIndex, Programmabbruch: Unbekannter Schalter";
const std::string kMotor =
    "Modul: TAKTLER 091200, Funktion: Ausschalten, Programmabbruch: "
    "Motor n. definiert";
const std::string kA = "UNTERPROGRAMM A\nENDE_UNTERPROGRAMM\n";

const std::vector<Fall> kFaelle = {
    // C1: the lines after a calling loop's ENDE_BIS are read at its level.
    {"C1NachSchleifeMitRufe",
     "BIS ZEIT = 5\nRUFE A\nENDE_BIS\nFOO\nENDE\nEXIT\n" + kA,
     "",
     {"4: fehler: unbekanntes Kommando FOO"},
     kUnbekannt + "FOO"},
    // C2: ENDE_UNTERPROGRAMM closes the level the loop's last pass left open.
    {"C2InUnterprogramm",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 5\nRUFE B\nENDE_BIS\nENDE_UNTERPROGRAMM\n"
     "UNTERPROGRAMM B\nENDE_UNTERPROGRAMM\n",
     "",
     {"7: fehler: ENDE_UNTERPROGRAMM ohne offenen Block"},
     kOhneBlock},
    {"C2ImHauptprogramm",
     "BIS ZEIT = 5\nRUFE A\nENDE_BIS\nENDE_UNTERPROGRAMM\n" + kA,
     "",
     {"3: fehler: ENDE_BIS ohne offenen Block"},
     kOhneBlock},
    // C3: ELSE on every pass, not only the last.
    {"C3ElseVorRufe",
     "BIS ZEIT = 5\nELSE\nRUFE A\nENDE_BIS\nENDE\nMELDUNG DANACH\nEXIT\n" + kA,
     "",
     {"3: warnung: wird nie ausgefuehrt"},
     ""},
    {"C3ElseVorRufeDannFehler",
     "BIS ZEIT = 5\nELSE\nRUFE A\nENDE_BIS\nEXIT\nFOO\nENDE\n" + kA,
     "",
     {"3: warnung: wird nie ausgefuehrt (ebenso die Befehle bis Zeile 5)",
      "6: fehler: unbekanntes Kommando FOO"},
     kUnbekannt + "FOO"},
    // C4: ELSE after the loop, in the level its last pass left open.
    {"C4ElseNachSchleife",
     "BIS ZEIT = 5\nRUFE A\nENDE_BIS\nELSE\nMELDUNG DANACH\nENDE\nEXIT\n" + kA,
     "",
     {},
     ""},
    {"C4ElseNachInnererSchleife",
     "BIS ZEIT = 5\nBIS ZEIT = 5\nRUFE A\nENDE_BIS\nELSE\nENDE_BIS\nAUSSCHALTEN MOTOR5\nEXIT\n" +
         kA,
     "",
     {"7: fehler: unbekannter Motor MOTOR5"},
     kMotor},
    // C5: the emergency stop armed in a call stays armed after it.
    {"C5NothaltImUnterprogramm",
     "RUFE A\nNOTHALT SCHALTERX\nMELDUNG OK\nEXIT\nUNTERPROGRAMM A\nNOTHALT "
     "SCHALTER8\nENDE_UNTERPROGRAMM\n",
     "",
     {},
     ""},
    // C6: missing words come from the line read before, in reading order.
    {"C6WortAusDemUnterprogramm",
     "RUFE A\nAUSSCHALTEN\nMELDUNG DANACH\nEXIT\nUNTERPROGRAMM A\nAUSSCHALTEN "
     "MOTOR2\nENDE_UNTERPROGRAMM\n",
     "",
     {},
     ""},
    {"C6FalschesWortAusDemUnterprogramm",
     "RUFE MOTOR1\nAUSSCHALTEN\nEXIT\nUNTERPROGRAMM MOTOR1\nMELDUNG X\nENDE_UNTERPROGRAMM\n",
     "",
     {"2: fehler: unbekannter Motor X"},
     kMotor},
    {"C6SchaltartBeimRuecksprung",
     "BIS ZEIT = 5\nBIS\nMELDUNG X\nENDE_BIS\nENDE_BIS\n",
     "",
     {"2: fehler: unbekannter Schalter X", "2: warnung: BIS ohne Grenzwert: das vierte Wort fehlt"},
     kSchalter},
    // C7: ELSE at a subroutine's own level switches the rest of it off.
    {"C7ElseImUnterprogramm",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nELSE\nRUFE B\nENDE_UNTERPROGRAMM\nFOO\nUNTERPROGRAMM "
     "B\nENDE_UNTERPROGRAMM\n",
     "",
     {"5: warnung: wird nie ausgefuehrt", "7: fehler: unbekanntes Kommando FOO",
      "7: warnung: Zeile gehoert zu keinem Unterprogramm"},
     kUnbekannt + "FOO"},
    // R1: a call in a skipped block; the block is always skipped here...
    {"R1ImmerUebersprungen",
     "BIS SCHALTER1 = 0\nRUFE A\nENDE\nEXIT\nFOO\n" + kA,
     "",
     {"2: warnung: wird nie ausgefuehrt (ebenso die Befehle bis Zeile 4)",
      "5: fehler: unbekanntes Kommando FOO"},
     kUnbekannt + "FOO"},
    // ... and here only when switch 1 is already pressed.
    {"R1WennUebersprungen",
     "BIS SCHALTER1 = 1\nRUFE A\nENDE\nEXIT\nFOO\n" + kA,
     "start schalter 1 an\n",
     {"5: warnung: unbekanntes Kommando FOO - Abbruch, wenn der Block ab Zeile 1 uebersprungen "
      "wird"},
     kUnbekannt + "FOO"},
    {"R1WennUebersprungenLaeuftSonst",
     "BIS SCHALTER1 = 1\nRUFE A\nENDE\nEXIT\nFOO\n" + kA,
     "",
     {"5: warnung: unbekanntes Kommando FOO - Abbruch, wenn der Block ab Zeile 1 uebersprungen "
      "wird"},
     ""},
    // R2: a subroutine that calls itself in a block that always runs.
    {"R2RekursionImBlock",
     "RUFE A\nEXIT\nUNTERPROGRAMM A\nBIS ZEIT = 10\nRUFE A\nENDE\nENDE_UNTERPROGRAMM\n",
     "",
     {"4: fehler: Verschachtelung tiefer als Stufe 79"},
     kZuTief + "BIS"},
    // R3: armed in a block that always runs, a later bad name is harmless...
    {"R3NothaltImBlock",
     "BIS ZEIT = 5\nNOTHALT SCHALTER8\nENDE\nNOTHALT SCHALTERX\nMELDUNG OK\n",
     "",
     {},
     ""},
    // ... and aborts when the block was skipped.
    {"R3NothaltImBlockUebersprungen",
     "BIS SCHALTER1 = 1\nNOTHALT SCHALTER8\nENDE\nNOTHALT SCHALTERX\nMELDUNG OK\n",
     "start schalter 1 an\n",
     {"4: warnung: unbekannter Schalter SCHALTERX - Abbruch, wenn noch kein NOTHALT scharf ist"},
     kSchalter},
    {"BedingtImSchleifenkoerper",
     "BIS SCHALTER1 = 1\nAUSSCHALTEN MOTOR5\nENDE_BIS\n",
     "",
     {"2: warnung: unbekannter Motor MOTOR5 - Abbruch, wenn der Block ab Zeile 1 laeuft"},
     kMotor},
    {"ImmerWennErsterDurchlaufLaeuft",
     "BIS SCHALTER1 = 2\nAUSSCHALTEN MOTOR5\nENDE_BIS\n",
     "start schalter 1 an\n",
     {"2: fehler: unbekannter Motor MOTOR5"},
     kMotor},
    // The other reports, each where the run meets it.
    {"UnbekanntMitEditorzeile",
     "MELDUNG A\n\nfahre motor1\nFOO\n",
     "",
     {"3: fehler: unbekanntes Kommando FAHRE"},
     kUnbekannt + "FAHRE"},
    {"RebootImUebersprungenenBlock",
     "BIS SCHALTER1 = 0\nREBOOT\nENDE\n",
     "",
     {"2: fehler: unbekanntes Kommando REBOOT"},
     kUnbekannt + "REBOOT"},
    {"BisSchalter",
     "BIS TASTER1 = 1\nENDE_BIS\n",
     "",
     {"1: fehler: unbekannter Schalter TASTER1"},
     kSchalter},
    {"UnterprogrammFehlt",
     "rufe blinken\n",
     "",
     {"1: fehler: Unterprogramm BLINKEN nicht gefunden"},
     "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: N. gefunden, Programmabbruch: BLINKEN"},
    {"KommentarVorDemKopf",
     "RUFE X\nEXIT\n; hier folgt UNTERPROGRAMM X\nUNTERPROGRAMM X\n",
     "",
     {"3: fehler: zu viele Felder fuer die Suche nach Unterprogramm X",
      "4: warnung: Unterprogramm X ohne ENDE_UNTERPROGRAMM"},
     "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
     "Programmabbruch: ; HIER FOLGT UNTERPROGRAMM X"},
    {"EndeUnterNull", "MELDUNG A\nENDE\n", "", {"2: fehler: ENDE ohne offenen Block"}, kOhneBlock},
    {"AchtzigStufen",
     Wiederhole("BIS ZEIT = 100000\n", 80) + Wiederhole("ENDE\n", 80),
     "",
     {"80: fehler: Verschachtelung tiefer als Stufe 79"},
     kZuTief + "BIS"},
    {"ZeileFuerDenLauf",
     "MELDUNG A\nMELDUNG " + std::string(491, 'X') + "\n",
     "",
     {"2: fehler: Zeile zu lang: 499 Zeichen (hoechstens 498)"},
     kZuLang},
    {"ZeileVorDerSchleife",
     Kommentar(99) + "MELDUNG A\nBIS ZEIT = 10\nENDE_BIS\n",
     "",
     {"1: fehler: Zeile zu lang fuer den Ruecksprung zu Zeile 3: 99 Zeichen (hoechstens 98)"},
     kZuLang},
    {"ZeileVorDemRuecksprung",
     Kommentar(99) + "RUFE X\nEXIT\nUNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     "",
     {"1: fehler: Zeile zu lang fuer den Ruecksprung zu Zeile 2: 99 Zeichen (hoechstens 98)"},
     kZuLang},
    {"ZeileVorDemKopf",
     "RUFE X\nEXIT\n" + Kommentar(199) + "UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     "",
     {"3: fehler: Zeile zu lang fuer die Suche nach Unterprogramm X: 199 Zeichen (hoechstens "
      "198)"},
     kZuLang},
    {"BomVorDerErstenZeile",
     "\xEF\xBB\xBFMELDUNG " + std::string(490, 'X') + "\nFOO\n",
     "",
     {"2: fehler: unbekanntes Kommando FOO"},
     kUnbekannt + "FOO"},
    {"ZuLangFuerJedenLeser",
     "RUFE A\nEXIT\n" + Kommentar(499) + kA,
     "",
     {"3: fehler: Zeile zu lang fuer die Suche nach Unterprogramm A: 499 Zeichen (hoechstens 198)"},
     kZuLang},
    // More header names than the check keeps: the search for the called one
    // reads the file again.
    {"VieleKoepfe",
     "RUFE ZIEL\nEXIT\n" + Koepfe(100'001) + "UNTERPROGRAMM ZIEL\nFOO\nENDE_UNTERPROGRAMM\n",
     "",
     {"200006: fehler: unbekanntes Kommando FOO"},
     kUnbekannt + "FOO"},
    {"InfoMitLangerZeile",
     "INFO @DIR@/lang.txt\n",
     "",
     {"1: fehler: INFO-Datei @DIR@/LANG.TXT hat eine Zeile mit 249 Zeichen (hoechstens 248)"},
     kZuLang},
    // Nothing a run meets.
    {"LeereDatei", "", "", {}, ""},
    {"Grenzlaengen",
     "RUFE X\n" + Kommentar(98) + "BIS ZEIT = 10\nENDE_BIS\n" + Kommentar(198) +
         "INFO @DIR@/kurz.txt\nEXIT\nUNTERPROGRAMM X\nMELDUNG " + std::string(490, 'X') +
         "\nENDE_UNTERPROGRAMM\n",
     "",
     {},
     ""},
    {"NachExit", "NOTHALT SCHALTER8\nNOTHALT SCHALTER9\nEXIT\nFAHRE\n", "", {}, ""},
    {"Grenzwerte",
     "BIS ANALOG1 >\nENDE_BIS\nBIS ANALOG1 > HELL\nENDE_BIS\nBIS ANALOG1 = MAX\nENDE_BIS\n"
     "BIS SCHALTER2 = 3X\nENDE_BIS\nBIS ZEIT = -1\nEXIT\nENDE\n",
     "start analog 1 100\nstart analog 2 40\nabfrage 2 schalter 2 an\nabfrage 3 schalter 2 "
     "aus\nabfrage 4 schalter "
     "2 an\nabfrage 5 schalter 2 aus\nabfrage 6 schalter 2 an\n",
     {"1: warnung: BIS ohne Grenzwert: das vierte Wort fehlt",
      "3: warnung: Grenzwert HELL ist keine Zahl (gilt als 0)",
      "7: warnung: Grenzwert 3X ist keine Zahl (gilt als 3)",
      "9: warnung: negative ZEIT-Grenze -1: wartet etwa 49.7 Tage"},
     ""},
    {"DateienWieImLauf",
     "SOUND C:\\KLANG\\FEHLT.WAV\nSOUND @DIR@\\KLANG\\GONG.WAV\nINFO @DIR@/fehlt.txt\n"
     "INFO @DIR@/klang/gong.wav\n",
     "",
     {"1: warnung: Datei nicht gefunden: C:\\KLANG\\FEHLT.WAV",
      "3: warnung: Datei nicht gefunden: @DIR@/FEHLT.TXT"},
     ""},
    {"Definitionen",
     "RUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG A\nUNTERPROGRAMM Y\nENDE_UNTERPROGRAMM\n\r\n"
     "; kommentar\nMELDUNG VERIRRT\nMELDUNG AUCH\n  UNTERPROGRAMM Z\nENDE_UNTERPROGRAMM\n",
     "",
     {"3: warnung: Unterprogramm X ohne ENDE_UNTERPROGRAMM",
      "9: warnung: Zeile gehoert zu keinem Unterprogramm (ebenso bis Zeile 10)",
      "11: warnung: Kopfzeile mit Leerzeichen am Anfang wird nie gefunden"},
     ""},
};

class PruefFallTest : public PruefLauf, public ::testing::WithParamInterface<Fall> {
  protected:
    void SetUp() override {
        PruefLauf::SetUp();
        dir.Datei("klang/gong.wav", "RIFF");
        dir.Datei("lang.txt", "kurz\n" + std::string(249, 'L') + "\n");
        dir.Datei("kurz.txt", std::string(248, 'K') + "\n");
        Schreibe(GetParam().datei, GetParam().szenario);
    }
};

TEST_P(PruefFallTest, FindsTheseLinesAndTheRunEndsAsStated) {
    std::string erwartet;
    int fehler = 0;
    for (const auto& b : GetParam().befunde) {
        erwartet += kommandodatei + ":" + Ersetze(b, "@DIR@", Gross(dir.pfad())) + "\n";
        fehler += b.find(": fehler: ") != std::string::npos ? 1 : 0;
    }
    erwartet += kommandodatei + ": " + std::to_string(fehler) + " Fehler, " +
                std::to_string(GetParam().befunde.size() - fehler) + " Warnung(en)\n";
    konsole.aus.clear();
    services::Umwelt().konsole = &konsole;
    EXPECT_EQ(interpreter::Pruefen({kommandodatei, protokoll}), fehler > 0 ? 12 : 0);
    EXPECT_EQ(konsole.aus, erwartet);
    EXPECT_FALSE(DateiExistiert(protokoll));
    services::Umwelt().konsole = &stumm;

    Laufende ende = Laufe();
    EXPECT_EQ(ende.art, GetParam().ende.empty() ? Laufende::Normal : Laufende::Abbruch);
    EXPECT_EQ(ende.bericht, GetParam().ende);
}

INSTANTIATE_TEST_SUITE_P(Faelle, PruefFallTest, ::testing::ValuesIn(kFaelle),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Random command files, each checked and then run: every listed abort a run
// ends with is found, an error is one every run meets, and a line said to be
// never carried out is not.

struct Zaehler {
    std::map<std::string, int> enden;
    std::map<std::string, int> befunde;
    int dateien = 0;
    int nichtPruefbar = 0;
};

std::string Hinweisart(const std::string& text) {
    static const std::vector<std::string> kArten = {"wird nie ausgefuehrt",
                                                    "Zeile gehoert zu keinem Unterprogramm",
                                                    "Kopfzeile mit Leerzeichen",
                                                    "BIS ohne Grenzwert",
                                                    "Grenzwert",
                                                    "negative ZEIT-Grenze",
                                                    "Datei nicht gefunden",
                                                    "Unterprogramm"};
    for (const std::string& art : kArten) {
        if (text.rfind(art, 0) == 0) {
            return art == "Unterprogramm" ? "Unterprogramm ohne ENDE_UNTERPROGRAMM" : art;
        }
    }
    return text;
}

class PruefVergleich : public PruefLauf {
  protected:
    void Zaehle(const interpreter::Pruefergebnis& p, const Laufende& l) {
        ++zaehler.dateien;
        if (!p.lesbar) {
            ++zaehler.nichtPruefbar;
        }
        std::string ende = l.art == Laufende::Normal   ? "normal"
                           : l.art == Laufende::Grenze ? "cut by the budget"
                                                       : "abort: other report";
        if (l.art == Laufende::Abbruch) {
            if (auto art = ArtVon(l.bericht)) {
                ende = std::string("abort: ") + Name(*art);
            } else if (l.bericht.find("NOTAUS") != std::string::npos) {
                ende = "abort: NOTAUS";
            } else {
                // Not one the check predicts: the report's own message.
                ende += ": " + l.bericht.substr(l.bericht.rfind(": ") + 2);
            }
        }
        ++zaehler.enden[ende];
        for (const auto& a : p.abbrueche) {
            ++zaehler.befunde[std::string(a.immer ? "error: " : "conditional warning: ") +
                              Name(a.art)];
        }
        for (const auto& b : p.befunde) {
            if (!b.fehler && b.text.find(" - Abbruch, wenn ") == std::string::npos) {
                ++zaehler.befunde["warning: " + Hinweisart(b.text)];
            }
        }
    }

    Zaehler zaehler;
};

TEST_F(PruefVergleich, AgreesWithRealRuns) {
    std::uint32_t von = 1;
    std::uint32_t bis = 300;
    if (const char* bereich = std::getenv("TAKTLER_VERGLEICH")) {
        std::sscanf(bereich, "%u-%u", &von, &bis);
    }
    dir.Datei("INFO.TXT", "eine Zeile\n");
    dir.Datei("LANG.TXT", std::string(300, 'L') + "\n");
    dir.Datei("GONG.WAV", SinusWav(0.01));
    int abweichungen = 0;
    for (std::uint32_t saat = von; saat <= bis; ++saat) {
        const Zufallsprogramm programm = ErzeugeProgramm(saat);
        Schreibe(programm.kommandodatei, programm.szenario);
        const interpreter::Pruefergebnis p = interpreter::PruefeKommandodatei(kommandodatei);
        const Laufende l = Laufe();
        Zaehle(p, l);
        const std::string abweichung = Vergleiche(p, l);
        if (const char* ablage = std::getenv("TAKTLER_VERGLEICH_ABLAGE");
            ablage != nullptr && (!abweichung.empty() || !p.lesbar)) {
            SchreibeDatei(std::string(ablage) + "/k" + std::to_string(saat) + ".txt",
                          programm.kommandodatei);
            SchreibeDatei(std::string(ablage) + "/s" + std::to_string(saat) + ".txt",
                          programm.szenario);
        }
        if (!abweichung.empty()) {
            ++abweichungen;
            ADD_FAILURE() << "seed " << saat << ": " << abweichung << "\n--- command file:\n"
                          << LiesDatei(kommandodatei) << "--- scenario:\n"
                          << programm.szenario;
            if (abweichungen >= 5) {
                break;
            }
        }
    }
    std::printf("PRUEFVERGLEICH seeds %u-%u: %d files, %d not checkable\n", von, bis,
                zaehler.dateien, zaehler.nichtPruefbar);
    for (const auto& [art, n] : zaehler.enden) {
        std::printf("PRUEFVERGLEICH   ending %-40s %d\n", art.c_str(), n);
    }
    for (const auto& [art, n] : zaehler.befunde) {
        std::printf("PRUEFVERGLEICH   finding %-50s %d\n", art.c_str(), n);
    }
}

// ---------------------------------------------------------------------------
// The command line of the check mode and files it cannot read.

class PruefAufrufTest : public TaktlerTest {};

TEST_F(PruefAufrufTest, EveryExampleChecksClean) {
    int anzahl = 0;
    for (const auto& e :
         std::filesystem::directory_iterator(std::string(TAKTLER_QUELLEN) + "/examples")) {
        if (e.path().extension() != ".txt") {
            continue;
        }
        konsole.aus.clear();
        EXPECT_EQ(interpreter::Pruefen({e.path().string()}), 0) << konsole.aus;
        EXPECT_EQ(konsole.aus, e.path().string() + ": 0 Fehler, 0 Warnung(en)\n");
        ++anzahl;
    }
    EXPECT_GE(anzahl, 2);
}

TEST_F(PruefAufrufTest, FilesItCannotCheckAndWrongArgumentCounts) {
    TempVerzeichnis dir;
    const std::string fehlt = dir / "fehlt.txt";
    const std::vector<std::pair<std::string, std::string>> faelle = {
        {fehlt, fehlt + ": fehler: Datei nicht vorhanden\n"},
        {dir.pfad(), dir.pfad() + ": fehler: ist ein Verzeichnis, keine Kommandodatei\n"},
        // The run's reader aborts on the first 499 bytes of it.
        {"/dev/zero",
         "/dev/zero:1: fehler: Zeile zu lang: mehr als 1000000 Zeichen (hoechstens "
         "498)\n"},
    };
    for (const auto& [datei, meldung] : faelle) {
        konsole.aus.clear();
        EXPECT_EQ(interpreter::Pruefen({datei}), 12);
        EXPECT_EQ(konsole.aus, meldung + datei + ": 1 Fehler, 0 Warnung(en)\n");
    }
    for (const std::vector<std::string>& falsch :
         {std::vector<std::string>{}, std::vector<std::string>{"a", "b", "c"}}) {
        konsole.fehler.clear();
        EXPECT_EQ(interpreter::Pruefen(falsch), 12);
        EXPECT_NE(konsole.fehler.find("Aufruf: taktler --pruefen <Kommandodatei> "
                                      "[<Protokolldatei>]"),
                  std::string::npos);
    }
}

TEST(PruefProgrammTest, ChecksBeforeAnyPortIsOpened) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "EINSCHALTEN MOTOR1\nFAHRE\n");
    auto a = StarteTaktler(
        {"--pruefen", "--port=sim", "--port-log=" + (dir / "log"), "k.txt", "p.txt"}, dir.pfad());
    EXPECT_EQ(a.code, 12);
    EXPECT_EQ(a.aus,
              "k.txt:2: fehler: unbekanntes Kommando FAHRE\nk.txt: 1 Fehler, 0 "
              "Warnung(en)\n");
    EXPECT_EQ(a.fehler, "");
    EXPECT_FALSE(DateiExistiert(dir / "log"));
    EXPECT_FALSE(DateiExistiert(dir / "p.txt"));
}

}  // namespace
}  // namespace taktler::test
