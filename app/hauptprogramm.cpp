#include "app/hauptprogramm.h"

#include <string>

#include "app/optionen.h"
#include "interface/port.h"
#include "interface/portwahl.h"
#include "interpreter/pruefen.h"
#include "interpreter/taktler.h"
#include "panel/panel.h"
#include "services/sdlsound.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::app {

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
        return interpreter::Pruefen(optionen.dateien);  // before any port is opened
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
    interface::PortAmEnde amEnde(wahl);
    interface::SetzePort(wahl.port.get());
    services::SetzeSoundgeraet(&services::SdlGeraet());
    services::SignaleAbfangen();
    int code = optionen.panel ? panel::PanelLauf(wahl.simulator, optionen.dateien)
                              : interpreter::Programmlauf(optionen.dateien);
    // The end finishes the protocol file and the port log while the port is
    // still there: a signal during a wait for them still switches the
    // motors off.
    services::ProgrammBeenden(code);
}

}  // namespace taktler::app
