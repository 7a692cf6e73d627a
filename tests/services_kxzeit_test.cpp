#include <gtest/gtest.h>

#include "services/kxzeit.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace services;
using KxzeitTest = TaktlerTest;

// Only the monotonic clock counts: the wall clock may jump (NTP, a manual date).
TEST_F(KxzeitTest, ElapsedMillisecondsCountFromCreation) {
    const std::int64_t faelle[][3] = {
        // start, wall-clock jump, elapsed
        {1'950, 0, 60},  // millisecond part negative on its own
        {5'000, 0, 0},  {1'000'000'000'123, 0, 3'333}, {50'000, 86'400'000, 250}, {50'000, -1, 250},
    };
    for (const auto& [start, sprung, ms] : faelle) {
        uhr.startMs = 0;
        uhr.ms = start;
        auto* zeit = ZeitCreate();
        interpreter::Zustand().Zeitbausteine[1] = zeit;  // freed by the reset if a check fails
        uhr.StelleWanduhr(sprung);
        uhr.ms += ms;
        EXPECT_EQ(ZeitVergangen(zeit), ms) << start << " " << sprung;
        uhr.ms += 1'000;
        EXPECT_EQ(ZeitVergangen(zeit), ms + 1'000) << start << " " << sprung;
        interpreter::Zustand().Zeitbausteine[1] = ZeitDispose(zeit);
    }
}

TEST_F(KxzeitTest, CheckRejectsNullAndWrongMark) {
    const std::string kopf = "Modul: KXZEIT 101200, Funktion: KXZEIT_check, Programmabbruch: ";
    EXPECT_EQ(EndeCode([] { ZeitVergangen(nullptr); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "inZeit n. initialisisiert");
    Zeitbaustein falsch;  // MagicByte 0, as after a dispose
    EXPECT_EQ(EndeCode([&] { ZeitVergangen(&falsch); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "MagicByte n. initialisisiert");
    falsch.MagicByte = kSoundMagic;
    EXPECT_EQ(EndeCode([&] { ZeitDispose(&falsch); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "MagicByte n. initialisisiert");
}

}  // namespace
}  // namespace taktler::test
