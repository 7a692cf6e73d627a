#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/kxsound.h"
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
    // Kept in the level table so that an abort leaks nothing.
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

// The device gets the last path set, found as the command file spells it,
// or as written when there is no such file.
TEST_F(KxsoundTest, TheDeviceGetsTheLastPathResolved) {
    TempVerzeichnis tmp;
    std::string datei = tmp.Datei("klaenge/gong.wav");
    std::string geschrieben = "C:" + tmp.pfad() + "\\KLAENGE\\GONG.WAV";
    for (auto& c : geschrieben) {
        c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    auto* sound = Neu();
    EXPECT_TRUE(SetzeDateiPfad(sound, "C:\\NICHT\\DA.WAV"));
    EXPECT_TRUE(SpielAb(sound));
    EXPECT_TRUE(SetzeDateiPfad(sound, geschrieben.c_str()));
    EXPECT_TRUE(SpielAb(sound));
    EXPECT_EQ(geraet.pfade, (std::vector<std::string>{"C:\\NICHT\\DA.WAV", datei}));
    interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
    EXPECT_TRUE(fenster.berichte.empty());
}

using SdlSoundTest = TaktlerTest;

// A wave, a missing file and a broken one, on a working driver and on ALSA
// with a device that does not exist (which complains on stderr): all play
// without a report and print nothing. That the device really sounds is a
// whole-program test.
TEST_F(SdlSoundTest, PlayingPrintsNothingWhateverFails) {
    TempVerzeichnis tmp;
    SetzeSoundgeraet(&SdlGeraet());
    const std::vector<std::string> dateien = {tmp.Datei("ton.wav", SinusWav(0.1)),
                                              tmp / "fehlt.wav",
                                              tmp.Datei("kaputt.wav", "RIFFxxxxWAVEjunk")};
    // File descriptors 1 and 2 go to a file meanwhile.
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
