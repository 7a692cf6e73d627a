// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for inpoutx64.dll, put beside taktler.exe by the Windows tests:
// one parallel port at 0x378 whose control register holds what is written.
// Every call is logged to TAKTLER_INPOUT_LOG, one line each. Faults:
// TAKTLER_INPOUT_TREIBER=zu the driver does not open; TAKTLER_INPOUT_WEG=N
// the port is gone after N accesses (every register reads 0xFF).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

constexpr unsigned kBasis = 0x378;

std::FILE* Log() {
    static std::FILE* log = [] {
        const char* pfad = std::getenv("TAKTLER_INPOUT_LOG");
        return pfad != nullptr ? std::fopen(pfad, "wb") : nullptr;
    }();
    return log;
}

void Zeile(const char* art, unsigned adresse, unsigned wert) {
    if (Log() != nullptr) {
        std::fprintf(Log(), "%s %X %02X\n", art, adresse, wert);
        std::fflush(Log());
    }
}

long zugriffe = 0;
unsigned steuerung = 0x00;

bool Vorhanden(unsigned adresse) {
    const char* weg = std::getenv("TAKTLER_INPOUT_WEG");
    if (weg != nullptr && zugriffe > std::strtol(weg, nullptr, 10)) {
        return false;
    }
    return adresse >= kBasis && adresse <= kBasis + 2;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
    const char* treiber = std::getenv("TAKTLER_INPOUT_TREIBER");
    const bool offen = treiber == nullptr || std::string_view(treiber) != "zu";
    if (Log() != nullptr) {
        std::fprintf(Log(), "TREIBER %s\n", offen ? "offen" : "zu");
        std::fflush(Log());
    }
    return offen ? TRUE : FALSE;
}

extern "C" __declspec(dllexport) void __stdcall Out32(short adresse, short wert) {
    const auto a = static_cast<unsigned short>(adresse);
    const auto w = static_cast<unsigned>(wert) & 0xFF;
    ++zugriffe;
    if (Vorhanden(a) && a == kBasis + 2) {
        steuerung = w;
    }
    Zeile("W", a, w);
}

extern "C" __declspec(dllexport) short __stdcall Inp32(short adresse) {
    const auto a = static_cast<unsigned short>(adresse);
    ++zugriffe;
    // Status: all inputs open, BUSY low.
    const unsigned wert = !Vorhanden(a)     ? 0xFF
                          : a == kBasis + 2 ? steuerung
                          : a == kBasis + 1 ? 0x7F
                                            : 0x00;
    Zeile("R", a, wert);
    return static_cast<short>(wert);
}
