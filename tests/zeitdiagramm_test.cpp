// The built program in virtual time and its timing diagram: the modelled
// times, reproducible outputs, what real VCD readers make of the file, and
// the example that checks a command file against a stored copy.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

// Virtual microseconds: a line read, and the port accesses of a motor frame,
// an input read (17 writes, 8 reads) and an analog measurement (3 trigger
// writes, 4999 reads).
constexpr std::uint64_t kZeile = 5;
constexpr std::uint64_t kRahmen = 24;
constexpr std::uint64_t kAbfrage = 25;
constexpr std::uint64_t kMessung = 5002;
constexpr std::uint64_t kStart = 4 * kRahmen;

const std::vector<std::string> kReproduzierbar = {"SOURCE_DATE_EPOCH=1767225600", "TZ=UTC0"};

class ZeitdiagrammTest : public ::testing::Test {
  protected:
    // Runs k.txt in virtual time with the scenario and the timing diagram
    // z.vcd, and with the port log unless the run is long.
    Aufruf Starte(const std::string& kommandos, const std::string& szenario,
                  const std::vector<std::string>& umgebung = kReproduzierbar,
                  const std::string& eingabe = "", bool mitPortlog = true) {
        SchreibeDatei(dir / "k.txt", kommandos);
        SchreibeDatei(dir / "s.txt", szenario);
        std::vector<std::string> argumente = {"--zeit=virtuell", "--sim=s.txt", "--vcd=" + vcd,
                                              "k.txt", "p.txt"};
        if (mitPortlog) {
            argumente.insert(argumente.begin(), "--port-log=" + log);
        }
        return StarteTaktler(argumente, dir.pfad(), eingabe, umgebung);
    }

    TempVerzeichnis dir;
    std::string log = dir / "port.log";
    std::string vcd = dir / "z.vcd";
};

// Changes lie exactly the modelled microseconds apart: line reads, the
// input reads of the armed emergency stop (before and after every line) and
// the 40 measurements that the first evaluation of an analog condition makes
// with an empty history.
TEST_F(ZeitdiagrammTest, ChangesLieTheModelledMicrosecondsApart) {
    auto a = Starte(
        "EINSCHALTEN MOTOR1 RECHTS\nNOTHALT SCHALTER8\nBIS ANALOG1 > 0\nENDE\n"
        "AUSSCHALTEN MOTOR1\n",
        "start schalter 2 an\nstart analog 1 100\nstart analog 2 40\n");
    ASSERT_EQ(a.code, 0) << a.fehler;

    const std::uint64_t motorAn = kStart + kZeile + kRahmen;
    const std::uint64_t scharf = motorAn + kZeile;
    // Switch 2 is the seventh of the eight reads: a write, then per switch
    // two writes and the read.
    const std::uint64_t schalter2 = scharf + 1 + 7 * 3;
    const std::uint64_t bisGelesen = scharf + kAbfrage + kZeile + kAbfrage;
    const std::uint64_t motorAus = bisGelesen + 40 * kMessung + kAbfrage + (kZeile + 2 * kAbfrage) +
                                   kZeile + kAbfrage + kRahmen;
    std::vector<VcdAenderung> erwartet;
    for (const char* name : {"motor1", "motor2", "motor3", "motor4", "schalter1", "schalter2",
                             "schalter3", "schalter4", "schalter5", "schalter6", "schalter7",
                             "schalter8", "analog1", "analog2", "nothalt"}) {
        erwartet.push_back({0, name, 0});
    }
    const std::vector<VcdAenderung> lauf = {
        {motorAn, "motor1", 1},
        {scharf, "nothalt", 1},
        {schalter2, "schalter2", 1},
        {bisGelesen + kMessung, "analog1", 100},
        {bisGelesen + 2 * kMessung, "analog2", 40},
        {motorAus, "motor1", 0},
    };
    erwartet.insert(erwartet.end(), lauf.begin(), lauf.end());
    const Vcd diagramm = LiesVcd(LiesDatei(vcd));
    EXPECT_EQ(diagramm.aenderungen, erwartet);
    EXPECT_EQ(diagramm.ende, motorAus + kAbfrage);
}

