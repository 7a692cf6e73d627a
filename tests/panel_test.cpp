// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's parts; whole runs in-process on a stand-in screen that types the keys; the built
// program in a real terminal.
#include "panel/panel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interface_testport.h"
#include "interpreter/laufstand.h"
#include "interpreter/taktler.h"
#include "panel/ablage.h"
#include "panel/bedienung.h"
#include "panel/bild.h"
#include "panel/quelltext.h"
#include "services/unterbrechung.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace panel;

std::string Text(const Bild& bild) {
    std::string s;
    for (const auto& z : bild.zeilen) {
        s += z.text + "\n";
    }
    return s;
}

TEST(PanelTeile, DisplayTextIsCleanUtf8) {
    const std::pair<std::string, std::string> faelle[] = {
        {"gr\xF6\xDFte", "gr\xC3\xB6\xC3\x9Fte"},          // Latin-1 converted
        {"gr\xC3\xB6\xC3\x9Fte", "gr\xC3\xB6\xC3\x9Fte"},  // UTF-8 kept
        {"a\tb\r", "a       b"},
        {"x\x1B[2Jy\x7F", "x?[2Jy?"},    // no escape sequence reaches the terminal
        {"\x85\x9F\xA0", "??\xC2\xA0"},  // C1 controls from Latin-1 bytes, then NBSP
    };
    for (const auto& [roh, erwartet] : faelle) {
        EXPECT_EQ(Anzeigetext(roh), erwartet) << roh;
    }
    EXPECT_EQ(Spalten("gr\xC3\xB6\xC3\x9Fte"), 6u);
    EXPECT_EQ(ErsteSpalten("\xC3\xB6\xC3\xB6\xC3\xB6", 2), "\xC3\xB6\xC3\xB6");
}

TEST(PanelTeile, PaneAndTranscript) {
    Ablage ablage(3);
    ablage.Anhaengen("eins\nzwei\ndr");
    ablage.Anhaengen("ei\nvier\nWeiter: ");
    EXPECT_EQ(std::vector<std::string>(ablage.Zeilen().begin(), ablage.Zeilen().end()),
              (std::vector<std::string>{"zwei", "drei", "vier"}));
    EXPECT_EQ(ablage.Offen(), "Weiter: ");
    Mitschrift knapp(10);
    knapp.Anhaengen(Strom::Aus, std::string(8, 'x'));
    knapp.Anhaengen(Strom::Echo, "w\n");
    knapp.Anhaengen(Strom::Fehler, "ende\n");
    TestKonsole k;
    knapp.Abspielen(k);
    EXPECT_EQ(k.aus, "w\n");
    EXPECT_EQ(k.fehler, "taktler: Ausgabe gekuerzt, die ersten 8 Bytes fehlen\nende\n");
}

// A PAUSE takes one word as from standard input; blanks alone, CR among them, are none.
TEST(PanelTeile, PauseTakesOneWordLikeStandardInput) {
    const std::tuple<std::string, bool, bool, std::string> faelle[] = {
        {"  \n weiter\n", false, true, ""},
        {"a b\n", false, true, "b\n"},
        {"halb", false, false, "halb"},
        {"halb", true, true, ""},
        {" \t\n\r\v\f", true, false, ""}};
    for (auto [vorrat, ende, wort, rest] : faelle) {
        const std::string vorher = ::testing::PrintToString(vorrat);
        EXPECT_EQ(NimmWort(vorrat, ende), wort) << vorher;
        EXPECT_EQ(vorrat, rest) << vorher;
    }
    for (const auto& [zeile, ok] :
         std::vector<std::pair<std::string, bool>>{{"  OK\n", true}, {"o", true}, {"a\n", false}}) {
        EXPECT_EQ(IstOk(zeile), ok) << zeile;
    }
}

