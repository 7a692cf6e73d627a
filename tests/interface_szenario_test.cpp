#include <cstdio>
#include <fstream>
#include <string>

#include "interface/szenario.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace interface;

TEST(SzenarioTest, AcceptsEachForm) {
    const std::pair<const char*, Ereignis> faelle[] = {
        {"start schalter 3 an", {Anlass::Start, 0, Eingriff::Schalter, 3, 1}},
        {"abfrage 5 schalter 8 aus", {Anlass::Abfrage, 5, Eingriff::Schalter, 8, 0}},
        {"messung 1 analog 2 35", {Anlass::Messung, 1, Eingriff::Analog, 2, 35}},
        {"  \tzeit 0   analog\t1 2499  \r", {Anlass::Zeit, 0, Eingriff::Analog, 1, 2499}},
        {"abfrage 9223372036854775807 schalter 1 an",
         {Anlass::Abfrage, 9223372036854775807u, Eingriff::Schalter, 1, 1}},
    };
    for (const auto& [zeile, ereignis] : faelle) {
        SzenarioErgebnis e = ParseSzenario(zeile, "s.sim");
        ASSERT_TRUE(e.Ok()) << e.fehler;
        ASSERT_EQ(e.ereignisse.size(), 1u) << zeile;
        EXPECT_EQ(e.ereignisse[0], ereignis) << zeile;
    }
}

// The bad line is the fourth, after lines that say nothing; no event is kept.
TEST(SzenarioTest, RejectsWithFileAndLine) {
    const std::pair<const char*, const char*> faelle[] = {
        {"spaeter schalter 1 an",
         "unbekannter Zeitpunkt \"spaeter\" (erwartet: start, abfrage N, messung N oder zeit N)"},
        {"abfrage x schalter 1 an", "abfrage x: N ist keine Zahl"},
        {"abfrage 0 schalter 1 an", "abfrage 0: N muss mindestens 1 sein"},
        {"zeit -1 schalter 1 an", "zeit -1: N darf nicht negativ sein"},
        {"zeit 99999999999999999999 schalter 1 an", "zeit 99999999999999999999: N ist zu gross"},
        {"abfrage 5",
         "nach \"abfrage 5\" fehlt das Ereignis (schalter K an|aus oder analog K WERT)"},
        {"start motor 1 an", "unbekanntes Ereignis \"motor\" (erwartet: schalter oder analog)"},
        {"start schalter 9 an", "schalter 9: K muss 1 bis 8 sein"},
        {"start schalter 3 ein", "an oder aus erwartet, nicht \"ein\""},
        {"start schalter 3 an # Kommentar", "ueberzaehliges Feld \"#\""},
        {"start analog 1 2500", "analog 1 2500: WERT muss 0 bis 2499 sein"},
    };
    for (const auto& [zeile, fehler] : faelle) {
        std::string text = "# Kommentar\n\nstart schalter 1 an\n";
        SzenarioErgebnis e = ParseSzenario(text + zeile + "\nstart schalter 2 an\n", "dir/s.sim");
        EXPECT_EQ(e.fehler, std::string("dir/s.sim:4: ") + fehler);
        EXPECT_TRUE(e.ereignisse.empty()) << zeile;
    }
    std::string fehler = ParseSzenario(std::string(100, 'x') + " schalter 1 an", "s.sim").fehler;
    EXPECT_NE(fehler.find("\"" + std::string(40, 'x') + "...\""), std::string::npos) << fehler;
    EXPECT_LT(fehler.size(), 140u);
}

// Lines are limited to 498 characters, so an endless input ends with an error, not out of memory.
TEST(SzenarioTest, LoadsAFileLineByLineWithinTheLineLimit) {
    TempVerzeichnis dir;
    const std::string pfad = dir / "s.sim";
    const std::string lang(497, 'x');
    struct Fall {
        std::string datei;
        const char* inhalt;  // written to it unless null
        std::size_t ereignisse;
        std::string fehler;  // after the file name
    };
    const Fall faelle[] = {
        {pfad, "\xEF\xBB\xBF# v\r\n\r\n  # e\nstart schalter 4 an\r\nzeit 5 analog 1 3", 2, ""},
        {pfad, nullptr, 1, ""},  // a comment of 498 characters
        {pfad, "start schalter 4 an\nabfrage 1\n", 0,
         ":2: nach \"abfrage 1\" fehlt das Ereignis (schalter K an|aus oder analog K WERT)"},
        {pfad, "start schalter 4 an\n#x", 0, ":2: Zeile zu lang: mehr als 498 Zeichen"},
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
