// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/abschluss.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "services/fehler.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

struct Abschlusszustand {
    bool ende = false;
    bool fehlgeschlagen = false;
    bool standardausgabeGemeldet = false;
    unsigned signaleBeimEnde = 0;
    unsigned abbruchBeimEnde = 0;
    std::size_t naechster = 1;
    std::map<std::size_t, std::function<void()>> ausgaben;
};

Abschlusszustand& Abschluss() {
    static Abschlusszustand zustand;
    return zustand;
}

void NachDemBericht() {
    Abschluss().fehlgeschlagen = true;
    if (EndeLaeuft()) {
        return;
    }
    UnterbrechungPruefen();
    ProgrammBeenden(12);
}

}  // namespace

std::size_t AusgabeAnmelden(std::function<void()> abschliessen) {
    Abschlusszustand& z = Abschluss();
    std::size_t schluessel = z.naechster++;
    z.ausgaben.emplace(schluessel, std::move(abschliessen));
    return schluessel;
}

void AusgabeAbmelden(std::size_t schluessel) {
    Abschluss().ausgaben.erase(schluessel);
}

void Ausgabefehler(std::string_view modul, std::string_view funktion, std::string_view text) {
    DasFenster().Zeige(
        "ABBRUCH", ZeileZusammensetzen("Programmabbruch", modul, funktion, text, kAbbruchPuffer),
        false);
    if (!EndeLaeuft()) {
        LaufortMelden();  // the report ends the run
    }
    NachDemBericht();
}

void Ausgabefehler(std::string_view meldung) {
    DieKonsole().Fehler("taktler: " + std::string(meldung) + "\n");
    NachDemBericht();
}

void EndeBeginnt() {
    Abschlusszustand& z = Abschluss();
    if (!z.ende) {
        z.ende = true;
        z.signaleBeimEnde = SignalAnzahl();
        z.abbruchBeimEnde = AbbruchAnzahl();
        StoppsAbweisen();
    }
}

bool EndeLaeuft() {
    return Abschluss().ende;
}

unsigned SignaleBeimEnde() {
    return Abschluss().signaleBeimEnde;
}

unsigned AbbruchBeimEnde() {
    return Abschluss().abbruchBeimEnde;
}

int AusgabenAbschliessen(int code) {
    Abschlusszustand& z = Abschluss();
    // Each entry leaves the list before it runs: a finisher that ends up in
    // the end again (a signal) does not run twice.
    while (!z.ausgaben.empty()) {
        auto letzte = std::prev(z.ausgaben.end());
        std::function<void()> abschliessen = std::move(letzte->second);
        z.ausgaben.erase(letzte);
        abschliessen();
    }
    return z.fehlgeschlagen && code == 0 ? 12 : code;
}

void StandardausgabeVerloren(int fehler) {
    std::clearerr(stdout);
    Abschlusszustand& z = Abschluss();
    // A write that a signal's ending interrupted (a background job's write under tostop) is
    // told by that ending's report.
    const int signal = UnterbrochenesSignal();
    if ((fehler == EPIPE && signal == SIGPIPE) || (fehler == EINTR && signal != 0) ||
        z.standardausgabeGemeldet) {
        return;
    }
    z.standardausgabeGemeldet = true;
    Ausgabefehler(std::string("Standardausgabe kann nicht geschrieben werden: ") +
                  (fehler != 0 ? std::strerror(fehler) : "Schreibfehler"));
}

void FehlerausgabeVerloren() {
    Abschluss().fehlgeschlagen = true;
}

int StandardausgabeAbschliessen(int code) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        StandardausgabeVerloren(errno);
    }
    return Abschluss().fehlgeschlagen && code == 0 ? 12 : code;
}

void AbschlussZuruecksetzen() {
    Abschlusszustand& z = Abschluss();
    z.ende = false;
    z.fehlgeschlagen = false;
    z.standardausgabeGemeldet = false;
    z.signaleBeimEnde = 0;
    z.abbruchBeimEnde = 0;
}

}  // namespace taktler::services
