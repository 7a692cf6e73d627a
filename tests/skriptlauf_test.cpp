#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/schleifen.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

const std::string kEndzeile = "TAKTLER 091200 ENDE : am 09.12.2000 um 14.03.07\n";

// Runs command files in-process on the default port (switches open, analog 0),
// with the clock fixed at 9 December 2000, 14:03:07.
class SkriptTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        uhr.lokal.tm_year = 100;
        uhr.lokal.tm_mon = 11;
        uhr.lokal.tm_mday = 9;
        uhr.lokal.tm_hour = 14;
        uhr.lokal.tm_min = 3;
        uhr.lokal.tm_sec = 7;
        // Quiet progress messages unless a test asks for them.
        interpreter::Zustand().Tracelevel = 1;
    }

    int Lauf(const std::string& kommandos) {
        SchreibeDatei(kommandodatei, kommandos);
        return EndeCode([&] { interpreter::Programmlauf({kommandodatei, protokoll}); });
    }

    std::string Protokoll() const { return LiesDatei(protokoll); }

    void TearDown() override {
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }

    // Runs on the simulated interface with this scenario instead of the idle port.
    void MitSzenario(const std::string& text) {
        auto s = interface::ParseSzenario(text, "s.txt");
        ASSERT_TRUE(s.Ok()) << s.fehler;
        sim = std::make_unique<interface::Simulator>(s.ereignisse);
        interface::SetzePort(sim.get());
    }

    // Records the line number and level of every line read.
    void ZeilenMitschreiben() {
        interpreter::SetzeZeilenHaken(
            [this](const interpreter::Kommandozeile& kz, const std::string& text) {
                gelesen.push_back({kz.Zeilennummer, kz.Stufe, text});
            });
    }

    struct Gelesen {
        int zeile;
        int stufe;
        std::string text;
    };
    std::vector<Gelesen> gelesen;
    std::unique_ptr<interface::Simulator> sim;

    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
    std::string protokoll = dir / "p.txt";
};

TEST_F(SkriptTest, EmptyFileEndsNormallyAndLeavesTheProtocolUntouched) {
    EXPECT_EQ(Lauf(""), -1);
    EXPECT_EQ(konsole.fehler, "TAKTLER 091200\n");
    EXPECT_EQ(konsole.aus, kEndzeile);
    EXPECT_EQ(interpreter::Zustand().Zeile->Zeilennummer, 1);
    EXPECT_FALSE(DateiExistiert(protokoll));
}

TEST_F(SkriptTest, LastLineWithoutLineEndRunsAndMessagesCarryTheTimeStamp) {
    EXPECT_EQ(Lauf("meldung hallo welt\r\nMELDUNG 50%S"), -1);
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;HALLO;\n20001209.14:03:07;50%S;\n" + kEndzeile);
}

TEST_F(SkriptTest, MeldungWithoutParameterShowsTheLastOne) {
    Lauf("MELDUNG\nMELDUNG EINS\nMELDUNG\n");
    EXPECT_EQ(konsole.aus,
              "20001209.14:03:07;;\n20001209.14:03:07;EINS;\n"
              "20001209.14:03:07;EINS;\n" +
                  kEndzeile);
}

TEST_F(SkriptTest, PauseShowsPromptAndWaitsForAWord) {
    konsole.eingaben = {"weiter"};
    Lauf("PAUSE JETZT\nMELDUNG DANACH\n");
    EXPECT_EQ(konsole.aus,
              "20001209.14:03:07;JETZT;\n"
              "Weiter: Beliebiges Zeichen eingeben und ENTER druecken..."
              "20001209.14:03:07;DANACH;\n" +
                  kEndzeile);
    EXPECT_TRUE(konsole.eingaben.empty());
}

TEST_F(SkriptTest, ExitEndsOnlyInAnExecutedLevel) {
    // BIS SCHALTER1 0 is met at once: its body is skipped.
    EXPECT_EQ(Lauf("BIS SCHALTER1 = 0\nEXIT\nENDE\nMELDUNG A\nEXIT\nMELDUNG B\n"), -1);
    EXPECT_EQ(konsole.aus.find("B;"), std::string::npos);
    EXPECT_NE(konsole.aus.find(";A;"), std::string::npos);
    EXPECT_EQ(interpreter::Zustand().Zeile->Zeilennummer, 5);
}

