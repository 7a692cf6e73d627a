// SPDX-License-Identifier: GPL-3.0-or-later
// What the panel keeps of the console: the lines of the scrolling pane, and
// a transcript of everything written, replayed once the panel has closed.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace taktler::services {
class Konsole;
}

namespace taktler::panel {

// The text as the screen shows it: UTF-8 (Latin-1 bytes converted unless
// the text already is UTF-8), tabs expanded, other control characters as '?'.
// Line ends are not expected here.
std::string Anzeigetext(std::string_view roh);

// Columns of a UTF-8 text (one per code point), and its first n columns.
std::size_t Spalten(std::string_view utf8);
std::string ErsteSpalten(std::string_view utf8, std::size_t n);

// The scrolling pane: the last complete lines and the line still open (a
// prompt waiting for its answer). Bounded, the oldest lines go first.
class Ablage {
  public:
    explicit Ablage(std::size_t maxZeilen = 1000) : max_(maxZeilen) {}
    void Anhaengen(std::string_view text);
    const std::deque<std::string>& Zeilen() const { return zeilen_; }
    std::string Offen() const { return Anzeigetext(offen_); }

  private:
    std::size_t max_;
    std::deque<std::string> zeilen_;
    std::string offen_;  // raw bytes, converted when the line ends
};

// Echo: what the terminal itself would have shown, the typed answers and
// the WARNUNG question; replayed with standard output.
enum class Strom { Aus, Fehler, Echo };

// Everything the run wrote to standard output and standard error, in order.
// Bounded: beyond maxBytes the oldest output is dropped, and the replay
// says how much.
class Mitschrift {
  public:
    explicit Mitschrift(std::size_t maxBytes = 8u << 20) : max_(maxBytes) {}
    void Anhaengen(Strom strom, std::string_view text);
    void Abspielen(services::Konsole& ziel) const;

  private:
    struct Stueck {
        Strom strom;
        std::string text;
    };
    std::size_t max_;
    std::size_t bytes_ = 0;
    std::size_t verworfen_ = 0;
    std::deque<Stueck> stuecke_;
};

}  // namespace taktler::panel
