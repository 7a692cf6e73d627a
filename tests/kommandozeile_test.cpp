#include "interpreter/kommandozeile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "services/strtools.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using interpreter::Kommandozeile;
using KommandozeileTest = TaktlerTest;

struct ParseFall {
    const char* zeile;
    const char* kommando;
    const char* p1;
    const char* p2;
    const char* p3;
};

class KommandozeileParseTest : public TaktlerTest,
                               public ::testing::WithParamInterface<ParseFall> {};

TEST_P(KommandozeileParseTest, SplitsIntoKeywordAndParameters) {
    const ParseFall& f = GetParam();
    Kommandozeile kz;
    std::string zeile = f.zeile;
    EXPECT_TRUE(interpreter::ParseKommandozeile(zeile.data(), &kz));
    EXPECT_STREQ(kz.Kommando.data(), f.kommando);
    EXPECT_STREQ(kz.Parameter1.data(), f.p1);
    EXPECT_STREQ(kz.Parameter2.data(), f.p2);
    EXPECT_STREQ(kz.Parameter3.data(), f.p3);
}

INSTANTIATE_TEST_SUITE_P(
    Beispiele, KommandozeileParseTest,
    ::testing::Values(ParseFall{"einschalten motor1 links", "EINSCHALTEN", "MOTOR1", "LINKS", ""},
                      ParseFall{"EINSCHALTEN MOTOR1,LINKS", "EINSCHALTEN", "MOTOR1", "LINKS", ""},
                      ParseFall{"AUSSCHALTEN , MOTOR1", "AUSSCHALTEN", "", "MOTOR1", ""},
                      ParseFall{"AUSSCHALTEN, MOTOR1", "AUSSCHALTEN", "MOTOR1", "", ""},
                      ParseFall{"BIS A B C D", "BIS", "A", "B", "C"},
                      ParseFall{"   ; einschalten motor1", ";", "", "", ""},
                      ParseFall{"", ";", "", "", ""}, ParseFall{"     ", ";", "", "", ""},
                      ParseFall{"\tEINSCHALTEN", "\tEINSCHALTEN", "", "", ""},
                      ParseFall{",MOTOR1", "", "MOTOR1", "", ""},
                      ParseFall{"A B,,C", "A", "B", "", "C"}, ParseFall{"A B,", "A", "B", "", ""},
                      ParseFall{"MELDUNG A B ;", "MELDUNG", "A", "B", ";"},
                      ParseFall{"meldung 50%s \xF6x", "MELDUNG", "50%S", "\xF6X", ""}));

TEST_F(KommandozeileTest, ParseChangesTheLineInPlaceAndKeepsLeadingBlanks) {
    Kommandozeile kz;
    std::string zeile = "  else weiter";
    interpreter::ParseKommandozeile(zeile.data(), &kz);
    EXPECT_STREQ(zeile.c_str(), "  ELSE");
}

TEST_F(KommandozeileTest, ParametersWithoutFieldKeepTheirOldText) {
    Kommandozeile kz;
    std::string a = "EINSCHALTEN MOTOR1 LINKS";
    std::string b = "AUSSCHALTEN";
    interpreter::ParseKommandozeile(a.data(), &kz);
    interpreter::ParseKommandozeile(b.data(), &kz);
    EXPECT_STREQ(kz.Kommando.data(), "AUSSCHALTEN");
    EXPECT_STREQ(kz.Parameter1.data(), "MOTOR1");
    EXPECT_STREQ(kz.Parameter2.data(), "LINKS");
    std::string c = "; kommentar";
    interpreter::ParseKommandozeile(c.data(), &kz);
    EXPECT_STREQ(kz.Parameter1.data(), "MOTOR1");
}

TEST_F(KommandozeileTest, OverlongKeywordAndFieldAreCutToTheirFields) {
    Kommandozeile kz;
    std::string zeile = std::string(100, 'K') + " " + std::string(300, 'p');
    interpreter::ParseKommandozeile(zeile.data(), &kz);
    EXPECT_EQ(std::strlen(kz.Kommando.data()), 79u);
    EXPECT_EQ(std::strlen(kz.Parameter1.data()), 249u);
    EXPECT_EQ(kz.Parameter1[0], 'P');
}

TEST_F(KommandozeileTest, GibKommandoGivesTheCodesInTableOrder) {
    const std::pair<const char*, int> faelle[] = {{"BIS", 0},
                                                  {"ENDE_BIS", 1},
                                                  {"NOTHALT", 2},
                                                  {"EINSCHALTEN", 3},
                                                  {"AUSSCHALTEN", 4},
                                                  {"RUFE", 5},
                                                  {"UNTERPROGRAMM", 6},
                                                  {"TRACELEVEL", 7},
                                                  {"ENDE_UNTERPROGRAMM", 8},
                                                  {"ELSE", 9},
                                                  {"ENDE", 10},
                                                  {"EXIT", 11},
                                                  {"REBOOT", 12},
                                                  {"TRANSFER", 13},
                                                  {";", 14},
                                                  {"PAUSE", 15},
                                                  {"MELDUNG", 16},
                                                  {"INFO", 17},
                                                  {"SOUND", 18},
                                                  {"ENDEN", 19},
                                                  {"", 19},
                                                  {"BI", 19}};
    for (const auto& [wort, code] : faelle) {
        Kommandozeile kz;
        interpreter::Kopiere(kz.Kommando, wort);
        EXPECT_EQ(interpreter::GibKommando(&kz), code) << wort;
    }
}

TEST_F(KommandozeileTest, GibBedingungKnowsFiveWordsAndAbortsOnOthers) {
    Kommandozeile kz;
    const char* woerter[] = {"WAHR", "FALSCH", "WENNNEU", "WENNVORHANDEN", "IMMER"};
    for (int i = 0; i < 5; ++i) {
        interpreter::Kopiere(kz.Parameter3, woerter[i]);
        EXPECT_EQ(interpreter::GibBedingung(&kz), i);
    }
    interpreter::Kopiere(kz.Parameter3, "immer");
    EXPECT_EQ(EndeCode([&] { interpreter::GibBedingung(&kz); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: GibBedingung, Programmabbruch: immer");
}

TEST_F(KommandozeileTest, SetzeProtokolldateiRefusesNamesOf250Characters) {
    Kommandozeile kz;
    std::string ok(249, 'a');
    EXPECT_TRUE(interpreter::KommandozeileSetzeProtokolldatei(&kz, ok.c_str()));
    EXPECT_STREQ(kz.Protokolldateiname.data(), ok.c_str());
    std::string lang(250, 'a');
    EXPECT_EQ(EndeCode([&] { interpreter::KommandozeileSetzeProtokolldatei(&kz, lang.c_str()); }),
              12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Kommandozeile_SetzeProtokolldatei, "
              "Programmabbruch: inString zu lang");
    EXPECT_EQ(EndeCode([&] { interpreter::KommandozeileSetzeProtokolldatei(nullptr, "x"); }), 12);
}

TEST_F(KommandozeileTest, ZahlAusTextReadsLikeTheStandardConversion) {
    EXPECT_EQ(interpreter::ZahlAusText("  -42abc"), -42);
    EXPECT_EQ(interpreter::ZahlAusText("ABC"), 0);
    EXPECT_EQ(interpreter::ZahlAusText("+7"), 7);
    EXPECT_EQ(interpreter::ZahlAusText("99999999999"), INT32_MAX);
    EXPECT_EQ(interpreter::ZahlAusText("-99999999999"), INT32_MIN);
}

}  // namespace
}  // namespace taktler::test
