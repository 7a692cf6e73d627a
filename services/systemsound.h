// SPDX-License-Identifier: GPL-3.0-or-later
// The sound device of the platform the program was built for: SDL2's audio
// (sdlsound.cpp) or the Windows multimedia call (playsound_windows.cpp).
#pragma once

#include "services/kxsound.h"

namespace taktler::services {

Soundgeraet& SystemSound();
// For virtual time: plays nothing.
Soundgeraet& SystemSoundStumm();

}  // namespace taktler::services