TEST_F(SkriptTest, UnterprogrammEndsTheMainProgramEvenInASkippedBlock) {
    EXPECT_EQ(Lauf("BIS SCHALTER1 = 0\nUNTERPROGRAMM X\nMELDUNG NIE\n"), -1);
    EXPECT_EQ(konsole.aus, kEndzeile);
}

TEST_F(SkriptTest, ElseInvertsTheBlockAndAppendsItsLineToTheProtocol) {
    // ZEIT gives 1 on its first evaluation, SCHALTER1 0 gives 0.
    Lauf(
        "BIS SCHALTER1 = 0\nMELDUNG NEIN\n  else\nMELDUNG JA\nENDE\n"
        "BIS ZEIT = 1000\nMELDUNG JA2\n ELSE egal\nMELDUNG NEIN2\nENDE\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;JA;\n20001209.14:03:07;JA2;\n" + kEndzeile);
    EXPECT_EQ(Protokoll(), "  ELSE\r\n ELSE\r\n");
}

TEST_F(SkriptTest, SkippedLevelsRaiseAndLowerWithoutEvaluating) {
    Lauf(
        "BIS SCHALTER1 = 0\n BIS ZEIT = 10\n  MELDUNG A\n ELSE\n  MELDUNG B\n ENDE\nENDE\n"
        "MELDUNG C\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;C;\n" + kEndzeile);
    EXPECT_EQ(interpreter::Zustand().Zeitbausteine[2], nullptr);
    EXPECT_EQ(interpreter::Zustand().Zeile->Stufe, 0);
}

TEST_F(SkriptTest, SkippedRufeKeepsTheLevelRaisedUntilTheNextEnd) {
    Lauf("BIS SCHALTER1 = 0\nRUFE X\nMELDUNG A\nENDE_BIS\nMELDUNG B\nENDE\nMELDUNG C\n");
    // RUFE raised to 2 with flag 0; ENDE_BIS lowers to 1 (still skipped); ENDE to 0.
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;C;\n" + kEndzeile);
}

class SkriptEndeTest : public SkriptTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SkriptEndeTest, BelowLevelZeroAbortsWithoutProtocolBanner) {
    EXPECT_EQ(Lauf(std::string(GetParam()) + "\n"), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Strukturstufe: ENDE ohne PRUEFE..., "
              "Programmabbruch: ");
    EXPECT_FALSE(DateiExistiert(protokoll));
}

INSTANTIATE_TEST_SUITE_P(Woerter, SkriptEndeTest,
                         ::testing::Values("ENDE", "ENDE_BIS", "ENDE_UNTERPROGRAMM"));

struct UnbekanntFall {
    const char* zeile;
    const char* wort;
};

class SkriptUnbekanntTest : public SkriptTest,
                            public ::testing::WithParamInterface<UnbekanntFall> {};

TEST_P(SkriptUnbekanntTest, AbortsWithBannerEvenWhenSkipped) {
    const std::string wort = GetParam().wort;
    EXPECT_EQ(Lauf(std::string("BIS SCHALTER1 = 0\n") + GetParam().zeile + "\nENDE\n"), 12);
    EXPECT_EQ(konsole.aus, wort + "\n");
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Kommando erkennen: "
              "unbekanntes Kommando, Programmabbruch: " +
                  wort);
    EXPECT_EQ(Protokoll(),
              "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
              "Kommando erkennen: unbekanntes Kommando\r\n" +
                  wort + "\r\n---------------------------\r\n");
}

INSTANTIATE_TEST_SUITE_P(Woerter, SkriptUnbekanntTest,
                         ::testing::Values(UnbekanntFall{"REBOOT", "REBOOT"},
                                           UnbekanntFall{"transfer jetzt", "TRANSFER"},
                                           UnbekanntFall{"FAHRE MOTOR1", "FAHRE"},
                                           UnbekanntFall{"\tMELDUNG", "\tMELDUNG"}));

