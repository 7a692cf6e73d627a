// A stand-in for libieee1284 and the kernel's view of the parallel ports,
// loaded with LD_PRELOAD into the real program: one ppdev port, parport0 at
// 0x378, for an ordinary user (no real-time priority, no memory locking).
// Every call is logged to TAKTLER_ATTRAPPE_LOG, one line each.
// TAKTLER_ATTRAPPE_FALL: (empty) usable through /dev/parport0; belegt[:MS] lp0
// holds it (for MS ms or for good), a claim sleeps until a signal; keine-
// berechtigung: /dev/parport0 may not be opened; ohne-ppdev: registered, no
// ppdev; exklusiv: held exclusively, the trial claim and a claim fail;
// ohne-treiber: only the guessed legacy addresses; usb: as ohne-treiber, with
// /dev/usb/lp0. After N port accesses: TAKTLER_ATTRAPPE_LESEFEHLER=N status
// reads fail, TAKTLER_ATTRAPPE_WEG=N the port is unregistered (reads give 0),
// TAKTLER_ATTRAPPE_SIGINT=N SIGINT at access N.
#include <dlfcn.h>
#include <fcntl.h>
#include <ieee1284.h>
#include <sched.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class Fall { Normal, Belegt, KeineBerechtigung, OhnePpdev, Exklusiv, OhneTreiber, Usb };

struct Modell {
    Fall fall = Fall::Normal;
    long belegtMs = 0;  // 0: held for good
    long lesefehlerNach = -1;
    long wegNach = -1;
    long sigintBei = -1;
    long zugriffe = 0;
    bool weg = false;
    bool gesucht = false;  // the library probes the device once per process
    bool geoeffnet = false, belegt = false;
    unsigned char steuerung = 0;
    timespec start{};
    int logFd = -1;
};

Modell& M() {
    static Modell m;
    return m;
}

long Zahl(const char* name) {
    const char* wert = std::getenv(name);
    return wert != nullptr && *wert != '\0' ? std::strtol(wert, nullptr, 10) : -1;
}

