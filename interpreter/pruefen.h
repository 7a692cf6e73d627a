// --pruefen: checks a command file without running it. Nothing is sent to
// the interface and nothing is written; the findings go to the console.
#pragma once

#include <string>
#include <vector>

namespace taktler::interpreter {

// dateien: the command file and optionally the protocol file (not touched).
// Prints one line per finding, "FILE:LINE: fehler: ..." or
// "FILE:LINE: warnung: ...", then "FILE: N Fehler, M Warnung(en)".
// Gives 12 when there is an error (or a wrong argument count), else 0.
int Pruefen(const std::vector<std::string>& dateien);

}  // namespace taktler::interpreter
