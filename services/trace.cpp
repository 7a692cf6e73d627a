#include "services/trace.h"

#include "interpreter/zustand.h"

namespace taktler::services {

void TraceEintritt(std::string_view /*modul*/, std::string_view /*name*/) {
    ++Zustand().Aufruftiefe;
}

void TraceAustritt(std::string_view /*modul*/, std::string_view /*name*/) {
    --Zustand().Aufruftiefe;
}

void TraceText(std::string_view /*modul*/, std::string_view /*text*/) {}

}  // namespace taktler::services
