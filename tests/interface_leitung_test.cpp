#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/portlog.h"
#include "interface/simulator.h"
#include "interface_testport.h"
#include "services/abschluss.h"
#include "services/unterbrechung.h"
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

class PortLogTest : public PortTest {
  protected:
    std::unique_ptr<PortLog> Oeffne(std::unique_ptr<Port> innen, const char* ziel = nullptr) {
        std::string fehler;
        auto log = PortLog::Oeffne(std::move(innen), ziel != nullptr ? ziel : pfad, fehler);
        EXPECT_TRUE(log) << fehler;
        return log;
    }
    std::vector<std::string> LogZeilen() const { return Zeilen(LiesDatei(pfad)); }
    TempVerzeichnis dir;
    std::string pfad = dir / "p.log";
};

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
    EXPECT_EXIT(
        {
            services::UmweltZuruecksetzen();
            auto* log = Oeffne(std::make_unique<Simulator>()).release();
            SetzePort(log);
            InterfaceDS ds;
            MotorLinks(ds, 2);
            SetzeBit(0, 9);
        },
        ::testing::ExitedWithCode(99), "");
    EXPECT_EQ(LogZeilen(), RahmenZeilen(0x04, "# Motoren NLNN"));
}

// A lost log ends the run with 12, whether the loss shows at a full block or only at the end.
TEST_F(PortLogTest, LostLinesEndWith12AndNameTheFile) {
    for (int zugriffe : {3, 20'000}) {
        konsole.fehler.clear();
        auto log = Oeffne(std::make_unique<AufnahmePort>(), "/dev/full");
        ASSERT_TRUE(log);
        EXPECT_EQ(EndeCode([&] {
                      for (int i = 0; i < zugriffe; ++i) {
                          log->SchreibeByte(0xF2);
                      }
                      log->Abschliessen();
                  }),
                  12)
            << zugriffe;
        EXPECT_EQ(konsole.fehler,
                  "taktler: /dev/full: Port-Protokoll kann nicht geschrieben werden: No space "
                  "left on device\n");
        services::AbschlussZuruecksetzen();
    }
}

// After a signal a stalled log reader holds no access up (motors off); the end writes every line.
TEST_F(PortLogTest, AfterASignalAccessesDoNotWaitForTheLog) {
    const std::string fifo = dir / "log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int leser = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(leser, 0);
    auto* innen = new AufnahmePort;
    auto log = Oeffne(std::unique_ptr<Port>(innen), fifo.c_str());
    ASSERT_TRUE(log);
    services::SetzeUnterbrechung(SIGINT);
    const int zugriffe = 100'000;  // more than the pipe and one block hold
    for (int i = 0; i < zugriffe; ++i) {
        log->SchreibeByte(static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(innen->zugriffe.size(), static_cast<std::size_t>(zugriffe));
    services::EndeBeginnt();
    std::string gelesen;
    std::thread leseFaden([&] {
        ::fcntl(leser, F_SETFL, 0);  // blocking now, to the end of the log
        char puffer[1 << 16];
        for (ssize_t n; (n = ::read(leser, puffer, sizeof puffer)) > 0;) {
            gelesen.append(puffer, static_cast<std::size_t>(n));
        }
    });
    log->Abschliessen();
    leseFaden.join();
    ::close(leser);
    EXPECT_EQ(gelesen.size(), static_cast<std::size_t>(zugriffe) * 9);
    EXPECT_EQ(gelesen.substr(gelesen.size() - 9), "W 378 9F\n");
    EXPECT_TRUE(konsole.fehler.empty()) << konsole.fehler;
}

}  // namespace
}  // namespace taktler::test
