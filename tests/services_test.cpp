// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom floor: reports, signals, console and terminal, sound, paths, timers, string tools.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "services/fehler.h"
#include "services/kxsound.h"
#include "services/kxzeit.h"
#include "services/pfade.h"
#include "services/sdlsound.h"
#include "services/strtools.h"
#include "services/unterbrechung.h"
#include "testdateien.h"
#include "testumgebung.h"

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

// Puts fd onto a standard stream while alive.
class Umgelenkt {
  public:
    Umgelenkt(int fd, int ziel) : ziel_(ziel), alt_(::dup(ziel)) {
        std::fflush(nullptr);
        ::dup2(fd, ziel);
    }
    ~Umgelenkt() {
        std::fflush(nullptr);
        ::dup2(alt_, ziel_);
        ::close(alt_);
    }

  private:
    int ziel_, alt_;
};

// A wait lets in the interrupting signals and nothing the caller held off.
TEST(SignaleGesperrtTest, TheWaitsMaskIsTheCallersWithoutTheInterruptingSignals) {
    sigset_t winch, vorher;
    sigemptyset(&winch);
    sigaddset(&winch, SIGWINCH);
    sigprocmask(SIG_BLOCK, &winch, &vorher);
    alignas(SignaleGesperrt) unsigned char platz[sizeof(SignaleGesperrt)] = {};
    auto* gesperrt = new (platz) SignaleGesperrt;
    EXPECT_EQ(sigismember(&gesperrt->offen(), SIGWINCH), 1);
    EXPECT_EQ(sigismember(&gesperrt->offen(), SIGINT), 0);
    gesperrt->~SignaleGesperrt();
    sigprocmask(SIG_SETMASK, &vorher, nullptr);
}

