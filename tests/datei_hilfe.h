// Fixture for the file module's tests: a fresh temporary directory per test
// (short name, so its components fit the 13-character slots), the working
// directory restored afterwards, and small helpers for file bytes.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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
    void SetUp() override {
        TaktlerTest::SetUp();
        char arbeit[4096];
        ASSERT_NE(::getcwd(arbeit, sizeof arbeit), nullptr);
        startverzeichnis_ = arbeit;
        dir = temp_.pfad();
    }
    void TearDown() override {
        // An abort inside BauePfadAuf leaves the working directory changed.
        EXPECT_EQ(::chdir(startverzeichnis_.c_str()), 0);
        TaktlerTest::TearDown();  // closes and frees objects left behind
    }

    std::string Pfad(const std::string& name) const { return dir + "/" + name; }

    void Schreibe(const std::string& name, const std::string& bytes) const {
        std::ofstream aus(Pfad(name), std::ios::binary | std::ios::trunc);
        aus.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Lies(const std::string& name) const {
        std::ifstream ein(Pfad(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(ein), {});
    }

    bool Gibt(const std::string& name) const { return std::filesystem::exists(Pfad(name)); }

    // A new object on dir/name.
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

    static std::string Arbeitsverzeichnis() {
        char arbeit[4096];
        return ::getcwd(arbeit, sizeof arbeit) != nullptr ? arbeit : "";
    }

    TempVerzeichnis temp_;
    std::string dir;

  private:
    std::string startverzeichnis_;
};

}  // namespace taktler::test
