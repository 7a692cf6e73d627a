#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

std::string Stufen(const DateiADO* d) {
    std::string s;
    for (std::int32_t i = 0; i < d->Verzeichnisse->AnzahlStufen; ++i) {
        s += (i > 0 ? "|" : "") + std::string(d->Verzeichnisse->Verzeichnisstufen[i].data());
    }
    return s;
}

// Parsed after the longest path, so each component must end where the new one ends.
TEST_F(DateiTest, ParsePfadComponentsAndTexts) {
    struct Fall {
        const char *pfad, *stufen, *verzeichnis, *extension;
    };
    const Fall faelle[] = {
        {"C:\\daten\\liste.txt", "C:|daten|liste.txt", "C:/daten/", "txt"},
        {"/tmp/a/b.txt", "/|tmp|a|b.txt", "/tmp/a/", "txt"},
        {"x/../y\\.\\z.tar.gz", "y|z.tar.gz", "y/", "tar.gz"},
        {"C:\\a b c d e f g h i j k l m\\neue liste.txt", "C:|abcdefghijklm|neueliste.txt",
         "C:/abcdefghijklm/", "txt"},
        {"/tmp/a/", "/|tmp|a|", "/tmp/a/", ""},
        {"C:\\name.", "C:|name.", "C:/", ""},
        {"/protokoll_2024.txt", "/|protokoll_202", "/", ""},  // 13 characters kept
    };
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    std::string voll = "C:";
    for (int i = 0; i < 18; ++i) {
        voll += "\\" + std::string(13, static_cast<char>('a' + i));
    }
    std::string basis = dir;
    std::replace(basis.begin(), basis.end(), '/', '|');
    for (const Fall& f : faelle) {
        DateiADO* d = Create();
        SetzePfad(d, voll.c_str());
        ASSERT_EQ(ParsePfad(d), 1);
        SetzePfad(d, f.pfad);
        ASSERT_EQ(ParsePfad(d), 1);
        const bool relativ = f.pfad[0] != '/' && std::string(f.pfad).find(':') == std::string::npos;
        std::string stufen = relativ ? "/" + basis + "|" + f.stufen : f.stufen;
        EXPECT_EQ(Stufen(d), stufen);
        EXPECT_EQ(d->Verzeichnisse->MitLaufwerk, relativ ? 0 : 1);
        EXPECT_EQ(std::string(GibVerzeichnis(d)),
                  (relativ ? dir + "/" : std::string()) + f.verzeichnis);
        EXPECT_EQ(stufen.substr(stufen.rfind('|') + 1), GibDateinamenOhnePfad(d));
        EXPECT_STREQ(GibExtension(d), f.extension);
    }
    EXPECT_TRUE(fenster.berichte.empty());
}

std::string Verzeichnisse(int anzahl) {
    std::string pfad = "C:";
    for (int i = 0; i < anzahl; ++i) {
        pfad += "\\v" + std::to_string(i);
    }
    return pfad + "\\datei.txt";
}

TEST_F(DateiTest, ParsePfadLimits) {
    DateiADO* d = Create();
    SetzePfad(d, Verzeichnisse(17).c_str());  // 19 components fit
    ASSERT_EQ(ParsePfad(d), 1);

    std::string relativ;
    while (relativ.size() < 290) {
        relativ += "abcdefghij/";
    }
    const std::pair<std::string, std::string> faelle[] = {
        {Verzeichnisse(18), "Zu viele Verzeichnisstufe"},
        {"/abcdefghijklmn/x", "Verzeichnis zu lang"},
        {relativ + "x", "Vollstaendiger Pfad zu lang"},  // with the working directory
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
    EXPECT_STREQ(GibVerzeichnis(d), "");
    EXPECT_EQ(LetzterBericht(), Zeile("GibVerzeichnis", "Warnung", "Parse-Fehler bei "));
    EXPECT_EQ(LegePfadAn(d), 0);
    EXPECT_EQ(BauePfadAuf(d), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("BauePfadAuf", "Warnung", "Verzeichnisse nicht geparsed"));
}

TEST_F(DateiTest, BauePfadAufCreatesExactlyTheMissingDirectories) {
    ASSERT_EQ(::mkdir(Pfad("a").c_str(), 0777), 0);
    DateiADO* d = Neu("a/b/c/datei.txt");
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

TEST_F(DateiTest, BauePfadAufAbortsWhenMkdirFails) {
    Schreibe("f", "kein Verzeichnis");
    DateiADO* d = Neu("f/b/x.txt");
    ParsePfad(d);
    EXPECT_EQ(EndeCode([&] { BauePfadAuf(d); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("BauePfadAuf", "Programmabbruch",
                                      "mkdir Verzeichnis " + Pfad("f") + ", File exists\n"));
}

}  // namespace
}  // namespace taktler::test
