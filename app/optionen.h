// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: GNU options through getopt_long, anywhere on the line, a
// lone "--" ends them; the rest are the file arguments that the
// argument-count check sees. One table of options feeds the parser and
// --help; the bash completion reads --help, and a test holds the manual
// pages to the table.
#pragma once

#include <cstdint>
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
    bool virtuelleZeit = false;            // --zeit=virtuell (implies the simulated interface)
    bool streng = false;                   // --streng: with --pruefen
    std::string vcdDatei;                  // --vcd: the timing diagram
    std::string vcdBitsDatei;              // --vcd-bits: the same in 1-bit wires only
    std::string spurDatei;                 // --spur: the trace, "-" for standard error
    std::string abdeckungDatei;            // --abdeckung: lcov coverage
    std::vector<std::int32_t> haltZeilen;  // --halt: breakpoints, editor lines >= 1
    std::vector<std::string> dateien;
    std::string fehler;  // set for an unknown option or a malformed value
};

// One row per option. wert is the placeholder --help shows ("DATEI",
// "echt|virtuell"), nullptr for an option without a value; setze stores the
// value and gives "" or what is wrong with it.
struct Option {
    const char* name;  // without the leading "--"
    char kurz;         // the short letter, or 0
    const char* wert;
    const char* hilfe;
    std::string (*setze)(Optionen& o, const std::string& wert);
};

const std::vector<Option>& Optionstabelle();

Optionen ParseOptionen(int argc, char** argv);
Optionen ParseOptionen(const std::vector<std::string>& argumente);
std::string Hilfetext();
std::string Versionstext(const char* version);

// The hint after an option error.
inline constexpr const char* kHilfehinweis = "Aufruf: taktler --help zeigt alle Optionen";

// The interpreter's argument-count rule, for what comes before it: two to
// six file arguments.
inline bool AnzahlPasst(const Optionen& optionen) {
    return optionen.dateien.size() >= 2 && optionen.dateien.size() <= 6;
}

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
