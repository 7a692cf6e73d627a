#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "services/kxsound.h"
#include "services/pfade.h"
#include "services/sdlsound.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace services;

class MerkGeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override { pfade.push_back(pfad); }
    std::vector<std::string> pfade;
};

class KxsoundTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        SetzeSoundgeraet(&geraet);
    }
    void TearDown() override {
        SetzeSoundgeraet(nullptr);
        TaktlerTest::TearDown();
    }
    // In the level table, so that an abort leaks nothing.
    Soundbaustein* Neu() { return interpreter::Zustand().Soundbausteine[1] = SoundCreate(); }

    MerkGeraet geraet;
};

TEST_F(KxsoundTest, ChecksAndPlayingWithoutPath) {
    const std::string kopf = "Modul: KXSOUND 101200, Funktion: ";
    EXPECT_EQ(EndeCode([] { SpielAb(nullptr); }), 12);
    EXPECT_EQ(LetzterBericht(),
              kopf + "KXSOUND_check, Programmabbruch: inSound n. initialisisiert");
    Soundbaustein falsch;
    falsch.MagicByte = kZeitMagic;
    EXPECT_EQ(EndeCode([&] { SetzeDateiPfad(&falsch, "x"); }), 12);
    EXPECT_EQ(LetzterBericht(),
              kopf + "KXSOUND_check, Programmabbruch: MagicByte n. initialisisiert");
    EXPECT_EQ(EndeCode([&] { SpielAb(Neu()); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "SpielAb, Programmabbruch: Keine Datei gesetzt");
    EXPECT_TRUE(geraet.pfade.empty());
}

// The device gets the last path set, resolved as the command file spells it.
TEST_F(KxsoundTest, TheDeviceGetsTheLastPathResolved) {
    TempVerzeichnis tmp;
    const std::string datei = tmp.Datei("gong.wav");
    auto* sound = Neu();
    EXPECT_TRUE(SetzeDateiPfad(sound, "C:\\NICHT\\DA.WAV"));
    EXPECT_TRUE(SetzeDateiPfad(sound, (tmp / "GONG.WAV").c_str()));
    EXPECT_TRUE(SpielAb(sound));
    EXPECT_EQ(geraet.pfade, (std::vector<std::string>{datei}));
    interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
    EXPECT_TRUE(fenster.berichte.empty());
}

// Where two spellings of a directory exist, the one holding the rest wins, the exact one first;
// relative paths, with or without a drive, start at the working directory.
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

using SdlSoundTest = TaktlerTest;

// A wave, a missing and a broken file, on a working driver and on ALSA without a device (which
// complains on stderr): all play without a report and print nothing.
TEST_F(SdlSoundTest, PlayingPrintsNothingWhateverFails) {
    TempVerzeichnis tmp;
    SetzeSoundgeraet(&SdlGeraet());
    const std::vector<std::string> dateien = {tmp.Datei("ton.wav", SinusWav(0.1)),
                                              tmp / "fehlt.wav",
                                              tmp.Datei("kaputt.wav", "RIFFxxxxWAVEjunk")};
    std::fflush(nullptr);
    const int alt[2] = {::dup(1), ::dup(2)};
    const int fd = ::open((tmp / "konsole.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::close(fd);
    bool ok = true;
    for (const char* treiber : {"dummy", "alsa"}) {
        SdlGeraetSchliessen();
        ::setenv("SDL_AUDIODRIVER", treiber, 1);
        ::setenv("AUDIODEV", "taktler_kein_geraet", 1);
        for (const std::string& datei : dateien) {
            Soundbaustein* sound = SoundCreate();
            ok = SetzeDateiPfad(sound, datei.c_str()) && SpielAb(sound) && ok;
            SoundDispose(sound);
        }
    }
    std::fflush(nullptr);
    for (int i : {0, 1}) {
        ::dup2(alt[i], i + 1);
        ::close(alt[i]);
    }
    SdlGeraetSchliessen();
    SetzeSoundgeraet(nullptr);
    ::unsetenv("SDL_AUDIODRIVER");
    ::unsetenv("AUDIODEV");
    EXPECT_TRUE(ok);
    EXPECT_EQ(LiesDatei(tmp / "konsole.txt"), "");
    EXPECT_TRUE(fenster.berichte.empty());
}

}  // namespace
}  // namespace taktler::test
