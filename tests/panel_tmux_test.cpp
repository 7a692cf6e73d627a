// The panel in a real terminal: tmux runs the program, types the keys and
// reads the screen. The run it drives must equal a run driven by a scenario.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace std::chrono_literals;

std::string Ausgabe(const std::string& befehl) {
    std::string text;
    if (FILE* p = popen(befehl.c_str(), "r")) {
        std::array<char, 4096> puffer{};
        std::size_t n = 0;
        while ((n = std::fread(puffer.data(), 1, puffer.size(), p)) > 0) {
            text.append(puffer.data(), n);
        }
        pclose(p);
    }
    return text;
}

// One tmux server of its own, gone with the object (and the program in it).
class Tmux {
  public:
    explicit Tmux(const TempVerzeichnis& dir)
        : basis_("tmux -L taktler-test-" + std::to_string(getpid()) + "-" +
                 std::to_string(++zaehler_)),
          konfig_(dir / "tmux.conf") {
        // The pane stays after the program ends, for what it printed then.
        SchreibeDatei(konfig_, "set -g remain-on-exit on\nset -g default-terminal screen\n");
    }
    // The program in the pane is killed with its whole process group, and
    // gone, before the server and then the test's directory go.
    ~Tmux() {
        const pid_t gruppe = std::atoi(Ausgabe(basis_ + " list-panes -F '#{pane_pid}'").c_str());
        if (gruppe > 1) {
            kill(-gruppe, SIGKILL);
            for (int i = 0; i < 250 && kill(-gruppe, 0) == 0; ++i) {
                std::this_thread::sleep_for(20ms);
            }
        }
        std::system((basis_ + " kill-server >/dev/null 2>&1").c_str());
    }

    static bool Vorhanden() { return std::system("command -v tmux >/dev/null 2>&1") == 0; }

    bool Starte(const std::string& befehl, int breite, int hoehe) {
        return std::system((basis_ + " -f " + Quote(konfig_) + " new-session -d -s panel -x " +
                            std::to_string(breite) + " -y " + std::to_string(hoehe) + " " +
                            Quote(befehl))
                               .c_str()) == 0;
    }
    std::string Bild(bool mitVerlauf = false) const {
        return Ausgabe(basis_ + " capture-pane -p -t panel" + (mitVerlauf ? " -S -1000" : ""));
    }
    void Tasten(const std::string& tasten) const {
        std::system((basis_ + " send-keys -t panel " + tasten).c_str());
    }
    // Polls the screen until it shows all texts; false after the time limit.
    bool WarteAuf(const std::vector<std::string>& texte, bool mitVerlauf = false) {
        auto ende = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < ende) {
            letztes = Bild(mitVerlauf);
            bool alle = true;
            for (const auto& t : texte) {
                alle = alle && letztes.find(t) != std::string::npos;
            }
            if (alle) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    std::string letztes;

  private:
    static inline int zaehler_ = 0;
    std::string basis_;
    std::string konfig_;
};

// Waits for the program in the pane to end; its exit code, or -1.
int Exitcode(const std::string& datei) {
    auto ende = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < ende) {
        std::string code = LiesDatei(datei);
        if (!code.empty() && code.back() == '\n') {
            return std::atoi(code.c_str());
        }
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

// The inputs a run met, read back from its port log, as the scenario that
// gives them to a run at the same input reads and measurements: the eight
// switches after each input load (switch 8 first), the rising edges after
// each analog trigger.
std::string SzenarioAusLog(const std::string& log) {
    std::ostringstream szenario;
    int daten = 0;
    std::uint64_t abfragen = 0;
    std::uint64_t messungen = 0;
    std::array<bool, 8> schalter{};
    std::array<bool, 8> gelesen{};
    int bits = 8;  // reads still due for the running input read
    int eingang = 0;
    int kanten = 0;
    bool hoch = true;
    std::array<int, 3> analog{};
    auto messungEnde = [&] {
        if (eingang != 0 && kanten != analog[eingang]) {
            analog[eingang] = kanten;
            szenario << "messung " << messungen << " analog " << eingang << " " << kanten << "\n";
        }
        eingang = 0;
    };
    std::istringstream s(log);
    std::string zeile;
    while (std::getline(s, zeile)) {
        if (zeile.rfind("R 379 ", 0) == 0) {
            int status = std::stoi(zeile.substr(6), nullptr, 16);
            if (bits < 8) {
                gelesen[7 - bits] = (status & 0x20) != 0;
                if (++bits == 8 && gelesen != schalter) {
                    for (int k = 0; k < 8; ++k) {
                        if (gelesen[k] != schalter[k]) {
                            szenario << "abfrage " << abfragen << " schalter " << k + 1
                                     << (gelesen[k] ? " an\n" : " aus\n");
                        }
                    }
                    schalter = gelesen;
                }
            } else if (eingang != 0) {
                bool jetzt = (status & 0x10) != 0;
                kanten += !hoch && jetzt ? 1 : 0;
                hoch = jetzt;
            }
            continue;
        }
        int neu = 0;
        if (zeile.rfind("W 378 ", 0) == 0) {
            neu = std::stoi(zeile.substr(6), nullptr, 16);
        } else if (zeile.rfind("W16 378 ", 0) == 0) {
            neu = std::stoi(zeile.substr(8), nullptr, 16) & 0xFF;
        } else {
            continue;
        }
        const bool rahmen = (neu & 0xF0) == 0xF0 && (neu & 0x02) != 0;
        if (!rahmen && (daten & 0x08) == 0 && (neu & 0x08) != 0 && (neu & 0x02) != 0) {
            messungEnde();
            ++abfragen;
            bits = 0;
        }
        const int auswahl = neu & 0x30;
        if (neu != daten && (neu & 0x01) != 0 && (auswahl == 0x10 || auswahl == 0x20)) {
            messungEnde();
            ++messungen;
            eingang = auswahl == 0x20 ? 1 : 2;
            kanten = 0;
            hoch = true;
        }
        daten = neu;
    }
    messungEnde();
    return szenario.str();
}

// The first line where two logs differ, for a readable failure.
std::string ErsterUnterschied(const std::string& a, const std::string& b) {
    std::vector<std::string> za = Zeilen(a);
    std::vector<std::string> zb = Zeilen(b);
    for (std::size_t i = 0; i < std::max(za.size(), zb.size()); ++i) {
        std::string x = i < za.size() ? za[i] : "(Ende)";
        std::string y = i < zb.size() ? zb[i] : "(Ende)";
        if (x != y) {
            return "Zeile " + std::to_string(i + 1) + ": " + x + " / " + y;
        }
    }
    return "gleich";
}

// Lines as a person reads them: time stamps masked, trailing blanks cut,
// tmux's own last line and the empty rows after the text dropped.
std::vector<std::string> Lesbar(const std::string& text) {
    static const std::regex stempel(R"(\d{8}\.\d\d:\d\d:\d\d)");
    static const std::regex datum(R"(am \d\d\.\d\d\.\d{4} um \d\d\.\d\d\.\d\d)");
    std::vector<std::string> zeilen;
    for (std::string z : Zeilen(text)) {
        z = std::regex_replace(std::regex_replace(z, stempel, "ZEIT"), datum, "DATUM");
        z.erase(z.find_last_not_of(' ') + 1);
        if (z.rfind("Pane is dead", 0) != 0) {
            zeilen.push_back(z);
        }
    }
    while (!zeilen.empty() && zeilen.back().empty()) {
        zeilen.pop_back();
    }
    return zeilen;
}

class PanelTmuxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Tmux::Vorhanden()) {
            GTEST_SKIP() << "tmux fehlt";
        }
    }
    // The program in the pane, killed after two minutes; its exit code lands
    // in code.txt.
    std::string Befehl(const std::string& argumente) const {
        return "cd " + Quote(dir.pfad()) + " && timeout --foreground -s KILL 120 " +
               Quote(TAKTLER_BINARY) + " " + argumente + "; echo $? > code.txt";
    }

    TempVerzeichnis dir;
    Tmux tmux{dir};
    const std::string demo = std::string(TAKTLER_QUELLEN) + "/examples/panel_demo";
};

