#include <gtest/gtest.h>

#include <cstring>
#include <string>
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

TEST_F(StrtoolsTest, TrenneFelderCollapsesBlankRunsWithinCapacity) {
    struct Fall {
        const char* text;
        std::uint32_t kapazitaet;
        const char* ergebnis;  // nullptr: the call aborts
        std::int32_t anzahl;
    };
    const Fall faelle[] = {
        {"UNTERPROGRAMM   NAME", 251, "UNTERPROGRAMM|NAME", 1},
        {"UNTERPROGRAMM", 251, "UNTERPROGRAMM|", 1},
        {"RUFE NAME ", 251, "RUFE|NAME|", 2},
        {"  A\tB", 251, "|A\tB", 1},
        {"", 251, "", 0},
        {"ABC", 5, "ABC|", 1},   // the appended separator just fits
        {"ABC", 4, nullptr, 0},  // ... and here it would not
        {"A B", 4, "A|B", 1},
        {"A B", 3, nullptr, 0},
        {"", 0, nullptr, 0},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(std::string("\"") + f.text + "\" cap " + std::to_string(f.kapazitaet));
        std::vector<char> puffer(f.kapazitaet + 8, '#');
        std::int32_t anzahl = -1;
        int code =
            EndeCode([&] { anzahl = strTrenneFelder(f.text, '|', puffer.data(), f.kapazitaet); });
        if (f.ergebnis == nullptr) {
            EXPECT_EQ(code, 12);
            EXPECT_EQ(LetzterBericht(), Abbruch("strTrenneFelder", "inoutZeile zu kurz"));
        } else {
            EXPECT_EQ(code, -1);
            EXPECT_STREQ(puffer.data(), f.ergebnis);
            EXPECT_EQ(anzahl, f.anzahl);
        }
        EXPECT_EQ(std::string(puffer.begin() + f.kapazitaet, puffer.end()), "########");
    }
}

TEST_F(StrtoolsTest, ParseEingabezeileGivesTheNthField) {
    struct Fall {
        const char* zeile;
        std::int32_t n;
        const char* feld;
    };
    const Fall faelle[] = {
        {"A|B", 1, "A"},  {"A|B", 2, "B"},  {"A|B", 3, ""},  {"A||B", 2, ""},
        {"A||B", 3, "B"}, {"A|B|", 2, "B"}, {"A|B|", 3, ""}, {"A|B", 0, ""},
        {"A|B", -1, ""},  {"", 1, ""},      {"|A", 1, ""},   {"UNTERPROGRAMM|NAME|", 2, "NAME"},
    };
    for (const Fall& f : faelle) {
        EXPECT_STREQ(ParseEingabezeile(f.zeile, f.n, '|'), f.feld) << f.zeile << " n=" << f.n;
    }
}

TEST_F(StrtoolsTest, ParseEingabezeileTakes250CharactersAndAbortsAt251) {
    std::string zeile(250, 'x');
    EXPECT_EQ(ParseEingabezeile(zeile.c_str(), 1, '|'), zeile);
    zeile += 'x';
    EXPECT_EQ(EndeCode([&] { ParseEingabezeile(zeile.c_str(), 1, '|'); }), 12);
    EXPECT_EQ(LetzterBericht(), Abbruch("ParseEingabezeile", "inZeile zu lang"));
}

TEST_F(StrtoolsTest, StrfndFoldsOnlyAsciiLetters) {
    struct Fall {
        const char* text;
        const char* muster;
        std::int32_t pos;
    };
    const Fall faelle[] = {
        {"   unterprogramm test", "UNTERPROGRAMM", 3},
        {"ENDE_UNTERPROGRAMM", "UNTERPROGRAMM", 5},
        {"xABy", "ab", 1},
        {"abc", "", -1},
        {"", "a", -1},
        {"abc", "abcd", -1},
        {"\xE4x", "\xC4X", -1},  // Latin-1 umlauts are not folded
        {"a\xE4x", "\xE4X", 1},
    };
    for (const Fall& f : faelle) {
        EXPECT_EQ(strfnd(f.text, f.muster), f.pos) << f.text << " / " << f.muster;
    }
    EXPECT_EQ(services::Aufruftiefe(), 0);
}