// Each key in turn, with the analog values and the chosen input after it.
TEST(PanelTeile, KeysActOnTheModel) {
    interface::Simulator sim;
    Bedienung b(&sim);
    const std::array<int, 4> schritte[] = {
        {taste::kHoch, 10, 0, 1}, {taste::kBildHoch, 110, 0, 1},   {taste::kRunter, 100, 0, 1},
        {taste::kTab, 100, 0, 2}, {taste::kBildHoch, 100, 100, 2}, {taste::kBildRunter, 100, 0, 2},
        {taste::kTab, 100, 0, 1}, {taste::kBildRunter, 0, 0, 1},  // never below 0
    };
    for (const auto& [t, analog1, analog2, auswahl] : schritte) {
        b.Taste(t, false);
        EXPECT_EQ(sim.AnalogWert(1), analog1) << t;
        EXPECT_EQ(sim.AnalogWert(2), analog2) << t;
        EXPECT_EQ(b.Auswahl(), auswahl) << t;
    }
    // Toggling twice is in the whole run; '8' is the last switch key.
    b.Taste('8', false);
    EXPECT_EQ(sim.Schalter(),
              (std::array<bool, 8>{false, false, false, false, false, false, false, true}));
    // Typing counts only while the run waits; digits 1-8 stay switch keys.
    b.Taste('x', false);
    for (int t : std::vector<int>{'w', '1', 'e', 'g', taste::kRueck, taste::kEnter}) {
        b.Taste(t, true);
    }
    ASSERT_TRUE(b.eingabe().abgeschickt.has_value());
    EXPECT_EQ(*b.eingabe().abgeschickt, "we");
    EXPECT_TRUE(sim.Schalter()[0]);
}

// A motor state has one name for the user: the panel's, and the timing diagram's GTKWave
// filter, which shows the 2-bit motor values (10 the interface's R) by name.
TEST(PanelTeile, MotorStatesAreNamedAsTheDiagramFilterNamesThem) {
    std::map<std::string, std::string> filter;
    std::istringstream datei(LiesDatei(std::string(TAKTLER_QUELLEN) + "/paket/motoren.gtkwf"));
    for (std::string zeile; std::getline(datei, zeile);) {
        if (!zeile.empty() && zeile[0] != '#') {
            filter[zeile.substr(0, 2)] = zeile.substr(3);
        }
    }
    const std::map<std::string, std::string> erwartet = {
        {"10", "LINKS (R)"}, {"01", "RECHTS (L)"}, {"00", "aus"}};
    EXPECT_EQ(filter, erwartet);
    for (const auto& [zustand, bits] :
         {std::pair<char, const char*>{'R', "10"}, {'L', "01"}, {'N', "00"}}) {
        const std::string anzeige = Motoranzeige(zustand);
        EXPECT_EQ(anzeige.size(), 14u) << anzeige;
        EXPECT_NE(anzeige.find(filter[bits]), std::string::npos) << anzeige;
    }
}

TEST(PanelTeile, ScreenShowsMotorsSwitchesAnalogAndTheRunningLine) {
    Momentaufnahme m;
    m.kommandodatei = "k.txt";
    m.motoren = {'L', 'R', 'N', 'N'};
    m.dauerMs = {1500, 260, 0, 123456};
    m.schalter[1] = true;
    m.analog = {400, 40};
    m.editorzeile = 17;
    m.zeilentext = "BIS ANALOG1 > 300";
    m.tracelevel = 3;
    m.nothalt = true;
    m.nothaltSchalter = 8;
    Ablage ablage;
    ablage.Anhaengen("TAKTLER 091200\n" + std::string(130, 'x') + "\n");
    Bild bild = Zeichne(m, ablage, 80, 24);
    ASSERT_EQ(bild.zeilen.size(), 24u);
    for (const auto& z : bild.zeilen) {
        EXPECT_EQ(Spalten(z.text), 80u) << z.text;
    }
    std::string t = Text(bild);
    for (const char* teil :
         {"Tracelevel 3", "Zeile 17: BIS ANALOG1 > 300", "scharf auf SCHALTER8", "Esc Stopp"}) {
        EXPECT_NE(t.find(teil), std::string::npos) << teil << "\n" << t;
    }
    const char* reihen[] = {
        "MOTOR1 RECHTS (L) >>>    1.5 s 1 [ ] offen  5 [ ] offen   > ANALOG1  400",
        "MOTOR2 <<< LINKS (R)     0.3 s 2 [X] zu     6 [ ] offen     ANALOG2   40",
        "MOTOR3      aus          0.0 s 3 [ ] offen  7 [ ] offen",
        "MOTOR4      aus        123.5 s 4 [ ] offen  8 [ ] offen"};
    for (std::size_t i = 0; i < 4; ++i) {
        std::string reihe = bild.zeilen[4 + i].text;
        EXPECT_EQ(reihe.erase(reihe.find_last_not_of(' ') + 1), reihen[i]);
    }
    // Without the source file the view shows the running line; the console pane starts at
    // row 15; a long line wraps instead of being cut.
    EXPECT_EQ(bild.zeilen[9].text.rfind("    17 > BIS ANALOG1 > 300 ", 0), 0u) << t;
    EXPECT_EQ(bild.zeilen[15].text.rfind("TAKTLER 091200 ", 0), 0u) << t;
    EXPECT_EQ(bild.zeilen[17].text.rfind(std::string(50, 'x') + " ", 0), 0u) << t;
    EXPECT_EQ(bild.cursorZeile, -1);
    m.wartet = true;
    m.eingabe = "wei";
    ablage.Anhaengen("Weiter: ");
    bild = Zeichne(m, ablage, 80, 24);
    ASSERT_EQ(bild.cursorZeile, 18);
    EXPECT_EQ(bild.zeilen[18].text.rfind("Weiter: wei ", 0), 0u) << Text(bild);
    EXPECT_EQ(bild.cursorSpalte, 11);
    EXPECT_NE(Text(bild).find("Der Lauf wartet"), std::string::npos);
    EXPECT_NE(Text(Zeichne(m, ablage, 79, 24)).find("Terminal zu klein"), std::string::npos);
}

