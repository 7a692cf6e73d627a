// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's keys: they act on the simulated interface (switches, analog
// inputs), stop the run, or type the answer the run waits for. On a real
// port the switch and analog keys do nothing.
#pragma once

#include <optional>
#include <string>

#include "interface/simulator.h"

namespace taktler::panel {

// Keys as the screen reports them: characters as themselves, the rest here.
namespace taste {
constexpr int kKeine = -1;
constexpr int kHoch = 0x10000;
constexpr int kRunter = 0x10001;
constexpr int kBildHoch = 0x10002;
constexpr int kBildRunter = 0x10003;
constexpr int kRueck = 0x10004;
constexpr int kGroesse = 0x10005;  // the terminal was resized
constexpr int kLinks = 0x10006;
constexpr int kRechts = 0x10007;
constexpr int kF5 = 0x10105;
constexpr int kF6 = 0x10106;
constexpr int kF9 = 0x10109;
constexpr int kF10 = 0x1010A;
constexpr int kEnter = '\n';
constexpr int kTab = '\t';
constexpr int kEsc = 27;
constexpr int kEingabeEnde = 4;  // Ctrl-D
}  // namespace taste

constexpr int kKleinerSchritt = 10;
constexpr int kGrosserSchritt = 100;

// The line being typed while the run waits, and what was sent with Enter.
struct Eingabe {
    std::string zeile;
    std::optional<std::string> abgeschickt;  // the line, without its Enter
    bool ende = false;                       // Ctrl-D: no more input
};

class Bedienung {
  public:
    // simulator: null on a real port.
    explicit Bedienung(interface::Simulator* simulator) : sim_(simulator) {}

    // 1..8 toggle a switch, Tab chooses the analog input, Up/Down and
    // PageUp/PageDown change it, Esc stops the run as Ctrl-C does. While
    // the run waits for an answer, other characters are typed into it.
    void Taste(int t, bool wartet);

    int Auswahl() const { return auswahl_; }
    Eingabe& eingabe() { return eingabe_; }
    const Eingabe& eingabe() const { return eingabe_; }

  private:
    void AnalogAendern(int schritt);

    interface::Simulator* sim_;
    int auswahl_ = 1;
    Eingabe eingabe_;
};

// PAUSE reads its word from the front of vorrat, the way it reads standard
// input: white space skipped, then characters up to the next white space.
// Gives true and removes the word when one is complete; at the end of input
// (ende) a word without white space after it counts too.
bool NimmWort(std::string& vorrat, bool ende);

// The WARNUNG answer typed in the panel: 'o' or 'O' after optional blanks
// means OK, anything else Abbrechen.
bool IstOk(const std::string& zeile);

}  // namespace taktler::panel
