// SPDX-License-Identifier: GPL-3.0-or-later
// The screen the panel draws on and reads keys from: the terminal through
// curses, or a test's stand-in.
#pragma once

#include <memory>
#include <string>

#include "panel/bild.h"

namespace taktler::panel {

class Bildschirm {
  public:
    virtual ~Bildschirm() = default;
    virtual void Zeige(const Bild& bild) = 0;
    // The next key (see taste::), waiting at most wartezeitMs; taste::kKeine
    // when none came.
    virtual int LiesTaste(int wartezeitMs) = 0;
    virtual int Breite() const = 0;
    virtual int Hoehe() const = 0;
    // Gives the terminal back as it was. Called once, last.
    virtual void Schliessen() = 0;
};

// Whether the panel can run here: standard input and output a terminal of a
// known type and at least the minimum size. Gives the reason when not.
// Sends nothing to the terminal.
std::string PruefeTerminal();

// Takes over the terminal; null and the reason when that fails.
std::unique_ptr<Bildschirm> OeffneTerminal(std::string& fehler);

}  // namespace taktler::panel
