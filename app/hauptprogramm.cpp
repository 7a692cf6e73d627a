// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/hauptprogramm.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/optionen.h"
#include "interface/port.h"
#include "interface/portwahl.h"
#include "interface/zeitdiagramm.h"
#include "interpreter/aufzeichnung.h"
#include "interpreter/taktler.h"
#include "panel/panel.h"
#include "pruefen/pruefen.h"
#include "services/systemsound.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"
#include "services/virtuelleuhr.h"

namespace taktler::app {

int Hauptprogramm(int argc, char** argv) {
    Optionen optionen = ParseOptionen(argc, argv);
    if (!optionen.fehler.empty()) {
        services::FehlerAusgabe("taktler: %s\n%s\n", optionen.fehler.c_str(), kHilfehinweis);
        return 12;
    }
    if (optionen.hilfe) {
        services::Ausgabe("%s", Hilfetext().c_str());
        return 0;
    }
    if (optionen.version) {
        services::Ausgabe("%s", Versionstext(TAKTLER_VERSION).c_str());
        return 0;
    }
    if (optionen.ports) {
        std::string hinweis;
        for (const auto& zeile : interface::ListePorts(interface::EchtesPortSystem(), &hinweis)) {
            services::Ausgabe("%s\n", zeile.c_str());
        }
        if (!hinweis.empty()) {
            services::FehlerAusgabe("taktler: %s\n", hinweis.c_str());
        }
        return 0;
    }
    if (optionen.pruefen) {
        return pruefen::Pruefen(optionen.dateien,
                                optionen.streng);  // before any port is opened
    }
    // Before anything is opened for writing.
    std::string gleich = GleicheDatei(Dateirollen(optionen));
    if (!gleich.empty()) {
        services::FehlerAusgabe("taktler: %s\n", gleich.c_str());
        return 12;
    }
    if (optionen.antwort) {
        services::StandardFenster().festeAntwort = optionen.antwort;
    }

    std::optional<services::VirtuelleUhr> virtuelleUhr;
    std::unique_ptr<interface::Zeitdiagramm> diagramm;
    // The seams this function installs are gone when it is left.
    struct Aufraeumen {
        services::Uhr* uhr = services::Umwelt().uhr;
        ~Aufraeumen() {
            interface::SetzeZeitdiagramm(nullptr);
            services::Umwelt().uhr = uhr;
        }
    } aufraeumen;

    // Virtual time is in force before the simulator is made: its time
    // events count from there.
    if (optionen.virtuelleZeit) {
        std::string fehler;
        auto start = services::VirtuellerStart(std::getenv("SOURCE_DATE_EPOCH"), fehler);
        if (!start) {
            services::FehlerAusgabe("taktler: %s\n", fehler.c_str());
            return 12;
        }
        virtuelleUhr.emplace(*start);
        services::Umwelt().uhr = &*virtuelleUhr;
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
    // A wrong argument count shows the usage and nothing else.
    if (!wahl.info.empty() && AnzahlPasst(optionen)) {
        services::FehlerAusgabe("taktler: %s\n", wahl.info.c_str());
    }
    std::vector<interface::Diagrammdatei> diagrammdateien;
    if (!optionen.vcdDatei.empty()) {
        diagrammdateien.push_back({optionen.vcdDatei, interface::Diagrammform::Vektoren});
    }
    if (!optionen.vcdBitsDatei.empty()) {
        diagrammdateien.push_back({optionen.vcdBitsDatei, interface::Diagrammform::Bits});
    }
    if (!diagrammdateien.empty()) {
        std::string fehler;
        diagramm = interface::Zeitdiagramm::Oeffne(diagrammdateien, fehler);
        if (!diagramm) {
            services::FehlerAusgabe("taktler: %s\n", fehler.c_str());
            return 12;
        }
        interface::SetzeZeitdiagramm(diagramm.get());
    }
    if (!optionen.spurDatei.empty() || !optionen.abdeckungDatei.empty()) {
        std::string fehler = interpreter::AufzeichnungOeffnen(
            optionen.spurDatei, optionen.abdeckungDatei,
            optionen.dateien.empty() ? std::string() : optionen.dateien[0]);
        if (!fehler.empty()) {
            services::FehlerAusgabe("taktler: %s\n", fehler.c_str());
            return 12;
        }
    }
    interface::PortAmEnde amEnde(wahl);
    interface::SetzePort(wahl.port.get());
    // Virtual time plays no sound: the run does not last as long as one.
    services::SetzeSoundgeraet(optionen.virtuelleZeit ? &services::SystemSoundStumm()
                                                      : &services::SystemSound());
    services::SignaleAbfangen();
    int code = optionen.panel
                   ? panel::PanelLauf(wahl.simulator, optionen.dateien, optionen.haltZeilen)
                   : interpreter::Programmlauf(optionen.dateien);
    // The end finishes the protocol file and the port log while the port is
    // still there: a signal during a wait for them still switches the
    // motors off.
    services::ProgrammBeenden(code);
}

}  // namespace taktler::app
