// SPDX-License-Identifier: GPL-3.0-or-later
// The interface floor: wire protocol, port log, simulator and scenarios, the real port and the
// choice of port.
#include "interface/interface.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "interface/leitung.h"
#include "interface/parallelport.h"
#include "interface/portlog.h"
#include "interface/portwahl.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
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

using Liste = std::vector<std::string>;

// libieee1284, scheduler and kernel entries, calls recorded; 0x names are the library's guesses.
using TestEintrag = std::pair<std::string, unsigned long>;  // name, base address

class TestSystem : public PortSystem {
  public:
    explicit TestSystem(const std::vector<TestEintrag>& eintraege) {
        for (const auto& [name, basis] : eintraege) {
            const bool geraten = name.rfind("0x", 0) == 0;
            const char* datei = texte_.emplace_back(geraten ? "/dev/port" : "/dev/" + name).c_str();
            ports_.push_back(parport{texte_.emplace_back(name).c_str(), basis, 0, nullptr, datei});
            zeiger_.push_back(&ports_.back());
            if (!geraten) {
                kernel.insert("/proc/sys/dev/parport/" + name);
            }
        }
    }
    int FindePorts(parport_list* liste) override {
        liste->portc = static_cast<int>(zeiger_.size());
        liste->portv = zeiger_.data();
        return Ruf("find");
    }
    void GibPortsFrei(parport_list*) override { Ruf("free"); }
    int Oeffne(parport* port, int* faehigkeiten) override {
        *faehigkeiten = CAP1284_RAW | CAP1284_COMPAT;
        return Ruf(std::string("open ") + port->name, oeffneCode);
    }
    int Schliesse(parport*) override { return Ruf("close"); }
    int Belege(parport*) override {
        errno = belegeFehler;
        return Ruf("claim", belegeFehler != 0 ? E1284_SYS : E1284_OK);
    }
    void GibFrei(parport*) override { Ruf("release"); }
    void SchreibeDaten(parport*, unsigned char wert) override { geschrieben.push_back(wert); }
    int LiesStatus(parport*) override { return status; }
    void SchreibeSteuerung(parport*, unsigned char) override {}
    int LiesSteuerung(parport*) override { return 0; }
    int SetzeDatenrichtung(parport*, int) override { return 0; }
    int GibScheduler(int* politik, sched_param* param) override {
        *politik = SCHED_OTHER;
        return param->sched_priority = 0;
    }
    int SetzeScheduler(int politik, const sched_param& p) override {
        return erlaubt ? Ruf(services::Format("sched %d %d", politik, p.sched_priority)) : -1;
    }
    int SperreSpeicher() override { return erlaubt ? Ruf("mlock") : -1; }
    int EntsperreSpeicher() override { return Ruf("munlock"); }
    int Zugang(const std::string& pfad, int) override {
        return pfad.rfind("/dev/parport", 0) == 0 ? knotenZugang
               : kernel.count(pfad) != 0          ? 0
                                                  : ENOENT;
    }
    std::optional<std::string> LiesText(const std::string&) override {
        return belegtLesungen-- > 0 ? "lp0\n" : "none\n";
    }
    bool IstRoot() override { return false; }
    std::uint64_t MonotonUs() override { return us += 100; }
    void Schlafe(int ms) override { us += static_cast<std::uint64_t>(ms) * 1000; }
    void SetzeFrist(int ms) override { frist = ms; }
    bool FristAbgelaufen() override { return false; }

    int oeffneCode = 0;
    int belegeFehler = 0;
    int knotenZugang = 0;
    int belegtLesungen = 0;
    int status = 0;
    bool erlaubt = false;
    int frist = 0;
    int ohneFrist = 0;             // library calls that could sleep, made without a deadline
    std::set<std::string> kernel;  // the kernel entries that exist
    std::uint64_t us = 0;
    Liste aufrufe;
    std::vector<unsigned> geschrieben;

  private:
    int Ruf(std::string was, int code = 0) {
        if (frist <= 0 && (was == "find" || was == "claim" || was.rfind("open", 0) == 0)) {
            ++ohneFrist;
        }
        aufrufe.push_back(std::move(was));
        return code;
    }
    std::deque<std::string> texte_;  // deques: the ports point into them
    std::deque<parport> ports_;
    std::vector<parport*> zeiger_;
};

std::unique_ptr<ParallelPort> Oeffne(TestSystem& system, const std::string& name) {
    std::string fehler;
    auto port = ParallelPort::Oeffne(name, fehler, system);
    EXPECT_TRUE(port) << fehler;
    return port;
}

