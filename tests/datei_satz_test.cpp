// The file object: records read line by line, lines appended, open modes,
// path and validity checks.
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
        SCOPED_TRACE(i);
        ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
        EXPECT_EQ(puffer, fall.saetze[i].text);
        EXPECT_EQ(d->Pos, fall.saetze[i].pos);
        EXPECT_EQ(d->Satzlaenge, fall.saetze[i].satzlaenge);
        EXPECT_EQ(d->WeitereSaetze, i + 1 < fall.saetze.size() ? 1 : 0);
        EXPECT_EQ(d->Modus, kLesen);
    }
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_TRUE(fenster.berichte.empty());
    Dispose(d);
    EXPECT_EQ(services::Aufruftiefe(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Zeilenenden, LeseTest,
    ::testing::Values(
        LeseFall{"LeereDatei", "", {{"", 0, 1}}},
        LeseFall{"CrLf", "ab\r\ncd\r\n", {{"ab", 0, 4}, {"cd", 4, 4}}},
        LeseFall{"OhneZeilenende", "ab\r\ncd", {{"ab", 0, 4}, {"cd", 4, 3}}},
        LeseFall{"LfFolgeVerschluckt", "ab\n\n\ncd", {{"ab", 0, 5}, {"cd", 5, 3}}},
        LeseFall{"LeereCrLfZeile", "ab\r\n\r\ncd", {{"ab", 0, 4}, {"", 4, 2}, {"cd", 6, 3}}},
        LeseFall{"CrCrLf", "ab\r\r\ncd", {{"ab", 0, 3}, {"", 3, 2}, {"cd", 5, 3}}},
        LeseFall{"NurCr", "ab\rcd", {{"ab", 0, 3}, {"cd", 3, 3}}},
        LeseFall{"NulNachZeilenende", std::string("ab\r\n\0\0cd", 8), {{"ab", 0, 6}, {"cd", 6, 3}}},
        LeseFall{"CtrlZNachZeilenende",
                 "ab\r\n\x1A"
                 "cd\r\n",
                 {{"ab", 0, 4}}},
        LeseFall{"CtrlZNachCr",
                 "ab\r\x1A"
                 "cd",
                 {{"ab", 0, 3}}},
        LeseFall{"CtrlZInDerZeile",
                 "ab\x1A"
                 "cd",
                 {{"ab", 0, 3}, {"cd", 3, 3}}},
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

TEST_F(DateiTest, NulInsideALineIsStored) {
    Schreibe("k.txt", std::string("a\0b\r\n", 5));
    DateiADO* d = Neu("k.txt");
    char puffer[10];
    std::memset(puffer, 'x', sizeof puffer);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(std::string(puffer, 4), std::string("a\0b\0", 4));
    EXPECT_EQ(d->Satzlaenge, 5);
    EXPECT_EQ(d->WeitereSaetze, 0);
}

// A line may hold capacity - 2 bytes; one more aborts, and nothing is ever
// stored at or behind the capacity.
class KapazitaetTest : public DateiTest, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(KapazitaetTest, LongestLineAndAbort) {
    const std::uint32_t kap = GetParam();
    std::vector<char> puffer(kap + 16, '#');
    Schreibe("k.txt", std::string(kap - 2, 'a') + "\r\n" + std::string(kap - 1, 'b') + "\r\n");
    DateiADO* d = Neu("k.txt");
    ASSERT_EQ(LiesSatz(d, puffer.data(), kap), 1);
    EXPECT_EQ(std::strlen(puffer.data()), kap - 2);
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer.data(), kap); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("LiesSatz", "Programmabbruch", "max. Zeilenlaenge zu gross"));
    for (std::size_t i = kap; i < puffer.size(); ++i) {
        ASSERT_EQ(puffer[i], '#') << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Kapazitaeten, KapazitaetTest, ::testing::Values(500u, 250u, 200u, 100u));

TEST_F(DateiTest, TinyCapacitiesNeverOverrun) {
    Schreibe("k.txt", "\r\nx\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[4] = {'#', '#', '#', '#'};
    ASSERT_EQ(LiesSatz(d, puffer, 2), 1);  // the empty line fits
    EXPECT_EQ(puffer[0], '\0');
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer, 2); }), 12);
    EXPECT_EQ(puffer[1], '#');
    GeheZumErstenSatz(d);
    puffer[0] = '#';
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer, 0); }), 12);
    EXPECT_EQ(puffer[0], '#');
}

TEST_F(DateiTest, AfterTheLastRecordNothingIsReadUntilRewound) {
    Schreibe("k.txt", "ab\r\n");
    DateiADO* d = Neu("k.txt");
    char puffer[50];
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_EQ(d->WeitereSaetze, 0);
    Schreibe("k.txt", "ab\r\ncd\r\n");  // grows behind the reader's back
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(GeheZumErstenSatz(d), 1);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "ab");
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "cd");
}

