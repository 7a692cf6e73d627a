#include <gtest/gtest.h>

#include "services/kxzeit.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace services;

using KxzeitTest = TaktlerTest;

TEST_F(KxzeitTest, ElapsedMillisecondsCountFromCreation) {
    struct Fall {
        std::int64_t start;
        std::int64_t jetzt;
        std::uint32_t ms;
    };
    const Fall faelle[] = {
        {1'950, 2'010, 60},  // millisecond part negative on its own
        {5'000, 5'000, 0},
        {1'000'000'000'123, 1'000'000'003'456, 3'333},
    };
    uhr.startMs = 0;  // the monotonic clock reads as the wall clock
    for (const Fall& f : faelle) {
        uhr.ms = f.start;
        auto* zeit = ZeitCreate();
        interpreter::Zustand().Zeitbausteine[1] = zeit;
        EXPECT_EQ(zeit->MagicByte, kZeitMagic);
        uhr.ms = f.jetzt;
        EXPECT_EQ(ZeitVergangen(zeit), f.ms) << f.start << " -> " << f.jetzt;
        interpreter::Zustand().Zeitbausteine[1] = ZeitDispose(zeit);
        EXPECT_EQ(interpreter::Zustand().Zeitbausteine[1], nullptr);
    }
}

TEST_F(KxzeitTest, LaterQueriesStillCountFromCreation) {
    uhr.startMs = 0;
    uhr.ms = 1'000;
    auto* zeit = ZeitCreate();
    interpreter::Zustand().Zeitbausteine[1] = zeit;
    uhr.ms = 1'500;
    EXPECT_EQ(ZeitVergangen(zeit), 500u);
    uhr.ms = 2'700;
    EXPECT_EQ(ZeitVergangen(zeit), 1'700u);
    EXPECT_EQ(zeit->Messzeit.Sekunden, 2);
    EXPECT_EQ(zeit->Messzeit.Millisekunden, 700);
}

// The wall clock may jump (NTP, a manual date) while a BIS ZEIT waits; the
// elapsed time follows the monotonic clock alone.
TEST_F(KxzeitTest, WallClockStepsDoNotChangeElapsedTimes) {
    for (std::int64_t sprung : {-3'600'000, 86'400'000, -1}) {
        uhr.ms = 50'000;
        uhr.startMs = 0;
        auto* zeit = ZeitCreate();
        interpreter::Zustand().Zeitbausteine[1] = zeit;
        uhr.StelleWanduhr(sprung);
        uhr.ms += 250;
        EXPECT_EQ(ZeitVergangen(zeit), 250u) << sprung;
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
