#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interface_testport.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace interface;

class SimulatorTest : public PortTest {
  protected:
    void Starte(const std::string& szenario = "") {
        SzenarioErgebnis e = ParseSzenario(szenario, "test.sim");
        ASSERT_TRUE(e.Ok()) << e.fehler;
        sim = std::make_unique<Simulator>(e.ereignisse);
        sim->SetzeNotizZiel([this](const std::string& n) { notizen.push_back(n); });
        interface::SetzePort(sim.get());
    }
    std::string Eingaenge() const { return std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()); }

    std::unique_ptr<Simulator> sim;
    std::vector<std::string> notizen;
    InterfaceDS ds;
};

// Analog values stay within 0..2499; switch numbers outside 1..8 change nothing.
TEST_F(SimulatorTest, ReadsGiveTheSwitchesAndAnalogValuesSet) {
    Starte();
    for (int k = 0; k <= 9; ++k) {
        sim->SetzeSchalter(k, "1101001011"[k] == '1');
    }
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "10100101");
    const std::pair<int, int> werte[] = {{1, 1}, {2499, 2499}, {2500, 2499}, {-1, 0}};
    for (const auto& [wert, gemessen] : werte) {
        sim->SetzeAnalog(1, wert);
        sim->SetzeAnalog(2, 2499 - gemessen);
        LiesAnalog(ds);
        EXPECT_EQ(ds.Analog1, gemessen) << wert;
        EXPECT_EQ(ds.Analog2, 2499 - gemessen) << wert;
    }
}

TEST_F(SimulatorTest, EventsApplyJustBeforeTheirExchange) {
    Starte(
        "abfrage 2 schalter 1 an\n"
        "abfrage 2 schalter 1 aus\n"  // same moment: file order, so off wins
        "abfrage 2 schalter 8 an\n"
        "messung 3 analog 2 9\n"
        "messung 3 analog 1 5\n");
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "00000000");
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "00000001");
    LiesAnalog(ds);  // measurements 1 and 2
    EXPECT_EQ(ds.Analog1, 0);
    EXPECT_EQ(ds.Analog2, 0);
    LiesAnalog(ds);  // 3 (input 1) sees both values, 4 (input 2) keeps them
    EXPECT_EQ(ds.Analog1, 5);
    EXPECT_EQ(ds.Analog2, 9);
}

TEST_F(SimulatorTest, TimeEventsApplyAtTheFirstAccessAfterTheirTime) {
    Starte("zeit 1500 schalter 3 an\nzeit 1000 schalter 4 an\nzeit 0 analog 1 7\n");
    uhr.ms += 999;
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "00000000");
    EXPECT_EQ(sim->AnalogWert(1), 7);
    uhr.ms += 1;
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "00010000");
    uhr.ms += 10'000;
    EXPECT_FALSE(sim->Schalter()[2]);  // nothing happens without an access
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), "00110000");
}

// Runs until switch 3 goes from open to closed, not while it is closed at the start.
TEST_F(SimulatorTest, MotorUntilSwitchRunsUntilTheSwitchClosesAnew) {
    Starte("start schalter 3 an\nabfrage 3 schalter 3 aus\nabfrage 6 schalter 3 an\n");
    std::vector<std::string> gesehen;
    sim->SetzeBeobachter([&](const Simulator::Motorzustand& m) {
        gesehen.push_back(std::string(m.begin(), m.end()));
    });
    ds.Motoren = {'N', 'N', 'N', 'N'};
    MotorBisSchalter1Links(ds);
    EXPECT_EQ(gesehen, (std::vector<std::string>{"LNNN", "LNNN", "LNNN", "LNNN", "LNNN", "NNNN"}));
    EXPECT_EQ(sim->Abfragen(), 6u);
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

// Each form, after a byte-order mark, blank and comment lines and CR LF. Lines are limited to 498
// characters (the mark not counted), so an endless input ends with an error, not out of memory.
TEST(SzenarioTest, LoadsEachFormLineByLineWithinTheLineLimit) {
    TempVerzeichnis dir;
    const std::string lang(497, 'x');
    const std::tuple<std::string, std::vector<Ereignis>, std::string> faelle[] = {
        {"\xEF\xBB\xBF#" + lang +
             "\n\r\n  # e\nstart schalter 3 an\r\nabfrage 5 schalter 8 aus\n"
             "messung 1 analog 2 35\n  \tzeit 0   analog\t1 2499  \r\n"
             "abfrage 9223372036854775807 schalter 1 an",
         {{Anlass::Start, 0, Eingriff::Schalter, 3, 1},
          {Anlass::Abfrage, 5, Eingriff::Schalter, 8, 0},
          {Anlass::Messung, 1, Eingriff::Analog, 2, 35},
          {Anlass::Zeit, 0, Eingriff::Analog, 1, 2499},
          {Anlass::Abfrage, 9223372036854775807u, Eingriff::Schalter, 1, 1}},
         ""},
        {"start schalter 4 an\n#x" + lang, {}, ":2: Zeile zu lang: mehr als 498 Zeichen"},
    };
    for (const auto& [inhalt, ereignisse, fehler] : faelle) {
        const std::string pfad = dir.Datei("s.sim", inhalt);
        SzenarioErgebnis e = LadeSzenario(pfad);
        EXPECT_EQ(e.fehler, fehler.empty() ? "" : pfad + fehler);
        EXPECT_EQ(e.ereignisse, ereignisse) << e.fehler;
    }
    EXPECT_EQ(LadeSzenario(dir / "fehlt.sim").fehler,
              dir / "fehlt.sim" +
                  ": Szenariodatei kann nicht geoeffnet werden: No such file or directory");
}

}  // namespace
}  // namespace taktler::test
