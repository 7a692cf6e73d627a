#include "interpreter/kommandozeile.h"

#include <gtest/gtest.h>

#include <string>

#include "testumgebung.h"

namespace taktler::test {
namespace {

using interpreter::Kommandozeile;
using KommandozeileTest = TaktlerTest;

// The splitting rules are the interpreter fuzz model's, replayed on its corpus by the suite.
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