__attribute__((constructor)) void Laden() {
    Modell& m = M();
    clock_gettime(CLOCK_MONOTONIC, &m.start);
    const char* log = std::getenv("TAKTLER_ATTRAPPE_LOG");
    if (log != nullptr) {
        m.logFd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    std::string fall =
        std::getenv("TAKTLER_ATTRAPPE_FALL") ? std::getenv("TAKTLER_ATTRAPPE_FALL") : "";
    const std::pair<const char*, Fall> faelle[] = {{"keine-berechtigung", Fall::KeineBerechtigung},
                                                   {"ohne-ppdev", Fall::OhnePpdev},
                                                   {"exklusiv", Fall::Exklusiv},
                                                   {"ohne-treiber", Fall::OhneTreiber},
                                                   {"usb", Fall::Usb}};
    for (const auto& [name, f] : faelle) {
        m.fall = fall == name ? f : m.fall;
    }
    if (fall.rfind("belegt", 0) == 0) {
        m.fall = Fall::Belegt;
        m.belegtMs = fall.size() > 7 ? std::strtol(fall.c_str() + 7, nullptr, 10) : 0;
    }
    m.lesefehlerNach = Zahl("TAKTLER_ATTRAPPE_LESEFEHLER");
    m.wegNach = Zahl("TAKTLER_ATTRAPPE_WEG");
    m.sigintBei = Zahl("TAKTLER_ATTRAPPE_SIGINT");
}

// One line to the log, written at once: the program may end by a signal.
void Log(const char* format, ...) {
    const int fd = M().logFd;
    if (fd < 0) {
        return;
    }
    char zeile[160];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(zeile, sizeof zeile - 1, format, args);
    va_end(args);
    n = n < 0 ? 0 : n > static_cast<int>(sizeof zeile) - 2 ? static_cast<int>(sizeof zeile) - 2 : n;
    zeile[n] = '\n';
    const int gesichert = errno;
    (void)!::write(fd, zeile, static_cast<std::size_t>(n) + 1);
    errno = gesichert;
}

bool Treiber() {
    return M().fall != Fall::OhneTreiber && M().fall != Fall::Usb;
}

bool PpdevZugaenglich() {
    const Fall f = M().fall;
    return Treiber() && f != Fall::KeineBerechtigung && f != Fall::OhnePpdev;
}

bool Gehalten() {
    const Modell& m = M();
    if (m.fall != Fall::Belegt) {
        return false;
    }
    if (m.belegtMs == 0) {
        return true;
    }
    timespec jetzt{};
    clock_gettime(CLOCK_MONOTONIC, &jetzt);
    const long ms =
        (jetzt.tv_sec - m.start.tv_sec) * 1000 + (jetzt.tv_nsec - m.start.tv_nsec) / 1000000;
    return ms < m.belegtMs;
}

// ppdev's claim of a port in use: sleeps until the holder lets go or a
// signal interrupts it. Gives false when interrupted. A program that never
// interrupts it is noted after 20 s instead of hanging the test.
bool Warte(const char* was) {
    if (!Gehalten()) {
        return true;
    }
    Log("%s wartet auf lp0", was);
    for (int i = 0; i < 2000 && Gehalten(); ++i) {
        timespec t{0, 10000000};
        if (nanosleep(&t, nullptr) != 0 && errno == EINTR) {
            Log("%s unterbrochen", was);
            errno = EINTR;
            return false;
        }
    }
    if (Gehalten()) {
        Log("%s blockiert zu lange", was);
        errno = EINTR;
        return false;
    }
    return true;
}

// Counts a port access and lets the configured events happen.
void Zugriff() {
    Modell& m = M();
    ++m.zugriffe;
    if (m.wegNach >= 0 && m.zugriffe > m.wegNach && !m.weg) {
        m.weg = true;
        Log("port weg");
    }
    if (m.sigintBei >= 0 && m.zugriffe == m.sigintBei) {
        Log("SIGINT");
        kill(getpid(), SIGINT);
    }
}

char gName0[] = "parport0";
char gDatei0[] = "/dev/parport0";
char gOhne[] = "";
char gDevPort[] = "/dev/port";
char gNamen[3][6] = {"0x278", "0x378", "0x3bc"};
parport gPort0{gName0, 0x378, 0x778, nullptr, gDatei0};
parport gGeraten[3] = {{gNamen[0], 0x278, 0, nullptr, gDevPort},
                       {gNamen[1], 0x378, 0, nullptr, gDevPort},
                       {gNamen[2], 0x3bc, 0, nullptr, gDevPort}};

bool Geraten(const parport* port) {
    return port != &gPort0;
}

// Paths of the modelled system: 0 or the errno of access(), and the file
// text for open(). Other paths are the machine's own.
bool Modelliert(const char* pfad) {
    return std::strncmp(pfad, "/proc/sys/dev/parport", 21) == 0 ||
           std::strncmp(pfad, "/dev/parport", 12) == 0 || std::strncmp(pfad, "/dev/usb/", 9) == 0;
}

int ZugangModell(const std::string& pfad, int modus) {
    const std::string eintrag = "/proc/sys/dev/parport/parport0";
    if (pfad == "/proc/sys/dev/parport" ||
        (pfad.rfind(eintrag, 0) == 0 &&
         (pfad.size() == eintrag.size() || pfad[eintrag.size()] == '/'))) {
        return Treiber() && !M().weg ? 0 : ENOENT;
    }
    if (pfad == "/dev/parport0") {
        if (!Treiber() || M().fall == Fall::OhnePpdev) {
            return ENOENT;
        }
        return M().fall == Fall::KeineBerechtigung && modus != F_OK ? EACCES : 0;
    }
    if (pfad == "/dev/usb/lp0") {
        return M().fall == Fall::Usb ? 0 : ENOENT;
    }
    return ENOENT;
}

int OeffneModell(const std::string& pfad) {
    if (pfad != "/proc/sys/dev/parport/parport0/devices/active" || ZugangModell(pfad, F_OK) != 0) {
        errno = ENOENT;
        return -1;
    }
    const char* text = Gehalten() ? "lp0\n" : "none\n";
    int fd = memfd_create("active", MFD_CLOEXEC);
    if (fd >= 0) {
        (void)!::write(fd, text, std::strlen(text));
        lseek(fd, 0, SEEK_SET);
    }
    return fd;
}

template <typename F>
F Echt(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int OeffneDatei(const char* name, const char* pfad, int flags, va_list args) {
    if (Modelliert(pfad)) {
        Log("open %s", pfad);
        return OeffneModell(pfad);
    }
    mode_t modus = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        modus = static_cast<mode_t>(va_arg(args, int));
    }
    using Open = int (*)(const char*, int, ...);
    static Open echt = Echt<Open>(name);
    return echt(pfad, flags, modus);
}

}  // namespace

