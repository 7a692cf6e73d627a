#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <ctime>
#include <functional>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

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
    ASSERT_EQ(::mkdir(Pfad("sub").c_str(), 0777), 0);  // exists, but cannot be opened
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
    ASSERT_EQ(::mkdir(Pfad("sub").c_str(), 0777), 0);
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
        std::tm lokal{};
        localtime_r(&zeit, &lokal);
        char s[32];
        std::strftime(s, sizeof s, "%a %b %d %H:%M:%S %Y", &lokal);  // C locale
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
    };
    ASSERT_EQ(::chdir(dir.c_str()), 0);
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
        const bool relativ = f.pfad[0] != '/' && std::string(f.pfad).find(':') == std::string::npos;
        EXPECT_EQ(std::string(GibVerzeichnis(d)),
                  (relativ ? dir + "/" : std::string()) + f.verzeichnis);
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
    ASSERT_EQ(::mkdir(Pfad("a").c_str(), 0777), 0);
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
    EXPECT_EQ(Zeilen(),
              (std::vector<std::string>{
                  Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Pfad("a/b") + fehlt),
                  Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Pfad("a/b/c") + fehlt)}));
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("a/b/c")));
    EXPECT_FALSE(Gibt("a/b/c/datei.txt"));
    SetzePfad(d, ("C:" + dir + "\\neu\\x.txt").c_str());  // the drive maps to the root
    EXPECT_EQ(LegePfadAn(d), 1);
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("neu")));
}

}  // namespace
}  // namespace taktler::test
