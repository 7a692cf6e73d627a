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
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using namespace std::chrono_literals;

enum class Warten {
    Zeitschleife,          // a long BIS ZEIT loop
    Pause,                 // PAUSE, standard input open without data
    KommandodateiOeffnen,  // the command file is a FIFO without a writer
    InfoOeffnen,           // INFO names a FIFO without a writer
    ProtokollOeffnen,      // the protocol file is a FIFO without a reader
    ProtokollSchreiben,    // ... whose reader stopped reading
    PortLogSchreiben,      // the port log is a FIFO whose reader stopped reading
    Rueckfrage,            // the OK/Abbrechen question on the terminal
};

struct Fall {
    const char* name;
    Warten warten;
    int signal;
    bool zweimal = false;  // a second signal right after the first
};

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
    std::string log = "port.log";
    std::string protokoll = "p.txt";
    std::string kommandodatei = "k.txt";
    long wartet = SYS_openat;
    switch (f.warten) {
        case Warten::Zeitschleife:
            kommandos += "ELSE\nBIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
            break;
        case Warten::Pause:
            kommandos += "ELSE\nPAUSE WARTEN\n";
            break;
        case Warten::KommandodateiOeffnen:
            kommandodatei = "fifo";
            break;
        case Warten::InfoOeffnen:
            kommandos += "ELSE\nINFO fifo\n";
            break;
        case Warten::ProtokollOeffnen:
            kommandos += "ELSE\n";
            protokoll = "fifo";
            break;
        case Warten::ProtokollSchreiben:
            for (int i = 0; i < 20'000; ++i) {
                kommandos += "ELSE\n";
            }
            protokoll = "fifo";
            wartet = SYS_write;
            break;
        case Warten::PortLogSchreiben:
            kommandos += "BIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
            log = "fifo";
            wartet = SYS_ppoll;
            break;
        case Warten::Rueckfrage:
            kommandos += "INFO GIBTSNICHT.TXT\n";
            break;
    }
    SchreibeDatei(dir / "k.txt", kommandos + "MELDUNG NIE\n");
    // A reader of the FIFO that reads nothing until the motors are off.
    const bool leser =
        f.warten == Warten::ProtokollSchreiben || f.warten == Warten::PortLogSchreiben;
    const int fifo = leser ? ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK) : -1;
    Starte("--port=sim --port-log=" + log + " --vcd=z.vcd " + kommandodatei + " " + protokoll,
           f.warten == Warten::Rueckfrage);
    // The module line comes after the signal handlers are in place.
    ASSERT_TRUE(WarteBis([&] {
        switch (f.warten) {
            case Warten::Zeitschleife:
                return LiesDatei(dir / "port.log").find("# Motoren RNLN\n") != std::string::npos;
            case Warten::Pause:
                return LiesDatei(dir / "aus").find("ENTER druecken...") != std::string::npos;
            case Warten::Rueckfrage:
                return LiesDatei(dir / "terminal").find("OK oder Abbrechen? [o/a] ") !=
                       std::string::npos;
            default:
                return LiesDatei(dir / "fehler").find("TAKTLER 091200\n") != std::string::npos &&
                       WartetIn(wartet);
        }
    })) << LiesDatei(dir / "fehler");
    kill(Pid(), f.signal);
    if (f.zweimal) {
        kill(Pid(), f.signal);
    }
    const std::string unterbrochen = std::string("TAKTLER unterbrochen (") +
                                     services::SignalName(f.signal) +
                                     "): alle Motoren ausgeschaltet\n";
    std::string portlog;
    if (leser) {
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
    if (f.warten == Warten::Rueckfrage) {
        erwartet +=
            "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, Warnung: Eingabedatei "
            "GIBTSNICHT.TXT: No such file or directory\n";
    }
    erwartet += unterbrochen;
    if (f.warten == Warten::ProtokollSchreiben) {
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

INSTANTIATE_TEST_SUITE_P(
    Wartestellen, UnterbrechungTest,
    ::testing::Values(Fall{"SigintImZeitloop", Warten::Zeitschleife, SIGINT},
                      Fall{"ZweimalSigterm", Warten::Zeitschleife, SIGTERM, true},
                      Fall{"SighupInPause", Warten::Pause, SIGHUP},
                      Fall{"KommandodateiOeffnen", Warten::KommandodateiOeffnen, SIGINT},
                      Fall{"InfoOeffnenSigint", Warten::InfoOeffnen, SIGINT},
                      Fall{"InfoOeffnenSighup", Warten::InfoOeffnen, SIGHUP},
                      Fall{"ProtokollOeffnen", Warten::ProtokollOeffnen, SIGTERM},
                      Fall{"ProtokollSchreiben", Warten::ProtokollSchreiben, SIGTERM},
                      Fall{"PortLogSchreiben", Warten::PortLogSchreiben, SIGHUP},
                      Fall{"Rueckfrage", Warten::Rueckfrage, SIGINT}),
    [](const auto& info) { return std::string(info.param.name); });

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
