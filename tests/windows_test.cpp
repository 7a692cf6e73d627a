// SPDX-License-Identifier: GPL-3.0-or-later
// What only the Windows build has, in-process under Wine: the WARNUNG
// question on the console, output pipes that a stalled reader does not
// block, the console's control events ending a run, the PlaySoundA call
// and the lookup of the LPT ports Windows registered.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/hauptprogramm.h"
#include "interface/parallelport_windows.h"
#include "services/ausgabekanal.h"
#include "services/systemsound.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"
#include "testumgebung.h"
// After the floors' headers: windows.h defines interface, the name of one.
#include <windows.h>
// windows.h first: the device header needs its types.
#include <cfgmgr32.h>

#include "windows_naehte.h"
#undef interface

namespace taktler::test {
namespace {

namespace fs = std::filesystem;

std::string Lies(const fs::path& pfad) {
    std::ifstream ein(pfad, std::ios::binary);
    std::ostringstream inhalt;
    inhalt << ein.rdbuf();
    return inhalt.str();
}

// The control event arrives on a thread of its own, as the system sends it.
// The handler of a closed window does not return (the run ends the
// process): that thread is left behind.
std::thread SpaeterSenden(DWORD ereignis) {
    std::thread sender([ereignis] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        services::windows::Steuerereignis(ereignis);
    });
    if (ereignis == CTRL_CLOSE_EVENT) {
        sender.detach();
    }
    return sender;
}

class WindowsTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        dir = fs::temp_directory_path() /
              ("taktler_windows_" + std::to_string(GetCurrentProcessId()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        TaktlerTest::TearDown();  // closes the run's files first
        fs::remove_all(dir);
    }
    fs::path dir;
};

// --- The WARNUNG question on the console ---------------------------------

struct FrageFall {
    const char* name;
    const char* getippt;  // keys on the console; nullptr: the process has no console
    services::Antwort antwort;
};

class WarnungsfrageTest : public WindowsTest, public testing::WithParamInterface<FrageFall> {
  protected:
    static HANDLE Konsole(const char* name) {
        return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // These keys typed on the process's console. Wine gives a console only
    // to a program started on a terminal (tools/windows.sh runs these tests
    // so); false without one.
    static bool Tippe(const std::string& tasten) {
        HANDLE ein = Konsole("CONIN$");
        FlushConsoleInputBuffer(ein);
        std::vector<INPUT_RECORD> tastendruecke(1);  // a key released: no byte
        tastendruecke[0].EventType = KEY_EVENT;
        for (char c : tasten) {
            INPUT_RECORD r{};
            r.EventType = KEY_EVENT;
            r.Event.KeyEvent.bKeyDown = TRUE;
            r.Event.KeyEvent.wRepeatCount = 1;
            r.Event.KeyEvent.wVirtualKeyCode = c == '\r' ? VK_RETURN : VkKeyScanA(c) & 0xFF;
            r.Event.KeyEvent.uChar.AsciiChar = c;
            tastendruecke.push_back(r);
        }
        DWORD geschrieben = 0;
        const bool ok =
            WriteConsoleInputA(ein, tastendruecke.data(), static_cast<DWORD>(tastendruecke.size()),
                               &geschrieben) != 0 &&
            geschrieben == tastendruecke.size();
        CloseHandle(ein);
        return ok;
    }
    // The console's screen up to the cursor.
    static std::string Schirm() {
        HANDLE aus = Konsole("CONOUT$");
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(aus, &info);
        std::string text(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1),
                         ' ');
        DWORD gelesen = 0;
        ReadConsoleOutputCharacterA(aus, text.data(), static_cast<DWORD>(text.size()), {0, 0},
                                    &gelesen);
        CloseHandle(aus);
        return text;
    }
};

TEST_P(WarnungsfrageTest, AsksOnTheConsoleNotOnStandardInput) {
    const FrageFall& f = GetParam();
    HANDLE da = Konsole("CONIN$");
    CloseHandle(da);
    if (f.getippt == nullptr && da != INVALID_HANDLE_VALUE) {
        GTEST_SKIP() << "eine Konsole ist da (ctest laeuft ohne)";
    } else if (f.getippt != nullptr && !Tippe(f.getippt)) {
        GTEST_SKIP() << "keine Konsole";
    }
    services::KonsolenFenster fenster;
    EXPECT_EQ(fenster.Zeige("WARNUNG", "Modul: X, Funktion: Y, Warnung: Z", true), f.antwort);
    EXPECT_EQ(konsole.fehler, "[WARNUNG] Modul: X, Funktion: Y, Warnung: Z\n");
    if (f.getippt != nullptr) {
        EXPECT_NE(Schirm().find("OK oder Abbrechen? [o/a] "), std::string::npos) << Schirm();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, WarnungsfrageTest,
    testing::Values(FrageFall{"O", "o\r", services::Antwort::OK},
                    FrageFall{"OHinterLeerzeichen", "  o\r", services::Antwort::OK},
                    FrageFall{"A", "a\r", services::Antwort::Abbrechen},
                    FrageFall{"Anderes", "ja\r", services::Antwort::Abbrechen},
                    FrageFall{"NurEnter", "\r", services::Antwort::Abbrechen},
                    FrageFall{"KeineKonsole", nullptr, services::Antwort::Abbrechen}),
    [](const auto& info) { return std::string(info.param.name); });

// Ctrl-C while the question waits is no answer: the run takes the interrupt path.
TEST_F(WarnungsfrageTest, CtrlCAtTheQuestionEndsTheRun) {
    if (!Tippe("")) {
        GTEST_SKIP() << "keine Konsole";
    }
    std::thread sender = SpaeterSenden(CTRL_C_EVENT);
    services::KonsolenFenster fenster;
    EXPECT_EQ(EndeCode([&] { fenster.Zeige("WARNUNG", "W", true); }), 128 + SIGINT);
    sender.join();
}

// --- Output pipes ----------------------------------------------------------

// A named pipe whose reader takes nothing until told: 4 KiB of room.
class Rohr {
  public:
    explicit Rohr(const std::string& name)
        : pfad_("\\\\.\\pipe\\" + name),
          server_(CreateNamedPipeA(pfad_.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                   1, 4096, 4096, 0, nullptr)) {}
    ~Rohr() {
        if (leser_.joinable()) {
            leser_.join();
        }
        CloseHandle(server_);
    }
    const std::string& Pfad() const { return pfad_; }
    void LeseBisZumEnde() {
        leser_ = std::thread([this] {
            char puffer[4096];
            DWORD n = 0;
            while (ReadFile(server_, puffer, sizeof puffer, &n, nullptr) != 0 && n > 0) {
                gelesen_.append(puffer, n);
            }
        });
    }
    std::string Gelesen() {
        leser_.join();
        return gelesen_;
    }

  private:
    std::string pfad_;
    HANDLE server_;
    std::thread leser_;
    std::string gelesen_;
};

std::string Muster(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>('a' + i % 26);
    }
    return s;
}

// After Ctrl-C a stalled reader holds the run up no longer (through the
// channel and through its stream); the end writes every byte.
TEST_F(WindowsTest, AfterCtrlCAStalledPipeHoldsNothingUpAndTheEndWritesAll) {
    for (bool alsStrom : {false, true}) {
        SCOPED_TRACE(alsStrom ? "Strom" : "Kanal");
        services::UnterbrechungZuruecksetzen();
        services::AbschlussZuruecksetzen();
        Rohr rohr(alsStrom ? "taktler_strom" : "taktler_kanal");
        int fehler = -1;
        auto kanal = services::Ausgabekanal::Oeffne(rohr.Pfad(), false, fehler);
        ASSERT_TRUE(kanal) << fehler;
        std::FILE* strom =
            alsStrom ? services::Ausgabekanal::AlsStrom(std::move(kanal), "w") : nullptr;
        services::windows::Steuerereignis(CTRL_C_EVENT);
        const std::string daten = Muster(300'000);  // far more than the pipe holds
        for (std::size_t i = 0; i < daten.size(); i += 1000) {
            if (alsStrom) {
                ASSERT_EQ(std::fwrite(daten.data() + i, 1, 1000, strom), 1000u);
            } else {
                ASSERT_EQ(kanal->Schreibe(daten.substr(i, 1000)), 0);
            }
        }
        services::EndeBeginnt();
        rohr.LeseBisZumEnde();
        EXPECT_EQ(alsStrom ? std::fclose(strom) : kanal->Schliessen(), 0);
        EXPECT_TRUE(rohr.Gelesen() == daten);
    }
}

// --- The console's control events end a run -------------------------------

struct EreignisFall {
    const char* name;
    DWORD ereignis;
    int signal;
};

class SteuerereignisTest : public WindowsTest, public testing::WithParamInterface<EreignisFall> {};

TEST_P(SteuerereignisTest, EndsTheRunAsCtrlCOnLinux) {
    const EreignisFall& f = GetParam();
    std::ofstream(dir / "k.txt") << "EINSCHALTEN MOTOR1 RECHTS\nBIS SCHALTER3 = 1\nENDE_BIS\n";
    const std::string log = (dir / "port.log").string();
    const std::string kommandos = (dir / "k.txt").string();
    const std::string protokoll = (dir / "p.txt").string();
    std::vector<std::string> argumente = {"taktler",           "--zeit=virtuell", "--port=sim",
                                          "--port-log=" + log, kommandos,         protokoll};
    std::vector<char*> argv;
    for (auto& a : argumente) {
        argv.push_back(a.data());
    }
    std::thread sender = SpaeterSenden(f.ereignis);
    EXPECT_EQ(EndeCode([&] { app::Hauptprogramm(static_cast<int>(argv.size()), argv.data()); }),
              128 + f.signal);
    EXPECT_NE(konsole.fehler.find(std::string("TAKTLER unterbrochen (") +
                                  services::SignalName(f.signal) + "): alle Motoren ausgeschaltet"),
              std::string::npos)
        << konsole.fehler;
    // The complete port log: motor 1 ran, and the last frame switched every motor off.
    const std::string zeilen = Lies(log);
    EXPECT_NE(zeilen.find("\n# Motoren LNNN\n"), std::string::npos);
    const std::string ende = "\n# Motoren NNNN\n";
    EXPECT_EQ(zeilen.rfind(ende), zeilen.size() - ende.size());
    if (sender.joinable()) {
        sender.join();
    }
}

INSTANTIATE_TEST_SUITE_P(Faelle, SteuerereignisTest,
                         testing::Values(EreignisFall{"CtrlC", CTRL_C_EVENT, SIGINT},
                                         EreignisFall{"CtrlBreak", CTRL_BREAK_EVENT, SIGBREAK},
                                         EreignisFall{"FensterZu", CTRL_CLOSE_EVENT, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- PlaySoundA ------------------------------------------------------------

struct Klang {
    std::string datei;
    DWORD art = 0;
};
Klang gespielt;

BOOL WINAPI PlaySoundAttrappe(LPCSTR datei, HMODULE modul, DWORD art) {
    gespielt = {datei != nullptr ? datei : "(null)", art};
    return modul == nullptr;
}

TEST(PlaySoundTest, PlaysTheFileAsynchronously) {
    auto& naht = services::windows::PlaySoundNaht();
    const auto echt = naht;
    naht = PlaySoundAttrappe;
    services::SystemSound().Spiele("C:\\Kurs\\gong.wav");
    naht = echt;
    EXPECT_EQ(gespielt.datei, "C:\\Kurs\\gong.wav");
    EXPECT_EQ(gespielt.art & (SND_ASYNC | SND_FILENAME), DWORD{SND_ASYNC | SND_FILENAME});
    EXPECT_EQ(gespielt.art & SND_SYNC, 0u);
}

// --- The LPT ports Windows registered --------------------------------------

// Devices of the class Ports as the device manager registers them, written
// into the registry of Wine's prefix and removed again.
constexpr const char* kGeraete = "System\\CurrentControlSet\\Enum\\ROOT\\TAKTLERTEST";

struct Geraet {
    const char* instanz;
    const char* portName;
    unsigned long basis;  // what the resource query gives
};

constexpr Geraet kGeraeteliste[] = {{"0000", "LPT1", 0x378},
                                    {"0001", "COM1", 0x3F8},
                                    {"0002", "LPT2", 0xD010},
                                    {"0003", "LPT3", 0}};

unsigned long BasisAusListe(std::uint32_t geraet) {
    char kennung[MAX_DEVICE_ID_LEN] = {};
    CM_Get_Device_IDA(geraet, kennung, sizeof kennung, 0);
    for (const Geraet& g : kGeraeteliste) {
        if (std::string(kennung) == std::string("ROOT\\TAKTLERTEST\\") + g.instanz) {
            return g.basis;
        }
    }
    return 0;
}

TEST(RegistrierteLptTest, ListsTheLptPortsWithAnAddress) {
    auto& naht = interface::BasisadresseNaht();
    const auto echt = naht;
    naht = BasisAusListe;
    bool geschrieben = true;
    for (const Geraet& g : kGeraeteliste) {
        const std::string schluessel = std::string(kGeraete) + "\\" + g.instanz;
        const char klasse[] = "{4d36e978-e325-11ce-bfc1-08002be10318}";
        geschrieben =
            geschrieben &&
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, schluessel.c_str(), "ClassGUID", REG_SZ, klasse,
                            sizeof klasse) == ERROR_SUCCESS &&
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, (schluessel + "\\Device Parameters").c_str(),
                            "PortName", REG_SZ, g.portName,
                            static_cast<DWORD>(std::strlen(g.portName) + 1)) == ERROR_SUCCESS;
    }
    std::vector<interface::PortEintrag> ports;
    if (geschrieben) {
        ports = interface::EchtesPortSystem().Registriert();
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kGeraete);
    naht = echt;
    if (!geschrieben) {
        GTEST_SKIP() << "die Registry nimmt keine Geraete an (kein Administrator)";
    }
    std::string gefunden;
    for (const auto& p : ports) {
        gefunden += p.name + services::Format("=0x%lx%s ", p.basis, p.registriert ? "" : "?");
    }
    EXPECT_EQ(gefunden, "LPT1=0x378 LPT2=0xd010 ");
}

}  // namespace
}  // namespace taktler::test
