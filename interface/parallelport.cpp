// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/parallelport.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "services/umgebung.h"

namespace taktler::interface {

namespace {

const char* const kKernelPorts = "/proc/sys/dev/parport/";

// Control lines at rest as ppdev leaves them after its claim: nStrobe,
// nAutoFd and nInit high (inactive), 0x0C on the register. The library
// takes the lines' levels, not the register's inverted bits.
constexpr unsigned char kSteuerungRuhe = C1284_NSTROBE | C1284_NAUTOFD | C1284_NINIT;

// The least time an open or a claim gets, even when the wait for a port in
// use has been spent.
constexpr int kMindestFristMs = 500;

volatile std::sig_atomic_t gFristAbgelaufen = 0;

extern "C" void FristSignal(int) {
    gFristAbgelaufen = 1;
}

class Libieee1284 : public PortSystem {
  public:
    int FindePorts(parport_list* liste) override { return ieee1284_find_ports(liste, 0); }
    void GibPortsFrei(parport_list* liste) override { ieee1284_free_ports(liste); }
    int Oeffne(parport* port, int* faehigkeiten) override {
        return ieee1284_open(port, 0, faehigkeiten);
    }
    int Schliesse(parport* port) override { return ieee1284_close(port); }
    int Belege(parport* port) override { return ieee1284_claim(port); }
    void GibFrei(parport* port) override { ieee1284_release(port); }
    void SchreibeDaten(parport* port, unsigned char wert) override {
        ieee1284_write_data(port, wert);
    }
    int LiesStatus(parport* port) override { return ieee1284_read_status(port); }
    void SchreibeSteuerung(parport* port, unsigned char wert) override {
        ieee1284_write_control(port, wert);
    }
    int LiesSteuerung(parport* port) override { return ieee1284_read_control(port); }
    int SetzeDatenrichtung(parport* port, int rueckwaerts) override {
        return ieee1284_data_dir(port, rueckwaerts);
    }
    int GibScheduler(int* politik, sched_param* param) override {
        *politik = sched_getscheduler(0);
        if (*politik < 0) {
            return -1;
        }
        return sched_getparam(0, param);
    }
    int SetzeScheduler(int politik, const sched_param& param) override {
        return sched_setscheduler(0, politik, &param);
    }
    int SperreSpeicher() override {
        // Under a finite lock limit MCL_FUTURE would make later allocations
        // fail once the limit is reached; then only what is mapped now.
        rlimit grenze{};
        const bool unbegrenzt = geteuid() == 0 || (getrlimit(RLIMIT_MEMLOCK, &grenze) == 0 &&
                                                   grenze.rlim_cur == RLIM_INFINITY);
        return mlockall(MCL_CURRENT | (unbegrenzt ? MCL_FUTURE : 0));
    }
    int EntsperreSpeicher() override { return munlockall(); }
    int Zugang(const std::string& pfad, int modus) override {
        return access(pfad.c_str(), modus) == 0 ? 0 : errno;
    }
    std::optional<std::string> LiesText(const std::string& pfad) override {
        int fd = open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return std::nullopt;
        }
        char puffer[256];
        ssize_t n = read(fd, puffer, sizeof puffer);
        close(fd);
        if (n < 0) {
            return std::nullopt;
        }
        return std::string(puffer, static_cast<std::size_t>(n));
    }
    bool IstRoot() override { return geteuid() == 0; }
    std::uint64_t MonotonUs() override {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<std::uint64_t>(t.tv_sec) * 1000000u +
               static_cast<std::uint64_t>(t.tv_nsec) / 1000u;
    }
    void Schlafe(int ms) override {
        timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
        nanosleep(&t, nullptr);
    }
    // SIGALRM without SA_RESTART interrupts the sleeping claim (EINTR); it
    // repeats, so that a claim begun after the deadline is interrupted too.
    void SetzeFrist(int ms) override {
        if (ms > 0) {
            struct sigaction aktion {};
            aktion.sa_handler = FristSignal;
            sigemptyset(&aktion.sa_mask);
            aktion.sa_flags = 0;
            sigaction(SIGALRM, &aktion, &alteAktion_);
            gFristAbgelaufen = 0;
            itimerval wecker{};
            wecker.it_value.tv_sec = ms / 1000;
            wecker.it_value.tv_usec = (ms % 1000) * 1000;
            wecker.it_interval.tv_usec = 20000;
            setitimer(ITIMER_REAL, &wecker, nullptr);
            aktiv_ = true;
        } else if (aktiv_) {
            itimerval aus{};
            setitimer(ITIMER_REAL, &aus, nullptr);
            sigaction(SIGALRM, &alteAktion_, nullptr);
            aktiv_ = false;
        }
    }
    bool FristAbgelaufen() override { return gFristAbgelaufen != 0; }

