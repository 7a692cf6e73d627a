// --pruefen: each finding on a file of its own, and for every error a real
// run of the same file that ends with the abort the finding predicts.
#include "interpreter/pruefen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interpreter/taktler.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

std::string Wiederhole(const std::string& text, int anzahl) {
    std::string aus;
    for (int i = 0; i < anzahl; ++i) {
        aus += text;
    }
    return aus;
}

// A comment line of exactly n characters.
std::string Kommentar(std::size_t n) {
    return ";" + std::string(n - 1, '-') + "\n";
}

const std::string kBis = "BIS ZEIT = 100000\n";
const std::string kStruktur = "Modul: TAKTLER 091200, Funktion: Strukturstufe: ";
const std::string kZuLang =
    "Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: "
    "max. Zeilenlaenge zu gross";
const std::string kSchalter =
    "Modul: TAKTLER 091200, Funktion: GibSchalterIndex, "
    "Programmabbruch: Unbekannter Schalter";
const std::string kRufeImBlock =
    "warnung: RUFE in einem BIS-Block: uebersprungen laesst es die Stufe erhoeht, das naechste "
    "ENDE schliesst den falschen Block";

struct Fall {
    const char* name;
    std::string datei;                 // "@DIR@" stands for the test's directory
    std::vector<std::string> befunde;  // "LINE: art: text"; "@DIR@" upper-cased
    std::string abbruch;               // the report a real run ends with
};

void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.name;
}

const std::vector<Fall> kFehler = {
    {"UnbekanntesKommandoMitEditorZeile",
     "MELDUNG A\n\nFAHRE MOTOR1\n",
     {"3: fehler: unbekanntes Kommando FAHRE"},
     "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes Kommando, "
     "Programmabbruch: FAHRE"},
    {"RebootImUebersprungenenBlock",
     "BIS SCHALTER1 = 0\nREBOOT\nENDE\n",
     {"2: fehler: unbekanntes Kommando REBOOT"},
     "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes Kommando, "
     "Programmabbruch: REBOOT"},
    {"MotorAusFruehererZeile",
     "MELDUNG MOTOR9\nEINSCHALTEN\n",
     {"2: fehler: unbekannter Motor MOTOR9"},
     "Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: Motor n. definiert"},
    {"NothaltSchalter",
     "NOTHALT SCHALTER9\n",
     {"1: fehler: unbekannter Schalter SCHALTER9"},
     kSchalter},
    {"BisSchalter",
     "BIS TASTER1 = 1\nENDE_BIS\n",
     {"1: fehler: unbekannter Schalter TASTER1"},
     kSchalter},
    {"UnterprogrammFehlt",
     "rufe blinken\n",
     {"1: fehler: Unterprogramm BLINKEN nicht gefunden"},
     "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: N. gefunden, Programmabbruch: BLINKEN"},
    {"KommentarVorDemKopf",
     "RUFE X\nEXIT\n; hier folgt UNTERPROGRAMM X\nUNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     {"3: fehler: zu viele Felder fuer die Suche nach Unterprogramm X"},
     "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
     "Programmabbruch: ; HIER FOLGT UNTERPROGRAMM X"},
    {"KopfMitKommentar",
     "RUFE X\nEXIT\nUNTERPROGRAMM X ; blinkt\nENDE_UNTERPROGRAMM\n",
     {"1: fehler: Unterprogramm X nicht gefunden",
      "3: fehler: zu viele Felder fuer die Suche nach Unterprogramm X"},
     "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
     "Programmabbruch: UNTERPROGRAMM X ; BLINKT"},
    {"EndeUnterNull",
     "ENDE\n",
     {"1: fehler: ENDE ohne offenen Block"},
     kStruktur + "ENDE ohne PRUEFE..., Programmabbruch: "},
    {"EndeBisUnterNull",
     "BIS ZEIT = 10\nENDE\nENDE_BIS\n",
     {"3: fehler: ENDE_BIS ohne offenen Block"},
     kStruktur + "ENDE ohne PRUEFE..., Programmabbruch: "},
    {"EndeUnterprogrammUnterNull",
     "MELDUNG A\nENDE_UNTERPROGRAMM\n",
     {"2: fehler: ENDE_UNTERPROGRAMM ohne offenen Block"},
     kStruktur + "ENDE ohne PRUEFE..., Programmabbruch: "},
    {"EndeUnterprogrammImBlock",
     kBis + "ENDE_UNTERPROGRAMM\nENDE\n",
     {"2: fehler: ENDE_UNTERPROGRAMM im Hauptprogramm", "3: fehler: ENDE ohne offenen Block"},
     kStruktur + "ENDE ohne PRUEFE..., Programmabbruch: "},
    {"EndeImUnterprogramm",
     "RUFE X\nEXIT\nUNTERPROGRAMM X\nENDE\nENDE_UNTERPROGRAMM\n",
     {"4: fehler: ENDE ohne offenen Block"},
     kStruktur + "ENDE ohne PRUEFE..., Programmabbruch: "},
    {"AchtzigStufen",
     Wiederhole(kBis, 80) + Wiederhole("ENDE\n", 80),
     {"80: fehler: Verschachtelung tiefer als Stufe 79"},
     kStruktur + "mehr als 79 Stufen, Programmabbruch: BIS"},
    {"AchtzigStufenImUnterprogramm",
     Wiederhole(kBis, 78) + "RUFE X\n" + Wiederhole("ENDE\n", 78) +
         "EXIT\nUNTERPROGRAMM X\nBIS ZEIT = 1000\nENDE_BIS\nENDE_UNTERPROGRAMM\n",
     {"79: " + kRufeImBlock, "79: fehler: Verschachtelung tiefer als Stufe 79 im Unterprogramm X"},
     kStruktur + "mehr als 79 Stufen, Programmabbruch: BIS"},
    {"EndloseRekursion",
     "RUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG TIEFER\nRUFE X\nENDE_UNTERPROGRAMM\n",
     {"5: fehler: endlose Rekursion ueber Unterprogramm X: Verschachtelung tiefer als Stufe 79"},
     kStruktur + "mehr als 79 Stufen, Programmabbruch: RUFE"},
    {"ZeileFuerDenLauf",
     "MELDUNG " + std::string(491, 'X') + "\n",
     {"1: fehler: Zeile zu lang: 499 Zeichen (hoechstens 498)"},
     kZuLang},
    {"ZeileVorDerSchleife",
     Kommentar(99) + "MELDUNG A\nBIS ZEIT = 10\nENDE_BIS\n",
     {"1: fehler: Zeile zu lang fuer den Ruecksprung zu Zeile 3: 99 Zeichen (hoechstens 98)"},
     kZuLang},
    {"ZeileVorDemRuecksprung",
     Kommentar(99) + "RUFE X\nEXIT\nUNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     {"1: fehler: Zeile zu lang fuer den Ruecksprung zu Zeile 2: 99 Zeichen (hoechstens 98)"},
     kZuLang},
    {"ZeileVorDemKopf",
     "RUFE X\nEXIT\n" + Kommentar(199) + "UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     {"3: fehler: Zeile zu lang fuer die Suche nach Unterprogramm X: 199 Zeichen (hoechstens 198)"},
     kZuLang},
};

