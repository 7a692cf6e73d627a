// Chooses and opens the port the command line asks for: a real parallel
// port, the simulated interface, and the port log around either.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "interface/parallelport.h"
#include "interface/port.h"
#include "interface/simulator.h"

namespace taktler::interface {

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

// Rules: --sim implies sim; auto takes the first port found and the
// simulator (with an info line) only when the machine has none; a port that
// exists but cannot be opened is never replaced by the simulator; any other
// name is a port that cannot be opened. The log, when asked for, is the
// outermost port.
// For auto, a port with a device of its own (ppdev) counts as found. The
// legacy addresses the library offers without one are only guesses: the
// first that opens and answers is taken, and none of them is reason to
// refuse the simulator.
GewaehlterPort OeffnePort(const PortOptionen& optionen, PortSystem& system = EchtesPortSystem());

// --ports: the names of the machine's parallel ports.
std::vector<std::string> ListePorts(PortSystem& system = EchtesPortSystem());

extern const char* const kKeinPortInfo;

}  // namespace taktler::interface
