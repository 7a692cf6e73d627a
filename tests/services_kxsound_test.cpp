#include <SDL2/SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
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
    EXPECT_EQ(EndeCode([&] { SoundDispose(&falsch); }), 12);

    auto* sound = Neu();
    EXPECT_EQ(sound->MagicByte, kSoundMagic);
    EXPECT_EQ(EndeCode([&] { SpielAb(sound); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "SpielAb, Programmabbruch: Keine Datei gesetzt");
    EXPECT_TRUE(geraet.pfade.empty());
}

TEST_F(KxsoundTest, TheLastPathSetIsPlayedAndMissingFilesPassAsWritten) {
    auto* sound = Neu();
    EXPECT_TRUE(SetzeDateiPfad(sound, "C:\\ERSTER.WAV"));
    EXPECT_TRUE(SetzeDateiPfad(sound, "C:\\NICHT\\DA.WAV"));
    EXPECT_TRUE(SpielAb(sound));
    EXPECT_TRUE(SetzeDateiPfad(sound, ""));
    EXPECT_TRUE(SpielAb(sound));
    EXPECT_EQ(geraet.pfade, (std::vector<std::string>{"C:\\NICHT\\DA.WAV", ""}));
    interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
    EXPECT_EQ(interpreter::Zustand().Soundbausteine[1], nullptr);
    EXPECT_TRUE(fenster.berichte.empty());
}

TEST_F(KxsoundTest, TheDeviceGetsTheResolvedPath) {
    TempVerzeichnis tmp;
    std::string datei = tmp.Datei("klaenge/gong.wav");
    std::string geschrieben = "C:" + tmp.pfad() + "\\KLAENGE\\GONG.WAV";
    for (auto& c : geschrieben) {
        c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    auto* sound = Neu();
    SetzeDateiPfad(sound, geschrieben.c_str());
    EXPECT_STREQ(sound->DateiPfad, geschrieben.c_str());
    SpielAb(sound);
    EXPECT_EQ(geraet.pfade, std::vector<std::string>{datei});
}

// Sends file descriptors 1 and 2 to a file while alive; gives what arrived.
class FdMitschnitt {
  public:
    explicit FdMitschnitt(std::string datei) : datei_(std::move(datei)) {
        std::fflush(nullptr);
        int fd = ::open(datei_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (int i : {1, 2}) {
            alt_[i - 1] = ::dup(i);
            ::dup2(fd, i);
        }
        ::close(fd);
    }
    std::string Ende() {
        std::fflush(nullptr);
        for (int i : {1, 2}) {
            ::dup2(alt_[i - 1], i);
            ::close(alt_[i - 1]);
        }
        std::ifstream ein(datei_, std::ios::binary);
        return {std::istreambuf_iterator<char>(ein), {}};
    }

  private:
    std::string datei_;
    int alt_[2] = {-1, -1};
};

bool HatTreiber(const char* name) {
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
        if (std::string(SDL_GetAudioDriver(i)) == name) {
            return true;
        }
    }
    return false;
}

class SdlSoundTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        SetzeSoundgeraet(&SdlGeraet());
        SdlGeraetSchliessen();
    }
    void TearDown() override {
        SdlGeraetSchliessen();
        SetzeSoundgeraet(nullptr);
        ::unsetenv("SDL_AUDIODRIVER");
        ::unsetenv("SDL_DISKAUDIOFILE");
        ::unsetenv("AUDIODEV");
        TaktlerTest::TearDown();
    }
    bool Spiele(const std::string& pfad) {
        auto* sound = interpreter::Zustand().Soundbausteine[1] = SoundCreate();
        SetzeDateiPfad(sound, pfad.c_str());
        bool ok = SpielAb(sound);
        interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
        return ok;
    }
    TempVerzeichnis tmp;
};

TEST_F(SdlSoundTest, PlaysAWaveWithoutWaitingAndPrintsNothing) {
    const bool disk = HatTreiber("disk");
    const std::string roh = tmp.pfad() + "/ausgabe.raw";
    ::setenv("SDL_AUDIODRIVER", disk ? "disk" : "dummy", 1);
    ::setenv("SDL_DISKAUDIOFILE", roh.c_str(), 1);
    const std::string wav = tmp.Datei("ton.wav", SinusWav(1.0));

    FdMitschnitt mitschnitt(tmp.pfad() + "/konsole.txt");
    auto start = std::chrono::steady_clock::now();
    bool ok = Spiele(wav);
    auto dauer = std::chrono::steady_clock::now() - start;
    bool okFehlend = Spiele(tmp.pfad() + "/fehlt.wav");
    bool okKaputt = Spiele(tmp.Datei("kaputt.wav", "RIFFxxxxWAVEjunk"));
    std::string ausgabe = mitschnitt.Ende();

    EXPECT_TRUE(ok && okFehlend && okKaputt);
    EXPECT_LT(dauer, std::chrono::milliseconds(500)) << "a one-second sound must not block";
    EXPECT_EQ(ausgabe, "");
    EXPECT_TRUE(fenster.berichte.empty());
    if (!disk) {
        return;
    }
    // The disk driver writes what the device plays; the sine is not silence.
    bool klingt = false;
    for (int i = 0; i < 40 && !klingt; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::ifstream ein(roh, std::ios::binary);
        std::string daten{std::istreambuf_iterator<char>(ein), {}};
        klingt = daten.find_first_not_of('\0') != std::string::npos;
    }
    EXPECT_TRUE(klingt);
}

// ALSA complains on stderr about a device it cannot open; none of that shows.
TEST_F(SdlSoundTest, AMissingAudioDeviceIsSilent) {
    ::setenv("SDL_AUDIODRIVER", "alsa", 1);
    ::setenv("AUDIODEV", "taktler_kein_geraet", 1);
    const std::string wav = tmp.Datei("ton.wav", SinusWav(0.1));
    FdMitschnitt mitschnitt(tmp.pfad() + "/konsole.txt");
    bool ok = Spiele(wav) && Spiele(wav);
    std::string ausgabe = mitschnitt.Ende();
    EXPECT_TRUE(ok);
    EXPECT_EQ(ausgabe, "");
    EXPECT_TRUE(fenster.berichte.empty());
}

}  // namespace
}  // namespace taktler::test
