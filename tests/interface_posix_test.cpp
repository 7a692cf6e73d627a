// SPDX-License-Identifier: GPL-3.0-or-later
// The interface floor where it is POSIX: a port log on a full device or a stalled FIFO, the real
// port through libieee1284 and the choice of port among the kernel's ports.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "interface/interface.h"
#include "interface/parallelport.h"
#include "interface/portlog.h"
#include "interface/portwahl.h"
#include "interface_testport.h"
#include "services/abschluss.h"
#include "services/unterbrechung.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace interface;

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
