// SPDX-License-Identifier: GPL-3.0-or-later
// The file object's fixture: a short-named directory per test (components fit 13-character
// slots), the working directory restored after each.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "datei/datei.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {

class DateiTest : public TaktlerTest {
  protected:
    void TearDown() override {
        std::error_code fehler;
        std::filesystem::current_path(start_, fehler);
        EXPECT_FALSE(fehler) << fehler.message();
        TaktlerTest::TearDown();  // closes and frees objects left behind
    }
    std::string Pfad(const std::string& name) const { return temp_ / name; }
    void Schreibe(const std::string& name, const std::string& bytes) const {
        SchreibeDatei(Pfad(name), bytes);
    }
    std::string Lies(const std::string& name) const { return LiesDatei(Pfad(name)); }
    bool Gibt(const std::string& name) const { return std::filesystem::exists(Pfad(name)); }
    datei::DateiADO* Neu(const std::string& name) const {
        datei::DateiADO* d = datei::Create();
        datei::SetzePfad(d, Pfad(name).c_str());
        return d;
    }
    // A path as the module writes the directories it builds: with '/' (native ones hold '\\').
    static std::string Vorwaerts(std::string pfad) {
        std::replace(pfad.begin(), pfad.end(), '\\', '/');
        return pfad;
    }
    static std::string Zeile(const std::string& funktion, const std::string& art,
                             const std::string& text) {
        return "Modul: DATEI 151100, Funktion: " + funktion + ", " + art + ": " + text;
    }
    std::vector<std::string> Zeilen() const {
        std::vector<std::string> z;
        for (const auto& b : fenster.berichte) {
            z.push_back(b.zeile);
        }
        return z;
    }

    TempVerzeichnis temp_;
    std::string dir = temp_.pfad();

  private:
    std::string start_ = std::filesystem::current_path().string();
};

}  // namespace taktler::test
