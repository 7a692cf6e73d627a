#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "services/strtools.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace services;

using StrtoolsTest = TaktlerTest;

std::string Abbruch(const std::string& funktion, const std::string& text) {
    return "Modul: STRTOOLS 210100, Funktion: " + funktion + ", Programmabbruch: " + text;
}

// Nothing is ever written at or behind the capacity.
TEST_F(StrtoolsTest, TrenneFelderCollapsesBlankRunsWithinCapacity) {
    // text, capacity, result (nullptr: the call aborts), count
    const std::tuple<const char*, std::uint32_t, const char*, std::int32_t> faelle[] = {
        {"UNTERPROGRAMM   NAME", 251, "UNTERPROGRAMM|NAME", 1},
        {"  A\tB ", 251, "|A\tB|", 2},
        {"ABC", 5, "ABC|", 1},   // the appended separator just fits
        {"ABC", 4, nullptr, 0},  // ... and here it would not
        {"", 0, nullptr, 0},
    };
    for (const auto& [text, kapazitaet, ergebnis, felder] : faelle) {
        SCOPED_TRACE(std::string("\"") + text + "\" cap " + std::to_string(kapazitaet));
        std::vector<char> puffer(kapazitaet + 8, '#');
        std::int32_t anzahl = -1;
        int code = EndeCode(
            [&, t = text, k = kapazitaet] { anzahl = strTrenneFelder(t, '|', puffer.data(), k); });
        if (ergebnis == nullptr) {
            EXPECT_EQ(code, 12);
            EXPECT_EQ(LetzterBericht(), Abbruch("strTrenneFelder", "inoutZeile zu kurz"));
        } else {
            EXPECT_STREQ(puffer.data(), ergebnis);
            EXPECT_EQ(anzahl, felder);
        }
        EXPECT_EQ(std::string(puffer.begin() + kapazitaet, puffer.end()), "########");
    }
}

TEST_F(StrtoolsTest, ParseEingabezeileGivesTheNthFieldOfAtMost250Characters) {
    const std::pair<int, const char*> faelle[] = {{2, ""}, {3, "BC"}, {4, ""}, {0, ""}};
    for (const auto& [n, feld] : faelle) {
        EXPECT_STREQ(ParseEingabezeile("A||BC", n, '|'), feld) << n;
    }
    std::string zeile(250, 'x');
    EXPECT_EQ(ParseEingabezeile(zeile.c_str(), 1, '|'), zeile);
    zeile += 'x';
    EXPECT_EQ(EndeCode([&] { ParseEingabezeile(zeile.c_str(), 1, '|'); }), 12);
    EXPECT_EQ(LetzterBericht(), Abbruch("ParseEingabezeile", "inZeile zu lang"));
}

TEST_F(StrtoolsTest, StrfndFoldsOnlyAsciiLetters) {
    EXPECT_EQ(strfnd("ENDE_unterprogramm", "UNTERPROGRAMM"), 5);
    EXPECT_EQ(strfnd("\xE4x", "\xC4X"), -1);  // Latin-1 umlauts are not folded
    EXPECT_EQ(strfnd("a\xE4x", "\xE4X"), 1);
}

// The first match only, parts around it of any length, within the capacity.
TEST_F(StrtoolsTest, ErsetzeReplacesTheFirstMatchWithinTheCapacity) {
    char puffer[8] = "abAB";
    EXPECT_TRUE(strErsetze(puffer, sizeof puffer, "c", "AB"));
    EXPECT_STREQ(puffer, "cAB");
    EXPECT_EQ(EndeCode([&] { strErsetze(puffer, 5, "xxx", "c"); }), 12);
    EXPECT_EQ(LetzterBericht(), Abbruch("strErsetze: inoutString zu klein", "cAB"));
    EXPECT_TRUE(strErsetze(puffer, 6, "xxx", "c"));
    EXPECT_STREQ(puffer, "xxxAB");
    std::string vorher(300, 'v');
    std::string nachher(400, 'n');
    std::vector<char> lang(1000, '\0');
    std::strcpy(lang.data(), (vorher + "MARKE" + nachher).c_str());
    EXPECT_TRUE(strErsetze(lang.data(), 1000, "#", "marke"));
    EXPECT_EQ(std::string(lang.data()), vorher + "#" + nachher);
}

// strTrimEnde always keeps the first character.
TEST_F(StrtoolsTest, TrimAndTrimEnde) {
    const std::tuple<bool, const char*, const char*> faelle[] = {
        {true, "  wort ", "wort "}, {true, "   ", ""}, {false, "A B \r\n", "A B"},
        {false, "   ", " "},        {false, "", ""},   {false, "\n", "\n"}};
    for (const auto& [vorn, ein, aus] : faelle) {
        char puffer[16];
        std::strcpy(puffer, ein);
        vorn ? (void)strTrim(puffer) : strTrimEnde(puffer);
        EXPECT_STREQ(puffer, aus) << vorn << ein;
    }
}

TEST_F(StrtoolsTest, IsoliereStringCopiesOnlyPiecesThatFit) {
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, const char*> faelle[] = {
        {3, 4, 10, "DE"},  // trailing blanks go
        {0, 8, 8, ""},     // no room for the terminator
        {0, 8, 9, "ABCDE  G"},
        {0xFFFFFFFFu, 2, 10, ""},  // start + length would wrap
    };
    for (const auto& [start, laenge, kapazitaet, ergebnis] : faelle) {  // start, length, capacity
        char puffer[16] = "altes";
        EXPECT_TRUE(IsoliereString("ABCDE  G", start, laenge, puffer, kapazitaet));
        EXPECT_STREQ(puffer, ergebnis) << start << "+" << laenge;
    }
}

}  // namespace
}  // namespace taktler::test
