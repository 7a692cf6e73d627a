// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/motorbefehle.h"

#include <cstring>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/zeitdiagramm.h"
#include "interpreter/sensorik.h"
#include "interpreter/zustand.h"
#include "services/fehler.h"
#include "services/kxsound.h"
#include "services/trace.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

void EchoBeiTracelevel5(const Kommandozeile& kz) {
    if (Zustand().Tracelevel > 4) {
        services::Ausgabe("%s ", kz.Kommando.data());
        services::Ausgabe("%s ", kz.Parameter1.data());
        services::Ausgabe("%s ", kz.Parameter2.data());
        services::Ausgabe("%s\n", kz.Parameter3.data());
    }
}

interface::InterfaceDS& DasInterface() {
    return *Zustand().Interface;
}

}  // namespace

void Einschalten(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Einschalten");
    EchoBeiTracelevel5(kz);
    int motor = MotorNummerVon(kz.Parameter1.data());
    if (motor == 0) {
        services::Fehlerabbruch(kModul, "Einschalten",
                                Bericht(Abbruchart::MotorNichtDefiniert).text);
    }
    // LINKS drives the interface state 'R', every other word 'L'.
    if (std::strcmp(kz.Parameter2.data(), "LINKS") == 0) {
        interface::MotorRechts(DasInterface(), motor);
    } else {
        interface::MotorLinks(DasInterface(), motor);
    }
}

void Ausschalten(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Ausschalten");
    EchoBeiTracelevel5(kz);
    int motor = MotorNummerVon(kz.Parameter1.data());
    if (motor == 0) {
        services::Fehlerabbruch(kModul, "Ausschalten",
                                Bericht(Abbruchart::MotorNichtDefiniert).text);
    }
    interface::MotorStop(DasInterface(), motor);
}

void Nothalt(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Nothalt");
    Programmzustand& z = Zustand();
    if (z.NothaltAktiv == 0) {
        z.NothaltAktiv = 1;
        z.NothaltSchalter = GibSchalterIndex(kz);
        if (interface::Zeitdiagramm* diagramm = interface::AktivesZeitdiagramm()) {
            diagramm->Nothalt(true);
        }
        return;
    }
    interface::LiesEingaenge(DasInterface());
    if (DasInterface().Eingaenge[static_cast<std::size_t>(z.NothaltSchalter)] == '1') {
        for (int motor = 1; motor <= 4; ++motor) {
            interface::MotorStop(DasInterface(), motor);
        }
        services::Fehlerabbruch(kModul, kz.Kommando.data(), "NOTAUS betaetigt!");
    }
}

void Sound(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Sound");
    Programmzustand& z = Zustand();
    auto stufe = static_cast<std::size_t>(kz.Stufe);
    z.Soundbausteine[stufe] = services::SoundCreate();
    if (z.Tracelevel > 3) {
        services::Ausgabe("Stufe %d; Soundbaustein gesetzt: %s\n", kz.Stufe, kz.Parameter1.data());
    }
    services::SetzeDateiPfad(z.Soundbausteine[stufe], kz.Parameter1.data());
    services::SpielAb(z.Soundbausteine[stufe]);
    z.Soundbausteine[stufe] = services::SoundDispose(z.Soundbausteine[stufe]);
}

void Tracelevel(Kommandozeile& kz) {
    services::TraceKlammer trace(kModul, "Tracelevel");
    Zustand().Tracelevel = ZahlAusText(kz.Parameter1.data());
}

void MotorAus() {
    services::TraceKlammer trace(kModul, "MotorAus");
    interface::MotorStop(DasInterface(), 1);
    if (Zustand().Tracelevel > 3) {
        services::Ausgabe("MOTORAUS\n");
    }
}

}  // namespace taktler::interpreter
