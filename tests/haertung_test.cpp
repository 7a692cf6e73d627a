// Regression tests for faults found by fuzzing, the sanitizers and review:
// each holds the input that showed the fault.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <climits>
#include <csignal>
#include <cstdint>

#include "interpreter/kommandozeile.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "services/unterbrechung.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using HaertungTest = TaktlerTest;

// A switch loop that has waited 2^31 evaluations must neither overflow its
// evaluation count nor see it as a first evaluation again, which would
// reset the clicks counted so far.
TEST_F(HaertungTest, LoopCountStopsAtItsMaximumAndKeepsTheClicks) {
    interpreter::Programmzustand& z = interpreter::Zustand();
    z.Interface = &z.interfaceDS;
    z.Tracelevel = 1;
    interpreter::Kommandozeile kz;
    kz.Stufe = 1;
    interpreter::Kopiere(kz.Parameter1, "SCHALTER1");
    interpreter::Kopiere(kz.Parameter3, "5");
    z.Durchlauf[1] = INT32_MAX;
    z.Klickzaehler[1][0] = 3;

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(interpreter::Bis(kz), 1);
        EXPECT_EQ(z.Durchlauf[1], INT32_MAX);
        EXPECT_EQ(z.Klickzaehler[1][0], 3);
        EXPECT_EQ(kz.Ausfuehren[1], 1);
    }
}

extern "C" void AlsStrgC(int) {
    services::SetzeUnterbrechung(SIGINT);
}

// INFO of a FIFO waits in open() for a writer. Ctrl-C there used to end in
// the open's warning ("Interrupted system call"), answered Abbrechen without
// a terminal: exit 12 with the motors still running. Now the run ends as
// every interrupted run does.
TEST_F(HaertungTest, InterruptDuringAWaitingOpenSwitchesTheMotorsOff) {
    TempVerzeichnis dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SchreibeDatei(dir / "k.txt", "EINSCHALTEN MOTOR2 LINKS\nINFO " + fifo + "\nMELDUNG NIE\n");
    interpreter::Zustand().Tracelevel = 1;

    // Repeated, so that an open still waiting is always woken up.
    struct sigaction aktion {};
    aktion.sa_handler = AlsStrgC;
    sigemptyset(&aktion.sa_mask);
    struct sigaction vorher {};
    sigaction(SIGALRM, &aktion, &vorher);
    itimerval takt{{0, 50'000}, {0, 200'000}};
    setitimer(ITIMER_REAL, &takt, nullptr);

    int code = EndeCode([&] { interpreter::Programmlauf({dir / "k.txt", dir / "p.txt"}); });

    itimerval aus{};
    setitimer(ITIMER_REAL, &aus, nullptr);
    sigaction(SIGALRM, &vorher, nullptr);
    services::LoescheUnterbrechung();

    EXPECT_EQ(code, 128 + SIGINT);
    EXPECT_TRUE(fenster.berichte.empty()) << LetzterBericht();
    const auto& motoren = interpreter::Zustand().interfaceDS.Motoren;
    EXPECT_EQ(std::string(motoren.begin(), motoren.end()), "NNNN");
    EXPECT_EQ(konsole.aus.find("NIE"), std::string::npos);
}

}  // namespace
}  // namespace taktler::test
