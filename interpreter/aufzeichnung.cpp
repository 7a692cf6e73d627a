#include "interpreter/aufzeichnung.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "interpreter/kommandozeile.h"
#include "interpreter/zeilenindex.h"
#include "services/abschluss.h"
#include "services/ausgabekanal.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

struct Zaehler {
    std::uint64_t ausgefuehrt = 0;
    std::uint64_t offen = 0;     // BIS evaluations with the condition still open
    std::uint64_t erfuellt = 0;  // and with it met
};

struct Aufzeichnung {
    bool aktiv = false;
    std::string kommandodatei;  // as named, for FILE:LINE
    std::string quelle;         // absolute, for the tracefile

    std::FILE* spur = nullptr;
    bool spurAufKonsole = false;  // "-"
    std::string spurName;
    std::uint64_t startUs = 0;
    std::string zeile;  // the trace line, reused

    std::FILE* abdeckung = nullptr;
    std::string abdeckungName;
    std::vector<Zaehler> zaehler;  // by record

    std::int32_t satz = 0;  // the line taken last

    std::size_t abschluss = 0;  // the program end's finisher
};

Aufzeichnung& Die() {
    static Aufzeichnung a;
    return a;
}

std::string Grund(int fehler) {
    return std::strerror(fehler != 0 ? fehler : EIO);
}

// Through the output channel that every output of the run uses: a reader
// that stopped reading never holds up the run, and the end writes all.
std::FILE* OeffneAusgabe(const std::string& pfad) {
    int fehler = 0;
    auto kanal = services::Ausgabekanal::Oeffne(pfad, false, fehler);
    std::FILE* strom = kanal ? services::Ausgabekanal::AlsStrom(std::move(kanal), "w") : nullptr;
    if (strom == nullptr && fehler != 0) {
        errno = fehler;
    }
    return strom;
}

void Schliessen(std::FILE*& datei, const std::string& name, const char* was) {
    if (datei == nullptr) {
        return;
    }
    errno = 0;
    int fehler =
        std::fflush(datei) == 0 && std::ferror(datei) == 0 ? 0 : (errno != 0 ? errno : EIO);
    if (std::fclose(datei) != 0 && fehler == 0) {
        fehler = errno != 0 ? errno : EIO;
    }
    datei = nullptr;
    if (fehler != 0) {
        services::Ausgabefehler(name + ": " + was +
                                " kann nicht geschrieben werden: " + Grund(fehler));
    }
}

// A write that failed closes the file and reports it.
void PruefeSpur(Aufzeichnung& a) {
    if (a.spur != nullptr && std::ferror(a.spur) != 0) {
        const int fehler = errno;
        std::fclose(a.spur);
        a.spur = nullptr;
        services::Ausgabefehler(a.spurName +
                                ": Spur kann nicht geschrieben werden: " + Grund(fehler));
    }
}

template <typename T>
void Zahl(std::string& ziel, T wert) {
    char text[24];
    ziel.append(text,
                static_cast<std::size_t>(std::to_chars(text, text + sizeof text, wert).ptr - text));
}

void SchreibeSpur(Aufzeichnung& a, bool ausgefuehrt, std::int32_t stufe) {
    const Laufort ort = LaufortVon(DerZeilenindex(), a.satz);
    std::string& z = a.zeile;
    z.clear();
    Zahl(z, services::DieUhr().MonotonUs() - a.startUs);
    z += ' ';
    z += a.kommandodatei;
    z += ':';
    Zahl(z, ort.editorzeile);
    z += ' ';
    Zahl(z, stufe);
    z += ausgefuehrt ? " + " : " - ";
    z += ort.text;
    z += '\n';
    if (a.spurAufKonsole) {
        services::DieKonsole().Fehler(services::FuerStandardfehler(z));
        return;
    }
    std::fwrite(z.data(), 1, z.size(), a.spur);
    PruefeSpur(a);
}

std::int32_t KommandoVon(std::string_view text) {
    static Kommandozeile kz;
    std::string zeile(text);
    ParseKommandozeile(zeile.data(), &kz);
    return GibKommando(&kz);
}

void Zeile(std::string& ziel, const char* art, std::int32_t zeile) {
    ziel += art;
    Zahl(ziel, zeile);
}

