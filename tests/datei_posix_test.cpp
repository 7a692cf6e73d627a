// SPDX-License-Identifier: GPL-3.0-or-later
// The file object on what only POSIX has: a full device, a file that opens but cannot be read, a
// FIFO.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "datei/datei.h"
#include "datei/positionen.h"
#include "datei_test.h"
#include "services/abschluss.h"

namespace taktler::test {
namespace {

using namespace datei;

// A read error is no end of file.
TEST_F(DateiTest, ReadErrorEndsWith12) {
    char puffer[10];
    DateiADO* d = Create();
    SetzePfad(d, "/proc/self/mem");  // opens, but reading offset 0 fails
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer, sizeof puffer); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("LiesSatz", "Programmabbruch",
                                      "Eingabedatei /proc/self/mem: Input/output error"));
}

// A lost protocol line ends the run, also when the loss shows only at the close.
TEST_F(DateiTest, LostWritesEndWith12AndNameTheFile) {
    const std::string verloren =
        Zeile("Schliessen", "Programmabbruch", "Ausgabedatei /dev/full: No space left on device");
    const std::pair<std::size_t, std::vector<std::string>> faelle[] = {
        {4, {verloren}},
        {70000, {Zeile("SchreibSatz", "Programmabbruch", "fwrite"), verloren}}};  // over a block
    for (const auto& [laenge, erwartet] : faelle) {
        fenster.berichte.clear();
        DateiADO* d = Create();
        SetzePfad(d, "/dev/full");
        EXPECT_EQ(EndeCode([&] {
                      SchreibSatz(d, std::string(laenge, 'x').c_str());
                      Dispose(d);
                  }),
                  12);
        EXPECT_EQ(Zeilen(), erwartet);
        services::AbschlussZuruecksetzen();
    }
}

// A FIFO has no offsets: the block is read where it stands.
TEST_F(DateiTest, LiesBlockReadsAFifoWhereItStands) {
    char puffer[20] = {};
    ASSERT_EQ(::mkfifo(Pfad("f").c_str(), 0600), 0);
    const int schreiber = ::open(Pfad("f").c_str(), O_RDWR);
    ASSERT_EQ(::write(schreiber, "xyz", 3), 3);
    DateiADO* fifo = Neu("f");
    EXPECT_EQ(LiesBlock(fifo, puffer, 5, -1), 3);
    EXPECT_EQ(std::string(puffer, 3), "xyz");
    Dispose(fifo);
    ::close(schreiber);
}

}  // namespace
}  // namespace taktler::test
