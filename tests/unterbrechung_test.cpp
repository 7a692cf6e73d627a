// Ctrl-C, termination and hang-up during a run: the built program on the
// simulated interface, signalled from outside while a motor turns.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace std::chrono_literals;

struct Signalfall {
    const char* name;
    int signal;
    const char* signalname;
    bool pause;    // waiting in PAUSE instead of a long BIS ZEIT loop
    bool zweimal;  // a second signal right after the first
};

void PrintTo(const Signalfall& f, std::ostream* os) {
    *os << f.name;
}

std::vector<std::string> Zeilen(const std::string& text) {
    std::vector<std::string> zeilen;
    std::istringstream s(text);
    for (std::string zeile; std::getline(s, zeile);) {
        zeilen.push_back(zeile);
    }
    return zeilen;
}

// Starts taktler in dir with a pipe on standard input that stays open (so a
// PAUSE waits) and standard output and error in files.
class Kindprozess {
  public:
    Kindprozess(const std::vector<std::string>& argumente, const std::string& dir)
        : aus_(dir + "/.stdout"), fehler_(dir + "/.stderr") {
        std::vector<std::string> args = {TAKTLER_BINARY};
        args.insert(args.end(), argumente.begin(), argumente.end());
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int rohr[2];
        if (pipe2(rohr, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            int aus = open(aus_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int fehler = open(fehler_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            sigset_t leer;
            sigemptyset(&leer);
            sigprocmask(SIG_SETMASK, &leer, nullptr);
            DateigroesseBegrenzen();
            if (aus < 0 || fehler < 0 || chdir(dir.c_str()) != 0 || dup2(rohr[0], 0) < 0 ||
                dup2(aus, 1) < 0 || dup2(fehler, 2) < 0) {
                _exit(127);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(rohr[0]);
        eingabe_ = rohr[1];
    }

    ~Kindprozess() {
        if (pid_ > 0 && !beendet_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
        if (eingabe_ >= 0) {
            close(eingabe_);
        }
    }

    bool Laeuft() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    std::string Ausgabe() const { return LiesDatei(aus_); }
    std::string Fehler() const { return LiesDatei(fehler_); }

    // Polls until bereit() holds; false when the time is up or the program ended.
    bool WarteBis(const std::function<bool()>& bereit) {
        for (auto ende = std::chrono::steady_clock::now() + 30s;
             std::chrono::steady_clock::now() < ende; std::this_thread::sleep_for(10ms)) {
            if (bereit()) {
                return true;
            }
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                beendet_ = true;
                return false;
            }
        }
        return false;
    }

    // The wait status once it ended; kills it after 30 s.
    std::optional<int> WarteAufEnde() {
        for (auto ende = std::chrono::steady_clock::now() + 30s;
             std::chrono::steady_clock::now() < ende; std::this_thread::sleep_for(10ms)) {
            if (beendet_ || waitpid(pid_, &status_, WNOHANG) == pid_) {
                beendet_ = true;
                return status_;
            }
        }
        return std::nullopt;
    }

  private:
    std::string aus_;
    std::string fehler_;
    pid_t pid_ = -1;
    int eingabe_ = -1;
    int status_ = 0;
    bool beendet_ = false;
};

class UnterbrechungTest : public ::testing::TestWithParam<Signalfall> {
  protected:
    TempVerzeichnis dir;
    std::string log = dir / "port.log";
};

TEST_P(UnterbrechungTest, MotorsGoOffAndTheProgramEndsByTheSignal) {
    const Signalfall& fall = GetParam();
    // LINKS drives 'R', RECHTS 'L': motors 1 and 3 turn, state RNLN.
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\nELSE\n";
    kommandos +=
        fall.pause ? "PAUSE WARTEN\n" : "BIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
    kommandos += "MELDUNG NIE\n";
    SchreibeDatei(dir / "k.txt", kommandos);

    Kindprozess taktler({"--port=sim", "--port-log=" + log, "--vcd=z.vcd", "k.txt", "p.txt"},
                        dir.pfad());
    ASSERT_TRUE(taktler.Laeuft());
    // PAUSE flushes its prompt; the loop's frames soon fill the log's buffer.
    bool bereit = taktler.WarteBis([&] {
        return fall.pause ? taktler.Ausgabe().find("ENTER druecken...") != std::string::npos
                          : LiesDatei(log).find("# Motoren RNLN\n") != std::string::npos;
    });
    ASSERT_TRUE(bereit) << taktler.Fehler();
    kill(taktler.Pid(), fall.signal);
    if (fall.zweimal) {
        kill(taktler.Pid(), fall.signal);
    }
    std::optional<int> status = taktler.WarteAufEnde();
    ASSERT_TRUE(status.has_value()) << "no end within 30 s";
    ASSERT_TRUE(WIFSIGNALED(*status)) << "exit code " << WEXITSTATUS(*status);
    EXPECT_EQ(WTERMSIG(*status), fall.signal);

    EXPECT_EQ(taktler.Fehler(), std::string("TAKTLER 091200\nTAKTLER unterbrochen (") +
                                    fall.signalname + "): alle Motoren ausgeschaltet\n");
    EXPECT_EQ(taktler.Ausgabe().find(";NIE;"), std::string::npos);
    EXPECT_EQ(taktler.Ausgabe().find(" ENDE : "), std::string::npos);
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");

    // The log ends with four whole frames, motors 1 to 4 switched off in
    // turn, right after the frame the last command sent.
    std::vector<std::string> zeilen = Zeilen(LiesDatei(log));
    ASSERT_GE(zeilen.size(), 5u * 25u);
    const std::vector<std::string> zustaende = {"RNLN", "NNLN", "NNLN", "NNNN", "NNNN"};
    for (std::size_t rahmen = 0; rahmen < zustaende.size(); ++rahmen) {
        std::size_t notiz = zeilen.size() - 1 - 25 * (zustaende.size() - 1 - rahmen);
        EXPECT_EQ(zeilen[notiz], "# Motoren " + zustaende[rahmen]) << "frame " << rahmen;
        for (std::size_t k = notiz - 24; k < notiz; ++k) {
            EXPECT_EQ(zeilen[k].rfind("W 378 ", 0), 0u) << k << ": " << zeilen[k];
        }
    }
    EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), "NNNN"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Signale, UnterbrechungTest,
    ::testing::Values(Signalfall{"SigintImZeitloop", SIGINT, "SIGINT", false, false},
                      Signalfall{"SigtermImZeitloop", SIGTERM, "SIGTERM", false, false},
                      Signalfall{"ZweimalSigint", SIGINT, "SIGINT", false, true},
                      Signalfall{"SigintInPause", SIGINT, "SIGINT", true, false},
                      Signalfall{"SighupInPause", SIGHUP, "SIGHUP", true, false}),
    [](const ::testing::TestParamInfo<Signalfall>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace taktler::test
