// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/kxsound.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "services/fehler.h"
#include "services/pfade.h"

namespace taktler::services {

namespace {

// Without an installed device nothing plays (the program installs SDL2's).
class KeinSoundgeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& /*pfad*/) override {}
};

// A platform seam like the console and the clock, not program state.
Soundgeraet*& GesetztesGeraet() {
    static Soundgeraet* geraet = nullptr;
    return geraet;
}

}  // namespace

Soundgeraet& DasSoundgeraet() {
    Soundgeraet* geraet = GesetztesGeraet();
    static KeinSoundgeraet kein;
    return geraet != nullptr ? *geraet : kein;
}

void SetzeSoundgeraet(Soundgeraet* geraet) {
    GesetztesGeraet() = geraet;
}

Soundbaustein* SoundCreate() {
    auto* sound = new (std::nothrow) Soundbaustein;
    if (sound == nullptr) {
        Fehlerabbruch(kKxsoundModul, "Create", "malloc KXSOUNDDS");
    }
    sound->MagicByte = kSoundMagic;
    sound->DateiPfad = nullptr;
    return sound;
}

bool SetzeDateiPfad(Soundbaustein* sound, const char* pfad) {
    KXSOUND_check(sound);
    std::free(sound->DateiPfad);
    // Cleared at once: if the copy below fails, nothing may free it twice.
    sound->DateiPfad = nullptr;
    std::size_t laenge = std::strlen(pfad);
    auto* kopie = static_cast<char*>(std::malloc(laenge + 1));
    if (kopie == nullptr) {
        Fehlerabbruch(kKxsoundModul, "SetzeDateiPfad: Create malloc DatiPfad", pfad);
    }
    std::memcpy(kopie, pfad, laenge + 1);
    sound->DateiPfad = kopie;
    return true;
}

bool SpielAb(Soundbaustein* sound) {
    KXSOUND_check(sound);
    if (sound->DateiPfad == nullptr) {
        Fehlerabbruch(kKxsoundModul, "SpielAb", "Keine Datei gesetzt");
    }
    DasSoundgeraet().Spiele(LoeseKommandoPfadAuf(sound->DateiPfad));
    return true;
}

Soundbaustein* SoundDispose(Soundbaustein* sound) {
    KXSOUND_check(sound);
    std::free(sound->DateiPfad);
    sound->DateiPfad = nullptr;
    sound->MagicByte = 0;
    delete sound;
    return nullptr;
}

bool KXSOUND_check(const Soundbaustein* sound) {
    if (sound == nullptr) {
        Fehlerabbruch(kKxsoundModul, "KXSOUND_check", "inSound n. initialisisiert");
    }
    if (sound->MagicByte != kSoundMagic) {
        Fehlerabbruch(kKxsoundModul, "KXSOUND_check", "MagicByte n. initialisisiert");
    }
    return true;
}

}  // namespace taktler::services
