// The command line: options anywhere, a lone "--" ends them, the rest are
// the file arguments that the argument-count check sees.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "interface/portwahl.h"
#include "services/umgebung.h"

namespace taktler::app {

struct Optionen {
    interface::PortOptionen port;
    std::optional<services::Antwort> antwort;
    bool hilfe = false;
    bool version = false;
    bool ports = false;
    bool pruefen = false;
    bool panel = false;
    bool virtuelleZeit = false;  // --zeit=virtuell (implies the simulated interface)
    std::string vcdDatei;        // --vcd: the timing diagram
    std::vector<std::string> dateien;
    std::string fehler;  // set for an unknown option or a malformed value
};

Optionen ParseOptionen(int argc, char** argv);
Optionen ParseOptionen(const std::vector<std::string>& argumente);
std::string Hilfetext();

}  // namespace taktler::app
