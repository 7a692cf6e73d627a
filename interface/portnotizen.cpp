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

void PortNotizen::Messfenster(int lesungen, std::uint64_t dauerUs) const {
    Notiz(services::Format("# Messfenster: %d Lesungen in %llu us", lesungen,
                           static_cast<unsigned long long>(dauerUs)));
}

}  // namespace taktler::interface
