// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/kxzeit.h"

#include <new>

#include "services/fehler.h"

namespace taktler::services {

namespace {

// Elapsed times are measured on the monotonic clock: a step of the wall
// clock (NTP, date) must neither end a wait early nor stretch it for weeks.
// The reading keeps the form of a time record, seconds and milliseconds.
Zeitpunkt Jetzt() {
    const std::uint64_t ms = DieUhr().MonotonMs();
    Zeitpunkt z;
    z.Sekunden = static_cast<std::int32_t>(ms / 1000);
    z.Millisekunden = static_cast<std::uint16_t>(ms % 1000);
    return z;
}

}  // namespace

Zeitbaustein* ZeitCreate() {
    auto* zeit = new (std::nothrow) Zeitbaustein;
    if (zeit == nullptr) {
        Fehlerabbruch(kKxzeitModul, "Create", "malloc KXZEITDS");
    }
    zeit->MagicByte = kZeitMagic;
    zeit->Startzeit = Jetzt();
    zeit->Messzeit = Jetzt();
    return zeit;
}

std::uint32_t ZeitVergangen(Zeitbaustein* zeit) {
    KXZEIT_check(zeit);
    zeit->Messzeit = Jetzt();
    // Unsigned arithmetic that wraps, as the record's 32-bit fields give it.
    auto sekunden = static_cast<std::uint32_t>(zeit->Messzeit.Sekunden) -
                    static_cast<std::uint32_t>(zeit->Startzeit.Sekunden);
    return sekunden * 1000u + static_cast<std::uint32_t>(zeit->Messzeit.Millisekunden) -
           static_cast<std::uint32_t>(zeit->Startzeit.Millisekunden);
}

Zeitbaustein* ZeitDispose(Zeitbaustein* zeit) {
    KXZEIT_check(zeit);
    zeit->MagicByte = 0;
    delete zeit;
    return nullptr;
}

bool KXZEIT_check(const Zeitbaustein* zeit) {
    if (zeit == nullptr) {
        Fehlerabbruch(kKxzeitModul, "KXZEIT_check", "inZeit n. initialisisiert");
    }
    if (zeit->MagicByte != kZeitMagic) {
        Fehlerabbruch(kKxzeitModul, "KXZEIT_check", "MagicByte n. initialisisiert");
    }
    return true;
}

}  // namespace taktler::services
