// SPDX-License-Identifier: GPL-3.0-or-later
// The real parallel port on Windows, reached through inpoutx64.dll, the port
// driver that users install themselves: the program loads it at run time
// and never ships it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/portnotizen.h"

namespace taktler::interface {

inline constexpr const char* kInpoutDll = "inpoutx64.dll";

struct PortEintrag {
    std::string name;  // LPT1, or the address as named (0x378)
    unsigned long basis = 0;
    bool registriert = false;  // Windows registered it (device manager)
};

// The driver and the system calls the port uses, behind one seam so that
// tests run it against a stand-in driver.
class PortSystem {
  public:
    virtual ~PortSystem() = default;
    // Loads the driver once; "" or what is missing and what to install.
    virtual std::string LadeTreiber() = 0;
    virtual void Schreibe(std::uint16_t adresse, std::uint8_t wert) = 0;
    virtual std::uint8_t Lies(std::uint16_t adresse) = 0;
    // The LPT ports Windows registered, with their base addresses.
    virtual std::vector<PortEintrag> Registriert() = 0;
    // Real-time priority for the process and thread on, or back as before;
    // true when the system granted it.
    virtual bool Echtzeit(bool an) = 0;
    virtual std::uint64_t MonotonUs() = 0;
};

PortSystem& EchtesPortSystem();

// The base address Windows allocated to a registered port's device (its
// first I/O range; 0 when it has none), by the device's instance handle.
// Tests put their own in: Wine has no resource queries.
using BasisadresseAbfrage = unsigned long (*)(std::uint32_t geraet);
BasisadresseAbfrage& BasisadresseNaht();

class ParallelPort : public Port {
  public:
    // Loads the driver, finds the port (LPTn as registered, or an address
    // 0x...) and puts it into a defined state (control lines idle, data
    // lines driven); null and the reason in fehler when that fails.
    static std::unique_ptr<ParallelPort> Oeffne(const std::string& name, std::string& fehler,
                                                PortSystem& system = EchtesPortSystem());
    ~ParallelPort() override;
    ParallelPort(const ParallelPort&) = delete;
    ParallelPort& operator=(const ParallelPort&) = delete;

    void SchreibeByte(std::uint8_t wert) override;
    void SchreibeWort(std::uint16_t wert) override;
    std::uint8_t LiesStatus() override;
    void Sperren() override;
    void Freigeben() override;
    void SetzeNotizZiel(std::function<void(const std::string&)> ziel) override;
    std::string Stoerung() override;

    const std::string& Name() const { return eintrag_.name; }
    std::string Startzeile() const;

  private:
    ParallelPort(PortSystem& system, PortEintrag eintrag);

    PortSystem& system_;
    PortEintrag eintrag_;
    std::string stoerung_;
    bool echtzeit_ = false;
    PortNotizen notizen_;
};

}  // namespace taktler::interface
