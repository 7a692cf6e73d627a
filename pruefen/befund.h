// SPDX-License-Identifier: GPL-3.0-or-later
// A finding as the check collects it, and the warnings the walk finds on
// its way (each once per line).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace taktler::pruefen {

struct Befund {
    std::int32_t satz = 0;  // record it is reported at (for the order)
    int zeile = 0;
    bool fehler = false;
    std::string text;
    bool abbruch = false;  // a listed abort that some runs meet
};

class Hinweise {
  public:
    void Bei(std::int32_t satz, std::int32_t zeile, std::string text) {
        if (gesehen_.emplace(satz, text).second) {
            liste_.push_back({satz, zeile, false, std::move(text)});
        }
    }
    const std::vector<Befund>& Liste() const { return liste_; }

  private:
    std::set<std::pair<std::int32_t, std::string>> gesehen_;
    std::vector<Befund> liste_;
};

}  // namespace taktler::pruefen
