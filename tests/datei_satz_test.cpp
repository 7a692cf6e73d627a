// The file object: records read line by line, lines appended, open modes,
// validity checks, and the module's aborts.
#include <cstring>
#include <filesystem>
#include <functional>

#include "datei_hilfe.h"
#include "services/abschluss.h"

namespace taktler::test {
namespace {

using namespace datei;

struct Satz {
    std::string text;
    std::int32_t pos;
    std::int32_t satzlaenge;
};

struct LeseFall {
    const char* name;
    std::string bytes;
    std::vector<Satz> saetze;
};

class LeseTest : public DateiTest, public ::testing::WithParamInterface<LeseFall> {};

TEST_P(LeseTest, RecordsPositionsAndLengths) {
    const LeseFall& fall = GetParam();
    Schreibe("k.txt", fall.bytes);
    DateiADO* d = Neu("k.txt");
    char puffer[250];
    for (std::size_t i = 0; i < fall.saetze.size(); ++i) {
        const Satz& s = fall.saetze[i];
        ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1) << i;
        EXPECT_EQ(std::string(puffer, s.text.size() + 1), s.text + '\0') << i;  // NULs kept
        EXPECT_EQ(d->Pos, s.pos) << i;
        EXPECT_EQ(d->Satzlaenge, s.satzlaenge) << i;
        EXPECT_EQ(d->WeitereSaetze, i + 1 < fall.saetze.size() ? 1 : 0) << i;
    }
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(d->Modus, kLesen);
    EXPECT_TRUE(fenster.berichte.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Zeilenenden, LeseTest,
    ::testing::Values(
        LeseFall{"LeereDatei", "", {{"", 0, 1}}},
        LeseFall{"CrLf", "ab\r\ncd\r\n", {{"ab", 0, 4}, {"cd", 4, 4}}},
        LeseFall{"OhneZeilenende", "ab\r\ncd", {{"ab", 0, 4}, {"cd", 4, 3}}},
        LeseFall{"LfFolgeVerschluckt", "ab\n\n\ncd", {{"ab", 0, 5}, {"cd", 5, 3}}},
        LeseFall{"LeereCrLfZeile", "ab\r\n\r\ncd", {{"ab", 0, 4}, {"", 4, 2}, {"cd", 6, 3}}},
        LeseFall{"NurCr", "ab\rcd", {{"ab", 0, 3}, {"cd", 3, 3}}},
        LeseFall{"NulInDerZeile", std::string("a\0b\r\n", 5), {{std::string("a\0b", 3), 0, 5}}},
        LeseFall{"NulNachZeilenende", std::string("ab\r\n\0\0cd", 8), {{"ab", 0, 6}, {"cd", 6, 3}}},
        LeseFall{"CtrlZNachZeilenende", "ab\r\n\x1Axy\r\n", {{"ab", 0, 4}}},
        LeseFall{"CtrlZInDerZeile", "ab\x1Axy", {{"ab", 0, 3}, {"xy", 3, 3}}},
        LeseFall{"Latin1", "\xF6\xFF\r\n", {{"\xF6\xFF", 0, 4}}},
        // A UTF-8 byte-order mark at the start of the file is skipped, nowhere else.
        LeseFall{"Bom",
                 "\xEF\xBB\xBF"
                 "ab\r\n\xEF\xBB\xBF"
                 "cd",
                 {{"ab", 3, 4},
                  {"\xEF\xBB\xBF"
                   "cd",
                   7, 6}}},
        LeseFall{"NurBom", "\xEF\xBB\xBF", {{"", 3, 1}}},
        LeseFall{"BomAnfangOhneBom", "\xEF\xBBx\n", {{"\xEF\xBBx", 0, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A line may hold capacity - 2 bytes; one more aborts, and nothing is ever
// stored at or behind the capacity, not even with capacity 0.
class KapazitaetTest : public DateiTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(KapazitaetTest, LongestLineAndAbortNeverOverrun) {
    const std::uint32_t kap = GetParam();
    std::vector<char> puffer(kap + 16, '#');
    Schreibe("k.txt", std::string(kap - 2, 'a') + "\r\n" + std::string(kap - 1, 'b') + "\r\n");
    DateiADO* d = Neu("k.txt");
    ASSERT_EQ(LiesSatz(d, puffer.data(), kap), 1);
    EXPECT_EQ(std::strlen(puffer.data()), kap - 2);
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer.data(), kap); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("LiesSatz", "Programmabbruch", "max. Zeilenlaenge zu gross"));
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer.data() + kap, 0); }), 12);
    EXPECT_EQ(std::string(puffer.begin() + kap, puffer.end()), std::string(16, '#'));
}

INSTANTIATE_TEST_SUITE_P(Kapazitaeten, KapazitaetTest, ::testing::Values(500u, 100u, 2u));

TEST_F(DateiTest, AfterTheLastRecordNothingIsReadUntilRewound) {
    Schreibe("k.txt", "ab\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[50];
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    Schreibe("k.txt", "ab\r\ncd\r\n");  // grows behind the reader's back
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(GeheZumErstenSatz(d), 1);
    for (const char* satz : {"ab", "cd"}) {
        ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
        EXPECT_STREQ(puffer, satz);
    }
}

TEST_F(DateiTest, MissingFileWarnsAndALaterCallTriesAgain) {
    DateiADO* d = Neu("fehlt.txt");
    char puffer[10];
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung",
                    "Eingabedatei " + Pfad("fehlt.txt") + ": No such file or directory\n"));
    EXPECT_EQ(d->Modus, kLesen);
    EXPECT_EQ(d->WeitereSaetze, 1);
    Schreibe("fehlt.txt", "da");
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "da");
}

