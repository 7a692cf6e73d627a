#include <cerrno>
#include <cstring>
#include <functional>

#include "datei_hilfe.h"
#include "services/abschluss.h"

namespace taktler::test {
namespace {

using namespace datei;

// The record rules themselves are the fuzz model's, replayed on its corpus by the suite.
// A line may hold capacity - 2 bytes; nothing is ever stored at or behind the capacity, even 0.
TEST_F(DateiTest, LongestLineAndAbortNeverOverrun) {
    for (std::uint32_t kap : {100u, 2u}) {
        std::vector<char> puffer(kap + 16, '#');
        Schreibe("k.txt", std::string(kap - 2, 'a') + "\r\n" + std::string(kap - 1, 'b') + "\r\n");
        DateiADO* d = Neu("k.txt");
        ASSERT_EQ(LiesSatz(d, puffer.data(), kap), 1);
        EXPECT_EQ(std::strlen(puffer.data()), kap - 2);
        EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer.data(), kap); }), 12);
        EXPECT_EQ(LetzterBericht(),
                  Zeile("LiesSatz", "Programmabbruch", "max. Zeilenlaenge zu gross"));
        EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer.data() + kap, 0); }), 12);
        EXPECT_EQ(std::string(puffer.begin() + kap, puffer.end()), std::string(16, '#'));
    }
}

// A missing file warns and is tried again, and meanwhile no operation touches the missing stream;
// a directory exists but is refused; a read error is no end of file.
TEST_F(DateiTest, MissingFileDirectoryAndReadError) {
    DateiADO* d = Neu("fehlt.txt");
    char puffer[10];
    EXPECT_EQ(ExistiertDatei(d), 0);
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung",
                    "Eingabedatei " + Pfad("fehlt.txt") + ": No such file or directory\n"));
    EXPECT_EQ(GeheZuFilePtrPos(d, 0), 0);
    EXPECT_EQ(SetzeMarke(d), 0);
    EXPECT_EQ(GeheZuMarke(d), 0);
    AktualisiereSatz(d, "x");
    EXPECT_EQ(LiesBlock(d, puffer, 4, 0), 0);
    EXPECT_FALSE(Gibt("fehlt.txt"));
    Schreibe("fehlt.txt", "da");
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "da");
    d = Create();
    SetzePfad(d, dir.c_str());
    EXPECT_EQ(ExistiertDatei(d), 1);  // a directory counts
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung", "Eingabedatei " + dir + ": Is a directory\n"));
    d = Create();
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
        {9000, {Zeile("SchreibSatz", "Programmabbruch", "fwrite"), verloren}}};  // over the buffer
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

TEST_F(DateiTest, SchreibSatzAppendsCrLfAndSwitchesModes) {
    Schreibe("p.txt", "eins\r\n");
    DateiADO* d = Neu("p.txt");
    char puffer[50];
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(SchreibSatz(d, "zwei\xF6"), 1);
    EXPECT_EQ(SchreibSatz(d, ""), 1);
    EXPECT_EQ(GeheZumErstenSatz(d), 1);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);  // reopens at the first record
    EXPECT_STREQ(puffer, "eins");
    EXPECT_EQ(Lies("p.txt"), "eins\r\nzwei\xF6\r\n\r\n");
    Schliessen(d);  // a bare Oeffnen leaves a stream in the closed mode; Schliessen still closes it
    ASSERT_EQ(Oeffnen(d, "r"), 1);
    EXPECT_EQ(Schliessen(d), 1);
    EXPECT_EQ(d->FilePtr, nullptr);
    DateiADO* neu = Neu("neu.txt");  // created, and written out by Dispose
    SchreibSatz(neu, "x");
    EXPECT_EQ(Dispose(neu), nullptr);
    EXPECT_EQ(Lies("neu.txt"), "x\r\n");
}

