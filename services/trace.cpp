// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/trace.h"

namespace taktler::services {

namespace {
std::int32_t tiefe = 0;
}  // namespace

std::int32_t Aufruftiefe() {
    return tiefe;
}

void TraceZuruecksetzen() {
    tiefe = 0;
}

void TraceEintritt(std::string_view /*modul*/, std::string_view /*name*/) {
    ++tiefe;
}

void TraceAustritt(std::string_view /*modul*/, std::string_view /*name*/) {
    --tiefe;
}

void TraceText(std::string_view /*modul*/, std::string_view /*text*/) {}

}  // namespace taktler::services
