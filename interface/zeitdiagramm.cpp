// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/zeitdiagramm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "services/abschluss.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

constexpr const char* kMotor[4] = {"m1", "m2", "m3", "m4"};
constexpr const char* kSchalter[8] = {"s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8"};
constexpr const char* kAnalog[2] = {"a1", "a2"};
constexpr const char* kNothalt = "n";

Zeitdiagramm*& Installiertes() {
    static Zeitdiagramm* diagramm = nullptr;
    return diagramm;
}

}  // namespace

Zeitdiagramm* AktivesZeitdiagramm() {
    return Installiertes();
}

void SetzeZeitdiagramm(Zeitdiagramm* diagramm) {
    Installiertes() = diagramm;
}

std::unique_ptr<Zeitdiagramm> Zeitdiagramm::Oeffne(const std::string& datei, std::string& fehler) {
    int nummer = 0;
    auto kanal = services::Ausgabekanal::Oeffne(datei, false, nummer);
    if (!kanal) {
        fehler = datei + ": Zeitdiagramm kann nicht angelegt werden: " + std::strerror(nummer);
        return nullptr;
    }
    return std::unique_ptr<Zeitdiagramm>(new Zeitdiagramm(std::move(kanal), datei));
}

Zeitdiagramm::Zeitdiagramm(std::unique_ptr<services::Ausgabekanal> kanal, std::string name)
    : datei_(std::move(kanal)), name_(std::move(name)), startUs_(services::DieUhr().MonotonUs()) {
    // No date or version: a run in virtual time gives the same file anywhere.
    Text("$timescale 1 us $end\n");
    Text("$scope module taktler $end\n");
    for (int m = 0; m < 4; ++m) {
        Text(services::Format("$var wire 2 %s motor%d $end\n", kMotor[m], m + 1));
    }
    for (int s = 0; s < 8; ++s) {
        Text(services::Format("$var wire 1 %s schalter%d $end\n", kSchalter[s], s + 1));
    }
    for (int a = 0; a < 2; ++a) {
        Text(services::Format("$var integer 32 %s analog%d $end\n", kAnalog[a], a + 1));
    }
    Text(services::Format("$var wire 1 %s nothalt $end\n", kNothalt));
    Text("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n");
    for (const char* kennung : kMotor) {
        Vektor(0, 2, kennung);
    }
    for (const char* kennung : kSchalter) {
        Skalar(false, kennung);
    }
    for (const char* kennung : kAnalog) {
        Vektor(0, 0, kennung);
    }
    Skalar(false, kNothalt);
    Text("$end\n");
    abschluss_ = services::AusgabeAnmelden([this] { Abschliessen(); });
    Pruefen();
}

Zeitdiagramm::~Zeitdiagramm() {
    try {
        Abschliessen();
    } catch (...) {
        // Only the test seam's exit throws; a destructor must not pass it on.
    }
}

void Zeitdiagramm::Text(std::string_view text) {
    if (datei_ && fehler_ == 0) {
        fehler_ = datei_->Schreibe(text);
    }
}

void Zeitdiagramm::Pruefen() {
    if (datei_ && fehler_ != 0) {
        Verloren(fehler_);
    }
}

void Zeitdiagramm::Verloren(int fehler) {
    services::AusgabeAbmelden(abschluss_);
    datei_.reset();
    services::Ausgabefehler(name_ + ": Zeitdiagramm kann nicht geschrieben werden: " +
                            std::strerror(fehler != 0 ? fehler : EIO));
}

std::uint64_t Zeitdiagramm::Zeit() const {
    return services::DieUhr().MonotonUs() - startUs_;
}

void Zeitdiagramm::Stempel(std::uint64_t zeit) {
    if (zeit > letzteZeit_) {
        letzteZeit_ = zeit;
        Text(services::Format("#%llu\n", static_cast<unsigned long long>(zeit)));
    }
}

void Zeitdiagramm::Skalar(bool wert, const char* kennung) {
    Text(std::string(1, wert ? '1' : '0') + kennung + "\n");
}

// bits = 0: as few digits as the value needs.
void Zeitdiagramm::Vektor(std::uint32_t wert, int bits, const char* kennung) {
    char text[40];
    int n = 0;
    int stellen = bits;
    if (stellen == 0) {
        stellen = 1;
        while (stellen < 32 && (wert >> stellen) != 0) {
            ++stellen;
        }
    }
    text[n++] = 'b';
    for (int i = stellen - 1; i >= 0; --i) {
        text[n++] = ((wert >> i) & 1U) != 0 ? '1' : '0';
    }
    text[n++] = ' ';
    Text(std::string(text, static_cast<std::size_t>(n)) + kennung + "\n");
}

void Zeitdiagramm::Motoren(std::uint8_t motorbyte) {
    if (!datei_) {
        return;
    }
    for (std::size_t m = 0; m < motoren_.size(); ++m) {
        const auto bits = static_cast<std::uint8_t>((motorbyte >> (2 * m)) & 3U);
        if (bits != motoren_[m]) {
            motoren_[m] = bits;
            Stempel(Zeit());
            Vektor(bits, 2, kMotor[m]);
        }
    }
    Pruefen();
}

void Zeitdiagramm::Schalter(int k, bool zu, std::uint64_t gelesenUm) {
    if (!datei_ || k < 1 || k > 8) {
        return;
    }
    auto& alt = schalter_[static_cast<std::size_t>(k - 1)];
    if (alt != zu) {
        alt = zu;
        Stempel(gelesenUm - startUs_);
        Skalar(zu, kSchalter[k - 1]);
        Pruefen();
    }
}

void Zeitdiagramm::Analog(int k, std::int32_t wert) {
    if (!datei_ || k < 1 || k > 2) {
        return;
    }
    auto& alt = analog_[static_cast<std::size_t>(k - 1)];
    if (alt != wert) {
        alt = wert;
        Stempel(Zeit());
        Vektor(static_cast<std::uint32_t>(wert), 0, kAnalog[k - 1]);
        Pruefen();
    }
}

void Zeitdiagramm::Nothalt(bool scharf) {
    if (!datei_ || scharf == nothalt_) {
        return;
    }
    nothalt_ = scharf;
    Stempel(Zeit());
    Skalar(scharf, kNothalt);
    Pruefen();
}

void Zeitdiagramm::Abschliessen() {
    services::AusgabeAbmelden(abschluss_);
    if (!datei_) {
        return;
    }
    // Every time stamp so far carries changes; the end gets one of its own,
    // after the last change, so that a viewer shows that change for at least
    // a microsecond.
    letzteZeit_ = std::max(Zeit(), letzteZeit_ + 1);
    Text(services::Format("#%llu\n", static_cast<unsigned long long>(letzteZeit_)));
    int fehler = fehler_;
    const int schliessen = datei_->Schliessen();
    fehler = fehler != 0 ? fehler : schliessen;
    datei_.reset();
    if (fehler != 0) {
        Verloren(fehler);
    }
}

}  // namespace taktler::interface
