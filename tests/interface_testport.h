// SPDX-License-Identifier: GPL-3.0-or-later
// A port recording every access, status reads answered by read index; a fixture installing it, and
// one that logs to a file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/portlog.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {

struct Zugriff {
    enum Art { Byte, Wort, Lesen, Cli, Sti } art;
    unsigned wert;
    bool operator==(const Zugriff& o) const { return art == o.art && wert == o.wert; }
};

class AufnahmePort : public interface::Port {
  public:
    void SchreibeByte(std::uint8_t wert) override { zugriffe.push_back({Zugriff::Byte, wert}); }
    void SchreibeWort(std::uint16_t wert) override { zugriffe.push_back({Zugriff::Wort, wert}); }
    std::uint8_t LiesStatus() override {
        std::uint8_t wert = status ? status(lesungen) : 0;
        ++lesungen;
        zugriffe.push_back({Zugriff::Lesen, wert});
        return wert;
    }
    void Sperren() override { zugriffe.push_back({Zugriff::Cli, 0}); }
    void Freigeben() override { zugriffe.push_back({Zugriff::Sti, 0}); }
    std::vector<unsigned> Bytes() const {
        std::vector<unsigned> bytes;
        for (const auto& z : zugriffe) {
            if (z.art == Zugriff::Byte) {
                bytes.push_back(z.wert);
            }
        }
        return bytes;
    }

    std::vector<Zugriff> zugriffe;
    std::function<std::uint8_t(int)> status;  // by read index, from 0
    int lesungen = 0;
};

class PortTest : public TaktlerTest {
  protected:
    void TearDown() override {
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }
};

class PortLogTest : public PortTest {
  protected:
    std::unique_ptr<interface::PortLog> Oeffne(std::unique_ptr<interface::Port> innen,
                                               const char* ziel = nullptr) {
        std::string fehler;
        auto log =
            interface::PortLog::Oeffne(std::move(innen), ziel != nullptr ? ziel : pfad, fehler);
        EXPECT_TRUE(log) << fehler;
        return log;
    }
    std::vector<std::string> LogZeilen() const { return Zeilen(LiesDatei(pfad)); }
    TempVerzeichnis dir;
    std::string pfad = dir / "p.log";
};

}  // namespace taktler::test
