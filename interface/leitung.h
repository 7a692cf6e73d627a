// SPDX-License-Identifier: GPL-3.0-or-later
// The wire protocol of the control interface on the port's registers:
// motor frames, the input read, the analog measurement.
#pragma once

#include <cstdint>

#include "interface/interface.h"

namespace taktler::interface {

void SendeMotoren(InterfaceDS& ds);
void LiesEingaenge(InterfaceDS& ds);
std::int32_t MesseAnalog(int leerByte, int triggerByte);
void MesseAnalogPegel(InterfaceDS& ds, int eingang);
int SetzeBit(int wert, int bit);    // exit code 99 outside 1..8
int LoescheBit(int wert, int bit);  // exit code 99 outside 1..8
int SetzeMotorBits(char richtung, int wert, int bitL, int bitR);
void SchreibePort(std::uint8_t wert);
int LiesStatus();

}  // namespace taktler::interface