extern "C" {

// ---- the system ----

int access(const char* pfad, int modus) {
    if (Modelliert(pfad)) {
        const int z = ZugangModell(pfad, modus);
        errno = z;
        return z == 0 ? 0 : -1;
    }
    using Access = int (*)(const char*, int);
    static Access echt = Echt<Access>("access");
    return echt(pfad, modus);
}

#define ATTRAPPE_OPEN(NAME)                             \
    int NAME(const char* pfad, int flags, ...) {        \
        va_list args;                                   \
        va_start(args, flags);                          \
        int fd = OeffneDatei(#NAME, pfad, flags, args); \
        va_end(args);                                   \
        return fd;                                      \
    }
ATTRAPPE_OPEN(open)
ATTRAPPE_OPEN(open64)

int mlockall(int) {
    Log("mlockall");
    errno = ENOMEM;
    return -1;
}

int munlockall() {
    Log("munlockall");
    return 0;
}

int sched_setscheduler(pid_t, int politik, const sched_param*) {
    Log("sched_setscheduler %d", politik);
    errno = EPERM;
    return -1;
}

// ---- libieee1284 ----

int ieee1284_find_ports(parport_list* liste, int) {
    Modell& m = M();
    Log("find_ports");
    // The library's first search claims the first device it can open, to
    // load the port driver: that sleeps while the port is in use.
    if (!m.gesucht) {
        m.gesucht = true;
        if (PpdevZugaenglich()) {
            Warte("find_ports");
        }
    }
    if (Treiber()) {
        liste->portc = 1;
        liste->portv = static_cast<parport**>(std::malloc(sizeof(parport*)));
        gPort0.filename = PpdevZugaenglich() ? gDatei0 : gOhne;
        liste->portv[0] = &gPort0;
    } else {
        liste->portc = 3;
        liste->portv = static_cast<parport**>(std::malloc(3 * sizeof(parport*)));
        for (int i = 0; i < 3; ++i) {
            liste->portv[i] = &gGeraten[i];
        }
    }
    return E1284_OK;
}

void ieee1284_free_ports(parport_list* liste) {
    Log("free_ports");
    std::free(liste->portv);
    liste->portv = nullptr;
    liste->portc = 0;
}

int ieee1284_open(parport* port, int, int* faehigkeiten) {
    Modell& m = M();
    Log("open %s", port->name);
    // An ordinary user: without ppdev nothing else is permitted.
    if (Geraten(port) || !PpdevZugaenglich()) {
        errno = EACCES;
        return E1284_INIT;
    }
    *faehigkeiten = CAP1284_NIBBLE | CAP1284_BYTE | CAP1284_COMPAT | CAP1284_ECPSWE;
    // The library's trial claim for the capabilities; when it fails it
    // guesses them, without pin-level access.
    bool geklaert = Warte("open: PPCLAIM");
    if (m.fall == Fall::Exklusiv) {
        errno = ENXIO;
        geklaert = false;
    }
    *faehigkeiten |= geklaert ? CAP1284_RAW : CAP1284_ECP | CAP1284_ECPRLE | CAP1284_EPP;
    m.geoeffnet = true;
    return E1284_OK;
}

int ieee1284_close(parport* port) {
    Log("close %s", port->name);
    M().geoeffnet = false;
    return E1284_OK;
}

int ieee1284_claim(parport* port) {
    Modell& m = M();
    Log("claim %s", port->name);
    if (!m.geoeffnet) {
        return E1284_INVALIDPORT;
    }
    if (!Warte("claim")) {
        return E1284_SYS;
    }
    if (m.fall == Fall::Exklusiv) {
        errno = ENXIO;
        return E1284_SYS;
    }
    m.belegt = true;
    return E1284_OK;
}

void ieee1284_release(parport* port) {
    Log("release %s", port->name);
    M().belegt = false;
}

void ieee1284_write_data(parport*, unsigned char wert) {
    Log(M().belegt ? "write_data %02X" : "write_data %02X ohne claim", wert);
    Zugriff();
}

int ieee1284_read_status(parport*) {
    Modell& m = M();
    Zugriff();
    if (m.lesefehlerNach >= 0 && m.zugriffe > m.lesefehlerNach) {
        Log("read_status Fehler");
        errno = ENODEV;
        return E1284_NOTAVAIL;
    }
    Log("read_status");
    // The interface idles with every status line low; a removed port reads
    // 0 as well. The library shows BUSY inverted.
    return 0x00 ^ S1284_INVERTED;
}

void ieee1284_write_control(parport*, unsigned char wert) {
    M().steuerung = wert & 0x0F;
    Log("write_control %02X (Register %02X)", wert, (wert ^ C1284_INVERTED) & 0x0F);
}

int ieee1284_read_control(parport*) {
    Log("read_control");
    return M().steuerung;
}

int ieee1284_data_dir(parport*, int rueckwaerts) {
    Log("data_dir %d", rueckwaerts);
    return E1284_OK;
}

}  // extern "C"
