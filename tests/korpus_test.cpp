// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets' oracles on their stored seed corpora, so the normal suite
// holds every rule a target writes out. A finding aborts the test process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "testhilfe/stumme_seams.h"

extern "C" int Korpus_fuzz_strtools(const std::uint8_t*, std::size_t);
extern "C" int Korpus_fuzz_liessatz(const std::uint8_t*, std::size_t);
extern "C" int Korpus_fuzz_szenario(const std::uint8_t*, std::size_t);
extern "C" int Korpus_fuzz_interpreter(const std::uint8_t*, std::size_t);

namespace taktler::test {
namespace {

using Ziel = int (*)(const std::uint8_t*, std::size_t);

class KorpusTest : public testing::TestWithParam<std::pair<const char*, Ziel>> {};

TEST_P(KorpusTest, EverySeedKeepsTheTargetsRules) {
    const auto [name, ziel] = GetParam();
    int anzahl = 0;
    for (const auto& eintrag :
         std::filesystem::directory_iterator(std::string(TAKTLER_QUELLEN "/fuzz/korpus/") + name)) {
        const std::string daten = fuzz::LiesDatei(eintrag.path().string());
        std::fprintf(stderr, "%s\n",
                     eintrag.path().string().c_str());  // names the seed of a finding
        ziel(reinterpret_cast<const std::uint8_t*>(daten.data()), daten.size());
        ++anzahl;
    }
    EXPECT_GE(anzahl, 4);
}

INSTANTIATE_TEST_SUITE_P(Ziele, KorpusTest,
                         testing::Values(std::pair{"fuzz_strtools", &Korpus_fuzz_strtools},
                                         std::pair{"fuzz_liessatz", &Korpus_fuzz_liessatz},
                                         std::pair{"fuzz_szenario", &Korpus_fuzz_szenario},
                                         std::pair{"fuzz_interpreter", &Korpus_fuzz_interpreter}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace taktler::test
