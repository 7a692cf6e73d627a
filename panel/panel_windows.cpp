// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows build has no live panel: the terminal library it draws with
// is not part of the cross build. --panel says so before any port opens.
#include "panel/panel.h"

namespace taktler::panel {

std::string PanelVorbereiten(interface::PortOptionen& port) {
    (void)port;
    return "--panel: das Panel gibt es in der Windows-Version nicht (siehe README, Windows)";
}

int PanelLauf(interface::Simulator* simulator, const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen) {
    (void)simulator;
    (void)dateien;
    (void)haltZeilen;
    return 12;
}

int PanelLauf(Bildschirm& schirm, interface::Simulator* simulator,
              const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen) {
    (void)schirm;
    return PanelLauf(simulator, dateien, haltZeilen);
}

}  // namespace taktler::panel
