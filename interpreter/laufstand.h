// SPDX-License-Identifier: GPL-3.0-or-later
// A read-only view of the running script for front ends (the live panel):
// what it may show without reaching into the interpreter's state.
#pragma once

#include <cstdint>
#include <string_view>

#include "interface/interface.h"

namespace taktler::interpreter {

struct Laufstand {
    std::int32_t zeilennummer = 0;
    // The line an editor shows of the line being carried out (or read when
    // a reading ends the run); 0 before the first line.
    std::int32_t editorzeile = 0;
    std::int32_t stufe = 0;
    std::int32_t tracelevel = 0;
    bool nothaltAktiv = false;
    std::int32_t nothaltSchalter = 0;  // 1..8 while armed
    // The interface record: motors as last sent, inputs as last read.
    interface::InterfaceDS schnittstelle;
};

Laufstand Stand();

// Whether the script loop would carry out a line of this text as a command
// (not an empty line or a comment).
bool IstBefehlszeile(std::string_view zeile);

}  // namespace taktler::interpreter
