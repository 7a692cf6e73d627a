#include "app/optionen.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace taktler::app {

namespace {

// What makes two paths the same file, as one comparable text; empty for a
// device, which several roles may share.
std::string Identitaet(const std::string& pfad) {
    struct stat info {};
    if (::stat(pfad.c_str(), &info) == 0) {
        if (S_ISCHR(info.st_mode)) {
            return {};
        }
        return "inode " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    }
    std::error_code ec;
    std::filesystem::path absolut = std::filesystem::absolute(pfad, ec);
    std::filesystem::path aufgeloest = std::filesystem::weakly_canonical(absolut, ec);
    return "pfad " + (ec ? absolut : aufgeloest).lexically_normal().string();
}

std::string Zeige(const Dateirolle& d) {
    return d.rolle.back() == '=' ? d.rolle + d.pfad : d.rolle + " " + d.pfad;
}

// Splits "--name=wert"; hatWert tells whether a '=' was there.
void Zerlege(const std::string& arg, std::string& name, std::string& wert, bool& hatWert) {
    std::size_t gleich = arg.find('=');
    hatWert = gleich != std::string::npos;
    name = arg.substr(0, gleich);
    wert = hatWert ? arg.substr(gleich + 1) : std::string();
}

}  // namespace

Optionen ParseOptionen(int argc, char** argv) {
    std::vector<std::string> argumente;
    for (int i = 1; i < argc; ++i) {
        argumente.emplace_back(argv[i]);
    }
    return ParseOptionen(argumente);
}

Optionen ParseOptionen(const std::vector<std::string>& argumente) {
    Optionen o;
    bool nurDateien = false;
    for (const std::string& arg : argumente) {
        if (nurDateien || arg.rfind("--", 0) != 0) {
            o.dateien.push_back(arg);
            continue;
        }
        if (arg == "--") {
            nurDateien = true;
            continue;
        }
        std::string name;
        std::string wert;
        bool hatWert = false;
        Zerlege(arg, name, wert, hatWert);
        auto ohneWert = [&](bool& ziel) {
            if (hatWert) {
                o.fehler = "Option " + name + " nimmt keinen Wert";
            } else {
                ziel = true;
            }
        };
        auto mitWert = [&](std::string& ziel) {
            if (!hatWert || wert.empty()) {
                o.fehler = "Option " + name + " braucht einen Wert: " + name + "=...";
            } else {
                ziel = wert;
            }
        };
        if (name == "--port") {
            mitWert(o.port.name);
        } else if (name == "--sim") {
            mitWert(o.port.simDatei);
        } else if (name == "--port-log") {
            mitWert(o.port.logDatei);
        } else if (name == "--antwort") {
            if (hatWert && wert == "ok") {
                o.antwort = services::Antwort::OK;
            } else if (hatWert && wert == "abbrechen") {
                o.antwort = services::Antwort::Abbrechen;
            } else {
                o.fehler = "Option --antwort nimmt ok oder abbrechen";
            }
        } else if (name == "--zeit") {
            if (hatWert && (wert == "echt" || wert == "virtuell")) {
                o.virtuelleZeit = wert == "virtuell";
            } else {
                o.fehler = "Option --zeit nimmt echt oder virtuell";
            }
        } else if (name == "--vcd") {
            mitWert(o.vcdDatei);
        } else if (name == "--ports") {
            ohneWert(o.ports);
        } else if (name == "--help") {
            ohneWert(o.hilfe);
        } else if (name == "--version") {
            ohneWert(o.version);
        } else if (name == "--pruefen") {
            ohneWert(o.pruefen);
        } else if (name == "--streng") {
            ohneWert(o.streng);
        } else if (name == "--panel") {
            ohneWert(o.panel);
        } else {
            o.fehler = "unbekannte Option " + name;
        }
        if (!o.fehler.empty()) {
            return o;
        }
    }
    if (o.streng && !o.pruefen) {
        o.fehler = "Option --streng gilt nur mit --pruefen";
        return o;
    }
    // Virtual time models the simulated interface only; the live panel
    // lives in real time.
    if (o.virtuelleZeit) {
        if (o.panel) {
            o.fehler = "Option --zeit=virtuell geht nicht mit --panel";
        } else if (o.port.name == "auto") {
            o.port.name = "sim";
        } else if (o.port.name != "sim") {
            o.fehler = "Option --zeit=virtuell braucht das simulierte Interface, nicht --port=" +
                       o.port.name;
        }
    }
    return o;
}

std::vector<Dateirolle> Dateirollen(const Optionen& optionen) {
    std::vector<Dateirolle> rollen;
    const char* const dateirollen[] = {"Kommandodatei", "Protokolldatei"};
    for (std::size_t i = 0; i < 2 && i < optionen.dateien.size(); ++i) {
        rollen.push_back({dateirollen[i], optionen.dateien[i]});
    }
    if (!optionen.port.simDatei.empty()) {
        rollen.push_back({"--sim=", optionen.port.simDatei});
    }
    if (!optionen.port.logDatei.empty()) {
        rollen.push_back({"--port-log=", optionen.port.logDatei});
    }
    if (!optionen.vcdDatei.empty()) {
        rollen.push_back({"--vcd=", optionen.vcdDatei});
    }
    return rollen;
}

std::string GleicheDatei(const std::vector<Dateirolle>& rollen) {
    std::vector<std::string> identitaeten;
    for (const Dateirolle& rolle : rollen) {
        identitaeten.push_back(Identitaet(rolle.pfad));
    }
    for (std::size_t i = 0; i < rollen.size(); ++i) {
        for (std::size_t k = i + 1; k < rollen.size(); ++k) {
            if (!identitaeten[i].empty() && identitaeten[i] == identitaeten[k]) {
                return Zeige(rollen[i]) + " und " + Zeige(rollen[k]) + " sind dieselbe Datei";
            }
        }
    }
    return {};
}

std::string Hilfetext() {
    return "Aufruf: taktler [OPTION...] <Kommandodatei> <Protokolldatei> [ARG...]\n"
           "\n"
           "Fuehrt eine Kommandodatei gegen das Interface am Parallelport aus.\n"
           "\n"
           "  --port=NAME         auto (Vorgabe), sim oder ein Parallelport (siehe --ports)\n"
           "  --ports             die registrierten Parallelports mit Adresse und Zugriff\n"
           "  --sim=DATEI         Szenario fuer das simulierte Interface (setzt --port=sim)\n"
           "  --port-log=DATEI    jeden Portzugriff in DATEI protokollieren\n"
           "  --antwort=ok|abbrechen\n"
           "                      Antwort auf jede WARNUNG, ohne zu fragen\n"
           "  --pruefen           die Kommandodateien nur pruefen, nichts ausfuehren\n"
           "  --streng            mit --pruefen: moeglicher Abbruch zaehlt als Fehler\n"
           "  --panel             mit Live-Panel laufen (auch am echten Port)\n"
           "  --zeit=echt|virtuell\n"
           "                      Uhr des Laufs; virtuell: reproduzierbar und schneller\n"
           "                      als Echtzeit, nur auf dem simulierten Interface\n"
           "  --vcd=DATEI         Zeitdiagramm des Laufs (VCD) in DATEI schreiben\n"
           "  --help, --version   Hilfe oder Version ausgeben\n"
           "\n"
           "Exit-Codes: 0 normales Ende, 12 Fehler, 99 interner Portfehler.\n";
}

}  // namespace taktler::app
