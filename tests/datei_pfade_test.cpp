// Paths taken apart, directory texts, and directories built.
#include <sys/stat.h>
#include <unistd.h>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

std::vector<std::string> Stufen(const DateiADO* d) {
    std::vector<std::string> s;
    for (std::int32_t i = 0; i < d->Verzeichnisse->AnzahlStufen; ++i) {
        s.emplace_back(d->Verzeichnisse->Verzeichnisstufen[i].data());
    }
    return s;
}

// Components of dir itself, e.g. "/", "tmp", "dtAbc123".
std::vector<std::string> Basis(const std::string& dir) {
    std::vector<std::string> s = {"/"};
    std::size_t start = 1;
    while (start <= dir.size()) {
        std::size_t ende = dir.find('/', start);
        if (ende == std::string::npos) {
            ende = dir.size();
        }
        s.push_back(dir.substr(start, ende - start));
        start = ende + 1;
    }
    return s;
}

struct ParseFall {
    const char* name;
    std::string pfad;                 // relative paths are taken in dir
    std::vector<std::string> stufen;  // after the components of dir when relative
    char mitLaufwerk;
    std::string verzeichnis;  // likewise after dir + "/"
    std::string dateiname;
    std::string extension;
};

class ParseTest : public DateiTest, public ::testing::WithParamInterface<ParseFall> {};

TEST_P(ParseTest, ComponentsAndTexts) {
    const ParseFall& fall = GetParam();
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    DateiADO* d = Create();
    SetzePfad(d, fall.pfad.c_str());
    ASSERT_EQ(ParsePfad(d), 1);
    std::vector<std::string> stufen = fall.stufen;
    std::string verzeichnis = fall.verzeichnis;
    if (fall.mitLaufwerk == 0) {
        std::vector<std::string> basis = Basis(dir);
        stufen.insert(stufen.begin(), basis.begin(), basis.end());
        verzeichnis = dir + "/" + verzeichnis;
    }
    EXPECT_EQ(Stufen(d), stufen);
    EXPECT_EQ(d->Verzeichnisse->MitLaufwerk, fall.mitLaufwerk);
    EXPECT_EQ(std::string(GibVerzeichnis(d)), verzeichnis);
    EXPECT_EQ(std::string(GibDateinamenOhnePfad(d)), fall.dateiname);
    EXPECT_EQ(std::string(GibExtension(d)), fall.extension);
    EXPECT_TRUE(fenster.berichte.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pfade, ParseTest,
    ::testing::Values(
        ParseFall{"Laufwerk",
                  "C:\\daten\\liste.txt",
                  {"C:", "daten", "liste.txt"},
                  1,
                  "C:/daten/",
                  "liste.txt",
                  "txt"},
        ParseFall{
            "Absolut", "/tmp/a/b.txt", {"/", "tmp", "a", "b.txt"}, 1, "/tmp/a/", "b.txt", "txt"},
        ParseFall{"Relativ", "liste.txt", {"liste.txt"}, 0, "", "liste.txt", "txt"},
        ParseFall{"RelativAufgeloest",
                  "x/../y\\.\\z.tar.gz",
                  {"y", "z.tar.gz"},
                  0,
                  "y/",
                  "z.tar.gz",
                  "tar.gz"},
        ParseFall{"Leerzeichen",
                  "C:\\meine daten\\neue liste.txt",
                  {"C:", "meinedaten", "neueliste.txt"},
                  1,
                  "C:/meinedaten/",
                  "neueliste.txt",
                  "txt"},
        ParseFall{"DoppelterTrenner", "C:\\a\\\\b", {"C:", "a", "", "b"}, 1, "C:/a//", "b", ""},
        ParseFall{"TrennerAmEnde", "/tmp/a/", {"/", "tmp", "a", ""}, 1, "/tmp/a/", "", ""},
        ParseFall{"PunktAmEnde", "C:\\name.", {"C:", "name."}, 1, "C:/", "name.", ""},
        ParseFall{"Verzeichnis13",
                  "/abcdefghijklm/x",
                  {"/", "abcdefghijklm", "x"},
                  1,
                  "/abcdefghijklm/",
                  "x",
                  ""},
        // A file name longer than its slot keeps its first 13 characters.
        ParseFall{"LangerDateiname",
                  "/tmp/protokoll_2024.txt",
                  {"/", "tmp", "protokoll_202"},
                  1,
                  "/tmp/",
                  "protokoll_202",
                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

std::string Verzeichnisse(int anzahl) {
    std::string pfad = "C:";
    for (int i = 0; i < anzahl; ++i) {
        pfad += "\\v" + std::to_string(i);
    }
    return pfad + "\\datei.txt";
}

TEST_F(DateiTest, ParsePfadLimits) {
    DateiADO* d = Create();
    SetzePfad(d, Verzeichnisse(17).c_str());  // 19 components
    ASSERT_EQ(ParsePfad(d), 1);
    EXPECT_EQ(d->Verzeichnisse->AnzahlStufen, 19);
    EXPECT_STREQ(GibDateinamenOhnePfad(d), "datei.txt");

    std::vector<std::pair<std::string, std::string>> faelle = {
        {Verzeichnisse(18), "Zu viele Verzeichnisstufe"},
        {"/abcdefghijklmn/x", "Verzeichnis zu lang"},
        {"C:\\a b c d e f g h i j k l m n\\x", "Verzeichnis zu lang"},
        {"/tmp/" + std::string(40, 'z') + "/x", "Verzeichnis zu lang"},
    };
    for (const auto& [pfad, text] : faelle) {
        SetzePfad(d, pfad.c_str());
        EXPECT_EQ(EndeCode([&] { ParsePfad(d); }), 12) << pfad;
        EXPECT_EQ(LetzterBericht(), Zeile("ParsePfad", "Programmabbruch", text));
    }
    SetzePfad(d, "C:\\a b c d e f g h i j k l m\\x");  // 13 without the blanks
    EXPECT_EQ(ParsePfad(d), 1);
}

TEST_F(DateiTest, RelativePathTooLongWhenCompleted) {
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    std::string relativ;
    while (relativ.size() < 290) {
        relativ += "abcdefghij/";
    }
    relativ += "x";  // fits Pfad, but not with the working directory before it
    DateiADO* d = Create();
    SetzePfad(d, relativ.c_str());
    EXPECT_EQ(EndeCode([&] { ParsePfad(d); }), 12);
    EXPECT_EQ(LetzterBericht(),
              Zeile("ParsePfad", "Programmabbruch", "Vollstaendiger Pfad zu lang"));
}

TEST_F(DateiTest, EmptyPathGivesNothing) {
    DateiADO* d = Create();
    EXPECT_EQ(ParsePfad(d), 0);
    EXPECT_EQ(d->Verzeichnisse, nullptr);
    EXPECT_STREQ(GibDateinamenOhnePfad(d), "");
    EXPECT_EQ(LetzterBericht(), Zeile("GibDateinamenOhnePfad", "Warnung", "Parse-Fehler bei "));
    EXPECT_STREQ(GibVerzeichnis(d), "");
    EXPECT_STREQ(GibExtension(d), "");
    EXPECT_EQ(LegePfadAn(d), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("LegePfadAn", "Warnung", "Eingabedatei, Pfadangabe n.vorhanden"));
    EXPECT_EQ(BauePfadAuf(d), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("BauePfadAuf", "Warnung", "Verzeichnisse nicht geparsed"));
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { GibVerzeichnis(d); }), 12);
}

TEST_F(DateiTest, BauePfadAufCreatesExactlyTheMissingDirectories) {
    ASSERT_EQ(::mkdir(Pfad("a").c_str(), 0777), 0);
    DateiADO* d = Neu("a/b/c/datei.txt");
    ASSERT_EQ(ParsePfad(d), 1);
    std::string start = Arbeitsverzeichnis();
    EXPECT_EQ(BauePfadAuf(d), 1);
    EXPECT_EQ(Arbeitsverzeichnis(), start);
    std::string fehlt = ", No such file or directory\n";
    EXPECT_EQ(Zeilen(),
              (std::vector<std::string>{
                  Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Pfad("a/b") + fehlt),
                  Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Pfad("a/b/c") + fehlt)}));
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("a/b/c")));
    EXPECT_FALSE(Gibt("a/b/c/datei.txt"));
    fenster.berichte.clear();
    EXPECT_EQ(BauePfadAuf(d), 1);  // all there now: nothing to ask
    EXPECT_TRUE(fenster.berichte.empty());
}

