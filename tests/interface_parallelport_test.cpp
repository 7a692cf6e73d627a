#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/parallelport.h"
#include "interface/portlog.h"
#include "interface/portwahl.h"
#include "interface_testport.h"

namespace taktler::test {
namespace {

using namespace interface;

// libieee1284 and the scheduler as a test wants them: ports by name, error
// codes on request, every call recorded. Names beginning with 0x are the
// library's legacy addresses, reached through /dev/port.
class TestSystem : public PortSystem {
  public:
    explicit TestSystem(std::vector<std::string> namen) : namen_(std::move(namen)) {
        for (const auto& name : namen_) {
            dateien_.push_back(name.rfind("0x", 0) == 0 ? "/dev/port" : "/dev/" + name);
            anwesend.insert(name);
        }
        ports_.resize(namen_.size());
        for (std::size_t i = 0; i < namen_.size(); ++i) {
            ports_[i].name = namen_[i].c_str();
            ports_[i].filename = dateien_[i].c_str();
            zeiger_.push_back(&ports_[i]);
        }
    }
    int FindePorts(parport_list* liste) override {
        aufrufe.push_back("find");
        if (findeCode != 0) {
            return findeCode;
        }
        liste->portc = static_cast<int>(zeiger_.size());
        liste->portv = zeiger_.data();
        return E1284_OK;
    }
    void GibPortsFrei(parport_list*) override { aufrufe.push_back("free"); }
    int Oeffne(parport* port, int* faehigkeiten) override {
        aufrufe.push_back(std::string("open ") + port->name);
        *faehigkeiten = faehigkeitenWert;
        errno = oeffneErrno;
        return oeffneCode;
    }
    int Schliesse(parport*) override {
        aufrufe.push_back("close");
        return 0;
    }
    int Belege(parport*) override {
        aufrufe.push_back("claim");
        return belegeCode;
    }
    void GibFrei(parport*) override { aufrufe.push_back("release"); }
    void SchreibeDaten(parport* port, unsigned char wert) override {
        geschrieben.push_back(wert);
        daten[port->name] = wert;
    }
    int LiesStatus(parport*) override { return status; }
    int LiesDaten(parport* port) override {
        return anwesend.count(port->name) != 0 ? daten.try_emplace(port->name, 0x3C).first->second
                                               : 0xFF;
    }
    int GibScheduler(int* politik, sched_param* param) override {
        *politik = SCHED_OTHER;
        param->sched_priority = 0;
        return 0;
    }
    int SetzeScheduler(int politik, const sched_param& param) override {
        if (!erlaubt) {
            return -1;
        }
        aufrufe.push_back("sched " + std::to_string(politik) + " " +
                          std::to_string(param.sched_priority));
        return 0;
    }
    int SperreSpeicher() override {
        if (!erlaubt) {
            return -1;
        }
        aufrufe.push_back("mlock");
        return 0;
    }
    int EntsperreSpeicher() override {
        aufrufe.push_back("munlock");
        return 0;
    }

    int findeCode = 0;
    int oeffneCode = 0;
    int oeffneErrno = 0;
    int belegeCode = 0;
    int faehigkeitenWert = CAP1284_RAW | CAP1284_COMPAT;
    int status = 0;
    std::map<std::string, int> daten;  // data registers, 0x3C at first
    std::set<std::string> anwesend;    // ports whose data register reads back
    bool erlaubt = false;
    std::vector<std::string> aufrufe;
    std::vector<unsigned> geschrieben;