TEST_F(SkriptTest, ProtocolKeepsEarlierLinesBeforeTheBanner) {
    EXPECT_EQ(Lauf("BIS ZEIT 10\nELSE\nENDE\nKAPUTT\n"), 12);
    EXPECT_EQ(Protokoll(),
              "ELSE\r\n---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
              "Kommando erkennen: unbekanntes Kommando\r\nKAPUTT\r\n"
              "---------------------------\r\n");
}

// A protocol that cannot be written ends every run with 12 and a report
// naming it: at the normal end, behind the abort it shows the banner of, and
// after a handler's abort, which closes it on the way out.
struct VollFall {
    const char* name;
    const char* zeilen;
    const char* abbruch;  // the run's own abort report, or nullptr
};

class SkriptVollTest : public SkriptTest, public ::testing::WithParamInterface<VollFall> {};

TEST_P(SkriptVollTest, ProtocolOnAFullDeviceEndsWith12AndSaysSo) {
    SchreibeDatei(kommandodatei, std::string("ELSE\nELSE\nELSE\n") + GetParam().zeilen);
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({kommandodatei, "/dev/full"}); }), 12);
    std::vector<std::string> berichte;
    for (const auto& b : fenster.berichte) {
        berichte.push_back(b.zeile);
    }
    std::vector<std::string> erwartet = {
        "Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei /dev/full: No "
        "space left on device"};
    if (GetParam().abbruch != nullptr) {
        // Programmabbruch closes the protocol before its report; a handler's
        // abort leaves it to the end.
        const bool banner = std::string(GetParam().zeilen) == "REBOOT\n";
        erwartet.insert(banner ? erwartet.end() : erwartet.begin(), GetParam().abbruch);
    }
    EXPECT_EQ(berichte, erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Enden, SkriptVollTest,
    ::testing::Values(VollFall{"NormalesEnde", "", nullptr},
                      VollFall{"MitBanner", "REBOOT\n",
                               "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes "
                               "Kommando, Programmabbruch: REBOOT"},
                      VollFall{"HandlerAbbruch", "EINSCHALTEN MOTOR9\n",
                               "Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: "
                               "Motor n. definiert"}),
    [](const auto& info) { return std::string(info.param.name); });

// Some editors start a file with a UTF-8 byte-order mark; the first keyword
// is read without it, also when a loop reads the first line again.
TEST_F(SkriptTest, ByteOrderMarkBeforeTheFirstKeywordIsSkipped) {
    uhr.schritt = 10;
    EXPECT_EQ(Lauf("\xEF\xBB\xBF"
                   "BIS ZEIT = 30\nENDE_BIS\nMELDUNG FERTIG\n"),
              -1)
        << LetzterBericht();
    EXPECT_NE(konsole.aus.find(";FERTIG;"), std::string::npos);
}

TEST_F(SkriptTest, NestingBeyondLevel79IsRefused) {
    std::string ok;
    for (int i = 0; i < 79; ++i) {
        ok += "BIS ZEIT 100000\n";
    }
    EXPECT_EQ(Lauf(ok), -1);
    EXPECT_EQ(interpreter::Zustand().Zeile->Stufe, 79);
    TearDown();
    SetUp();
    EXPECT_EQ(Lauf(ok + "BIS ZEIT 100000\n"), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Strukturstufe: mehr als 79 "
              "Stufen, Programmabbruch: BIS");
}

TEST_F(SkriptTest, WrongArgumentCountPrintsTheUsageWithoutReport) {
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({kommandodatei}); }), 12);
    EXPECT_EQ(konsole.fehler,
              "TAKTLER 091200\nAnzahl der Argumente fehlerhaft.\n"
              "Aufruf:  TAKTLER <Kommandodatei> <Protokolldatei>\n\n");
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_EQ(EndeCode([&] {
                  interpreter::Programmlauf({"a", "b", "c", "d", "e", "f", "g"});
              }),
              12);
    EXPECT_TRUE(fenster.berichte.empty());
}

