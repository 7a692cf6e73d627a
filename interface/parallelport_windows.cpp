// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
// windows.h first: the device headers need its types.
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>
// The Windows headers define interface as struct, the name of this floor.
#undef interface

#include <chrono>
#include <cstdlib>

#include "interface/parallelport_windows.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

// Control register at rest: nStrobe, nAutoFd and nInit inactive, data lines
// driven (bit 5 clear). Bits 6 and 7 do not exist and read back anything.
constexpr std::uint8_t kSteuerungRuhe = 0x0C;
constexpr std::uint8_t kSteuerungMaske = 0x3F;

using Inp32Fn = short(__stdcall*)(short);
using Out32Fn = void(__stdcall*)(short, short);
using OffenFn = BOOL(__stdcall*)();

std::string Hex(unsigned long wert) {
    return services::Format("0x%lx", wert);
}

// The first I/O range of the device's allocated resources.
unsigned long Basisadresse(std::uint32_t geraet) {
    LOG_CONF konfiguration = 0;
    if (CM_Get_First_Log_Conf(&konfiguration, geraet, ALLOC_LOG_CONF) != CR_SUCCESS) {
        return 0;
    }
    unsigned long basis = 0;
    RES_DES beschreibung = 0;
    if (CM_Get_Next_Res_Des(&beschreibung, konfiguration, ResType_IO, nullptr, 0) == CR_SUCCESS) {
        IO_DES io{};
        if (CM_Get_Res_Des_Data(beschreibung, &io, sizeof(io), 0) == CR_SUCCESS) {
            basis = static_cast<unsigned long>(io.IOD_Alloc_Base);
        }
        CM_Free_Res_Des_Handle(beschreibung);
    }
    CM_Free_Log_Conf_Handle(konfiguration);
    return basis;
}