// Moves on whenever the panel looks at it, so that every chance to redraw is taken.
class TickUhr : public TestUhr {
  public:
    std::uint64_t MonotonMs() override {
        ms += tick;
        return TestUhr::MonotonMs();
    }
    int tick = 10;
};

// Gives each key once the screen shows its text; a gone terminal answers nothing at once.
class TestSchirm : public Bildschirm {
  public:
    struct Taste {
        std::string wenn;
        int taste;
        int nachLeeren = 0;
    };
    explicit TestSchirm(TestUhr& uhr) : uhr_(uhr) {}
    void Zeige(const Bild& bild) override { letztes = Text(bild); }
    int LiesTaste(int wartezeitMs) override {
        if (!tasten.empty() && leer >= tasten.front().nachLeeren &&
            letztes.find(tasten.front().wenn) != std::string::npos) {
            int t = tasten.front().taste;
            tasten.pop_front();
            gegebenBei.push_back(letztes);
            return t;
        }
        uhr_.ms += weg ? 0 : wartezeitMs;
        if (((wartezeitMs > 0 || weg) && ++leer > 10000) || ++umsonst > 1'000'000) {
            throw std::runtime_error("the panel waits for a key the test never gives:\n" + letztes);
        }
        return taste::kKeine;
    }
    int Breite() const override { return 100; }
    int Hoehe() const override { return 30; }
    void Schliessen() override { ++geschlossen; }

    std::deque<Taste> tasten;
    std::vector<std::string> gegebenBei;
    std::string letztes;
    int geschlossen = 0;
    int leer = 0;
    int umsonst = 0;  // calls without a key, also those that do not wait
    bool weg = false;

  private:
    TestUhr& uhr_;
};

class PanelLaufTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        services::Umwelt().uhr = &tickUhr;
        interface::SetzePort(&sim);
    }
    void TearDown() override {
        interface::SetzePort(nullptr);
        services::LoescheUnterbrechung();
        TaktlerTest::TearDown();
    }
    // Without the simulator the run goes through the installed port.
    int Lauf(const std::string& kommandos, bool echterPort = false,
             const std::vector<std::int32_t>& halt = {}) {
        SchreibeDatei(dir / "k.txt", kommandos);
        return EndeCode([&] {
            PanelLauf(schirm, echterPort ? nullptr : &sim, {dir / "k.txt", dir / "p.txt"}, halt);
        });
    }
    void Tippe(const std::string& wenn, const std::string& text, int nachLeeren = 0) {
        for (char c : text) {
            schirm.tasten.push_back({wenn, c, nachLeeren});
        }
    }

    TempVerzeichnis dir;
    interface::Simulator sim;
    TickUhr tickUhr;
    TestSchirm schirm{tickUhr};
};

