// SPDX-License-Identifier: GPL-3.0-or-later
// Paths written in a command file arrive upper-cased and may use
// backslashes and drive letters. This finds the file they mean on Linux.
#pragma once

#include <string>

namespace taktler::services {

// The path as written if it names an existing file; otherwise the path
// with '\' read as '/', a leading drive letter ("C:") dropped and each
// component matched without regard to case. When nothing matches, the
// path as written is returned unchanged.
std::string LoeseKommandoPfadAuf(const std::string& pfad);

}  // namespace taktler::services
