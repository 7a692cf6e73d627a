// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/konsolenbefehle.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "datei/datei.h"
#include "interpreter/zustand.h"
#include "services/pfade.h"
#include "services/trace.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

// Time stamp, ";", the message word, ";" and a line end.
std::string Meldungszeile(const Kommandozeile& kz) {
    std::string zeile = Systemzeit();
    zeile += ';';
    zeile += kz.Parameter1.data();
    zeile += ";\n";
    return zeile;
}

}  // namespace

bool Meldung(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Meldung");
    services::DieKonsole().Aus(Meldungszeile(kz));
    return false;
}

bool Pause(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Pause");
    services::DieKonsole().Aus(Meldungszeile(kz));
    services::DieKonsole().Aus("Weiter: Beliebiges Zeichen eingeben und ENTER druecken...");
    services::DieKonsole().LiesWort();
    return false;
}

bool Info(Kommandozeile& kz) {
    datei::DateiADO* datei = datei::Create();
    datei::SetzePfad(datei, services::LoeseKommandoPfadAuf(kz.Parameter1.data()).c_str());
    std::array<char, kInfozeile> satz{};
    while (datei::LiesSatz(datei, satz.data(), satz.size()) == 1) {
        services::Ausgabe("%s\n", satz.data());
    }
    datei::Dispose(datei);
    return true;
}

const char* Systemzeit() {
    services::TraceKlammer trace(kModul, "Systemzeit");
    std::tm t = services::DieUhr().LokaleZeit();
    // Formatted wide first: the 17 characters of a real date always fit the
    // static buffer, anything longer is cut there.
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%4.4d%2.2d%2.2d.%2.2d:%2.2d:%2.2d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    auto& puffer = Zustand().SystemzeitPuffer;
    puffer.fill('\0');
    for (std::size_t i = 0; i + 1 < puffer.size() && text[i] != '\0'; ++i) {
        puffer[i] = text[i];
    }
    return puffer.data();
}

void datum_undZeit(char* text, std::size_t kapazitaet) {
    services::TraceKlammer trace(kModul, "datum_undZeit");
    std::tm t = services::DieUhr().LokaleZeit();
    std::snprintf(text, kapazitaet, "am %2.2d.%2.2d.%4.4d um %2.2d.%2.2d.%2.2d", t.tm_mday,
                  t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

}  // namespace taktler::interpreter
