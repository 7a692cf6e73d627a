// SPDX-License-Identifier: GPL-3.0-or-later
#include "datei/datei.h"
#include "services/abschluss.h"

namespace taktler::datei {

DateiModulzustand& Modul() {
    static DateiModulzustand zustand;
    return zustand;
}

void ModulZuruecksetzen() {
    DateiModulzustand& z = Modul();
    for (DateiADO* datei : z.Lebende) {
        if (datei->FilePtr != nullptr) {
            std::fclose(datei->FilePtr);
        }
        delete datei->Verzeichnisse;
        delete datei;
    }
    services::AusgabeAbmelden(z.Abschluss);
    z = DateiModulzustand{};
}

}  // namespace taktler::datei
