// Well-formed command files with a few mutations, and scenarios; the same seed gives the same
// files.
#pragma once

#include <cstdint>
#include <string>

namespace taktler::test {

struct Zufallsprogramm {
    std::string kommandodatei;  // "@DIR@" stands for the directory INFO and SOUND name
    std::string szenario;
};

Zufallsprogramm ErzeugeProgramm(std::uint32_t saat);

}  // namespace taktler::test
