// SPDX-License-Identifier: GPL-3.0-or-later
// The file object: records, blocks, marks, paths, copies, in a short-named directory per test
// (components fit 13-character slots); the working directory is restored after each. A FIFO, a
// full device and a failing read: datei_posix_test.cpp.
#include "datei/datei.h"

#include <utime.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "datei/kopieren.h"
#include "datei/pfade.h"
#include "datei/positionen.h"
#include "datei_test.h"
#include "plattform_typen.h"
#include "services/abschluss.h"
#include "testdateien.h"

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
// a directory exists but is refused.
TEST_F(DateiTest, MissingFileAndDirectory) {
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
             std::filesystem::current_path(dir);
             parse(relativ + "x");
         }},
        {"BauePfadAuf", "mkdir Verzeichnis " + Vorwaerts(Pfad("a.bin")) + ", File exists\n",
         [&] { BauePfadAuf(parse(Pfad("a.bin/b/x.txt"))); }},
    };
    for (const auto& [funktion, text, f] : faelle) {
        EXPECT_EQ(EndeCode(f), 12) << text;
        EXPECT_EQ(LetzterBericht(), Zeile(funktion, "Programmabbruch", text));
    }
    EXPECT_EQ(std::string(anhaengend->Pfad.data()), Pfad("a.bin"));  // the long path refused
    // One character less fits; an empty path warns and keeps it.
    const std::string passt = zuLang.substr(0, 299);
    SetzePfad(ohnePfad, passt.c_str());
    SetzePfad(ohnePfad, "");
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Warnung", "Pfad nicht vorhanden"));
    EXPECT_EQ(std::string(ohnePfad->Pfad.data()), passt);
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

std::string Bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>((i * 37 + i / 255) & 0xFF);  // CR, LF, ^Z, NUL among them
    }
    return s;
}

void SetzeZeiten(const std::string& pfad, std::time_t zugriff, std::time_t aenderung) {
    utimbuf zeiten{zugriff, aenderung};
    ASSERT_EQ(::utime(pfad.c_str(), &zeiten), 0);
}

using KopierTest = DateiTest;

// Around the 255-byte block; a cancelled overwrite keeps the target.
TEST_F(KopierTest, CopiesAndAppendsByteForByte) {
    for (std::size_t n : {0u, 255u, 256u}) {
        SCOPED_TRACE(n);
        Schreibe("q.bin", Bytes(n));
        Schreibe("z.bin", "alt");
        DateiADO* q = Neu("q.bin");
        DateiADO* z = Neu("z.bin");
        errno = EINTR;  // left from an earlier call, it must not make the end look interrupted
        EXPECT_EQ(ErgaenzeDaten(z, q), 1);
        EXPECT_EQ(Lies("z.bin"), "alt" + Bytes(n));
        EXPECT_EQ(LetzterBericht(), Zeile("ErgaenzeDaten", "Warnung",
                                          "Zieldatei " + Pfad("z.bin") + " wird ergaenzt"));
        EXPECT_EQ(KopiereDaten(z, q), 1);
        EXPECT_EQ(Lies("z.bin"), Bytes(n));
        EXPECT_EQ(KopiereDaten(Neu("x/y/n.bin"), q), 1);  // into a missing directory chain
        EXPECT_EQ(Lies("x/y/n.bin"), Bytes(n));
    }
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { KopiereDaten(Neu("q.bin"), Neu("z.bin")); }), 12);
    EXPECT_EQ(Lies("q.bin"), Bytes(256));
}

