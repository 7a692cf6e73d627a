// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry and script loop.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datei/datei.h"
#include "interpreter/kommandozeile.h"

namespace taktler::interpreter {

// Start-up from the interface reset on, the script loop and the end, on the
// port installed now. dateien are the file arguments (without options).
// Gives 0 at the normal end; fatal errors leave through the exit seam.
int Programmlauf(const std::vector<std::string>& dateien);

// The interpreter's fatal-error path: protocol banner, then the abort report.
[[noreturn]] void Programmabbruch(std::string_view modul, std::string_view funktion,
                                  std::string_view text);

// Called for every line the script loop reads, after it was parsed and
// counted and before it is carried out (for a live view of the run).
using ZeilenHaken = std::function<void(const Kommandozeile& kz, const std::string& zeile)>;
void SetzeZeilenHaken(ZeilenHaken haken);

// For a hook that holds the run before its line: the checks the loop makes
// between lines (a signal, the armed emergency stop), on that line. Reads
// the inputs when the stop is armed; sends nothing to the motors unless the
// stop ends the run.
void HaltPruefen();

// One pass of the script loop's body for an already read line: trim, count,
// parse, dispatch. Gives false when the loop is to be left.
bool VerarbeiteZeile(char* zeile);

}  // namespace taktler::interpreter