TEST_F(PanelLaufTest, KeysCloseTheSwitchLoopAndAnswerThePause) {
    Tippe("druecken...", "w\n", 100);  // after ten seconds
    Tippe("0 gesetzt", "3");
    Tippe("1 Klicks!", "3");
    Tippe("losgelassen", "3");
    Tippe("Lauf beendet (Exit-Code 0)", "q");
    EXPECT_EQ(Lauf("PAUSE P\nEINSCHALTEN MOTOR1\nBIS SCHALTER3 = 2\nENDE_BIS\n"), -1);
    EXPECT_EQ(schirm.geschlossen, 1);
    ASSERT_EQ(schirm.gegebenBei.size(), 6u);
    EXPECT_NE(schirm.gegebenBei[1].find("druecken...w"), std::string::npos);
    EXPECT_EQ(schirm.gegebenBei[2].find("Der Lauf wartet"), std::string::npos);
    EXPECT_EQ(konsole.fehler, "TAKTLER 091200\n");
    EXPECT_EQ(konsole.aus,
              "19000100.00:00:00;P;\nWeiter: Beliebiges Zeichen eingeben und ENTER druecken...w\n"
              "BIS SCHALTER3 = 2 ---> 0 gesetzt\nSchalter 3 gedrueckt, 1 Klicks!\n"
              "Schalter 3 losgelassen\nSchalter 3 gedrueckt, 2 Klicks!\nStufe 1; Klicks erreicht\n"
              "TAKTLER 091200 ENDE : am 00.01.1900 um 00.00.00\n");
    EXPECT_EQ(&services::DieKonsole(), &konsole);  // the seams are the test's own again
}

// On a real port the switch keys change nothing; Esc still stops the run.
TEST_F(PanelLaufTest, OnARealPortShowsTheInterfaceAndEscStops) {
    AufnahmePort port;
    port.status = [](int lesung) { return lesung % 8 == 6 ? 0x20 : 0x00; };  // switch 2 closed
    interface::SetzePort(&port);
    schirm.tasten.push_back({"MOTOR1 RECHTS (L) >>>", '3'});
    schirm.tasten.push_back({"2 [X] zu", taste::kEsc});
    EXPECT_EQ(Lauf("EINSCHALTEN MOTOR1\nBIS SCHALTER3 = 1\nENDE_BIS\n", true), 128 + SIGINT);
    EXPECT_TRUE(schirm.tasten.empty());
    EXPECT_NE(schirm.letztes.find(kHilfezeileEchterPort), std::string::npos) << schirm.letztes;
    EXPECT_NE(schirm.letztes.find("3 [ ] offen"), std::string::npos) << schirm.letztes;
    EXPECT_EQ(konsole.aus.find("Schalter 3 gedrueckt"), std::string::npos) << konsole.aus;
    EXPECT_NE(konsole.fehler.find("TAKTLER unterbrochen (SIGINT)"), std::string::npos);
}

// The run's editor line of each line it takes names the source view's line of the same text.
TEST_F(PanelLaufTest, EditorLinesOfTheRunMatchTheSourceView) {
    const std::pair<std::string, std::vector<std::int32_t>> faelle[] = {
        {";A\n\n;B\r\n;C\r;D", {1, 3, 4, 5}},   // bare-LF empty line: no record
        {"\xEF\xBB\xBF;A\r\r\n;B", {1, 2, 3}},  // CR alone, then CR LF
        {";A\n\n\n;B\n", {1, 4}},
    };
    for (const auto& [bytes, zeilen] : faelle) {
        ZustandZuruecksetzen();
        SchreibeDatei(dir / "k.txt", bytes);
        Quelltext quelle;
        ASSERT_TRUE(quelle.Laden(dir / "k.txt"));
        std::vector<std::int32_t> gesehen;
        interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile&, const std::string& t) {
            gesehen.push_back(interpreter::Stand().editorzeile);
            ASSERT_LE(gesehen.back(), quelle.Anzahl());
            EXPECT_EQ(quelle.Zeile(gesehen.back()), t) << ::testing::PrintToString(bytes);
        });
        EXPECT_EQ(interpreter::Programmlauf({dir / "k.txt", dir / "p.txt"}), 0);
        interpreter::SetzeZeilenHaken(nullptr);
        EXPECT_EQ(gesehen, zeilen) << ::testing::PrintToString(bytes);
    }
}

