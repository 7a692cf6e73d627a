// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/optionen.h"

#include <getopt.h>

#include <filesystem>
#include <limits>
#include <sstream>
#include <system_error>
#include <utility>

#include "services/plattform.h"

namespace taktler::app {

namespace {

// What makes two paths the same file, as one comparable text; empty for a
// device, which several roles may share.
std::string Identitaet(const std::string& pfad) {
    if (const auto info = services::plattform::Status(pfad)) {
        if (info->art == services::plattform::Dateistatus::Art::Zeichengeraet) {
            return {};
        }
        return "inode " + std::to_string(info->geraet) + ":" + std::to_string(info->knoten);
    }
    std::error_code ec;
    std::filesystem::path absolut = std::filesystem::absolute(pfad, ec);
    std::filesystem::path aufgeloest = std::filesystem::weakly_canonical(absolut, ec);
    return "pfad " + (ec ? absolut : aufgeloest).lexically_normal().string();
}

std::string Zeige(const Dateirolle& d) {
    return d.rolle.back() == '=' ? d.rolle + d.pfad : d.rolle + " " + d.pfad;
}

std::string Nichtleer(const char* name, const std::string& wert, std::string& ziel) {
    if (wert.empty()) {
        return std::string("Option --") + name + " braucht einen Wert";
    }
    ziel = wert;
    return {};
}

// A list of editor lines: whole numbers >= 1, separated by commas.
std::string Zeilenliste(const std::string& wert, std::vector<std::int32_t>& ziel) {
    const std::string falsch =
        "Option --halt nimmt ZEILE[,ZEILE...] mit ganzen Zahlen ab 1: " + wert;
    std::vector<std::int32_t> zeilen;
    std::size_t anfang = 0;
    for (;;) {
        std::size_t komma = wert.find(',', anfang);
        std::string teil = wert.substr(anfang, komma == std::string::npos ? komma : komma - anfang);
        if (teil.empty() || teil.size() > 10 ||
            teil.find_first_not_of("0123456789") != std::string::npos) {
            return falsch;
        }
        long long zahl = std::stoll(teil);
        if (zahl < 1 || zahl > std::numeric_limits<std::int32_t>::max()) {
            return falsch;
        }
        zeilen.push_back(static_cast<std::int32_t>(zahl));
        if (komma == std::string::npos) {
            break;
        }
        anfang = komma + 1;
    }
    ziel = std::move(zeilen);
    return {};
}

const std::vector<Option> kTabelle = {
    {"port", 0, "NAME", "auto (Vorgabe), sim oder ein Parallelport aus --ports",
     [](Optionen& o, const std::string& w) { return Nichtleer("port", w, o.port.name); }},
    {"ports", 0, nullptr, "die registrierten Parallelports mit Adresse und Zugriff",
     [](Optionen& o, const std::string&) {
         o.ports = true;
         return std::string();
     }},
    {"sim", 0, "DATEI", "Szenario fuer das simulierte Interface (setzt --port=sim)",
     [](Optionen& o, const std::string& w) { return Nichtleer("sim", w, o.port.simDatei); }},
    {"port-log", 0, "DATEI", "jeden Portzugriff in DATEI protokollieren",
     [](Optionen& o, const std::string& w) { return Nichtleer("port-log", w, o.port.logDatei); }},
    {"antwort", 0, "ok|abbrechen", "Antwort auf jede WARNUNG, ohne zu fragen",
     [](Optionen& o, const std::string& w) {
         if (w == "ok" || w == "abbrechen") {
             o.antwort = w == "ok" ? services::Antwort::OK : services::Antwort::Abbrechen;
             return std::string();
         }
         return "Option --antwort nimmt ok oder abbrechen, nicht '" + w + "'";
     }},
    {"pruefen", 0, nullptr, "die Kommandodatei nur pruefen, nichts ausfuehren",
     [](Optionen& o, const std::string&) {
         o.pruefen = true;
         return std::string();
     }},
    {"streng", 0, nullptr, "mit --pruefen: Warnungen, die einen Abbruch ankuendigen, sind Fehler",
     [](Optionen& o, const std::string&) {
         o.streng = true;
         return std::string();
     }},
    {"panel", 0, nullptr, "mit Live-Panel laufen (auch am echten Port)",
     [](Optionen& o, const std::string&) {
         o.panel = true;
         return std::string();
     }},
    {"halt", 0, "ZEILE[,ZEILE...]", "mit --panel: vor diesen Zeilen anhalten",
     [](Optionen& o, const std::string& w) { return Zeilenliste(w, o.haltZeilen); }},
    {"zeit", 0, "echt|virtuell",
     "Uhr des Laufs; virtuell: reproduzierbar und schneller als Echtzeit, nur auf "
     "dem simulierten Interface",
     [](Optionen& o, const std::string& w) {
         if (w == "echt" || w == "virtuell") {
             o.virtuelleZeit = w == "virtuell";
             return std::string();
         }
         return "Option --zeit nimmt echt oder virtuell, nicht '" + w + "'";
     }},
    {"vcd", 0, "DATEI", "Zeitdiagramm des Laufs (VCD) in DATEI schreiben",
     [](Optionen& o, const std::string& w) { return Nichtleer("vcd", w, o.vcdDatei); }},
    {"vcd-bits", 0, "DATEI",
     "dasselbe Zeitdiagramm nur mit 1-Bit-Signalen (fuer PulseView, sigrok-cli) in DATEI",
     [](Optionen& o, const std::string& w) { return Nichtleer("vcd-bits", w, o.vcdBitsDatei); }},
    {"spur", 0, "DATEI",
     "jede Zeile des Laufs in DATEI mitschreiben, - ist die Standardfehlerausgabe",
     [](Optionen& o, const std::string& w) { return Nichtleer("spur", w, o.spurDatei); }},
    {"abdeckung", 0, "DATEI", "Zeilen- und Zweigabdeckung des Laufs als lcov-Datei schreiben",
     [](Optionen& o, const std::string& w) { return Nichtleer("abdeckung", w, o.abdeckungDatei); }},
    {"help", 'h', nullptr, "diese Hilfe ausgeben",
     [](Optionen& o, const std::string&) {
         o.hilfe = true;
         return std::string();
     }},
    {"version", 'V', nullptr, "Version und Lizenz ausgeben",
     [](Optionen& o, const std::string&) {
         o.version = true;
         return std::string();
     }},
};

// getopt_long gives a long option this value plus its row.
constexpr int kLang = 256;

// What is wrong with an argument that getopt_long refused as an option.
std::string Unbekannt(const std::string& argument) {
    if (argument.rfind("--", 0) != 0 || argument.size() < 3 || argument[2] == '-') {
        return "unbekannte Option " + argument;
    }
    std::string name = argument.substr(2, argument.find('=') - 2);
    std::string passend;
    for (const Option& option : kTabelle) {
        if (std::string(option.name).rfind(name, 0) == 0) {
            passend += std::string(passend.empty() ? "" : ", ") + "--" + option.name;
        }
    }
    if (passend.find(',') != std::string::npos) {
        return "mehrdeutige Option --" + name + " (" + passend + ")";
    }
    return "unbekannte Option --" + name;
}

}  // namespace

const std::vector<Option>& Optionstabelle() {
    return kTabelle;
}

Optionen ParseOptionen(int argc, char** argv) {
    std::vector<std::string> argumente;
    for (int i = 1; i < argc; ++i) {
        argumente.emplace_back(argv[i]);
    }
    return ParseOptionen(argumente);
}

Optionen ParseOptionen(const std::vector<std::string>& argumente) {
    Optionen o;
    std::vector<std::string> kopie = {"taktler"};
    kopie.insert(kopie.end(), argumente.begin(), argumente.end());
    std::vector<char*> argv;
    for (std::string& arg : kopie) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(kopie.size());

    // "-": file arguments come back in their order as value of code 1, so
    // options may stand anywhere whatever POSIXLY_CORRECT says; ":": a
    // missing value is told apart from an unknown option.
    std::string kurz = "-:";
    std::vector<option> lang;
    for (std::size_t i = 0; i < kTabelle.size(); ++i) {
        const Option& zeile = kTabelle[i];
        const int art = zeile.wert != nullptr ? required_argument : no_argument;
        lang.push_back({zeile.name, art, nullptr, kLang + static_cast<int>(i)});
        if (zeile.kurz != 0) {
            kurz += zeile.kurz;
            kurz += zeile.wert != nullptr ? ":" : "";
        }
    }
    lang.push_back({nullptr, 0, nullptr, 0});

    // The messages are the program's own; 0 makes glibc start afresh, also
    // after an earlier parse in the same process.
    opterr = 0;
    optind = 0;
    for (;;) {
        int c = getopt_long(argc, argv.data(), kurz.c_str(), lang.data(), nullptr);
        if (c == -1) {
            break;
        }
        if (c == 1) {
            o.dateien.emplace_back(optarg);
            continue;
        }
        const Option* zeile = nullptr;
        if (c >= kLang) {
            zeile = &kTabelle[static_cast<std::size_t>(c - kLang)];
        } else if (c != '?' && c != ':') {
            for (const Option& z : kTabelle) {
                zeile = z.kurz == c ? &z : zeile;
            }
        }
        if (zeile != nullptr) {
            o.fehler = zeile->setze(o, optarg != nullptr ? optarg : "");
        } else if (optopt >= kLang) {
            const char* name = kTabelle[static_cast<std::size_t>(optopt - kLang)].name;
            o.fehler = std::string("Option --") + name +
                       (c == ':' ? " braucht einen Wert" : " nimmt keinen Wert");
        } else if (optopt != 0) {
            o.fehler = c == ':' ? std::string("Option -") + static_cast<char>(optopt) +
                                      " braucht einen Wert"
                                : std::string("unbekannte Option -") + static_cast<char>(optopt);
        } else {
            o.fehler = Unbekannt(argv[static_cast<std::size_t>(optind - 1)]);
        }
        if (!o.fehler.empty()) {
            return o;
        }
    }
    for (int i = optind; i < argc; ++i) {
        o.dateien.emplace_back(argv[static_cast<std::size_t>(i)]);
    }
    // Breakpoints hold the panel's run.
    if (!o.haltZeilen.empty() && !o.panel) {
        o.fehler = "Option --halt geht nur mit --panel";
        return o;
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
    if (!optionen.vcdBitsDatei.empty()) {
        rollen.push_back({"--vcd-bits=", optionen.vcdBitsDatei});
    }
    // "-" is standard error, no file.
    if (!optionen.spurDatei.empty() && optionen.spurDatei != "-") {
        rollen.push_back({"--spur=", optionen.spurDatei});
    }
    if (!optionen.abdeckungDatei.empty()) {
        rollen.push_back({"--abdeckung=", optionen.abdeckungDatei});
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
    std::string text =
        "Aufruf: taktler [OPTION...] <Kommandodatei> <Protokolldatei> [ARG...]\n"
        "        taktler --pruefen [OPTION...] <Kommandodatei>...\n"
        "\n"
        "Fuehrt eine Kommandodatei gegen das Interface am Parallelport aus.\n"
        "Optionen duerfen ueberall stehen, ein einzelnes -- beendet sie.\n"
        "\n";
    constexpr std::size_t kSpalte = 24;
    for (const Option& option : kTabelle) {
        std::string links = option.kurz != 0 ? std::string("  -") + option.kurz + ", --" : "  --";
        links += option.name;
        if (option.wert != nullptr) {
            links += std::string("=") + option.wert;
        }
        // Long entries put their text on a line of its own; the text wraps at 80 columns.
        links += links.size() + 1 < kSpalte ? std::string(kSpalte - links.size(), ' ')
                                            : "\n" + std::string(kSpalte, ' ');
        std::size_t spalte = kSpalte;
        std::istringstream woerter(option.hilfe);
        bool erstes = true;
        for (std::string wort; woerter >> wort; erstes = false) {
            if (!erstes && spalte + 1 + wort.size() > 80) {
                links += "\n" + std::string(kSpalte, ' ');
                spalte = kSpalte;
            } else if (!erstes) {
                links += ' ';
                ++spalte;
            }
            links += wort;
            spalte += wort.size();
        }
        text += links + "\n";
    }
    return text + "\nExit-Codes: 0 normales Ende, 12 Fehler, 99 interner Portfehler.\n";
}

std::string Versionstext(const char* version) {
    return std::string("taktler ") + version +
           "\n"
           "Copyright (C) 2026 TAKTLER-Projekt\n"
           "Lizenz: GPL-3.0-or-later, GNU GPL Version 3 oder neuer "
           "<https://www.gnu.org/licenses/gpl-3.0.html>\n"
           "Dies ist freie Software: Sie duerfen sie aendern und weitergeben.\n"
           "Es gibt KEINE GARANTIE, soweit das Gesetz es zulaesst.\n";
}

}  // namespace taktler::app
