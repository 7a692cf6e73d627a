#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "services/pfade.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using services::LoeseKommandoPfadAuf;

// Where two spellings of a directory exist, the one that holds the rest of
// the path wins; the exact spelling is tried first.
TEST(PfadeTest, CommandFileSpellingFindsTheFile) {
    TempVerzeichnis tmp;
    std::string gross = tmp.Datei("SUB/KLANG.WAV");
    std::string klein = tmp.Datei("sub/klang.wav");
    std::filesystem::create_directory(tmp / "A");
    std::string x = tmp.Datei("a/x.wav");
    std::string laufwerk = "C:" + tmp.pfad();
    for (char& c : laufwerk) {
        c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(LoeseKommandoPfadAuf(gross), gross);
    EXPECT_EQ(LoeseKommandoPfadAuf(tmp / "sub/KLANG.wav"), klein);
    EXPECT_EQ(LoeseKommandoPfadAuf(laufwerk + "\\A\\X.WAV"), x);
}

TEST(PfadeTest, RelativePathsStartAtTheWorkingDirectory) {
    TempVerzeichnis tmp;
    tmp.Datei("sub/klang.wav");
    auto vorher = std::filesystem::current_path();
    std::filesystem::current_path(tmp.pfad());
    std::string gefunden = LoeseKommandoPfadAuf("SUB\\KLANG.WAV");
    std::string laufwerk = LoeseKommandoPfadAuf("d:SUB\\\\KLANG.WAV");
    std::filesystem::current_path(vorher);
    EXPECT_EQ(gefunden, "sub/klang.wav");
    EXPECT_EQ(laufwerk, "sub/klang.wav");
}

TEST(PfadeTest, NoMatchGivesThePathAsWritten) {
    TempVerzeichnis tmp;
    tmp.Datei("sub/klang.wav");
    for (const std::string& pfad : {"C:" + tmp.pfad() + "\\SUB\\FEHLT.WAV", tmp / "SUB/KLANG.WAV/X",
                                    std::string("C:"), std::string("")}) {
        EXPECT_EQ(LoeseKommandoPfadAuf(pfad), pfad);
    }
}

}  // namespace
}  // namespace taktler::test
