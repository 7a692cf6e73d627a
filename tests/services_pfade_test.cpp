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
// the path wins; the exact spelling is tried first. Relative paths, with or
// without a drive, start at the working directory; no match gives the path
// as written.
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
    const std::pair<std::string, std::string> faelle[] = {
        {gross, gross},
        {tmp / "sub/KLANG.wav", klein},
        {laufwerk + "\\A\\X.WAV", x},
        {"A\\X.WAV", "a/x.wav"},
        {"d:A\\\\x.wav", "a/x.wav"},
        {laufwerk + "\\SUB\\FEHLT.WAV", laufwerk + "\\SUB\\FEHLT.WAV"},
        {tmp / "SUB/KLANG.WAV/X", tmp / "SUB/KLANG.WAV/X"},
        {"C:", "C:"},
        {"", ""},
    };
    auto vorher = std::filesystem::current_path();
    std::filesystem::current_path(tmp.pfad());
    for (const auto& [pfad, gefunden] : faelle) {
        EXPECT_EQ(LoeseKommandoPfadAuf(pfad), gefunden) << pfad;
    }
    std::filesystem::current_path(vorher);
}

}  // namespace
}  // namespace taktler::test
