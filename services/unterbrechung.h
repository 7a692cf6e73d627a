// The signals that ask a run to stop (SIGINT, SIGTERM, SIGHUP, SIGPIPE): the
// handler only records one; the script loop acts on it. A reader of standard
// output that goes away (| head, | less) ends the run like a hang-up.
#pragma once

#include <csignal>

namespace taktler::services {

int UnterbrochenesSignal();
void SetzeUnterbrechung(int signal);  // also used by the live panel's stop key
void LoescheUnterbrechung();

// Installs the recording handler for every interrupting signal, without
// SA_RESTART, so that a wait for input wakes up.
void SignaleAbfangen();

// The interrupting signals as a set, and the name a report gives one.
sigset_t UnterbrechungsSignale();
const char* SignalName(int signal);

// Holds the interrupting signals off for a scope: a second Ctrl-C must not
// break into the switch-off frames. The signal's own ending unblocks it
// again; the test seam unwinds here.
class SignaleGesperrt {
  public:
    SignaleGesperrt();
    ~SignaleGesperrt();
    SignaleGesperrt(const SignaleGesperrt&) = delete;
    SignaleGesperrt& operator=(const SignaleGesperrt&) = delete;
    // The mask in force before the scope (for a wait that lets them in).
    const sigset_t& vorher() const { return alt_; }

  private:
    sigset_t alt_;
};

}  // namespace taktler::services
