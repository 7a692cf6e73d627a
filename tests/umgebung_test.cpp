#include <gtest/gtest.h>

#include "services/fehler.h"
#include "services/trace.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using ReportTest = TaktlerTest;

TEST_F(ReportTest, AbortShowsComposedLineAndEndsWith12) {
    int code =
        EndeCode([] { services::Fehlerabbruch("TAKTLER 091200", "main", "KommandozeileCreate"); });
    EXPECT_EQ(code, 12);
    ASSERT_EQ(fenster.berichte.size(), 1u);
    EXPECT_EQ(fenster.berichte[0].titel, "ABBRUCH");
    EXPECT_EQ(fenster.berichte[0].zeile,
              "Modul: TAKTLER 091200, Funktion: main, Programmabbruch: KommandozeileCreate");
}

TEST_F(ReportTest, WarningReturnsOnOkAndEndsOnCancel) {
    EXPECT_EQ(
        EndeCode([] { services::Warnung("DATEI 151100", "SetzePfad", "Pfad nicht vorhanden"); }),
        -1);
    EXPECT_EQ(LetzterBericht(),
              "Modul: DATEI 151100, Funktion: SetzePfad, Warnung: Pfad nicht vorhanden");
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([] { services::Warnung("DATEI 151100", "SetzePfad", "x"); }), 12);
}

TEST_F(ReportTest, MeldungGoesOn) {
    EXPECT_EQ(EndeCode([] { services::Meldung("DATEI 151100", "BauePfadAuf", "/tmp/x"); }), -1);
    EXPECT_EQ(fenster.berichte.back().titel, "Meldung");
    EXPECT_EQ(LetzterBericht(), "Modul: DATEI 151100, Funktion: BauePfadAuf, Meldung: /tmp/x");
}

// Lines longer than the report's buffer are cut at 251 or 255 characters.
TEST_F(ReportTest, LongLinesAreCutAtTheBuffer) {
    std::string lang(400, 'x');
    EndeCode([&] { services::Fehlerabbruch("M", "F", lang); });
    EXPECT_EQ(LetzterBericht().size(), 251u);
    EndeCode([&] { services::Warnung("M", "F", lang); });
    EXPECT_EQ(LetzterBericht().size(), 255u);
}

TEST_F(ReportTest, OutOfStoreNamesItselfThreeTimes) {
    EXPECT_EQ(EndeCode([] { services::OutOfStore(); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: OutOfStore, Funktion: OutOfStore, Programmabbruch: OutOfStore");
}

TEST_F(ReportTest, TraceBracketKeepsDepthAndStaysOpenOnAbort) {
    {
        services::TraceKlammer k("M", "f");
        EXPECT_EQ(services::Aufruftiefe(), 1);
    }
    EXPECT_EQ(services::Aufruftiefe(), 0);
    EndeCode([] {
        services::TraceKlammer k("M", "f");
        services::Fehlerabbruch("M", "f", "x");
    });
    EXPECT_EQ(services::Aufruftiefe(), 1);
}

}  // namespace
}  // namespace taktler::test
