// Regression tests for faults found by fuzzing, the sanitizers and review:
// each holds the input that showed the fault.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "interpreter/kommandozeile.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/zustand.h"
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

}  // namespace
}  // namespace taktler::test
