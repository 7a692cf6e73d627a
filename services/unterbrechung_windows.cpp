// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has no signals to stop a console program: Ctrl-C, Ctrl-Break and
// closing the console window (or logging off, shutting down) arrive as
// console control events on a thread of their own. The handler records
// them as SIGINT, SIGBREAK and SIGHUP, and the run takes the same interrupt
// path as on POSIX. A window being closed is ended by the system once the
// handler returns: the handler waits, so that the run ends itself first
// (motors off, files complete).
#include <io.h>
#include <windows.h>

#include <atomic>

#include "services/abschluss.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"
#include "windows_naehte.h"

namespace taktler::services {

namespace {

std::atomic<int> signalNummer{0};
std::atomic<unsigned> signalAnzahl{0};
std::atomic<unsigned> abbruchAnzahl{0};

constexpr int kUnterbrechungsSignale[] = {SIGINT, SIGBREAK, SIGHUP, SIGTERM};

void SignalEmpfangen(int signal) {
    signalNummer = signal;
    ++signalAnzahl;
    if (signal != SIGPIPE) {
        ++abbruchAnzahl;
    }
}

}  // namespace

namespace windows {

BOOL WINAPI Steuerereignis(DWORD ereignis) {
    switch (ereignis) {
        case CTRL_C_EVENT:
            SignalEmpfangen(SIGINT);
            return TRUE;
        case CTRL_BREAK_EVENT:
            SignalEmpfangen(SIGBREAK);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SignalEmpfangen(SIGHUP);
            // The run ends the process; the system gives it a few seconds.
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace windows

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
    return signalAnzahl;
}

unsigned AbbruchAnzahl() {
    return abbruchAnzahl;
}

// Windows has no job control: nothing stops a console program.
bool IstStoppsignal(int signal) {
    (void)signal;
    return false;
}

void StoppsAbweisen() {}

void SignaleAbfangen() {
    SetConsoleCtrlHandler(windows::Steuerereignis, TRUE);
}

plattform::Signalmaske UnterbrechungsSignale() {
    plattform::Signalmaske menge = 0;
    for (int signal : kUnterbrechungsSignale) {
        menge |= plattform::Signalmaske{1} << signal;
    }
    return menge;
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGBREAK:
            return "SIGBREAK";
        case SIGHUP:
            return "SIGHUP";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "Signal";
    }
}

namespace {

// Events that type nothing (a key let go, the mouse, the focus) signal a
// console's input without a byte to read: they are taken away, or the read
// would wait for a line while a control event waits to be acted on.
bool ZeichenGetippt(HANDLE h) {
    for (;;) {
        INPUT_RECORD r{};
        DWORD n = 0;
        if (PeekConsoleInputA(h, &r, 1, &n) == 0) {
            return true;  // no console: the read tells
        }
        if (n == 0) {
            return false;
        }
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown != 0 &&
            r.Event.KeyEvent.uChar.AsciiChar != 0) {
            return true;
        }
        ReadConsoleInputA(h, &r, 1, &n);
    }
}

}  // namespace

// A console or a pipe is watched in short steps, so that a control event
// that arrives meanwhile is acted on; anything else is always ready.
bool WarteBereit(int fd, short ereignisse) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    const DWORD art = h != INVALID_HANDLE_VALUE ? GetFileType(h) : FILE_TYPE_UNKNOWN;
    while (!Nachgeben()) {
        if (art == FILE_TYPE_CHAR && (ereignisse & plattform::kLesbar) != 0) {
            if (windows::TerminalGepuffert()) {
                return true;
            }
            if (WaitForSingleObject(h, 50) != WAIT_TIMEOUT && ZeichenGetippt(h)) {
                return true;
            }
        } else if (art == FILE_TYPE_PIPE && (ereignisse & plattform::kLesbar) != 0) {
            DWORD verfuegbar = 0;
            if (PeekNamedPipe(h, nullptr, 0, nullptr, &verfuegbar, nullptr) == 0 ||
                verfuegbar > 0) {
                return true;
            }
            Sleep(20);
        } else if (art == FILE_TYPE_PIPE && (ereignisse & plattform::kSchreibbar) != 0) {
            // A pipe tells no writer that its reader made room: the write
            // is tried again after a short step.
            Sleep(10);
            return !Nachgeben();
        } else {
            return true;
        }
    }
    return false;
}

// Control events cannot be held off; they are only recorded, and nothing
// acts on a second one while the action of the first runs.
SignaleGesperrt::SignaleGesperrt() : alt_(0), offen_(0) {}

SignaleGesperrt::~SignaleGesperrt() = default;

}  // namespace taktler::services
