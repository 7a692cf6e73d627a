#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "services/pfade.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using services::LoeseKommandoPfadAuf;

// How a command file writes a path: upper case, backslashes, drive letter.
std::string WieImKommando(const std::string& pfad) {
    std::string ergebnis = "C:";
    for (char c : pfad) {
        ergebnis +=
            c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return ergebnis;
}

TEST(PfadeTest, CommandFileSpellingFindsTheFile) {
    TempVerzeichnis tmp;
    std::string datei = tmp.Datei("klaenge/Gong.wav");
    EXPECT_EQ(LoeseKommandoPfadAuf(WieImKommando(tmp.pfad() + "/klaenge/gong.wav")), datei);
}

TEST(PfadeTest, ExactSpellingWinsAndSearchTriesEverySpelling) {
    TempVerzeichnis tmp;
    std::string gross = tmp.Datei("SUB/KLANG.WAV");
    std::string klein = tmp.Datei("sub/klang.wav");
    EXPECT_EQ(LoeseKommandoPfadAuf(gross), gross);
    EXPECT_EQ(LoeseKommandoPfadAuf(tmp.pfad() + "/sub/KLANG.wav"), klein);
    // "A" exists but holds no X.WAV; the file is found under "a".
    std::filesystem::create_directory(tmp.pfad() + "/A");
    std::string x = tmp.Datei("a/x.wav");
    EXPECT_EQ(LoeseKommandoPfadAuf(tmp.pfad() + "\\A\\X.WAV"), x);
}

TEST(PfadeTest, RelativePathsStartAtTheWorkingDirectory) {
    TempVerzeichnis tmp;
    tmp.Datei("sub/klang.wav");
    auto vorher = std::filesystem::current_path();
    std::filesystem::current_path(tmp.pfad());
    std::string gefunden = LoeseKommandoPfadAuf("SUB\\KLANG.WAV");
    std::string laufwerk = LoeseKommandoPfadAuf("D:SUB\\\\KLANG.WAV");
    std::filesystem::current_path(vorher);
    EXPECT_EQ(gefunden, "sub/klang.wav");
    EXPECT_EQ(laufwerk, "sub/klang.wav");
}

TEST(PfadeTest, NoMatchGivesThePathAsWritten) {
    TempVerzeichnis tmp;
    tmp.Datei("sub/klang.wav");
    for (const std::string& pfad :
         {WieImKommando(tmp.pfad() + "/sub/fehlt.wav"),
          WieImKommando(tmp.pfad() + "/sub/klang.wav/x"), std::string("C:"), std::string("")}) {
        EXPECT_EQ(LoeseKommandoPfadAuf(pfad), pfad);
    }
}

}  // namespace
}  // namespace taktler::test
