// Program entry and script loop.
#pragma once

#include <string_view>

namespace taktler::interpreter {

// The whole program: options, port, start-up, script loop, end.
int Hauptprogramm(int argc, char** argv);

}  // namespace taktler::interpreter
