// Ctrl-C, termination and hang-up sent to the built program wherever a run may wait.
#include "services/unterbrechung.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace std::chrono_literals;

// Where the run waits: the lines after two motors start, its port log and protocol ("fifo" is a
// FIFO, with "lesen" a reader that reads only once the motors are off), and where the wait
// shows: a text in a file, or else a system call.
struct Fall {
    int signal;
    const char* zeilen;
    const char* log;
    const char* protokoll;
    const char* datei;
    const char* zeichen;
    long wartet = SYS_openat;
    bool lesen = false;
    bool zweimal = false;  // a second signal right after the first
};
void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.signal << " " << f.zeilen << " " << f.log << " " << f.protokoll;
}

class UnterbrechungTest : public ::testing::TestWithParam<Fall> {
  protected:
    void TearDown() override {
        if (faden.joinable()) {
            if (Pid() > 0 && !DateiExistiert(dir / "code")) {
                kill(Pid(), SIGKILL);
            }
            faden.join();
        }
        ::close(ein);
    }
    pid_t Pid() const { return std::atoi(LiesDatei(dir / "pid").c_str()); }
    // Seen waiting in this system call three times in a row.
    bool WartetIn(long nummer) const {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(20ms);
            std::ifstream f("/proc/" + std::to_string(Pid()) + "/syscall");
            long n = -1;
            if (!(f >> n) || n != nummer) {
                return false;
            }
        }
        return true;
    }
    bool WarteBis(const std::function<bool()>& bereit) const {
        for (auto ende = std::chrono::steady_clock::now() + 30s;;
             std::this_thread::sleep_for(10ms)) {
            if (bereit()) {
                return true;
            }
            if (DateiExistiert(dir / "code") || std::chrono::steady_clock::now() > ende) {
                return false;
            }
        }
    }

    TempVerzeichnis dir;
    int ein = -1;
    std::thread faden;
};

