// Random command files for comparing --pruefen with real runs: well-formed
// programs from the language with a few mutations, and scenarios that move
// switches and analog inputs. The same seed gives the same files.
#pragma once

#include <cstdint>
#include <string>

namespace taktler::test {

struct Zufallsprogramm {
    // "@DIR@" stands for the directory the files are written to (INFO and
    // SOUND name files there).
    std::string kommandodatei;
    std::string szenario;  // a scenario file's text
};

Zufallsprogramm ErzeugeProgramm(std::uint32_t saat);

}  // namespace taktler::test
