#include "services/kxzeit.h"

#include <new>

#include "services/fehler.h"

namespace taktler::services {

Zeitbaustein* ZeitCreate() {
    auto* zeit = new (std::nothrow) Zeitbaustein;
    if (zeit == nullptr) {
        Fehlerabbruch(kKxzeitModul, "Create", "malloc KXZEITDS");
    }
    zeit->MagicByte = kZeitMagic;
    zeit->Startzeit = DieUhr().Jetzt();
    zeit->Messzeit = DieUhr().Jetzt();
    return zeit;
}

std::uint32_t ZeitVergangen(Zeitbaustein* zeit) {
    KXZEIT_check(zeit);
    zeit->Messzeit = DieUhr().Jetzt();
    // Unsigned so that a clock set back wraps to a huge count instead of
    // overflowing a signed value.
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