// Copying a file onto itself would empty it, appending it to itself never end: both refused.
TEST_F(KopierTest, CopyFailuresLeaveTheTarget) {
    Schreibe("z.bin", "bleibt");
    DateiADO* z = Neu("z.bin");
    ASSERT_TRUE(std::filesystem::create_directory(Pfad("sub")));  // exists, but cannot be opened
    const std::string dieselbe = "Quelldatei und Zieldatei sind dieselbe Datei: " + Pfad("z.bin");
    const std::vector<std::pair<std::function<std::uint8_t()>, std::string>> faelle = {
        {[&] { return KopiereDaten(z, Neu("fehlt.bin")); },
         Zeile("KopiereDaten", "Warnung", "Quelldatei " + Pfad("fehlt.bin") + " n. vorhanden")},
        {[&] { return ErgaenzeDaten(Create(), z); },
         Zeile("ErgaenzeDaten", "Warnung", "Zieldatei, Pfadangabe n.vorhanden")},
        {[&] { return KopiereDaten(z, Neu("z.bin")); }, Zeile("KopiereDaten", "Warnung", dieselbe)},
        {[&] { return ErgaenzeDaten(z, z); }, Zeile("ErgaenzeDaten", "Warnung", dieselbe)},
        {[&] { return KopiereDaten(Neu("z2.bin"), Neu("sub")); },
         Zeile("KopiereDaten", "Warnung",
               "Quelldatei " + Pfad("sub") + " kann nicht geoeffnet werden.")},
    };
    for (const auto& [f, bericht] : faelle) {
        EXPECT_EQ(f(), 0);
        EXPECT_EQ(LetzterBericht(), bericht);
    }
    EXPECT_EQ(Lies("z.bin"), "bleibt");
    EXPECT_FALSE(Gibt("z2.bin"));
}

