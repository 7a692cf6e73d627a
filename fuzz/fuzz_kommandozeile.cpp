// ParseKommandozeile and GibKommando on arbitrary lines, one record for all
// lines of an input as in the script loop, checked against a plain model.
#include <algorithm>
#include <array>
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

template <std::size_t N>
std::string Feld(const std::array<char, N>& feld) {
    fuzz::Pruefe(std::memchr(feld.data(), '\0', N) != nullptr, "field without terminator");
    return feld.data();
}

// The splitting rules written out plainly, on the upper-cased line: the
// keyword and the parameters the line supplies, each cut to its field.
std::vector<std::string> Modell(const std::string& zeile) {
    const std::size_t i = zeile.find_first_not_of(' ');
    if (i == std::string::npos || zeile[i] == ';') {
        return {";"};
    }
    std::vector<std::string> felder(1);
    for (std::size_t j = i; j < zeile.size(); ++j) {
        if (zeile[j] == ' ' || zeile[j] == ',') {
            j = zeile.find_first_not_of(' ', j + 1) - 1;
            felder.emplace_back();
        } else {
            felder.back().push_back(zeile[j]);
        }
    }
    felder.resize(std::min<std::size_t>(felder.size(), 4));
    for (std::size_t k = 0; k < felder.size(); ++k) {
        felder[k].resize(
            std::min(felder[k].size(),
                     (k == 0 ? interpreter::kKommandoLaenge : interpreter::kParameterLaenge) - 1));
    }
    return felder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    fuzz::Installiere().fenster.Zuruecksetzen(0);
    const std::string eingabe(reinterpret_cast<const char*>(daten), groesse);
    interpreter::Kommandozeile* kz = interpreter::KommandozeileCreate();
    std::vector<std::string> erwartet(4);  // parameters keep the text of earlier lines
    for (std::size_t anfang = 0, ende; anfang <= eingabe.size(); anfang = ende + 1) {
        ende = std::min(eingabe.find('\n', anfang), eingabe.size());
        // Exactly as long as the line: ASan sees any write past it.
        std::string roh = eingabe.substr(anfang, ende - anfang);
        std::vector<char> zeile(roh.begin(), roh.begin() + std::min(roh.find('\0'), roh.size()));
        zeile.push_back('\0');
        services::strTrimEnde(zeile.data());
        std::string gross(zeile.data());
        for (char& c : gross) {
            c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        const std::vector<std::string> m = Modell(gross);
        std::copy(m.begin(), m.end(), erwartet.begin());

        fuzz::Pruefe(interpreter::ParseKommandozeile(zeile.data(), kz), "parse gave false");
        fuzz::Pruefe(
            std::none_of(zeile.begin(), zeile.end(), [](char c) { return c >= 'a' && c <= 'z'; }),
            "line not upper-cased");
        fuzz::Pruefe(Feld(kz->Kommando) == erwartet[0] && Feld(kz->Parameter1) == erwartet[1] &&
                         Feld(kz->Parameter2) == erwartet[2] && Feld(kz->Parameter3) == erwartet[3],
                     "fields differ", gross);
        fuzz::Pruefe(Feld(kz->Parameter4).empty(), "Parameter4 written");

        const std::int32_t code = interpreter::GibKommando(kz);
        bool bekannt = false;
        for (const char* wort :
             {"EINSCHALTEN", "SOUND", "NOTHALT", "AUSSCHALTEN", "TRACELEVEL", "BIS", "ENDE_BIS",
              "RUFE", "UNTERPROGRAMM", "ENDE_UNTERPROGRAMM", "REBOOT", "MELDUNG", "PAUSE", "INFO",
              "TRANSFER", ";", "ENDE", "ELSE", "EXIT"}) {
            bekannt = bekannt || Feld(kz->Kommando) == wort;
        }
        fuzz::Pruefe(code >= 0 && code <= 19 && bekannt == (code != interpreter::kUnbekannt),
                     "code out of range or disagreeing with the keyword");
        (void)interpreter::ZahlAusText(kz->Parameter1.data());
        (void)interpreter::ZahlAusText(kz->Parameter3.data());
        try {
            const std::int32_t b = interpreter::GibBedingung(kz);
            fuzz::Pruefe(b >= 0 && b <= 4, "condition out of range");
        } catch (const services::Programmende& e) {
            fuzz::Pruefe(e.code == 12, "condition abort code");
        }
    }
    interpreter::KommandozeileDispose(kz);
    ZustandZuruecksetzen();
    return 0;
}
