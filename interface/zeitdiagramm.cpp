// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/zeitdiagramm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "services/abschluss.h"
#include "services/ausgabekanal.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

constexpr const char* kMotor[4] = {"m1", "m2", "m3", "m4"};
constexpr const char* kSchalter[8] = {"s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8"};
constexpr const char* kAnalog[2] = {"a1", "a2"};
constexpr const char* kNothalt = "n";

// A motor's two wires in the form Bits, in the order of their names: the
// bit that LINKS latches (the interface's R, the higher one), then the one
// every other word latches (L).
struct Motordraht {
    unsigned maske;
    const char* endung;  // of the identifier
    const char* name;    // after "motorN_"
};
constexpr Motordraht kMotordraht[2] = {{2U, "l", "LINKS_R"}, {1U, "r", "RECHTS_L"}};

std::string Drahtkennung(std::size_t m, const Motordraht& draht) {
    return std::string(kMotor[m]) + draht.endung;
}

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

std::unique_ptr<Zeitdiagramm> Zeitdiagramm::Oeffne(const std::vector<Diagrammdatei>& dateien,
                                                   std::string& fehler) {
    std::vector<Datei> offen;
    for (const Diagrammdatei& d : dateien) {
        // Through the output channel that every output of the run uses: a
        // reader that stopped reading never holds up the run, the end writes
        // all, and a failed write keeps its own error number.
        int nummer = 0;
        auto kanal = services::Ausgabekanal::Oeffne(d.name, false, nummer);
        std::FILE* f = kanal ? services::Ausgabekanal::AlsStrom(std::move(kanal), "w") : nullptr;
        if (f == nullptr) {
            fehler = d.name + ": Zeitdiagramm kann nicht angelegt werden: " +
                     std::strerror(nummer != 0 ? nummer : errno);
            for (Datei& schon : offen) {
                std::fclose(schon.f);
            }
            return nullptr;
        }
        offen.push_back(Datei{f, d.name, d.form});
    }
    return std::unique_ptr<Zeitdiagramm>(new Zeitdiagramm(std::move(offen)));
}

Zeitdiagramm::Zeitdiagramm(std::vector<Datei> dateien)
    : dateien_(std::move(dateien)), startUs_(services::DieUhr().MonotonUs()) {
    for (Datei& d : dateien_) {
        Kopf(d);
    }
    abschluss_ = services::AusgabeAnmelden([this] { Abschliessen(); });
    angemeldet_ = true;
    Pruefen();
}

// No date or version: a run in virtual time gives the same file anywhere.
void Zeitdiagramm::Kopf(Datei& d) {
    std::fputs("$timescale 1 us $end\n", d.f);
    std::fputs("$scope module taktler $end\n", d.f);
    for (std::size_t m = 0; m < 4; ++m) {
        if (d.form == Diagrammform::Vektoren) {
            std::fprintf(d.f, "$var wire 2 %s motor%zu $end\n", kMotor[m], m + 1);
        } else {
            for (const Motordraht& draht : kMotordraht) {
                std::fprintf(d.f, "$var wire 1 %s motor%zu_%s $end\n",
                             Drahtkennung(m, draht).c_str(), m + 1, draht.name);
            }
        }
    }
    for (int s = 0; s < 8; ++s) {
        std::fprintf(d.f, "$var wire 1 %s schalter%d $end\n", kSchalter[s], s + 1);
    }
    if (d.form == Diagrammform::Vektoren) {
        for (int a = 0; a < 2; ++a) {
            std::fprintf(d.f, "$var integer 32 %s analog%d $end\n", kAnalog[a], a + 1);
        }
    }
    std::fprintf(d.f, "$var wire 1 %s nothalt $end\n", kNothalt);
    std::fputs("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n", d.f);
    for (std::size_t m = 0; m < 4; ++m) {
        if (d.form == Diagrammform::Vektoren) {
            Vektor(d, 0, 2, kMotor[m]);
        } else {
            for (const Motordraht& draht : kMotordraht) {
                Skalar(d, false, Drahtkennung(m, draht));
            }
        }
    }
    for (const char* kennung : kSchalter) {
        Skalar(d, false, kennung);
    }
    if (d.form == Diagrammform::Vektoren) {
        for (const char* kennung : kAnalog) {
            Vektor(d, 0, 0, kennung);
        }
    }
    Skalar(d, false, kNothalt);
    std::fputs("$end\n", d.f);
}

Zeitdiagramm::~Zeitdiagramm() {
    try {
        Abschliessen();
    } catch (...) {
        // Only the test seam's exit throws; a destructor must not pass it on.
    }
}

bool Zeitdiagramm::Offen() const {
    return std::any_of(dateien_.begin(), dateien_.end(),
                       [](const Datei& d) { return d.f != nullptr; });
}

void Zeitdiagramm::Pruefen() {
    for (Datei& d : dateien_) {
        if (d.f != nullptr && std::ferror(d.f) != 0) {
            Verloren(d, errno);
        }
    }
}

