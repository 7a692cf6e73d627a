// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/virtuelleuhr.h"

#include <chrono>
#include <cstdint>
#include <limits>

#include "services/plattform.h"

namespace taktler::services {

VirtuelleUhr::VirtuelleUhr(std::int64_t startMs) : startMs_(startMs) {}

std::int64_t VirtuelleUhr::WandMs() const {
    return startMs_ + static_cast<std::int64_t>(us_ / 1000);
}

Zeitpunkt VirtuelleUhr::Jetzt() {
    const std::int64_t ms = WandMs();
    Zeitpunkt z;
    // The time record has 32-bit seconds; past 2038 they wrap like the
    // elapsed-time arithmetic that reads them.
    z.Sekunden = static_cast<std::int32_t>(static_cast<std::uint32_t>(ms / 1000));
    z.Millisekunden = static_cast<std::uint16_t>(ms % 1000);
    return z;
}

std::tm VirtuelleUhr::LokaleZeit() {
    std::tm ergebnis{};
    plattform::LokaleZeit(WandMs() / 1000, ergebnis);
    return ergebnis;
}

std::uint64_t VirtuelleUhr::MonotonMs() {
    return us_ / 1000;
}

std::uint64_t VirtuelleUhr::MonotonUs() {
    return us_;
}

void VirtuelleUhr::ZeilenGelesen(std::int32_t anzahl) {
    if (anzahl > 0) {
        us_ += static_cast<std::uint64_t>(anzahl) * kUsProZeile;
    }
}

void VirtuelleUhr::PortZugriff() {
    us_ += kUsProPortzugriff;
}

std::optional<std::int64_t> VirtuellerStart(const char* sourceDateEpoch, std::string& fehler) {
    if (sourceDateEpoch == nullptr || *sourceDateEpoch == '\0') {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
    std::int64_t sekunden = 0;
    for (const char* p = sourceDateEpoch; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || sekunden > std::numeric_limits<std::int32_t>::max()) {
            sekunden = -1;
            break;
        }
        sekunden = sekunden * 10 + (*p - '0');
    }
    if (sekunden < 0 || sekunden > std::numeric_limits<std::int32_t>::max()) {
        fehler = std::string("SOURCE_DATE_EPOCH=") + sourceDateEpoch +
                 ": erwartet Sekunden seit 1970 (0 bis 2147483647)";
        return std::nullopt;
    }
    return sekunden * 1000;
}

}  // namespace taktler::services
