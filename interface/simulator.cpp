// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/simulator.h"

#include <algorithm>

#include "services/umgebung.h"

namespace taktler::interface {

namespace {

constexpr std::uint8_t kTakt = 0x08;
constexpr std::uint8_t kDaten = 0x04;
constexpr std::uint8_t kLaden = 0x02;
constexpr std::uint8_t kSchluss = 0x01;
constexpr std::uint8_t kStatusEingang = 0x20;
constexpr std::uint8_t kStatusAnalog = 0x10;

bool IstRahmenbyte(std::uint8_t b) {
    return (b & 0xF0) == 0xF0 && (b & kLaden) != 0;
}

bool Steigt(std::uint8_t alt, std::uint8_t neu, std::uint8_t bit) {
    return (alt & bit) == 0 && (neu & bit) != 0;
}

// Motor n's two bits: 01 left, 10 right, 00 and 11 off.
char Richtung(std::uint8_t motorbyte, int motor) {
    static constexpr char kRichtung[4] = {'N', 'L', 'R', 'N'};
    return kRichtung[(static_cast<unsigned>(motorbyte) >> (2 * motor)) & 3U];
}

}  // namespace

Simulator::Simulator(std::vector<Ereignis> szenario) : startMs_(services::DieUhr().MonotonMs()) {
    for (const Ereignis& e : szenario) {
        switch (e.anlass) {
            case Anlass::Start:
                Anwenden(e);
                break;
            case Anlass::Abfrage:
                beiAbfrage_.ereignisse.push_back(e);
                break;
            case Anlass::Messung:
                beiMessung_.ereignisse.push_back(e);
                break;
            case Anlass::Zeit:
                beiZeit_.ereignisse.push_back(e);
                break;
        }
    }
    for (Ereignisliste* liste : {&beiAbfrage_, &beiMessung_, &beiZeit_}) {
        std::stable_sort(liste->ereignisse.begin(), liste->ereignisse.end(),
                         [](const Ereignis& a, const Ereignis& b) { return a.n < b.n; });
    }
}

void Simulator::Anwenden(const Ereignis& e) {
    if (e.eingriff == Eingriff::Schalter) {
        if (e.k >= 1 && e.k <= 8) {
            schalter_[static_cast<std::size_t>(e.k - 1)] = e.wert != 0;
        }
    } else if (e.k >= 1 && e.k <= 2) {
        analog_[static_cast<std::size_t>(e.k - 1)] = std::clamp(e.wert, 0, kAnalogMaximum);
    }
}

void Simulator::Faellige(Ereignisliste& liste, std::uint64_t bis) {
    while (liste.naechstes < liste.ereignisse.size() &&
           liste.ereignisse[liste.naechstes].n <= bis) {
        Anwenden(liste.ereignisse[liste.naechstes]);
        ++liste.naechstes;
    }
}

void Simulator::ZeitPruefen() {
    // Only ask the clock while time events are still pending.
    if (beiZeit_.naechstes < beiZeit_.ereignisse.size()) {
        Faellige(beiZeit_, services::DieUhr().MonotonMs() - startMs_);
    }
}

bool Simulator::Schreibe(std::uint8_t neu) {
    ZeitPruefen();
    const std::uint8_t alt = daten_;
    daten_ = neu;
    const bool takt = Steigt(alt, neu, kTakt);
    bool gelatcht = false;

    if (!IstRahmenbyte(neu)) {
        geschoben_ = 0;
        if (takt) {
            if ((neu & kLaden) != 0) {
                ++abfragen_;
                Faellige(beiAbfrage_, abfragen_);
                eingabeSchieber_ = 0;
                for (std::size_t i = 0; i < schalter_.size(); ++i) {
                    if (schalter_[i]) {
                        eingabeSchieber_ |= static_cast<std::uint8_t>(1u << i);
                    }
                }
            } else {
                eingabeSchieber_ = static_cast<std::uint8_t>(eingabeSchieber_ << 1);
            }
        }
    } else {
        if ((alt & kSchluss) != 0 && (neu & kSchluss) == 0) {
            geschoben_ = 0;
        }
        if (takt) {
            motorSchieber_ =
                static_cast<std::uint8_t>((motorSchieber_ << 1) | ((neu & kDaten) != 0 ? 1 : 0));
            geschoben_ = std::min(geschoben_ + 1, 9);
        }
        if (Steigt(alt, neu, kSchluss) && (neu & kTakt) != 0) {
            if (geschoben_ == 8) {
                for (int m = 0; m < 4; ++m) {
                    motoren_[static_cast<std::size_t>(m)] = Richtung(motorSchieber_, m);
                }
                ++rahmen_;
                gelatcht = true;
            }
            geschoben_ = 0;
        }
    }

    const std::uint8_t auswahl = neu & 0x30;
    if (neu != alt && (neu & kSchluss) != 0 && (auswahl == 0x20 || auswahl == 0x10)) {
        ++messungen_;
        Faellige(beiMessung_, messungen_);
        kanten_ = analog_[auswahl == 0x20 ? 0 : 1];
        probe_ = 0;
    }
    return gelatcht;
}

void Simulator::NachLatch() {
    if (notizZiel_) {
        notizZiel_("# Motoren " + std::string(motoren_.begin(), motoren_.end()));
    }
    if (beobachter_) {
        beobachter_(motoren_);
    }
}

void Simulator::SchreibeByte(std::uint8_t wert) {
    if (Schreibe(wert)) {
        NachLatch();
    }
}

void Simulator::SchreibeWort(std::uint16_t wert) {
    // Only the low byte reaches the data register.
    SchreibeByte(static_cast<std::uint8_t>(wert & 0xFF));
}

std::uint8_t Simulator::LiesStatus() {
    ZeitPruefen();
    std::uint8_t status = 0;
    if ((eingabeSchieber_ & 0x80) != 0) {
        status |= kStatusEingang;
    }
    const auto signalEnde = static_cast<std::uint32_t>(2 * kanten_);
    if (probe_ < signalEnde) {
        if (probe_ % 2 == 1) {
            status |= kStatusAnalog;
        }
        ++probe_;
    }
    return status;
}

void Simulator::SetzeNotizZiel(std::function<void(const std::string&)> ziel) {
    notizZiel_ = std::move(ziel);
}

void Simulator::SetzeBeobachter(Beobachter beobachter) {
    beobachter_ = std::move(beobachter);
}

void Simulator::SetzeSchalter(int k, bool an) {
    Anwenden(Ereignis{Anlass::Start, 0, Eingriff::Schalter, k, an ? 1 : 0, 0});
}

void Simulator::SetzeAnalog(int k, int wert) {
    Anwenden(Ereignis{Anlass::Start, 0, Eingriff::Analog, k, wert, 0});
}

Simulator::Motorzustand Simulator::Motoren() const {
    return motoren_;
}

std::array<bool, 8> Simulator::Schalter() const {
    return schalter_;
}

int Simulator::AnalogWert(int k) const {
    return k >= 1 && k <= 2 ? analog_[static_cast<std::size_t>(k - 1)] : 0;
}

std::uint64_t Simulator::Rahmen() const {
    return rahmen_;
}

std::uint64_t Simulator::Abfragen() const {
    return abfragen_;
}

std::uint64_t Simulator::Messungen() const {
    return messungen_;
}

}  // namespace taktler::interface