// On Linux a directory opens for reading and then fails every read: it is
// refused at the open, and a read error is no end of the file.
TEST_F(DateiTest, DirectoryAndReadErrorAreNoEmptyFile) {
    std::filesystem::create_directory(Pfad("v"));
    DateiADO* v = Neu("v");
    char puffer[10];
    EXPECT_EQ(LiesSatz(v, puffer, sizeof puffer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung", "Eingabedatei " + Pfad("v") + ": Is a directory\n"));
    EXPECT_EQ(v->FilePtr, nullptr);

    DateiADO* speicher = Create();
    SetzePfad(speicher, "/proc/self/mem");  // opens, but reading offset 0 fails
    EXPECT_EQ(EndeCode([&] { LiesSatz(speicher, puffer, sizeof puffer); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("LiesSatz", "Programmabbruch",
                                      "Eingabedatei /proc/self/mem: Input/output error"));
}

// A protocol line that cannot be written ends the run, also when the loss
// shows only at the close; the report names the file and the reason.
TEST_F(DateiTest, LostWritesEndWith12AndNameTheFile) {
    const std::string verloren =
        Zeile("Schliessen", "Programmabbruch", "Ausgabedatei /dev/full: No space left on device");
    struct Fall {
        std::size_t laenge;  // more than the stream's buffer fails in fwrite
        std::vector<std::string> berichte;
    };
    for (const Fall& f :
         {Fall{4, {verloren}},
          Fall{9000, {Zeile("SchreibSatz", "Programmabbruch", "fwrite"), verloren}}}) {
        fenster.berichte.clear();
        DateiADO* d = Create();
        SetzePfad(d, "/dev/full");
        EXPECT_EQ(EndeCode([&] {
                      SchreibSatz(d, std::string(f.laenge, 'x').c_str());
                      Dispose(d);
                  }),
                  12);
        std::vector<std::string> berichte;
        for (const auto& b : fenster.berichte) {
            berichte.push_back(b.zeile);
        }
        EXPECT_EQ(berichte, f.berichte) << f.laenge;
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
    EXPECT_EQ(d->Modus, kAnhaengen);
    GeheZumErstenSatz(d);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);  // reopens at the first record
    EXPECT_EQ(d->Modus, kLesen);
    EXPECT_STREQ(puffer, "eins");
    EXPECT_EQ(Lies("p.txt"), "eins\r\nzwei\xF6\r\n\r\n");

    DateiADO* neu = Neu("neu.txt");  // created, and written out by Dispose
    SchreibSatz(neu, "x");
    EXPECT_EQ(Dispose(neu), nullptr);
    EXPECT_EQ(Lies("neu.txt"), "x\r\n");
}

TEST_F(DateiTest, SetzePfadKeepsTheOldPathOnAnEmptyOne) {
    DateiADO* d = Neu("a.txt");
    std::string lang = "/" + std::string(298, 'p');  // the longest that fits
    SetzePfad(d, lang.c_str());
    SetzePfad(d, "");
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Warnung", "Pfad nicht vorhanden"));
    EXPECT_EQ(std::string(d->Pfad.data()), lang);
}

TEST_F(DateiTest, ExistenceAndStatusOfFilesAndDirectories) {
    DateiADO* d = Neu("x.txt");
    EXPECT_EQ(ExistiertDatei(d), 0);
    EXPECT_EQ(Status(d), nullptr);
    Schreibe("x.txt", "12345");
    ASSERT_NE(Status(d), nullptr);
    EXPECT_EQ(Status(d)->st_size, 5);
    SetzePfad(d, dir.c_str());
    EXPECT_EQ(ExistiertDatei(d), 1);  // a directory counts
    EXPECT_EQ(Status(nullptr), nullptr);
}

// A bare Oeffnen leaves the mode closed with a stream open; Schliessen and
// every reopen close it, so it does not leak.
TEST_F(DateiTest, SchliessenClosesAStreamOpenedByOeffnenAlone) {
    Schreibe("x.txt", "abc");
    DateiADO* d = Neu("x.txt");
    ASSERT_EQ(Oeffnen(d, "r"), 1);
    EXPECT_EQ(d->Modus, kGeschlossen);
    EXPECT_EQ(Schliessen(d), 1);
    EXPECT_EQ(d->FilePtr, nullptr);
    ASSERT_EQ(OeffneReadWrite(d), 1);
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    ASSERT_EQ(OeffnenWrite(d), 1);
    EXPECT_EQ(d->Modus, kSchreiben);
    Schliessen(d);
    EXPECT_EQ(Lies("x.txt"), "");
}

TEST_F(DateiTest, DisposeForgetsTheObject) {
    DateiADO* a = Create();
    EXPECT_EQ(datei::Modul().Lebende.size(), 1u);
    EXPECT_EQ(Dispose(a), nullptr);
    EXPECT_EQ(Dispose(nullptr), nullptr);
    EXPECT_TRUE(datei::Modul().Lebende.empty());
    EXPECT_EQ(datei::Modul().Anzahl, -1);  // a null object counts as well
}

// Every operation but Status checks its object first.
TEST_F(DateiTest, EveryOperationChecksTheObject) {
    DateiADO falsch;  // Vorhanden 0
    DateiADO* gut = Neu("g.txt");
    char p[4];
    std::vector<std::pair<std::string, std::function<void()>>> faelle = {
        {"Dispose", [&] { Dispose(&falsch); }},
        {"SetzePfad", [&] { SetzePfad(&falsch, "x"); }},
        {"Oeffnen", [&] { Oeffnen(nullptr, "r"); }},
        {"OeffnenRead", [&] { OeffnenRead(&falsch); }},
        {"OeffnenWrite", [&] { OeffnenWrite(nullptr); }},
        {"OeffneAppend", [&] { OeffneAppend(&falsch); }},
        {"OeffneReadWrite", [&] { OeffneReadWrite(&falsch); }},
        {"Schliessen", [&] { Schliessen(&falsch); }},
        {"ExistiertDatei", [&] { ExistiertDatei(nullptr); }},
        {"GeheZumErstenSatz", [&] { GeheZumErstenSatz(&falsch); }},
        {"LiesSatz", [&] { LiesSatz(&falsch, p, 4); }},
        {"SchreibSatz", [&] { SchreibSatz(nullptr, "x"); }},
        {"SetzeMarke", [&] { SetzeMarke(&falsch); }},
        {"GeheZuMarke", [&] { GeheZuMarke(nullptr); }},
        {"IstMarkeErreicht", [&] { IstMarkeErreicht(&falsch); }},
        {"AktualisiereSatz", [&] { AktualisiereSatz(&falsch, "x"); }},
        {"SchreibDaten", [&] { SchreibDaten(&falsch, "x", 1); }},
        {"GibFilePtrPos", [&] { GibFilePtrPos(nullptr); }},
        {"GeheZuFilePtrPos", [&] { GeheZuFilePtrPos(&falsch, 0); }},
        {"LiesBlock", [&] { LiesBlock(&falsch, p, 1, 0); }},
        {"ParsePfad", [&] { ParsePfad(&falsch); }},
        {"BauePfadAuf", [&] { BauePfadAuf(nullptr); }},
        {"LegePfadAn", [&] { LegePfadAn(&falsch); }},
        {"GibExtension", [&] { GibExtension(&falsch); }},
        {"GibDateinamenOhnePfad", [&] { GibDateinamenOhnePfad(nullptr); }},
        {"GibVerzeichnis", [&] { GibVerzeichnis(&falsch); }},
        {"KopiereDaten", [&] { KopiereDaten(gut, &falsch); }},
        {"ErgaenzeDaten", [&] { ErgaenzeDaten(nullptr, gut); }},
        {"Rename", [&] { Rename(&falsch, "x"); }},
        {"Destroy", [&] { Destroy(nullptr); }},
        {"GibGroesse", [&] { GibGroesse(&falsch); }},
        {"NichtGeaendertSeitXSekunden", [&] { NichtGeaendertSeitXSekunden(&falsch); }},
        {"NichtGeaendertSeitXMinuten", [&] { NichtGeaendertSeitXMinuten(&falsch); }},
        {"DatumLetzterLesezugriff", [&] { DatumLetzterLesezugriff(&falsch); }},
        {"DatumLetzteAenderung", [&] { DatumLetzteAenderung(nullptr); }},
        {"DatumAnlage", [&] { DatumAnlage(&falsch); }},
    };
    for (auto& [funktion, f] : faelle) {
        EXPECT_EQ(EndeCode(f), 12) << funktion;
        EXPECT_EQ(LetzterBericht(), Zeile(funktion, "Programmabbruch", "DateiADO n.vorhanden"));
    }
}

// The module's aborts on a present object, each with its function and text.
TEST_F(DateiTest, AbortsNameTheirFunctionAndCause) {
    char p[8];
    DateiADO* ohnePfad = Create();
    DateiADO* anhaengend = Neu("a.bin");
    SchreibSatz(anhaengend, "x");
    const std::string zuLang = "/" + std::string(299, 'p');
    struct Fall {
        std::string funktion, text;
        std::function<void()> f;
    };
    const std::vector<Fall> faelle = {
        {"Oeffnen", "Kein Pfad angegeben", [&] { LiesSatz(ohnePfad, p, 8); }},
        {"ExistiertDatei", "Pfadname n. gesetzt", [&] { GibGroesse(ohnePfad); }},
        {"SetzePfad", "Pfad zu lang", [&] { SetzePfad(anhaengend, zuLang.c_str()); }},
        {"SchreibSatz", "allg. Fehler", [&] { SchreibSatz(Neu("fehlt/p.txt"), "x"); }},
        {"SchreibDaten", "allg. Fehler", [&] { SchreibDaten(Neu("fehlt/d"), "x", 1); }},
        {"SchreibDaten", "fwrite", [&] { SchreibDaten(anhaengend, "x", -1); }},
        {"LiesBlock", "Fehler bei Quelldatei fread Bad file descriptor",
         [&] {  // an append stream of its own: an abort closes every write stream
             DateiADO* d = Neu("b.bin");
             SchreibSatz(d, "x");
             LiesBlock(d, p, 4, 0);
         }},
        {"KopiereBlockweise", "Fehler bei Zieldatei fseek Bad file descriptor",
         [&] { KopiereBlockweise(Neu("z"), Neu("q")); }},
    };
    for (const Fall& fall : faelle) {
        EXPECT_EQ(EndeCode(fall.f), 12) << fall.text;
        EXPECT_EQ(LetzterBericht(), Zeile(fall.funktion, "Programmabbruch", fall.text));
    }
    EXPECT_EQ(std::string(anhaengend->Pfad.data()), Pfad("a.bin"));  // the long path refused
}

}  // namespace
}  // namespace taktler::test
