#include "interpreter/unterprogramme.h"

#include <array>
#include <cstring>

#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
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
    services::strGross(zeile);
    if (services::strfnd(zeile, "UNTERPROGRAMM") < 0) {
        return Kopfzeile::Nein;
    }
    std::array<char, kSuchzeile> felder{};
    std::int32_t n = services::strTrenneFelder(zeile, '|', felder.data(),
                                               static_cast<std::uint32_t>(felder.size()));
    if (n > 2) {
        return Kopfzeile::ZuVieleFelder;
    }
    if (std::strcmp(services::ParseEingabezeile(felder.data(), 2, '|'), name) == 0) {
        return Kopfzeile::Treffer;
    }
    return Kopfzeile::Nein;
}

std::int32_t FindeUnterprogramm(datei::DateiADO* datei, const char* name) {
    services::TraceKlammer trace(kModul, "FindeUnterprogramm");
    std::array<char, kSuchzeile> zeile{};
    datei::GeheZumErstenSatz(datei);
    std::int32_t anzahl = 0;
    std::uint8_t ok = datei::LiesSatz(datei, zeile.data(), zeile.size());
    Kopfzeile art = Kopfzeile::Nein;
    while (ok == 1) {
        ++anzahl;
        art = TesteKopfzeile(zeile.data(), name);
        if (art != Kopfzeile::Nein) {
            break;
        }
        ok = datei::LiesSatz(datei, zeile.data(), zeile.size());
    }
    services::DieUhr().ZeilenGelesen(anzahl);
    if (art == Kopfzeile::ZuVieleFelder) {
        services::Fehlerabbruch(kModul, "FindeUnterprogramm: Zu viele Felder", zeile.data());
    }
    if (ok != 1) {
        services::Fehlerabbruch(kModul, "FindeUnterprogramm: N. gefunden", name);
    }
    return anzahl;
}

}  // namespace taktler::interpreter
