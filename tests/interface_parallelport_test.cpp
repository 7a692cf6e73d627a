#include <cerrno>
#include <fstream>
#include <map>
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

// libieee1284 and the scheduler as a test wants them, every call recorded.
// Names beginning with 0x are the library's legacy addresses (/dev/port).
class TestSystem : public PortSystem {
  public:
    explicit TestSystem(Liste namen) : namen_(std::move(namen)), ports_(namen_.size()) {
        for (const auto& name : namen_) {
            dateien_.push_back(name.rfind("0x", 0) == 0 ? "/dev/port" : "/dev/" + name);
            anwesend.insert(name);
        }
        for (std::size_t i = 0; i < namen_.size(); ++i) {
            ports_[i].name = namen_[i].c_str();
            ports_[i].filename = dateien_[i].c_str();
            zeiger_.push_back(&ports_[i]);
        }
    }
    int FindePorts(parport_list* liste) override {
        liste->portc = static_cast<int>(zeiger_.size());
        liste->portv = zeiger_.data();
        return Ruf("find", findeCode);
    }
    void GibPortsFrei(parport_list*) override { Ruf("free"); }
    int Oeffne(parport* port, int* faehigkeiten) override {
        *faehigkeiten = faehigkeitenWert;
        errno = oeffneErrno;
        return Ruf(std::string("open ") + port->name, oeffneCode);
    }
    int Schliesse(parport*) override { return Ruf("close"); }
    int Belege(parport*) override { return Ruf("claim", belegeCode); }
    void GibFrei(parport*) override { Ruf("release"); }
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
    int SetzeScheduler(int politik, const sched_param& p) override {
        return erlaubt ? Ruf(services::Format("sched %d %d", politik, p.sched_priority)) : -1;
    }
    int SperreSpeicher() override { return erlaubt ? Ruf("mlock") : -1; }
    int EntsperreSpeicher() override { return Ruf("munlock"); }

    int findeCode = 0, oeffneCode = 0, oeffneErrno = 0, belegeCode = 0;
    int faehigkeitenWert = CAP1284_RAW | CAP1284_COMPAT;
    int status = 0;
    bool erlaubt = false;
    std::set<std::string> anwesend;    // ports whose data register reads back
    std::map<std::string, int> daten;  // their data registers
    Liste aufrufe;
    std::vector<unsigned> geschrieben;

  private:
    int Ruf(std::string was, int code = 0) {
        aufrufe.push_back(std::move(was));
        return code;
    }
    Liste namen_, dateien_;
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
    EXPECT_EQ(system.aufrufe, (Liste{"find", "open parport1", "claim"}));
    system.aufrufe.clear();
    port.reset();
    EXPECT_EQ(system.aufrufe, (Liste{"release", "close", "free"}));
}

// The library inverts BUSY (0x80); the protocol needs the register's own bits.
TEST(ParallelPortTest, StatusAsTheRawRegisterAndWordsAsTheirLowByte) {
    TestSystem system({"parport0"});
    auto port = Oeffne(system, "parport0");
    for (auto [bibliothek, roh] : std::vector<std::pair<int, unsigned>>{
             {0x00, 0x80}, {0x80, 0x00}, {0x20, 0xA0}, {0xB8, 0x38}, {E1284_SYS, 0x00}}) {
        system.status = bibliothek;
        EXPECT_EQ(port->LiesStatus(), roh) << bibliothek;
    }
    port->SchreibeWort(0x00FB);
    port->SchreibeWort(0x12E1);
    port->SchreibeByte(0xF2);
    EXPECT_EQ(system.geschrieben, (std::vector<unsigned>{0xFB, 0xE1, 0xF2}));
}

TEST(ParallelPortTest, MeasurementWindowRaisesPriorityWherePermittedAndRestoresIt) {
    TestSystem system({"parport0"});
    auto port = Oeffne(system, "parport0");
    system.erlaubt = true;
    system.aufrufe.clear();
    port->Sperren();
    port->Freigeben();
    EXPECT_EQ(
        system.aufrufe,
        (Liste{services::Format("sched %d %d", SCHED_FIFO, sched_get_priority_max(SCHED_FIFO)),
               "mlock", "munlock", services::Format("sched %d 0", SCHED_OTHER)}));
    system.erlaubt = false;
    system.aufrufe.clear();
    port->Sperren();
    port->Freigeben();
    EXPECT_TRUE(system.aufrufe.empty());
}

