#include <cstdio>
#include <fstream>
#include <string>

#include "interface/szenario.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace interface;

struct Gut {
    const char* zeile;
    Ereignis ereignis;
};
void PrintTo(const Gut& g, std::ostream* os) {
    *os << g.zeile;
}

class SzenarioGutTest : public ::testing::TestWithParam<Gut> {};

TEST_P(SzenarioGutTest, AcceptsTheForm) {
    SzenarioErgebnis e = ParseSzenario(GetParam().zeile, "s.sim");
    ASSERT_TRUE(e.Ok()) << e.fehler;
    ASSERT_EQ(e.ereignisse.size(), 1u);
    EXPECT_EQ(e.ereignisse[0], GetParam().ereignis);
}

INSTANTIATE_TEST_SUITE_P(
    Formen, SzenarioGutTest,
    ::testing::Values(
        Gut{"start schalter 3 an", {Anlass::Start, 0, Eingriff::Schalter, 3, 1}},
        Gut{"start schalter 8 aus", {Anlass::Start, 0, Eingriff::Schalter, 8, 0}},
        Gut{"abfrage 5 schalter 1 aus", {Anlass::Abfrage, 5, Eingriff::Schalter, 1, 0}},
        Gut{"messung 40 analog 2 35", {Anlass::Messung, 40, Eingriff::Analog, 2, 35}},
        Gut{"zeit 1500 schalter 2 an", {Anlass::Zeit, 1500, Eingriff::Schalter, 2, 1}},
        Gut{"zeit 0 analog 1 0", {Anlass::Zeit, 0, Eingriff::Analog, 1, 0}},
        Gut{"start analog 1 2499", {Anlass::Start, 0, Eingriff::Analog, 1, 2499}},
        Gut{"  \tstart   analog\t1 200  \r", {Anlass::Start, 0, Eingriff::Analog, 1, 200}},
        Gut{"abfrage 9223372036854775807 schalter 1 an",
            {Anlass::Abfrage, 9223372036854775807u, Eingriff::Schalter, 1, 1}}));

struct Schlecht {
    const char* zeile;
    const char* fehler;
};
void PrintTo(const Schlecht& s, std::ostream* os) {
    *os << s.zeile;
}

class SzenarioSchlechtTest : public ::testing::TestWithParam<Schlecht> {};

