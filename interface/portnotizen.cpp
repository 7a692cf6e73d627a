// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/portnotizen.h"

#include "services/umgebung.h"

namespace taktler::interface {

void PortNotizen::Notiz(const std::string& text) const {
    if (ziel_) {
        ziel_(text);
    }
}

std::string PortNotizen::Stoerung(const std::string& name, const std::string& stoerung) {
    if (stoerung.empty()) {
        return {};
    }
    const std::string text = "Parallelport \"" + name + "\": " + stoerung;
    if (!stoerungGemeldet_) {
        stoerungGemeldet_ = true;
        Notiz("# Portfehler: " + text);
    }
    return text;
}

void PortNotizen::FensterOeffnen(std::uint64_t jetztUs) {
    fensterOffen_ = true;
    fensterLesungen_ = 0;
    fensterStartUs_ = jetztUs;
}

void PortNotizen::Gelesen() {
    if (fensterOffen_) {
        ++fensterLesungen_;
    }
}

void PortNotizen::FensterSchliessen(std::uint64_t endeUs) {
    fensterOffen_ = false;
    Notiz(services::Format("# Messfenster: %d Lesungen in %llu us", fensterLesungen_,
                           static_cast<unsigned long long>(endeUs - fensterStartUs_)));
}

}  // namespace taktler::interface
