// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/schleifen.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "interpreter/motorbefehle.h"
#include "interpreter/sensorik.h"
#include "interpreter/zeilenindex.h"
#include "interpreter/zustand.h"
#include "services/fehler.h"
#include "services/kxzeit.h"
#include "services/trace.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

std::uint8_t Bis(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Bis");
    Programmzustand& z = Zustand();
    auto stufe = static_cast<std::size_t>(kz.Stufe);
    std::uint8_t r = Bis_Bedingung(kz);
    z.Bedingung[stufe] = r;
    kz.Ausfuehren[stufe] = z.Bedingung[stufe] == 1 ? 1 : 0;
    z.Startzeile[stufe] = kz.Zeilennummer;
    // Only "first evaluation or not" is read from the count: it stops at
    // its maximum instead of overflowing, which would also come round to 0
    // and reset a switch count in a loop that has waited long enough.
    if (z.Durchlauf[stufe] < INT32_MAX) {
        ++z.Durchlauf[stufe];
    }
    return r;
}

std::uint8_t Bis_Bedingung(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Bis_Bedingung");
    Programmzustand& z = Zustand();
    auto stufe = static_cast<std::size_t>(kz.Stufe);
    std::uint8_t ergebnis = 1;

    const Bedingungsart art = BedingungsartVon(kz.Parameter1.data());
    if (art == Bedingungsart::Zeit) {
        std::int32_t grenze = ZahlAusText(kz.Parameter3.data());
        auto& zeit = z.Zeitbausteine[stufe];
        if (zeit == nullptr) {
            zeit = services::ZeitCreate();
            if (z.Tracelevel > 1) {
                services::Ausgabe("Stufe %d; Zeitbaustein gesetzt: %d\n", kz.Stufe, grenze);
            }
            ergebnis = 1;
        } else if (services::ZeitVergangen(zeit) > static_cast<std::uint32_t>(grenze)) {
            zeit = services::ZeitDispose(zeit);
            ergebnis = 0;
        } else {
            ergebnis = 1;
        }
    } else if (art == Bedingungsart::Analog) {
        if (IstAnalogMax(kz.Parameter3.data())) {
            std::int32_t wert = Analog(kz);
            ergebnis = AnalogMax(kz, wert) == 1 ? 0 : 1;
        } else {
            std::int32_t grenze = ZahlAusText(kz.Parameter3.data());
            std::int32_t wert = Analog(kz);
            if (AnalogWartetDarunter(kz.Parameter2.data())) {
                if (wert < grenze) {
                    ergebnis = 1;
                } else {
                    if (z.Tracelevel > 3) {
                        services::Ausgabe("Analogwert ueberschritten %d\n", wert);
                    }
                    ergebnis = 0;
                }
            } else {
                if (wert >= grenze) {
                    ergebnis = 1;
                } else {
                    if (z.Tracelevel > 3) {
                        services::Ausgabe("Analogwert unterschritten %d\n", wert);
                    }
                    ergebnis = 0;
                }
            }
        }
    } else {
        std::int32_t grenze = ZahlAusText(kz.Parameter3.data());
        if (z.Durchlauf[stufe] == 0) {
            SchalterInit(kz);
        }
        auto index = static_cast<std::size_t>(GibSchalterIndex(kz));
        Schalter(kz);
        if (z.Klickzaehler[stufe][index] < grenze) {
            ergebnis = 1;
        } else {
            if (z.Tracelevel > 3) {
                services::Ausgabe("Stufe %d; Klicks erreicht\n", kz.Stufe);
            }
            ergebnis = 0;
        }
    }
    return ergebnis;
}

void Ende_Bis(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Ende_Bis");
    Programmzustand& z = Zustand();
    auto stufe = static_cast<std::size_t>(kz.Stufe);
    if (z.Bedingung[stufe] != 0) {
        kz.Zeilennummer = GeheZuSatz(z.Kommandodatei, z.Startzeile[stufe] - 1);
    } else {
        z.Durchlauf[stufe] = 0;
    }
}

std::int32_t GeheZuSatz(datei::DateiADO* datei, std::int32_t n) {
    services::TraceKlammer trace(kModul, "GeheZuSatz");
    Zeilenindex& index = ZeilenindexVon(datei);
    const std::int32_t ziel = std::max(n, 0);
    // Lines 1..ziel, read again with a kSprungzeile buffer: the reading would
    // stop at the first line too long for it, or at the end of the file.
    for (;;) {
        const std::int32_t bekannt = std::min(ziel, Zeilenanzahl(index));
        if (LaengsteBis(index, bekannt) >= kSprungzeile - 1) {
            ZeileZuLang(index, kSprungzeile);
        }
        if (bekannt == ziel) {
            break;
        }
        if (!LiesWeiter(index)) {
            services::DieUhr().ZeilenGelesen(bekannt);
            services::Fehlerabbruch(
                kModul, "GeheZuSatz: Zeile nicht in der Datei",
                services::Format("Zeile %d, die Datei hat %d Zeilen", ziel, bekannt));
        }
    }
    index.position = ziel;
    services::DieUhr().ZeilenGelesen(ziel);
    return ziel;
}

}  // namespace taktler::interpreter