// The bad line is the third; two lines that count but say nothing precede it.
TEST_P(SzenarioSchlechtTest, RejectsWithFileAndLine) {
    std::string text = "# Kommentar\n\nstart schalter 1 an\n";
    text += GetParam().zeile;
    text += "\nstart schalter 2 an\n";
    SzenarioErgebnis e = ParseSzenario(text, "dir/s.sim");
    EXPECT_EQ(e.fehler, std::string("dir/s.sim:4: ") + GetParam().fehler);
    EXPECT_TRUE(e.ereignisse.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fehler, SzenarioSchlechtTest,
    ::testing::Values(
        Schlecht{"spaeter schalter 1 an",
                 "unbekannter Zeitpunkt \"spaeter\" (erwartet: start, abfrage N, messung N "
                 "oder zeit N)"},
        Schlecht{"START schalter 1 an",
                 "unbekannter Zeitpunkt \"START\" (erwartet: start, abfrage N, messung N oder "
                 "zeit N)"},
        Schlecht{"abfrage", "nach \"abfrage\" fehlt N"},
        Schlecht{"abfrage x schalter 1 an", "abfrage x: N ist keine Zahl"},
        Schlecht{"abfrage 0 schalter 1 an", "abfrage 0: N muss mindestens 1 sein"},
        Schlecht{"messung -2 analog 1 3", "messung -2: N muss mindestens 1 sein"},
        Schlecht{"zeit -1 schalter 1 an", "zeit -1: N darf nicht negativ sein"},
        Schlecht{"zeit 1.5 schalter 1 an", "zeit 1.5: N ist keine Zahl"},
        Schlecht{"zeit +5 schalter 1 an", "zeit +5: N ist keine Zahl"},
        Schlecht{"zeit 99999999999999999999 schalter 1 an",
                 "zeit 99999999999999999999: N ist zu gross"},
        Schlecht{"start",
                 "nach \"start\" fehlt das Ereignis (schalter K an|aus oder analog K "
                 "WERT)"},
        Schlecht{"abfrage 5",
                 "nach \"abfrage 5\" fehlt das Ereignis (schalter K an|aus oder "
                 "analog K WERT)"},
        Schlecht{"start motor 1 an",
                 "unbekanntes Ereignis \"motor\" (erwartet: schalter oder analog)"},
        Schlecht{"start schalter", "nach \"schalter\" fehlt K"},
        Schlecht{"start schalter 0 an", "schalter 0: K muss 1 bis 8 sein"},
        Schlecht{"start schalter 9 an", "schalter 9: K muss 1 bis 8 sein"},
        Schlecht{"start schalter 3", "nach \"schalter 3\" fehlt an oder aus"},
        Schlecht{"start schalter 3 ein", "an oder aus erwartet, nicht \"ein\""},
        Schlecht{"start schalter 3 an jetzt", "ueberzaehliges Feld \"jetzt\""},
        Schlecht{"start schalter 3 an # Kommentar", "ueberzaehliges Feld \"#\""},
        Schlecht{"start analog 3 5", "analog 3: K muss 1 oder 2 sein"},
        Schlecht{"start analog 1", "nach \"analog 1\" fehlt WERT"},
        Schlecht{"start analog 1 2500", "analog 1 2500: WERT muss 0 bis 2499 sein"},
        Schlecht{"start analog 1 -1", "analog 1 -1: WERT muss 0 bis 2499 sein"},
        Schlecht{"start analog 1 12abc", "analog 1 12abc: WERT ist keine Zahl"},
        Schlecht{"start analog 1 5 6", "ueberzaehliges Feld \"6\""}));

TEST(SzenarioTest, KeepsFileOrderAndSkipsBlankAndCommentLines) {
    SzenarioErgebnis e = ParseSzenario(
        "\xEF\xBB\xBF# Vorspann\r\n\r\n   \nzeit 20 schalter 1 an\r\n  # eingerueckt\nstart analog "
        "2 7",
        "s.sim");
    ASSERT_TRUE(e.Ok()) << e.fehler;
    ASSERT_EQ(e.ereignisse.size(), 2u);
    EXPECT_EQ(e.ereignisse[0].anlass, Anlass::Zeit);
    EXPECT_EQ(e.ereignisse[0].zeile, 4);
    EXPECT_EQ(e.ereignisse[1].anlass, Anlass::Start);
    EXPECT_EQ(e.ereignisse[1].zeile, 6);
    EXPECT_TRUE(ParseSzenario("", "leer.sim").ereignisse.empty());
}

TEST(SzenarioTest, LongWordsAreCutInTheMessage) {
    std::string wort(100, 'x');
    SzenarioErgebnis e = ParseSzenario(wort + " schalter 1 an", "s.sim");
    EXPECT_NE(e.fehler.find("\"" + std::string(40, 'x') + "...\""), std::string::npos);
    EXPECT_LT(e.fehler.size(), 140u);
}

// A file is read line by line with the command file's limit of 498
// characters, so an endless input ends with an error instead of eating memory.
TEST(SzenarioTest, LoadsAFileLineByLineWithinTheLineLimit) {
    TempVerzeichnis dir;
    const std::string pfad = dir / "s.sim";
    const std::string lang(497, 'x');
    struct Fall {
        std::string datei;       // the file to load
        const char* inhalt;      // written to it unless null
        std::size_t ereignisse;  // when it loads
        std::string fehler;      // after the file name
    };
    const Fall faelle[] = {
        {pfad, "\xEF\xBB\xBFstart schalter 4 an\nzeit 5 analog 1 3", 2, ""},
        {pfad, nullptr, 1, ""},  // a comment of 498 characters
        {pfad, "start schalter 4 an\nabfrage 1\n", 0,
         ":2: nach \"abfrage 1\" fehlt das Ereignis (schalter K an|aus oder analog K WERT)"},
        {pfad, "start schalter 4 an\n#x", 0, ":2: Zeile zu lang: mehr als 498 Zeichen"},
        {"/dev/zero", nullptr, 0, ":1: Zeile zu lang: mehr als 498 Zeichen"},
        {dir.pfad(), nullptr, 0, ": Szenariodatei kann nicht gelesen werden: Is a directory"},
        {dir / "fehlt.sim", nullptr, 0,
         ": Szenariodatei kann nicht geoeffnet werden: No such file or directory"},
    };
    for (const Fall& f : faelle) {
        if (f.datei == pfad) {
            std::string text =
                f.inhalt != nullptr ? f.inhalt : "#" + lang + "\nstart schalter 1 an";
            if (text.back() == 'x') {
                text += lang;  // the second line grows to 499 characters
            }
            std::ofstream(pfad, std::ios::binary | std::ios::trunc) << text;
        }
        SzenarioErgebnis e = LadeSzenario(f.datei);
        EXPECT_EQ(e.fehler, f.fehler.empty() ? "" : f.datei + f.fehler) << f.datei;
        EXPECT_EQ(e.ereignisse.size(), f.ereignisse) << f.datei;
    }
    EXPECT_EQ(ParseSzenario("#" + lang + "xx", "s.sim").fehler,
              "s.sim:1: Zeile zu lang: mehr als 498 Zeichen");
}

}  // namespace
}  // namespace taktler::test
