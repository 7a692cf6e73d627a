// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/unterbrechung.h"

#include <poll.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "services/abschluss.h"
#include "services/umgebung.h"

namespace taktler::services {

namespace {

volatile std::sig_atomic_t signalNummer = 0;
volatile std::sig_atomic_t signalAnzahl = 0;
volatile std::sig_atomic_t abbruchAnzahl = 0;
bool abgefangen = false;

// Every signal whose default action ends the process, SIGKILL aside (the
// real-time signals follow in Signale()), and the stops of job control.
constexpr int kBeendende[] = {SIGHUP,    SIGINT,  SIGQUIT, SIGILL,    SIGTRAP, SIGABRT, SIGBUS,
                              SIGFPE,    SIGUSR1, SIGSEGV, SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM,
                              SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,
                              SIGSYS,    SIGTSTP, SIGTTIN, SIGTTOU};

// Signals the processor raises for a fault of the program's own code.
bool IstFehlersignal(int signal) {
    return signal == SIGILL || signal == SIGTRAP || signal == SIGBUS || signal == SIGFPE ||
           signal == SIGSEGV || signal == SIGSYS;
}

template <typename F>
void FuerJedesSignal(F&& tun) {
    for (int signal : kBeendende) {
        tun(signal);
    }
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        tun(signal);
    }
}

void Aufzeichnen(int signal) {
    signalNummer = signal;
    signalAnzahl = signalAnzahl + 1;
    if (signal != SIGPIPE) {
        abbruchAnzahl = abbruchAnzahl + 1;
    }
}

extern "C" void SignalEmpfangen(int signal, siginfo_t* info, void*) {
    // A fault of the program (si_code > 0: from the kernel, not kill) cannot
    // be waited out: the instruction runs again and the default action ends
    // the process.
    if (info != nullptr && info->si_code > 0 && IstFehlersignal(signal)) {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigaction(signal, &standard, nullptr);
        return;
    }
    Aufzeichnen(signal);
}

}  // namespace

int UnterbrochenesSignal() {
    return signalNummer;
}

void SetzeUnterbrechung(int signal) {
    Aufzeichnen(signal);
}

void LoescheUnterbrechung() {
    signalNummer = 0;
}

unsigned SignalAnzahl() {
    return static_cast<unsigned>(signalAnzahl);
}

unsigned AbbruchAnzahl() {
    return static_cast<unsigned>(abbruchAnzahl);
}

void SignaleAbfangen() {
    struct sigaction aktion {};
    aktion.sa_sigaction = SignalEmpfangen;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = SA_SIGINFO;
    abgefangen = true;
    FuerJedesSignal([&aktion](int signal) { sigaction(signal, &aktion, nullptr); });
    // An exception nothing catches ends the run as SIGABRT from outside does.
    std::set_terminate([] {
        Aufzeichnen(SIGABRT);
        UnterbrechungPruefen();
        std::abort();
    });
}

sigset_t UnterbrechungsSignale() {
    sigset_t menge;
    sigemptyset(&menge);
    FuerJedesSignal([&menge](int signal) { sigaddset(&menge, signal); });
    return menge;
}

const char* SignalName(int signal) {
    static std::array<std::array<char, 24>, 65> namen{};
    if (signal <= 0 || signal >= static_cast<int>(namen.size())) {
        return "Signal";
    }
    auto& name = namen[static_cast<std::size_t>(signal)];
    if (name[0] == '\0') {
        const char* kurz = signal >= SIGRTMIN ? nullptr : sigabbrev_np(signal);
        if (kurz != nullptr) {
            std::snprintf(name.data(), name.size(), "SIG%s", kurz);
        } else if (signal == SIGRTMIN) {
            std::snprintf(name.data(), name.size(), "SIGRTMIN");
        } else {
            std::snprintf(name.data(), name.size(), "SIGRTMIN+%d", signal - SIGRTMIN);
        }
    }
    return name.data();
}

bool IstStoppsignal(int signal) {
    return signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

void StoppsAbweisen() {
    if (!abgefangen) {
        return;
    }
    for (int signal : {SIGTSTP, SIGTTIN, SIGTTOU}) {
        std::signal(signal, SIG_IGN);
    }
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

SignaleGesperrt::SignaleGesperrt() {
    sigset_t menge = UnterbrechungsSignale();
    sigprocmask(SIG_BLOCK, &menge, &alt_);
    offen_ = alt_;
    FuerJedesSignal([this](int signal) { sigdelset(&offen_, signal); });
}

SignaleGesperrt::~SignaleGesperrt() {
    sigprocmask(SIG_SETMASK, &alt_, nullptr);
}

}  // namespace taktler::services
