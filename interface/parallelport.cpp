#include "interface/parallelport.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>

namespace taktler::interface {

namespace {

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
    int LiesDaten(parport* port) override { return ieee1284_read_data(port); }
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
    int SperreSpeicher() override { return mlockall(MCL_CURRENT | MCL_FUTURE); }
    int EntsperreSpeicher() override { return munlockall(); }
};

// The code in words, with its name and the system's reason when there is one.
std::string Grund(int code, int systemfehler) {
    std::string text = E1284Text(code);
    if (systemfehler != 0) {
        text += ", ";
        text += std::strerror(systemfehler);
    }
    return text;
}

std::string Liste(const std::vector<std::string>& namen) {
    if (namen.empty()) {
        return "keiner vorhanden";
    }
    std::string text = "vorhanden:";
    for (const auto& name : namen) {
        text += " " + name;
    }
    return text;
}

// A port's data register reads back what was written; an address without
// a port reads 0xFF. The old value is put back afterwards.
bool Antwortet(PortSystem& system, parport* port) {
    const int alt = system.LiesDaten(port);
    bool da = alt >= 0;
    for (unsigned char muster : {0x55, 0xAA}) {
        if (da) {
            system.SchreibeDaten(port, muster);
            da = system.LiesDaten(port) == muster;
        }
    }
    if (alt >= 0) {
        system.SchreibeDaten(port, static_cast<unsigned char>(alt));
    }
    return da;
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
            return "Port nicht zugaenglich, keine Berechtigung oder belegt (E1284_INIT)";
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

std::vector<PortEintrag> FindePorts(PortSystem& system, std::string* fehler) {
    std::vector<PortEintrag> ports;
    parport_list liste{};
    errno = 0;
    int code = system.FindePorts(&liste);
    if (code != E1284_OK) {
        if (fehler != nullptr) {
            *fehler = "Parallelports koennen nicht gesucht werden: " + Grund(code, errno);
        }
        return ports;
    }
    for (int i = 0; i < liste.portc; ++i) {
        const parport* port = liste.portv[i];
        PortEintrag eintrag;
        eintrag.name = port->name != nullptr ? port->name : "";
        eintrag.eigenesGeraet =
            port->filename != nullptr && std::strcmp(port->filename, "/dev/port") != 0;
        ports.push_back(eintrag);
    }
    system.GibPortsFrei(&liste);
    return ports;
}

std::unique_ptr<ParallelPort> ParallelPort::Oeffne(const std::string& name, std::string& fehler,
                                                   PortSystem& system, bool pruefen) {
    const std::string wer = "Parallelport \"" + name + "\"";
    parport_list liste{};
    errno = 0;
    int code = system.FindePorts(&liste);
    if (code != E1284_OK) {
        fehler = wer + " kann nicht geoeffnet werden: Suche fehlgeschlagen: " + Grund(code, errno);
        return nullptr;
    }
    parport* port = nullptr;
    std::vector<std::string> namen;
    for (int i = 0; i < liste.portc; ++i) {
        const char* n = liste.portv[i]->name;
        namen.emplace_back(n != nullptr ? n : "");
        if (port == nullptr && namen.back() == name) {
            port = liste.portv[i];
        }
    }
    if (port == nullptr) {
        system.GibPortsFrei(&liste);
        fehler = wer + " kann nicht geoeffnet werden: kein solcher Port (" + Liste(namen) + ")";
        return nullptr;
    }

    int faehigkeiten = 0;
    errno = 0;
    code = system.Oeffne(port, &faehigkeiten);
    if (code != E1284_OK) {
        fehler = wer + " kann nicht geoeffnet werden: " + Grund(code, errno);
        system.GibPortsFrei(&liste);
        return nullptr;
    }
    // Every edge is driven by hand, so the pins must be reachable directly.
    if ((faehigkeiten & CAP1284_RAW) == 0) {
        system.Schliesse(port);
        system.GibPortsFrei(&liste);
        fehler = wer + " kann nicht geoeffnet werden: keine direkte Ansteuerung der Leitungen";
        return nullptr;
    }
    errno = 0;
    code = system.Belege(port);
    if (code != E1284_OK) {
        fehler = wer + " kann nicht belegt werden: " + Grund(code, errno);
        system.Schliesse(port);
        system.GibPortsFrei(&liste);
        return nullptr;
    }
    if (pruefen && !Antwortet(system, port)) {
        fehler = wer + " antwortet nicht: kein Port an dieser Adresse";
        system.GibFrei(port);
        system.Schliesse(port);
        system.GibPortsFrei(&liste);
        return nullptr;
    }
    return std::unique_ptr<ParallelPort>(new ParallelPort(system, liste, port, name));
}

ParallelPort::ParallelPort(PortSystem& system, parport_list liste, parport* port, std::string name)
    : system_(system), liste_(liste), port_(port), name_(std::move(name)) {}

ParallelPort::~ParallelPort() {
    if (gesperrt_) {
        Freigeben();
    }
    system_.GibFrei(port_);
    system_.Schliesse(port_);
    system_.GibPortsFrei(&liste_);
}

void ParallelPort::SchreibeByte(std::uint8_t wert) {
    system_.SchreibeDaten(port_, wert);
}

void ParallelPort::SchreibeWort(std::uint16_t wert) {
    // The word's high byte would go to the status register, which ignores it.
    system_.SchreibeDaten(port_, static_cast<unsigned char>(wert & 0xFF));
}

std::uint8_t ParallelPort::LiesStatus() {
    int status = system_.LiesStatus(port_);
    if (status < 0) {
        return 0;
    }
    // The library shows BUSY inverted; the protocol wants the register.
    return static_cast<std::uint8_t>((status ^ S1284_INVERTED) & 0xFF);
}

void ParallelPort::Sperren() {
    if (gesperrt_) {
        return;
    }
    gesperrt_ = true;
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
    speicherGesperrt_ = system_.SperreSpeicher() == 0;
}

void ParallelPort::Freigeben() {
    if (!gesperrt_) {
        return;
    }
    gesperrt_ = false;
    if (speicherGesperrt_) {
        system_.EntsperreSpeicher();
        speicherGesperrt_ = false;
    }
    if (prioritaetGeaendert_) {
        system_.SetzeScheduler(altePolitik_, alterParameter_);
        prioritaetGeaendert_ = false;
    }
}

}  // namespace taktler::interface
