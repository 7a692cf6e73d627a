// SPDX-License-Identifier: GPL-3.0-or-later
// The sound device of the program: SDL2's audio, opened on the first sound
// only, so a run without SOUND never touches audio.
#pragma once

#include "services/kxsound.h"

namespace taktler::services {

Soundgeraet& SdlGeraet();
// For virtual time: loads the file as SdlGeraet does and plays nothing.
Soundgeraet& SdlGeraetStumm();
// Closes the device and audio subsystem; the next sound opens them anew.
void SdlGeraetSchliessen();

}  // namespace taktler::services
