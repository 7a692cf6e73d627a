// SPDX-License-Identifier: GPL-3.0-or-later
#include "pruefen/pruefen.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "pruefen/befunde.h"
#include "pruefen/erster_durchgang.h"
#include "pruefen/gang.h"
#include "pruefen/programmgraph.h"
#include "pruefen/quelle.h"
#include "pruefen/schritt.h"
#include "pruefen/zustand.h"

namespace taktler::pruefen {

std::size_t Zustandsgrenze(std::int32_t saetze, std::size_t grenze) {
    const std::size_t jeSatz = kZustaendeJeSatz * static_cast<std::size_t>(std::max(saetze, 0));
    return std::max(grenze, std::min(jeSatz, kZustaendeHoechstens));
}

namespace {

Pruefergebnis Dateifehler(const std::string& text) {
    Pruefergebnis ergebnis;
    ergebnis.lesbar = false;
    ergebnis.befunde = {{0, true, text}};
    return ergebnis;
}

// One walk over the file, with the aborts of geflickt taken as mended.
Pruefergebnis Durchgang(Quelle& quelle, const Suchindex& index, std::size_t grenze,
                        const Flicken& geflickt) {
    Hinweise hinweise;
    Programmgraph graph(quelle, index, hinweise);
    Zustandsraum raum(grenze);
    Schritt schritt(index, graph, raum, hinweise, geflickt);
    Gang gang(raum);
    try {
        gang.Durchlaufe([&schritt](const Lage& l) { return schritt(l); });
    } catch (const ZuVieleZustaende&) {
        std::string zeilen;
        for (std::int32_t satz : raum.Verzweigt(3)) {
            zeilen += (zeilen.empty() ? "Zeile " : ", ") + std::to_string(graph.ZeileVon(satz));
        }
        return Dateifehler("zu verzweigt fuer eine vollstaendige Pruefung (mehr als " +
                           std::to_string(grenze) + " Zustaende, die meisten bei " + zeilen + ")");
    } catch (const std::runtime_error& e) {
        return Dateifehler(e.what());
    }
    Pruefergebnis ergebnis;
    ergebnis.zustaende = raum.Anzahl();
    Befundliste(index, graph, schritt, gang, hinweise).Ergebnis(ergebnis);
    return ergebnis;
}

// A run can go on behind these, had the line been written right; not
// behind a nesting too deep or a line too long.
bool Flickbar(Abbruchart art) {
    return art != Abbruchart::ZuTief && art != Abbruchart::ZeileZuLang;
}

}  // namespace

Pruefergebnis PruefeKommandodatei(const std::string& pfad, std::size_t zustandsGrenze) {
    Quelle quelle;
    std::string fehler = quelle.Oeffne(pfad);
    if (!fehler.empty()) {
        return Dateifehler(fehler);
    }
    Suchindex index;
    BaueSuchindex(quelle, index);
    if (!quelle.Fehler().empty()) {
        return Dateifehler(quelle.Fehler());
    }
    const std::size_t grenze = Zustandsgrenze(index.anzahl, zustandsGrenze);
    Pruefergebnis ergebnis = Durchgang(quelle, index, grenze, {});
    // Behind an error every run meets: the rest of the file, that line taken
    // as mended; new lines only, marked with the error they follow.
    Flicken geflickt;
    const std::vector<Abbruchstelle>* abbrueche = &ergebnis.abbrueche;
    Pruefergebnis weiter;
    for (int n = 1; n < kHoechstensFehler && ergebnis.lesbar; ++n) {
        auto immer = std::find_if(abbrueche->begin(), abbrueche->end(),
                                  [](const Abbruchstelle& a) { return a.immer; });
        if (immer == abbrueche->end() || !Flickbar(immer->art) ||
            !geflickt.insert({immer->satz, immer->art}).second) {
            break;
        }
        const int nach = immer->zeile;
        weiter = Durchgang(quelle, index, grenze, geflickt);
        if (!weiter.lesbar) {
            break;
        }
        for (Pruefbefund& b : weiter.befunde) {
            const bool bekannt =
                std::any_of(ergebnis.befunde.begin(), ergebnis.befunde.end(),
                            [&b](const Pruefbefund& alt) { return alt.zeile == b.zeile; });
            if (!bekannt && b.zeile != 0) {
                b.nach = nach;
                ergebnis.befunde.push_back(b);
            }
        }
        abbrueche = &weiter.abbrueche;
    }
    std::stable_sort(ergebnis.befunde.begin(), ergebnis.befunde.end(),
                     [](const Pruefbefund& a, const Pruefbefund& b) { return a.zeile < b.zeile; });
    return ergebnis;
}

}  // namespace taktler::pruefen
