// The wire protocol of the control interface and the one InterfaceDS that
// mirrors it: motor frames, the input read, the analog measurement.
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

// --- Protocol ---
void SendeMotoren(InterfaceDS& ds);
void LiesEingaenge(InterfaceDS& ds);
std::int32_t MesseAnalog(int leerByte, int triggerByte);
void MesseAnalogPegel(InterfaceDS& ds, int eingang);
int SetzeBit(int wert, int bit);    // exit code 99 outside 1..8
int LoescheBit(int wert, int bit);  // exit code 99 outside 1..8
int SetzeMotorBits(char richtung, int wert, int bitL, int bitR);
void SchreibePort(std::uint8_t wert);
int LiesStatus();

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