// PAUSE reads one word; blanks alone, a carriage return among them, are none.
TEST(LiesWortTest, WordsOnStandardInput) {
    const std::pair<std::string, int> faelle[] = {
        {"a\tb", 2}, {"\r\n weiter\r\n", 1}, {" \t\n\r\v\f", 0}};
    for (const auto& [eingabe, woerter] : faelle) {
        int rohr[2];
        ASSERT_EQ(::pipe(rohr), 0);
        ASSERT_EQ(::write(rohr[1], eingabe.data(), eingabe.size()),
                  static_cast<ssize_t>(eingabe.size()));
        ::close(rohr[1]);
        int gefunden = 0;
        {
            Umgelenkt umlenkung(rohr[0], STDIN_FILENO);
            StandardKonsole konsole;
            while (gefunden < 5 && konsole.LiesWort()) {
                ++gefunden;
            }
        }
        ::close(rohr[0]);
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

// Reports reach a UTF-8 terminal as UTF-8; the first non-empty of LC_ALL, LC_CTYPE, LANG decides.
TEST_F(ReportTest, ReportsOnAUtf8TerminalAreConverted) {
    const char* namen[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::optional<std::string> alt[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* w = std::getenv(namen[i])) {
            alt[i] = w;
        }
    }
    int herr = -1, knecht = -1;
    ASSERT_EQ(::openpty(&herr, &knecht, nullptr, nullptr, nullptr), 0);
    const int nichts = ::open("/dev/null", O_WRONLY);
    struct Fall {
        const char* werte[3];  // nullptr: unset
        bool terminal;
        const char* text;
        const char* gezeigt;
    };
    const Fall faelle[] = {
        {{"C.UTF-8", nullptr, nullptr}, true, "gr\xF6\xDF", "gr\xC3\xB6\xC3\x9F"},
        {{"", "de_DE.utf8", "C"}, true, "\xF6", "\xC3\xB6"},
        {{"C", nullptr, "C.UTF-8"}, true, "\xF6", "\xF6"},
        {{"C.UTF-8", nullptr, nullptr}, true, "\xC3\xB6", "\xC3\xB6"},
        {{"C.UTF-8", nullptr, nullptr}, false, "\xF6", "\xF6"},
    };
    for (const Fall& f : faelle) {
        for (int i = 0; i < 3; ++i) {
            f.werte[i] ? ::setenv(namen[i], f.werte[i], 1) : ::unsetenv(namen[i]);
        }
        konsole.fehler.clear();
        {
            Umgelenkt umlenkung(f.terminal ? knecht : nichts, STDERR_FILENO);
            KonsolenFenster().Zeige("Meldung", f.text, false);
        }
        EXPECT_EQ(konsole.fehler, std::string("[Meldung] ") + f.gezeigt + "\n") << f.text;
    }
    for (int i = 0; i < 3; ++i) {
        alt[i] ? ::setenv(namen[i], alt[i]->c_str(), 1) : ::unsetenv(namen[i]);
    }
    for (int fd : {herr, knecht, nichts}) {
        ::close(fd);
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
    EXPECT_EQ(geraet.pfade, (std::vector<std::string>{datei}));
    interpreter::Zustand().Soundbausteine[1] = SoundDispose(sound);
    EXPECT_TRUE(fenster.berichte.empty());
}

// Exact spelling first, else the one holding the rest; relative paths start at the working dir.
TEST(PfadeTest, CommandFileSpellingFindsTheFile) {
    TempVerzeichnis tmp;
    std::string gross = tmp.Datei("SUB/KLANG.WAV");
    std::string klein = tmp.Datei("sub/klang.wav");
    std::filesystem::create_directory(tmp / "A");
    std::string x = tmp.Datei("a/x.wav");
    std::string laufwerk = "C:" + tmp.pfad();
    for (char& c : laufwerk) {
        c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::pair<std::string, std::string> faelle[] = {
        {gross, gross},
        {tmp / "sub/KLANG.wav", klein},
        {laufwerk + "\\A\\X.WAV", x},
        {"A\\X.WAV", "a/x.wav"},
        {"d:A\\\\x.wav", "a/x.wav"},
        {laufwerk + "\\SUB\\FEHLT.WAV", laufwerk + "\\SUB\\FEHLT.WAV"},
        {tmp / "SUB/KLANG.WAV/X", tmp / "SUB/KLANG.WAV/X"},
        {"C:", "C:"},
        {"", ""},
    };
    auto vorher = std::filesystem::current_path();
    std::filesystem::current_path(tmp.pfad());
    for (const auto& [pfad, gefunden] : faelle) {
        EXPECT_EQ(LoeseKommandoPfadAuf(pfad), gefunden) << pfad;
    }
    std::filesystem::current_path(vorher);
}

// Missing or broken files, ALSA without a device (it complains on stderr): no report, no output.
TEST_F(ReportTest, SdlPlayingPrintsNothingWhateverFails) {
    TempVerzeichnis tmp;
    SetzeSoundgeraet(&SdlGeraet());
    const std::vector<std::string> dateien = {tmp.Datei("ton.wav", SinusWav(0.1)),
                                              tmp / "fehlt.wav",
                                              tmp.Datei("kaputt.wav", "RIFFxxxxWAVEjunk")};
    bool ok = true;
    {
        const int fd = ::open((tmp / "konsole.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        Umgelenkt aus(fd, STDOUT_FILENO), fehler(fd, STDERR_FILENO);
        ::close(fd);
        for (const char* treiber : {"dummy", "alsa"}) {
            SdlGeraetSchliessen();
            ::setenv("SDL_AUDIODRIVER", treiber, 1);
            ::setenv("AUDIODEV", "taktler_kein_geraet", 1);
            for (const std::string& datei : dateien) {
                Soundbaustein* sound = SoundCreate();
                ok = SetzeDateiPfad(sound, datei.c_str()) && SpielAb(sound) && ok;
                SoundDispose(sound);
            }
        }
    }
    SdlGeraetSchliessen();
    ::unsetenv("SDL_AUDIODRIVER");
    ::unsetenv("AUDIODEV");
    EXPECT_TRUE(ok);
    EXPECT_EQ(LiesDatei(tmp / "konsole.txt"), "");
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