// On a real port a held run reads the armed emergency switch through the interface.
TEST_F(PanelLaufTest, OnARealPortAHeldRunWatchesTheEmergencyStop) {
    AufnahmePort port;
    // Switch 8 closes at the eleventh input read; the first follows the NOTHALT line.
    port.status = [](int lesung) { return lesung >= 80 && lesung % 8 == 0 ? 0x20 : 0x00; };
    interface::SetzePort(&port);
    schirm.tasten.push_back({"Lauf haelt vor Zeile 2", taste::kTab});
    schirm.tasten.push_back({"Lauf abgebrochen (Exit-Code 12)", 'q'});
    EXPECT_EQ(Lauf("NOTHALT SCHALTER8\nMELDUNG A\n", true, {2}), 12);
    EXPECT_TRUE(schirm.tasten.empty()) << schirm.letztes;
    EXPECT_EQ(port.lesungen, 88);
    EXPECT_NE(konsole.fehler.find("Funktion: MELDUNG, Programmabbruch: NOTAUS betaetigt!"),
              std::string::npos)
        << konsole.fehler;
    EXPECT_EQ(konsole.aus.find(";A;"), std::string::npos) << konsole.aus;
}

// A gone terminal is the end of input and the panel closes unasked.
TEST_F(PanelLaufTest, AGoneTerminalEndsThePauseAndThePanel) {
    schirm.weg = true;
    EXPECT_EQ(Lauf("PAUSE P\nMELDUNG DANACH\n"), -1);
    EXPECT_NE(konsole.aus.find("druecken...19000100.00:00:00;DANACH;"), std::string::npos)
        << konsole.aus;
}

// A warning is answered in the panel; cancelling aborts the run.
TEST_F(PanelLaufTest, WarningIsAnsweredInThePanel) {
    Tippe("[o/a]", "a\n");
    Tippe("Lauf abgebrochen (Exit-Code 12)", "\n");
    EXPECT_EQ(Lauf("INFO\n"), 12);  // INFO without a name: SetzePfad warns
    EXPECT_NE(konsole.fehler.find("[WARNUNG] Modul: DATEI 151100"), std::string::npos);
    EXPECT_NE(konsole.aus.find("OK oder Abbrechen? [o/a] a\n"), std::string::npos);
    EXPECT_EQ(konsole.fehler.find("Kein Pfad angegeben"), std::string::npos) << konsole.fehler;
    EXPECT_EQ(schirm.geschlossen, 1);
}

// The panel in a real terminal: a tmux server of its own runs the built program, types the keys
// and reads the screen.
using namespace std::chrono_literals;

template <typename F>
bool Warte(F&& pruefe) {
    for (auto ende = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < ende; std::this_thread::sleep_for(20ms)) {
        if (pruefe()) {
            return true;
        }
    }
    return false;
}

class Tmux {
  public:
    explicit Tmux(const TempVerzeichnis& dir)
        : dir_(dir),
          basis_("tmux -L taktler-test-" + std::to_string(getpid()) + "-" +
                 std::to_string(++zaehler_)) {
        SchreibeDatei(dir / "tmux.conf",
                      "set -g remain-on-exit on\nset -g default-terminal screen\n");
    }
    // A program still running is killed with its process group before dir goes; tmux keeps the
    // shell of a pane that ended as a zombie (remain-on-exit), which holds nothing.
    ~Tmux() {
        const auto pane = [&] {
            std::istringstream s(Ausgabe("list-panes -F '#{pane_pid} #{pane_dead}'"));
            pid_t pid = 0;
            int tot = 1;
            s >> pid >> tot;
            return std::make_pair(pid, tot == 1);
        };
        if (const auto [gruppe, tot] = pane(); gruppe > 1 && !tot) {
            kill(-gruppe, SIGKILL);
            Warte([&] { return kill(-gruppe, 0) != 0 || pane().second; });
        }
        std::system((basis_ + " kill-server >/dev/null 2>&1").c_str());
    }

