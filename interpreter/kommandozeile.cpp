// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/kommandozeile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "interpreter/taktler.h"
#include "services/strtools.h"
#include "services/trace.h"

namespace taktler::interpreter {

std::int32_t ZahlAusText(const char* text) {
    errno = 0;
    long wert = std::strtol(text, nullptr, 10);
    // Out-of-range numbers saturate instead of wrapping.
    if (wert > INT32_MAX) {
        return INT32_MAX;
    }
    if (wert < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(wert);
}

Kommandozeile* KommandozeileCreate() {
    services::TraceKlammer trace(kModul, "KommandozeileCreate");
    auto* kz = new (std::nothrow) Kommandozeile;
    if (kz == nullptr) {
        Programmabbruch(kModul, "Kommandozeile_Create", "malloc");
    }
    kz->Kommando[0] = '\0';
    kz->Parameter1[0] = '\0';
    kz->Parameter2[0] = '\0';
    kz->Parameter3[0] = '\0';
    kz->Parameter4[0] = '\0';
    kz->Protokolldateiname[0] = '\0';
    kz->Stufe = 0;
    kz->Ausfuehren[0] = 1;
    return kz;
}

Kommandozeile* KommandozeileDispose(Kommandozeile* kz) {
    services::TraceKlammer trace(kModul, "KommandozeileDispose");
    delete kz;
    return nullptr;
}

bool ParseKommandozeile(char* zeile, Kommandozeile* kz) {
    services::TraceKlammer trace(kModul, "ParseKommandzeile");
    char* cursor = zeile;
    while (*cursor == ' ') {
        ++cursor;
    }
    services::strGross(zeile);
    if (*cursor == ';' || *cursor == '\0') {
        Kopiere(kz->Kommando, ";");
        return true;
    }

    // Start of the keyword and of up to three parameters; later fields are
    // split off but not stored.
    char* felder[4] = {cursor, nullptr, nullptr, nullptr};
    int anzahl = 1;
    char* p = cursor;
    while (*p != '\0') {
        if (*p == ' ' || *p == ',') {
            *p = '\0';
            ++p;
            while (*p == ' ') {
                ++p;
            }
            if (anzahl < 4) {
                felder[anzahl] = p;
            }
            ++anzahl;
        } else {
            ++p;
        }
    }
    Kopiere(kz->Kommando, felder[0]);
    if (felder[1] != nullptr) {
        Kopiere(kz->Parameter1, felder[1]);
    }
    if (felder[2] != nullptr) {
        Kopiere(kz->Parameter2, felder[2]);
    }
    if (felder[3] != nullptr) {
        Kopiere(kz->Parameter3, felder[3]);
    }
    return true;
}

std::int32_t GibKommando(const Kommandozeile* kz) {
    services::TraceKlammer trace(kModul, "GibKommando");
    return KommandocodeVon(kz->Kommando.data());
}

std::int32_t GibBedingung(const Kommandozeile* kz) {
    services::TraceKlammer trace(kModul, "GibBedingung");
    const std::int32_t code = BedingungscodeVon(kz->Parameter3.data());
    if (code >= 0) {
        return code;
    }
    Programmabbruch(kModul, "GibBedingung", kz->Parameter3.data());
}

bool KommandozeileSetzeProtokolldatei(Kommandozeile* kz, const char* name) {
    services::TraceKlammer trace(kModul, "KommandozeileSetzeProtokolldatei");
    if (kz == nullptr) {
        Programmabbruch(kModul, "Kommandozeile_SetzeProtokolldatei", "ADO n. vorhanden");
    }
    if (std::strlen(name) >= kParameterLaenge) {
        Programmabbruch(kModul, "Kommandozeile_SetzeProtokolldatei", "inString zu lang");
    }
    Kopiere(kz->Protokolldateiname, name);
    return true;
}

}  // namespace taktler::interpreter