TEST_F(DateiTest, ReadingWithoutPathAbortsInOeffnen) {
    DateiADO* d = Create();
    char puffer[10];
    EXPECT_EQ(EndeCode([&] { LiesSatz(d, puffer, sizeof puffer); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("Oeffnen", "Programmabbruch", "Kein Pfad angegeben"));
}

TEST_F(DateiTest, MissingFileWarnsAndALaterCallTriesAgain) {
    DateiADO* d = Neu("fehlt.txt");
    char puffer[10];
    EXPECT_EQ(LiesSatz(d, puffer, sizeof puffer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Oeffnen", "Warnung",
                    "Eingabedatei " + Pfad("fehlt.txt") + ": No such file or directory\n"));
    EXPECT_EQ(d->FilePtr, nullptr);
    EXPECT_EQ(d->Modus, kLesen);
    EXPECT_EQ(d->WeitereSaetze, 1);
    EXPECT_EQ(Schliessen(d), 1);  // nothing to close, only the mode goes
    EXPECT_EQ(d->Modus, kGeschlossen);
    Schreibe("fehlt.txt", "da");
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);
    EXPECT_STREQ(puffer, "da");

    fenster.antwort = services::Antwort::Abbrechen;
    DateiADO* e = Neu("auch.txt");
    EXPECT_EQ(EndeCode([&] { LiesSatz(e, puffer, sizeof puffer); }), 12);
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
    EXPECT_EQ(SchreibSatz(d, "zwei"), 1);
    EXPECT_EQ(d->Modus, kAnhaengen);
    EXPECT_EQ(SchreibSatz(d, ""), 1);
    EXPECT_EQ(d->Modus, kAnhaengen);
    GeheZumErstenSatz(d);
    ASSERT_EQ(LiesSatz(d, puffer, sizeof puffer), 1);  // reopens, first record
    EXPECT_EQ(d->Modus, kLesen);
    EXPECT_STREQ(puffer, "eins");
    EXPECT_EQ(Lies("p.txt"), "eins\r\nzwei\r\n\r\n");

    DateiADO* neu = Neu("neu.txt");  // a missing file is created
    SchreibSatz(neu, "x\xF6");
    Dispose(neu);
    EXPECT_EQ(Lies("neu.txt"), "x\xF6\r\n");
}

TEST_F(DateiTest, SchreibSatzAbortsWhenTheFileCantBeOpened) {
    DateiADO* d = Neu("fehlt/p.txt");
    EXPECT_EQ(EndeCode([&] { SchreibSatz(d, "x"); }), 12);
    ASSERT_EQ(fenster.berichte.size(), 2u);
    EXPECT_EQ(fenster.berichte[0].titel, "WARNUNG");
    EXPECT_EQ(LetzterBericht(), Zeile("SchreibSatz", "Programmabbruch", "allg. Fehler"));
}

TEST_F(DateiTest, SetzePfadLimits) {
    DateiADO* d = Neu("a.txt");
    std::string lang = "/" + std::string(298, 'p');
    SetzePfad(d, lang.c_str());
    EXPECT_EQ(std::string(d->Pfad.data()), lang);
    SetzePfad(d, "");
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Warnung", "Pfad nicht vorhanden"));
    EXPECT_EQ(std::string(d->Pfad.data()), lang);
    std::string zuLang = lang + "p";
    EXPECT_EQ(EndeCode([&] { SetzePfad(d, zuLang.c_str()); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Programmabbruch", "Pfad zu lang"));
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { SetzePfad(d, ""); }), 12);
}

TEST_F(DateiTest, CreateAndDisposeKeepTheCountAndTheLiveSet) {
    DateiADO* a = Create();
    DateiADO* b = Neu("b.txt");
    EXPECT_EQ(datei::Modul().Anzahl, 2);
    EXPECT_EQ(datei::Modul().Lebende.size(), 2u);
    EXPECT_EQ(a->Vorhanden, 1);
    EXPECT_EQ(a->WeitereSaetze, 1);
    SchreibSatz(b, "gepuffert");
    EXPECT_EQ(Dispose(b), nullptr);  // closes, so the line reaches the file
    EXPECT_EQ(Lies("b.txt"), "gepuffert\r\n");
    EXPECT_EQ(Dispose(a), nullptr);
    EXPECT_EQ(Dispose(nullptr), nullptr);
    EXPECT_EQ(datei::Modul().Anzahl, -1);
    EXPECT_TRUE(datei::Modul().Lebende.empty());
    EXPECT_EQ(services::Aufruftiefe(), 0);
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
    EXPECT_EQ(Status(nullptr), nullptr);  // checks nothing, crashes on nothing
}

TEST_F(DateiTest, ExistiertDateiAndStatus) {
    DateiADO* d = Create();
    EXPECT_EQ(EndeCode([&] { ExistiertDatei(d); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("ExistiertDatei", "Programmabbruch", "Pfadname n. gesetzt"));
    SetzePfad(d, dir.c_str());
    EXPECT_EQ(ExistiertDatei(d), 1);  // a directory counts
    SetzePfad(d, Pfad("x.txt").c_str());
    EXPECT_EQ(ExistiertDatei(d), 0);
    EXPECT_EQ(Status(d), nullptr);
    Schreibe("x.txt", "12345");
    ASSERT_NE(Status(d), nullptr);
    EXPECT_EQ(Status(d), &datei::Modul().Dateistatus);
    EXPECT_EQ(Status(d)->st_size, 5);
}

TEST_F(DateiTest, SchliessenClosesAStreamOpenedByOeffnenAlone) {
    Schreibe("x.txt", "abc");
    DateiADO* d = Neu("x.txt");
    ASSERT_EQ(Oeffnen(d, "r"), 1);
    EXPECT_EQ(d->Modus, kGeschlossen);  // Oeffnen leaves the mode to its callers
    EXPECT_NE(d->FilePtr, nullptr);
    Schliessen(d);
    EXPECT_EQ(d->FilePtr, nullptr);
    ASSERT_EQ(OeffneReadWrite(d), 1);
    EXPECT_EQ(d->Modus, kLesenSchreiben);
    ASSERT_EQ(OeffnenWrite(d), 1);  // closes the old stream first
    EXPECT_EQ(d->Modus, kSchreiben);
    Schliessen(d);
    EXPECT_EQ(Lies("x.txt"), "");
}

}  // namespace
}  // namespace taktler::test
