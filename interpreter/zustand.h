// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter's globals: the files, the command line, the level tables
// and the sensing state. A test resets it to run many programs in one process.
#pragma once

#include <array>
#include <cstdint>

#include "datei/datei.h"
#include "interface/interface.h"
#include "interpreter/kommandozeile.h"
#include "services/kxsound.h"
#include "services/kxzeit.h"

namespace taktler::interpreter {

constexpr int kTabellenStufen = 255;  // entries of each level table

struct Programmzustand {
    // The one interface record and the global reference to it.
    interface::InterfaceDS interfaceDS;
    interface::InterfaceDS* Interface = nullptr;

    // Interpreter globals.
    datei::DateiADO* Kommandodatei = nullptr;
    datei::DateiADO* Protokolldatei = nullptr;
    Kommandozeile* Zeile = nullptr;
    std::int32_t Tracelevel = 4;
    std::uint8_t NothaltAktiv = 0;
    std::int16_t NothaltSchalter = 0;

    // Level tables, indexed by Stufe.
    std::array<std::array<std::int32_t, 8>, kTabellenStufen> Klickzaehler{};
    std::array<std::int16_t, kTabellenStufen> Bedingung{};
    std::array<std::int32_t, kTabellenStufen> Startzeile{};
    std::array<std::int32_t, kTabellenStufen> Durchlauf{};
    std::array<services::Zeitbaustein*, kTabellenStufen> Zeitbausteine{};
    std::array<services::Soundbaustein*, kTabellenStufen> Soundbausteine{};

    // Switch and analog sensing.
    std::array<std::int16_t, 8> SchalterGedrueckt{};
    std::int32_t AnalogAufrufe = 0;
    std::int32_t AnalogIndex = 0;
    std::array<std::int32_t, 10> AnalogVerlaufX{};
    std::array<std::int32_t, 10> AnalogVerlaufY{};
    std::int32_t AnalogX = 0;
    std::int32_t AnalogY = 0;
    std::int32_t AnalogMaxAufrufe = 0;
    std::int32_t AnalogMaxWert = 0;

    // Time stamp of Systemzeit (17 characters and the NUL).
    std::array<char, 18> SystemzeitPuffer{};
};

Programmzustand& Zustand();

// Frees every object the state still owns and restores the start values.
// The lower modules keep their own state and resets.
void ZustandZuruecksetzen();

}  // namespace taktler::interpreter
