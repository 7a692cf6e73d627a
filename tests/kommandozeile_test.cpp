#include "interpreter/kommandozeile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

// Parameters the line does not supply keep the text of the line before.
TEST_P(KommandozeileParseTest, SplitsIntoKeywordAndParameters) {
    const ParseFall& f = GetParam();
    Kommandozeile kz;
    std::string vorher = "ALT ALT1 ALT2 ALT3";
    interpreter::ParseKommandozeile(vorher.data(), &kz);
    std::string zeile = f.zeile;
    EXPECT_TRUE(interpreter::ParseKommandozeile(zeile.data(), &kz));
    EXPECT_STREQ(kz.Kommando.data(), f.kommando);
    EXPECT_STREQ(kz.Parameter1.data(), f.p1);
    EXPECT_STREQ(kz.Parameter2.data(), f.p2);
    EXPECT_STREQ(kz.Parameter3.data(), f.p3);
}

INSTANTIATE_TEST_SUITE_P(
    Beispiele, KommandozeileParseTest,
    ::testing::Values(ParseFall{"einschalten motor1,links", "EINSCHALTEN", "MOTOR1", "LINKS",
                                "ALT3"},
                      ParseFall{"AUSSCHALTEN , MOTOR1", "AUSSCHALTEN", "", "MOTOR1", "ALT3"},
                      ParseFall{"AUSSCHALTEN, MOTOR1", "AUSSCHALTEN", "MOTOR1", "ALT2", "ALT3"},
                      ParseFall{"BIS A B C D", "BIS", "A", "B", "C"},
                      ParseFall{"   ; einschalten motor1", ";", "ALT1", "ALT2", "ALT3"},
                      ParseFall{"     ", ";", "ALT1", "ALT2", "ALT3"},
                      ParseFall{"\tEINSCHALTEN", "\tEINSCHALTEN", "ALT1", "ALT2", "ALT3"},
                      ParseFall{",MOTOR1", "", "MOTOR1", "ALT2", "ALT3"},
                      ParseFall{"meldung 50%s \xF6x", "MELDUNG", "50%S", "\xF6X", "ALT3"}));

TEST_F(KommandozeileTest, OverlongKeywordAndFieldAreCutToTheirFields) {
    Kommandozeile kz;
    std::string zeile = std::string(100, 'K') + " " + std::string(300, 'p');
    interpreter::ParseKommandozeile(zeile.data(), &kz);
    EXPECT_EQ(std::strlen(kz.Kommando.data()), 79u);
    EXPECT_EQ(std::strlen(kz.Parameter1.data()), 249u);
}

// The whole word decides, in either direction.
TEST_F(KommandozeileTest, GibKommandoAndGibBedingungKnowOnlyWholeWords) {
    const std::pair<const char*, int> kommandos[] = {
        {"ENDE", interpreter::kEnde},    {"ENDE_BIS", interpreter::kEndeBis},
        {";", interpreter::kKommentar},  {"ENDEN", interpreter::kUnbekannt},
        {"BI", interpreter::kUnbekannt}, {"", interpreter::kUnbekannt}};
    Kommandozeile kz;
    for (const auto& [wort, code] : kommandos) {
        interpreter::Kopiere(kz.Kommando, wort);
        EXPECT_EQ(interpreter::GibKommando(&kz), code) << wort;
    }
    const char* bedingungen[] = {"WAHR", "FALSCH", "WENNNEU", "WENNVORHANDEN", "IMMER"};
    for (int i = 0; i < 5; ++i) {
        interpreter::Kopiere(kz.Parameter3, bedingungen[i]);
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

TEST_F(KommandozeileTest, ZahlAusTextReadsLikeTheStandardConversionAndSaturates) {
    const std::pair<const char*, std::int32_t> faelle[] = {
        {"  -42abc", -42}, {"ABC", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& [text, zahl] : faelle) {
        EXPECT_EQ(interpreter::ZahlAusText(text), zahl) << text;
    }
}

}  // namespace
}  // namespace taktler::test
