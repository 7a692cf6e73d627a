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

Pruefergebnis PruefeKommandodatei(const std::string& pfad, std::size_t zustandsGrenze) {
    Pruefergebnis ergebnis;
    auto dateifehler = [&](const std::string& text) {
        ergebnis.lesbar = false;
        ergebnis.befunde = {{0, true, text}};
        ergebnis.abbrueche.clear();
        ergebnis.nieAusgefuehrt.clear();
        return ergebnis;
    };
    Quelle quelle;
    std::string fehler = quelle.Oeffne(pfad);
    if (!fehler.empty()) {
        return dateifehler(fehler);
    }
    Suchindex index;
    BaueSuchindex(quelle, index);
    if (!quelle.Fehler().empty()) {
        return dateifehler(quelle.Fehler());
    }
    const std::size_t grenze = Zustandsgrenze(index.anzahl, zustandsGrenze);
    Hinweise hinweise;
    Programmgraph graph(quelle, index, hinweise);
    Zustandsraum raum(grenze);
    Schritt schritt(index, graph, raum, hinweise);
    Gang gang(raum);
    try {
        gang.Durchlaufe([&schritt](const Lage& l) { return schritt(l); });
    } catch (const ZuVieleZustaende&) {
        std::string zeilen;
        for (std::int32_t satz : raum.Verzweigt(3)) {
            zeilen += (zeilen.empty() ? "Zeile " : ", ") + std::to_string(graph.ZeileVon(satz));
        }
        return dateifehler("zu verzweigt fuer eine vollstaendige Pruefung (mehr als " +
                           std::to_string(grenze) + " Zustaende, die meisten bei " + zeilen + ")");
    } catch (const std::runtime_error& e) {
        return dateifehler(e.what());
    }
    ergebnis.zustaende = raum.Anzahl();
    Befundliste(index, graph, schritt, gang, hinweise).Ergebnis(ergebnis);
    return ergebnis;
}

}  // namespace taktler::pruefen
