#include "interpreter/kommandozeile.h"

#include <gtest/gtest.h>

#include <string>

#include "testumgebung.h"

namespace taktler::test {
namespace {

using interpreter::Kommandozeile;
using KommandozeileTest = TaktlerTest;

// Parameters the line does not supply keep the text of the line before.
TEST_F(KommandozeileTest, SplitsIntoKeywordAndParameters) {
    const std::string k(100, 'K');
    const std::string p(300, 'p');
    const std::vector<std::vector<std::string>> faelle = {
        {"einschalten motor1,links", "EINSCHALTEN", "MOTOR1", "LINKS", "ALT3"},
        {"AUSSCHALTEN , MOTOR1", "AUSSCHALTEN", "", "MOTOR1", "ALT3"},
        {"AUSSCHALTEN, MOTOR1", "AUSSCHALTEN", "MOTOR1", "ALT2", "ALT3"},
        {"BIS A B C D", "BIS", "A", "B", "C"},
        {"   ; einschalten motor1", ";", "ALT1", "ALT2", "ALT3"},
        {"     ", ";", "ALT1", "ALT2", "ALT3"},
        {"\tEINSCHALTEN", "\tEINSCHALTEN", "ALT1", "ALT2", "ALT3"},
        {",MOTOR1", "", "MOTOR1", "ALT2", "ALT3"},
        {"meldung 50%s \xF6x", "MELDUNG", "50%S", "\xF6X", "ALT3"},
        {k + " " + p, k.substr(0, 79), std::string(249, 'P'), "ALT2", "ALT3"},
    };
    for (const auto& f : faelle) {
        Kommandozeile kz;
        std::string zeile = "ALT ALT1 ALT2 ALT3";
        interpreter::ParseKommandozeile(zeile.data(), &kz);
        zeile = f[0];
        EXPECT_TRUE(interpreter::ParseKommandozeile(zeile.data(), &kz));
        EXPECT_EQ((std::vector<std::string>{f[0], kz.Kommando.data(), kz.Parameter1.data(),
                                            kz.Parameter2.data(), kz.Parameter3.data()}),
                  f);
    }
}

TEST_F(KommandozeileTest, WholeWordsDecideAndNumbersSaturate) {
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
    const std::pair<const char*, std::int32_t> zahlen[] = {
        {"  -42abc", -42}, {"ABC", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& [text, zahl] : zahlen) {
        EXPECT_EQ(interpreter::ZahlAusText(text), zahl) << text;
    }
}

TEST_F(KommandozeileTest, SetzeProtokolldateiRefusesNamesOf250Characters) {
    Kommandozeile kz;
    std::string ok(249, 'a');
    EXPECT_TRUE(interpreter::KommandozeileSetzeProtokolldatei(&kz, ok.c_str()));
    EXPECT_STREQ(kz.Protokolldateiname.data(), ok.c_str());
    EXPECT_EQ(EndeCode([&] {
                  interpreter::KommandozeileSetzeProtokolldatei(&kz, std::string(250, 'a').c_str());
              }),
              12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Kommandozeile_SetzeProtokolldatei, "
              "Programmabbruch: inString zu lang");
}

}  // namespace
}  // namespace taktler::test