// The changes a port log shows, each with the number of its access (from 1):
// motor states from the simulator's latch notes, switches from the eight
// reads after an input read's load clock, analog counts from the edges of a
// measurement's 4999 reads.
std::map<std::string, std::vector<std::pair<std::uint64_t, std::uint64_t>>> AusPortlog(
    const std::string& text) {
    std::map<std::string, std::vector<std::pair<std::uint64_t, std::uint64_t>>> wechsel;
    std::map<std::string, std::uint64_t> stand;
    auto neu = [&](std::uint64_t zugriff, const std::string& name, std::uint64_t wert) {
        if (stand[name] != wert) {
            stand[name] = wert;
            wechsel[name].push_back({zugriff, wert});
        }
    };
    std::uint64_t zugriff = 0;
    int eingang = 0;  // the switch the next read shows, 0: none
    int messung = 0;  // the analog input being measured, 0: none
    int proben = 0;
    int kanten = 0;
    bool scharf = false;
    for (const std::string& zeile : Zeilen(text)) {
        if (zeile.rfind("# Motoren ", 0) == 0) {
            for (int m = 0; m < 4; ++m) {
                const char r = zeile[10 + static_cast<std::size_t>(m)];
                neu(zugriff, "motor" + std::to_string(m + 1), r == 'L' ? 1 : r == 'R' ? 2 : 0);
            }
            continue;
        }
        if (zeile.empty() || zeile[0] == '#' || zeile == "CLI" || zeile == "STI") {
            continue;
        }
        ++zugriff;
        const unsigned wert = std::stoul(zeile.substr(zeile.rfind(' ') + 1), nullptr, 16);
        if (zeile.rfind("W16 ", 0) == 0) {
            if (wert == 0xE1 || wert == 0xD1) {
                messung = wert == 0xE1 ? 1 : 2;
                proben = kanten = 0;
                scharf = false;
            }
        } else if (zeile.rfind("W ", 0) == 0) {
            eingang = wert == 0x0A ? 8 : eingang;
        } else if (messung != 0) {
            if ((wert & 0x10) == 0) {
                scharf = true;
            } else if (scharf) {
                scharf = false;
                ++kanten;
            }
            if (++proben == 4999) {
                neu(zugriff, "analog" + std::to_string(messung),
                    static_cast<std::uint64_t>(kanten));
                messung = 0;
            }
        } else if (eingang > 0) {
            neu(zugriff, "schalter" + std::to_string(eingang), (wert & 0x20) != 0 ? 1 : 0);
            --eingang;
        }
    }
    return wechsel;
}

// GTKWave's converters take the diagram to FST and back. What comes back
// shows the motor, switch and analog changes the port log shows, each at the
// time of the access that made it: access k of the run happens at k us plus
// 5 us for each line read before it, so the difference is a multiple of 5
// that never shrinks.
TEST_F(ZeitdiagrammTest, RoundTripThroughGtkwaveMatchesThePortLog) {
    if (std::system("command -v vcd2fst >/dev/null && command -v fst2vcd >/dev/null") != 0) {
        GTEST_SKIP() << "vcd2fst/fst2vcd not installed (Debian package gtkwave, "
                        "tools/install-deps.sh installs it)";
    }
    const std::string beispiel = std::string(TAKTLER_QUELLEN) + "/examples/foerderband";
    auto a = Starte(LiesDatei(beispiel + ".txt"), LiesDatei(beispiel + ".szenario"));
    ASSERT_EQ(a.code, 0) << a.fehler;
    const std::string befehl = "vcd2fst " + Quote(vcd) + " " + Quote(dir / "z.fst") +
                               " >/dev/null && fst2vcd " + Quote(dir / "z.fst") + " >" +
                               Quote(dir / "zurueck.vcd");
    ASSERT_EQ(std::system(befehl.c_str()), 0);
    const Vcd zurueck = LiesVcd(LiesDatei(dir / "zurueck.vcd"));
    EXPECT_EQ(zurueck.ende, LiesVcd(LiesDatei(vcd)).ende);

    std::map<std::string, std::vector<std::pair<std::uint64_t, std::uint64_t>>> diagramm;
    for (const VcdAenderung& w : zurueck.aenderungen) {
        if (w.zeit > 0 && w.name != "nothalt") {
            diagramm[w.name].push_back({w.zeit, w.wert});
        }
    }
    const auto portlog = AusPortlog(LiesDatei(log));
    for (const char* name : {"motor1", "motor3", "motor4", "schalter2", "analog1", "analog2"}) {
        EXPECT_FALSE(portlog.count(name) == 0) << name << " never changes in this run";
    }
    std::map<std::uint64_t, std::uint64_t> zeilenVor;  // access -> lines read before it
    for (const auto& [name, liste] : portlog) {
        ASSERT_EQ(diagramm[name].size(), liste.size()) << name;
        for (std::size_t i = 0; i < liste.size(); ++i) {
            const auto [zugriff, wert] = liste[i];
            const auto [zeit, wertDiagramm] = diagramm[name][i];
            EXPECT_EQ(wertDiagramm, wert) << name << " change " << i;
            ASSERT_GE(zeit, zugriff) << name << " change " << i;
            EXPECT_EQ((zeit - zugriff) % kZeile, 0u) << name << " change " << i;
            zeilenVor[zugriff] = (zeit - zugriff) / kZeile;
        }
    }
    std::uint64_t zeilen = 0;
    for (const auto& [zugriff, vorher] : zeilenVor) {
        EXPECT_GE(vorher, zeilen) << "access " << zugriff;
        zeilen = vorher;
    }
}

