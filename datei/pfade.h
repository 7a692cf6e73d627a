// SPDX-License-Identifier: GPL-3.0-or-later
// Paths and directories of a file object.
#pragma once

#include <cstdint>

#include "datei/datei.h"

namespace taktler::datei {

std::uint8_t ParsePfad(DateiADO* datei);
std::uint8_t BauePfadAuf(DateiADO* datei);
std::uint8_t LegePfadAn(DateiADO* datei);
const char* GibExtension(DateiADO* datei);
const char* GibDateinamenOhnePfad(DateiADO* datei);
const char* GibVerzeichnis(DateiADO* datei);

}  // namespace taktler::datei
