// SPDX-License-Identifier: GPL-3.0-or-later
// The sound object Soundbaustein and the device that plays wave files.
#pragma once

#include <cstdint>
#include <string>

namespace taktler::services {

inline constexpr const char* kKxsoundModul = "KXSOUND 101200";
constexpr std::uint8_t kSoundMagic = 0xF8;

struct Soundbaustein {
    std::uint8_t MagicByte = 0;
    char* DateiPfad = nullptr;
};

// What plays a file: starts at once, never waits, never reports a failure.
class Soundgeraet {
  public:
    virtual ~Soundgeraet() = default;
    virtual void Spiele(const std::string& pfad) = 0;
};

// The device in force: the one installed (the program installs SDL2's,
// tests their own); with none, nothing plays.
Soundgeraet& DasSoundgeraet();
void SetzeSoundgeraet(Soundgeraet* geraet);

Soundbaustein* SoundCreate();
bool SetzeDateiPfad(Soundbaustein* sound, const char* pfad);
bool SpielAb(Soundbaustein* sound);
Soundbaustein* SoundDispose(Soundbaustein* sound);
bool KXSOUND_check(const Soundbaustein* sound);

}  // namespace taktler::services