  private:
    struct sigaction alteAktion_ {};
    bool aktiv_ = false;
};

// The code in words, with the system's reason when there is one.
std::string Grund(int code, int systemfehler) {
    std::string text = E1284Text(code);
    if (systemfehler != 0) {
        text += ", ";
        text += std::strerror(systemfehler);
    }
    return text;
}

std::string Liste(const std::vector<PortEintrag>& ports) {
    std::string text;
    for (const auto& p : ports) {
        if (p.registriert) {
            text += " " + p.name;
        }
    }
    return text.empty() ? "keiner registriert" : "registriert:" + text;
}

PortEintrag Eintrag(PortSystem& system, const parport& port) {
    PortEintrag e;
    e.name = port.name != nullptr ? port.name : "";
    e.basis = port.base_addr;
    e.datei = port.filename != nullptr ? port.filename : "";
    e.registriert =
        e.name.find('/') == std::string::npos && system.Zugang(kKernelPorts + e.name, F_OK) == 0;
    return e;
}

bool BeginntMit(const std::string& text, const char* anfang) {
    return text.rfind(anfang, 0) == 0;
}

// The ppdev device of a registered port: /dev/parportN.
std::string PpdevKnoten(const PortEintrag& e) {
    if (BeginntMit(e.datei, "/dev/parport")) {
        return e.datei;
    }
    return e.registriert && BeginntMit(e.name, "parport") ? "/dev/" + e.name : "";
}

std::string Hex(unsigned long wert) {
    return services::Format("0x%lx", wert);
}

std::string BelegtText(const std::string& wer, const std::string& halter,
                       const std::string& knoten) {
    std::string text = wer + " ist belegt";
    if (halter.empty()) {
        text += " (ein anderes Programm oder ein Treiber haelt ihn)";
    } else {
        text += " von \"" + halter + "\"";
    }
    text += services::Format(", nach %d s Warten aufgegeben: ", kBelegtWarteMs / 1000);
    if (BeginntMit(halter, "lp")) {
        return text +
               "der Druckertreiber lp haelt ihn; den Druckdienst fuer diesen Port "
               "abschalten oder den Treiber entladen (sudo rmmod lp)";
    }
    if (BeginntMit(halter, "ppdev") && !knoten.empty()) {
        return text + "ein anderes Programm benutzt " + knoten +
               "; dieses Programm beenden (fuser -v " + knoten + " nennt es)";
    }
    return text + "das Programm oder den Treiber beenden, der ihn haelt";
}

std::string ExklusivText(const std::string& wer, const std::string& halter) {
    return wer + " wird von einem anderen Programm oder Treiber exklusiv benutzt" +
           (halter.empty() ? std::string() : " (\"" + halter + "\")") +
           ", die Leitungen sind nicht erreichbar: das andere Programm schliessen oder den "
           "Treiber entladen und neu starten";
}

// Why the library could not open the port, and what the user can do.
std::string OeffnenText(PortSystem& system, const PortEintrag& e, const std::string& wer, int code,
                        int systemfehler) {
    const std::string kann = wer + " kann nicht geoeffnet werden: ";
    if (!e.registriert) {
        return kann +
               "die Adresse ist nicht vom System registriert (kein Treiber geladen); ohne "
               "Treiber geht sie nur als root. Besser: sudo modprobe parport_pc ppdev, dann "
               "den Port nehmen, den --ports nennt";
    }
    const std::string knoten = PpdevKnoten(e);
    if (!knoten.empty()) {
        const int z = system.Zugang(knoten, R_OK | W_OK);
        if (z == EACCES || z == EPERM) {
            return kann + "keine Berechtigung fuer " + knoten +
                   ": den Benutzer in die Gruppe lp aufnehmen (sudo usermod -aG lp BENUTZER) "
                   "und neu anmelden";
        }
        if (z == ENOENT || z == ENODEV || z == ENXIO) {
            return kann + knoten +
                   " fehlt, das Modul ppdev ist nicht geladen: sudo modprobe ppdev (auf Dauer: "
                   "ppdev in /etc/modules-load.d/ eintragen)";
        }
    }
    return kann + Grund(code, systemfehler);
}

}  // namespace