// The library inverts BUSY (0x80); the protocol needs the register's own bits. The whole-program
// runs show the faults' texts; a vanished port is also noted once in the log.
TEST(ParallelPortTest, RawStatusLowByteWordsAndAVanishedPortNotedOnce) {
    TestSystem system({{"parport0", 0x378}});
    auto port = Oeffne(system, "parport0");
    for (auto [bibliothek, roh] :
         std::vector<std::pair<int, unsigned>>{{0x00, 0x80}, {0xB8, 0x38}}) {
        system.status = bibliothek;
        EXPECT_EQ(port->LiesStatus(), roh) << bibliothek;
    }
    port->SchreibeWort(0x12E1);
    port->SchreibeByte(0xF2);
    EXPECT_EQ(system.geschrieben, (std::vector<unsigned>{0xE1, 0xF2}));
    EXPECT_EQ(port->Stoerung(), "");
    Liste notizen;
    port->SetzeNotizZiel([&](const std::string& t) { notizen.push_back(t); });
    system.kernel.clear();
    const std::string text =
        "Parallelport \"parport0\": vom System abgemeldet "
        "(/proc/sys/dev/parport/parport0: No such file or directory)";
    EXPECT_EQ(port->Stoerung(), text);
    EXPECT_EQ(port->Stoerung(), text);
    EXPECT_EQ(notizen, (Liste{"# Portfehler: " + text}));
}

// Where permitted, real-time priority and locked memory; the window logs its duration.
TEST(ParallelPortTest, MeasurementWindowRaisesPriorityWherePermittedAndLogsItsDuration) {
    for (bool erlaubt : {true, false}) {
        TestSystem system({{"parport0", 0x378}});
        system.erlaubt = erlaubt;
        auto port = Oeffne(system, "parport0");
        const std::string fifo =
            services::Format("sched %d %d", SCHED_FIFO, sched_get_priority_max(SCHED_FIFO));
        EXPECT_EQ(std::count(system.aufrufe.begin(), system.aufrufe.end(), "mlock"), erlaubt);
        EXPECT_EQ(port->Startzeile().find("Echtzeitprioritaet: ja") != std::string::npos, erlaubt);
        Liste notizen;
        port->SetzeNotizZiel([&](const std::string& t) { notizen.push_back(t); });
        system.aufrufe.clear();
        port->Sperren();
        EXPECT_EQ(system.aufrufe, erlaubt ? Liste{fifo} : Liste{});
        port->LiesStatus();
        port->LiesStatus();
        port->Freigeben();
        EXPECT_EQ(notizen, (Liste{"# Messfenster: 2 Lesungen in 100 us"}));
    }
}

