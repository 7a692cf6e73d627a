// Paths taken apart, directory texts, and directories built.
#include <sys/stat.h>
#include <unistd.h>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

// The components joined with '|'.
std::string Stufen(const DateiADO* d) {
    std::string s;
    for (std::int32_t i = 0; i < d->Verzeichnisse->AnzahlStufen; ++i) {
        s += (i > 0 ? "|" : "") + std::string(d->Verzeichnisse->Verzeichnisstufen[i].data());
    }
    return s;
}

struct ParseFall {
    const char* name;
    const char* pfad;         // relative paths are taken in dir
    const char* stufen;       // after the components of dir when relative
    const char* verzeichnis;  // likewise after dir + "/"
    const char* extension;
};

class ParseTest : public DateiTest, public ::testing::WithParamInterface<ParseFall> {};

// Each path is parsed on an object that held the longest path before, so
// every component must end where the new one ends.
TEST_P(ParseTest, ComponentsAndTexts) {
    const ParseFall& fall = GetParam();
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    std::string voll = "C:";
    for (int i = 0; i < 18; ++i) {
        voll += "\\" + std::string(13, static_cast<char>('a' + i));
    }
    DateiADO* d = Create();
    SetzePfad(d, voll.c_str());
    ASSERT_EQ(ParsePfad(d), 1);
    SetzePfad(d, fall.pfad);
    ASSERT_EQ(ParsePfad(d), 1);
    const bool relativ =
        fall.pfad[0] != '/' && std::string(fall.pfad).find(':') == std::string::npos;
    std::string stufen = fall.stufen;
    std::string verzeichnis = fall.verzeichnis;
    if (relativ) {
        std::string basis = dir;
        for (char& c : basis) {
            c = c == '/' ? '|' : c;
        }
        stufen = "/" + basis + "|" + stufen;
        verzeichnis = dir + "/" + verzeichnis;
    }
    EXPECT_EQ(Stufen(d), stufen);
    EXPECT_EQ(d->Verzeichnisse->MitLaufwerk, relativ ? 0 : 1);
    EXPECT_EQ(std::string(GibVerzeichnis(d)), verzeichnis);
    EXPECT_EQ(stufen.substr(stufen.rfind('|') + 1), GibDateinamenOhnePfad(d));
    EXPECT_STREQ(GibExtension(d), fall.extension);
    EXPECT_TRUE(fenster.berichte.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pfade, ParseTest,
    ::testing::Values(
        ParseFall{"Laufwerk", "C:\\daten\\liste.txt", "C:|daten|liste.txt", "C:/daten/", "txt"},
        ParseFall{"Absolut", "/tmp/a/b.txt", "/|tmp|a|b.txt", "/tmp/a/", "txt"},
        ParseFall{"Relativ", "x/../y\\.\\z.tar.gz", "y|z.tar.gz", "y/", "tar.gz"},
        ParseFall{"Leerzeichen", "C:\\a b c d e f g h i j k l m\\neue liste.txt",
                  "C:|abcdefghijklm|neueliste.txt", "C:/abcdefghijklm/", "txt"},
        ParseFall{"DoppelterTrenner", "C:\\a\\\\b", "C:|a||b", "C:/a//", ""},
        ParseFall{"TrennerAmEnde", "/tmp/a/", "/|tmp|a|", "/tmp/a/", ""},
        ParseFall{"PunktAmEnde", "C:\\name.", "C:|name.", "C:/", ""},
        // A file name longer than its slot keeps its first 13 characters.
        ParseFall{"LangerDateiname", "/protokoll_2024.txt", "/|protokoll_202", "/", ""}),
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

    std::string relativ;
    while (relativ.size() < 290) {
        relativ += "abcdefghij/";
    }
    const std::pair<std::string, std::string> faelle[] = {
        {Verzeichnisse(18), "Zu viele Verzeichnisstufe"},
        {"/abcdefghijklmn/x", "Verzeichnis zu lang"},
        {"C:\\a b c d e f g h i j k l m n\\x", "Verzeichnis zu lang"},
        // Fits the object, but not with the working directory before it.
        {relativ + "x", "Vollstaendiger Pfad zu lang"},
    };
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    for (const auto& [pfad, text] : faelle) {
        SetzePfad(d, pfad.c_str());
        EXPECT_EQ(EndeCode([&] { ParsePfad(d); }), 12) << pfad;
        EXPECT_EQ(LetzterBericht(), Zeile("ParsePfad", "Programmabbruch", text));
    }
}

TEST_F(DateiTest, EmptyPathGivesNothing) {
    DateiADO* d = Create();
    EXPECT_EQ(ParsePfad(d), 0);
    EXPECT_STREQ(GibDateinamenOhnePfad(d), "");
    EXPECT_EQ(LetzterBericht(), Zeile("GibDateinamenOhnePfad", "Warnung", "Parse-Fehler bei "));
    EXPECT_STREQ(GibVerzeichnis(d), "");
    EXPECT_EQ(LetzterBericht(), Zeile("GibVerzeichnis", "Warnung", "Parse-Fehler bei "));
    EXPECT_STREQ(GibExtension(d), "");
    EXPECT_EQ(LegePfadAn(d), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("LegePfadAn", "Warnung", "Eingabedatei, Pfadangabe n.vorhanden"));
    EXPECT_EQ(BauePfadAuf(d), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("BauePfadAuf", "Warnung", "Verzeichnisse nicht geparsed"));
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
    EXPECT_EQ(Zeilen(), (std::vector<std::string>{
                            Zeile("BauePfadAuf", "Warnung",
                                  "chdir Verzeichnis " + Pfad("f") + ", Not a directory\n"),
                            Zeile("BauePfadAuf", "Meldung", Pfad("f")),
                            Zeile("BauePfadAuf", "Programmabbruch",
                                  "mkdir Verzeichnis " + Pfad("f") + ", File exists\n")}));
}

}  // namespace
}  // namespace taktler::test