TEST_F(StrtoolsTest, ErsetzeReplacesTheFirstMatchOnly) {
    struct Fall {
        const char* text;
        const char* suche;
        const char* ersatz;
        const char* ergebnis;
        bool gefunden;
    };
    const Fall faelle[] = {
        {"xABy", "ab", "12", "x12y", true},
        {"xaby", "zz", "12", "xaby", false},
        {"abAB", "AB", "c", "cAB", true},
        {"abc", "abc", "", "", true},
    };
    for (const Fall& f : faelle) {
        char puffer[32];
        std::strcpy(puffer, f.text);
        EXPECT_EQ(strErsetze(puffer, sizeof puffer, f.ersatz, f.suche), f.gefunden) << f.text;
        EXPECT_STREQ(puffer, f.ergebnis);
    }
}

TEST_F(StrtoolsTest, ErsetzeAbortsWhenTheResultWouldNotFit) {
    char puffer[8] = "abc";
    EXPECT_EQ(EndeCode([&] { strErsetze(puffer, 4, "xx", "b"); }), 12);
    EXPECT_EQ(LetzterBericht(), Abbruch("strErsetze: inoutString zu klein", "abc"));
    EXPECT_TRUE(strErsetze(puffer, 5, "xx", "b"));
    EXPECT_STREQ(puffer, "axxc");
}

// Parts around the match longer than 255 characters are still replaced.
TEST_F(StrtoolsTest, ErsetzeHandlesLongPartsAroundTheMatch) {
    std::string vorher(300, 'v');
    std::string nachher(400, 'n');
    std::vector<char> puffer(1000, '\0');
    std::strcpy(puffer.data(), (vorher + "MARKE" + nachher).c_str());
    EXPECT_TRUE(strErsetze(puffer.data(), 1000, "#", "marke"));
    EXPECT_EQ(std::string(puffer.data()), vorher + "#" + nachher);
    EXPECT_EQ(EndeCode([&] { strErsetze(puffer.data(), 701, "ABC", "#"); }), 12);
}

TEST_F(StrtoolsTest, TrimAndTrimEnde) {
    const std::pair<const char*, const char*> trim[] = {
        {"  wort ", "wort "}, {"wort", "wort"}, {"   ", ""}, {"", ""}};
    for (const auto& [ein, aus] : trim) {
        char puffer[16];
        std::strcpy(puffer, ein);
        EXPECT_TRUE(strTrim(puffer));
        EXPECT_STREQ(puffer, aus);
    }
    const std::pair<const char*, const char*> ende[] = {
        {"WORT  \r\n", "WORT"}, {"   ", " "}, {"", ""}, {"\n", "\n"}, {"A B \n", "A B"}};
    for (const auto& [ein, aus] : ende) {
        char puffer[16];
        std::strcpy(puffer, ein);
        strTrimEnde(puffer);
        EXPECT_STREQ(puffer, aus);
    }
}

TEST_F(StrtoolsTest, IsoliereStringCopiesOnlyPiecesThatFit) {
    struct Fall {
        std::uint32_t start;
        std::uint32_t laenge;
        std::uint32_t kapazitaet;
        const char* ergebnis;
    };
    const char* text = "ABCDE  G";
    const Fall faelle[] = {
        {2, 3, 10, "CDE"},
        {5, 3, 10, "  G"},
        {6, 3, 10, ""},    // reaches past the end
        {3, 4, 10, "DE"},  // trailing blanks go
        {5, 1, 10, " "},   // a single blank stays
        {0, 8, 8, ""},     // no room for the terminator
        {0, 8, 9, "ABCDE  G"},
        {0xFFFFFFFFu, 2, 10, ""},  // start + length would wrap
        {1, 0xFFFFFFFFu, 10, ""},
    };
    for (const Fall& f : faelle) {
        char puffer[16] = "altes";
        EXPECT_TRUE(IsoliereString(text, f.start, f.laenge, puffer, f.kapazitaet));
        EXPECT_STREQ(puffer, f.ergebnis) << f.start << "+" << f.laenge;
    }
}

}  // namespace
}  // namespace taktler::test
