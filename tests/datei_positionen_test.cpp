// Marks, record positions, rewriting records in place, raw appends and
// block reads.
#include <cstring>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

const std::string kZweiSaetze = "ab\r\ncd\r\n";

TEST_F(DateiTest, MarkOnClosedObject) {
    DateiADO* d = Neu("k.txt");
    d->Marke = 7;
    EXPECT_EQ(SetzeMarke(d), 0);
    EXPECT_EQ(d->Marke, 0);
    EXPECT_EQ(IstMarkeErreicht(d), 1);
    d->Marke = 7;
    EXPECT_EQ(GeheZuMarke(d), 0);
    EXPECT_EQ(d->Marke, 0);
}

TEST_F(DateiTest, MarkFollowsReading) {
    Schreibe("k.txt", kZweiSaetze);
    DateiADO* d = Neu("k.txt");
    char puffer[20];
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(SetzeMarke(d), 1);
    EXPECT_EQ(d->Marke, 4);
    EXPECT_EQ(IstMarkeErreicht(d), 0);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(IstMarkeErreicht(d), 1);
    EXPECT_EQ(GibFilePtrPos(d), 4);
    EXPECT_EQ(d->WeitereSaetze, 0);
    // Back at the mark, but the last record has been read: still nothing.
    EXPECT_EQ(GeheZuMarke(d), 1);
    EXPECT_EQ(IstMarkeErreicht(d), 0);
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
}

TEST_F(DateiTest, GeheZuFilePtrPosRereadsARecord) {
    Schreibe("k.txt", kZweiSaetze);
    DateiADO* d = Neu("k.txt");
    char puffer[20];
    LiesSatz(d, puffer, sizeof puffer);
    LiesSatz(d, puffer, sizeof puffer);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    ASSERT_EQ(GeheZuFilePtrPos(d, 4), 1);
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    EXPECT_EQ(d->WeitereSaetze, 1);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "cd");
    EXPECT_EQ(d->Modus, kLesenSchreiben);  // read on without a reopen

    std::int32_t pos = d->Pos;
    EXPECT_EQ(GeheZuFilePtrPos(d, -1), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("GeheZuFilePtrPos", "Warnung", "fseek erfolglos!"));
    EXPECT_EQ(d->Pos, pos);
    EXPECT_EQ(d->WeitereSaetze, 0);
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { GeheZuFilePtrPos(d, -1); }), 12);
}

struct AktualisiereFall {
    const char* name;
    const char* text;
    std::string danach;
    bool gekuerzt;
};

class AktualisiereTest : public DateiTest,
                         public ::testing::WithParamInterface<AktualisiereFall> {};

// The middle record cd is rewritten by an object open for reading; the file
// keeps its length and reading goes on with the record after it.
TEST_P(AktualisiereTest, RewritesInPlace) {
    const AktualisiereFall& fall = GetParam();
    Schreibe("k.txt", "ab\r\ncd\r\nef\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[20];
    LiesSatz(d, puffer, sizeof puffer);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    ASSERT_STREQ(puffer, "cd");
    AktualisiereSatz(d, fall.text);
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    EXPECT_EQ(d->Pos, 4);
    EXPECT_EQ(d->Satzlaenge, 4);
    if (fall.gekuerzt) {
        EXPECT_EQ(LetzterBericht(), Zeile("AktualisiereSatz", "Warnung", "Satz gekuerzt"));
    } else {
        EXPECT_TRUE(fenster.berichte.empty());
    }
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "ef");
    Schliessen(d);
    EXPECT_EQ(Lies("k.txt"), fall.danach);
}

INSTANTIATE_TEST_SUITE_P(
    Laengen, AktualisiereTest,
    ::testing::Values(AktualisiereFall{"Kuerzer", "x", "ab\r\nx \r\nef\r\n", false},
                      AktualisiereFall{"Leer", "", "ab\r\n  \r\nef\r\n", false},
                      AktualisiereFall{"Gleich", "xy", "ab\r\nxy\r\nef\r\n", false},
                      AktualisiereFall{"Laenger", "xyz", "ab\r\nxy\r\nef\r\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DateiTest, AktualisiereSatzTwiceAndCancelled) {
    Schreibe("k.txt", kZweiSaetze);
    DateiADO* d = Neu("k.txt");
    char puffer[20];
    LiesSatz(d, puffer, sizeof puffer);
    AktualisiereSatz(d, "x");
    AktualisiereSatz(d, "zz");
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { AktualisiereSatz(d, "lang"); }), 12);
    Schliessen(d);
    EXPECT_EQ(Lies("k.txt"), "zz\r\ncd\r\n");  // nothing written after the cancel
}

