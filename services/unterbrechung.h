// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that ask a run to stop: every signal whose default action ends
// the process (SIGKILL aside, which cannot be caught), and the job-control
// stops SIGTSTP, SIGTTIN and SIGTTOU, since a run must never sit stopped with
// its motors on. The handler only records one; the run acts on it where the
// emergency stop is checked and wherever it waits. A reader of standard
// output that goes away (| head, | less) ends the run like a hang-up. A fault
// of the program itself (SIGSEGV raised by the processor) is no request: it
// ends the process by its default action.
#pragma once

#include <csignal>
#include <functional>

#include "plattform_typen.h"

namespace taktler::services {

int UnterbrochenesSignal();
void SetzeUnterbrechung(int signal);  // also used by the live panel's stop key
void LoescheUnterbrechung();
// How many interrupting signals have arrived (the stop key counts too).
unsigned SignalAnzahl();
// As many, without SIGPIPE: a reader that went away is the loss of that one
// output, no reason to give up writing the others.
unsigned AbbruchAnzahl();

// Installs the recording handler for every interrupting signal, without
// SA_RESTART, so that a wait for input, an open or a write wakes up.
void SignaleAbfangen();

// The interrupting signals as a set, and the name a report gives one
// ("SIGINT", "SIGRTMIN+3").
plattform::Signalmaske UnterbrechungsSignale();
const char* SignalName(int signal);
// A stop of job control: the run ends as for the others, but by its exit
// code 128 + signal, since a stop's default action would not end it.
bool IstStoppsignal(int signal);

// From the program's end on, job control cannot stop the process: its last
// writes to a terminal in the background go through, and it is not held
// with files half written.
void StoppsAbweisen();

// What a run does when a signal stops it, before it ends by that signal
// (the interpreter switches the motors off). None: it just ends.
void SetzeUnterbrechungsaktion(std::function<void(int signal)> aktion);

// The interrupt path: when a signal is recorded, runs the action once with
// the signals held off, then ends the program by that signal (its output
// files finished first). Returns at once when no signal is recorded.
void UnterbrechungPruefen();

// Whether a wait must give way now: during the run to any recorded signal;
// while the program ends (writing what is left) only to a further one that
// asks to stop (not SIGPIPE).
bool Nachgeben();

// Waits until fd is ready for ereignisse (plattform::kLesbar, kSchreibbar). The
// interrupting signals are let in only while it waits, so one that came
// just before still wakes it. False when the wait must give way.
bool WarteBereit(int fd, short ereignisse);

// Forgets a recorded signal and the action (for tests).
void UnterbrechungZuruecksetzen();

// Holds the interrupting signals off for a scope: a second Ctrl-C must not
// break into the switch-off frames. The signal's own ending unblocks it
// again; the test seam unwinds here.
class SignaleGesperrt {
  public:
    SignaleGesperrt();
    ~SignaleGesperrt();
    SignaleGesperrt(const SignaleGesperrt&) = delete;
    SignaleGesperrt& operator=(const SignaleGesperrt&) = delete;
    // The mask in force before the scope, without the interrupting signals
    // (for a wait that lets them in).
    const plattform::Signalmaske& offen() const { return offen_; }

  private:
    plattform::Signalmaske alt_;
    plattform::Signalmaske offen_;
};

}  // namespace taktler::services
