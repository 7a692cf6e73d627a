#include "interpreter/taktler.h"

#include <array>
#include <csignal>
#include <string>

#include "interface/interface.h"
#include "interface/port.h"
#include "interpreter/handler.h"
#include "interpreter/optionen.h"
#include "interpreter/pruefen.h"
#include "interpreter/zeilenindex.h"
#include "interpreter/zustand.h"
#include "panel/panel.h"
#include "services/fehler.h"
#include "services/strtools.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::interpreter {

namespace {

// Ausfuehren has 80 entries: a command file may nest down to level 79.
void StufeErhoehen(Kommandozeile& kz) {
    if (kz.Stufe + 1 >= kMaxStufen) {
        services::Fehlerabbruch(kModul, "Strukturstufe: mehr als 79 Stufen", kz.Kommando.data());
    }
    ++kz.Stufe;
}

// ENDE_BIS and ENDE_UNTERPROGRAMM below level 0 end the run like ENDE.
void StufeSenken(Kommandozeile& kz) {
    --kz.Stufe;
    if (kz.Stufe < 0) {
        services::Fehlerabbruch(kModul, "Strukturstufe: ENDE ohne PRUEFE...", "");
    }
}

bool Ausfuehrend(const Kommandozeile& kz) {
    return kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] == 1;
}

bool UmgebendAusfuehrend(const Kommandozeile& kz) {
    return kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe - 1)] == 1;
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

// A reader of standard output that goes away (| head, | less) ends the run
// like a hang-up; by default the process died at once and lost the protocol
// lines and port log still buffered.
constexpr int kUnterbrechungsSignale[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Holds the interrupting signals off for a scope: a second Ctrl-C must not
// break into the switch-off frames (the port has no SA_RESTART either).
// The signal's own ending unblocks it again; the test seam unwinds here.
class SignaleGesperrt {
  public:
    SignaleGesperrt() {
        sigset_t menge;
        sigemptyset(&menge);
        for (int signal : kUnterbrechungsSignale) {
            sigaddset(&menge, signal);
        }
        sigprocmask(SIG_BLOCK, &menge, &alt_);
    }
    ~SignaleGesperrt() { sigprocmask(SIG_SETMASK, &alt_, nullptr); }
    SignaleGesperrt(const SignaleGesperrt&) = delete;
    SignaleGesperrt& operator=(const SignaleGesperrt&) = delete;

  private:
    sigset_t alt_;
};

// Acts on Ctrl-C and termination where the emergency stop is checked:
// motors off, protocol closed, then the signal's own ending.
void UnterbrechungPruefen() {
    int signal = services::UnterbrochenesSignal();
    if (signal == 0) {
        return;
    }
    SignaleGesperrt gesperrt;
    Programmzustand& z = Zustand();
    for (int motor = 1; motor <= 4; ++motor) {
        interface::MotorStop(*z.Interface, motor);
    }
    if (z.Protokolldatei != nullptr) {
        z.Protokolldatei = datei::Dispose(z.Protokolldatei);
    }
    services::FehlerAusgabe("TAKTLER unterbrochen (%s): alle Motoren ausgeschaltet\n",
                            SignalName(signal));
    services::ProgrammBeendenDurchSignal(signal);
}

extern "C" void SignalEmpfangen(int signal) {
    services::SetzeUnterbrechung(signal);
}

void SignaleAbfangen() {
    struct sigaction aktion {};
    aktion.sa_handler = SignalEmpfangen;
    sigemptyset(&aktion.sa_mask);
    aktion.sa_flags = 0;  // no SA_RESTART: a PAUSE waiting on input wakes up
    for (int signal : kUnterbrechungsSignale) {
        sigaction(signal, &aktion, nullptr);
    }
}

void NothaltPruefen(Kommandozeile& kz) {
    UnterbrechungPruefen();
    if (Zustand().NothaltAktiv != 0) {
        Nothalt(kz);
    }
}

// Carries out one parsed line. Gives false when the loop is to be left.
bool Verteile(std::int32_t code, char* zeile, Kommandozeile& kz) {
    Programmzustand& z = Zustand();
    switch (code) {
        case kEinschalten:
            if (Ausfuehrend(kz)) {
                Einschalten(kz);
            }
            break;
        case kSound:
            if (Ausfuehrend(kz)) {
                Sound(kz);
            }
            break;
        case kTracelevel:
            if (Ausfuehrend(kz)) {
                Tracelevel(kz);
            }
            break;
        case kNothalt:
            if (Ausfuehrend(kz)) {
                Nothalt(kz);
            }
            break;
        case kAusschalten:
            if (Ausfuehrend(kz)) {
                Ausschalten(kz);
            }
            break;
        case kRufe:
            StufeErhoehen(kz);
            if (UmgebendAusfuehrend(kz)) {
                kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] = 1;
                Rufe(kz);
            } else {
                kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] = 0;
            }
            break;
        case kUnterprogramm:
            return Unterprogramm(kz);
        case kEndeUnterprogramm:
            if (kz.Stufe > 0 && UmgebendAusfuehrend(kz)) {
                Ende_Unterprogramm(kz);
            }
            StufeSenken(kz);
            break;
        case kBis:
            StufeErhoehen(kz);
            if (UmgebendAusfuehrend(kz)) {
                Bis(kz);
            } else {
                kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] = 0;
            }
            break;
        case kEndeBis:
            if (kz.Stufe > 0 && UmgebendAusfuehrend(kz)) {
                Ende_Bis(kz);
            }
            StufeSenken(kz);
            break;
        case kMeldung:
            if (Ausfuehrend(kz)) {
                Meldung(kz);
            }
            break;
        case kPause:
            if (Ausfuehrend(kz)) {
                Pause(kz);
            }
            break;
        case kInfo:
            if (Ausfuehrend(kz)) {
                Info(kz);
            }
            break;
        case kExit:
            if (Ausfuehrend(kz)) {
                return false;
            }
            break;
        case kEnde:
            StufeSenken(kz);
            break;
        case kElse:
            if (kz.Stufe > 0 && UmgebendAusfuehrend(kz)) {
                auto& flag = kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)];
                flag = flag == 1 ? 0 : 1;
            }
            datei::SchreibSatz(z.Protokolldatei, zeile);
            break;
        case kKommentar:
            break;
        default:  // REBOOT, TRANSFER and every unknown word
            services::Ausgabe("%s\n", kz.Kommando.data());
            Programmabbruch(kModul, "Kommando erkennen: unbekanntes Kommando", kz.Kommando.data());
    }
    return true;
}

}  // namespace

