// ParseKommandozeile and GibKommando on arbitrary lines, one record for all
// lines of an input as in the script loop, checked against a plain model.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "interpreter/kommandozeile.h"
#include "services/strtools.h"
#include "testhilfe/stumme_seams.h"
#include "testhilfe/zuruecksetzen.h"

namespace {

using namespace taktler;
using interpreter::Kommandozeile;

const char* const kWoerter[] = {
    "EINSCHALTEN", "SOUND",    "NOTHALT", "AUSSCHALTEN",   "TRACELEVEL",
    "BIS",         "ENDE_BIS", "RUFE",    "UNTERPROGRAMM", "ENDE_UNTERPROGRAMM",
    "REBOOT",      "MELDUNG",  "PAUSE",   "INFO",          "TRANSFER",
    ";",           "ENDE",     "ELSE",    "EXIT"};

template <std::size_t N>
std::string Feld(const std::array<char, N>& feld) {
    const void* nul = std::memchr(feld.data(), '\0', N);
    fuzz::Pruefe(nul != nullptr, "field without terminator");
    return std::string(feld.data());
}

std::string Gekappt(const std::string& s, std::size_t n) {
    std::string t = s.substr(0, s.find('\0'));
    return t.size() < n ? t : t.substr(0, n - 1);
}

struct Erwartung {
    std::string kommando;
    std::vector<std::string> parameter;  // only those the line supplies
};

// The splitting rules written out plainly, on the upper-cased line.
Erwartung Modell(const std::string& zeile) {
    Erwartung e;
    std::size_t i = 0;
    while (i < zeile.size() && zeile[i] == ' ') {
        ++i;
    }
    if (i == zeile.size() || zeile[i] == ';') {
        e.kommando = ";";
        return e;
    }
    std::vector<std::string> felder(1);
    while (i < zeile.size()) {
        char c = zeile[i];
        if (c == ' ' || c == ',') {
            ++i;
            while (i < zeile.size() && zeile[i] == ' ') {
                ++i;
            }
            felder.emplace_back();
        } else {
            felder.back().push_back(c);
            ++i;
        }
    }
    e.kommando = felder[0];
    for (std::size_t k = 1; k < felder.size() && k <= 3; ++k) {
        e.parameter.push_back(felder[k]);
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    fuzz::Seams& seams = fuzz::Installiere();
    seams.fenster.Zuruecksetzen(0);
    const std::string eingabe(reinterpret_cast<const char*>(daten), groesse);

    Kommandozeile* kz = interpreter::KommandozeileCreate();
    std::string p[3] = {"", "", ""};
    std::size_t anfang = 0;
    while (anfang <= eingabe.size()) {
        std::size_t ende = eingabe.find('\n', anfang);
        if (ende == std::string::npos) {
            ende = eingabe.size();
        }
        // Exactly as long as the line: ASan sees any write past it.
        std::string roh = eingabe.substr(anfang, ende - anfang);
        roh = roh.substr(0, roh.find('\0'));
        std::vector<char> zeile(roh.begin(), roh.end());
        zeile.push_back('\0');
        anfang = ende + 1;

        services::strTrimEnde(zeile.data());
        std::string getrimmt(zeile.data());
        for (char& c : getrimmt) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        const Erwartung e = Modell(getrimmt);

        fuzz::Pruefe(interpreter::ParseKommandozeile(zeile.data(), kz), "parse gave false");
        for (char c : zeile) {
            fuzz::Pruefe(!(c >= 'a' && c <= 'z'), "line not upper-cased");
        }
        for (std::size_t k = 0; k < e.parameter.size(); ++k) {
            p[k] = e.parameter[k];
        }
        fuzz::Pruefe(Feld(kz->Kommando) == Gekappt(e.kommando, interpreter::kKommandoLaenge),
                     "keyword differs", getrimmt);
        fuzz::Pruefe(Feld(kz->Parameter1) == Gekappt(p[0], interpreter::kParameterLaenge),
                     "Parameter1 differs", getrimmt);
        fuzz::Pruefe(Feld(kz->Parameter2) == Gekappt(p[1], interpreter::kParameterLaenge),
                     "Parameter2 differs", getrimmt);
        fuzz::Pruefe(Feld(kz->Parameter3) == Gekappt(p[2], interpreter::kParameterLaenge),
                     "Parameter3 differs", getrimmt);
        fuzz::Pruefe(Feld(kz->Parameter4).empty(), "Parameter4 written");

        const std::int32_t code = interpreter::GibKommando(kz);
        fuzz::Pruefe(code >= 0 && code <= 19, "code out of range");
        bool bekannt = false;
        for (const char* wort : kWoerter) {
            bekannt = bekannt || Feld(kz->Kommando) == wort;
        }
        fuzz::Pruefe(bekannt == (code != interpreter::kUnbekannt), "code and keyword disagree");

        (void)interpreter::ZahlAusText(kz->Parameter1.data());
        (void)interpreter::ZahlAusText(kz->Parameter3.data());
        try {
            std::int32_t b = interpreter::GibBedingung(kz);
            fuzz::Pruefe(b >= 0 && b <= 4, "condition out of range");
        } catch (const services::Programmende& ende) {
            fuzz::Pruefe(ende.code == 12, "condition abort code");
        }
    }
    interpreter::KommandozeileDispose(kz);
    ZustandZuruecksetzen();
    return 0;
}
