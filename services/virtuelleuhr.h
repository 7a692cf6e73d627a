// SPDX-License-Identifier: GPL-3.0-or-later
// The clock of --zeit=virtuell: time is the work the run has done, not what
// the machine's clocks say, so a run gives the same times on every machine
// however loaded it is, and ends as soon as its work is done.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "services/umgebung.h"

namespace taktler::services {

// The cost model of the interface's original setting.
constexpr std::uint64_t kUsProPortzugriff = 1;
constexpr std::uint64_t kUsProZeile = 5;

class VirtuelleUhr : public Uhr {
  public:
    // startMs: the wall-clock time of the start, in ms since 1970 (>= 0).
    explicit VirtuelleUhr(std::int64_t startMs);

    Zeitpunkt Jetzt() override;
    std::tm LokaleZeit() override;
    std::uint64_t MonotonMs() override;
    std::uint64_t MonotonUs() override;
    void ZeilenGelesen(std::int32_t anzahl) override;
    void PortZugriff() override;

  private:
    std::int64_t WandMs() const;

    std::int64_t startMs_;
    std::uint64_t us_ = 0;  // virtual microseconds since the start
};

// The start of virtual time from the value of SOURCE_DATE_EPOCH (null or
// empty when unset): its whole seconds since 1970, else the real time now.
// A value that is not a number of seconds the time stamps can hold gives
// nothing and the reason in fehler.
std::optional<std::int64_t> VirtuellerStart(const char* sourceDateEpoch, std::string& fehler);

}  // namespace taktler::services