void Programmabbruch(std::string_view modul, std::string_view funktion, std::string_view text) {
    Programmzustand& z = Zustand();
    if (z.Protokolldatei != nullptr) {
        datei::SchreibSatz(z.Protokolldatei, "---- PROGRAMMABBRUCH ------");
        datei::SchreibSatz(z.Protokolldatei, std::string(modul).c_str());
        datei::SchreibSatz(z.Protokolldatei, std::string(funktion).c_str());
        datei::SchreibSatz(z.Protokolldatei, std::string(text).c_str());
        datei::SchreibSatz(z.Protokolldatei, "---------------------------");
        z.Protokolldatei = datei::Dispose(z.Protokolldatei);
    }
    services::Fehlerabbruch(modul, funktion, text);
}

namespace {
ZeilenHaken& DerZeilenHaken() {
    static ZeilenHaken haken;
    return haken;
}
}  // namespace

void SetzeZeilenHaken(ZeilenHaken haken) {
    DerZeilenHaken() = std::move(haken);
}

bool VerarbeiteZeile(char* zeile) {
    Kommandozeile& kz = *Zustand().Zeile;
    services::strTrimEnde(zeile);
    ++kz.Zeilennummer;
    if (DerZeilenHaken()) {
        std::string text = zeile;
        ParseKommandozeile(zeile, &kz);
        DerZeilenHaken()(kz, text);
    } else {
        ParseKommandozeile(zeile, &kz);
    }
    std::int32_t code = GibKommando(&kz);
    NothaltPruefen(kz);
    if (!Verteile(code, zeile, kz)) {
        return false;
    }
    NothaltPruefen(kz);
    return true;
}

