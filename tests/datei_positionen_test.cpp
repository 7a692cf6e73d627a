#include <cerrno>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

TEST_F(DateiTest, MarkFollowsReading) {
    Schreibe("k.txt", "ab\r\ncd\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[20];
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(SetzeMarke(d), 1);
    EXPECT_EQ(IstMarkeErreicht(d), 0);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(IstMarkeErreicht(d), 1);
    EXPECT_EQ(GibFilePtrPos(d), 4);
    EXPECT_EQ(GeheZuMarke(d), 1);  // the last record was read: still nothing
    EXPECT_EQ(IstMarkeErreicht(d), 0);
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    ASSERT_EQ(GeheZuFilePtrPos(d, 4), 1);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "cd");
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    EXPECT_EQ(GeheZuFilePtrPos(d, -1), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("GeheZuFilePtrPos", "Warnung", "fseek erfolglos!"));
    EXPECT_EQ(d->WeitereSaetze, 0);
}

// After a failed open (a mode but no stream) no operation touches the missing stream.
TEST_F(DateiTest, WithoutAStreamNothingIsTouched) {
    DateiADO* d = Neu("fehlt.txt");
    char puffer[4];
    EXPECT_EQ(GeheZuFilePtrPos(d, 0), 0);
    EXPECT_EQ(SetzeMarke(d), 0);
    EXPECT_EQ(GeheZuMarke(d), 0);
    AktualisiereSatz(d, "x");
    EXPECT_EQ(LiesBlock(d, puffer, 4, 0), 0);
    EXPECT_FALSE(Gibt("fehlt.txt"));
}

// Rewriting cd twice keeps the file's length; reading goes on after it.
TEST_F(DateiTest, AktualisiereSatzRewritesInPlace) {
    const std::tuple<const char*, const char*, bool> faelle[] = {
        {"x", "ab\r\nx \r\nef\r\n", false},
        {"xyz", "ab\r\nxy\r\nef\r\n", true},
    };
    for (const auto& [text, danach, gekuerzt] : faelle) {
        fenster.berichte.clear();
        Schreibe("k.txt", "ab\r\ncd\r\nef\r\n");
        DateiADO* d = Neu("k.txt");
        char puffer[20];
        LiesSatz(d, puffer, sizeof puffer);
        ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
        AktualisiereSatz(d, "zz");
        AktualisiereSatz(d, text);
        EXPECT_EQ(d->Pos, 4);
        EXPECT_EQ(LetzterBericht(),
                  gekuerzt ? Zeile("AktualisiereSatz", "Warnung", "Satz gekuerzt") : "");
        ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
        EXPECT_STREQ(puffer, "ef");
        Schliessen(d);
        EXPECT_EQ(Lies("k.txt"), danach);
    }
}

// A block read between records comes from the offset asked for, not the stream's buffer.
TEST_F(DateiTest, LiesBlockReadsAtTheOffsetBetweenRecords) {
    Schreibe("k.txt", "ab\r\ncd\r\nef\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[20] = {};
    LiesSatz(d, puffer, sizeof puffer);
    ASSERT_EQ(LiesBlock(d, puffer, 4, 4), 4);
    EXPECT_EQ(std::string(puffer, 4), "cd\r\n");
    EXPECT_EQ(d->Pos, 8);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "ef");
    ASSERT_EQ(LiesBlock(d, puffer, 5, -1), 4);  // from the position, up to the end
    EXPECT_EQ(std::string(puffer, 4), "ef\r\n");
    errno = EINTR;  // left from an earlier call, it must not make the end look interrupted
    EXPECT_EQ(LiesBlock(d, puffer, 3, -1), 0);

    EXPECT_EQ(SchreibDaten(d, "\0\r\x1A", 3), 1);  // raw bytes appended
    Schliessen(d);
    EXPECT_EQ(Lies("k.txt"), std::string("ab\r\ncd\r\nef\r\n\0\r\x1A", 15));
}

}  // namespace
}  // namespace taktler::test
