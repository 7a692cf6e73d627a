// SPDX-License-Identifier: GPL-3.0-or-later
// The real parallel port, reached through libieee1284 (ppdev, direct I/O or
// /dev/port, whichever the machine allows).
#pragma once

#include <ieee1284.h>
#include <sched.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/portnotizen.h"

namespace taktler::interface {

// The library, the system calls and the kernel's view of its ports that the
// real port uses, behind one seam so that tests run it without hardware.
class PortSystem {
  public:
    virtual ~PortSystem() = default;
    // libieee1284.
    virtual int FindePorts(parport_list* liste) = 0;
    virtual void GibPortsFrei(parport_list* liste) = 0;
    virtual int Oeffne(parport* port, int* faehigkeiten) = 0;
    virtual int Schliesse(parport* port) = 0;
    virtual int Belege(parport* port) = 0;
    virtual void GibFrei(parport* port) = 0;
    virtual void SchreibeDaten(parport* port, unsigned char wert) = 0;
    virtual int LiesStatus(parport* port) = 0;  // library view: BUSY inverted
    virtual void SchreibeSteuerung(parport* port, unsigned char wert) = 0;  // library view
    virtual int LiesSteuerung(parport* port) = 0;
    virtual int SetzeDatenrichtung(parport* port, int rueckwaerts) = 0;
    // Scheduling and memory locking; 0 on success, as the system calls.
    virtual int GibScheduler(int* politik, sched_param* param) = 0;
    virtual int SetzeScheduler(int politik, const sched_param& param) = 0;
    virtual int SperreSpeicher() = 0;
    virtual int EntsperreSpeicher() = 0;
    // Files of the kernel and devices: 0 or the errno of access(), and the
    // text of a small file (nothing when it cannot be read).
    virtual int Zugang(const std::string& pfad, int modus) = 0;
    virtual std::optional<std::string> LiesText(const std::string& pfad) = 0;
    virtual bool IstRoot() = 0;
    virtual std::uint64_t MonotonUs() = 0;
    virtual void Schlafe(int ms) = 0;
    // A library call that sleeps (a claim of a port in use) is interrupted
    // once ms have passed from now; 0 lifts the limit.
    virtual void SetzeFrist(int ms) = 0;
    virtual bool FristAbgelaufen() = 0;
};

PortSystem& EchtesPortSystem();

struct PortEintrag {
    std::string name;
    unsigned long basis = 0;
    std::string datei;  // the library's device file: /dev/parportN, /dev/port or ""
    // The kernel registered the port (its entry below /proc/sys/dev/parport
    // exists). Without a driver the library offers the legacy addresses
    // 0x278, 0x378 and 0x3bc as guesses; those are not registered.
    bool registriert = false;
};

// Longest wait for a port that another program holds.
constexpr int kBelegtWarteMs = 3000;

// The ports the library offers, in its order. When the search itself
// fails, fehler (if given) gets the reason. The search never waits longer
// than fristMs for a port in use.
std::vector<PortEintrag> FindePorts(PortSystem& system, std::string* fehler = nullptr,
                                    int fristMs = 1000);

// How the library would reach the port: "ppdev (/dev/parport0)", "direkte
// I/O", "/dev/port", or why it cannot ("keine Berechtigung ...").
std::string Zugriffsart(PortSystem& system, const PortEintrag& eintrag);

// The device that holds the port now as the kernel names it ("lp0",
// "ppdev0"), or "" when it is free or the kernel does not say.
std::string Halter(PortSystem& system, const std::string& name);

// A library error code (E1284_...) in words.
std::string E1284Text(int code);

class ParallelPort : public Port {
  public:
    // Opens and claims the port of that name and puts it into a defined
    // state (control lines idle, data lines driven); null and the reason in
    // fehler when that is not possible. A port in use is waited for up to
    // kBelegtWarteMs, with a line on standard error.
    static std::unique_ptr<ParallelPort> Oeffne(const std::string& name, std::string& fehler,
                                                PortSystem& system = EchtesPortSystem());
    ~ParallelPort() override;
    ParallelPort(const ParallelPort&) = delete;
    ParallelPort& operator=(const ParallelPort&) = delete;

    void SchreibeByte(std::uint8_t wert) override;
    void SchreibeWort(std::uint16_t wert) override;
    std::uint8_t LiesStatus() override;
    // A user program cannot hold off interrupts: the measurement runs at the
    // highest real-time priority where that is permitted, and otherwise as
    // it is. Its duration goes to the notes.
    void Sperren() override;
    void Freigeben() override;
    void SetzeNotizZiel(std::function<void(const std::string&)> ziel) override;
    std::string Stoerung() override;

    const std::string& Name() const { return eintrag_.name; }
    // The line for standard error at start: port, base address, access
    // method and whether real-time priority was granted.
    std::string Startzeile() const;

  private:
    ParallelPort(PortSystem& system, parport_list liste, parport* port, PortEintrag eintrag);
    void Einrichten();

    PortSystem& system_;
    parport_list liste_;
    parport* port_;
    PortEintrag eintrag_;
    std::string zugriff_;
    std::string kernelEintrag_;  // checked on every exchange; "" when absent at open
    std::string stoerung_;       // the first fault, once there is one
    bool echtzeit_ = false;
    bool speicherGesperrt_ = false;
    bool prioritaetGeaendert_ = false;
    int altePolitik_ = SCHED_OTHER;
    sched_param alterParameter_{};
    PortNotizen notizen_;
};

}  // namespace taktler::interface
