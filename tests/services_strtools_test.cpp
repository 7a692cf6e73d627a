// The string tools' rules are the fuzz model's (replayed on its corpus by the
// suite); here what the model does not see: the abort texts, and that a plain
// build writes nothing behind the capacity either.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "services/strtools.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace services;

using StrtoolsTest = TaktlerTest;

TEST_F(StrtoolsTest, AbortsNameTheCauseAndNothingIsWrittenBehindTheCapacity) {
    char puffer[16];
    // call on the buffer, capacity, abort text (empty: no abort), buffer after the call
    const std::tuple<std::function<void(std::uint32_t)>, std::uint32_t, std::string, const char*>
        faelle[] = {
            {[&](std::uint32_t k) { strTrenneFelder("ABC", '|', puffer, k); }, 5, "", "ABC|"},
            {[&](std::uint32_t k) { strTrenneFelder("ABC", '|', puffer, k); }, 4,
             "Funktion: strTrenneFelder, Programmabbruch: inoutZeile zu kurz", nullptr},
            {[&](std::uint32_t k) { strErsetze(puffer, k, "xxx", "c"); }, 6, "", "xxxAB"},
            {[&](std::uint32_t k) { strErsetze(puffer, k, "xxx", "c"); }, 5,
             "Funktion: strErsetze: inoutString zu klein, Programmabbruch: cAB", nullptr},
            {[&](std::uint32_t) { ParseEingabezeile(std::string(251, 'x').c_str(), 1, '|'); }, 0,
             "Funktion: ParseEingabezeile, Programmabbruch: inZeile zu lang", nullptr},
        };
    for (const auto& [aufruf, kapazitaet, abbruch, danach] : faelle) {
        SCOPED_TRACE(abbruch + " " + std::to_string(kapazitaet));
        std::memset(puffer, '#', sizeof puffer);
        std::strcpy(puffer, "cAB");
        const int code = EndeCode([&, k = kapazitaet, &f = aufruf] { f(k); });
        if (danach != nullptr) {
            EXPECT_STREQ(puffer, danach);
        } else {
            EXPECT_EQ(code, 12);
            EXPECT_EQ(LetzterBericht(), "Modul: STRTOOLS 210100, " + abbruch);
        }
        EXPECT_EQ(std::string(puffer + std::max(kapazitaet, 4u), puffer + sizeof puffer),
                  std::string(sizeof puffer - std::max(kapazitaet, 4u), '#'));
    }
}

}  // namespace
}  // namespace taktler::test
