// The real parallel port, reached through libieee1284 (ppdev or direct
// port access, whichever the machine allows).
#pragma once

#include <ieee1284.h>
#include <sched.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/port.h"

namespace taktler::interface {

// The library and system calls the real port makes, behind one seam so
// that tests can run the backend without hardware or privileges.
class PortSystem {
  public:
    virtual ~PortSystem() = default;
    virtual int FindePorts(parport_list* liste) = 0;
    virtual void GibPortsFrei(parport_list* liste) = 0;
    virtual int Oeffne(parport* port, int* faehigkeiten) = 0;
    virtual int Schliesse(parport* port) = 0;
    virtual int Belege(parport* port) = 0;
    virtual void GibFrei(parport* port) = 0;
    virtual void SchreibeDaten(parport* port, unsigned char wert) = 0;
    virtual int LiesStatus(parport* port) = 0;  // library view: BUSY inverted
    virtual int LiesDaten(parport* port) = 0;
    // Scheduling and memory locking; 0 on success, as the system calls.
    virtual int GibScheduler(int* politik, sched_param* param) = 0;
    virtual int SetzeScheduler(int politik, const sched_param& param) = 0;
    virtual int SperreSpeicher() = 0;
    virtual int EntsperreSpeicher() = 0;
};

PortSystem& EchtesPortSystem();

struct PortEintrag {
    std::string name;
    // False for the legacy addresses (0x378 ...) that the library offers to
    // privileged users through /dev/port whether or not a port is there.
    bool eigenesGeraet = false;
};

// The ports the library offers, in its order. When the search itself
// fails, fehler (if given) gets the reason.
std::vector<PortEintrag> FindePorts(PortSystem& system, std::string* fehler = nullptr);

// A library error code (E1284_...) in words.
std::string E1284Text(int code);

class ParallelPort : public Port {
  public:
    // Opens and claims the port of that name; null and the reason in
    // fehler when that is not possible. With pruefen, a port whose data
    // register does not read back what was written counts as absent.
    static std::unique_ptr<ParallelPort> Oeffne(const std::string& name, std::string& fehler,
                                                PortSystem& system = EchtesPortSystem(),
                                                bool pruefen = false);
    ~ParallelPort() override;
    ParallelPort(const ParallelPort&) = delete;
    ParallelPort& operator=(const ParallelPort&) = delete;

    void SchreibeByte(std::uint8_t wert) override;
    void SchreibeWort(std::uint16_t wert) override;
    std::uint8_t LiesStatus() override;
    // A user program cannot hold off interrupts: the measurement runs at the
    // highest real-time priority with locked memory where that is
    // permitted, and otherwise as it is.
    void Sperren() override;
    void Freigeben() override;

    const std::string& Name() const { return name_; }

  private:
    ParallelPort(PortSystem& system, parport_list liste, parport* port, std::string name);

    PortSystem& system_;
    parport_list liste_;
    parport* port_;
    std::string name_;
    bool gesperrt_ = false;
    bool prioritaetGeaendert_ = false;
    bool speicherGesperrt_ = false;
    int altePolitik_ = SCHED_OTHER;
    sched_param alterParameter_{};
};

}  // namespace taktler::interface