// CLOCK_MONOTONIC in microseconds; a lifted deadline leaves no alarm armed.
TEST(ParallelPortTest, TheRealSystemsClockAndDeadline) {
    PortSystem& system = EchtesPortSystem();
    timespec a{}, b{};
    clock_gettime(CLOCK_MONOTONIC, &a);
    const std::uint64_t us = system.MonotonUs();
    clock_gettime(CLOCK_MONOTONIC, &b);
    EXPECT_GE(us, static_cast<std::uint64_t>(a.tv_sec) * 1000000u + a.tv_nsec / 1000);
    EXPECT_LE(us, static_cast<std::uint64_t>(b.tv_sec) * 1000000u + b.tv_nsec / 1000);
    itimerval wecker{};
    system.SetzeFrist(60'000);
    getitimer(ITIMER_REAL, &wecker);
    EXPECT_GT(wecker.it_value.tv_sec, 0);
    system.SetzeFrist(0);
    getitimer(ITIMER_REAL, &wecker);
    EXPECT_EQ(wecker.it_value.tv_sec + wecker.it_value.tv_usec + wecker.it_interval.tv_usec, 0);
}

class PortwahlTest : public PortTest {
  protected:
    static std::string Name(const GewaehlterPort& g) {
        auto* p = dynamic_cast<ParallelPort*>(g.port.get());
        return p != nullptr ? p->Name() : g.simulator != nullptr ? "sim" : "-";
    }
    TempVerzeichnis dir;
};

// auto takes a registered port, 0x378 first; a guess only when named (texts: whole-program runs).
TEST_F(PortwahlTest, AutoTakesARegisteredPortAndNeverAGuess) {
    const std::pair<std::vector<TestEintrag>, std::string> faelle[] = {
        {{{"parport0", 0x278}, {"parport1", 0x378}}, "parport1"},
        {{{"parport0", 0x3bc}, {"parport1", 0x278}}, "parport0"},
        {{{"0x278", 0x278}, {"0x378", 0x378}}, "sim"},
    };
    for (const auto& [ports, gewaehlt] : faelle) {
        TestSystem system(ports);
        GewaehlterPort g = OeffnePort(PortOptionen{}, system);
        EXPECT_EQ(Name(g), gewaehlt);
        if (gewaehlt == "sim") {
            EXPECT_EQ(g.simulator, g.port.get());
            EXPECT_EQ(system.aufrufe, (Liste{"find", "free"}));
        }
    }
    TestSystem geraten({{"0x278", 0x278}, {"0x378", 0x378}});
    EXPECT_EQ(Name(OeffnePort(PortOptionen{"0x378", "", ""}, geraten)), "0x378");
    EXPECT_EQ(ListePorts(geraten), Liste{});
    TestSystem zwei({{"parport0", 0x378}, {"parport1", 0x278}});
    EXPECT_EQ(ListePorts(zwei), (Liste{"parport0 0x378 ppdev (/dev/parport0)",
                                       "parport1 0x278 ppdev (/dev/parport1)"}));
}

// A port that cannot be opened or claimed is never replaced; library calls run under a deadline.
TEST_F(PortwahlTest, APortThatCannotBeOpenedIsNeverReplacedAHeldOneWaitedFor) {
    struct Fall {
        std::string name;
        int oeffneCode, knotenZugang, belegeFehler;
        std::string text;
    };
    const std::string kann = "Parallelport \"parport0\" kann nicht ";
    const Fall faelle[] = {
        {"auto", E1284_SYS, 0, 0, kann + "geoeffnet werden: "},
        {"parport7", 0, 0, 0,
         "Parallelport \"parport7\" kann nicht geoeffnet werden: kein solcher"},
        {"parport0", E1284_INIT, EACCES, 0, kann + "geoeffnet werden: keine Berechtigung fuer"},
        {"parport0", E1284_INIT, ENOENT, 0, kann + "geoeffnet werden: /dev/parport0 fehlt"},
        {"parport0", 0, 0, EIO, kann + "belegt werden: "},
        {"parport0", 0, 0, EBUSY, "Parallelport \"parport0\" wird von einem anderen Programm"},
    };
    for (const Fall& f : faelle) {
        TestSystem system({{"parport0", 0x378}, {"0x378", 0x378}});
        system.oeffneCode = f.oeffneCode;
        system.knotenZugang = f.knotenZugang;
        system.belegeFehler = f.belegeFehler;
        GewaehlterPort g = OeffnePort(PortOptionen{f.name, "", ""}, system);
        EXPECT_EQ(Name(g), "-");
        EXPECT_EQ(g.fehler.rfind(f.text, 0), 0u) << g.fehler;
        EXPECT_EQ(system.ohneFrist, 0) << f.text;
    }
    // A held port is waited for, also under a deadline.
    TestSystem system({{"parport0", 0x378}});
    system.belegtLesungen = 5;
    EXPECT_EQ(Name(OeffnePort(PortOptionen{"parport0", "", ""}, system)), "parport0");
    EXPECT_EQ(konsole.fehler.rfind("taktler: Parallelport \"parport0\" ist belegt von \"lp0\"", 0),
              0u)
        << konsole.fehler;
    EXPECT_EQ(system.ohneFrist, 0);
    EXPECT_EQ(system.frist, 0);
}

// The whole-program runs show the log around the simulator; here the files' errors.
TEST_F(PortwahlTest, ScenarioImpliesTheSimulatorAndFilesAreChecked) {
    TestSystem system({{"parport0", 0x378}});
    std::string gut = dir.Datei("gut.sim", "start schalter 5 an\n");
    GewaehlterPort g = OeffnePort(PortOptionen{"auto", gut, ""}, system);
    ASSERT_EQ(Name(g), "sim") << g.fehler;
    EXPECT_TRUE(g.simulator->Schalter()[4]);
    EXPECT_TRUE(system.aufrufe.empty());
    std::string schlecht = dir.Datei("schlecht.sim", "start schalter 5\n");
    EXPECT_EQ(OeffnePort(PortOptionen{"sim", schlecht, ""}, system).fehler,
              schlecht + ":1: nach \"schalter 5\" fehlt an oder aus");
    g = OeffnePort(PortOptionen{"parport0", gut, ""}, system);
    EXPECT_EQ(Name(g), "-");
    EXPECT_FALSE(g.fehler.empty());
    EXPECT_EQ(
        OeffnePort(PortOptionen{"sim", "", "/nicht/da/p.log"}, system).fehler,
        "/nicht/da/p.log: Port-Protokoll kann nicht angelegt werden: No such file or directory");
}

}  // namespace
}  // namespace taktler::test
