// The signal that asked the run to stop (SIGINT, SIGTERM, SIGHUP, SIGPIPE), or 0.
// The handler only records it; the script loop acts on it.
#pragma once

#include <csignal>

namespace taktler::services {

int UnterbrochenesSignal();
void SetzeUnterbrechung(int signal);  // also used by the live panel's stop key
void LoescheUnterbrechung();

}  // namespace taktler::services
