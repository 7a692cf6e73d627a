// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom floor where it is POSIX: the signal mask of a wait, reports on a terminal (a pty), the
// command-file spelling of paths on a case-sensitive file system, SDL sound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "services/fehler.h"
#include "services/kxsound.h"
#include "services/pfade.h"
#include "services/sdlsound.h"
#include "services/unterbrechung.h"
#include "testdateien.h"
#include "testumgebung.h"
#include "umlenkung.h"

namespace taktler::test {
namespace {

using namespace services;
using ReportTest = TaktlerTest;

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

}  // namespace
}  // namespace taktler::test