    bool Starte(const std::string& argumente, int breite, int hoehe, const std::string& umgebung) {
        std::string befehl = "cd " + Quote(dir_.pfad()) + " && " + umgebung +
                             " timeout --foreground -s KILL 120 " + Quote(TAKTLER_BINARY) + " " +
                             argumente + "; echo $? > code.txt";
        return std::system((basis_ + " -f " + Quote(dir_ / "tmux.conf") +
                            " new-session -d -s panel -x " + std::to_string(breite) + " -y " +
                            std::to_string(hoehe) + " " + Quote(befehl))
                               .c_str()) == 0;
    }
    void Tasten(const std::string& tasten) const {
        std::system((basis_ + " send-keys -t panel " + tasten).c_str());
    }
    std::string Ausgabe(const std::string& befehl) const {
        std::string text;
        if (FILE* p = popen((basis_ + " " + befehl + " 2>/dev/null").c_str(), "r")) {
            char puffer[4096];
            for (std::size_t n; (n = std::fread(puffer, 1, sizeof puffer, p)) > 0;) {
                text.append(puffer, n);
            }
            pclose(p);
        }
        return text;
    }
    // A failure shows the screen.
    ::testing::AssertionResult WarteAuf(const std::vector<std::string>& texte,
                                        bool mitVerlauf = false) {
        const bool gesehen = Warte([&] {
            letztes =
                Ausgabe(std::string("capture-pane -t panel -p") + (mitVerlauf ? " -S -1000" : ""));
            return std::all_of(texte.begin(), texte.end(),
                               [&](const auto& t) { return letztes.find(t) != std::string::npos; });
        });
        return gesehen ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << letztes;
    }
    int Exitcode() const {
        std::string code;
        Warte([&] {
            code = LiesDatei(dir_ / "code.txt");
            return !code.empty() && code.back() == '\n';
        });
        return code.empty() ? -1 : std::atoi(code.c_str());
    }

    std::string letztes;

  private:
    static inline int zaehler_ = 0;
    const TempVerzeichnis& dir_;
    std::string basis_;
};

// Each step sends its keys, waits for its texts and then finds none of those it must not show:
// a held run cannot have moved on meanwhile.
struct Schritt {
    std::string tasten;
    std::vector<std::string> sichtbar;
    std::vector<std::string> fehlt = {};
};
using Liste = std::vector<std::string>;
const std::string kHaltDatei =
    "MELDUNG EINS\n\n; Kommentar\nEINSCHALTEN MOTOR2 LINKS\nNOTHALT SCHALTER8\nMELDUNG ZWEI\n"
    "BIS SCHALTER1 = 1\nENDE_BIS\nMELDUNG DREI\n";
struct Terminalfall {
    const char* name;
    std::string aufruf;  // the terminal's size, then what follows --panel --port-log=panel.log
    std::vector<Schritt> schritte;
    int code;
    std::optional<Liste> motoren = std::nullopt;  // latched frames; {}: no port log at all
    Liste verlauf = {};                           // in the terminal's history after the end
    std::string datei = kHaltDatei;               // k.txt
    const char* umgebung = "";
    std::string protokoll = "";
    // An option of a run without the panel (PAUSE answered from standard input) whose port log
    // is panel.log's, byte for byte (ganz) or in its motor states.
    std::string ohne = "";
    bool ganz = false;
};
void PrintTo(const Terminalfall& f, std::ostream* os) {
    *os << f.name;
}

const std::string kDemo = std::string(TAKTLER_QUELLEN) + "/examples/panel_demo";
// Editor line 5 is empty (no record of the run), lines 16 and 25 are longer than a row.
const std::string kQuelle = [] {
    std::string datei;
    for (int n = 1; n <= 30; ++n) {
        const std::string meldung = "MELDUNG L" + std::to_string(n);
        datei += n == 5 ? "\n"
                        : meldung + (n == 16 || n == 25 ? " " + std::string(200, 'X') : "") + "\n";
    }
    return datei + "EINSCHALTEN MOTOR1 LINKS\nNOTHALT SCHALTER8\nAUSSCHALTEN MOTOR1\n";
}();