const std::vector<Fall> kOhneFehler = {
    {"LeereDatei", "", {}, ""},
    {"Grenzlaengen",
     "RUFE X\n" + Kommentar(98) + "BIS ZEIT = 10\nENDE_BIS\n" + Kommentar(198) +
         "EXIT\nUNTERPROGRAMM X\nMELDUNG " + std::string(490, 'X') + "\nENDE_UNTERPROGRAMM\n",
     {},
     ""},
    {"LangeZeileOhneRuecksprung", Kommentar(200) + "BIS ZEIT = 10\nENDE\n", {}, ""},
    {"NachExitUndZweitemNothalt", "NOTHALT SCHALTER8\nNOTHALT SCHALTER9\nEXIT\nFAHRE\n", {}, ""},
    {"OffenerBlock",
     "BIS ZEIT = 10\nMELDUNG A\n",
     {"1: warnung: BIS-Block wird vor dem Ende des Hauptprogramms nicht geschlossen"},
     ""},
    {"Grenzwerte",
     "BIS ANALOG1 >\nENDE_BIS\nBIS ANALOG1 > HELL\nENDE_BIS\nBIS ANALOG1 = MAX\nENDE_BIS\n"
     "BIS SCHALTER2 = 3X\nENDE_BIS\n",
     {"1: warnung: BIS ohne Grenzwert: das vierte Wort fehlt",
      "3: warnung: Grenzwert HELL ist keine Zahl (gilt als 0)",
      "7: warnung: Grenzwert 3X ist keine Zahl (gilt als 3)"},
     ""},
    {"NegativeZeit",
     "BIS ZEIT = -1\nENDE_BIS\n",
     {"1: warnung: negative ZEIT-Grenze -1: wartet etwa 49.7 Tage"},
     ""},
    {"DateienWieImLauf",
     "SOUND C:\\KLANG\\FEHLT.WAV\nSOUND @DIR@\\KLANG\\GONG.WAV\nINFO @DIR@/fehlt.txt\n"
     "INFO @DIR@/klang/gong.wav\n",
     {"1: warnung: Datei nicht gefunden: C:\\KLANG\\FEHLT.WAV",
      "3: warnung: Datei nicht gefunden: @DIR@/FEHLT.TXT"},
     ""},
    {"ZeileAusserhalb",
     "EXIT\nUNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n\r\n; kommentar\nMELDUNG VERIRRT\n",
     {"6: warnung: Zeile gehoert zu keinem Unterprogramm"},
     ""},
    {"OhneEnde",
     "RUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG A\nUNTERPROGRAMM Y\nENDE_UNTERPROGRAMM\n",
     {"3: warnung: Unterprogramm X ohne ENDE_UNTERPROGRAMM"},
     ""},
    {"KopfMitLeerzeichen",
     "EXIT\n  UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     {"2: warnung: Kopfzeile mit Leerzeichen am Anfang wird nie gefunden"},
     ""},
    {"RufeImBlock",
     "BIS SCHALTER1 = 1\nRUFE X\nENDE_BIS\nEXIT\nUNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
     {"2: " + kRufeImBlock,
      "3: warnung: nach dieser Schleife bleibt der Rest uebersprungen: ein RUFE im "
      "Schleifenblock laesst beim letzten Durchlauf eine Stufe offen"},
     ""},
    // One more ENDE closes the level the skipped call left open.
    {"RufeImBlockMitEnde",
     "BIS SCHALTER1 = 1\nRUFE X\nENDE_BIS\nENDE\nMELDUNG DANACH\nEXIT\nUNTERPROGRAMM X\n"
     "ENDE_UNTERPROGRAMM\n",
     {"2: " + kRufeImBlock},
     ""},
    {"OffenerBlockImUnterprogramm",
     "RUFE X\nEXIT\nUNTERPROGRAMM X\nBIS ZEIT = 10\nENDE_UNTERPROGRAMM\n",
     {"4: warnung: BIS-Block wird vor ENDE_UNTERPROGRAMM nicht geschlossen"},
     ""},
};

