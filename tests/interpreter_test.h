// SPDX-License-Identifier: GPL-3.0-or-later
// Runs of a command file in-process: the fixture and its helpers.
#pragma once

#include <string>

#include "interface/port.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {

inline const std::string kEndzeile = "TAKTLER 091200 ENDE : am 09.12.2000 um 14.03.07\n";

// The default port (switches open, analog 0), the clock at 9.12.2000 14:03:07 moving 10 ms a
// reading.
class SkriptTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        uhr.lokal.tm_year = 100, uhr.lokal.tm_mon = 11, uhr.lokal.tm_mday = 9;
        uhr.lokal.tm_hour = 14, uhr.lokal.tm_min = 3, uhr.lokal.tm_sec = 7;
        uhr.schritt = 10;
        interpreter::Zustand().Tracelevel = 1;
    }
    void TearDown() override {
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }
    int Lauf(const std::string& kommandos, const std::string& protokollPfad = "") {
        SchreibeDatei(kommandodatei, kommandos);
        return EndeCode([&] {
            interpreter::Programmlauf(
                {kommandodatei, protokollPfad.empty() ? protokoll : protokollPfad});
        });
    }
    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
    std::string protokoll = dir / "p.txt";
};

inline std::string Wiederholt(const std::string& zeile, int anzahl) {
    std::string s;
    for (int i = 0; i < anzahl; ++i) {
        s += zeile;
    }
    return s;
}

}  // namespace taktler::test
