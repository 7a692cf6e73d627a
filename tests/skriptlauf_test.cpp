#include <gtest/gtest.h>

#include <string>
#include <vector>

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
        Zustand().Tracelevel = 1;
    }

    int Lauf(const std::string& kommandos) {
        SchreibeDatei(kommandodatei, kommandos);
        return EndeCode([&] { interpreter::Programmlauf({kommandodatei, protokoll}); });
    }

    std::string Protokoll() const { return LiesDatei(protokoll); }

    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
    std::string protokoll = dir / "p.txt";
};

TEST_F(SkriptTest, EmptyFileEndsNormallyAndLeavesTheProtocolUntouched) {
    EXPECT_EQ(Lauf(""), -1);
    EXPECT_EQ(konsole.fehler, "TAKTLER 091200\n");
    EXPECT_EQ(konsole.aus, kEndzeile);
    EXPECT_EQ(Zustand().Zeile->Zeilennummer, 1);
    EXPECT_FALSE(DateiExistiert(protokoll));
}

TEST_F(SkriptTest, LastLineWithoutLineEndRunsAndMessagesCarryTheTimeStamp) {
    EXPECT_EQ(Lauf("meldung hallo welt\r\nMELDUNG 50%S"), -1);
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;HALLO;\n20001209.14:03:07;50%S;\n" + kEndzeile);
}

TEST_F(SkriptTest, MeldungWithoutParameterShowsTheLastOne) {
    Lauf("MELDUNG\nMELDUNG EINS\nMELDUNG\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;;\n20001209.14:03:07;EINS;\n"
                           "20001209.14:03:07;EINS;\n" + kEndzeile);
}

TEST_F(SkriptTest, PauseShowsPromptAndWaitsForAWord) {
    konsole.eingaben = {"weiter"};
    Lauf("PAUSE JETZT\nMELDUNG DANACH\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;JETZT;\n"
                           "Weiter: Beliebiges Zeichen eingeben und ENTER druecken..."
                           "20001209.14:03:07;DANACH;\n" + kEndzeile);
    EXPECT_TRUE(konsole.eingaben.empty());
}

TEST_F(SkriptTest, ExitEndsOnlyInAnExecutedLevel) {
    // BIS SCHALTER1 0 is met at once: its body is skipped.
    EXPECT_EQ(Lauf("BIS SCHALTER1 = 0\nEXIT\nENDE\nMELDUNG A\nEXIT\nMELDUNG B\n"), -1);
    EXPECT_EQ(konsole.aus.find("B;"), std::string::npos);
    EXPECT_NE(konsole.aus.find(";A;"), std::string::npos);
    EXPECT_EQ(Zustand().Zeile->Zeilennummer, 5);
}

TEST_F(SkriptTest, UnterprogrammEndsTheMainProgramEvenInASkippedBlock) {
    EXPECT_EQ(Lauf("BIS SCHALTER1 = 0\nUNTERPROGRAMM X\nMELDUNG NIE\n"), -1);
    EXPECT_EQ(konsole.aus, kEndzeile);
}

TEST_F(SkriptTest, ElseInvertsTheBlockAndAppendsItsLineToTheProtocol) {
    // ZEIT gives 1 on its first evaluation, SCHALTER1 0 gives 0.
    Lauf("BIS SCHALTER1 = 0\nMELDUNG NEIN\n  else\nMELDUNG JA\nENDE\n"
         "BIS ZEIT = 1000\nMELDUNG JA2\n ELSE egal\nMELDUNG NEIN2\nENDE\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;JA;\n20001209.14:03:07;JA2;\n" + kEndzeile);
    EXPECT_EQ(Protokoll(), "  ELSE\r\n ELSE\r\n");
}

TEST_F(SkriptTest, SkippedLevelsRaiseAndLowerWithoutEvaluating) {
    Lauf("BIS SCHALTER1 = 0\n BIS ZEIT = 10\n  MELDUNG A\n ELSE\n  MELDUNG B\n ENDE\nENDE\n"
         "MELDUNG C\n");
    EXPECT_EQ(konsole.aus, "20001209.14:03:07;C;\n" + kEndzeile);
    EXPECT_EQ(Zustand().Zeitbausteine[2], nullptr);
    EXPECT_EQ(Zustand().Zeile->Stufe, 0);
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
    EXPECT_EQ(LetzterBericht(), "Modul: TAKTLER 091200, Funktion: Kommando erkennen: "
                                "unbekanntes Kommando, Programmabbruch: " + wort);
    EXPECT_EQ(Protokoll(), "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
                           "Kommando erkennen: unbekanntes Kommando\r\n" + wort +
                               "\r\n---------------------------\r\n");
}

INSTANTIATE_TEST_SUITE_P(Woerter, SkriptUnbekanntTest,
                         ::testing::Values(UnbekanntFall{"REBOOT", "REBOOT"},
                                           UnbekanntFall{"transfer jetzt", "TRANSFER"},
                                           UnbekanntFall{"FAHRE MOTOR1", "FAHRE"},
                                           UnbekanntFall{"\tMELDUNG", "\tMELDUNG"}));

TEST_F(SkriptTest, ProtocolKeepsEarlierLinesBeforeTheBanner) {
    EXPECT_EQ(Lauf("BIS ZEIT 10\nELSE\nENDE\nKAPUTT\n"), 12);
    EXPECT_EQ(Protokoll(), "ELSE\r\n---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
                           "Kommando erkennen: unbekanntes Kommando\r\nKAPUTT\r\n"
                           "---------------------------\r\n");
}

TEST_F(SkriptTest, NestingBeyondLevel79IsRefused) {
    std::string ok;
    for (int i = 0; i < 79; ++i) {
        ok += "BIS ZEIT 100000\n";
    }
    EXPECT_EQ(Lauf(ok), -1);
    EXPECT_EQ(Zustand().Zeile->Stufe, 79);
    TearDown();
    SetUp();
    EXPECT_EQ(Lauf(ok + "BIS ZEIT 100000\n"), 12);
    EXPECT_EQ(LetzterBericht(), "Modul: TAKTLER 091200, Funktion: Strukturstufe: mehr als 79 "
                                "Stufen, Programmabbruch: BIS");
}

TEST_F(SkriptTest, WrongArgumentCountPrintsTheUsageWithoutReport) {
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({kommandodatei}); }), 12);
    EXPECT_EQ(konsole.fehler, "TAKTLER 091200\nAnzahl der Argumente fehlerhaft.\n"
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
    EXPECT_EQ(LetzterBericht(), "Modul: TAKTLER 091200, Funktion: Quelldatei nicht vorhanden: , "
                                "Programmabbruch: " + (dir / "fehlt.txt"));
    EXPECT_FALSE(DateiExistiert(protokoll));
}

TEST_F(SkriptTest, InfoListsTheFileNamedInItsParameter) {
    SchreibeDatei(dir / "liste.txt", "erste Zeile\r\nzweite");
    Lauf("INFO " + (dir / "liste.txt") + "\n");
    EXPECT_EQ(konsole.aus, "erste Zeile\nzweite\n" + kEndzeile);
}

TEST_F(SkriptTest, TracelevelGatesTheProgressMessages) {
    Zustand().Tracelevel = 4;
    Lauf("RUFE UP\nTRACELEVEL 0\nRUFE UP\nEXIT\nUNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n");
    EXPECT_EQ(konsole.aus, "Stufe: 1 UP gerufen: UP\n" + kEndzeile);
    EXPECT_EQ(Zustand().Tracelevel, 0);
}

}  // namespace
}  // namespace taktler::test
