#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/simulator.h"
#include "interface_testport.h"

namespace taktler::test {
namespace {

using namespace interface;

std::string Text(const std::array<char, 4>& m) {
    return std::string(m.begin(), m.end());
}

class SimulatorTest : public PortTest {
  protected:
    void Starte(const std::string& szenario = "") {
        SzenarioErgebnis e = ParseSzenario(szenario, "test.sim");
        ASSERT_TRUE(e.Ok()) << e.fehler;
        sim = std::make_unique<Simulator>(e.ereignisse);
        sim->SetzeNotizZiel([this](const std::string& n) { notizen.push_back(n); });
        Installiere(*sim);
    }
    std::string Eingaenge() const { return std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()); }

    std::unique_ptr<Simulator> sim;
    std::vector<std::string> notizen;
    InterfaceDS ds;
};

TEST_F(SimulatorTest, LatchesTheMotorsOfEachFrame) {
    Starte();
    for (const std::string motoren : {"LRNN", "NNNN", "RLRL"}) {
        notizen.clear();
        std::copy(motoren.begin(), motoren.end(), ds.Motoren.begin());
        SendeMotoren(ds);
        EXPECT_EQ(Text(sim->Motoren()), motoren);
        EXPECT_EQ(notizen, std::vector<std::string>{"# Motoren " + motoren});
    }
    EXPECT_EQ(sim->Rahmen(), 3u);
}

// Analog values stay within 0..2499; switch numbers outside 1..8 change nothing.
TEST_F(SimulatorTest, ReadsGiveTheSwitchesAndAnalogValuesSet) {
    Starte();
    for (int muster : {0x01, 0x80, 0xA5}) {
        for (int k = 1; k <= 8; ++k) {
            sim->SetzeSchalter(k, (muster >> (k - 1) & 1) != 0);
        }
        sim->SetzeSchalter(0, true);
        sim->SetzeSchalter(9, true);
        LiesEingaenge(ds);
        std::string erwartet;
        for (int k = 1; k <= 8; ++k) {
            erwartet += (muster >> (k - 1) & 1) != 0 ? '1' : '0';
        }
        EXPECT_EQ(Eingaenge(), erwartet);
    }
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
    sim->SetzeBeobachter([&](const Simulator::Motorzustand& m) { gesehen.push_back(Text(m)); });
    ds.Motoren = {'N', 'N', 'N', 'N'};
    MotorBisSchalter1Links(ds);
    std::vector<std::string> erwartet(5, "LNNN");
    erwartet.push_back("NNNN");
    EXPECT_EQ(gesehen, erwartet);
    EXPECT_EQ(sim->Abfragen(), 6u);
}

}  // namespace
}  // namespace taktler::test
