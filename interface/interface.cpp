// SPDX-License-Identifier: GPL-3.0-or-later
// The one InterfaceDS and the operations on it: every motor change sends
// the whole motor state, every sensing call reads the port afresh.
#include "interface/interface.h"

#include "interface/leitung.h"
#include "interface/zeitdiagramm.h"

namespace taktler::interface {

namespace {

constexpr int kTriggerLeer = 0xFB;
constexpr int kTriggerAnalog1 = 0xE1;
constexpr int kTriggerAnalog2 = 0xD1;

// Callers only pass MOTOR1..MOTOR4; anything else must not touch memory
// beside the record, so it changes nothing and sends nothing.
void SetzeMotor(InterfaceDS& ds, int motor, char richtung) {
    if (motor < 1 || motor > 4) {
        return;
    }
    ds.Motoren[static_cast<std::size_t>(motor - 1)] = richtung;
    SendeMotoren(ds);
}

// Runs a motor until its switch goes from open to closed; a switch closed
// at the start has to open first. No time limit.
void MotorBisSchalter(InterfaceDS& ds, int motor, char richtung, std::size_t eingang) {
    LiesEingaenge(ds);
    while (ds.Eingaenge[eingang] == '1') {
        SetzeMotor(ds, motor, richtung);
        LiesEingaenge(ds);
    }
    while (ds.Eingaenge[eingang] == '0') {
        SetzeMotor(ds, motor, richtung);
        LiesEingaenge(ds);
    }
    MotorStop(ds, motor);
}

}  // namespace

void InterfaceInit(InterfaceDS& ds) {
    ds.Motoren.fill('0');
    ds.Eingaenge.fill('0');
    ds.Analog1 = 0;
    ds.Analog2 = 0;
    MotorStop(ds, 1);
    MotorStop(ds, 2);
    MotorStop(ds, 3);
    MotorStop(ds, 4);
}

void MotorLinks(InterfaceDS& ds, int motor) {
    SetzeMotor(ds, motor, 'L');
}

void MotorRechts(InterfaceDS& ds, int motor) {
    SetzeMotor(ds, motor, 'R');
}

void MotorStop(InterfaceDS& ds, int motor) {
    SetzeMotor(ds, motor, 'N');
}

void LiesAnalog(InterfaceDS& ds) {
    ds.Analog1 = MesseAnalog(kTriggerLeer, kTriggerAnalog1);
    if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
        diagramm->Analog(1, ds.Analog1);
    }
    ds.Analog2 = MesseAnalog(kTriggerLeer, kTriggerAnalog2);
    if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
        diagramm->Analog(2, ds.Analog2);
    }
}

void MotorBisSchalter1Links(InterfaceDS& ds) {
    MotorBisSchalter(ds, 1, 'L', 2);
}

void MotorBisSchalter1Rechts(InterfaceDS& ds) {
    MotorBisSchalter(ds, 1, 'R', 2);
}

void MotorBisSchalter2Links(InterfaceDS& ds) {
    MotorBisSchalter(ds, 2, 'L', 3);
}

void MotorBisSchalter2Rechts(InterfaceDS& ds) {
    MotorBisSchalter(ds, 2, 'R', 3);
}

void Warteschleife(int einheiten) {
    volatile int leer = 0;
    for (int aussen = 0; aussen < einheiten; ++aussen) {
        for (int innen = 0; innen < 500; ++innen) {
            leer = 1;
        }
    }
    (void)leer;
}

}  // namespace taktler::interface
