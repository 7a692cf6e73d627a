// Ctrl-C, termination and hang-up during a run: the built program on the
// simulated interface, signalled from outside while a motor turns.
#include "services/unterbrechung.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
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

// How the child's standard output and terminal are set up.
struct Kindoptionen {
    bool ausRohr = false;   // standard output into a pipe the test reads
    bool terminal = false;  // a terminal of its own as controlling terminal
};

// Starts taktler in dir with a pipe on standard input that stays open (so a
// PAUSE waits) and standard output and error in files.
class Kindprozess {
  public:
    Kindprozess(const std::vector<std::string>& argumente, const std::string& dir,
                Kindoptionen optionen = {})
        : aus_(dir + "/.stdout"), fehler_(dir + "/.stderr") {
        std::vector<std::string> args = {TAKTLER_BINARY};
        args.insert(args.end(), argumente.begin(), argumente.end());
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int rohr[2];
        int ausRohr[2] = {-1, -1};
        if (pipe2(rohr, O_CLOEXEC) != 0 || (optionen.ausRohr && pipe2(ausRohr, O_CLOEXEC) != 0)) {
            return;
        }
        std::string geraet;
        if (optionen.terminal) {
            terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0) {
                return;
            }
            geraet = ptsname(terminal_);
        }
        pid_ = fork();
        if (pid_ == 0) {
            int aus = optionen.ausRohr ? ausRohr[1]
                                       : open(aus_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int fehler = open(fehler_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            sigset_t leer;
            sigemptyset(&leer);
            sigprocmask(SIG_SETMASK, &leer, nullptr);
            DateigroesseBegrenzen();
            if (optionen.terminal) {
                int tty = setsid() < 0 ? -1 : open(geraet.c_str(), O_RDWR);
                if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) != 0) {
                    _exit(127);
                }
            }
            if (aus < 0 || fehler < 0 || chdir(dir.c_str()) != 0 || dup2(rohr[0], 0) < 0 ||
                dup2(aus, 1) < 0 || dup2(fehler, 2) < 0) {
                _exit(127);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(rohr[0]);
        eingabe_ = rohr[1];
        if (optionen.ausRohr) {
            close(ausRohr[1]);
            ausLeser_ = ausRohr[0];
            fcntl(ausLeser_, F_SETFL, O_NONBLOCK);
        }
        if (terminal_ >= 0) {
            fcntl(terminal_, F_SETFL, O_NONBLOCK);
        }
    }

    ~Kindprozess() {
        if (pid_ > 0 && !beendet_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
        for (int fd : {eingabe_, ausLeser_, terminal_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    bool Laeuft() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    std::string Ausgabe() {
        if (ausLeser_ >= 0) {
            Sammle(ausLeser_, ausGelesen_);
            return ausGelesen_;
        }
        return LiesDatei(aus_);
    }
    std::string Fehler() const { return LiesDatei(fehler_); }
    std::string Terminal() {
        Sammle(terminal_, terminalGelesen_);
        return terminalGelesen_;
    }
    // Whether it waits in this system call (an open, a write, a poll): seen
    // there three times in a row, not in passing.
    bool WartetIn(long nummer) const {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(20ms);
            std::ifstream f("/proc/" + std::to_string(pid_) + "/syscall");
            long n = -1;
            if (!(f >> n) || n != nummer) {
                return false;
            }
        }
        return true;
    }

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
    static void Sammle(int fd, std::string& ziel) {
        char puffer[4096];
        for (ssize_t n; (n = read(fd, puffer, sizeof puffer)) > 0;) {
            ziel.append(puffer, static_cast<std::size_t>(n));
        }
    }

    std::string aus_;
    std::string fehler_;
    pid_t pid_ = -1;
    int eingabe_ = -1;
    int ausLeser_ = -1;
    int terminal_ = -1;
    std::string ausGelesen_;
    std::string terminalGelesen_;
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

// Every wait of a run gives way to a signal: motors off, the end by that
// signal, and no report that blames a file for the interruption.
enum class Warten {
    KommandodateiOeffnen,  // the command file is a FIFO without a writer
    ProtokollOeffnen,      // the protocol file is a FIFO without a reader
    ProtokollSchreiben,    // ... whose reader stopped reading
    PortLogSchreiben,      // the port log is a FIFO whose reader stopped reading
    Rueckfrage,            // the OK/Abbrechen question on the terminal
};

struct Wartefall {
    const char* name;
    Warten warten;
    int signal;
};

void PrintTo(const Wartefall& f, std::ostream* os) {
    *os << f.name;
}

class WarteTest : public ::testing::TestWithParam<Wartefall> {
  protected:
    TempVerzeichnis dir;
};

TEST_P(WarteTest, SignalDuringTheWaitTakesTheInterruptPath) {
    const Wartefall& fall = GetParam();
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\n";
    std::vector<std::string> args = {"--port=sim", "--port-log=port.log", "k.txt", "p.txt"};
    int leser = -1;  // a reader of the FIFO that reads nothing
    long wartet = SYS_openat;
    switch (fall.warten) {
        case Warten::KommandodateiOeffnen:
            args[2] = "fifo";
            break;
        case Warten::ProtokollOeffnen:
            kommandos += "ELSE\n";
            args[3] = "fifo";
            break;
        case Warten::ProtokollSchreiben:
            for (int i = 0; i < 20'000; ++i) {
                kommandos += "ELSE\n";
            }
            args[3] = "fifo";
            wartet = SYS_write;
            break;
        case Warten::PortLogSchreiben:
            kommandos += "BIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
            args[1] = "--port-log=fifo";
            wartet = SYS_ppoll;
            break;
        case Warten::Rueckfrage:
            kommandos += "INFO GIBTSNICHT.TXT\n";
            break;
    }
    if (fall.warten == Warten::ProtokollSchreiben || fall.warten == Warten::PortLogSchreiben) {
        leser = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(leser, 0);
    }
    SchreibeDatei(dir / "k.txt", kommandos + "MELDUNG NIE\n");

    Kindprozess taktler(args, dir.pfad(), {false, fall.warten == Warten::Rueckfrage});
    ASSERT_TRUE(taktler.Laeuft());
    // The module line comes after the signal handlers are in place.
    bool bereit = taktler.WarteBis([&] {
        return fall.warten == Warten::Rueckfrage
                   ? taktler.Terminal().find("OK oder Abbrechen? [o/a] ") != std::string::npos
                   : taktler.Fehler().find("TAKTLER 091200\n") != std::string::npos &&
                         taktler.WartetIn(wartet);
    });
    ASSERT_TRUE(bereit) << taktler.Fehler();
    kill(taktler.Pid(), fall.signal);

    const std::string unterbrochen = std::string("TAKTLER unterbrochen (") +
                                     services::SignalName(fall.signal) +
                                     "): alle Motoren ausgeschaltet\n";
    std::string log;
    if (fall.warten == Warten::PortLogSchreiben) {
        // The motors go off while the log still waits for its reader.
        ASSERT_TRUE(taktler.WarteBis(
            [&] { return taktler.Fehler().find(unterbrochen) != std::string::npos; }));
        fcntl(leser, F_SETFL, 0);
        char puffer[1 << 16];
        for (ssize_t n; (n = ::read(leser, puffer, sizeof puffer)) > 0;) {
            log.append(puffer, static_cast<std::size_t>(n));
        }
    }
    std::optional<int> status = taktler.WarteAufEnde();
    if (leser >= 0) {
        ::close(leser);
    }
    ASSERT_TRUE(status.has_value()) << "no end within 30 s";
    ASSERT_TRUE(WIFSIGNALED(*status)) << "exit code " << WEXITSTATUS(*status) << "\n"
                                      << taktler.Fehler();
    EXPECT_EQ(WTERMSIG(*status), fall.signal);

    std::string erwartet = "TAKTLER 091200\n";
    if (fall.warten == Warten::Rueckfrage) {
        erwartet +=
            "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, Warnung: Eingabedatei "
            "GIBTSNICHT.TXT: No such file or directory\n";
    }
    erwartet += unterbrochen;
    if (fall.warten == Warten::ProtokollSchreiben) {
        // The lines the write held when the signal broke into it are lost, and said so.
        erwartet +=
            "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei "
            "fifo: Interrupted system call\n";
    }
    EXPECT_EQ(taktler.Fehler(), erwartet);
    EXPECT_EQ(taktler.Ausgabe().find(";NIE;"), std::string::npos);
    if (fall.warten != Warten::PortLogSchreiben) {
        log = LiesDatei(dir / "port.log");
    }
    const std::vector<std::string> motoren = Motorzustaende(log);
    ASSERT_FALSE(motoren.empty());
    EXPECT_EQ(motoren.back(), "NNNN");
}

INSTANTIATE_TEST_SUITE_P(
    Wartestellen, WarteTest,
    ::testing::Values(Wartefall{"KommandodateiOeffnen", Warten::KommandodateiOeffnen, SIGINT},
                      Wartefall{"ProtokollOeffnen", Warten::ProtokollOeffnen, SIGTERM},
                      Wartefall{"ProtokollSchreiben", Warten::ProtokollSchreiben, SIGTERM},
                      Wartefall{"PortLogSchreiben", Warten::PortLogSchreiben, SIGHUP},
                      Wartefall{"Rueckfrage", Warten::Rueckfrage, SIGINT}),
    [](const ::testing::TestParamInfo<Wartefall>& info) { return std::string(info.param.name); });

// Standard output into a pipe carries each line as it is printed (| tee).
TEST(StandardausgabeTest, PipeGetsEachLineAtOnce) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "MELDUNG SOFORT\nBIS ZEIT = 600000\nENDE_BIS\n");
    Kindprozess taktler({"--port=sim", "k.txt", "p.txt"}, dir.pfad(), {true, false});
    ASSERT_TRUE(taktler.Laeuft());
    EXPECT_TRUE(taktler.WarteBis([&] {
        return taktler.Ausgabe().find(";SOFORT;\n") != std::string::npos;
    })) << taktler.Ausgabe();
}

}  // namespace
}  // namespace taktler::test
