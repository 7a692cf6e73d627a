// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's own types in the seams, Windows: the console's control
// events take the place of signals, so a mask is a set of bits by signal
// number; a wait asks for input or output.
#pragma once

#include <csignal>
#include <cstdint>

// The signal numbers of POSIX that the run's endings name; the console's
// close event is recorded as a hang-up. The runtime defines them only with
// _POSIX.
#ifndef SIGHUP
#define SIGHUP 1
#endif
#ifndef SIGPIPE
#define SIGPIPE 13
#endif

namespace taktler::services::plattform {

using Signalmaske = std::uint64_t;
constexpr short kLesbar = 1;
constexpr short kSchreibbar = 4;
// Paths begin with a drive letter ("C:\Kurs"), or with "\" for the root of the current drive.
constexpr bool kLaufwerke = true;

}  // namespace taktler::services::plattform