const Terminalfall kTerminalfaelle[] = {
    // F10 carries out one line, F5 runs to the next breakpoint.
    {"Fall0",
     "80x24 --port=sim --halt=4,6 k.txt p.txt",
     {{"",
       {"Lauf haelt vor Zeile 4", "*    4 > EINSCHALTEN MOTOR2 LINKS", ";EINS;", "F10 eine"},
       {"MOTOR2 <<< LINKS"}},
      {"F10", {"Lauf haelt vor Zeile 5", "MOTOR2 <<< LINKS (R)"}, {";ZWEI;"}},
      {"F5", {"Lauf haelt vor Zeile 6", "scharf auf SCHALTER8"}, {";ZWEI;"}},
      {"F5 1", {";ZWEI;", ";DREI;", "Lauf beendet (Exit-Code 0)"}},
      {"q", {}}},
     0},
    // F9 sets and clears a breakpoint and refuses a comment.
    {"Fall1",
     "80x24 --port=sim --halt=1 k.txt p.txt",
     {{"", {"Lauf haelt vor Zeile 1"}},
      {"Down Down F9", {"Cursor Zeile 3", "Zeile 3 ist kein Befehl"}, {"*    3"}},
      {"Down F9", {"*    4   EINSCHALTEN"}},
      {"F5", {"Lauf haelt vor Zeile 4", ";EINS;"}, {"MOTOR2 <<< LINKS"}},
      {"F9", {"     4 > EINSCHALTEN"}},
      {"F5 1", {";DREI;", "Lauf beendet (Exit-Code 0)"}},
      {"q", {}}},
     0},
    // F6 holds a polling loop; switch and analog keys work while held; Esc ends it.
    {"Fall2",
     "80x24 --port=sim k.txt p.txt",
     {{"", {";ZWEI;", "F6 anhalten"}},
      {"F6", {"Lauf haelt vor Zeile", "F5 weiter"}},
      {"1 Tab PPage", {"1 [X] zu", "> ANALOG2  100", "Lauf haelt vor Zeile"}, {";DREI;"}},
      {"Escape", {}}},
     128 + SIGINT},
    // The armed emergency stop ends a held run: nothing reached the motors while it was held,
    // the start, MOTOR2, then the emergency stop's four frames.
    {"Fall3",
     "80x24 --port=sim --halt=6 k.txt p.txt",
     {{"", {"Lauf haelt vor Zeile 6", "MOTOR2 <<< LINKS (R)"}},
      {"8", {"NOTAUS beta", "Lauf abgebrochen (Exit-Code 12)", "MOTOR2      aus"}, {";ZWEI;"}},
      {"q", {}}},
     12,
     Liste{"NNNN", "NNNN", "NNNN", "NNNN", "NRNN", "NRNN", "NNNN", "NNNN", "NNNN"}},
    // + slows the run down, - speeds it up.
    {"Fall4",
     "80x24 --port=sim --halt=1 k.txt p.txt",
     {{"", {"Lauf haelt vor Zeile 1"}},
      {"+ + + + +", {"+/- Tempo 3 s"}},
      {"F5", {";EINS;", "Zeitlupe 3 s", "Zeile 3: ; Kommentar"}, {"MOTOR2 <<< LINKS"}},
      {"- - - -", {"Tempo 0 s", ";ZWEI;"}},
      {"1", {"Lauf beendet (Exit-Code 0)"}},
      {"q", {}}},
     0},
    // Real key codes drive the demo to the motor states its scenario gives.
    {"KeysDriveTheDemoAsItsScenarioDoes",
     "100x35 --sim=start.sim k.txt p.txt",
     {{"", {"druecken...", "scharf auf SCHALTER8", "> ANALOG1  100"}},
      {"-l weiter", {"druecken...weiter", "Der Lauf wartet"}},
      {"Enter", {"---> 0 gesetzt", "MOTOR1 RECHTS (L) >>>"}},
      {"1", {"1 Klicks!"}},
      {"1", {"losgelassen"}},
      {"1", {"Klicks erreicht"}},
      {"1", {"PRESSEN", "MOTOR1      aus", "MOTOR2 <<< LINKS (R)", "1 [ ] offen"}},
      {"PPage PPage Up Up PPage Down", {"> ANALOG1  410", "DRUCK_HOCH", "MOTOR3 <<< LINKS (R)"}},
      {"2", {"2 [X] zu"}},
      {"2", {"Lauf beendet (Exit-Code 0)", "FERTIG", "MOTOR3      aus"}},
      {"q", {}}},
     0,
     std::nullopt,
     {},
     LiesDatei(kDemo + ".txt"),
     "",
     "ELSE\r\n",
     "--sim=" + kDemo + ".szenario"},
    // Without a UTF-8 locale the terminal gets '?' for non-ASCII; Esc stops as Ctrl-C; six files.
    {"AsciiTerminalAndEscStopsTheMotors",
     "80x24 --port=sim k.txt p.txt a b c d",
     {{"", {";GR??TE;", "MOTOR1 <<< LINKS (R)", "1 [ ] offen", "Esc Stopp"}}, {"Escape", {}}},
     128 + SIGINT,
     Liste{"NNNN", "NNNN", "NNNN", "NNNN", "RNNN", "NNNN", "NNNN", "NNNN", "NNNN"},
     {"TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet"},
     "EINSCHALTEN MOTOR1 LINKS\nMELDUNG GR\xD6\xDFTE\nBIS SCHALTER1 = 1\nENDE_BIS\n",
     "LC_ALL=C"},
    // The lines around the running one fill the rows a terminal offers, with editor line
    // numbers, long lines cut at the edge and the next row the next line. Without a breakpoint
    // or a key the port log is that of the run without the panel.
    {"SourceViewFillsTheTerminal80x24",
     "80x24 --port=sim --halt=15 k.txt p.txt",
     {{"",
       {"Zeile 15: MELDUNG L15", "   13   MELDUNG L13", "   17   MELDUNG L17",
        "   16   MELDUNG L16 " + std::string(59, 'X') + "\n    17   "},
       {"   12   ", "   18   "}},
      {"F5 q", {}}},
     0,
     std::nullopt,
     {},
     kQuelle},
    {"SourceViewFillsTheTerminal120x40",
     "120x40 --port=sim k.txt p.txt",
     {{"",
       {"Lauf beendet", "   21   MELDUNG L21", "   33 > AUSSCHALTEN MOTOR1",
        "   25   MELDUNG L25 " + std::string(99, 'X') + "\n    26   "},
       {"   20   "}},
      {"q", {}}},
     0,
     std::nullopt,
     {},
     kQuelle,
     "",
     "",
     "--port=sim",
     true},
    {"TooSmallATerminalEndsBeforeAnythingIsSent",
     "79x30 --port=sim k.txt p.txt",
     {},
     12,
     Liste{},
     {"mindestens 80x24 Zeichen", "79x30"},
     "MELDUNG A\n"},
};

