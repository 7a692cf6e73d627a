// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/zustand.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "interpreter/laufstand.h"
#include "interpreter/schleifen.h"
#include "interpreter/zeilenindex.h"
#include "services/strtools.h"

namespace taktler::interpreter {

Programmzustand& Zustand() {
    static Programmzustand zustand;
    return zustand;
}

Laufstand Stand() {
    const Programmzustand& z = Zustand();
    Laufstand s;
    s.zeilennummer = z.Zeile != nullptr ? z.Zeile->Zeilennummer : 0;
    s.editorzeile = LaufortVon(DerZeilenindex()).editorzeile;
    s.stufe = z.Zeile != nullptr ? z.Zeile->Stufe : 0;
    s.tracelevel = z.Tracelevel;
    s.nothaltAktiv = z.NothaltAktiv != 0;
    s.nothaltSchalter = z.NothaltSchalter + 1;
    s.schnittstelle = z.interfaceDS;
    return s;
}

bool IstBefehlszeile(std::string_view zeile) {
    // As the loop sees it: up to the first NUL, trimmed, parsed.
    std::array<char, kZeilenpuffer> puffer{};
    const std::size_t n = std::min(zeile.find('\0'), puffer.size() - 1);
    std::memcpy(puffer.data(), zeile.data(), std::min(n, zeile.size()));
    services::strTrimEnde(puffer.data());
    Kommandozeile kz;
    ParseKommandozeile(puffer.data(), &kz);
    return GibKommando(&kz) != kKommentar;
}

void ZustandZuruecksetzen() {
    Programmzustand& z = Zustand();
    for (auto& zeit : z.Zeitbausteine) {
        delete zeit;
        zeit = nullptr;
    }
    for (auto& sound : z.Soundbausteine) {
        if (sound != nullptr) {
            std::free(sound->DateiPfad);
            delete sound;
            sound = nullptr;
        }
    }
    delete z.Zeile;
    z = Programmzustand{};
}

}  // namespace taktler::interpreter
