// SPDX-License-Identifier: GPL-3.0-or-later
// The check's lines on the console: one per finding, one per file, one
// for all files.
#include <string>

#include "pruefen/pruefen.h"
#include "services/umgebung.h"

namespace taktler::pruefen {

namespace {

// The findings of one file; gives whether it has an error.
bool PruefeUndZeige(const std::string& name, bool streng, bool& warnung) {
    const Pruefergebnis ergebnis = PruefeKommandodatei(name);
    int fehler = 0;
    int warnungen = 0;
    for (const Pruefbefund& b : ergebnis.befunde) {
        const bool istFehler = b.fehler || (streng && b.abbruch);
        std::string art = istFehler ? "fehler" : "warnung";
        if (b.nach != 0) {
            art += " (nach Zeile " + std::to_string(b.nach) + ")";
        }
        if (b.zeile == 0) {
            services::Ausgabe("%s: %s: %s\n", name.c_str(), art.c_str(), b.text.c_str());
        } else {
            services::Ausgabe("%s:%d: %s: %s\n", name.c_str(), b.zeile, art.c_str(),
                              b.text.c_str());
        }
        ++(istFehler ? fehler : warnungen);
    }
    services::Ausgabe("%s: %d Fehler, %d Warnung(en)\n", name.c_str(), fehler, warnungen);
    warnung = warnungen > 0;
    return fehler > 0;
}

}  // namespace

int Pruefen(const std::vector<std::string>& dateien, bool streng) {
    if (dateien.empty()) {
        services::FehlerAusgabe(
            "taktler: --pruefen braucht mindestens eine Kommandodatei\n"
            "Aufruf: taktler --pruefen [--streng] <Kommandodatei>...\n");
        return 12;
    }
    int mitFehlern = 0;
    int mitWarnungen = 0;
    for (const std::string& name : dateien) {
        bool warnung = false;
        if (PruefeUndZeige(name, streng, warnung)) {
            ++mitFehlern;
        } else if (warnung) {
            ++mitWarnungen;
        }
    }
    if (dateien.size() >= 2) {
        const int n = static_cast<int>(dateien.size());
        services::Ausgabe("%d Dateien: %d mit Fehlern, %d mit Warnungen, %d ohne Befund\n", n,
                          mitFehlern, mitWarnungen, n - mitFehlern - mitWarnungen);
    }
    return mitFehlern > 0 ? 12 : 0;
}

}  // namespace taktler::pruefen
