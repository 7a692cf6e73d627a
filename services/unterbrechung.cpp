#include "services/unterbrechung.h"

namespace taktler::services {

namespace {
volatile std::sig_atomic_t signalNummer = 0;
}

int UnterbrochenesSignal() {
    return signalNummer;
}

void SetzeUnterbrechung(int signal) {
    signalNummer = signal;
}

void LoescheUnterbrechung() {
    signalNummer = 0;
}

}  // namespace taktler::services