// One record of the tracefile for the whole command file: the lines the
// copy holds with their counts, the lines behind it with none.
std::string Tracefile(const Aufzeichnung& a) {
    const Zeilenindex& index = DerZeilenindex();
    struct Befehl {
        std::int32_t editorzeile;
        bool bis;
        Zaehler z;
    };
    std::vector<Befehl> befehle;
    auto nimm = [&befehle](std::int32_t editorzeile, std::string_view text, const Zaehler& z) {
        const std::int32_t code = KommandoVon(text);
        if (code != kKommentar) {
            befehle.push_back({editorzeile, code == kBis, z});
        }
    };
    for (std::int32_t satz = 1; satz <= Zeilenanzahl(index); ++satz) {
        const auto i = static_cast<std::size_t>(satz);
        const Laufort ort = LaufortVon(index, satz);
        nimm(ort.editorzeile, ort.text, i < a.zaehler.size() ? a.zaehler[i] : Zaehler{});
    }
    for (const Restsatz& r : RestDerDatei(index)) {
        nimm(r.editorzeile, r.text, Zaehler{});
    }

    std::string t = "TN:\nSF:" + a.quelle + "\n";
    std::int32_t lh = 0;
    std::int32_t brf = 0;
    std::int32_t brh = 0;
    for (const Befehl& b : befehle) {
        if (!b.bis) {
            continue;
        }
        const bool ausgewertet = b.z.offen + b.z.erfuellt > 0;
        for (int zweig = 0; zweig < 2; ++zweig) {
            Zeile(t, "BRDA:", b.editorzeile);
            t += zweig == 0 ? ",0,0," : ",0,1,";
            const std::uint64_t n = zweig == 0 ? b.z.offen : b.z.erfuellt;
            if (ausgewertet) {
                Zahl(t, n);
            } else {
                t += '-';
            }
            t += '\n';
            ++brf;
            brh += n > 0 ? 1 : 0;
        }
    }
    Zeile(t, "BRF:", brf);
    Zeile(t, "\nBRH:", brh);
    t += '\n';
    for (const Befehl& b : befehle) {
        Zeile(t, "DA:", b.editorzeile);
        t += ',';
        Zahl(t, b.z.ausgefuehrt);
        t += '\n';
        lh += b.z.ausgefuehrt > 0 ? 1 : 0;
    }
    Zeile(t, "LF:", static_cast<std::int32_t>(befehle.size()));
    Zeile(t, "\nLH:", lh);
    t += "\nend_of_record\n";
    return t;
}

}  // namespace

std::string AufzeichnungOeffnen(const std::string& spur, const std::string& abdeckung,
                                const std::string& kommandodatei) {
    AufzeichnungZuruecksetzen();
    Aufzeichnung& a = Die();
    a.kommandodatei = kommandodatei;
    std::error_code ec;
    const std::filesystem::path absolut = std::filesystem::absolute(kommandodatei, ec);
    const std::filesystem::path aufgeloest = std::filesystem::weakly_canonical(absolut, ec);
    a.quelle = (ec ? absolut : aufgeloest).lexically_normal().string();
    if (spur == "-") {
        a.spurAufKonsole = true;
    } else if (!spur.empty()) {
        a.spur = OeffneAusgabe(spur);
        if (a.spur == nullptr) {
            return spur + ": Spur kann nicht angelegt werden: " + Grund(errno);
        }
        std::setvbuf(a.spur, nullptr, _IOFBF, 1 << 16);
        a.spurName = spur;
    }
    if (!abdeckung.empty()) {
        a.abdeckung = OeffneAusgabe(abdeckung);
        if (a.abdeckung == nullptr) {
            const std::string grund = Grund(errno);
            AufzeichnungZuruecksetzen();
            return abdeckung + ": Abdeckung kann nicht angelegt werden: " + grund;
        }
        a.abdeckungName = abdeckung;
    }
    a.aktiv = !spur.empty() || !abdeckung.empty();
    a.startUs = services::DieUhr().MonotonUs();
    if (a.aktiv) {
        a.abschluss = services::AusgabeAnmelden([] { AufzeichnungAbschliessen(); });
    }
    return "";
}

namespace {

Zaehler& ZaehlerVon(Aufzeichnung& a, std::int32_t satz) {
    const auto i = static_cast<std::size_t>(satz);
    if (i >= a.zaehler.size()) {
        a.zaehler.resize(i * 2 + 16);
    }
    return a.zaehler[i];
}

}  // namespace

void ZeileGenommen(bool ausgefuehrt, std::int32_t stufe) {
    Aufzeichnung& a = Die();
    if (!a.aktiv) {
        return;
    }
    a.satz = DerZeilenindex().laufsatz;
    if (a.satz < 1 || a.satz > Zeilenanzahl(DerZeilenindex())) {
        return;
    }
    if (a.spur != nullptr || a.spurAufKonsole) {
        SchreibeSpur(a, ausgefuehrt, stufe);
    }
    if (ausgefuehrt && a.abdeckung != nullptr) {
        ++ZaehlerVon(a, a.satz).ausgefuehrt;
    }
}

void KopfErreicht(std::int32_t satz) {
    Aufzeichnung& a = Die();
    if (a.aktiv && a.abdeckung != nullptr && satz > 0) {
        ++ZaehlerVon(a, satz).ausgefuehrt;
    }
}

void BisAusgewertet(bool offen) {
    Aufzeichnung& a = Die();
    if (!a.aktiv || a.abdeckung == nullptr) {
        return;
    }
    const auto satz = static_cast<std::size_t>(a.satz);
    if (satz < a.zaehler.size()) {
        ++(offen ? a.zaehler[satz].offen : a.zaehler[satz].erfuellt);
    }
}

void AufzeichnungAbschliessen() {
    Aufzeichnung& a = Die();
    if (!a.aktiv) {
        return;
    }
    services::AusgabeAbmelden(a.abschluss);
    a.aktiv = false;
    Schliessen(a.spur, a.spurName, "Spur");
    if (a.abdeckung != nullptr) {
        if (DerZeilenindex().datei != nullptr) {
            const std::string t = Tracefile(a);
            std::fwrite(t.data(), 1, t.size(), a.abdeckung);
        }
        Schliessen(a.abdeckung, a.abdeckungName, "Abdeckung");
    }
}

void AufzeichnungZuruecksetzen() {
    Aufzeichnung& a = Die();
    services::AusgabeAbmelden(a.abschluss);
    for (std::FILE* datei : {a.spur, a.abdeckung}) {
        if (datei != nullptr) {
            std::fclose(datei);
        }
    }
    a = Aufzeichnung{};
}

}  // namespace taktler::interpreter
