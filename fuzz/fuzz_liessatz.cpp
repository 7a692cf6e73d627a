// LiesSatz on arbitrary file contents with every buffer capacity the
// program reads with, checked against a model of the record rules.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "datei/datei.h"
#include "services/strtools.h"
#include "services/trace.h"
#include "testhilfe/stumme_seams.h"

namespace {

using namespace taktler;

// Script loop, INFO, subroutine search and loop jump, plus the smallest.
constexpr std::array<std::uint32_t, 6> kKapazitaeten = {500, 250, 200, 100, 2, 3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    if (groesse < 1) {
        return 0;
    }
    fuzz::Seams& seams = fuzz::Installiere();
    seams.fenster.Zuruecksetzen(0);
    const std::uint32_t kapazitaet = kKapazitaeten[daten[0] % kKapazitaeten.size()];
    const std::string pfad = fuzz::Arbeitsverzeichnis() + "/satz.txt";
    fuzz::SchreibeDatei(pfad, daten + 1, groesse - 1);
    const fuzz::Satzmodell modell = fuzz::Saetze(
        std::string(reinterpret_cast<const char*>(daten + 1), groesse - 1), kapazitaet);

    std::size_t gelesen = 0;
    int code = -1;
    // The buffer is exactly as large as announced, so ASan sees any overrun.
    std::vector<char> puffer(kapazitaet);
    try {
        datei::DateiADO* d = datei::Create();
        datei::SetzePfad(d, pfad.c_str());
        while (datei::LiesSatz(d, puffer.data(), kapazitaet) == 1) {
            fuzz::Pruefe(gelesen < modell.saetze.size(), "more records than the model");
            // A record may hold NUL bytes; the model keeps them as well.
            const fuzz::Satz& s = modell.saetze[gelesen++];
            fuzz::Pruefe(std::string(puffer.data(), s.text.size() + 1) == s.text + '\0',
                         "record text differs or is not terminated");
            fuzz::Pruefe(d->Pos == s.pos && d->Satzlaenge == s.laenge,
                         "record position or length differs");
        }
        fuzz::Pruefe(!modell.abbruch, "line too long did not abort");
        fuzz::Pruefe(gelesen == modell.saetze.size(), "record count differs");
        // Reading again from the top gives the first record once more.
        datei::GeheZumErstenSatz(d);
        fuzz::Pruefe(
            datei::LiesSatz(d, puffer.data(), kapazitaet) == 1 &&
                std::string(puffer.data(), modell.saetze[0].text.size()) == modell.saetze[0].text,
            "first record differs after rewind");
        datei::Dispose(d);
    } catch (const services::Programmende& e) {
        code = e.code;
    }
    if (modell.abbruch) {
        fuzz::Pruefe(code == 12, "line too long did not abort");
        fuzz::Pruefe(
            seams.fenster.letzteZeile.find("max. Zeilenlaenge zu gross") != std::string::npos,
            "wrong abort text", seams.fenster.letzteZeile);
    } else {
        fuzz::Pruefe(code == -1, "unexpected abort", seams.fenster.letzteZeile);
    }
    datei::ModulZuruecksetzen();
    services::StrtoolsZuruecksetzen();
    services::TraceZuruecksetzen();
    return 0;
}
