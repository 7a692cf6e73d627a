// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/sensorik.h"

#include <cstring>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/zustand.h"
#include "services/fehler.h"
#include "services/trace.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

void EchoVierTeile(const Kommandozeile& kz) {
    services::Ausgabe("%s ", kz.Kommando.data());
    services::Ausgabe("%s ", kz.Parameter1.data());
    services::Ausgabe("%s ", kz.Parameter2.data());
    services::Ausgabe("%s ", kz.Parameter3.data());
}

std::size_t StufeVon(const Kommandozeile& kz) {
    return static_cast<std::size_t>(kz.Stufe);
}

}  // namespace

void Schalter(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Schalter");
    Programmzustand& z = Zustand();
    interface::LiesEingaenge(*z.Interface);
    auto& zaehler = z.Klickzaehler[StufeVon(kz)];
    for (std::size_t i = 0; i < 8; ++i) {
        if (z.Interface->Eingaenge[i] == '1') {
            if (z.SchalterGedrueckt[i] == 0) {
                ++zaehler[i];
                z.SchalterGedrueckt[i] = 1;
                if (z.Tracelevel > 3) {
                    services::Ausgabe("Schalter %d gedrueckt, %d Klicks!\n",
                                      static_cast<int>(i) + 1, zaehler[i]);
                }
            }
        } else if (z.SchalterGedrueckt[i] == 1) {
            z.SchalterGedrueckt[i] = 0;
            if (z.Tracelevel > 3) {
                services::Ausgabe("Schalter %d losgelassen\n", static_cast<int>(i) + 1);
            }
        }
    }
}

// AnalogIndex advances after every store, so the current pair cycles through
// all ten slots and the average follows the input. Kept at slot 0, the
// average would stay pinned to the first nine readings and a threshold far
// from them could never be crossed.
std::int32_t Analog(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Analog");
    (void)kz;
    Programmzustand& z = Zustand();
    interface::InterfaceDS& ds = *z.Interface;
    ++z.AnalogAufrufe;
    if (z.AnalogAufrufe > 200) {
        interface::LiesAnalog(ds);
        z.AnalogAufrufe = 0;
    }
    if (z.AnalogIndex > 9 || z.AnalogIndex < 0) {
        z.AnalogIndex = 0;
    }
    auto index = static_cast<std::size_t>(z.AnalogIndex);
    z.AnalogVerlaufX[index] = ds.Analog1;
    z.AnalogVerlaufY[index] = ds.Analog2;
    ++z.AnalogIndex;

    std::int64_t summeX = 0;
    std::int64_t summeY = 0;
    for (std::size_t i = 0; i < 10; ++i) {
        if (z.AnalogVerlaufX[i] == 0) {
            interface::LiesAnalog(ds);
            z.AnalogVerlaufX[i] = ds.Analog1;
        }
        if (z.AnalogVerlaufY[i] == 0) {
            interface::LiesAnalog(ds);
            z.AnalogVerlaufY[i] = ds.Analog2;
        }
        summeX += z.AnalogVerlaufX[i];
        summeY += z.AnalogVerlaufY[i];
    }
    z.AnalogX = static_cast<std::int32_t>(summeX / 10);
    z.AnalogY = static_cast<std::int32_t>(summeY / 10);
    if (z.Tracelevel > 3) {
        services::Ausgabe("X: %4.4d Y: %4.4d Wert: %4.4d\n", z.AnalogX, z.AnalogY,
                          z.AnalogX + z.AnalogY);
    }
    return z.AnalogX;
}

std::uint8_t AnalogMax(Kommandozeile& kz, std::int32_t wert) {
    services::TraceKlammer trace(kModul, "AnalogMax");
    Programmzustand& z = Zustand();
    if (z.Durchlauf[StufeVon(kz)] == 0) {
        z.AnalogMaxAufrufe = 0;
        z.AnalogMaxWert = 0;
    }
    ++z.AnalogMaxAufrufe;
    if (z.AnalogMaxAufrufe < 360) {
        if (wert > z.AnalogMaxWert) {
            z.AnalogMaxWert = wert;
        }
        return 0;
    }
    if (z.AnalogMaxAufrufe > 750) {
        services::Fehlerabbruch(kModul, "AnalogMax", "Kein Maxwert gefunden!");
    }
    return wert == z.AnalogMaxWert ? 1 : 0;
}

std::int16_t GibSchalterIndex(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "GibSchalterIndex");
    std::int16_t index = SchalterIndexVon(kz.Parameter1.data());
    if (index >= 0) {
        return index;
    }
    services::Ausgabe("%s ", kz.Kommando.data());
    services::Ausgabe("%s ", kz.Parameter1.data());
    services::Ausgabe("%s ", kz.Parameter2.data());
    services::Ausgabe("%s \n", kz.Parameter3.data());
    const Abbruchbericht& bericht = Bericht(Abbruchart::UnbekannterSchalter);
    services::Fehlerabbruch(kModul, bericht.funktion, bericht.text);
}

void SchalterInit(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "SchalterInit");
    Programmzustand& z = Zustand();
    auto index = static_cast<std::size_t>(GibSchalterIndex(kz));
    z.Klickzaehler[StufeVon(kz)][index] = 0;
    if (z.Tracelevel > 3) {
        EchoVierTeile(kz);
        services::Ausgabe("---> %d gesetzt\n", z.Klickzaehler[StufeVon(kz)][index]);
    }
}

void Setze(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Setze");
    Programmzustand& z = Zustand();
    auto index = static_cast<std::size_t>(GibSchalterIndex(kz));
    z.Klickzaehler[StufeVon(kz)][index] = ZahlAusText(kz.Parameter3.data());
    if (z.Tracelevel > 3) {
        EchoVierTeile(kz);
        services::Ausgabe("---> %d gesetzt\n", z.Klickzaehler[StufeVon(kz)][index]);
    }
}

}  // namespace taktler::interpreter