std::string Ersetze(std::string text, const std::string& alt, const std::string& neu) {
    for (std::size_t p = text.find(alt); p != std::string::npos;
         p = text.find(alt, p + neu.size())) {
        text.replace(p, alt.size(), neu);
    }
    return text;
}

class PruefTest : public TaktlerTest, public ::testing::WithParamInterface<Fall> {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        std::filesystem::create_directories(dir / "klang");
        SchreibeDatei(dir / "klang/gong.wav", "RIFF");
        SchreibeDatei(kommandodatei, Ersetze(GetParam().datei, "@DIR@", dir.pfad()));
    }
    void TearDown() override {
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }

    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
};

TEST_P(PruefTest, FindsExactlyTheseLines) {
    std::string gross = dir.pfad();
    std::transform(gross.begin(), gross.end(), gross.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    std::string erwartet;
    int fehler = 0;
    for (const auto& b : GetParam().befunde) {
        erwartet += kommandodatei + ":" + Ersetze(b, "@DIR@", gross) + "\n";
        fehler += b.find(": fehler: ") != std::string::npos ? 1 : 0;
    }
    erwartet += kommandodatei + ": " + std::to_string(fehler) + " Fehler, " +
                std::to_string(GetParam().befunde.size() - fehler) + " Warnung(en)\n";

    EXPECT_EQ(interpreter::Pruefen({kommandodatei, dir / "p.txt"}), fehler > 0 ? 12 : 0);
    EXPECT_EQ(konsole.aus, erwartet);
    EXPECT_EQ(konsole.fehler, "");
    EXPECT_FALSE(DateiExistiert(dir / "p.txt"));
}

using LaufTest = PruefTest;

TEST_P(LaufTest, ARealRunEndsWithThePredictedAbort) {
    interface::Simulator simulator;
    interface::SetzePort(&simulator);
    interpreter::Zustand().Tracelevel = 1;
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({kommandodatei, dir / "p.txt"}); }), 12);
    EXPECT_EQ(LetzterBericht(), GetParam().abbruch);
}

std::string Name(const ::testing::TestParamInfo<Fall>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Fehler, PruefTest, ::testing::ValuesIn(kFehler), Name);
INSTANTIATE_TEST_SUITE_P(OhneFehler, PruefTest, ::testing::ValuesIn(kOhneFehler), Name);
INSTANTIATE_TEST_SUITE_P(Fehler, LaufTest, ::testing::ValuesIn(kFehler), Name);

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

TEST_F(PruefAufrufTest, MissingFileAndWrongArgumentCount) {
    TempVerzeichnis dir;
    EXPECT_EQ(interpreter::Pruefen({dir / "fehlt.txt"}), 12);
    const std::string fehlt = dir / "fehlt.txt";
    EXPECT_EQ(konsole.aus,
              fehlt + ": fehler: Datei nicht vorhanden\n" + fehlt + ": 1 Fehler, 0 Warnung(en)\n");
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
