// SPDX-License-Identifier: GPL-3.0-or-later
// Shared seams: a recording console and message box, a set clock, an exit that throws.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interpreter/zustand.h"
#include "services/fehler.h"
#include "services/kxsound.h"
#include "services/umgebung.h"
#include "testhilfe/testuhr.h"
#include "testhilfe/zuruecksetzen.h"

namespace taktler::test {

class TestKonsole : public services::Konsole {
  public:
    void Aus(std::string_view text) override { aus.append(text); }
    void Fehler(std::string_view text) override { fehler.append(text); }
    bool LiesWort() override { return eingaben-- > 0; }
    std::string aus;
    std::string fehler;
    int eingaben = 0;  // words PAUSE may read
};

struct Bericht {
    std::string titel;
    std::string zeile;
};

class TestFenster : public services::Nachrichtenfenster {
  public:
    services::Antwort Zeige(std::string_view titel, std::string_view zeile,
                            bool mitAbbrechen) override {
        berichte.push_back({std::string(titel), std::string(zeile)});
        return mitAbbrechen ? antwort : services::Antwort::OK;
    }
    std::vector<Bericht> berichte;
    services::Antwort antwort = services::Antwort::OK;
};

// Installs the seams and resets the program-wide state around each test.
class TaktlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZustandZuruecksetzen();
        services::Umwelt().konsole = &konsole;
        services::Umwelt().uhr = &uhr;
        services::Umwelt().fenster = &fenster;
        services::Umwelt().ende = [](int code) { throw services::Programmende{code}; };
    }
    void TearDown() override {
        ZustandZuruecksetzen();
        services::UmweltZuruecksetzen();
        services::SetzeSoundgeraet(nullptr);
    }

    // The exit code f ended with, or -1 if it returned.
    template <typename F>
    int EndeCode(F&& f) {
        try {
            f();
        } catch (const services::Programmende& e) {
            return e.code;
        }
        return -1;
    }

    std::string LetzterBericht() const {
        return fenster.berichte.empty() ? std::string() : fenster.berichte.back().zeile;
    }

    TestKonsole konsole;
    TestUhr uhr;
    TestFenster fenster;
};

}  // namespace taktler::test