TEST_F(SkriptTest, MissingCommandFileAbortsAndLeavesTheProtocolUntouched) {
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({dir / "fehlt.txt", protokoll}); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Quelldatei nicht vorhanden: , "
              "Programmabbruch: " +
                  (dir / "fehlt.txt"));
    EXPECT_FALSE(DateiExistiert(protokoll));
}

TEST_F(SkriptTest, InfoListsTheFileNamedInItsParameter) {
    SchreibeDatei(dir / "liste.txt", "erste Zeile\r\nzweite");
    Lauf("INFO " + (dir / "liste.txt") + "\n");
    EXPECT_EQ(konsole.aus, "erste Zeile\nzweite\n" + kEndzeile);
}

TEST_F(SkriptTest, TracelevelGatesTheProgressMessages) {
    interpreter::Zustand().Tracelevel = 4;
    Lauf("RUFE UP\nTRACELEVEL 0\nRUFE UP\nEXIT\nUNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n");
    EXPECT_EQ(konsole.aus, "Stufe: 1 UP gerufen: UP\n" + kEndzeile);
    EXPECT_EQ(interpreter::Zustand().Tracelevel, 0);
}

std::size_t Anzahl(const std::string& text, const std::string& teil) {
    std::size_t n = 0;
    for (auto pos = text.find(teil); pos != std::string::npos; pos = text.find(teil, pos + 1)) {
        ++n;
    }
    return n;
}

TEST_F(SkriptTest, FirstEvaluationSeesDurchlaufZeroAndResetsTheCount) {
    interpreter::Zustand().Klickzaehler[1][0] = 5;
    Lauf("BIS SCHALTER1 = 3\nMELDUNG DRIN\nENDE\n");
    EXPECT_NE(konsole.aus.find(";DRIN;"), std::string::npos);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[1][0], 0);
    EXPECT_EQ(interpreter::Zustand().Durchlauf[1],
              1);  // ENDE keeps the count; only ENDE_BIS resets it
}

TEST_F(SkriptTest, JumpBackToABisOnLineOneRereadsItAsLineOne) {
    uhr.schritt = 10;
    ZeilenMitschreiben();
    Lauf("BIS ZEIT = 30\nENDE_BIS\n");
    ASSERT_GE(gelesen.size(), 4u);
    for (std::size_t i = 0; i < gelesen.size(); ++i) {
        EXPECT_EQ(gelesen[i].zeile, i % 2 == 0 ? 1 : 2) << i;
    }
    EXPECT_EQ(gelesen.back().zeile, 2);
    EXPECT_EQ(interpreter::Zustand().Durchlauf[1], 0);
}

struct ZweiWortFall {
    const char* vorher;
    bool drin;
};

class SkriptZweiWortTest : public SkriptTest, public ::testing::WithParamInterface<ZweiWortFall> {};

TEST_P(SkriptZweiWortTest, BisWithTwoWordsTakesTheOldThirdParameterAsLimit) {
    Lauf(std::string(GetParam().vorher) + "\nBIS SCHALTER1 2\nMELDUNG DRIN\nENDE\n");
    EXPECT_EQ(konsole.aus.find(";DRIN;") != std::string::npos, GetParam().drin);
}

INSTANTIATE_TEST_SUITE_P(Grenzen, SkriptZweiWortTest,
                         ::testing::Values(ZweiWortFall{"MELDUNG X Y 0", false},
                                           ZweiWortFall{"MELDUNG X Y 5", true},
                                           ZweiWortFall{"MELDUNG X", false}));

TEST_F(SkriptTest, NestedInnerLoopStartsAfreshOnEveryOuterPass) {
    uhr.schritt = 10;
    Lauf("TRACELEVEL 2\nBIS ZEIT = 100\nMELDUNG AUSSEN\nBIS ZEIT = 0\nENDE_BIS\nENDE_BIS\n");
    std::size_t aussen = Anzahl(konsole.aus, ";AUSSEN;");
    EXPECT_GE(aussen, 2u);
    EXPECT_EQ(Anzahl(konsole.aus, "Stufe 2; Zeitbaustein gesetzt: 0\n"), aussen);
    EXPECT_EQ(interpreter::Zustand().Durchlauf[1], 0);
    EXPECT_EQ(interpreter::Zustand().Durchlauf[2], 0);
}

