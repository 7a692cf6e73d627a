// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/bedienung.h"

#include <csignal>

#include "services/unterbrechung.h"

namespace taktler::panel {

namespace {

bool IstWeiss(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void Bedienung::AnalogAendern(int schritt) {
    // The model keeps the value within its range.
    if (sim_ != nullptr) {
        sim_->SetzeAnalog(auswahl_, sim_->AnalogWert(auswahl_) + schritt);
    }
}

void Bedienung::Taste(int t, bool wartet) {
    if (t >= '1' && t <= '8') {
        int k = t - '0';
        if (sim_ != nullptr) {
            sim_->SetzeSchalter(k, !sim_->Schalter()[static_cast<std::size_t>(k - 1)]);
        }
        return;
    }
    switch (t) {
        case taste::kTab:
            auswahl_ = auswahl_ == 1 ? 2 : 1;
            return;
        case taste::kHoch:
            AnalogAendern(kKleinerSchritt);
            return;
        case taste::kRunter:
            AnalogAendern(-kKleinerSchritt);
            return;
        case taste::kBildHoch:
            AnalogAendern(kGrosserSchritt);
            return;
        case taste::kBildRunter:
            AnalogAendern(-kGrosserSchritt);
            return;
        case taste::kEsc:
            services::SetzeUnterbrechung(SIGINT);
            return;
        default:
            break;
    }
    if (!wartet) {
        return;
    }
    if (t == taste::kEnter || t == '\r') {
        eingabe_.abgeschickt = eingabe_.zeile;
        eingabe_.zeile.clear();
    } else if (t == taste::kRueck) {
        if (!eingabe_.zeile.empty()) {
            eingabe_.zeile.pop_back();
        }
    } else if (t == taste::kEingabeEnde) {
        eingabe_.ende = true;
    } else if (t >= 0x20 && t < 0x7F) {
        eingabe_.zeile.push_back(static_cast<char>(t));
    }
}

bool NimmWort(std::string& vorrat, bool ende) {
    std::size_t anfang = 0;
    while (anfang < vorrat.size() && IstWeiss(vorrat[anfang])) {
        ++anfang;
    }
    std::size_t schluss = anfang;
    while (schluss < vorrat.size() && !IstWeiss(vorrat[schluss])) {
        ++schluss;
    }
    if (schluss == anfang) {
        vorrat.erase(0, anfang);
        return false;
    }
    if (schluss < vorrat.size()) {
        vorrat.erase(0, schluss + 1);  // the white space that ended it is read too
        return true;
    }
    if (ende) {
        vorrat.clear();
        return true;
    }
    return false;
}

bool IstOk(const std::string& zeile) {
    std::size_t i = zeile.find_first_not_of(" \t\r");
    return i != std::string::npos && (zeile[i] == 'o' || zeile[i] == 'O');
}

}  // namespace taktler::panel