TEST_F(PanelTmuxTest, KeysDriveTheDemoAndTheRunEqualsTheScenarioDrivenOne) {
    // Non-zero analog values from the start keep the measurements few.
    SchreibeDatei(dir / "start.sim", "start analog 1 100\nstart analog 2 40\n");
    ASSERT_TRUE(tmux.Starte(
        Befehl("--panel --sim=start.sim --port-log=panel.log " + Quote(demo + ".txt") + " p.txt"),
        100, 35));

    ASSERT_TRUE(tmux.WarteAuf({"druecken...", "scharf auf SCHALTER8", "> ANALOG1  100"}))
        << tmux.letztes;
    tmux.Tasten("-l weiter");
    ASSERT_TRUE(tmux.WarteAuf({"druecken...weiter"})) << tmux.letztes;
    tmux.Tasten("Enter");
    ASSERT_TRUE(tmux.WarteAuf({"---> 0 gesetzt", "MOTOR1 <<< L links"})) << tmux.letztes;
    // Two clicks of switch 1, each key once the run has seen the one before.
    for (const char* gesehen : {"1 Klicks!", "losgelassen", "Klicks erreicht"}) {
        tmux.Tasten("1");
        ASSERT_TRUE(tmux.WarteAuf({gesehen})) << tmux.letztes;
    }
    tmux.Tasten("1");
    ASSERT_TRUE(tmux.WarteAuf({"PRESSEN", "MOTOR1     aus", "MOTOR2 rechts R >>>", "1 [ ] offen"}))
        << tmux.letztes;
    // The pressure loop ends once the keys raise analog 1.
    tmux.Tasten("PPage PPage PPage");
    ASSERT_TRUE(tmux.WarteAuf({"> ANALOG1  400", "DRUCK_HOCH", "MOTOR3 rechts R >>>"}))
        << tmux.letztes;
    tmux.Tasten("2");
    ASSERT_TRUE(tmux.WarteAuf({"2 [X] zu"})) << tmux.letztes;
    tmux.Tasten("2");
    ASSERT_TRUE(tmux.WarteAuf(
        {"Lauf beendet (Exit-Code 0)", "FERTIG", "TAKTLER 091200 ENDE", "MOTOR3     aus"}))
        << tmux.letztes;
    tmux.Tasten("q");
    ASSERT_EQ(Exitcode(dir / "code.txt"), 0);
    // The exit code is written once the program has ended, so all it printed
    // is in the pane; tmux may mark the pane dead only later under load.
    ASSERT_TRUE(tmux.WarteAuf({"ENDE : am"}, true)) << tmux.letztes;
    const std::string nachher = tmux.letztes;
    const std::string panelLog = LiesDatei(dir / "panel.log");

    // The same inputs at the same reads, now from a scenario: the same bytes.
    SchreibeDatei(dir / "nachgestellt.sim", SzenarioAusLog(panelLog));
    Aufruf nach = StarteTaktler(
        {"--sim=nachgestellt.sim", "--port-log=nach.log", demo + ".txt", "p-nach.txt"}, dir.pfad(),
        "weiter\n");
    EXPECT_EQ(nach.code, 0) << nach.fehler;
    const std::string nachLog = LiesDatei(dir / "nach.log");
    EXPECT_TRUE(nachLog == panelLog) << ErsterUnterschied(panelLog, nachLog);
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
    EXPECT_EQ(LiesDatei(dir / "p-nach.txt"), LiesDatei(dir / "p.txt"));

    // What the run printed reaches the terminal once the panel has closed,
    // as on a terminal without it: the typed answer after the prompt.
    std::string erwartet = nach.fehler + nach.aus;
    std::string prompt = "druecken...";
    erwartet.insert(erwartet.find(prompt) + prompt.size(), "weiter\n");
    EXPECT_EQ(Lesbar(nachher), Lesbar(erwartet));

    // The example's own scenario stands for the same run.
    Aufruf beispiel = StarteTaktler(
        {"--sim=" + demo + ".szenario", "--port-log=beispiel.log", demo + ".txt", "p-beispiel.txt"},
        dir.pfad(), "weiter\n");
    EXPECT_EQ(beispiel.code, 0) << beispiel.fehler;
    EXPECT_EQ(Motorzustaende(LiesDatei(dir / "beispiel.log")), Motorzustaende(panelLog));
    EXPECT_EQ(LiesDatei(dir / "p-beispiel.txt"), LiesDatei(dir / "p.txt"));
}

