// SPDX-License-Identifier: GPL-3.0-or-later
// Sound on Windows: PlaySoundA plays a wave file asynchronously and replaces
// one still playing; a file it cannot play is not reported.
#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include "services/systemsound.h"
#include "windows_naehte.h"

namespace taktler::services {

namespace windows {

PlaySoundAufruf& PlaySoundNaht() {
    static PlaySoundAufruf aufruf = PlaySoundA;
    return aufruf;
}

}  // namespace windows

namespace {

class PlaySoundGeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override {
        windows::PlaySoundNaht()(pfad.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
    }
};

class StummesGeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override { (void)pfad; }
};

}  // namespace

Soundgeraet& SystemSound() {
    static PlaySoundGeraet geraet;
    return geraet;
}

Soundgeraet& SystemSoundStumm() {
    static StummesGeraet geraet;
    return geraet;
}

}  // namespace taktler::services