PortSystem& EchtesPortSystem() {
    static Libieee1284 system;
    return system;
}

std::string E1284Text(int code) {
    switch (code) {
        case E1284_OK:
            return "kein Fehler (E1284_OK)";
        case E1284_NOTIMPL:
            return "von der Bibliothek nicht unterstuetzt (E1284_NOTIMPL)";
        case E1284_NOTAVAIL:
            return "auf diesem System nicht verfuegbar (E1284_NOTAVAIL)";
        case E1284_TIMEDOUT:
            return "Zeitueberschreitung (E1284_TIMEDOUT)";
        case E1284_REJECTED:
            return "abgelehnt (E1284_REJECTED)";
        case E1284_NEGFAILED:
            return "Aushandlung fehlgeschlagen (E1284_NEGFAILED)";
        case E1284_NOMEM:
            return "kein Speicher (E1284_NOMEM)";
        case E1284_INIT:
            return "Port nicht zugaenglich (E1284_INIT)";
        case E1284_SYS:
            return "Systemfehler (E1284_SYS)";
        case E1284_NOID:
            return "keine Geraetekennung (E1284_NOID)";
        case E1284_INVALIDPORT:
            return "ungueltiger Port (E1284_INVALIDPORT)";
        default:
            return "unbekannter Fehler " + std::to_string(code);
    }
}

std::vector<PortEintrag> FindePorts(PortSystem& system, std::string* fehler, int fristMs) {
    std::vector<PortEintrag> ports;
    parport_list liste{};
    errno = 0;
    system.SetzeFrist(fristMs);
    int code = system.FindePorts(&liste);
    const int systemfehler = errno;
    system.SetzeFrist(0);
    if (code != E1284_OK) {
        if (fehler != nullptr) {
            *fehler = "Parallelports koennen nicht gesucht werden: " + Grund(code, systemfehler);
        }
        return ports;
    }
    for (int i = 0; i < liste.portc; ++i) {
        ports.push_back(Eintrag(system, *liste.portv[i]));
    }
    system.GibPortsFrei(&liste);
    return ports;
}

std::string Zugriffsart(PortSystem& system, const PortEintrag& e) {
    const std::string knoten = PpdevKnoten(e);
    if (!knoten.empty() && e.datei == knoten) {
        return "ppdev (" + knoten + ")";
    }
    // Without ppdev the library takes direct I/O where it is permitted
    // (root), then /dev/port.
    if (system.IstRoot()) {
        return e.registriert && e.datei == "/dev/port" ? "/dev/port" : "direkte I/O";
    }
    if (!knoten.empty()) {
        const int z = system.Zugang(knoten, R_OK | W_OK);
        if (z == EACCES || z == EPERM) {
            return "kein Zugriff: keine Berechtigung fuer " + knoten + " (Gruppe lp)";
        }
        if (z != 0) {
            return "kein Zugriff: " + knoten + " fehlt (Modul ppdev laden)";
        }
    }
    return e.datei == "/dev/port" ? "/dev/port" : "kein Zugriff (nur als root)";
}

std::string Halter(PortSystem& system, const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return "";
    }
    std::optional<std::string> text = system.LiesText(kKernelPorts + name + "/devices/active");
    if (!text) {
        return "";
    }
    const auto anfang = text->find_first_not_of(" \t\r\n");
    if (anfang == std::string::npos) {
        return "";
    }
    const auto ende = text->find_last_not_of(" \t\r\n");
    std::string halter = text->substr(anfang, ende - anfang + 1);
    return halter == "none" ? "" : halter;
}

