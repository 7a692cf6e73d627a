// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libieee1284 and the kernel's port files, loaded with
// LD_PRELOAD into the real program: one usable ppdev port, parport0 at 0x378,
// for an ordinary user (no real-time priority, no memory locking). Every call
// is logged to TAKTLER_ATTRAPPE_LOG, one line each. After N port accesses:
// TAKTLER_ATTRAPPE_LESEFEHLER=N status reads fail, TAKTLER_ATTRAPPE_SIGINT=N SIGINT at N.
#include <dlfcn.h>
#include <fcntl.h>
#include <ieee1284.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

long Zahl(const char* name) {
    const char* wert = std::getenv(name);
    return wert != nullptr && *wert != '\0' ? std::strtol(wert, nullptr, 10) : -1;
}

// "Unset" until the stand-in is loaded: a call from another library's start-up
// neither logs nor fails.
int gLogFd = -1;
long gLesefehlerNach = -1;
long gSigintBei = -1;
long gZugriffe = 0;
unsigned char gSteuerung = 0;

__attribute__((constructor)) void Laden() {
    if (const char* log = std::getenv("TAKTLER_ATTRAPPE_LOG")) {
        gLogFd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    gLesefehlerNach = Zahl("TAKTLER_ATTRAPPE_LESEFEHLER");
    gSigintBei = Zahl("TAKTLER_ATTRAPPE_SIGINT");
}

// One line to the log, written at once: the program may end by a signal.
void Log(const char* format, ...) {
    char zeile[160];
    va_list args;
    va_start(args, format);
    const int n = std::max(0, std::min(std::vsnprintf(zeile, sizeof zeile, format, args), 158));
    va_end(args);
    zeile[n] = '\n';
    const int gesichert = errno;
    if (gLogFd >= 0) {
        (void)!::write(gLogFd, zeile, static_cast<std::size_t>(n) + 1);
    }
    errno = gesichert;
}

// Counts a port access and lets the configured events happen.
void Zugriff() {
    if (++gZugriffe == gSigintBei) {
        Log("SIGINT");
        kill(getpid(), SIGINT);
    }
}

char gName0[] = "parport0";
char gDatei0[] = "/dev/parport0";
parport gPort0{gName0, 0x378, 0x778, nullptr, gDatei0};

// The modelled system's paths; others are the machine's own.
bool Modelliert(const char* pfad) {
    return std::strncmp(pfad, "/proc/sys/dev/parport", 21) == 0 ||
           std::strncmp(pfad, "/dev/parport", 12) == 0 || std::strncmp(pfad, "/dev/usb/", 9) == 0;
}

template <typename F>
F Echt(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

// parport0 is registered, with its ppdev node.
int access(const char* pfad, int modus) {
    if (Modelliert(pfad)) {
        const std::string p = pfad;
        errno = p == "/proc/sys/dev/parport/parport0" || p == "/dev/parport0" ? 0 : ENOENT;
        return errno == 0 ? 0 : -1;
    }
    using Access = int (*)(const char*, int);
    static Access echt = Echt<Access>("access");
    return echt(pfad, modus);
}

// No modelled file can be read: no other program holds the port.
int open(const char* pfad, int flags, ...) {
    if (Modelliert(pfad)) {
        Log("open %s", pfad);
        errno = ENOENT;
        return -1;
    }
    va_list args;
    va_start(args, flags);
    const mode_t modus =
        (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    va_end(args);
    using Open = int (*)(const char*, int, ...);
    static Open echt = Echt<Open>("open");
    return echt(pfad, flags, modus);
}

int mlockall(int) {
    Log("mlockall");
    errno = ENOMEM;
    return -1;
}

int sched_setscheduler(pid_t, int, const sched_param*) {
    errno = EPERM;
    return -1;
}

int ieee1284_find_ports(parport_list* liste, int) {
    Log("find_ports");
    liste->portc = 1;
    liste->portv = static_cast<parport**>(std::malloc(sizeof(parport*)));
    liste->portv[0] = &gPort0;
    return E1284_OK;
}

void ieee1284_free_ports(parport_list* liste) {
    Log("free_ports");
    std::free(liste->portv);
    liste->portv = nullptr;
    liste->portc = 0;
}

int ieee1284_open(parport* port, int, int* faehigkeiten) {
    Log("open %s", port->name);
    *faehigkeiten = CAP1284_RAW | CAP1284_NIBBLE | CAP1284_BYTE | CAP1284_COMPAT | CAP1284_ECPSWE;
    return E1284_OK;
}

int ieee1284_close(parport* port) {
    Log("close %s", port->name);
    return E1284_OK;
}

int ieee1284_claim(parport* port) {
    Log("claim %s", port->name);
    return E1284_OK;
}

void ieee1284_release(parport* port) {
    Log("release %s", port->name);
}

void ieee1284_write_data(parport*, unsigned char wert) {
    Log("write_data %02X", wert);
    Zugriff();
}

int ieee1284_read_status(parport*) {
    Zugriff();
    if (gLesefehlerNach >= 0 && gZugriffe > gLesefehlerNach) {
        Log("read_status Fehler");
        errno = ENODEV;
        return E1284_NOTAVAIL;
    }
    Log("read_status");
    // Every status line low, as an idle interface or a removed port; BUSY shows inverted.
    return 0x00 ^ S1284_INVERTED;
}

void ieee1284_write_control(parport*, unsigned char wert) {
    gSteuerung = wert & 0x0F;
    Log("write_control %02X (Register %02X)", wert, (wert ^ C1284_INVERTED) & 0x0F);
}

int ieee1284_read_control(parport*) {
    return gSteuerung;
}

int ieee1284_data_dir(parport*, int rueckwaerts) {
    Log("data_dir %d", rueckwaerts);
    return E1284_OK;
}

}  // extern "C"