// Aborts name their function: a few representatives of the object check, then real failures.
TEST_F(DateiTest, AbortsNameTheirFunctionAndCause) {
    char p[8];
    DateiADO falsch;  // Vorhanden 0
    DateiADO* ohnePfad = Create();
    DateiADO* anhaengend = Neu("a.bin");
    SchreibSatz(anhaengend, "x");
    const std::string zuLang = "/" + std::string(299, 'p');
    std::string tief = "C:", relativ;  // 20 components; fits only without the working directory
    for (int i = 0; i < 19; ++i) {
        tief += "\\v";
    }
    while (relativ.size() < 290) {
        relativ += "abcdefghij/";
    }
    const auto parse = [&](const std::string& pfad) {
        DateiADO* d = Neu("x");
        SetzePfad(d, pfad.c_str());
        ParsePfad(d);
        return d;
    };
    const std::string nv = "DateiADO n.vorhanden";
    const std::vector<std::tuple<std::string, std::string, std::function<void()>>> faelle = {
        {"Dispose", nv, [&] { Dispose(&falsch); }},
        {"Oeffnen", nv, [&] { Oeffnen(nullptr, "r"); }},
        {"Oeffnen", "Kein Pfad angegeben", [&] { LiesSatz(ohnePfad, p, 8); }},
        {"ExistiertDatei", "Pfadname n. gesetzt", [&] { GibGroesse(ohnePfad); }},
        {"SetzePfad", "Pfad zu lang", [&] { SetzePfad(anhaengend, zuLang.c_str()); }},
        {"SchreibSatz", "allg. Fehler", [&] { SchreibSatz(Neu("fehlt/p.txt"), "x"); }},
        {"SchreibDaten", "fwrite", [&] { SchreibDaten(anhaengend, "x", -1); }},
        {"LiesBlock", "Fehler bei Quelldatei fread Bad file descriptor",
         [&] {  // an append stream of its own: an abort closes every write stream
             DateiADO* d = Neu("b.bin");
             SchreibSatz(d, "x");
             LiesBlock(d, p, 4, 0);
         }},
        {"KopiereBlockweise", "Fehler bei Zieldatei fseek Bad file descriptor",
         [&] { KopiereBlockweise(Neu("z"), Neu("q")); }},
        {"ParsePfad", "Zu viele Verzeichnisstufe", [&] { parse(tief); }},
        {"ParsePfad", "Verzeichnis zu lang", [&] { parse("/abcdefghijklmn/x"); }},
        {"ParsePfad", "Vollstaendiger Pfad zu lang",
         [&] {
             EXPECT_EQ(::chdir(dir.c_str()), 0);
             parse(relativ + "x");
         }},
        {"BauePfadAuf", "mkdir Verzeichnis " + Pfad("a.bin") + ", File exists\n",
         [&] { BauePfadAuf(parse(Pfad("a.bin/b/x.txt"))); }},
    };
    for (const auto& [funktion, text, f] : faelle) {
        EXPECT_EQ(EndeCode(f), 12) << text;
        EXPECT_EQ(LetzterBericht(), Zeile(funktion, "Programmabbruch", text));
    }
    EXPECT_EQ(std::string(anhaengend->Pfad.data()), Pfad("a.bin"));  // the long path refused
    // One character less fits; an empty path warns and keeps it.
    SetzePfad(ohnePfad, zuLang.substr(0, 299).c_str());
    SetzePfad(ohnePfad, "");
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Warnung", "Pfad nicht vorhanden"));
    EXPECT_EQ(std::string(ohnePfad->Pfad.data()), zuLang.substr(0, 299));
}

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
    Schreibe("k.txt", "ab\r\ncd\r\nef\r\n");  // grows behind the reader's back
    EXPECT_EQ(GeheZuMarke(d), 1);             // the last record was read: still nothing
    EXPECT_EQ(IstMarkeErreicht(d), 0);
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    ASSERT_EQ(GeheZuFilePtrPos(d, 4), 1);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "cd");
    EXPECT_EQ(GeheZuFilePtrPos(d, -1), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("GeheZuFilePtrPos", "Warnung", "fseek erfolglos!"));
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
