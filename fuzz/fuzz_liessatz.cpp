// SPDX-License-Identifier: GPL-3.0-or-later
// LiesSatz at each capacity the program reads with, and the smallest, against the record model.
#include <cstdint>
#include <string>
#include <vector>

#include "datei/datei.h"
#include "services/strtools.h"
#include "services/trace.h"
#include "testhilfe/stumme_seams.h"

using namespace taktler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    if (groesse < 1) {
        return 0;
    }
    fuzz::Seams& seams = fuzz::Installiere();
    seams.fenster.Zuruecksetzen(0);
    const std::uint32_t kapazitaeten[] = {500, 250, 200, 100, 2, 3};
    const std::uint32_t kapazitaet = kapazitaeten[daten[0] % 6];
    const std::string pfad = fuzz::Arbeitsverzeichnis() + "/satz.txt";
    fuzz::SchreibeDatei(pfad, daten + 1, groesse - 1);
    const fuzz::Satzmodell modell = fuzz::Saetze(
        std::string(reinterpret_cast<const char*>(daten + 1), groesse - 1), kapazitaet);

    std::size_t gelesen = 0;
    int code = -1;
    std::vector<char> puffer(kapazitaet);  // exactly as announced: ASan sees any overrun
    try {
        datei::DateiADO* d = datei::Create();
        datei::SetzePfad(d, pfad.c_str());
        while (datei::LiesSatz(d, puffer.data(), kapazitaet) == 1) {
            fuzz::Pruefe(gelesen < modell.saetze.size(), "more records than the model");
            const fuzz::Satz& s = modell.saetze[gelesen++];
            const bool weitere = gelesen < modell.saetze.size() || modell.abbruch;
            fuzz::Pruefe(std::string(puffer.data(), s.text.size() + 1) == s.text + '\0' &&
                             d->Pos == s.pos && d->Satzlaenge == s.laenge &&
                             d->WeitereSaetze == (weitere ? 1 : 0),
                         "record text, terminator, position, length or more-records flag differs");
        }
        fuzz::Pruefe(!modell.abbruch && gelesen == modell.saetze.size(),
                     "record count differs or a line too long did not abort");
        datei::GeheZumErstenSatz(d);
        const std::string& erster = modell.saetze[0].text;
        fuzz::Pruefe(datei::LiesSatz(d, puffer.data(), kapazitaet) == 1 &&
                         std::string(puffer.data(), erster.size()) == erster,
                     "first record differs after rewind");
        datei::Dispose(d);
    } catch (const services::Programmende& e) {
        code = e.code;
    }
    fuzz::Pruefe(modell.abbruch
                     ? code == 12 && seams.fenster.letzteZeile.find("max. Zeilenlaenge zu gross") !=
                                         std::string::npos
                     : code == -1,
                 "abort differs", seams.fenster.letzteZeile);
    datei::ModulZuruecksetzen();
    services::StrtoolsZuruecksetzen();
    services::TraceZuruecksetzen();
    return 0;
}
