#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

volatile std::sig_atomic_t signalNummer = 0;

constexpr int kUnterbrechungsSignale[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void SignalEmpfangen(int signal) {
    signalNummer = signal;
}

}  // namespace

int UnterbrochenesSignal() {
    return signalNummer;
}

void SetzeUnterbrechung(int signal) {
    signalNummer = signal;
}

void LoescheUnterbrechung() {
    signalNummer = 0;
}

void SignaleAbfangen() {
    struct sigaction aktion {};
    aktion.sa_handler = SignalEmpfangen;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = 0;
    for (int signal : kUnterbrechungsSignale) {
        sigaction(signal, &aktion, nullptr);
    }
}

sigset_t UnterbrechungsSignale() {
    sigset_t menge;
    sigemptyset(&menge);
    for (int signal : kUnterbrechungsSignale) {
        sigaddset(&menge, signal);
    }
    return menge;
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGPIPE:
            return "SIGPIPE";
        default:
            return "Signal";
    }
}

SignaleGesperrt::SignaleGesperrt() {
    sigset_t menge = UnterbrechungsSignale();
    sigprocmask(SIG_BLOCK, &menge, &alt_);
}

SignaleGesperrt::~SignaleGesperrt() {
    sigprocmask(SIG_SETMASK, &alt_, nullptr);
}

}  // namespace taktler::services
