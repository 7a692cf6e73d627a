// SPDX-License-Identifier: GPL-3.0-or-later
// The interface floor: wire protocol, port log, simulator and scenarios (a full or stalled log,
// the real port through libieee1284 and the choice of port: interface_posix_test.cpp).
#include "interface/interface.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "interface/leitung.h"
#include "interface/portlog.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interface_testport.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace interface;

// The 24 writes of each frame, most significant bit first.
std::vector<unsigned> Rahmen(const std::vector<unsigned>& motorbytes) {
    std::vector<unsigned> bytes;
    for (unsigned motorbyte : motorbytes) {
        for (int k = 7; k >= 0; --k) {
            const bool eins = ((motorbyte >> k) & 1) != 0;
            const unsigned schluss = k == 0 ? (eins ? 0xFF : 0xFB) : (eins ? 0xF6 : 0xF2);
            bytes.insert(bytes.end(), {eins ? 0xF6u : 0xF2u, eins ? 0xFEu : 0xFAu, schluss});
        }
    }
    return bytes;
}

std::string Text(const std::array<char, 4>& a) {
    return std::string(a.begin(), a.end());
}

class LeitungTest : public PortTest {
  protected:
    void SetUp() override {
        PortTest::SetUp();
        interface::SetzePort(&port);
    }
    AufnahmePort port;
    InterfaceDS ds;
};

// Each operation sends the whole state; motors outside 1..4 send nothing; unknown states send off.
// The first of eight input reads is switch 8; status bits other than 0x20 do not count.
TEST_F(LeitungTest, MotorOperationsSendTheWholeStateAndInputsTakeBit0x20) {
    ds = {{'L', 'R', 'L', 'R'}, {'1', '1', '1', '1', '1', '1', '1', '1'}, 5, 7};
    InterfaceInit(ds);
    EXPECT_EQ(Text(ds.Motoren) + std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()),
              "NNNN00000000");
    EXPECT_EQ(ds.Analog1 + ds.Analog2, 0);
    EXPECT_EQ(port.zugriffe.size(), 96u);  // nothing read, nothing measured
    MotorLinks(ds, 1);
    MotorLinks(ds, 1);
    MotorLinks(ds, 2);
    MotorRechts(ds, 2);
    for (int motor : {0, 5}) {
        MotorLinks(ds, motor);
        MotorRechts(ds, motor);
        MotorStop(ds, motor);
    }
    MotorLinks(ds, 4);
    MotorStop(ds, 3);
    EXPECT_EQ(Text(ds.Motoren), "LRNL");
    ds.Motoren = {'R', 'l', 'x', '0'};
    SendeMotoren(ds);
    EXPECT_EQ(port.Bytes(), Rahmen({0, 0, 0, 0, 0x01, 0x01, 0x05, 0x09, 0x49, 0x49, 0x02}));
    port.status = [](int i) { return static_cast<std::uint8_t>(i == 0 ? 0x20 : 0xDF); };
    LiesEingaenge(ds);
    EXPECT_EQ(port.lesungen, 8);
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000001");
}

std::uint8_t Hoch(bool h) {
    return h ? 0x10 : 0x00;
}

// The access sequence itself is in the port log test; the most edges are in the LiesAnalog test.
TEST_F(LeitungTest, MeasurementCountsRisingEdgesAfterALowSample) {
    const std::pair<std::function<std::uint8_t(int)>, std::int32_t> faelle[] = {
        {[](int) { return std::uint8_t{0xFF}; }, 0},
        {[](int i) { return Hoch(i < 10 || i >= 20); }, 1},
        {[](int i) { return Hoch(i == 4998); }, 1},  // an edge on the last sample
    };
    for (const auto& [signal, ergebnis] : faelle) {
        port.lesungen = 0;
        port.status = signal;
        EXPECT_EQ(MesseAnalog(0xFB, 0xE1), ergebnis);
        EXPECT_EQ(port.lesungen, 4999);
    }
}

