// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's own types in the seams, POSIX: a signal mask and the
// readiness a wait asks for. The build puts this directory on the include
// path; services/windows holds the other one.
#pragma once

#include <poll.h>

#include <csignal>

namespace taktler::services::plattform {

using Signalmaske = sigset_t;
constexpr short kLesbar = POLLIN;
constexpr short kSchreibbar = POLLOUT;
// Paths have no drive letters: "C:" in a command file stands for the root.
constexpr bool kLaufwerke = false;

}  // namespace taktler::services::plattform