struct Oeffnungsfehler {
    const char* name;
    int oeffneCode, oeffneErrno, belegeCode, faehigkeiten;
    const char* fehler;
    Liste aufrufe;
};
void PrintTo(const Oeffnungsfehler& f, std::ostream* os) {
    *os << f.fehler;
}

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
    EXPECT_EQ(fehler, std::string("Parallelport \"") + fall.name + "\" " + fall.fehler);
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
                        "kann nicht geoeffnet werden: kein solcher Port (vorhanden: parport0)",
                        {"find", "free"}},
        Oeffnungsfehler{"parport0",
                        E1284_INIT,
                        EACCES,
                        0,
                        CAP1284_RAW,
                        "kann nicht geoeffnet werden: Port nicht zugaenglich, keine Berechtigung "
                        "oder belegt (E1284_INIT), Permission denied",
                        {"find", "open parport0", "free"}},
        Oeffnungsfehler{"parport0",
                        0,
                        0,
                        0,
                        CAP1284_COMPAT,
                        "kann nicht geoeffnet werden: keine direkte Ansteuerung der Leitungen",
                        {"find", "open parport0", "close", "free"}},
        Oeffnungsfehler{"parport0",
                        0,
                        0,
                        E1284_SYS,
                        CAP1284_RAW,
                        "kann nicht belegt werden: Systemfehler (E1284_SYS)",
                        {"find", "open parport0", "claim", "close", "free"}}));

TEST(ParallelPortTest, ListsThePortNames) {
    TestSystem zwei({"parport0", "0x378"});
    EXPECT_EQ(ListePorts(zwei), (Liste{"parport0", "0x378"}));
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

TEST_F(PortwahlTest, AutoTakesTheFirstDeviceOrTheSimulatorWhenThereIsNone) {
    TestSystem zwei({"parport0", "parport1"});
    GewaehlterPort g = OeffnePort(PortOptionen{}, zwei);
    EXPECT_EQ(Name(g), "parport0");
    EXPECT_TRUE(g.info.empty());

    TestSystem keiner({});
    g = OeffnePort(PortOptionen{}, keiner);
    EXPECT_EQ(Name(g), "sim");
    EXPECT_EQ(g.simulator, g.port.get());
    EXPECT_EQ(g.info, "Kein Parallelport gefunden, simuliertes Interface wird benutzt");
}

// Legacy addresses are guesses: the first that opens and answers is taken;
// when none does, the machine has no port. Named explicitly, one is neither
// probed nor replaced.
TEST_F(PortwahlTest, AutoTriesGuessedAddressesAndProbesThem) {
    TestSystem system({"0x278", "0x378", "0x3bc"});
    system.anwesend = {"0x378"};
    GewaehlterPort g = OeffnePort(PortOptionen{}, system);
    EXPECT_EQ(Name(g), "0x378");
    EXPECT_EQ(system.daten["0x378"], 0x3C);  // the probe put the old value back
    system.anwesend.clear();
    EXPECT_EQ(Name(OeffnePort(PortOptionen{}, system)), "sim");
    EXPECT_EQ(Name(OeffnePort(PortOptionen{"0x278", "", ""}, system)), "0x278");
    system.oeffneCode = E1284_INIT;  // as in a container without port access
    EXPECT_EQ(Name(OeffnePort(PortOptionen{}, system)), "sim");
    g = OeffnePort(PortOptionen{"0x278", "", ""}, system);
    EXPECT_EQ(g.fehler.rfind("Parallelport \"0x278\" kann nicht geoeffnet werden: ", 0), 0u);
}

TEST_F(PortwahlTest, APortThatCannotBeOpenedIsNeverReplaced) {
    TestSystem system({"parport0", "0x378"});
    system.oeffneCode = E1284_INIT;
    for (const char* name : {"auto", "parport0", "parport7"}) {
        GewaehlterPort g = OeffnePort(PortOptionen{name, "", ""}, system);
        EXPECT_EQ(Name(g), "-");
        EXPECT_EQ(g.fehler.rfind("Parallelport \"", 0), 0u) << g.fehler;
    }
}

TEST_F(PortwahlTest, ScenarioImpliesTheSimulatorAndIsChecked) {
    TestSystem system({"parport0"});
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