class WindowsPortSystem : public PortSystem {
  public:
    std::string LadeTreiber() override {
        if (inp_ != nullptr) {
            return {};
        }
        HMODULE dll = LoadLibraryA(kInpoutDll);
        if (dll == nullptr) {
            return std::string(kInpoutDll) +
                   " nicht gefunden: den Porttreiber InpOut32/InpOutx64 installieren "
                   "(inpoutx64.dll neben taktler.exe oder in den Suchpfad legen; siehe README, "
                   "Windows)";
        }
        auto inp = reinterpret_cast<Inp32Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "Inp32")));
        auto out = reinterpret_cast<Out32Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "Out32")));
        auto offen = reinterpret_cast<OffenFn>(
            reinterpret_cast<void*>(GetProcAddress(dll, "IsInpOutDriverOpen")));
        if (inp == nullptr || out == nullptr || offen == nullptr) {
            FreeLibrary(dll);
            return std::string(kInpoutDll) +
                   " ist nicht der Porttreiber InpOutx64 (Inp32, Out32 "
                   "oder IsInpOutDriverOpen fehlt)";
        }
        if (offen() == 0) {
            FreeLibrary(dll);
            return std::string(kInpoutDll) +
                   ": der Treiber laesst sich nicht oeffnen (einmal als Administrator starten, "
                   "damit InpOutx64 seinen Treiber installiert)";
        }
        inp_ = inp;
        out_ = out;
        return {};
    }

    void Schreibe(std::uint16_t adresse, std::uint8_t wert) override {
        out_(static_cast<short>(adresse), static_cast<short>(wert));
    }

    std::uint8_t Lies(std::uint16_t adresse) override {
        return static_cast<std::uint8_t>(inp_(static_cast<short>(adresse)) & 0xFF);
    }

    std::vector<PortEintrag> Registriert() override {
        std::vector<PortEintrag> ports;
        HDEVINFO geraete =
            SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
        if (geraete == INVALID_HANDLE_VALUE) {
            return ports;
        }
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof(info);
        for (DWORD i = 0; SetupDiEnumDeviceInfo(geraete, i, &info) != 0; ++i) {
            PortEintrag eintrag;
            eintrag.name = PortName(geraete, info);
            if (eintrag.name.rfind("LPT", 0) != 0) {
                continue;
            }
            eintrag.basis = BasisadresseNaht()(info.DevInst);
            eintrag.registriert = true;
            if (eintrag.basis != 0) {
                ports.push_back(eintrag);
            }
        }
        SetupDiDestroyDeviceInfoList(geraete);
        return ports;
    }

    bool Echtzeit(bool an) override {
        if (!an) {
            SetThreadPriority(GetCurrentThread(), alteThreadPrioritaet_);
            SetPriorityClass(GetCurrentProcess(), alteKlasse_);
            return true;
        }
        alteKlasse_ = GetPriorityClass(GetCurrentProcess());
        alteThreadPrioritaet_ = GetThreadPriority(GetCurrentThread());
        // Without the right to it, Windows gives the high class instead.
        const bool klasse = SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS) != 0 &&
                            GetPriorityClass(GetCurrentProcess()) == REALTIME_PRIORITY_CLASS;
        const bool faden =
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
        return klasse && faden;
    }

    std::uint64_t MonotonUs() override {
        using namespace std::chrono;
        return static_cast<std::uint64_t>(
            duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }

  private:
    static std::string PortName(HDEVINFO geraete, SP_DEVINFO_DATA& info) {
        HKEY schluessel =
            SetupDiOpenDevRegKey(geraete, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (schluessel == INVALID_HANDLE_VALUE) {
            return {};
        }
        char name[64] = {};
        DWORD laenge = sizeof(name) - 1;
        DWORD typ = 0;
        const bool ok = RegQueryValueExA(schluessel, "PortName", nullptr, &typ,
                                         reinterpret_cast<BYTE*>(name), &laenge) == ERROR_SUCCESS &&
                        typ == REG_SZ;
        RegCloseKey(schluessel);
        return ok ? std::string(name) : std::string();
    }

    Inp32Fn inp_ = nullptr;
    Out32Fn out_ = nullptr;
    DWORD alteKlasse_ = NORMAL_PRIORITY_CLASS;
    int alteThreadPrioritaet_ = THREAD_PRIORITY_NORMAL;
};

// "0x378" or "378": a port address in hexadecimal, 0x1 to 0xFFFD.
bool IstAdresse(const std::string& name, unsigned long& basis) {
    std::string ziffern = name;
    if (ziffern.rfind("0x", 0) == 0 || ziffern.rfind("0X", 0) == 0) {
        ziffern = ziffern.substr(2);
    }
    if (ziffern.empty() || ziffern.size() > 4 ||
        ziffern.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    basis = std::strtoul(ziffern.c_str(), nullptr, 16);
    return basis != 0 && basis <= 0xFFFD;
}

}  // namespace

PortSystem& EchtesPortSystem() {
    static WindowsPortSystem system;
    return system;
}

BasisadresseAbfrage& BasisadresseNaht() {
    static BasisadresseAbfrage abfrage = Basisadresse;
    return abfrage;
}

std::unique_ptr<ParallelPort> ParallelPort::Oeffne(const std::string& name, std::string& fehler,
                                                   PortSystem& system) {
    const std::string wer = "Parallelport \"" + name + "\"";
    PortEintrag eintrag;
    eintrag.name = name;
    if (!IstAdresse(name, eintrag.basis)) {
        bool gefunden = false;
        for (const PortEintrag& p : system.Registriert()) {
            if (p.name == name) {
                eintrag = p;
                gefunden = true;
            }
        }
        if (!gefunden) {
            fehler = wer +
                     ": kein solcher Port (--ports listet die LPT-Ports, --port=0x378 "
                     "nennt eine Adresse)";
            return nullptr;
        }
    }
    const std::string treiber = system.LadeTreiber();
    if (!treiber.empty()) {
        fehler = wer + ": " + treiber;
        return nullptr;
    }
    const auto steuerung = static_cast<std::uint16_t>(eintrag.basis + 2);
    // The set-up writes no data byte: the data lines keep what they hold
    // until the first frame.
    system.Schreibe(steuerung, kSteuerungRuhe);
    const std::uint8_t gelesen = system.Lies(steuerung);
    if ((gelesen & kSteuerungMaske) != kSteuerungRuhe) {
        fehler = wer + ": an Adresse " + Hex(eintrag.basis) +
                 " antwortet kein Parallelport (Steuerregister liest " +
                 services::Format("0x%02X", gelesen) + ")";
        return nullptr;
    }
    std::unique_ptr<ParallelPort> port(new ParallelPort(system, eintrag));
    port->echtzeit_ = system.Echtzeit(true);
    system.Echtzeit(false);
    return port;
}

ParallelPort::ParallelPort(PortSystem& system, PortEintrag eintrag)
    : system_(system), eintrag_(std::move(eintrag)) {}

ParallelPort::~ParallelPort() {
    notizen_.SetzeZiel(nullptr);
    Freigeben();
}

std::string ParallelPort::Startzeile() const {
    return "Parallelport " + eintrag_.name + ", Basisadresse " + Hex(eintrag_.basis) +
           ", Zugriff ueber " + kInpoutDll + ", Echtzeitprioritaet: " + (echtzeit_ ? "ja" : "nein");
}

void ParallelPort::SchreibeByte(std::uint8_t wert) {
    system_.Schreibe(static_cast<std::uint16_t>(eintrag_.basis), wert);
}

void ParallelPort::SchreibeWort(std::uint16_t wert) {
    // The word's high byte would go to the status register, which ignores it.
    system_.Schreibe(static_cast<std::uint16_t>(eintrag_.basis),
                     static_cast<std::uint8_t>(wert & 0xFF));
}

std::uint8_t ParallelPort::LiesStatus() {
    notizen_.Gelesen();
    return system_.Lies(static_cast<std::uint16_t>(eintrag_.basis + 1));
}

// A port that is gone (an adapter pulled, a card disabled) reads 0xFF on
// every register: its control register no longer holds what was written.
std::string ParallelPort::Stoerung() {
    if (stoerung_.empty()) {
        const std::uint8_t steuerung = system_.Lies(static_cast<std::uint16_t>(eintrag_.basis + 2));
        if (steuerung == 0xFF) {
            stoerung_ = "antwortet nicht mehr (Steuerregister liest 0xFF)";
        }
    }
    return notizen_.Stoerung(eintrag_.name, stoerung_);
}

void ParallelPort::Sperren() {
    if (notizen_.FensterOffen()) {
        return;
    }
    if (echtzeit_) {
        system_.Echtzeit(true);
    }
    notizen_.FensterOeffnen(system_.MonotonUs());
}

void ParallelPort::Freigeben() {
    if (!notizen_.FensterOffen()) {
        return;
    }
    const std::uint64_t endeUs = system_.MonotonUs();
    if (echtzeit_) {
        system_.Echtzeit(false);
    }
    notizen_.FensterSchliessen(endeUs);
}

void ParallelPort::SetzeNotizZiel(std::function<void(const std::string&)> ziel) {
    notizen_.SetzeZiel(std::move(ziel));
}

}  // namespace taktler::interface