TEST_F(KopierTest, RenameAndDestroy) {
    Schreibe("a.txt", "eins\r\n");
    DateiADO* d = Neu("a.txt");
    char puffer[20];
    LiesSatz(d, puffer, sizeof puffer);  // held open
    ASSERT_TRUE(std::filesystem::create_directory(Pfad("sub")));
    EXPECT_EQ(Rename(d, Pfad("sub/b.txt").c_str()), 1);
    EXPECT_FALSE(Gibt("a.txt"));
    EXPECT_EQ(Lies("sub/b.txt"), "eins\r\n");
    EXPECT_EQ(Rename(d, Pfad("fehlt/c.txt").c_str()), 0);
    EXPECT_EQ(std::string(d->Pfad.data()), Pfad("sub/b.txt"));
    EXPECT_EQ(Rename(Neu("weg.txt"), Pfad("x.txt").c_str()), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Rename", "Warnung", "Datei " + Pfad("weg.txt") + " existiert nicht"));
    std::string zuLang = "/" + std::string(300, 'x');
    EXPECT_EQ(EndeCode([&] { Rename(d, zuLang.c_str()); }), 12);
    EXPECT_TRUE(Gibt("sub/b.txt"));  // refused before the file moved
    SchreibSatz(d, "offen");
    EXPECT_EQ(Destroy(d), 1);  // even an open file
    EXPECT_FALSE(Gibt("sub/b.txt"));
    EXPECT_EQ(Destroy(d), 0);
    Schreibe("sub/x", "x");
    EXPECT_EQ(Destroy(Neu("sub")), 0);
}

TEST_F(KopierTest, SizeAgeAndDates) {
    uhr.ms = static_cast<std::int64_t>(std::time(nullptr)) * 1000;  // file times are real
    DateiADO* d = Neu("g.bin");
    EXPECT_EQ(GibGroesse(d), -1);
    EXPECT_EQ(NichtGeaendertSeitXMinuten(d), -1);
    EXPECT_STREQ(DatumLetzteAenderung(d), "");
    Schreibe("g.bin", Bytes(600));
    EXPECT_EQ(GibGroesse(d), 600);
    // A change in the future gives a negative age.
    std::time_t jetzt = uhr.ms / 1000;
    for (auto [alter, minuten] : {std::pair{119, 1}, {-1, 0}, {-61, -1}}) {
        SetzeZeiten(Pfad("g.bin"), jetzt, jetzt - alter);
        EXPECT_EQ(NichtGeaendertSeitXSekunden(d), alter);
        EXPECT_EQ(NichtGeaendertSeitXMinuten(d), minuten) << alter;
    }
    // ctime's layout in English whatever the locale, without the line end.
    auto text = [](std::time_t zeit) {
        char s[32];
        std::strftime(s, sizeof s, "%a %b %d %H:%M:%S %Y", std::localtime(&zeit));  // C locale
        return std::string(s);
    };
    SetzeZeiten(Pfad("g.bin"), 978350400, 978400000);
    EXPECT_EQ(std::string(DatumLetzterLesezugriff(d)), text(978350400));
    EXPECT_EQ(std::string(DatumLetzteAenderung(d)), text(978400000));
    EXPECT_TRUE(fenster.berichte.empty());
}

// Parsed after the longest path, so each component must end where the new one ends.
TEST_F(DateiTest, ParsePfadComponentsAndTexts) {
    struct Fall {
        const char *pfad, *verzeichnis, *name, *extension;
    };
    const Fall faelle[] = {
        {"C:\\daten\\liste.txt", "C:/daten/", "liste.txt", "txt"},
        {"x/../y\\.\\z.tar.gz", "y/", "z.tar.gz", "tar.gz"},  // relative to the working directory
        {"C:\\a b c d e f g h i j k l m\\neue liste.txt", "C:/abcdefghijklm/", "neueliste.txt",
         "txt"},
        {"/tmp/a/", "/tmp/a/", "", ""},
        {"C:\\name.", "C:/", "name.", ""},
        {"/protokoll_2024.txt", "/", "protokoll_202", ""},  // 13 characters kept
        {"\\daten\\x.txt", "daten/", "x.txt", "txt"},  // on Windows below the current drive's root
    };
    std::filesystem::current_path(dir);
    std::string voll = "C:";
    for (int i = 0; i < 18; ++i) {
        voll += "\\" + std::string(13, static_cast<char>('a' + i));
    }
    for (const Fall& f : faelle) {
        DateiADO* d = Create();
        SetzePfad(d, voll.c_str());
        ASSERT_EQ(ParsePfad(d), 1);
        SetzePfad(d, f.pfad);
        ASSERT_EQ(ParsePfad(d), 1);
        const bool wurzel = services::plattform::kLaufwerke && f.pfad[0] == '\\';
        const bool relativ =
            !wurzel && f.pfad[0] != '/' && std::string(f.pfad).find(':') == std::string::npos;
        EXPECT_EQ(std::string(GibVerzeichnis(d)), (relativ  ? Vorwaerts(dir) + "/"
                                                   : wurzel ? "/"
                                                            : "") +
                                                      f.verzeichnis);
        EXPECT_STREQ(GibDateinamenOhnePfad(d), f.name);
        EXPECT_STREQ(GibExtension(d), f.extension);
    }
    EXPECT_TRUE(fenster.berichte.empty());
}

// An empty path builds nothing; a parsed one exactly its missing directories.
TEST_F(DateiTest, BauePfadAufCreatesExactlyTheMissingDirectories) {
    DateiADO* d = Create();
    EXPECT_EQ(ParsePfad(d), 0);
    EXPECT_STREQ(GibVerzeichnis(d), "");
    EXPECT_EQ(LetzterBericht(), Zeile("GibVerzeichnis", "Warnung", "Parse-Fehler bei "));
    EXPECT_EQ(LegePfadAn(d), 0);
    EXPECT_EQ(BauePfadAuf(d), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("BauePfadAuf", "Warnung", "Verzeichnisse nicht geparsed"));
    ASSERT_TRUE(std::filesystem::create_directory(Pfad("a")));
    SetzePfad(d, Pfad("a/b/c/datei.txt").c_str());
    ASSERT_EQ(ParsePfad(d), 1);
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { BauePfadAuf(d); }), 12);
    EXPECT_FALSE(Gibt("a/b"));
    fenster.antwort = services::Antwort::OK;
    fenster.berichte.clear();
    const auto start = std::filesystem::current_path();
    EXPECT_EQ(BauePfadAuf(d), 1);
    EXPECT_EQ(std::filesystem::current_path(), start);
    std::string fehlt = ", No such file or directory\n";
    EXPECT_EQ(
        Zeilen(),
        (std::vector<std::string>{
            Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Vorwaerts(Pfad("a/b")) + fehlt),
            Zeile("BauePfadAuf", "Warnung",
                  "chdir Verzeichnis " + Vorwaerts(Pfad("a/b/c")) + fehlt)}));
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("a/b/c")));
    EXPECT_FALSE(Gibt("a/b/c/datei.txt"));
    // A drive stands for the root where there are none; on Windows the directory has its own.
    const std::string laufwerk = services::plattform::kLaufwerke ? dir : "C:" + dir;
    SetzePfad(d, (laufwerk + "\\neu\\x.txt").c_str());
    EXPECT_EQ(LegePfadAn(d), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("neu")));
}

}  // namespace
}  // namespace taktler::test