// While the loop runs, the call returns behind the RUFE line at the loop's
// level. The last evaluation skips the body, and the skipped RUFE still opens
// a level that ENDE_BIS then closes: the loop's own level stays open after it.
TEST_F(SkriptTest, CallInsideALoopReturnsToTheLoopsLevel) {
    uhr.schritt = 10;
    ZeilenMitschreiben();
    Lauf(
        "BIS ZEIT = 50\nRUFE UP\nMELDUNG ZURUECK\nENDE_BIS\nMELDUNG DANACH\nEXIT\n"
        "UNTERPROGRAMM UP\nMELDUNG IM_UP\nENDE_UNTERPROGRAMM\n");
    std::vector<int> stufen;
    for (const auto& g : gelesen) {
        if (g.text == "MELDUNG ZURUECK") {
            EXPECT_EQ(g.zeile, 3);
            stufen.push_back(g.stufe);
        }
        if (g.text == "MELDUNG IM_UP") {
            EXPECT_EQ(g.zeile, 8);
            EXPECT_EQ(g.stufe, 2);
        }
    }
    ASSERT_GE(stufen.size(), 3u);
    EXPECT_EQ(stufen.back(), 2);
    stufen.pop_back();
    EXPECT_EQ(stufen, std::vector<int>(stufen.size(), 1));
    EXPECT_EQ(Anzahl(konsole.aus, ";IM_UP;"), stufen.size());
    EXPECT_EQ(Anzahl(konsole.aus, ";DANACH;"), 0u);
    EXPECT_EQ(interpreter::Zustand().Zeile->Stufe, 1);
}

struct LaengenFall {
    int laenge;        // characters of the long comment line
    const char* rest;  // the lines after it
    bool abbruch;
};

class SkriptLaengenTest : public SkriptTest, public ::testing::WithParamInterface<LaengenFall> {};

