// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/zustand.h"

#include <cstdlib>

#include "interpreter/laufstand.h"
#include "interpreter/zeilenindex.h"

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
