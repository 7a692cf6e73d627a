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
    bool streng = false;  // --streng: with --pruefen, a possible abort counts as an error
    bool panel = false;
    bool virtuelleZeit = false;  // --zeit=virtuell (implies the simulated interface)
    std::string vcdDatei;        // --vcd: the timing diagram
    std::vector<std::string> dateien;
    std::string fehler;  // set for an unknown option or a malformed value
};

Optionen ParseOptionen(int argc, char** argv);
Optionen ParseOptionen(const std::vector<std::string>& argumente);
std::string Hilfetext();

// A file of the run with the role the command line gives it: "Kommandodatei"
// and "Protokolldatei", or an option ending in '=' ("--port-log=").
struct Dateirolle {
    std::string rolle;
    std::string pfad;
};

// Every file a run reads or writes, in the order of its roles.
std::vector<Dateirolle> Dateirollen(const Optionen& optionen);

// Refuses two roles on one file (a port log over the command file would
// destroy it): the same device and inode where the file exists, the same
// resolved path where it does not yet. Devices such as /dev/null may be
// named more than once. Gives the one-line message, or "" when all differ.
std::string GleicheDatei(const std::vector<Dateirolle>& rollen);

}  // namespace taktler::app