std::unique_ptr<ParallelPort> ParallelPort::Oeffne(const std::string& name, std::string& fehler,
                                                   PortSystem& system) {
    const std::string wer = "Parallelport \"" + name + "\"";
    const std::uint64_t ende = system.MonotonUs() + kBelegtWarteMs * 1000ull;
    auto restMs = [&]() {
        const std::uint64_t jetzt = system.MonotonUs();
        return jetzt >= ende ? 0 : static_cast<int>((ende - jetzt) / 1000u);
    };

    // The library's search, open and claim sleep without a word while
    // another program holds the port: look first, and wait a little with a
    // message.
    std::string halter = Halter(system, name);
    if (!halter.empty()) {
        services::FehlerAusgabe(
            "taktler: %s ist belegt von \"%s\", warte bis zu %d s, bis er frei "
            "wird\n",
            wer.c_str(), halter.c_str(), kBelegtWarteMs / 1000);
        while (!halter.empty() && restMs() > 0) {
            system.Schlafe(std::min(100, restMs()));
            halter = Halter(system, name);
        }
        if (!halter.empty()) {
            fehler = BelegtText(wer, halter, "/dev/" + name);
            return nullptr;
        }
    }

    parport_list liste{};
    errno = 0;
    system.SetzeFrist(std::max(restMs(), kMindestFristMs));
    int code = system.FindePorts(&liste);
    int systemfehler = errno;
    system.SetzeFrist(0);
    if (code != E1284_OK) {
        fehler = wer +
                 " kann nicht geoeffnet werden: Suche fehlgeschlagen: " + Grund(code, systemfehler);
        return nullptr;
    }
    parport* port = nullptr;
    std::vector<PortEintrag> ports;
    for (int i = 0; i < liste.portc; ++i) {
        ports.push_back(Eintrag(system, *liste.portv[i]));
        if (port == nullptr && ports.back().name == name) {
            port = liste.portv[i];
        }
    }
    auto gefunden = std::find_if(ports.begin(), ports.end(),
                                 [&](const PortEintrag& p) { return p.name == name; });
    if (gefunden == ports.end()) {
        system.GibPortsFrei(&liste);
        fehler = wer + " kann nicht geoeffnet werden: kein solcher Port (" + Liste(ports) + ")";
        return nullptr;
    }
    const PortEintrag eintrag = *gefunden;
    const std::string knoten = PpdevKnoten(eintrag);

    int faehigkeiten = 0;
    errno = 0;
    system.SetzeFrist(std::max(restMs(), kMindestFristMs));
    code = system.Oeffne(port, &faehigkeiten);
    systemfehler = errno;
    bool abgelaufen = system.FristAbgelaufen();
    system.SetzeFrist(0);
    if (code != E1284_OK) {
        fehler = abgelaufen ? BelegtText(wer, Halter(system, name), knoten)
                            : OeffnenText(system, eintrag, wer, code, systemfehler);
        system.GibPortsFrei(&liste);
        return nullptr;
    }
    // Every edge is driven by hand, so the pins must be reachable directly.
    // Through ppdev they are not when the library's trial claim failed:
    // another program holds the port, exclusively or still.
    if ((faehigkeiten & CAP1284_RAW) == 0) {
        if (abgelaufen) {
            fehler = BelegtText(wer, Halter(system, name), knoten);
        } else if (!knoten.empty() && eintrag.datei == knoten) {
            fehler = ExklusivText(wer, Halter(system, name));
        } else {
            fehler = wer +
                     " bietet keinen Zugriff auf die einzelnen Leitungen (kein Port mit "
                     "Registerzugriff): das Interface braucht einen Parallelport auf der "
                     "Hauptplatine oder einer PCI/PCIe-Karte";
        }
        system.Schliesse(port);
        system.GibPortsFrei(&liste);
        return nullptr;
    }
    errno = 0;
    system.SetzeFrist(std::max(restMs(), kMindestFristMs));
    code = system.Belege(port);
    systemfehler = errno;
    abgelaufen = system.FristAbgelaufen();
    system.SetzeFrist(0);
    if (code != E1284_OK) {
        if (abgelaufen || systemfehler == EINTR) {
            fehler = BelegtText(wer, Halter(system, name), knoten);
        } else if (systemfehler == ENXIO || systemfehler == EBUSY) {
            fehler = ExklusivText(wer, Halter(system, name));
        } else {
            fehler = wer + " kann nicht belegt werden: " + Grund(code, systemfehler);
        }
        system.Schliesse(port);
        system.GibPortsFrei(&liste);
        return nullptr;
    }

    std::unique_ptr<ParallelPort> ergebnis(new ParallelPort(system, liste, port, eintrag));
    // The set-up writes no data byte: the data lines keep what they hold
    // until the first frame.
    system.SchreibeSteuerung(port, kSteuerungRuhe);
    errno = 0;
    code = system.LiesSteuerung(port);
    if (code < 0) {
        fehler = wer + ": die Steuerleitungen lassen sich nicht in Ruhelage setzen: " +
                 Grund(code, errno);
        return nullptr;
    }
    errno = 0;
    code = system.SetzeDatenrichtung(port, 0);
    if (code != E1284_OK) {
        fehler = wer + ": die Datenleitungen lassen sich nicht auf Ausgabe stellen: " +
                 Grund(code, errno);
        return nullptr;
    }
    ergebnis->Einrichten();
    return ergebnis;
}

