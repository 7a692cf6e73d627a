// A short-named directory per test (components fit 13-character slots); cwd restored after.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "datei/datei.h"
#include "datei/kopieren.h"
#include "datei/pfade.h"
#include "datei/positionen.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {

class DateiTest : public TaktlerTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(::chdir(start_.c_str()), 0);
        TaktlerTest::TearDown();  // closes and frees objects left behind
    }
    std::string Pfad(const std::string& name) const { return dir + "/" + name; }
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
