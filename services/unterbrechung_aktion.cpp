// SPDX-License-Identifier: GPL-3.0-or-later
// What an interrupt does, the same on every platform: the action set for it
// runs once, then the program ends as the signal asks. How a signal is
// caught and recorded is the platform's (unterbrechung.cpp or
// unterbrechung_windows.cpp).
#include "services/abschluss.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

struct Aktion {
    std::function<void(int)> tun;
    bool gelaufen = false;
};

Aktion& DieAktion() {
    static Aktion aktion;
    return aktion;
}

}  // namespace

void SetzeUnterbrechungsaktion(std::function<void(int)> aktion) {
    DieAktion() = Aktion{std::move(aktion), false};
}

void UnterbrechungPruefen() {
    const int signal = UnterbrochenesSignal();
    if (signal == 0) {
        return;
    }
    Aktion& aktion = DieAktion();
    if (aktion.tun && !aktion.gelaufen) {
        aktion.gelaufen = true;
        SignaleGesperrt gesperrt;
        aktion.tun(signal);
    }
    ProgrammBeendenDurchSignal(signal);
}

bool Nachgeben() {
    if (EndeLaeuft()) {
        return AbbruchAnzahl() != AbbruchBeimEnde();
    }
    return UnterbrochenesSignal() != 0;
}

void UnterbrechungZuruecksetzen() {
    LoescheUnterbrechung();
    DieAktion() = Aktion{};
}

}  // namespace taktler::services