void Zeitdiagramm::Verloren(Datei& d, int fehler) {
    if (d.f != nullptr) {
        std::fclose(d.f);
        d.f = nullptr;
    }
    if (!Offen() && angemeldet_) {
        angemeldet_ = false;
        services::AusgabeAbmelden(abschluss_);
    }
    services::Ausgabefehler(d.name + ": Zeitdiagramm kann nicht geschrieben werden: " +
                            std::strerror(fehler != 0 ? fehler : EIO));
}

std::uint64_t Zeitdiagramm::Zeit() const {
    return services::DieUhr().MonotonUs() - startUs_;
}

void Zeitdiagramm::Stempel(Datei& d, std::uint64_t zeit) {
    if (zeit > d.letzteZeit) {
        d.letzteZeit = zeit;
        std::fprintf(d.f, "#%llu\n", static_cast<unsigned long long>(zeit));
    }
}

void Zeitdiagramm::Skalar(Datei& d, bool wert, const std::string& kennung) {
    std::fputc(wert ? '1' : '0', d.f);
    std::fputs(kennung.c_str(), d.f);
    std::fputc('\n', d.f);
}

// bits = 0: as few digits as the value needs.
void Zeitdiagramm::Vektor(Datei& d, std::uint32_t wert, int bits, const char* kennung) {
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
    std::fwrite(text, 1, static_cast<std::size_t>(n), d.f);
    std::fputs(kennung, d.f);
    std::fputc('\n', d.f);
}

void Zeitdiagramm::Motoren(std::uint8_t motorbyte) {
    for (std::size_t m = 0; m < motoren_.size(); ++m) {
        const auto bits = static_cast<std::uint8_t>((motorbyte >> (2 * m)) & 3U);
        const std::uint8_t alt = motoren_[m];
        if (bits == alt) {
            continue;
        }
        motoren_[m] = bits;
        for (Datei& d : dateien_) {
            if (d.f == nullptr) {
                continue;
            }
            Stempel(d, Zeit());
            if (d.form == Diagrammform::Vektoren) {
                Vektor(d, bits, 2, kMotor[m]);
                continue;
            }
            for (const Motordraht& draht : kMotordraht) {
                if (((bits ^ alt) & draht.maske) != 0) {
                    Skalar(d, (bits & draht.maske) != 0, Drahtkennung(m, draht));
                }
            }
        }
    }
    Pruefen();
}

void Zeitdiagramm::Schalter(int k, bool zu, std::uint64_t gelesenUm) {
    if (k < 1 || k > 8) {
        return;
    }
    auto& alt = schalter_[static_cast<std::size_t>(k - 1)];
    if (alt == zu) {
        return;
    }
    alt = zu;
    for (Datei& d : dateien_) {
        if (d.f != nullptr) {
            Stempel(d, gelesenUm - startUs_);
            Skalar(d, zu, kSchalter[k - 1]);
        }
    }
    Pruefen();
}

void Zeitdiagramm::Analog(int k, std::int32_t wert) {
    if (k < 1 || k > 2) {
        return;
    }
    auto& alt = analog_[static_cast<std::size_t>(k - 1)];
    if (alt == wert) {
        return;
    }
    alt = wert;
    for (Datei& d : dateien_) {
        if (d.f != nullptr && d.form == Diagrammform::Vektoren) {
            Stempel(d, Zeit());
            Vektor(d, static_cast<std::uint32_t>(wert), 0, kAnalog[k - 1]);
        }
    }
    Pruefen();
}

void Zeitdiagramm::Nothalt(bool scharf) {
    if (scharf == nothalt_) {
        return;
    }
    nothalt_ = scharf;
    for (Datei& d : dateien_) {
        if (d.f != nullptr) {
            Stempel(d, Zeit());
            Skalar(d, scharf, kNothalt);
        }
    }
    Pruefen();
}

void Zeitdiagramm::Abschliessen() {
    if (angemeldet_) {
        angemeldet_ = false;
        services::AusgabeAbmelden(abschluss_);
    }
    const std::uint64_t jetzt = Zeit();
    for (Datei& d : dateien_) {
        if (d.f == nullptr) {
            continue;
        }
        // Every time stamp so far carries changes; the end gets one of its
        // own, after the last change, so that a viewer shows that change for
        // at least a microsecond.
        d.letzteZeit = std::max(jetzt, d.letzteZeit + 1);
        std::fprintf(d.f, "#%llu\n", static_cast<unsigned long long>(d.letzteZeit));
        errno = 0;
        int fehler =
            std::fflush(d.f) == 0 && std::ferror(d.f) == 0 ? 0 : (errno != 0 ? errno : EIO);
        if (std::fclose(d.f) != 0 && fehler == 0) {
            fehler = errno;
        }
        d.f = nullptr;
        if (fehler != 0) {
            Verloren(d, fehler);
        }
    }
}

}  // namespace taktler::interface
