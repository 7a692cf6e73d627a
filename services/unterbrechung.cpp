// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/unterbrechung.h"

#include <poll.h>

#include <cerrno>

#include "services/abschluss.h"
#include "services/umgebung.h"

namespace taktler::services {

namespace {

volatile std::sig_atomic_t signalNummer = 0;
volatile std::sig_atomic_t signalAnzahl = 0;

constexpr int kUnterbrechungsSignale[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void SignalEmpfangen(int signal) {
    signalNummer = signal;
    signalAnzahl = signalAnzahl + 1;
}

struct Aktion {
    std::function<void(int)> tun;
    bool gelaufen = false;
};

Aktion& DieAktion() {
    static Aktion aktion;
    return aktion;
}

}  // namespace

int UnterbrochenesSignal() {
    return signalNummer;
}

void SetzeUnterbrechung(int signal) {
    SignalEmpfangen(signal);
}

void LoescheUnterbrechung() {
    signalNummer = 0;
}

unsigned SignalAnzahl() {
    return static_cast<unsigned>(signalAnzahl);
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
        return SignalAnzahl() != SignaleBeimEnde();
    }
    return UnterbrochenesSignal() != 0;
}

bool WarteBereit(int fd, short ereignisse) {
    SignaleGesperrt gesperrt;
    while (!Nachgeben()) {
        pollfd warte{fd, ereignisse, 0};
        int bereit = ::ppoll(&warte, 1, nullptr, &gesperrt.offen());
        // Ready, or a fault of the descriptor that the next read or write
        // reports with its own error.
        if (bereit > 0 || (bereit < 0 && errno != EINTR)) {
            return true;
        }
    }
    return false;
}

void UnterbrechungZuruecksetzen() {
    signalNummer = 0;
    DieAktion() = Aktion{};
}

SignaleGesperrt::SignaleGesperrt() {
    sigset_t menge = UnterbrechungsSignale();
    sigprocmask(SIG_BLOCK, &menge, &alt_);
    offen_ = alt_;
    for (int signal : kUnterbrechungsSignale) {
        sigdelset(&offen_, signal);
    }
}

SignaleGesperrt::~SignaleGesperrt() {
    sigprocmask(SIG_SETMASK, &alt_, nullptr);
}

}  // namespace taktler::services