  private:
    std::vector<std::string> namen_;
    std::vector<std::string> dateien_;
    std::vector<parport> ports_;
    std::vector<parport*> zeiger_;
};

std::unique_ptr<ParallelPort> Oeffne(TestSystem& system, const std::string& name) {
    std::string fehler;
    auto port = ParallelPort::Oeffne(name, fehler, system);
    EXPECT_TRUE(port) << fehler;
    return port;
}

TEST(ParallelPortTest, ClaimsOnOpenAndReleasesEverythingAtTheEnd) {
    TestSystem system({"parport0", "parport1"});
    auto port = Oeffne(system, "parport1");
    EXPECT_EQ(system.aufrufe, (std::vector<std::string>{"find", "open parport1", "claim"}));
    EXPECT_EQ(port->Name(), "parport1");
    system.aufrufe.clear();
    port.reset();
    EXPECT_EQ(system.aufrufe, (std::vector<std::string>{"release", "close", "free"}));
}

// The library inverts BUSY (0x80); the protocol needs the register's bits.
TEST(ParallelPortTest, StatusComesBackAsTheRawRegister) {
    TestSystem system({"parport0"});
    auto port = Oeffne(system, "parport0");
    const std::vector<std::pair<int, unsigned>> faelle = {
        {0x00, 0x80}, {0x80, 0x00}, {0x20, 0xA0}, {0x30, 0xB0}, {0xB8, 0x38}, {E1284_SYS, 0x00}};
    for (auto [bibliothek, register_] : faelle) {
        system.status = bibliothek;
        EXPECT_EQ(port->LiesStatus(), register_) << bibliothek;
    }
}

TEST(ParallelPortTest, WordWritesReachTheDataRegisterAsTheirLowByte) {
    TestSystem system({"parport0"});
    auto port = Oeffne(system, "parport0");
    port->SchreibeWort(0x00FB);
    port->SchreibeWort(0x12E1);
    port->SchreibeByte(0xF2);
    EXPECT_EQ(system.geschrieben, (std::vector<unsigned>{0xFB, 0xE1, 0xF2}));
}

TEST(ParallelPortTest, MeasurementWindowRaisesPriorityAndRestoresIt) {
    TestSystem system({"parport0"});
    auto port = Oeffne(system, "parport0");
    system.erlaubt = true;
    system.aufrufe.clear();
    port->Sperren();
    port->Freigeben();
    const std::string fifo = "sched " + std::to_string(SCHED_FIFO) + " " +
                             std::to_string(sched_get_priority_max(SCHED_FIFO));
    const std::string zurueck = "sched " + std::to_string(SCHED_OTHER) + " 0";
    EXPECT_EQ(system.aufrufe, (std::vector<std::string>{fifo, "mlock", "munlock", zurueck}));

    system.erlaubt = false;  // not permitted: carry on, nothing to undo
    system.aufrufe.clear();
    port->Sperren();
    port->Freigeben();
    EXPECT_TRUE(system.aufrufe.empty());
}

struct Oeffnungsfehler {
    const char* name;
    int oeffneCode;
    int oeffneErrno;
    int belegeCode;
    int faehigkeiten;
    const char* fehler;
    std::vector<std::string> aufrufe;
};

class ParallelPortFehlerTest : public ::testing::TestWithParam<Oeffnungsfehler> {};

TEST_P(ParallelPortFehlerTest, NamesThePortAndTheReasonAndLeavesNothingOpen) {
    const auto& fall = GetParam();
    TestSystem system({"parport0"});
    system.oeffneCode = fall.oeffneCode;
    system.oeffneErrno = fall.oeffneErrno;
    system.belegeCode = fall.belegeCode;
    system.faehigkeitenWert = fall.faehigkeiten;
    std::string fehler;
    EXPECT_FALSE(ParallelPort::Oeffne(fall.name, fehler, system));
    EXPECT_EQ(fehler, fall.fehler);
    EXPECT_EQ(system.aufrufe, fall.aufrufe);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, ParallelPortFehlerTest,
    ::testing::Values(
        Oeffnungsfehler{"lpt1",
                        0,
                        0,
                        0,
                        CAP1284_RAW,
                        "Parallelport \"lpt1\" kann nicht geoeffnet werden: kein solcher Port "
                        "(vorhanden: parport0)",
                        {"find", "free"}},
        Oeffnungsfehler{"parport0",
                        E1284_INIT,
                        EACCES,
                        0,
                        CAP1284_RAW,
                        "Parallelport \"parport0\" kann nicht geoeffnet werden: Port nicht "
                        "zugaenglich, keine Berechtigung oder belegt (E1284_INIT), Permission "
                        "denied",
                        {"find", "open parport0", "free"}},
        Oeffnungsfehler{"parport0",
                        E1284_NOTAVAIL,
                        0,
                        0,
                        CAP1284_RAW,
                        "Parallelport \"parport0\" kann nicht geoeffnet werden: auf diesem "
                        "System nicht verfuegbar (E1284_NOTAVAIL)",
                        {"find", "open parport0", "free"}},
        Oeffnungsfehler{"parport0",
                        0,
                        0,
                        0,
                        CAP1284_COMPAT,
                        "Parallelport \"parport0\" kann nicht geoeffnet werden: keine direkte "
                        "Ansteuerung der Leitungen",
                        {"find", "open parport0", "close", "free"}},
        Oeffnungsfehler{"parport0",
                        0,
                        0,
                        E1284_SYS,
                        CAP1284_RAW,
                        "Parallelport \"parport0\" kann nicht belegt werden: Systemfehler "
                        "(E1284_SYS)",
                        {"find", "open parport0", "claim", "close", "free"}}));

TEST(ParallelPortTest, ListsThePortNames) {
    TestSystem keiner({});
    EXPECT_TRUE(ListePorts(keiner).empty());
    TestSystem zwei({"parport0", "parport1"});
    EXPECT_EQ(ListePorts(zwei), (std::vector<std::string>{"parport0", "parport1"}));
    zwei.findeCode = E1284_NOMEM;
    std::string fehler;
    EXPECT_TRUE(FindePorts(zwei, &fehler).empty());
    EXPECT_EQ(fehler, "Parallelports koennen nicht gesucht werden: kein Speicher (E1284_NOMEM)");
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
        std::string pfad = ::testing::TempDir() + "taktler_portwahl_" + name;
        std::ofstream(pfad) << inhalt;
        dateien.push_back(pfad);
        return pfad;
    }
    std::vector<std::string> dateien;
};

TEST_F(PortwahlTest, AutoTakesTheFirstPortOrTheSimulatorWhenThereIsNone) {
    TestSystem zwei({"parport0", "parport1"});
    GewaehlterPort g = OeffnePort(PortOptionen{}, zwei);
    ASSERT_TRUE(g.port) << g.fehler;
    EXPECT_NE(dynamic_cast<ParallelPort*>(g.port.get()), nullptr);
    EXPECT_EQ(g.simulator, nullptr);
    EXPECT_TRUE(g.info.empty());
    EXPECT_EQ(zwei.aufrufe,
              (std::vector<std::string>{"find", "free", "find", "open parport0", "claim"}));

    TestSystem keiner({});
    g = OeffnePort(PortOptionen{}, keiner);
    ASSERT_TRUE(g.port) << g.fehler;
    EXPECT_EQ(g.simulator, g.port.get());
    EXPECT_EQ(g.info, "Kein Parallelport gefunden, simuliertes Interface wird benutzt");
}

// Legacy addresses are guesses: the first that opens and answers is taken,
// and when none does the machine has no port.
TEST_F(PortwahlTest, AutoTriesGuessedAddressesAndProbesThem) {
    TestSystem system({"0x278", "0x378", "0x3bc"});
    system.anwesend = {"0x378"};
    GewaehlterPort g = OeffnePort(PortOptionen{}, system);
    ASSERT_NE(dynamic_cast<ParallelPort*>(g.port.get()), nullptr) << g.fehler;
    EXPECT_EQ(dynamic_cast<ParallelPort*>(g.port.get())->Name(), "0x378");
    EXPECT_EQ(system.daten["0x378"], 0x3C);  // the probe put the old value back
    EXPECT_TRUE(g.info.empty());
    g.port.reset();

    system.anwesend.clear();
    g = OeffnePort(PortOptionen{}, system);
    EXPECT_NE(g.simulator, nullptr);
    EXPECT_EQ(g.info, kKeinPortInfo);

    system.oeffneCode = E1284_INIT;  // as in a container without port access
    g = OeffnePort(PortOptionen{}, system);
    EXPECT_NE(g.simulator, nullptr);

    // Named explicitly, a legacy port is neither probed nor replaced.
    g = OeffnePort(PortOptionen{"0x278", "", ""}, system);
    EXPECT_FALSE(g.port);
    EXPECT_EQ(g.fehler.rfind("Parallelport \"0x278\" kann nicht geoeffnet werden", 0), 0u);
    system.oeffneCode = E1284_OK;
    g = OeffnePort(PortOptionen{"0x278", "", ""}, system);
    EXPECT_NE(dynamic_cast<ParallelPort*>(g.port.get()), nullptr) << g.fehler;
}

TEST_F(PortwahlTest, APortThatCannotBeOpenedIsNeverReplaced) {
    TestSystem system({"parport0", "0x378"});
    system.oeffneCode = E1284_INIT;
    for (const char* name : {"auto", "parport0"}) {
        GewaehlterPort g = OeffnePort(PortOptionen{name, "", ""}, system);
        EXPECT_FALSE(g.port);
        EXPECT_EQ(g.simulator, nullptr);
        EXPECT_EQ(g.fehler.rfind("Parallelport \"parport0\" kann nicht geoeffnet werden: ", 0), 0u)
            << g.fehler;
    }
    GewaehlterPort g = OeffnePort(PortOptionen{"parport7", "", ""}, system);
    EXPECT_FALSE(g.port);
    EXPECT_EQ(g.fehler,
              "Parallelport \"parport7\" kann nicht geoeffnet werden: kein solcher Port "
              "(vorhanden: parport0 0x378)");
}

TEST_F(PortwahlTest, ScenarioImpliesTheSimulatorAndIsChecked) {
    TestSystem system({"parport0"});
    std::string gut = Datei("gut.sim", "start schalter 5 an\n");
    GewaehlterPort g = OeffnePort(PortOptionen{"auto", gut, ""}, system);
    ASSERT_NE(g.simulator, nullptr) << g.fehler;
    EXPECT_TRUE(g.simulator->Schalter()[4]);
    EXPECT_TRUE(system.aufrufe.empty());  // the real port is not even looked for

    std::string schlecht = Datei("schlecht.sim", "start schalter 5 an\nstart schalter 5\n");
    g = OeffnePort(PortOptionen{"sim", schlecht, ""}, system);
    EXPECT_FALSE(g.port);
    EXPECT_EQ(g.fehler, schlecht + ":2: nach \"schalter 5\" fehlt an oder aus");

    g = OeffnePort(PortOptionen{"sim", "/nicht/da.sim", ""}, system);
    EXPECT_EQ(
        g.fehler,
        "/nicht/da.sim: Szenariodatei kann nicht geoeffnet werden: No such file or directory");

    g = OeffnePort(PortOptionen{"parport0", gut, ""}, system);
    EXPECT_FALSE(g.port);
    EXPECT_FALSE(g.fehler.empty());
}

TEST_F(PortwahlTest, TheLogIsOutermostAndGetsTheSimulatorsNotes) {
    TestSystem system({});
    std::string log = Datei("p.log", "");
    GewaehlterPort g = OeffnePort(PortOptionen{"sim", "", log}, system);
    ASSERT_NE(dynamic_cast<PortLog*>(g.port.get()), nullptr) << g.fehler;
    ASSERT_NE(g.simulator, nullptr);
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
    EXPECT_FALSE(g.port);
    EXPECT_EQ(g.fehler.rfind("/nicht/da/p.log: Port-Protokoll kann nicht angelegt werden", 0), 0u);
}

}  // namespace
}  // namespace taktler::test
