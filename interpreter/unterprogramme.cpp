// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/unterprogramme.h"

#include <array>
#include <cstring>

#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/zeilenindex.h"
#include "interpreter/zustand.h"
#include "services/fehler.h"
#include "services/strtools.h"
#include "services/trace.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

bool Rufe(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Rufe");
    Programmzustand& z = Zustand();
    if (z.Tracelevel > 1) {
        services::Ausgabe("Stufe: %d UP gerufen: %s\n", kz.Stufe, kz.Parameter1.data());
    }
    z.Startzeile[static_cast<std::size_t>(kz.Stufe)] = kz.Zeilennummer;
    kz.Zeilennummer = FindeUnterprogramm(z.Kommandodatei, kz.Parameter1.data());
    return true;
}

bool Unterprogramm(Kommandozeile& /*kz*/) {
    services::TraceKlammer trace(kModul, "Unterprogramm");
    return false;
}

bool Ende_Unterprogramm(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Ende_Unterprogramm");
    Programmzustand& z = Zustand();
    kz.Zeilennummer = GeheZuSatz(z.Kommandodatei, z.Startzeile[static_cast<std::size_t>(kz.Stufe)]);
    return true;
}

Kopfzeile TesteKopfzeile(char* zeile, const char* name) {
    const Kopfsicht sicht = SieheKopfzeile(zeile);
    if (sicht.zuVieleFelder) {
        return Kopfzeile::ZuVieleFelder;
    }
    return sicht.kandidat && sicht.name == name ? Kopfzeile::Treffer : Kopfzeile::Nein;
}

namespace {

// The search reads with a kSuchzeile buffer: it would stop at the first of
// lines 1..zeile too long for it.
void PruefeSuchlaenge(Zeilenindex& index, std::int32_t zeile) {
    if (LaengsteBis(index, zeile) >= kSuchzeile - 1) {
        ZeileZuLang(index, kSuchzeile);
    }
}

// Line i (0-based) of those that hold the word the search stops at, looking
// at further records, and reading them from the file, as needed; 0 when the
// file has no such further line.
std::int32_t Kandidat(Zeilenindex& index, std::size_t i) {
    std::array<char, kZeilenpuffer> zeile{};
    while (i == index.kandidaten.size()) {
        if (index.durchsucht == Zeilenanzahl(index)) {
            PruefeSuchlaenge(index, index.durchsucht);  // the search would not read on
            if (!LiesWeiter(index)) {
                return 0;
            }
        }
        std::string_view satz = Satztext(index, ++index.durchsucht);
        std::memcpy(zeile.data(), satz.data(), satz.size());
        zeile[satz.size()] = '\0';
        if (NenntUnterprogramm(zeile.data())) {
            index.kandidaten.push_back(index.durchsucht);
        }
    }
    return index.kandidaten[i];
}

// The header line of name as reading the file from its first line finds it:
// only the lines that hold the word can match or abort, and the found line
// stays the answer, since the copy of the lines does not change.
std::int32_t SucheKopfzeile(Zeilenindex& index, const char* name) {
    auto gefunden = index.koepfe.find(name);
    if (gefunden != index.koepfe.end()) {
        return gefunden->second;
    }
    std::array<char, kSuchzeile> zeile{};
    for (std::size_t i = 0;; ++i) {
        const std::int32_t nr = Kandidat(index, i);
        if (nr == 0) {
            PruefeSuchlaenge(index, Zeilenanzahl(index));
            services::DieUhr().ZeilenGelesen(Zeilenanzahl(index));
            services::Fehlerabbruch(kModul, Bericht(Abbruchart::NichtGefunden).funktion, name);
        }
        PruefeSuchlaenge(index, nr);
        std::string_view satz = Satztext(index, nr);
        std::memcpy(zeile.data(), satz.data(), satz.size());
        zeile[satz.size()] = '\0';
        switch (TesteKopfzeile(zeile.data(), name)) {
            case Kopfzeile::ZuVieleFelder:
                index.laufsatz = nr;
                services::DieUhr().ZeilenGelesen(nr);
                services::Fehlerabbruch(kModul, Bericht(Abbruchart::ZuVieleFelder).funktion,
                                        zeile.data());
            case Kopfzeile::Treffer:
                index.koepfe.emplace(name, nr);
                return nr;
            case Kopfzeile::Nein:
                break;
        }
    }
}

}  // namespace

std::int32_t FindeUnterprogramm(datei::DateiADO* datei, const char* name) {
    services::TraceKlammer trace(kModul, "FindeUnterprogramm");
    Zeilenindex& index = ZeilenindexVon(datei);
    const std::int32_t kopf = SucheKopfzeile(index, name);
    index.position = kopf;
    services::DieUhr().ZeilenGelesen(kopf);
    return kopf;
}

}  // namespace taktler::interpreter