TEST_F(DateiTest, LiesBlockBlockAfterBlock) {
    Schreibe("b.txt", "abcde");
    DateiADO* d = Neu("b.txt");
    char puffer[8] = {};
    ASSERT_EQ(LiesBlock(d, puffer, 3, 0), 3);
    EXPECT_EQ(std::string(puffer, 3), "abc");
    EXPECT_EQ(d->Pos, 3);
    EXPECT_EQ(d->Modus, kLesen);
    ASSERT_EQ(LiesBlock(d, puffer, 3, -1), 2);
    EXPECT_EQ(std::string(puffer, 2), "de");
    EXPECT_EQ(d->Pos, 5);
    EXPECT_EQ(LiesBlock(d, puffer, 3, -1), 0);
    ASSERT_EQ(LiesBlock(d, puffer, 2, 1), 2);
    EXPECT_EQ(std::string(puffer, 2), "bc");
}

// The stream has buffered the whole file for LiesSatz; a block read in
// between must still come from the offset asked for, and reading records
// goes on behind the block.
TEST_F(DateiTest, LiesBlockBetweenRecords) {
    Schreibe("k.txt", "ab\r\ncd\r\nef\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[20] = {};
    LiesSatz(d, puffer, sizeof puffer);
    ASSERT_EQ(LiesBlock(d, puffer, 4, 4), 4);
    EXPECT_EQ(std::string(puffer, 4), "cd\r\n");
    EXPECT_EQ(d->Pos, 8);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "ef");
}

TEST_F(DateiTest, LiesBlockOnAnAppendStreamAborts) {
    DateiADO* d = Neu("b.txt");
    SchreibSatz(d, "x");
    char puffer[4];
    EXPECT_EQ(EndeCode([&] { LiesBlock(d, puffer, 4, 0); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("LiesBlock", "Programmabbruch",
                                      "Fehler bei Quelldatei fread Bad file descriptor"));
}

TEST_F(DateiTest, SchreibDatenAppendsRawBytes) {
    Schreibe("d.bin", "ab");
    DateiADO* d = Neu("d.bin");
    EXPECT_EQ(SchreibDaten(d, "", 0), 1);
    EXPECT_EQ(d->Modus, kAnhaengen);
    EXPECT_EQ(SchreibDaten(d, "\0\r\x1A", 3), 1);
    Schliessen(d);
    EXPECT_EQ(Lies("d.bin"), std::string("ab\0\r\x1A", 5));
    EXPECT_EQ(EndeCode([&] { SchreibDaten(d, "x", -1); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("SchreibDaten", "Programmabbruch", "fwrite"));
    DateiADO* fehlt = Neu("fehlt/d.bin");
    EXPECT_EQ(EndeCode([&] { SchreibDaten(fehlt, "x", 1); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("SchreibDaten", "Programmabbruch", "allg. Fehler"));
}

// After a failed open the object has a mode but no stream: every operation
// gives its failure value and none touches the missing stream.
TEST_F(DateiTest, OperationsAfterAFailedOpen) {
    DateiADO* d = Neu("fehlt.txt");
    char puffer[4];
    EXPECT_EQ(GeheZuFilePtrPos(d, 0), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung",
                    "Eingabedatei " + Pfad("fehlt.txt") + ": No such file or directory\n"));
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    EXPECT_EQ(d->FilePtr, nullptr);
    EXPECT_EQ(SetzeMarke(d), 0);
    EXPECT_EQ(GeheZuMarke(d), 0);
    EXPECT_EQ(IstMarkeErreicht(d), 1);
    EXPECT_EQ(GeheZumErstenSatz(d), 1);
    std::size_t warnungen = fenster.berichte.size();
    AktualisiereSatz(d, "x");
    EXPECT_EQ(fenster.berichte.size(), warnungen + 1);  // only the open's warning
    EXPECT_EQ(LiesBlock(d, puffer, 4, 0), 0);
    EXPECT_FALSE(Gibt("fehlt.txt"));
    EXPECT_EQ(services::Aufruftiefe(), 0);
}

}  // namespace
}  // namespace taktler::test