ParallelPort::ParallelPort(PortSystem& system, parport_list liste, parport* port,
                           PortEintrag eintrag)
    : system_(system), liste_(liste), port_(port), eintrag_(std::move(eintrag)) {}

void ParallelPort::Einrichten() {
    zugriff_ = Zugriffsart(system_, eintrag_);
    if (eintrag_.registriert) {
        kernelEintrag_ = kKernelPorts + eintrag_.name;
    }
    // Whether real-time priority is permitted, for the start line; each
    // measurement takes it anew.
    int politik = 0;
    sched_param alt{};
    if (system_.GibScheduler(&politik, &alt) == 0) {
        sched_param neu{};
        neu.sched_priority = sched_get_priority_max(SCHED_FIFO);
        echtzeit_ = system_.SetzeScheduler(SCHED_FIFO, neu) == 0;
        if (echtzeit_) {
            system_.SetzeScheduler(politik, alt);
        }
    }
    // Once for the whole run: locking costs milliseconds, too much for
    // every measurement.
    speicherGesperrt_ = system_.SperreSpeicher() == 0;
}

ParallelPort::~ParallelPort() {
    notizen_.SetzeZiel(nullptr);
    Freigeben();
    system_.GibFrei(port_);
    system_.Schliesse(port_);
    system_.GibPortsFrei(&liste_);
    if (speicherGesperrt_) {
        system_.EntsperreSpeicher();
    }
}

std::string ParallelPort::Startzeile() const {
    return "Parallelport " + eintrag_.name + ", Basisadresse " + Hex(eintrag_.basis) +
           ", Zugriff ueber " + zugriff_ + ", Echtzeitprioritaet: " + (echtzeit_ ? "ja" : "nein");
}

void ParallelPort::SchreibeByte(std::uint8_t wert) {
    system_.SchreibeDaten(port_, wert);
}

void ParallelPort::SchreibeWort(std::uint16_t wert) {
    // The word's high byte would go to the status register, which ignores it.
    system_.SchreibeDaten(port_, static_cast<unsigned char>(wert & 0xFF));
}

std::uint8_t ParallelPort::LiesStatus() {
    errno = 0;
    const int status = system_.LiesStatus(port_);
    notizen_.Gelesen();
    if (status < 0) {
        // Never a value: the caller asks Stoerung() before it uses the read.
        if (stoerung_.empty()) {
            stoerung_ = "Statusregister nicht lesbar: " + Grund(status, errno);
        }
        return 0;
    }
    // The library shows BUSY inverted; the protocol wants the register.
    return static_cast<std::uint8_t>((status ^ S1284_INVERTED) & 0xFF);
}

std::string ParallelPort::Stoerung() {
    if (stoerung_.empty() && !kernelEintrag_.empty()) {
        // A removed port (a USB bridge unplugged) leaves ppdev answering
        // every read with 0; only its kernel entry tells that it is gone.
        const int z = system_.Zugang(kernelEintrag_, F_OK);
        if (z == ENOENT || z == ENODEV || z == ENOTDIR) {
            stoerung_ = "vom System abgemeldet (" + kernelEintrag_ + ": " + std::strerror(z) + ")";
        }
    }
    return notizen_.Stoerung(eintrag_.name, stoerung_);
}

void ParallelPort::Sperren() {
    if (notizen_.FensterOffen()) {
        return;
    }
    if (echtzeit_) {
        int politik = 0;
        sched_param alt{};
        if (system_.GibScheduler(&politik, &alt) == 0) {
            sched_param neu{};
            neu.sched_priority = sched_get_priority_max(SCHED_FIFO);
            if (system_.SetzeScheduler(SCHED_FIFO, neu) == 0) {
                prioritaetGeaendert_ = true;
                altePolitik_ = politik;
                alterParameter_ = alt;
            }
        }
    }
    notizen_.FensterOeffnen(system_.MonotonUs());
}

void ParallelPort::Freigeben() {
    if (!notizen_.FensterOffen()) {
        return;
    }
    const std::uint64_t endeUs = system_.MonotonUs();
    if (prioritaetGeaendert_) {
        system_.SetzeScheduler(altePolitik_, alterParameter_);
        prioritaetGeaendert_ = false;
    }
    notizen_.FensterSchliessen(endeUs);
}

void ParallelPort::SetzeNotizZiel(std::function<void(const std::string&)> ziel) {
    notizen_.SetzeZiel(std::move(ziel));
}

}  // namespace taktler::interface
