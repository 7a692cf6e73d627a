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
        ms += schritt;
        return z;
    }
    std::tm LokaleZeit() override { return lokal; }
    std::uint64_t MonotonMs() override { return ms - startMs; }
    std::int64_t ms = 1'000'000'000'000;  // wall clock in ms since 1970
    std::int64_t startMs = 1'000'000'000'000;
    std::int64_t schritt = 0;  // added after every Jetzt()
    std::tm lokal{};
};

}  // namespace taktler::test
