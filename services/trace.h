// SPDX-License-Identifier: GPL-3.0-or-later
// The call-depth trace: a hook without output. Operations bracket
// themselves with it; it only keeps the depth counter.
#pragma once

#include <cstdint>
#include <exception>
#include <string_view>

namespace taktler::services {

// The depth of open brackets, and its reset for a new run.
std::int32_t Aufruftiefe();
void TraceZuruecksetzen();

void TraceEintritt(std::string_view modul, std::string_view name);
void TraceAustritt(std::string_view modul, std::string_view name);
void TraceText(std::string_view modul, std::string_view text);

// Composing a trace line costs time on hot paths (the record reader traces
// every record) while the hook has no reader. Such callers hand over how to
// compose the line; it is composed only when trace texts are read.
inline constexpr bool kTraceTexteGelesen = false;

template <typename Baue>
void TraceTextBei(std::string_view modul, Baue&& baue) {
    if constexpr (kTraceTexteGelesen) {
        TraceText(modul, baue());
    } else {
        (void)modul;
        (void)baue;
    }
}

// Closes the bracket on every return path of a scope. An abort ends the
// program inside the bracket and does not unwind the counter; when the test
// seam turns the abort into an exception, the bracket stays open likewise.
class TraceKlammer {
  public:
    TraceKlammer(std::string_view modul, std::string_view name)
        : modul_(modul), name_(name), ausnahmen_(std::uncaught_exceptions()) {
        TraceEintritt(modul_, name_);
    }
    ~TraceKlammer() {
        if (std::uncaught_exceptions() == ausnahmen_) {
            TraceAustritt(modul_, name_);
        }
    }
    TraceKlammer(const TraceKlammer&) = delete;
    TraceKlammer& operator=(const TraceKlammer&) = delete;

  private:
    std::string_view modul_;
    std::string_view name_;
    int ausnahmen_;
};

}  // namespace taktler::services
