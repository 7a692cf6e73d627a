// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/sdlsound.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "services/systemsound.h"

namespace taktler::services {

namespace {

void KeinLog(void* /*daten*/, int /*kategorie*/, SDL_LogPriority /*prioritaet*/,
             const char* /*text*/) {}

// Audio back ends (ALSA above all) write their complaints straight to file
// descriptor 2. Playing must print nothing, so stderr is parked on /dev/null
// while SDL sets up. The program has one thread, so nothing else is lost.
class StderrStumm {
  public:
    StderrStumm() {
        std::fflush(stderr);
        alt_ = ::dup(STDERR_FILENO);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (alt_ >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~StderrStumm() {
        if (alt_ >= 0) {
            ::dup2(alt_, STDERR_FILENO);
            ::close(alt_);
        }
    }
    StderrStumm(const StderrStumm&) = delete;
    StderrStumm& operator=(const StderrStumm&) = delete;

  private:
    int alt_ = -1;
};

struct WavDaten {
    Uint8* puffer = nullptr;
    Uint32 laenge = 0;
    SDL_AudioSpec format{};
    ~WavDaten() { SDL_FreeWAV(puffer); }
};

// Plays through SDL2's audio queue. The subsystem and device are opened on
// the first sound only, so a run without SOUND never touches audio.
class SdlSoundgeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override {
        StderrStumm stumm;
        if (!Oeffne()) {
            return;
        }
        WavDaten wav;
        if (SDL_LoadWAV(pfad.c_str(), &wav.format, &wav.puffer, &wav.laenge) == nullptr) {
            return;
        }
        std::vector<Uint8> daten;
        if (!Wandle(wav, daten) || daten.empty()) {
            return;
        }
        // A new sound replaces one still playing.
        SDL_ClearQueuedAudio(geraet_);
        if (SDL_QueueAudio(geraet_, daten.data(), static_cast<Uint32>(daten.size())) == 0) {
            SDL_PauseAudioDevice(geraet_, 0);
        }
    }

    void Schliessen() {
        if (geraet_ != 0) {
            SDL_CloseAudioDevice(geraet_);
            geraet_ = 0;
        }
        if (subsystem_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            subsystem_ = false;
        }
        versucht_ = false;
    }

  private:
    bool Oeffne() {
        if (versucht_) {
            return geraet_ != 0;
        }
        versucht_ = true;
        SDL_LogSetOutputFunction(KeinLog, nullptr);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        subsystem_ = true;
        SDL_AudioSpec wunsch{};
        wunsch.freq = 44100;
        wunsch.format = AUDIO_S16SYS;
        wunsch.channels = 2;
        wunsch.samples = 4096;
        geraet_ = SDL_OpenAudioDevice(nullptr, 0, &wunsch, &format_, SDL_AUDIO_ALLOW_ANY_CHANGE);
        return geraet_ != 0;
    }

    // Brings the file's samples into the device's format.
    bool Wandle(const WavDaten& wav, std::vector<Uint8>& daten) {
        SDL_AudioStream* strom =
            SDL_NewAudioStream(wav.format.format, wav.format.channels, wav.format.freq,
                               format_.format, format_.channels, format_.freq);
        if (strom == nullptr) {
            return false;
        }
        bool ok = SDL_AudioStreamPut(strom, wav.puffer, static_cast<int>(wav.laenge)) == 0 &&
                  SDL_AudioStreamFlush(strom) == 0;
        int verfuegbar = ok ? SDL_AudioStreamAvailable(strom) : 0;
        if (verfuegbar > 0) {
            daten.resize(static_cast<std::size_t>(verfuegbar));
            int gelesen = SDL_AudioStreamGet(strom, daten.data(), verfuegbar);
            daten.resize(gelesen > 0 ? static_cast<std::size_t>(gelesen) : 0);
        }
        SDL_FreeAudioStream(strom);
        return ok;
    }

    bool versucht_ = false;
    bool subsystem_ = false;
    SDL_AudioDeviceID geraet_ = 0;
    SDL_AudioSpec format_{};
};

SdlSoundgeraet& DasSdlGeraet() {
    static SdlSoundgeraet geraet;
    return geraet;
}

class StummesSdlGeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override {
        WavDaten wav;
        SDL_LoadWAV(pfad.c_str(), &wav.format, &wav.puffer, &wav.laenge);
    }
};

}  // namespace

Soundgeraet& SdlGeraet() {
    return DasSdlGeraet();
}

Soundgeraet& SdlGeraetStumm() {
    static StummesSdlGeraet geraet;
    return geraet;
}

void SdlGeraetSchliessen() {
    DasSdlGeraet().Schliessen();
}

Soundgeraet& SystemSound() {
    return SdlGeraet();
}

Soundgeraet& SystemSoundStumm() {
    return SdlGeraetStumm();
}

}  // namespace taktler::services
