// SPDX-License-Identifier: GPL-3.0-or-later
// Scenario files of the simulated interface: which switch or analog value
// changes when. One event a line:
//   WANN WAS
//   WANN = start | abfrage N | messung N | zeit N
//   WAS  = schalter K an | schalter K aus | analog K WERT
// Blank lines and lines beginning with '#' are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace taktler::interface {

enum class Anlass {
    Start,    // before the first exchange
    Abfrage,  // just before the N-th input read
    Messung,  // just before the N-th analog measurement
    Zeit,     // N ms after program start
};

enum class Eingriff {
    Schalter,  // switch K (1..8) closed (wert 1) or open (wert 0)
    Analog,    // analog input K (1..2) gives wert rising edges
};

struct Ereignis {
    Anlass anlass = Anlass::Start;
    std::uint64_t n = 0;  // unused for Start
    Eingriff eingriff = Eingriff::Schalter;
    int k = 0;
    int wert = 0;
    int zeile = 0;  // line in the file, for messages

    bool operator==(const Ereignis& o) const {
        return anlass == o.anlass && n == o.n && eingriff == o.eingriff && k == o.k &&
               wert == o.wert;
    }
};

constexpr int kAnalogMaximum = 2499;  // the most edges one window can count

struct SzenarioErgebnis {
    std::vector<Ereignis> ereignisse;  // in file order
    std::string fehler;                // "FILE:LINE: what is wrong", empty when all is well
    bool Ok() const { return fehler.empty(); }
};

// Parses the text of a scenario file; dateiname only names it in messages.
SzenarioErgebnis ParseSzenario(std::string_view text, std::string_view dateiname);

// Reads and parses a scenario file; a file that cannot be read gives an
// error that names it and the reason.
SzenarioErgebnis LadeSzenario(const std::string& dateiname);

}  // namespace taktler::interface
