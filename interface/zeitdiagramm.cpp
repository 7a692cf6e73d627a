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
    std::FILE* f = std::fopen(datei.c_str(), "w");
    if (f == nullptr) {
        fehler = datei + ": Zeitdiagramm kann nicht angelegt werden: " + std::strerror(errno);
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
    return std::unique_ptr<Zeitdiagramm>(new Zeitdiagramm(f, datei));
}

Zeitdiagramm::Zeitdiagramm(std::FILE* datei, std::string name)
    : datei_(datei), name_(std::move(name)), startUs_(services::DieUhr().MonotonUs()) {
    // No date or version: a run in virtual time gives the same file anywhere.
    std::fputs("$timescale 1 us $end\n", datei_);
    std::fputs("$scope module taktler $end\n", datei_);
    for (int m = 0; m < 4; ++m) {
        std::fprintf(datei_, "$var wire 2 %s motor%d $end\n", kMotor[m], m + 1);
    }
    for (int s = 0; s < 8; ++s) {
        std::fprintf(datei_, "$var wire 1 %s schalter%d $end\n", kSchalter[s], s + 1);
    }
    for (int a = 0; a < 2; ++a) {
        std::fprintf(datei_, "$var integer 32 %s analog%d $end\n", kAnalog[a], a + 1);
    }
    std::fprintf(datei_, "$var wire 1 %s nothalt $end\n", kNothalt);
    std::fputs("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n", datei_);
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
    std::fputs("$end\n", datei_);
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

void Zeitdiagramm::Pruefen() {
    if (datei_ != nullptr && std::ferror(datei_) != 0) {
        Verloren(errno);
    }
}

void Zeitdiagramm::Verloren(int fehler) {
    services::AusgabeAbmelden(abschluss_);
    if (datei_ != nullptr) {
        std::fclose(datei_);
        datei_ = nullptr;
    }
    services::Ausgabefehler(name_ + ": Zeitdiagramm kann nicht geschrieben werden: " +
                            std::strerror(fehler != 0 ? fehler : EIO));
}

std::uint64_t Zeitdiagramm::Zeit() const {
    return services::DieUhr().MonotonUs() - startUs_;
}

void Zeitdiagramm::Stempel(std::uint64_t zeit) {
    if (zeit > letzteZeit_) {
        letzteZeit_ = zeit;
        std::fprintf(datei_, "#%llu\n", static_cast<unsigned long long>(zeit));
    }
}

void Zeitdiagramm::Skalar(bool wert, const char* kennung) {
    std::fputc(wert ? '1' : '0', datei_);
    std::fputs(kennung, datei_);
    std::fputc('\n', datei_);
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
    std::fwrite(text, 1, static_cast<std::size_t>(n), datei_);
    std::fputs(kennung, datei_);
    std::fputc('\n', datei_);
}

void Zeitdiagramm::Motoren(std::uint8_t motorbyte) {
    if (datei_ == nullptr) {
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
    if (datei_ == nullptr || k < 1 || k > 8) {
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
    if (datei_ == nullptr || k < 1 || k > 2) {
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
    if (datei_ == nullptr || scharf == nothalt_) {
        return;
    }
    nothalt_ = scharf;
    Stempel(Zeit());
    Skalar(scharf, kNothalt);
    Pruefen();
}

void Zeitdiagramm::Abschliessen() {
    services::AusgabeAbmelden(abschluss_);
    if (datei_ == nullptr) {
        return;
    }
    // Every time stamp so far carries changes; the end gets one of its own,
    // after the last change, so that a viewer shows that change for at least
    // a microsecond.
    letzteZeit_ = std::max(Zeit(), letzteZeit_ + 1);
    std::fprintf(datei_, "#%llu\n", static_cast<unsigned long long>(letzteZeit_));
    errno = 0;
    int fehler =
        std::fflush(datei_) == 0 && std::ferror(datei_) == 0 ? 0 : (errno != 0 ? errno : EIO);
    if (std::fclose(datei_) != 0 && fehler == 0) {
        fehler = errno;
    }
    datei_ = nullptr;
    if (fehler != 0) {
        Verloren(fehler);
    }
}

}  // namespace taktler::interface
