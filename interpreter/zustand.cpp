#include "interpreter/zustand.h"

#include <cstdlib>

#include "interpreter/zeilenindex.h"

namespace taktler {

Programmzustand& Zustand() {
    static Programmzustand zustand;
    return zustand;
}

void ZustandZuruecksetzen() {
    Programmzustand& z = Zustand();
    datei::ModulFreigeben(z.datei);
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
    interpreter::ZeilenindexZuruecksetzen();
}

}  // namespace taktler
