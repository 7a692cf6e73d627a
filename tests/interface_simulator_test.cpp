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

std::vector<Ereignis> Szenario(const std::string& text) {
    SzenarioErgebnis e = ParseSzenario(text, "test.sim");
    EXPECT_TRUE(e.Ok()) << e.fehler;
    return e.ereignisse;
}

class SimulatorTest : public PortTest {
  protected:
    void Starte(const std::string& szenario = "") {
        sim = std::make_unique<Simulator>(Szenario(szenario));
        sim->SetzeNotizZiel([this](const std::string& n) { notizen.push_back(n); });
        Installiere(*sim);
    }
    std::string Eingaenge() const { return std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()); }

    std::unique_ptr<Simulator> sim;
    std::vector<std::string> notizen;
    InterfaceDS ds;
};

const char kRichtungen[] = {'L', 'R', 'N'};

class SimulatorRahmenTest : public SimulatorTest, public ::testing::WithParamInterface<int> {};

// Every combination of the four motors, each in all three states.
TEST_P(SimulatorRahmenTest, LatchesEveryMotorCombination) {
    Starte();
    int n = GetParam();
    std::string motoren;
    for (int m = 0; m < 4; ++m, n /= 3) {
        motoren.push_back(kRichtungen[n % 3]);
        ds.Motoren[static_cast<std::size_t>(m)] = motoren.back();
    }
    SendeMotoren(ds);
    EXPECT_EQ(Text(sim->Motoren()), motoren);
    EXPECT_EQ(sim->Rahmen(), 1u);
    EXPECT_EQ(notizen, std::vector<std::string>{"# Motoren " + motoren});
}

INSTANTIATE_TEST_SUITE_P(Alle, SimulatorRahmenTest, ::testing::Range(0, 81));

TEST_F(SimulatorTest, StartsWithEverythingOffAndInitLatchesFourFrames) {
    Starte();
    EXPECT_EQ(Text(sim->Motoren()), "NNNN");
    ds.Motoren = {'L', 'L', 'L', 'L'};
    InterfaceInit(ds);
    EXPECT_EQ(sim->Rahmen(), 4u);
    EXPECT_EQ(notizen, std::vector<std::string>(4, "# Motoren NNNN"));
    LiesEingaenge(ds);
    LiesAnalog(ds);
    EXPECT_EQ(Eingaenge(), "00000000");
    EXPECT_EQ(ds.Analog1, 0);
    EXPECT_EQ(ds.Analog2, 0);
}

class SimulatorEingangTest : public SimulatorTest, public ::testing::WithParamInterface<int> {};

TEST_P(SimulatorEingangTest, InputReadGivesTheSwitches) {
    Starte();
    std::string erwartet;
    for (int k = 1; k <= 8; ++k) {
        bool an = (GetParam() >> (k - 1) & 1) != 0;
        sim->SetzeSchalter(k, an);
        erwartet.push_back(an ? '1' : '0');
    }
    LiesEingaenge(ds);
    EXPECT_EQ(Eingaenge(), erwartet);
}

INSTANTIATE_TEST_SUITE_P(Muster, SimulatorEingangTest,
                         ::testing::Values(0x00, 0x01, 0x80, 0x04, 0xA5, 0x5A, 0xFF));

class SimulatorAnalogTest : public SimulatorTest, public ::testing::WithParamInterface<int> {};

TEST_P(SimulatorAnalogTest, MeasurementGivesTheValueOnBothInputs) {
    const int wert = GetParam();
    Starte("start analog 1 " + std::to_string(wert) + "\nstart analog 2 " +
           std::to_string(kAnalogMaximum - wert) + "\n");
    LiesAnalog(ds);
    EXPECT_EQ(ds.Analog1, wert);
    EXPECT_EQ(ds.Analog2, kAnalogMaximum - wert);
    EXPECT_EQ(sim->Messungen(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Werte, SimulatorAnalogTest, ::testing::Values(0, 1, 2, 1000, 2499));

// Frames, input reads and measurements interleaved: none disturbs another.
TEST_F(SimulatorTest, ExchangesDoNotDisturbEachOther) {
    Starte("start schalter 2 an\nstart schalter 7 an\nstart analog 1 12\nstart analog 2 34\n");
    const std::vector<std::string> folge = {"LNNN", "NRNN", "LRLR", "NNNN", "RNNL"};
    for (std::size_t i = 0; i < folge.size(); ++i) {
        for (std::size_t m = 0; m < 4; ++m) {
            ds.Motoren[m] = folge[i][m];
        }
        if (i % 2 == 0) {
            LiesAnalog(ds);
        }
        SendeMotoren(ds);
        LiesEingaenge(ds);
        LiesAnalog(ds);
        LiesEingaenge(ds);
        EXPECT_EQ(Text(sim->Motoren()), folge[i]);
        EXPECT_EQ(Eingaenge(), "01000010");
        EXPECT_EQ(ds.Analog1, 12);
        EXPECT_EQ(ds.Analog2, 34);
    }
    EXPECT_EQ(sim->Rahmen(), folge.size());
    EXPECT_EQ(sim->Abfragen(), 2 * folge.size());
    EXPECT_EQ(sim->Messungen(), 2 * (folge.size() + 3));
    EXPECT_EQ(notizen.size(), folge.size());
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

// The motor runs until switch 3 goes from open to closed: closed at the
// start, open from read 3, closed again at read 6.
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