TEST_F(LeitungTest, LiesAnalogMeasuresInputOneThenTwoAndTheLevelVariant) {
    port.status = [](int i) { return Hoch(i < 4999 ? i < 6 && i % 2 == 1 : i % 2 == 0); };
    LiesAnalog(ds);
    EXPECT_EQ(ds.Analog1, 3);
    EXPECT_EQ(ds.Analog2, 2499);
    EXPECT_EQ(port.zugriffe[4 + 4999 + 1 + 2], (Zugriff{Zugriff::Wort, 0x00D1}));
    port.zugriffe.clear();
    port.lesungen = 0;
    port.status = [](int i) { return Hoch(i >= 100); };
    ds.Analog2 = 77;
    MesseAnalogPegel(ds, 2);
    EXPECT_EQ(ds.Analog2, 100);
    EXPECT_EQ(port.lesungen, 999);
    EXPECT_EQ(port.Bytes(), (std::vector<unsigned>{0xFB, 0xD1, 0xFB}));
}

TEST_F(LeitungTest, BitNumberOutsideOneToEightEndsWith99WithoutAMessage) {
    // Both share one check; SetzeBit(0, 9) is the abort in CompleteAfterAnAbort.
    EXPECT_EQ(EndeCode([] { SetzeBit(0, 0); }), 99);
    EXPECT_EQ(EndeCode([] { LoescheBit(0xFF, 9); }), 99);
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_TRUE(konsole.fehler.empty());
}

std::vector<std::string> RahmenZeilen(unsigned motorbyte, const std::string& notiz) {
    std::vector<std::string> zeilen;
    for (unsigned b : Rahmen({motorbyte})) {
        zeilen.push_back(services::Format("W 378 %02X", b));
    }
    zeilen.push_back(notiz);
    return zeilen;
}

TEST_F(PortLogTest, OneLinePerAccessWithTheNoteAfterTheLatchingWrite) {
    auto sim = std::make_unique<Simulator>();
    sim->SetzeSchalter(8, true);
    sim->SetzeAnalog(2, 1);
    auto log = Oeffne(std::move(sim));
    std::vector<std::string> weitergereicht;
    log->SetzeNotizZiel([&](const std::string& n) { weitergereicht.push_back(n); });
    interface::SetzePort(log.get());
    InterfaceDS ds;
    ds.Motoren = {'L', 'N', 'N', 'R'};
    SendeMotoren(ds);
    LiesEingaenge(ds);
    EXPECT_EQ(MesseAnalog(0xFB, 0xD1), 1);
    SetzePort(nullptr);
    log.reset();
    std::vector<std::string> erwartet = RahmenZeilen(0x81, "# Motoren LNNR");
    erwartet.insert(erwartet.end(), {"W 378 02", "W 378 0A", "W 378 00", "R 379 20"});
    for (int i = 0; i < 7; ++i) {
        erwartet.insert(erwartet.end(), {"W 378 08", "W 378 00", "R 379 00"});
    }
    erwartet.insert(erwartet.end(), {"CLI", "W16 378 00FB", "W16 378 00D1", "W16 378 00FB",
                                     "R 379 00", "R 379 10"});
    for (int i = 2; i < 4999; ++i) {
        erwartet.push_back("R 379 00");
    }
    erwartet.push_back("STI");
    EXPECT_EQ(LogZeilen(), erwartet);
    EXPECT_EQ(weitergereicht, std::vector<std::string>{"# Motoren LNNR"});
}

// main() keeps its port to the end; exit() alone must leave the log complete.
TEST_F(PortLogTest, CompleteAfterAnAbort) {
    // Windows runs the test anew in the child, with a directory of its own: the parent's file
    // comes by the environment, and the child's empty directory goes.
    static std::string variable;  // putenv keeps it
    const char* geerbt = std::getenv("TAKTLER_TEST_PORTLOG");
    if (geerbt == nullptr || *geerbt == '\0') {
        variable = "TAKTLER_TEST_PORTLOG=" + pfad;
        ::putenv(variable.data());
    }
    EXPECT_EXIT(
        {
            const std::string ziel = std::getenv("TAKTLER_TEST_PORTLOG");
            if (ziel != pfad) {
                std::filesystem::remove(dir.pfad());
            }
            services::UmweltZuruecksetzen();
            auto* log = Oeffne(std::make_unique<Simulator>(), ziel.c_str()).release();
            SetzePort(log);
            InterfaceDS ds;
            MotorLinks(ds, 2);
            SetzeBit(0, 9);
        },
        ::testing::ExitedWithCode(99), "");
    variable = "TAKTLER_TEST_PORTLOG=";
    ::putenv(variable.data());
    EXPECT_EQ(LogZeilen(), RahmenZeilen(0x04, "# Motoren NLNN"));
}

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
