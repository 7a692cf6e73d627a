#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/parallelport.h"
#include "interface/portlog.h"
#include "interface/portwahl.h"
#include "interface_testport.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace interface;
using Liste = std::vector<std::string>;

// libieee1284, the scheduler and the kernel's port entries as a test wants
// them, calls recorded. Names beginning with 0x are the library's guessed
// legacy addresses (/dev/port, no kernel entry).
struct TestEintrag {
    std::string name;
    unsigned long basis;
};

class TestSystem : public PortSystem {
  public:
    explicit TestSystem(std::vector<TestEintrag> eintraege) : eintraege_(std::move(eintraege)) {
        for (const auto& e : eintraege_) {
            dateien_.push_back(e.name.rfind("0x", 0) == 0 ? "/dev/port" : "/dev/" + e.name);
        }
        for (std::size_t i = 0; i < eintraege_.size(); ++i) {
            ports_.push_back(parport{eintraege_[i].name.c_str(), eintraege_[i].basis, 0, nullptr,
                                     dateien_[i].c_str()});
        }
        for (auto& p : ports_) {
            zeiger_.push_back(&p);
            if (p.name[0] != '0') {
                kernel.insert(std::string("/proc/sys/dev/parport/") + p.name);
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
    int Belege(parport*) override { return Ruf("claim"); }
    void GibFrei(parport*) override { Ruf("release"); }
    void SchreibeDaten(parport*, unsigned char wert) override { geschrieben.push_back(wert); }
    int LiesStatus(parport*) override { return status; }
    void SchreibeSteuerung(parport*, unsigned char) override {}
    int LiesSteuerung(parport*) override { return 0; }
    int SetzeDatenrichtung(parport*, int) override { return 0; }
    int GibScheduler(int* politik, sched_param* param) override {
        *politik = SCHED_OTHER;
        param->sched_priority = 0;
        return 0;
    }
    int SetzeScheduler(int politik, const sched_param& p) override {
        return erlaubt ? Ruf(services::Format("sched %d %d", politik, p.sched_priority)) : -1;
    }
    int SperreSpeicher() override { return erlaubt ? Ruf("mlock") : -1; }
    int EntsperreSpeicher() override { return Ruf("munlock"); }
    int Zugang(const std::string& pfad, int) override {
        return kernel.count(pfad) != 0 || pfad.rfind("/dev/parport", 0) == 0 ? 0 : ENOENT;
    }
    std::optional<std::string> LiesText(const std::string&) override { return std::nullopt; }
    bool IstRoot() override { return false; }
    std::uint64_t MonotonUs() override { return us += 100; }
    void Schlafe(int) override {}
    void SetzeFrist(int) override {}
    bool FristAbgelaufen() override { return false; }

    int oeffneCode = 0;
    int status = 0;
    bool erlaubt = false;
    std::set<std::string> kernel;  // the kernel entries that exist
    std::uint64_t us = 0;
    Liste aufrufe;
    std::vector<unsigned> geschrieben;

  private:
    int Ruf(std::string was, int code = 0) {
        aufrufe.push_back(std::move(was));
        return code;
    }
    std::vector<TestEintrag> eintraege_;
    Liste dateien_;
    std::vector<parport> ports_;
    std::vector<parport*> zeiger_;
};

std::unique_ptr<ParallelPort> Oeffne(TestSystem& system, const std::string& name) {
    std::string fehler;
    auto port = ParallelPort::Oeffne(name, fehler, system);
    EXPECT_TRUE(port) << fehler;
    return port;
}

// The library inverts BUSY (0x80); the protocol needs the register's own bits.
TEST(ParallelPortTest, StatusAsTheRawRegisterAndWordsAsTheirLowByte) {
    TestSystem system({{"parport0", 0x378}});
    auto port = Oeffne(system, "parport0");
    for (auto [bibliothek, roh] : std::vector<std::pair<int, unsigned>>{
             {0x00, 0x80}, {0x80, 0x00}, {0x20, 0xA0}, {0xB8, 0x38}}) {
        system.status = bibliothek;
        EXPECT_EQ(port->LiesStatus(), roh) << bibliothek;
    }
    port->SchreibeWort(0x00FB);
    port->SchreibeWort(0x12E1);
    port->SchreibeByte(0xF2);
    EXPECT_EQ(system.geschrieben, (std::vector<unsigned>{0xFB, 0xE1, 0xF2}));
    EXPECT_EQ(port->Stoerung(), "");
}

// A failed read and a port whose kernel entry went away are faults that
// name the port, noted once in the port log; a read never hides one.
TEST(ParallelPortTest, FailedReadAndVanishedPortAreFaults) {
    for (bool lesefehler : {true, false}) {
        TestSystem system({{"parport0", 0x378}});
        auto port = Oeffne(system, "parport0");
        Liste notizen;
        port->SetzeNotizZiel([&](const std::string& t) { notizen.push_back(t); });
        if (lesefehler) {
            system.status = E1284_SYS;
            EXPECT_EQ(port->LiesStatus(), 0u);
        } else {
            system.kernel.clear();
        }
        const std::string grund = lesefehler
                                      ? "Statusregister nicht lesbar: Systemfehler (E1284_SYS)"
                                      : "vom System abgemeldet (/proc/sys/dev/parport/"
                                        "parport0: No such file or directory)";
        EXPECT_EQ(port->Stoerung(), "Parallelport \"parport0\": " + grund);
        EXPECT_EQ(port->Stoerung(), "Parallelport \"parport0\": " + grund);
        EXPECT_EQ(notizen, (Liste{"# Portfehler: Parallelport \"parport0\": " + grund}));
    }
}

TEST(ParallelPortTest, MeasurementWindowRaisesPriorityWherePermittedAndLogsItsDuration) {
    for (bool erlaubt : {true, false}) {
        TestSystem system({{"parport0", 0x378}});
        system.erlaubt = erlaubt;
        auto port = Oeffne(system, "parport0");
        // Locked once for the run; the probe of the priority is undone.
        const std::string fifo =
            services::Format("sched %d %d", SCHED_FIFO, sched_get_priority_max(SCHED_FIFO));
        const std::string zurueck = services::Format("sched %d 0", SCHED_OTHER);
        EXPECT_EQ(Liste(system.aufrufe.end() - (erlaubt ? 3 : 0), system.aufrufe.end()),
                  erlaubt ? (Liste{fifo, zurueck, "mlock"}) : Liste{});
        EXPECT_NE(port->Startzeile().find(erlaubt ? "Echtzeitprioritaet: ja"
                                                  : "Echtzeitprioritaet: nein"),
                  std::string::npos);
        Liste notizen;
        port->SetzeNotizZiel([&](const std::string& t) { notizen.push_back(t); });
        system.aufrufe.clear();
        port->Sperren();
        port->LiesStatus();
        port->LiesStatus();
        port->Freigeben();
        EXPECT_EQ(system.aufrufe, erlaubt ? (Liste{fifo, zurueck}) : Liste{});
        // Three clock reads of 100 us: the window's start, two reads, its end.
        EXPECT_EQ(notizen, (Liste{"# Messfenster: 2 Lesungen in 100 us"}));
    }
}

// --- Choosing the port ---

class PortwahlTest : public PortTest {
  protected:
    void TearDown() override {
        PortTest::TearDown();
        for (const auto& d : dateien) {
            std::remove(d.c_str());
        }
    }
    std::string Datei(const std::string& name, const std::string& inhalt) {
        dateien.push_back(dir / name);
        std::ofstream(dateien.back()) << inhalt;
        return dateien.back();
    }
    static std::string Name(const GewaehlterPort& g) {
        auto* p = dynamic_cast<ParallelPort*>(g.port.get());
        return p != nullptr ? p->Name() : g.simulator != nullptr ? "sim" : "-";
    }
    TempVerzeichnis dir;
    Liste dateien;
};

// auto takes a registered port, the one at 0x378 first; the library's
// guesses are never opened, only when named.
TEST_F(PortwahlTest, AutoTakesARegisteredPortAndNeverAGuess) {
    const std::string kein = "Kein Parallelport gefunden, simuliertes Interface wird benutzt";
    struct Fall {
        std::vector<TestEintrag> ports;
        std::string gewaehlt;
        std::string info;
    };
    for (const Fall& f : std::vector<Fall>{
             {{{"parport0", 0x278}, {"parport1", 0x378}},
              "parport1",
              "Parallelport parport1, Basisadresse 0x378, Zugriff ueber ppdev (/dev/parport1), "
              "Echtzeitprioritaet: nein"},
             {{{"parport0", 0x3bc}, {"parport1", 0x278}},
              "parport0",
              "Parallelport parport0, Basisadresse 0x3bc, Zugriff ueber ppdev (/dev/parport0), "
              "Echtzeitprioritaet: nein"},
             {{{"0x278", 0x278}, {"0x378", 0x378}, {"0x3bc", 0x3bc}}, "sim", kein},
             {{}, "sim", kein}}) {
        TestSystem system(f.ports);
        GewaehlterPort g = OeffnePort(PortOptionen{}, system);
        EXPECT_EQ(Name(g), f.gewaehlt);
        EXPECT_EQ(g.info, f.info);
        if (f.gewaehlt == "sim") {
            EXPECT_EQ(g.simulator, g.port.get());
            EXPECT_EQ(system.aufrufe, (Liste{"find", "free"}));
            EXPECT_TRUE(system.geschrieben.empty());
        }
    }
    TestSystem geraten({{"0x278", 0x278}, {"0x378", 0x378}});
    EXPECT_EQ(Name(OeffnePort(PortOptionen{"0x378", "", ""}, geraten)), "0x378");
    EXPECT_EQ(ListePorts(geraten), Liste{});
    std::string hinweis;
    ListePorts(geraten, &hinweis);
    EXPECT_EQ(hinweis,
              "kein Parallelport vom System registriert (Module parport_pc und ppdev laden)");
    TestSystem zwei({{"parport0", 0x378}, {"parport1", 0x278}});
    EXPECT_EQ(ListePorts(zwei), (Liste{"parport0 0x378 ppdev (/dev/parport0)",
                                       "parport1 0x278 ppdev (/dev/parport1)"}));
}

TEST_F(PortwahlTest, APortThatCannotBeOpenedIsNeverReplaced) {
    TestSystem system({{"parport0", 0x378}, {"0x378", 0x378}});
    system.oeffneCode = E1284_SYS;
    for (const char* name : {"auto", "parport0", "parport7"}) {
        GewaehlterPort g = OeffnePort(PortOptionen{name, "", ""}, system);
        EXPECT_EQ(Name(g), "-");
        EXPECT_EQ(g.fehler.rfind("Parallelport \"", 0), 0u) << g.fehler;
    }
}

// Every ending, an exit code as much as a signal, releases a real port.
TEST_F(PortwahlTest, EveryEndingReleasesTheRealPort) {
    TestSystem system({{"parport0", 0x378}});
    GewaehlterPort g = OeffnePort(PortOptionen{"parport0", "", ""}, system);
    ASSERT_TRUE(g.port) << g.fehler;
    PortAmEnde amEnde(g);
    Installiere(*g.port);
    system.aufrufe.clear();
    EXPECT_EQ(EndeCode([] { SetzeBit(0, 9); }), 99);
    EXPECT_EQ(system.aufrufe, (Liste{"release", "close", "free"}));
    EXPECT_FALSE(g.port);
}

TEST_F(PortwahlTest, ScenarioImpliesTheSimulatorAndIsChecked) {
    TestSystem system({{"parport0", 0x378}});
    std::string gut = Datei("gut.sim", "start schalter 5 an\n");
    GewaehlterPort g = OeffnePort(PortOptionen{"auto", gut, ""}, system);
    ASSERT_EQ(Name(g), "sim") << g.fehler;
    EXPECT_TRUE(g.simulator->Schalter()[4]);
    EXPECT_TRUE(system.aufrufe.empty());  // the real port is not even looked for

    std::string schlecht = Datei("schlecht.sim", "start schalter 5 an\nstart schalter 5\n");
    g = OeffnePort(PortOptionen{"sim", schlecht, ""}, system);
    EXPECT_EQ(g.fehler, schlecht + ":2: nach \"schalter 5\" fehlt an oder aus");
    g = OeffnePort(PortOptionen{"sim", "/nicht/da.sim", ""}, system);
    EXPECT_EQ(g.fehler,
              "/nicht/da.sim: Szenariodatei kann nicht geoeffnet werden: No such file "
              "or directory");
    g = OeffnePort(PortOptionen{"parport0", gut, ""}, system);
    EXPECT_EQ(Name(g), "-");
    EXPECT_FALSE(g.fehler.empty());
}

TEST_F(PortwahlTest, TheLogIsOutermostAndGetsTheSimulatorsNotes) {
    TestSystem system({});
    std::string log = Datei("p.log", "");
    GewaehlterPort g = OeffnePort(PortOptionen{"sim", "", log}, system);
    ASSERT_NE(dynamic_cast<PortLog*>(g.port.get()), nullptr) << g.fehler;
    Installiere(*g.port);
    InterfaceDS ds;
    MotorLinks(ds, 3);
    EXPECT_EQ(std::string(g.simulator->Motoren().data(), 4), "NNLN");
    SetzePort(nullptr);
    g.port.reset();
    std::ifstream datei(log);
    std::string inhalt((std::istreambuf_iterator<char>(datei)), std::istreambuf_iterator<char>());
    EXPECT_NE(inhalt.find("W 378 FB\n# Motoren NNLN\n"), std::string::npos) << inhalt;

    g = OeffnePort(PortOptionen{"sim", "", "/nicht/da/p.log"}, system);
    EXPECT_EQ(Name(g), "-");
    EXPECT_EQ(g.fehler.rfind("/nicht/da/p.log: Port-Protokoll kann nicht angelegt werden", 0), 0u);
}

}  // namespace
}  // namespace taktler::test
