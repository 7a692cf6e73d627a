// SPDX-License-Identifier: GPL-3.0-or-later
// A clock that tests and the fuzz targets set and step themselves (no
// GoogleTest here, so the fuzz targets and benchmarks can use it too).
#pragma once

#include <cstdint>
#include <ctime>

#include "services/umgebung.h"

namespace taktler::test {

class TestUhr : public services::Uhr {
  public:
    services::Zeitpunkt Jetzt() override {
        services::Zeitpunkt z;
        z.Sekunden = static_cast<std::int32_t>(ms / 1000);
        z.Millisekunden = static_cast<std::uint16_t>(ms % 1000);
        return z;
    }
    std::tm LokaleZeit() override { return lokal; }
    std::uint64_t MonotonMs() override {
        const auto jetzt = static_cast<std::uint64_t>(ms - startMs);
        ms += schritt;
        return jetzt;
    }
    // Moves the wall clock alone, as NTP or a manual date does.
    void StelleWanduhr(std::int64_t um) {
        ms += um;
        startMs += um;
    }
    std::int64_t ms = 1'000'000'000'000;       // wall clock in ms since 1970
    std::int64_t startMs = 1'000'000'000'000;  // the wall clock at monotonic 0
    std::int64_t schritt = 0;                  // added after every MonotonMs()
    std::tm lokal{};
};

}  // namespace taktler::test