int Programmlauf(const std::vector<std::string>& dateien) {
    Programmzustand& z = Zustand();
    z.Interface = &z.interfaceDS;
    interface::InterfaceInit(*z.Interface);

    services::FehlerAusgabe("%s\n", kModul);
    if (dateien.size() < 2 || dateien.size() > 6) {
        services::FehlerAusgabe("Anzahl der Argumente fehlerhaft.\n");
        services::FehlerAusgabe("%s\n", "Aufruf:  TAKTLER <Kommandodatei> <Protokolldatei>\n");
        services::ProgrammBeenden(12);
    }

    for (int stufe = 0; stufe < kTabellenStufen; ++stufe) {
        auto s = static_cast<std::size_t>(stufe);
        z.Klickzaehler[s].fill(0);
        z.Bedingung[s] = 0;
        z.Startzeile[s] = 0;
        z.Durchlauf[s] = 0;
        z.Zeitbausteine[s] = nullptr;
        z.Soundbausteine[s] = nullptr;
    }

    const char* quelle = dateien[0].c_str();
    z.Kommandodatei = datei::Create();
    if (z.Kommandodatei == nullptr) {
        Programmabbruch(kModul,
                        "Quelldatei \xF6"
                        "ffnen: ",
                        quelle);
    }
    datei::SetzePfad(z.Kommandodatei, quelle);
    if (datei::ExistiertDatei(z.Kommandodatei) == 0) {
        Programmabbruch(kModul, "Quelldatei nicht vorhanden: ", quelle);
    }
    if (datei::OeffnenRead(z.Kommandodatei) == 0) {
        Programmabbruch(kModul,
                        "Quelldatei kann nicht ge\xF6"
                        "ffnet werden:",
                        quelle);
    }
    z.Protokolldatei = datei::Create();
    datei::SetzePfad(z.Protokolldatei, dateien[1].c_str());

    z.Zeile = KommandozeileCreate();
    if (z.Zeile == nullptr) {
        Programmabbruch(kModul, "main", "KommandozeileCreate");
    }
    Kommandozeile& kz = *z.Zeile;
    kz.Stufe = 0;
    kz.Zeilennummer = 0;
    kz.Ausfuehren[0] = 1;

    ZeilenindexBinden(z.Kommandodatei);
    std::array<char, kZeilenpuffer> zeile{};
    while (LiesZeile(z.Kommandodatei, zeile.data())) {
        if (!VerarbeiteZeile(zeile.data())) {
            break;
        }
    }
    // A signal during the last line (an EXIT skips the second check).
    UnterbrechungPruefen();

    std::array<char, 32> datum{};
    datum_undZeit(datum.data(), datum.size());
    services::Ausgabe("%s\n", services::Format("%s ENDE : %s", kModul, datum.data()).c_str());
    z.Kommandodatei = datei::Dispose(z.Kommandodatei);
    ZeilenindexZuruecksetzen();
    z.Protokolldatei = datei::Dispose(z.Protokolldatei);
    return 0;
}

int Hauptprogramm(int argc, char** argv) {
    Optionen optionen = ParseOptionen(argc, argv);
    if (!optionen.fehler.empty()) {
        services::FehlerAusgabe("taktler: %s\n", optionen.fehler.c_str());
        return 12;
    }
    if (optionen.hilfe) {
        services::Ausgabe("%s", Hilfetext().c_str());
        return 0;
    }
    if (optionen.version) {
        services::Ausgabe("taktler %s\n", TAKTLER_VERSION);
        return 0;
    }
    if (optionen.ports) {
        for (const auto& name : interface::ListePorts()) {
            services::Ausgabe("%s\n", name.c_str());
        }
        return 0;
    }
    if (optionen.pruefen) {
        return Pruefen(optionen.dateien);  // before any port is opened
    }
    if (optionen.antwort) {
        services::StandardFenster().festeAntwort = optionen.antwort;
    }

    if (optionen.panel) {
        std::string grund = panel::PanelVorbereiten(optionen.port);
        if (!grund.empty()) {
            services::FehlerAusgabe("taktler: %s\n", grund.c_str());
            return 12;
        }
    }

    interface::GewaehlterPort wahl = interface::OeffnePort(optionen.port);
    if (!wahl.fehler.empty()) {
        services::FehlerAusgabe("taktler: %s\n", wahl.fehler.c_str());
        return 12;
    }
    if (!wahl.info.empty()) {
        services::FehlerAusgabe("taktler: %s\n", wahl.info.c_str());
    }
    interface::SetzePort(wahl.port.get());
    SignaleAbfangen();
    int code = optionen.panel ? panel::PanelLauf(*wahl.simulator, optionen.dateien)
                              : Programmlauf(optionen.dateien);
    interface::SetzePort(nullptr);
    return code;
}

}  // namespace taktler::interpreter