TEST_P(UnterbrechungTest, MotorsGoOffAndTheRunEndsByTheSignal) {
    const Fall& f = GetParam();
    const bool terminal = std::string(f.datei) == "terminal";
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\n";
    for (int i = 0; i < (*f.zeilen == '*' ? 20'000 : 0); ++i) {
        kommandos += "ELSE\n";  // more than the FIFO holds
    }
    kommandos += *f.zeilen == '*' ? "" : f.zeilen;
    SchreibeDatei(dir / "k.txt", kommandos + "MELDUNG NIE\n");
    const int fifo = f.lesen ? ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK) : -1;
    // Standard input is the FIFO "ein", held open so that PAUSE waits.
    ASSERT_EQ(::mkfifo((dir / "ein").c_str(), 0600), 0);
    ein = ::open((dir / "ein").c_str(), O_RDWR);
    std::string lauf = "sh -c 'echo $$ >pid; exec \"$0\" \"$@\" <ein >aus 2>fehler' " +
                       Quote(TAKTLER_BINARY) + " --port=sim --port-log=" + f.log +
                       " --vcd=z.vcd k.txt " + f.protokoll + " 2>/dev/null; echo $? >code";
    if (terminal) {
        lauf = "script -qc " + Quote(lauf) + " /dev/null <ein >terminal";
    }
    faden = std::thread(
        [befehl = "cd " + Quote(dir.pfad()) + " && " + lauf] { StarteBegrenzt(befehl); });
    // The module line comes after the signal handlers are in place.
    ASSERT_TRUE(WarteBis([&] {
        return *f.datei != '\0'
                   ? LiesDatei(dir / f.datei).find(f.zeichen) != std::string::npos
                   : LiesDatei(dir / "fehler").find("TAKTLER 091200\n") != std::string::npos &&
                         WartetIn(f.wartet);
    })) << LiesDatei(dir / "fehler");
    kill(Pid(), f.signal);
    if (f.zweimal) {
        kill(Pid(), f.signal);
    }
    const std::string unterbrochen = std::string("TAKTLER unterbrochen (") +
                                     services::SignalName(f.signal) +
                                     "): alle Motoren ausgeschaltet\n";
    std::string portlog;
    if (f.lesen) {
        // The motors go off while the FIFO still waits for its reader.
        ASSERT_TRUE(WarteBis(
            [&] { return LiesDatei(dir / "fehler").find(unterbrochen) != std::string::npos; }));
        fcntl(fifo, F_SETFL, 0);
        char puffer[1 << 16];
        for (ssize_t n; (n = ::read(fifo, puffer, sizeof puffer)) > 0;) {
            portlog.append(puffer, static_cast<std::size_t>(n));
        }
        ::close(fifo);
    }
    faden.join();
    EXPECT_EQ(LiesDatei(dir / "code"), std::to_string(128 + f.signal) + "\n");
    EXPECT_EQ(LiesDatei(dir / "fehler"),
              "TAKTLER 091200\n" +
                  std::string(terminal ? "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, "
                                         "Warnung: Eingabedatei GIBTSNICHT.TXT: No such file or "
                                         "directory\n"
                                       : "") +
                  unterbrochen +
                  // The lines a write held when the signal broke into it are lost, and said so.
                  (f.wartet == SYS_write ? "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, "
                                           "Programmabbruch: Ausgabedatei fifo: Interrupted "
                                           "system call\n"
                                         : ""));
    EXPECT_EQ(LiesDatei(dir / "aus").find(" ENDE : "), std::string::npos);
    if (std::string(f.protokoll) == "p.txt") {
        EXPECT_EQ(LiesDatei(dir / "p.txt"),
                  kommandos.find("ELSE") != std::string::npos ? "ELSE\r\n" : "");
    }
    // The log ends with four whole frames switching motors 1 to 4 off, after the last command's.
    const std::vector<std::string> zeilen =
        Zeilen(f.lesen && *f.log == 'f' ? portlog : LiesDatei(dir / "port.log"));
    const std::string zustaende[] = {"RNLN", "NNLN", "NNLN", "NNNN", "NNNN"};
    ASSERT_GE(zeilen.size(), 125u);
    for (std::size_t i = 0; i < 125; ++i) {
        const std::string& z = zeilen[zeilen.size() - 125 + i];
        EXPECT_EQ(i % 25 == 24 ? z : z.substr(0, 6),
                  i % 25 == 24 ? "# Motoren " + zustaende[i / 25] : "W 378 ")
            << i;
    }
    EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), "NNNN"), "");
}

const char* const kSchleife = "ELSE\nBIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
INSTANTIATE_TEST_SUITE_P(
    Wartestellen, UnterbrechungTest,
    ::testing::Values(Fall{SIGTERM, kSchleife, "port.log", "p.txt", "port.log", "# Motoren RNLN\n",
                           SYS_openat, false, true},
                      Fall{SIGHUP, "ELSE\nPAUSE WARTEN\n", "port.log", "p.txt", "aus",
                           "ENTER druecken..."},
                      // A hang-up while INFO opens a FIFO ends the run as Ctrl-C does there.
                      Fall{SIGINT, "ELSE\nINFO fifo\n", "port.log", "p.txt", "", ""},
                      Fall{SIGHUP, "ELSE\nINFO fifo\n", "port.log", "p.txt", "", ""},
                      Fall{SIGTERM, "*", "port.log", "fifo", "", "", SYS_write, true},
                      Fall{SIGHUP, kSchleife + 5, "fifo", "p.txt", "", "", SYS_ppoll, true},
                      Fall{SIGINT, "INFO GIBTSNICHT.TXT\n", "port.log", "p.txt", "terminal",
                           "OK oder Abbrechen? [o/a] "}));

// Standard output into a pipe carries each line as it is printed (| tee).
TEST(StandardausgabeTest, PipeGetsEachLineAtOnce) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "MELDUNG SOFORT\nBIS ZEIT = 600000\nENDE_BIS\n");
    StarteBegrenzt("cd " + Quote(dir.pfad()) + " && " + Quote(TAKTLER_BINARY) +
                   " --port=sim k.txt p.txt 2>/dev/null | { head -n 1 >zeile; kill 0; }");
    EXPECT_NE(LiesDatei(dir / "zeile").find(";SOFORT;\n"), std::string::npos);
}

}  // namespace
}  // namespace taktler::test