TEST_F(DateiTest, LegePfadAnMapsTheDriveToTheRoot) {
    DateiADO* d = Create();
    std::string pfad = "C:" + dir + "\\neu\\x.txt";
    SetzePfad(d, pfad.c_str());
    EXPECT_EQ(LegePfadAn(d), 1);
    EXPECT_EQ(fenster.berichte.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(Pfad("neu")));
}

TEST_F(DateiTest, BauePfadAufCancelledCreatesNothing) {
    DateiADO* d = Neu("a/b/x.txt");
    ParsePfad(d);
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { BauePfadAuf(d); }), 12);
    EXPECT_FALSE(Gibt("a"));
}

TEST_F(DateiTest, BauePfadAufAbortsWhenMkdirFails) {
    Schreibe("f", "kein Verzeichnis");
    DateiADO* d = Neu("f/b/x.txt");
    ParsePfad(d);
    EXPECT_EQ(EndeCode([&] { BauePfadAuf(d); }), 12);
    ASSERT_EQ(fenster.berichte.size(), 3u);
    EXPECT_EQ(
        fenster.berichte[0].zeile,
        Zeile("BauePfadAuf", "Warnung", "chdir Verzeichnis " + Pfad("f") + ", Not a directory\n"));
    EXPECT_EQ(fenster.berichte[1].titel, "Meldung");
    EXPECT_EQ(fenster.berichte[1].zeile, Zeile("BauePfadAuf", "Meldung", Pfad("f")));
    EXPECT_EQ(fenster.berichte[2].zeile,
              Zeile("BauePfadAuf", "Programmabbruch",
                    "mkdir Verzeichnis " + Pfad("f") + ", File exists\n"));
}

}  // namespace
}  // namespace taktler::test
