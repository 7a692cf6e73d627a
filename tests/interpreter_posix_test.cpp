// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter where it is POSIX: a protocol on a full device, a command file from a FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interpreter/kommandozeile.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "interpreter_test.h"
#include "testhilfe/testuhr.h"

namespace taktler::test {
namespace {

std::size_t Anzahl(const std::string& text, const std::string& teil, std::size_t ab = 0) {
    const auto pos = text.find(teil, ab);
    return pos == std::string::npos ? 0 : 1 + Anzahl(text, teil, pos + 1);
}

// An abort that writes the banner closes the protocol before its report; others leave it to the
// end.
TEST_F(SkriptTest, ProtocolOnAFullDeviceIsReportedInItsOrder) {
    const std::string voll =
        "Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei /dev/full: No "
        "space left on device";
    for (const bool banner : {true, false}) {
        SetUp();
        EXPECT_EQ(Lauf(banner ? "ELSE\nREBOOT\n" : "ELSE\nEINSCHALTEN MOTOR9\n", "/dev/full"), 12);
        ASSERT_EQ(fenster.berichte.size(), 2u);
        EXPECT_EQ(fenster.berichte[banner ? 0 : 1].zeile, voll);
        EXPECT_NE(fenster.berichte[banner ? 1 : 0].zeile.find(banner ? "REBOOT" : "Motor n."),
                  std::string::npos);
        fenster.berichte.clear();
        TearDown();
    }
}

class ZeilenUhr : public TestUhr {
  public:
    void ZeilenGelesen(std::int32_t anzahl) override { zeilen += anzahl; }
    std::int64_t zeilen = 0;
};

// The skipped RUFE of the last pass opens a level that ENDE_BIS closes. The clock pays each line
// got and, before a line j not following the last, the j - 1 lines a reread would cost.
TEST_F(SkriptTest, PipedCallInsideALoopReturnsToTheLoopsLevelAndTheClockPaysTheReading) {
    ZeilenUhr zeilenUhr;
    zeilenUhr.schritt = 10;
    services::Umwelt().uhr = &zeilenUhr;
    struct Gelesen {
        int zeile;
        int stufe;
        std::string text;
    };
    std::vector<Gelesen> gelesen;
    interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile& kz, const std::string& t) {
        gelesen.push_back({kz.Zeilennummer, kz.Stufe, t});
    });
    // From a pipe: nothing is read twice from the file; its byte-order mark is skipped too.
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread schreiber([&] {
        std::ofstream(fifo, std::ios::binary)
            << "\xEF\xBB\xBF"
               "BIS ZEIT = 50\nRUFE UP\nMELDUNG ZURUECK\nENDE_BIS\nMELDUNG DANACH\nEXIT\n" +
                   Wiederholt("; fuellzeile\n", 30) +
                   "UNTERPROGRAMM UP\nMELDUNG IM_UP\nENDE_UNTERPROGRAMM\n";
    });
    const int code = EndeCode([&] { interpreter::Programmlauf({fifo, protokoll}); });
    schreiber.join();
    EXPECT_EQ(code, -1) << LetzterBericht();
    std::vector<int> stufen;
    std::int64_t kosten = 0;
    int vorige = 0;
    for (const auto& g : gelesen) {
        kosten += g.zeile != vorige + 1 ? g.zeile : 1;
        vorige = g.zeile;
        if (g.text == "MELDUNG ZURUECK") {
            stufen.push_back(g.stufe);
        }
        if (g.text == "MELDUNG IM_UP") {
            EXPECT_TRUE(g.zeile == 38 && g.stufe == 2) << g.zeile << " " << g.stufe;
        }
    }
    EXPECT_EQ(zeilenUhr.zeilen, kosten);
    ASSERT_GE(stufen.size(), 3u);
    EXPECT_EQ(stufen.back(), 2);
    stufen.pop_back();
    EXPECT_EQ(stufen, std::vector<int>(stufen.size(), 1));
    EXPECT_EQ(Anzahl(konsole.aus, ";IM_UP;"), stufen.size());
    EXPECT_EQ(Anzahl(konsole.aus, ";DANACH;"), 0u);
    EXPECT_EQ(interpreter::Zustand().Zeile->Stufe, 1);
}

}  // namespace
}  // namespace taktler::test