class PanelHaltTest : public ::testing::TestWithParam<Terminalfall> {
  protected:
    void SetUp() override {
        if (std::system("command -v tmux >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "tmux fehlt";
        }
    }

    TempVerzeichnis dir;
    Tmux tmux{dir};
};

TEST_P(PanelHaltTest, HeldAndStepped) {
    const Terminalfall& fall = GetParam();
    SchreibeDatei(dir / "k.txt", fall.datei);
    SchreibeDatei(dir / "start.sim", "start analog 1 100\nstart analog 2 40\n");
    int breite = 0, hoehe = 0;
    ASSERT_EQ(std::sscanf(fall.aufruf.c_str(), "%dx%d", &breite, &hoehe), 2);
    ASSERT_TRUE(
        tmux.Starte("--panel --port-log=panel.log " + fall.aufruf.substr(fall.aufruf.find(' ')),
                    breite, hoehe, fall.umgebung));
    for (const Schritt& schritt : fall.schritte) {
        if (!schritt.tasten.empty()) {
            tmux.Tasten(schritt.tasten);
        }
        ASSERT_TRUE(tmux.WarteAuf(schritt.sichtbar)) << schritt.tasten;
        for (const std::string& nicht : schritt.fehlt) {
            EXPECT_EQ(tmux.letztes.find(nicht), std::string::npos) << nicht << "\n" << tmux.letztes;
        }
    }
    EXPECT_EQ(tmux.Exitcode(), fall.code);
    // The terminal's own screen is back, its history holds what the run reported.
    EXPECT_EQ(tmux.Ausgabe("display -t panel -p '#{alternate_on}'"), "0\n");
    EXPECT_TRUE(tmux.WarteAuf(fall.verlauf, true));
    EXPECT_EQ(LiesDatei(dir / "p.txt"), fall.protokoll);
    const std::string log = LiesDatei(dir / "panel.log");
    if (fall.motoren) {
        EXPECT_EQ(std::filesystem::exists(dir / "panel.log"), !fall.motoren->empty());
        EXPECT_EQ(Motorzustaende(log), *fall.motoren);
    }
    if (!fall.ohne.empty()) {
        const Aufruf ohne = StarteTaktler({fall.ohne, "--port-log=ohne.log", "k.txt", "p2.txt"},
                                          dir.pfad(), "weiter\n");
        ASSERT_EQ(ohne.code, 0) << ohne.fehler;
        const std::string ohneLog = LiesDatei(dir / "ohne.log");
        EXPECT_TRUE(fall.ganz ? log == ohneLog : Motorzustaende(log) == Motorzustaende(ohneLog));
    }
}

INSTANTIATE_TEST_SUITE_P(Faelle, PanelHaltTest, ::testing::ValuesIn(kTerminalfaelle),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace taktler::test
