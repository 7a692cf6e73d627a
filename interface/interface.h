// SPDX-License-Identifier: GPL-3.0-or-later
// The interface state: the one InterfaceDS that mirrors the device, and the
// motor operations on it.
#pragma once

#include <array>
#include <cstdint>

namespace taktler::interface {

struct InterfaceDS {
    std::array<char, 4> Motoren{'0', '0', '0', '0'};
    std::array<char, 8> Eingaenge{'0', '0', '0', '0', '0', '0', '0', '0'};
    std::int32_t Analog1 = 0;
    std::int32_t Analog2 = 0;
};

// --- Interface state and motor operations ---
void InterfaceInit(InterfaceDS& ds);
void MotorLinks(InterfaceDS& ds, int motor);
void MotorRechts(InterfaceDS& ds, int motor);
void MotorStop(InterfaceDS& ds, int motor);
void LiesAnalog(InterfaceDS& ds);
// Nothing calls these; kept as the product has them.
void MotorBisSchalter1Links(InterfaceDS& ds);
void MotorBisSchalter1Rechts(InterfaceDS& ds);
void MotorBisSchalter2Links(InterfaceDS& ds);
void MotorBisSchalter2Rechts(InterfaceDS& ds);
void Warteschleife(int einheiten);

}  // namespace taktler::interface
