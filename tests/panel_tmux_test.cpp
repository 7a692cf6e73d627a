// The panel in a real terminal: tmux runs the program, types the keys and reads the screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

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

// A tmux server of its own, killed with the program's process group before dir goes.
class Tmux {
  public:
    explicit Tmux(const TempVerzeichnis& dir)
        : dir_(dir),
          basis_("tmux -L taktler-test-" + std::to_string(getpid()) + "-" +
                 std::to_string(++zaehler_)) {
        SchreibeDatei(dir / "tmux.conf",
                      "set -g remain-on-exit on\nset -g default-terminal screen\n");
    }
    ~Tmux() {
        const pid_t gruppe = std::atoi(Ausgabe("list-panes -F '#{pane_pid}'").c_str());
        if (gruppe > 1) {
            kill(-gruppe, SIGKILL);
            for (int i = 0; i < 250 && kill(-gruppe, 0) == 0; ++i) {
                std::this_thread::sleep_for(20ms);
            }
        }
        std::system((basis_ + " kill-server >/dev/null 2>&1").c_str());
    }

    bool Starte(const std::string& argumente, int breite, int hoehe,
                const std::string& umgebung = "") {
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
        if (FILE* p = popen((basis_ + " " + befehl).c_str(), "r")) {
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

class PanelTmuxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v tmux >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "tmux fehlt";
        }
    }

    TempVerzeichnis dir;
    Tmux tmux{dir};
};

// Real key codes drive the demo to the motor states its scenario gives.
TEST_F(PanelTmuxTest, KeysDriveTheDemoAsItsScenarioDoes) {
    const std::string demo = std::string(TAKTLER_QUELLEN) + "/examples/panel_demo";
    SchreibeDatei(dir / "start.sim", "start analog 1 100\nstart analog 2 40\n");
    ASSERT_TRUE(tmux.Starte(
        "--panel --sim=start.sim --port-log=panel.log " + Quote(demo + ".txt") + " p.txt", 100,
        35));
    ASSERT_TRUE(tmux.WarteAuf({"druecken...", "scharf auf SCHALTER8", "> ANALOG1  100"}));
    tmux.Tasten("-l weiter");
    ASSERT_TRUE(tmux.WarteAuf({"druecken...weiter", "Der Lauf wartet"}));
    tmux.Tasten("Enter");
    ASSERT_TRUE(tmux.WarteAuf({"---> 0 gesetzt", "MOTOR1 <<< L links"}));
    for (const char* gesehen : {"1 Klicks!", "losgelassen", "Klicks erreicht"}) {
        tmux.Tasten("1");
        ASSERT_TRUE(tmux.WarteAuf({gesehen}));
    }
    tmux.Tasten("1");
    ASSERT_TRUE(tmux.WarteAuf({"PRESSEN", "MOTOR1     aus", "MOTOR2 rechts R >>>", "1 [ ] offen"}));
    tmux.Tasten("PPage PPage Up Up PPage Down");
    ASSERT_TRUE(tmux.WarteAuf({"> ANALOG1  410", "DRUCK_HOCH", "MOTOR3 rechts R >>>"}));
    tmux.Tasten("2");
    ASSERT_TRUE(tmux.WarteAuf({"2 [X] zu"}));
    tmux.Tasten("2");
    ASSERT_TRUE(tmux.WarteAuf({"Lauf beendet (Exit-Code 0)", "FERTIG", "MOTOR3     aus"}));
    tmux.Tasten("q");
    ASSERT_EQ(tmux.Exitcode(), 0);
    EXPECT_EQ(tmux.Ausgabe("display -t panel -p '#{alternate_on}'"), "0\n");
    Aufruf beispiel = StarteTaktler(
        {"--sim=" + demo + ".szenario", "--port-log=beispiel.log", demo + ".txt", "p-b.txt"},
        dir.pfad(), "weiter\n");
    EXPECT_EQ(beispiel.code, 0) << beispiel.fehler;
    EXPECT_EQ(Motorzustaende(LiesDatei(dir / "panel.log")),
              Motorzustaende(LiesDatei(dir / "beispiel.log")));
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
}

// Without a UTF-8 locale the terminal gets '?' for non-ASCII; Esc stops as Ctrl-C; six files.
TEST_F(PanelTmuxTest, AsciiTerminalAndEscStopsTheMotors) {
    SchreibeDatei(dir / "k.txt",
                  "EINSCHALTEN MOTOR1 LINKS\nMELDUNG GR\xD6\xDFTE\nBIS SCHALTER1 = 1\nENDE_BIS\n");
    ASSERT_TRUE(tmux.Starte("--panel --port=sim --port-log=panel.log k.txt p.txt a b c d", 80, 24,
                            "LC_ALL=C"));
    ASSERT_TRUE(tmux.WarteAuf({";GR??TE;", "MOTOR1 rechts R >>>", "1 [ ] offen", "Esc Stopp"}));
    tmux.Tasten("Escape");
    EXPECT_EQ(tmux.Exitcode(), 128 + 2);
    EXPECT_EQ(tmux.Ausgabe("display -t panel -p '#{alternate_on}'"), "0\n");
    EXPECT_EQ(Motorzustaende(LiesDatei(dir / "panel.log")).back(), "NNNN");
    EXPECT_TRUE(tmux.WarteAuf({"TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet"}, true));
}

TEST_F(PanelTmuxTest, TooSmallATerminalEndsBeforeAnythingIsSent) {
    SchreibeDatei(dir / "k.txt", "MELDUNG A\n");
    ASSERT_TRUE(tmux.Starte("--panel --port=sim --port-log=panel.log k.txt p.txt", 79, 30));
    EXPECT_EQ(tmux.Exitcode(), 12);
    EXPECT_TRUE(tmux.WarteAuf({"mindestens 80x24 Zeichen", "79x30"}, true));
    EXPECT_FALSE(std::filesystem::exists(dir / "panel.log"));
}

}  // namespace
}  // namespace taktler::test
