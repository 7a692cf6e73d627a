// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses and opens the port the command line asks for: a real parallel
// port, the simulated interface, and the port log around either.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"

namespace taktler::interface {

// The real port's system calls: parallelport.h (libieee1284) or
// parallelport_windows.h (inpoutx64.dll), whichever the build uses.
class PortSystem;
PortSystem& EchtesPortSystem();

struct PortOptionen {
    std::string name = "auto";  // --port: auto, sim or a name from --ports
    std::string simDatei;       // --sim: scenario file, implies sim
    std::string logDatei;       // --port-log
};

struct GewaehlterPort {
    std::unique_ptr<Port> port;      // null when fehler is set
    Simulator* simulator = nullptr;  // the model, when the simulator is used
    std::string fehler;              // names the port or file and the reason
    std::string info;                // one line for standard error, or empty
};

// Rules: --sim implies sim; auto takes a port the system registered, the
// one at base address 0x378 first, else the first in the library's order
// (parport0), and the simulator (with an info line) only when there is
// none; a port that exists but cannot be opened is never replaced by the
// simulator; any other name is a port that cannot be opened. The library's
// guessed legacy addresses are never used by auto and never probed; named
// explicitly, one is opened like any port. The log, when asked for, is the
// outermost port. For a real port, info is the start line.
GewaehlterPort OeffnePort(const PortOptionen& optionen, PortSystem& system = EchtesPortSystem());

// --ports: one line per port the system registered: name, base address and
// the access method it would get. When there is none, hinweis (if given)
// says so and what to do.
std::vector<std::string> ListePorts(PortSystem& system = EchtesPortSystem(),
                                    std::string* hinweis = nullptr);

// Makes every ending of the program (an exit code or a signal) close a real
// port first: released, and its port log complete. Puts the previous ending
// back when destroyed.
class PortAmEnde {
  public:
    explicit PortAmEnde(GewaehlterPort& wahl);
    ~PortAmEnde();
    PortAmEnde(const PortAmEnde&) = delete;
    PortAmEnde& operator=(const PortAmEnde&) = delete;

  private:
    std::function<void(int)> vorher_;
};

extern const char* const kKeinPortInfo;

}  // namespace taktler::interface
