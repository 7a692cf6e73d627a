// SPDX-License-Identifier: GPL-3.0-or-later
// The timer object Zeitbaustein: a stopwatch started at creation, on the
// clock's monotonic reading.
#pragma once

#include <cstdint>

#include "services/umgebung.h"

namespace taktler::services {

inline constexpr const char* kKxzeitModul = "KXZEIT 101200";
constexpr std::uint8_t kZeitMagic = 0xF9;

struct Zeitbaustein {
    std::uint8_t MagicByte = 0;
    Zeitpunkt Startzeit;
    Zeitpunkt Messzeit;
};

Zeitbaustein* ZeitCreate();
std::uint32_t ZeitVergangen(Zeitbaustein* zeit);
Zeitbaustein* ZeitDispose(Zeitbaustein* zeit);
bool KXZEIT_check(const Zeitbaustein* zeit);

}  // namespace taktler::services
