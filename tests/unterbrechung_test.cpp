// Ctrl-C, termination and hang-up: the built program on the simulated
// interface, signalled from outside wherever a run may wait.
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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace std::chrono_literals;

// Where the run waits when the signal comes: the lines after two motors are
// started, its files ("fifo" is a FIFO: as the command file without a
// writer, as the protocol without a reader, with "lesen" a reader that reads
// nothing until the motors are off), and how the test sees it wait: a text
// in a file, or else a system call.
struct Fall {
    int signal;
    const char* zeilen;
    const char* dateien;  // port log, command file, protocol
    const char* datei;    // where the waiting shows, or "" for the system call
    const char* zeichen;
    long wartet = SYS_openat;
    bool lesen = false;
    bool zweimal = false;  // a second signal right after the first
};
void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.signal << " " << f.zeilen << " " << f.dateien;
}

class UnterbrechungTest : public ::testing::TestWithParam<Fall> {
  protected:
    // Starts taktler in dir through StarteBegrenzt on a thread of its own,
    // with a terminal as controlling terminal when asked; its pid, output
    // and exit code go to files there. Standard input is the FIFO "ein",
    // held open by the test so that PAUSE waits.
    void Starte(const std::string& argumente, bool terminal) {
        ASSERT_EQ(::mkfifo((dir / "ein").c_str(), 0600), 0);
        ein = ::open((dir / "ein").c_str(), O_RDWR);
        std::string lauf = "sh -c 'echo $$ >pid; exec \"$0\" \"$@\" <ein >aus 2>fehler' " +
                           Quote(TAKTLER_BINARY) + " " + argumente + " 2>/dev/null; echo $? >code";
        if (terminal) {
            lauf = "script -qc " + Quote(lauf) + " /dev/null <ein >terminal";
        }
        faden = std::thread(
            [befehl = "cd " + Quote(dir.pfad()) + " && " + lauf] { StarteBegrenzt(befehl); });
    }
    void TearDown() override {
        if (faden.joinable()) {
            const pid_t p = Pid();
            if (p > 0 && !DateiExistiert(dir / "code")) {
                kill(p, SIGKILL);
            }
            faden.join();
        }
        ::close(ein);
    }
    pid_t Pid() const { return std::atoi(LiesDatei(dir / "pid").c_str()); }
    // Whether it waits in this system call: seen there three times in a row.
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
    // Polls until bereit() holds; false when the time is up or the run ended.
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
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\n";
    for (int i = 0; i < (*f.zeilen == '*' ? 20'000 : 0); ++i) {
        kommandos += "ELSE\n";  // more than the FIFO holds
    }
    kommandos += *f.zeilen == '*' ? "" : f.zeilen;
    SchreibeDatei(dir / "k.txt", kommandos + "MELDUNG NIE\n");
    std::istringstream dateien(f.dateien);
    std::string log, kommandodatei, protokoll;
    dateien >> log >> kommandodatei >> protokoll;
    const int fifo = f.lesen ? ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK) : -1;
    Starte("--port=sim --port-log=" + log + " --vcd=z.vcd " + kommandodatei + " " + protokoll,
           std::string(f.datei) == "terminal");
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

    std::string erwartet = "TAKTLER 091200\n";
    if (std::string(f.datei) == "terminal") {
        erwartet +=
            "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, Warnung: Eingabedatei "
            "GIBTSNICHT.TXT: No such file or directory\n";
    }
    erwartet += unterbrochen;
    if (f.wartet == SYS_write) {
        // The lines the write held when the signal broke into it are lost, and said so.
        erwartet +=
            "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei "
            "fifo: Interrupted system call\n";
    }
    EXPECT_EQ(LiesDatei(dir / "fehler"), erwartet);
    EXPECT_EQ(LiesDatei(dir / "aus").find(" ENDE : "), std::string::npos);
    if (protokoll == "p.txt") {
        EXPECT_EQ(LiesDatei(dir / "p.txt"),
                  kommandos.find("ELSE") != std::string::npos ? "ELSE\r\n" : "");
    }

    // The log ends with four whole frames, motors 1 to 4 switched off in
    // turn, right after the frame the last command sent.
    const std::vector<std::string> zeilen =
        Zeilen(log == "fifo" ? portlog : LiesDatei(dir / "port.log"));
    ASSERT_GE(zeilen.size(), 5u * 25u);
    const std::vector<std::string> zustaende =
        kommandodatei == "fifo" ? std::vector<std::string>(5, "NNNN")
                                : std::vector<std::string>{"RNLN", "NNLN", "NNLN", "NNNN", "NNNN"};
    for (std::size_t rahmen = 0; rahmen < zustaende.size(); ++rahmen) {
        const std::size_t notiz = zeilen.size() - 1 - 25 * (zustaende.size() - 1 - rahmen);
        EXPECT_EQ(zeilen[notiz], "# Motoren " + zustaende[rahmen]) << "frame " << rahmen;
        for (std::size_t k = notiz - 24; k < notiz; ++k) {
            EXPECT_EQ(zeilen[k].rfind("W 378 ", 0), 0u) << k << ": " << zeilen[k];
        }
    }
    EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), "NNNN"), "");
}

const char* const kSchleife = "ELSE\nBIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
INSTANTIATE_TEST_SUITE_P(
    Wartestellen, UnterbrechungTest,
    ::testing::Values(
        Fall{SIGINT, kSchleife, "port.log k.txt p.txt", "port.log", "# Motoren RNLN\n"},
        Fall{SIGTERM, kSchleife, "port.log k.txt p.txt", "port.log", "# Motoren RNLN\n", SYS_openat,
             false, true},
        Fall{SIGHUP, "ELSE\nPAUSE WARTEN\n", "port.log k.txt p.txt", "aus", "ENTER druecken..."},
        Fall{SIGINT, "", "port.log fifo p.txt", "", ""},
        // A hang-up while INFO opens a FIFO ends the run as Ctrl-C does there.
        Fall{SIGINT, "ELSE\nINFO fifo\n", "port.log k.txt p.txt", "", ""},
        Fall{SIGHUP, "ELSE\nINFO fifo\n", "port.log k.txt p.txt", "", ""},
        Fall{SIGTERM, "ELSE\n", "port.log k.txt fifo", "", ""},
        Fall{SIGTERM, "*", "port.log k.txt fifo", "", "", SYS_write, true},
        Fall{SIGHUP, kSchleife + 5, "fifo k.txt p.txt", "", "", SYS_ppoll, true},
        // The OK/Abbrechen question on the terminal.
        Fall{SIGINT, "INFO GIBTSNICHT.TXT\n", "port.log k.txt p.txt", "terminal",
             "OK oder Abbrechen? [o/a] "}));

// Standard output into a pipe carries each line as it is printed (| tee):
// the reader ends the run once it has the first line.
TEST(StandardausgabeTest, PipeGetsEachLineAtOnce) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "MELDUNG SOFORT\nBIS ZEIT = 600000\nENDE_BIS\n");
    StarteBegrenzt("cd " + Quote(dir.pfad()) + " && " + Quote(TAKTLER_BINARY) +
                   " --port=sim k.txt p.txt 2>/dev/null | { head -n 1 >zeile; kill 0; }");
    EXPECT_NE(LiesDatei(dir / "zeile").find(";SOFORT;\n"), std::string::npos);
}

}  // namespace
}  // namespace taktler::test