TEST_F(ZeitdiagrammTest, SixtySecondPollingLoopStaysSmall) {
    auto a = Starte("NOTHALT SCHALTER8\nBIS ZEIT = 60000\nENDE_BIS\n", "zeit 100 schalter 1 an\n",
                    kReproduzierbar, "", false);
    ASSERT_EQ(a.code, 0) << a.fehler;
    const std::string text = LiesDatei(vcd);
    EXPECT_LT(text.size(), 100'000u);
    EXPECT_GT(LiesVcd(text).ende, 60'000'000u);
}

// Options that virtual time refuses: exit code 12, one line naming the
// cause, nothing written.
TEST_F(ZeitdiagrammTest, RefusedCombinationsWriteNothing) {
    struct Fall {
        std::vector<std::string> argumente;
        std::vector<std::string> umgebung;
        const char* genannt;
    };
    const Fall faelle[] = {
        {{"--zeit=virtuell", "--panel"}, {}, "--panel"},
        {{"--zeit=virtuell", "--port=parport0"}, {}, "--port=parport0"},
        {{"--port=0x378", "--zeit=virtuell"}, {}, "--port=0x378"},
        {{"--zeit=virtuell"}, {"SOURCE_DATE_EPOCH=gestern"}, "SOURCE_DATE_EPOCH=gestern"},
    };
    SchreibeDatei(dir / "k.txt", "MELDUNG A\n");
    for (const Fall& f : faelle) {
        std::vector<std::string> args = f.argumente;
        args.insert(args.end(), {"--port-log=" + log, "--vcd=" + vcd, "k.txt", "p.txt"});
        auto a = StarteTaktler(args, dir.pfad(), "", f.umgebung);
        EXPECT_EQ(a.code, 12) << f.genannt;
        EXPECT_NE(a.fehler.find(f.genannt), std::string::npos) << a.fehler;
        EXPECT_EQ(Zeilen(a.fehler).size(), 1u) << a.fehler;
        EXPECT_EQ(a.aus, "");
        EXPECT_FALSE(DateiExistiert(log) || DateiExistiert(vcd) || DateiExistiert(dir / "p.txt"));
    }
}

// The clock texts follow SOURCE_DATE_EPOCH and TZ; a loop moves them on by
// its virtual time.
TEST_F(ZeitdiagrammTest, ClockTextsStartAtSourceDateEpochInTheLocalZone) {
    struct Fall {
        const char* tz;
        const char* aus;
    };
    const Fall faelle[] = {
        {"TZ=UTC0",
         "20251231.23:59:59;A;\n20260101.00:00:00;B;\nTAKTLER 091200 ENDE : am 01.01.2026 um "
         "00.00.00\n"},
        {"TZ=CET-1",
         "20260101.00:59:59;A;\n20260101.01:00:00;B;\nTAKTLER 091200 ENDE : am 01.01.2026 um "
         "01.00.00\n"},
    };
    for (const Fall& f : faelle) {
        auto a = Starte("TRACELEVEL 1\nMELDUNG A\nBIS ZEIT = 1000\nENDE_BIS\nMELDUNG B\n", "",
                        {"SOURCE_DATE_EPOCH=1767225599", f.tz});
        EXPECT_EQ(a.code, 0) << a.fehler;
        EXPECT_EQ(a.aus, f.aus) << f.tz;
    }
}

// Keeps both cores busy until it goes out of scope.
class Last {
  public:
    Last() {
        for (pid_t& kind : kinder_) {
            kind = fork();
            if (kind == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
                for (volatile unsigned long i = 0;; i = i + 1) {
                }
            }
        }
    }
    ~Last() {
        for (pid_t kind : kinder_) {
            if (kind > 0) {
                kill(kind, SIGKILL);
                waitpid(kind, nullptr, 0);
            }
        }
    }
    Last(const Last&) = delete;
    Last& operator=(const Last&) = delete;

  private:
    pid_t kinder_[2] = {-1, -1};
};

struct Reproduktion {
    const char* name;
    std::string kommandos;  // a file in examples/ when it ends in .txt
    std::string szenario;
    const char* eingabe;
    int code;
};

class ReproduzierbarTest : public ZeitdiagrammTest,
                           public ::testing::WithParamInterface<Reproduktion> {};

// Five runs in virtual time, the last two while two other processes keep
// both cores busy, give byte-identical outputs.
TEST_P(ReproduzierbarTest, FiveRunsGiveIdenticalOutputs) {
    const Reproduktion& f = GetParam();
    std::string kommandos = f.kommandos;
    std::string szenario = f.szenario;
    if (kommandos.size() > 4 && kommandos.substr(kommandos.size() - 4) == ".txt") {
        const std::string quelle = std::string(TAKTLER_QUELLEN) + "/examples/";
        kommandos = LiesDatei(quelle + f.kommandos);
        szenario = LiesDatei(quelle + f.szenario);
    }
    std::vector<std::string> erster;
    for (int lauf = 1; lauf <= 5; ++lauf) {
        std::unique_ptr<Last> last = lauf > 3 ? std::make_unique<Last>() : nullptr;
        std::remove((dir / "p.txt").c_str());
        auto a = Starte(kommandos, szenario, kReproduzierbar, f.eingabe);
        last.reset();
        ASSERT_EQ(a.code, f.code) << a.fehler;
        const std::vector<std::string> ausgaben = {a.aus, a.fehler, LiesDatei(dir / "p.txt"),
                                                   LiesDatei(log), LiesDatei(vcd)};
        if (lauf == 1) {
            erster = ausgaben;
            continue;
        }
        const char* namen[] = {"stdout", "stderr", "protocol", "port log", "timing diagram"};
        for (std::size_t i = 0; i < ausgaben.size(); ++i) {
            EXPECT_TRUE(ausgaben[i] == erster[i]) << namen[i] << " differs in run " << lauf;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Laeufe, ReproduzierbarTest,
    ::testing::Values(
        Reproduktion{"Ampel", "ampel.txt", "ampel.szenario", "", 0},
        Reproduktion{"Foerderband", "foerderband.txt", "foerderband.szenario", "", 0},
        Reproduktion{"PanelDemo", "panel_demo.txt", "panel_demo.szenario", "weiter\n", 0},
        Reproduktion{"InterfaceTest", "interface_test.txt", "interface_test.szenario", "", 0},
        // Clicks, a subroutine in a time loop, both analog thresholds, the
        // maximum, PAUSE. A press lasts long enough for the loop to see it:
        // the emergency stop's reads count as input reads too.
        Reproduktion{"Band",
                     "TRACELEVEL 4\nNOTHALT SCHALTER8\nPAUSE START\nEINSCHALTEN MOTOR1 RECHTS\n"
                     "BIS SCHALTER2 = 2\nENDE_BIS\nRUFE WARTE\nBIS ANALOG1 > 300\nENDE_BIS\n"
                     "BIS ANALOG1 < 200\n  MELDUNG HOCH\nELSE\n  MELDUNG TIEF\nENDE\n"
                     "BIS ANALOG1 = MAX\nENDE_BIS\nAUSSCHALTEN MOTOR1\nMELDUNG FERTIG\nEXIT\n"
                     "UNTERPROGRAMM WARTE\nEINSCHALTEN MOTOR2 LINKS\nBIS ZEIT = 40\nENDE_BIS\n"
                     "AUSSCHALTEN MOTOR2\nENDE_UNTERPROGRAMM\n",
                     "abfrage 5 schalter 2 an\nabfrage 30 schalter 2 aus\nzeit 3 schalter 2 an\n"
                     "zeit 4 schalter 2 aus\nstart analog 1 100\nstart analog 2 40\n"
                     "messung 45 analog 1 400\nzeit 30 analog 2 50\n",
                     "los\n", 0},
        // Nested loops polling a switch that time events press, a call in a
        // loop, a falling analog value; the emergency stop ends the run.
        Reproduktion{"Nothalt",
                     "TRACELEVEL 5\nNOTHALT SCHALTER7\nBIS ZEIT = 25\n  EINSCHALTEN MOTOR3 LINKS\n"
                     "  BIS SCHALTER1 = 1\n  ENDE_BIS\n  RUFE BLINK\nENDE_BIS\nENDE\n"
                     "BIS ANALOG1 < 150\nENDE_BIS\nPAUSE WEITER\nBIS ZEIT = 100000\nENDE_BIS\n"
                     "EXIT\nUNTERPROGRAMM BLINK\nEINSCHALTEN MOTOR4 RECHTS\nAUSSCHALTEN MOTOR4\n"
                     "ENDE_UNTERPROGRAMM\n",
                     "zeit 5 schalter 1 an\nzeit 6 schalter 1 aus\nzeit 12 schalter 1 an\n"
                     "zeit 14 schalter 1 aus\nzeit 20 schalter 1 an\nzeit 21 schalter 1 aus\n"
                     "zeit 28 schalter 1 an\nzeit 29 schalter 1 aus\n"
                     "start analog 1 500\nmessung 30 analog 1 100\nzeit 300 schalter 7 an\n",
                     "", 12},
        // The maximum of a steady value inside a conditional block, a call,
        // and an unknown command that ends the run with the protocol banner.
        Reproduktion{"Abbruch",
                     "TRACELEVEL 4\nNOTHALT SCHALTER8\nEINSCHALTEN MOTOR1 LINKS\n"
                     "BIS ANALOG1 = MAX\n  BIS SCHALTER3 = 1\n  ELSE\n    AUSSCHALTEN MOTOR1\n"
                     "  ENDE\nENDE_BIS\nPAUSE MAX_GEFUNDEN\nRUFE SCHLUSS\nEXIT\n"
                     "UNTERPROGRAMM SCHLUSS\nBIS ZEIT = 10\nENDE_BIS\nKAPUTT\nENDE_UNTERPROGRAMM\n",
                     "start analog 1 300\nstart analog 2 40\nzeit 2 schalter 3 an\n", "ja\n", 12}),
    [](const ::testing::TestParamInfo<Reproduktion>& info) {
        return std::string(info.param.name);
    });

// The example script passes on the stored copy and fails once the command
// file behaves differently.
TEST_F(ZeitdiagrammTest, ExampleScriptCatchesAChangedBehaviour) {
    const std::string beispiele = std::string(TAKTLER_QUELLEN) + "/examples/";
    std::string geaendert = LiesDatei(beispiele + "foerderband.txt");
    geaendert.replace(geaendert.find("BIS ZEIT = 300"), 14, "BIS ZEIT = 301");
    SchreibeDatei(dir / "foerderband.txt", geaendert);
    const std::pair<std::string, int> faelle[] = {{beispiele + "foerderband.txt", 0},
                                                  {dir / "foerderband.txt", 1}};
    for (const auto& [kommandos, code] : faelle) {
        const int status = StarteBegrenzt(
            "TAKTLER=" + Quote(TAKTLER_BINARY) + " " +
            Quote(beispiele + "kommandodatei_pruefen.sh") + " " + Quote(kommandos) + " " +
            Quote(beispiele + "foerderband.szenario") + " " +
            Quote(beispiele + "foerderband.erwartet") + " </dev/null >/dev/null 2>&1");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code)
            << kommandos << ": " << status;
    }
}

}  // namespace
}  // namespace taktler::test
