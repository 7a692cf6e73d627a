// Virtual time in-process: where it starts, what each port access and each
// line read from the command file costs, and when a scenario's time event
// lands.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/port.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "services/virtuelleuhr.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using services::kUsProPortzugriff;
using services::kUsProZeile;

// Port accesses of the exchanges, in microseconds of virtual time.
constexpr std::uint64_t kRahmen = 24 * kUsProPortzugriff;   // one motor frame
constexpr std::uint64_t kAbfrage = 25 * kUsProPortzugriff;  // 17 writes, 8 reads
constexpr std::uint64_t kStart = 4 * kRahmen;               // the switch-off frames
constexpr std::int64_t kEpochMs = 1'767'225'600'000;        // 2026-01-01 00:00:00 UTC

TEST(VirtuellerStartTest, TakesSourceDateEpochOrRefusesIt) {
    struct Fall {
        const char* wert;
        std::int64_t startMs;  // -1: refused
    };
    const Fall faelle[] = {
        {"0", 0},
        {"1767225600", kEpochMs},
        {"2147483647", 2'147'483'647'000},
        {"2147483648", -1},  // past what the 32-bit seconds of a time stamp hold
        {"99999999999999999999999", -1},
        {"-1", -1},
        {"12a", -1},
        {" 5", -1},
    };
    for (const Fall& f : faelle) {
        std::string fehler;
        auto start = services::VirtuellerStart(f.wert, fehler);
        if (f.startMs < 0) {
            EXPECT_FALSE(start.has_value()) << f.wert;
            EXPECT_NE(fehler.find(std::string("SOURCE_DATE_EPOCH=") + f.wert), std::string::npos);
        } else {
            EXPECT_EQ(start, std::optional<std::int64_t>(f.startMs)) << f.wert << ": " << fehler;
        }
    }
    // Unset or empty: the real time of the start.
    for (const char* wert : {static_cast<const char*>(nullptr), ""}) {
        std::string fehler;
        auto start = services::VirtuellerStart(wert, fehler);
        const auto jetzt = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        ASSERT_TRUE(start.has_value());
        EXPECT_LE(*start, jetzt);
        EXPECT_GT(*start, jetzt - 60'000);
    }
}

class VirtuelleZeitTest : public TaktlerTest {
  protected:
    void TearDown() override {
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }
    // Installs a fresh virtual clock and a simulator with the scenario.
    void Starte(const std::string& szenario) {
        virtuell = std::make_unique<services::VirtuelleUhr>(kEpochMs);
        services::Umwelt().uhr = virtuell.get();
        auto geladen = interface::ParseSzenario(szenario, "test.sim");
        ASSERT_TRUE(geladen.Ok()) << geladen.fehler;
        sim = std::make_unique<interface::Simulator>(geladen.ereignisse);
        interface::SetzePort(sim.get());
    }

    std::unique_ptr<services::VirtuelleUhr> virtuell;
    std::unique_ptr<interface::Simulator> sim;
    TempVerzeichnis dir;
};

// "zeit N" applies at the first port access N ms or more after the start;
// line reads before it count as well. At that moment every reading of the
// clock tells the same time.
TEST_F(VirtuelleZeitTest, TimeEventLandsAtVirtualMillisecondN) {
    struct Fall {
        std::int32_t zeilen;  // lines read first
        std::uint64_t ms;
    };
    for (const Fall f : {Fall{0, 1}, Fall{0, 7}, Fall{199, 1}, Fall{3, 2}, Fall{400, 1}}) {
        Starte("zeit " + std::to_string(f.ms) + " schalter 3 an\n");
        virtuell->ZeilenGelesen(f.zeilen);
        const std::uint64_t vorher = static_cast<std::uint64_t>(f.zeilen) * kUsProZeile;
        // Past N ms already: the first access applies it.
        const std::uint64_t zugriffe = vorher >= f.ms * 1000 ? 1 : f.ms * 1000 - vorher;
        for (std::uint64_t i = 1; i < zugriffe; ++i) {
            interface::LiesStatus();
        }
        EXPECT_FALSE(sim->Schalter()[2]) << f.zeilen << " lines, " << f.ms << " ms";
        interface::LiesStatus();
        EXPECT_TRUE(sim->Schalter()[2]) << f.zeilen << " lines, " << f.ms << " ms";

        const std::uint64_t us = vorher + zugriffe;
        EXPECT_EQ(virtuell->MonotonUs(), us);
        EXPECT_EQ(virtuell->MonotonMs(), us / 1000);
        const services::Zeitpunkt z = virtuell->Jetzt();
        EXPECT_EQ(std::int64_t{z.Sekunden} * 1000 + z.Millisekunden,
                  kEpochMs + static_cast<std::int64_t>(us / 1000));
        std::tm lokal = virtuell->LokaleZeit();
        EXPECT_EQ(std::mktime(&lokal), static_cast<std::time_t>(z.Sekunden));
    }
}

// Whole runs whose line reads and port accesses can be counted end at exactly
// the modelled time, after exactly the predicted number of passes.
struct Lauf {
    const char* name;
    const char* kommandos;
    const char* szenario;
    std::uint64_t endeUs;
    std::uint64_t rahmen;  // motor frames latched
};

class VirtuelleLaufTest : public VirtuelleZeitTest, public ::testing::WithParamInterface<Lauf> {};

TEST_P(VirtuelleLaufTest, EndsAtTheModelledTime) {
    const Lauf& f = GetParam();
    Starte(f.szenario);
    SchreibeDatei(dir / "k.txt", f.kommandos);
    interpreter::Zustand().Tracelevel = 1;
    EXPECT_EQ(interpreter::Programmlauf({dir / "k.txt", dir / "p.txt"}), 0) << konsole.fehler;
    EXPECT_EQ(virtuell->MonotonUs(), f.endeUs);
    EXPECT_EQ(sim->Rahmen(), f.rahmen);
}

INSTANTIATE_TEST_SUITE_P(
    Modell, VirtuelleLaufTest,
    ::testing::Values(
        // One empty line is read; the read that finds no further line is free.
        Lauf{"LeereDatei", "", "", kStart + kUsProZeile, 4},
        // First evaluation at 101 us starts the timer. A pass reads the body,
        // ENDE_BIS and BIS (the jump back to line 1 skips nothing) and sends
        // a frame: 39 us. The loop ends at the first evaluation past 3 ms
        // (elapsed > 2 ms): 101 + 75 * 39 = 3026 us, after 75 passes of the
        // body; then the skipped body line and ENDE_BIS are read.
        Lauf{"ZeitschleifeMitRumpf", "BIS ZEIT = 2\nEINSCHALTEN MOTOR1\nENDE_BIS\n", "",
             kStart + kUsProZeile + 75 * (3 * kUsProZeile + kRahmen) + 2 * kUsProZeile, 4 + 75},
        // Every reading path: the third input read sees the switch. A pass
        // reads RUFE and searches lines 1..7 for the header, reads
        // ENDE_UNTERPROGRAMM and goes back over lines 1..3, reads ENDE_BIS
        // and goes back over line 1, reads BIS and the inputs.
        Lauf{"AlleLesewege",
             "; eins\nBIS SCHALTER1 = 1\nRUFE X\nENDE_BIS\nENDE\nEXIT\nUNTERPROGRAMM X\n"
             "ENDE_UNTERPROGRAMM\n",
             "abfrage 3 schalter 1 an\n",
             kStart + kUsProZeile + (kUsProZeile + kAbfrage) +
                 2 * ((1 + 7) * kUsProZeile + (1 + 3) * kUsProZeile + (1 + 1) * kUsProZeile +
                      (kUsProZeile + kAbfrage)) +
                 4 * kUsProZeile,
             4}),
    [](const ::testing::TestParamInfo<Lauf>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace taktler::test
