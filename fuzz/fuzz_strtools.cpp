// The string tools on arbitrary texts, capacities and numbers; each result
// is checked against the tool's rule written out plainly.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "services/strtools.h"
#include "services/trace.h"
#include "testhilfe/stumme_seams.h"

namespace {

using namespace taktler;

char Gross(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A number from one byte: small values, or values near the top of the
// range (high bit set), where sums wrap around.
std::uint32_t Zahl(std::uint8_t b) {
    return (b & 0x80) != 0 ? 0xFFFFFFFFu - (b & 0x7F) : b;
}

// Exactly capacity bytes on the heap, so ASan sees a write past them.
std::vector<char> Puffer(const std::string& inhalt, std::size_t kapazitaet) {
    std::vector<char> p(kapazitaet, 'X');
    if (kapazitaet > 0) {
        std::memcpy(p.data(), inhalt.c_str(), std::min(inhalt.size() + 1, kapazitaet));
    }
    return p;
}

std::int32_t Finde(const std::string& text, const std::string& muster) {
    if (muster.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i + muster.size() <= text.size(); ++i) {
        bool gleich = true;
        for (std::size_t j = 0; j < muster.size() && gleich; ++j) {
            gleich = Gross(text[i + j]) == Gross(muster[j]);
        }
        if (gleich) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::string TrimEnde(std::string s) {
    while (s.size() > 1 && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) {
        s.pop_back();
    }
    return s;
}

// Runs f; gives the exit code of an abort, or -1.
template <typename F>
int Ende(F&& f) {
    try {
        f();
    } catch (const services::Programmende& e) {
        return e.code;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    if (groesse < 4) {
        return 0;
    }
    fuzz::Seams& seams = fuzz::Installiere();
    seams.fenster.Zuruecksetzen(0);
    const std::uint8_t op = daten[0];
    const std::uint8_t a = daten[1];
    const std::uint8_t b = daten[2];
    const std::uint8_t c = daten[3];
    const std::string rest(reinterpret_cast<const char*>(daten + 4), groesse - 4);
    // Texts are C strings: the rest splits at NUL bytes into up to three.
    std::vector<std::string> teile(3);
    std::size_t anfang = 0;
    for (std::size_t k = 0; k < 3 && anfang <= rest.size(); ++k) {
        std::size_t ende = rest.find('\0', anfang);
        if (ende == std::string::npos) {
            ende = rest.size();
        }
        teile[k] = rest.substr(anfang, ende - anfang);
        anfang = ende + 1;
    }
    const std::string& text = teile[0];

    switch (op % 7) {
        case 0: {
            auto p = Puffer(text, text.size() + 1);
            services::strTrimEnde(p.data());
            fuzz::Pruefe(std::string(p.data()) == TrimEnde(text), "strTrimEnde");
            break;
        }
        case 1: {
            const char trenner = static_cast<char>(a == 0 ? '|' : a);
            const std::uint32_t kapazitaet = b;
            auto p = Puffer("", kapazitaet);
            std::int32_t n = 0;
            int code = Ende([&] {
                n = services::strTrenneFelder(text.c_str(), trenner, p.data(), kapazitaet);
            });
            std::string erwartet;
            std::int32_t anzahl = 0;
            for (std::size_t i = 0; i < text.size();) {
                if (text[i] == ' ') {
                    erwartet.push_back(trenner);
                    ++anzahl;
                    while (i < text.size() && text[i] == ' ') {
                        ++i;
                    }
                } else {
                    erwartet.push_back(text[i++]);
                }
            }
            if (anzahl == 0 && !text.empty()) {
                erwartet.push_back(trenner);
                ++anzahl;
            }
            // Also an empty text aborts at capacity 1: the rule looks only at the length.
            const bool ohneBlank = text.find(' ') == std::string::npos;
            if (text.size() >= kapazitaet || (ohneBlank && text.size() + 1 == kapazitaet)) {
                fuzz::Pruefe(code == 12, "strTrenneFelder did not abort");
            } else {
                fuzz::Pruefe(code == -1, "strTrenneFelder aborted");
                fuzz::Pruefe(erwartet.size() < kapazitaet,
                             "strTrenneFelder result beyond capacity");
                fuzz::Pruefe(std::string(p.data()) == erwartet && n == anzahl, "strTrenneFelder");
            }
            break;
        }
        case 2: {
            const char trenner = static_cast<char>(a == 0 ? '|' : a);
            const auto n = static_cast<std::int32_t>(static_cast<std::int8_t>(b));
            std::string ergebnis;
            int code =
                Ende([&] { ergebnis = services::ParseEingabezeile(text.c_str(), n, trenner); });
            if (text.size() > 250) {
                fuzz::Pruefe(code == 12, "ParseEingabezeile did not abort");
                break;
            }
            fuzz::Pruefe(code == -1, "ParseEingabezeile aborted");
            std::vector<std::string> felder;
            std::string feld;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == trenner) {
                    felder.push_back(feld);
                    feld.clear();
                } else {
                    feld.push_back(text[i]);
                    if (i + 1 == text.size()) {
                        felder.push_back(feld);
                    }
                }
            }
            std::string erwartet =
                n >= 1 && static_cast<std::size_t>(n) <= felder.size() ? felder[n - 1] : "";
            fuzz::Pruefe(ergebnis == erwartet, "ParseEingabezeile", ergebnis + " / " + erwartet);
            break;
        }
        case 3: {
            fuzz::Pruefe(services::strfnd(text.c_str(), teile[1].c_str()) == Finde(text, teile[1]),
                         "strfnd");
            break;
        }
        case 4: {
            const std::string& ersatz = teile[1];
            const std::string& suche = teile[2];
            const std::uint32_t kapazitaet = static_cast<std::uint32_t>(text.size()) + 1 + b;
            auto p = Puffer(text, kapazitaet);
            bool ersetzt = false;
            int code = Ende([&] {
                ersetzt = services::strErsetze(p.data(), kapazitaet, ersatz.c_str(), suche.c_str());
            });
            std::int32_t pos = Finde(text, suche);
            if (pos < 0) {
                fuzz::Pruefe(code == -1 && !ersetzt && std::string(p.data()) == text,
                             "strErsetze without match");
                break;
            }
            std::string erwartet = text.substr(0, static_cast<std::size_t>(pos)) + ersatz +
                                   text.substr(pos + suche.size());
            if (erwartet.size() >= kapazitaet) {
                fuzz::Pruefe(code == 12, "strErsetze did not abort");
            } else {
                fuzz::Pruefe(code == -1 && ersetzt && std::string(p.data()) == erwartet,
                             "strErsetze");
            }
            break;
        }
        case 5: {
            auto p = Puffer(text, text.size() + 1);
            fuzz::Pruefe(services::strTrim(p.data()), "strTrim result");
            std::size_t i = text.find_first_not_of(' ');
            fuzz::Pruefe(std::string(p.data()) == (i == std::string::npos ? "" : text.substr(i)),
                         "strTrim");
            break;
        }
        case 6: {
            const std::uint32_t start = Zahl(a);
            const std::uint32_t laenge = Zahl(b);
            const std::uint32_t kapazitaet = c;
            auto p = Puffer("", kapazitaet);
            fuzz::Pruefe(
                services::IsoliereString(text.c_str(), start, laenge, p.data(), kapazitaet),
                "IsoliereString result");
            std::string erwartet;
            if (static_cast<std::uint64_t>(start) + laenge <= text.size() && laenge < kapazitaet) {
                erwartet = TrimEnde(text.substr(start, laenge));
                erwartet = erwartet.substr(0, erwartet.find('\0'));
            }
            if (kapazitaet > 0) {
                fuzz::Pruefe(std::string(p.data()) == erwartet, "IsoliereString");
            }
            break;
        }
    }
    services::StrtoolsZuruecksetzen();
    services::TraceZuruecksetzen();
    return 0;
}
