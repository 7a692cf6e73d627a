// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom floor: reports, console, sound, timers, string tools (signals, terminal, the
// command-file spelling of paths and SDL: services_posix_test.cpp).
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "services/fehler.h"
#include "services/kxsound.h"
#include "services/kxzeit.h"
#include "services/strtools.h"
#include "testdateien.h"
#include "testumgebung.h"
#include "umlenkung.h"

namespace taktler::test {
namespace {

using namespace services;
using ReportTest = TaktlerTest;

TEST_F(ReportTest, AbortsEndWith12WarningsAskFirstAndLongLinesAreCut) {
    EXPECT_EQ(EndeCode([] { Fehlerabbruch("TAKTLER 091200", "main", "KommandozeileCreate"); }), 12);
    EXPECT_EQ(fenster.berichte.back().titel, "ABBRUCH");
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: main, Programmabbruch: KommandozeileCreate");
    EXPECT_EQ(EndeCode([] { Meldung("DATEI 151100", "BauePfadAuf", "/tmp/x"); }), -1);
    EXPECT_EQ(fenster.berichte.back().titel, "Meldung");
    fenster.antwort = Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([] { Warnung("DATEI 151100", "SetzePfad", "x"); }), 12);
    EXPECT_EQ(EndeCode([] { OutOfStore(); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: OutOfStore, Funktion: OutOfStore, Programmabbruch: OutOfStore");
    // An abort's line holds at most 251 characters, a warning's 255 (buffer less terminator).
    for (std::size_t laenge : {251, 252, 255, 256}) {
        const bool abbruch = laenge < 254;
        const std::string kopf = abbruch ? "Modul: M, Funktion: F, Programmabbruch: "
                                         : "Modul: M, Funktion: F, Warnung: ";
        const std::string text(laenge - kopf.size(), 'x');
        EndeCode([&] { abbruch ? Fehlerabbruch("M", "F", text) : Warnung("M", "F", text); });
        EXPECT_EQ(LetzterBericht(), (kopf + text).substr(0, abbruch ? 251 : 255)) << laenge;
    }
}

// PAUSE reads one word; blanks alone, a carriage return among them, are none.
TEST(LiesWortTest, WordsOnStandardInput) {
    const std::pair<std::string, int> faelle[] = {
        {"a\tb", 2}, {"\r\n weiter\r\n", 1}, {" \t\n\r\v\f", 0}};
    TempVerzeichnis tmp;
    for (const auto& [eingabe, woerter] : faelle) {
        const int fd = ::open(tmp.Datei("ein.txt", eingabe).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        int gefunden = 0;
        {
            Umgelenkt umlenkung(fd, STDIN_FILENO);
            StandardKonsole konsole;
            while (gefunden < 5 && konsole.LiesWort()) {
                ++gefunden;
            }
        }
        ::close(fd);
        EXPECT_EQ(gefunden, woerter) << ::testing::PrintToString(eingabe);
    }
}

TEST(Utf8Test, FourByteLeadsEndAtF4) {
    const std::pair<std::string, bool> faelle[] = {
        {"a\x7F", true},         {"\xC1\xBF", false},         {"\xC2\x80", true},
        {"\xC3(", false},        {"\xE2\x82\xAC", true},      {"\xF4\x8F\xBF\xBF", true},
        {"\xF0\x90\x80", false}, {"\xF5\x80\x80\x80", false}, {"\xF8\x88\x80\x80", false}};
    for (const auto& [text, gueltig] : faelle) {
        EXPECT_EQ(IstGueltigesUtf8(text), gueltig) << ::testing::PrintToString(text);
    }
}

class MerkGeraet : public Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override { pfade.push_back(pfad); }
    std::vector<std::string> pfade;
};

// Checks abort before the device hears of it; it gets the last path set, resolved as spelled.
TEST_F(ReportTest, SoundChecksAbortAndTheDeviceGetsTheLastPathResolved) {
    MerkGeraet geraet;
    SetzeSoundgeraet(&geraet);
    const std::string kopf = "Modul: KXSOUND 101200, Funktion: KXSOUND_check, Programmabbruch: ";
    EXPECT_EQ(EndeCode([] { SpielAb(nullptr); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "inSound n. initialisisiert");
    Soundbaustein falsch;
    falsch.MagicByte = kZeitMagic;
    EXPECT_EQ(EndeCode([&] { SetzeDateiPfad(&falsch, "x"); }), 12);
    EXPECT_EQ(LetzterBericht(), kopf + "MagicByte n. initialisisiert");
    // In the level table, so that an abort leaks nothing.
    auto* sound = interpreter::Zustand().Soundbausteine[1] = SoundCreate();
    EXPECT_EQ(EndeCode([&] { SpielAb(sound); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: KXSOUND 101200, Funktion: SpielAb, Programmabbruch: Keine Datei gesetzt");
    EXPECT_TRUE(geraet.pfade.empty());
    TempVerzeichnis tmp;
    const std::string datei = tmp.Datei("gong.wav");
    fenster.berichte.clear();
    EXPECT_TRUE(SetzeDateiPfad(sound, "C:\\NICHT\\DA.WAV"));
    EXPECT_TRUE(SetzeDateiPfad(sound, (tmp / "GONG.WAV").c_str()));
    EXPECT_TRUE(SpielAb(sound));
    // The spelling Linux resolves to, or the one a case-insensitive file system takes as it is.
    ASSERT_EQ(geraet.pfade.size(), 1u);
    std::error_code fehler;
    EXPECT_TRUE(std::filesystem::equivalent(geraet.pfade[0], datei, fehler)) << geraet.pfade[0];
    interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
    EXPECT_TRUE(fenster.berichte.empty());
}

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

using StrtoolsTest = TaktlerTest;

// The string tools' rules are the fuzz model's (replayed on its corpus by the suite); here what
// the model does not see: the abort texts, and that a plain build writes nothing behind the
// capacity either.
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