// The script loop takes 498 characters; a jump back reads with 100 bytes and a
// header search with 200, so only those reveal shorter long lines.
TEST_P(SkriptLaengenTest, LongLinesAbortOnlyWhenReReadWithASmallerBuffer) {
    uhr.schritt = 10;
    const LaengenFall& f = GetParam();
    int code = Lauf(";" + std::string(static_cast<std::size_t>(f.laenge - 1), 'x') + "\n" + f.rest);
    EXPECT_EQ(code, f.abbruch ? 12 : -1) << LetzterBericht();
    if (f.abbruch) {
        EXPECT_EQ(
            LetzterBericht(),
            "Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Puffer, SkriptLaengenTest,
    ::testing::Values(LaengenFall{98, "BIS ZEIT = 20\nENDE_BIS\n", false},
                      LaengenFall{99, "BIS ZEIT = 20\nENDE_BIS\n", true},
                      LaengenFall{99, "BIS ZEIT = 20\nENDE\n", false},
                      LaengenFall{198, "RUFE UP\nEXIT\nUNTERPROGRAMM UP\nEXIT\n", false},
                      LaengenFall{199, "RUFE UP\nEXIT\nUNTERPROGRAMM UP\nEXIT\n", true},
                      LaengenFall{99, "RUFE UP\nEXIT\nUNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n",
                                  true},
                      LaengenFall{498, "MELDUNG A\n", false},
                      LaengenFall{499, "MELDUNG A\n", true}));

struct SuchFall {
    const char* datei;
    int code;
    const char* bericht;  // "" for none
    const char* ausgabe;  // expected in the output
};

class SkriptSuchTest : public SkriptTest, public ::testing::WithParamInterface<SuchFall> {};

TEST_P(SkriptSuchTest, HeaderSearchFollowsTheFieldRules) {
    const SuchFall& f = GetParam();
    EXPECT_EQ(Lauf(f.datei), f.code);
    EXPECT_EQ(LetzterBericht(), f.bericht);
    EXPECT_NE(konsole.aus.find(f.ausgabe), std::string::npos) << konsole.aus;
}

INSTANTIATE_TEST_SUITE_P(
    Koepfe, SkriptSuchTest,
    ::testing::Values(
        SuchFall{"rufe motor\nEXIT\nUNTERPROGRAMM MOTOR\nMELDUNG GEFUNDEN\nENDE_UNTERPROGRAMM\n",
                 -1, "", ";GEFUNDEN;"},
        SuchFall{"RUFE X\nEXIT\n UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n", 12,
                 "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: N. gefunden, "
                 "Programmabbruch: X",
                 ""},
        SuchFall{"RUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG ERSTE\nENDE_UNTERPROGRAMM\n"
                 "UNTERPROGRAMM X\nMELDUNG ZWEITE\nENDE_UNTERPROGRAMM\n",
                 -1, "", ";ERSTE;"},
        SuchFall{"RUFE X\nEXIT\nUNTERPROGRAMM X FUER DEN MOTOR\nENDE_UNTERPROGRAMM\n", 12,
                 "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
                 "Programmabbruch: UNTERPROGRAMM X FUER DEN MOTOR",
                 ""},
        SuchFall{"RUFE X\nEXIT\nUNTERPROGRAMM X   \nMELDUNG DA\nENDE_UNTERPROGRAMM\n", -1, "",
                 ";DA;"},
        SuchFall{"RUFE X\nEXIT\n; hier steht ein unterprogramm fuer x\nUNTERPROGRAMM X\n"
                 "ENDE_UNTERPROGRAMM\n",
                 12,
                 "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
                 "Programmabbruch: ; HIER STEHT EIN UNTERPROGRAMM FUER X",
                 ""},
        SuchFall{"RUFE X\nMELDUNG ZURUECK\nEXIT\nUNTERPROGRAMM X\nMELDUNG DRIN\n", -1, "",
                 ";DRIN;"}));

// The command file is read once: every line is kept as the run first read
// it, and jumps and calls go to their line in that copy.

std::string Fuellzeilen(int anzahl) {
    std::string s;
    for (int i = 0; i < anzahl; ++i) {
        s += "; fuellzeile\n";
    }
    return s;
}

class ZeilenUhr : public TestUhr {
  public:
    void ZeilenGelesen(std::int32_t anzahl) override { zeilen += anzahl; }
    std::int64_t zeilen = 0;
};

class SkriptZeilenkostenTest : public SkriptTest,
                               public ::testing::WithParamInterface<const char*> {};

// The clock is charged what reading the file again from its first line
// costs: each line the loop gets, and, before a line j that does not follow
// the one before, the j - 1 lines a jump back or a header search reads.
TEST_P(SkriptZeilenkostenTest, ClockIsChargedTheLinesOfReadingFromTheTop) {
    ZeilenUhr zeilenUhr;
    zeilenUhr.schritt = 10;
    services::Umwelt().uhr = &zeilenUhr;
    ZeilenMitschreiben();
    std::string datei = GetParam();
    for (std::size_t p = datei.find('@'); p != std::string::npos; p = datei.find('@')) {
        datei.replace(p, 1, Fuellzeilen(30));
    }
    EXPECT_EQ(Lauf(datei), -1) << LetzterBericht();

    std::int64_t erwartet = 0;
    int vorige = 0;
    int spruenge = 0;
    for (const auto& g : gelesen) {
        if (g.zeile != vorige + 1) {
            erwartet += g.zeile - 1;
            ++spruenge;
        }
        erwartet += 1;
        vorige = g.zeile;
    }
    EXPECT_GE(spruenge, 2);
    EXPECT_EQ(zeilenUhr.zeilen, erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Dateien, SkriptZeilenkostenTest,
    ::testing::Values(
        "@BIS ZEIT = 50\n@ENDE_BIS\nMELDUNG DANACH\n",
        "RUFE UP\nRUFE UP\nEXIT\n@UNTERPROGRAMM UP\nMELDUNG DRIN\nENDE_UNTERPROGRAMM\n",
        "@BIS ZEIT = 50\nRUFE UP\nENDE_BIS\nENDE\nEXIT\n@; unterprogramm\n"
        "UNTERPROGRAMM UP\n@ENDE_UNTERPROGRAMM\n"));

class SkriptGekuerztTest : public SkriptTest, public ::testing::WithParamInterface<bool> {};

// A file cut short while a loop runs (an editor saving in place) loses
// lines the run has yet to read: the run ends with an abort there, never
// normally with the rest unrun. A file replaced under its name (saved as a
// new file) does not change the run, which reads the file it opened.
TEST_P(SkriptGekuerztTest, ShorterFileDuringALoopAbortsAndAReplacedOneRunsOn) {
    const bool ersetzen = GetParam();
    uhr.schritt = 10;
    int durchlaeufe = 0;
    interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile&, const std::string& z) {
        if (z == "BIS ZEIT = 50" && ++durchlaeufe == 2) {
            if (ersetzen) {
                SchreibeDatei(dir / "neu.txt", "MELDUNG NEU\n");
                std::filesystem::rename(dir / "neu.txt", kommandodatei);
            } else {
                std::filesystem::resize_file(kommandodatei, 20);
            }
        }
    });
    int code = Lauf("EINSCHALTEN MOTOR1 LINKS\n" + Fuellzeilen(400) + "BIS ZEIT = 50\nENDE_BIS\n" +
                    Fuellzeilen(4000) + "AUSSCHALTEN MOTOR1\nMELDUNG FERTIG\n");
    EXPECT_GT(durchlaeufe, 2);
    const char motor1 = interpreter::Zustand().interfaceDS.Motoren[0];
    if (ersetzen) {
        EXPECT_EQ(code, -1) << LetzterBericht();
        EXPECT_NE(konsole.aus.find(";FERTIG;"), std::string::npos);
        EXPECT_EQ(motor1, 'N');
    } else {
        EXPECT_EQ(code, 12);
        EXPECT_EQ(LetzterBericht(),
                  "Modul: TAKTLER 091200, Funktion: LiesZeile: Kommandodatei waehrend des Laufs "
                  "gekuerzt, Programmabbruch: " +
                      kommandodatei);
        EXPECT_NE(motor1, 'N');
    }
}

INSTANTIATE_TEST_SUITE_P(Arten, SkriptGekuerztTest, ::testing::Bool());

TEST_F(SkriptTest, JumpBeyondTheEndOfTheFileAborts) {
    SchreibeDatei(kommandodatei, "A\nB\nC\n");
    datei::DateiADO* d = datei::Create();
    datei::SetzePfad(d, kommandodatei.c_str());
    EXPECT_EQ(interpreter::GeheZuSatz(d, 3), 3);
    EXPECT_EQ(EndeCode([&] { interpreter::GeheZuSatz(d, 4); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: GeheZuSatz: Zeile nicht in der Datei, "
              "Programmabbruch: Zeile 4, die Datei hat 3 Zeilen");
}

// Nothing is read twice from the file, so a command file from a pipe can
// loop and call.
TEST_F(SkriptTest, CommandFileFromAPipeLoopsAndCalls) {
    uhr.schritt = 10;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread schreiber([&] {
        std::ofstream(fifo, std::ios::binary)
            << "BIS ZEIT = 50\nENDE_BIS\nRUFE UP\nEXIT\nUNTERPROGRAMM UP\nMELDUNG IM_UP\n"
               "ENDE_UNTERPROGRAMM\n";
    });
    int code = EndeCode([&] { interpreter::Programmlauf({fifo, protokoll}); });
    schreiber.join();
    EXPECT_EQ(code, -1) << LetzterBericht();
    EXPECT_NE(konsole.aus.find(";IM_UP;"), std::string::npos);
}

}  // namespace
}  // namespace taktler::test
