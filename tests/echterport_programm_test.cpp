// Whole-program tests of the real-port path: the built taktler with a
// stand-in for libieee1284 and the kernel's port files preloaded
// (tests/attrappe), which models one ppdev port and logs every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using Liste = std::vector<std::string>;

// The lines of the stand-in's log that begin so, by position.
std::vector<std::size_t> Stellen(const Liste& log, const std::string& anfang) {
    std::vector<std::size_t> s;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind(anfang, 0) == 0) {
            s.push_back(i);
        }
    }
    return s;
}

struct Fall {
    const char* fehler;  // a fault at access 300: LESEFEHLER, SIGINT; "": none
    int code;
    const char* meldung;    // part of standard error
    const char* ausloeser;  // the stand-in's line where the fault happened
};
void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.fehler;
}
class EchterPortTest : public ::testing::TestWithParam<Fall> {};

TEST_P(EchterPortTest, SetsUpInOrderAndReleasesThePortAtTheEnd) {
    const Fall& f = GetParam();
    TempVerzeichnis dir;
    // Access 300 comes after 4 frames at start, one for motor 1, and input
    // reads of 25 accesses while the run polls the switches.
    const bool fehler = *f.fehler != '\0';
    SchreibeDatei(dir / "k.txt", fehler ? "EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT 10\nELSE\nENDE\n"
                                          "NOTHALT SCHALTER1\nBIS ZEIT = 100000\nENDE_BIS\n"
                                        : "MELDUNG A\n");
    const char* asan = std::getenv("ASAN_OPTIONS");
    // The stand-in comes before a sanitizer runtime.
    const Liste umgebung = {
        std::string("LD_PRELOAD=") + TAKTLER_ATTRAPPE, "TAKTLER_ATTRAPPE_LOG=" + (dir / "log"),
        std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":verify_asan_link_order=0",
        std::string("TAKTLER_ATTRAPPE_") + f.fehler + "=300"};
    const Aufruf a =
        StarteTaktler({"--port-log=port.log", "k.txt", "p.txt"}, dir.pfad(), "", umgebung);
    EXPECT_EQ(a.code, f.code) << a.fehler;
    EXPECT_NE(a.fehler.find(f.meldung), std::string::npos) << a.fehler;
    const Liste log = Zeilen(LiesDatei(dir / "log"));
    EXPECT_TRUE(Stellen(log, "ohne claim").empty());
    const auto schreiben = Stellen(log, "write_data");
    const auto claim = Stellen(log, "claim parport0");
    const auto steuerung = Stellen(log, "write_control 07 (Register 0C)");
    const auto richtung = Stellen(log, "data_dir 0");
    ASSERT_TRUE(!claim.empty() && !steuerung.empty() && !richtung.empty() && !schreiben.empty());
    EXPECT_TRUE(claim[0] < steuerung[0] && steuerung[0] < richtung[0] &&
                richtung[0] < schreiben[0]);
    EXPECT_EQ(Stellen(log, "mlockall").size(), 1u);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Liste(log.end() - 3, log.end()),
              (Liste{"release parport0", "close parport0", "free_ports"}));
    if (fehler) {
        // Within one exchange of the fault, four frames switch the motors off.
        const std::size_t ende = log.size() - 3;
        ASSERT_GE(schreiben.size(), 96u);
        for (std::size_t i = 0; i < 96; ++i) {
            const std::size_t k = i % 24;
            EXPECT_EQ(log[ende - 96 + i], k % 3 == 1 ? "write_data FA"
                                          : k == 23  ? "write_data FB"
                                                     : "write_data F2");
        }
        const auto ausloeser = Stellen(log, f.ausloeser);
        ASSERT_FALSE(ausloeser.empty());
        std::size_t zugriffe = 0;
        for (std::size_t i = ausloeser[0]; i < ende - 96; ++i) {
            zugriffe += log[i].rfind("write_data", 0) == 0 || log[i].rfind("read_status", 0) == 0;
        }
        EXPECT_LE(zugriffe, 25u);
        EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
        // The port log holds every byte written, to the last.
        Liste geschrieben;
        for (const std::string& z : Zeilen(LiesDatei(dir / "port.log"))) {
            if (z.rfind("W 378 ", 0) == 0) {
                geschrieben.push_back("write_data " + z.substr(6));
            }
        }
        EXPECT_TRUE(geschrieben.size() == schreiben.size() &&
                    std::equal(schreiben.begin(), schreiben.end(), geschrieben.begin(),
                               [&](std::size_t i, const std::string& z) { return log[i] == z; }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, EchterPortTest,
    ::testing::Values(
        Fall{"", 0, "Zugriff ueber ppdev (/dev/parport0), Echtzeitprioritaet: nein\n", ""},
        Fall{"LESEFEHLER", 12,
             "Statusregister nicht lesbar: auf diesem System nicht verfuegbar (E1284_NOTAVAIL), "
             "No such device; alle Motoren aus gesendet, Lauf abgebrochen\n",
             "read_status Fehler"},
        Fall{"SIGINT", 128 + 2, "TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet",
             "SIGINT"}));

}  // namespace
}  // namespace taktler::test