TEST_F(PanelTmuxTest, EscStopsTheMotorsAndEndsLikeCtrlC) {
    SchreibeDatei(dir / "k.txt", "EINSCHALTEN MOTOR1 LINKS\nBIS SCHALTER1 = 1\nENDE_BIS\n");
    ASSERT_TRUE(tmux.Starte(Befehl("--panel --port=sim --port-log=panel.log k.txt p.txt"), 80, 24));
    ASSERT_TRUE(tmux.WarteAuf({"MOTOR1 rechts R >>>", "BIS SCHALTER1"})) << tmux.letztes;
    tmux.Tasten("Escape");
    EXPECT_EQ(Exitcode(dir / "code.txt"), 128 + 2);
    EXPECT_EQ(Motorzustaende(LiesDatei(dir / "panel.log")).back(), "NNNN");
    EXPECT_TRUE(tmux.WarteAuf({"TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet"}, true))
        << tmux.letztes;
}

TEST_F(PanelTmuxTest, TooSmallATerminalEndsBeforeAnythingIsSent) {
    SchreibeDatei(dir / "k.txt", "MELDUNG A\n");
    ASSERT_TRUE(tmux.Starte(Befehl("--panel --port=sim --port-log=panel.log k.txt p.txt"), 79, 30));
    EXPECT_EQ(Exitcode(dir / "code.txt"), 12);
    EXPECT_TRUE(tmux.WarteAuf({"mindestens 80x24 Zeichen", "79x30"}, true)) << tmux.letztes;
    EXPECT_FALSE(DateiExistiert(dir / "panel.log"));
}

// Without any terminal --panel refuses at once, before any port is opened.
TEST(PanelOhneTerminal, RefusesWithOneLineAndWritesNothing) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "MELDUNG A\n");
    for (const auto& [option, text] : std::vector<std::pair<std::string, std::string>>{
             {"--port=sim", "Standardeingabe und Standardausgabe sind keines"},
             {"--port=parport7", "Standardeingabe und Standardausgabe sind keines"}}) {
        Aufruf a =
            StarteTaktler({"--panel", option, "--port-log=port.log", "k.txt", "p.txt"}, dir.pfad());
        EXPECT_EQ(a.code, 12) << option;
        EXPECT_EQ(Zeilen(a.fehler).size(), 1u) << a.fehler;
        EXPECT_NE(a.fehler.find("taktler: --panel"), std::string::npos) << a.fehler;
        EXPECT_NE(a.fehler.find(text), std::string::npos) << a.fehler;
        EXPECT_FALSE(DateiExistiert(dir / "port.log")) << option;
    }
}

}  // namespace
}  // namespace taktler::test
