// SPDX-License-Identifier: GPL-3.0-or-later
// The string tools on arbitrary input, against their rules written out plainly.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "services/strtools.h"
#include "services/trace.h"
#include "testhilfe/stumme_seams.h"

namespace {

using namespace taktler;

// Exactly capacity bytes on the heap, so ASan sees a write past them.
std::vector<char> Puffer(const std::string& inhalt, std::size_t kapazitaet) {
    std::vector<char> p(kapazitaet, 'X');
    std::copy_n(inhalt.c_str(), std::min(inhalt.size() + 1, kapazitaet), p.begin());
    return p;
}

std::int32_t Finde(const std::string& text, const std::string& muster) {
    auto gross = [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    auto gleich = [&](char a, char b) { return gross(a) == gross(b); };
    auto pos = std::search(text.begin(), text.end(), muster.begin(), muster.end(), gleich);
    return muster.empty() || pos == text.end() ? -1 : static_cast<std::int32_t>(pos - text.begin());
}

std::string TrimEnde(std::string s) {
    s.erase(
        std::max<std::size_t>(s.find_last_not_of(" \r\n") + 1, std::min<std::size_t>(s.size(), 1)));
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
    fuzz::Installiere().fenster.Zuruecksetzen(0);
    const std::uint8_t a = daten[1];
    const std::uint8_t b = daten[2];
    const char trenner = static_cast<char>(a == 0 ? '|' : a);
    // Texts are C strings: the rest splits at NUL bytes into up to three.
    std::vector<std::string> teile(3);
    std::string rest(reinterpret_cast<const char*>(daten + 4), groesse - 4);
    for (std::string& teil : teile) {
        teil = rest.substr(0, rest.find('\0'));
        rest.erase(0, teil.size() + 1);
    }
    const std::string& text = teile[0];
    std::string erwartet;

    switch (daten[0] % 6) {
        case 0: {
            auto p = Puffer(text, text.size() + 1);
            auto q = p;
            services::strTrimEnde(p.data());
            fuzz::Pruefe(p.data() == TrimEnde(text), "strTrimEnde");
            const std::size_t i = std::min(text.find_first_not_of(' '), text.size());
            fuzz::Pruefe(services::strTrim(q.data()) && q.data() == text.substr(i), "strTrim");
            break;
        }
        case 1: {
            // Runs of blanks become one separator; a text without any gets one at its end.
            auto p = Puffer("", b);
            std::int32_t n = 0;
            const int code =
                Ende([&] { n = services::strTrenneFelder(text.c_str(), trenner, p.data(), b); });
            std::int32_t anzahl = 0;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] != ' ' || i == 0 || text[i - 1] != ' ') {
                    erwartet.push_back(text[i] != ' ' ? text[i] : trenner);
                    anzahl += text[i] != ' ' ? 0 : 1;
                }
            }
            if (anzahl == 0 && !text.empty()) {
                erwartet.push_back(trenner);
                ++anzahl;
            }
            // The rule looks only at the length, so an empty text aborts at capacity 1 too.
            const bool zuLang =
                text.size() >= b || (text.find(' ') == std::string::npos && text.size() + 1 == b);
            fuzz::Pruefe(
                zuLang ? code == 12
                       : code == -1 && erwartet.size() < b && p.data() == erwartet && n == anzahl,
                "strTrenneFelder");
            break;
        }
        case 2: {
            const auto n = static_cast<std::int32_t>(static_cast<std::int8_t>(b));
            std::string ergebnis;
            const int code =
                Ende([&] { ergebnis = services::ParseEingabezeile(text.c_str(), n, trenner); });
            // Fields end at a separator; a last field without one counts when not empty.
            std::vector<std::string> felder(1);
            for (char c : text) {
                c == trenner ? felder.emplace_back() : felder.back() += c;
            }
            if (felder.back().empty()) {
                felder.pop_back();
            }
            erwartet = n >= 1 && static_cast<std::size_t>(n) <= felder.size() ? felder[n - 1] : "";
            fuzz::Pruefe(text.size() > 250 ? code == 12 : code == -1 && ergebnis == erwartet,
                         "ParseEingabezeile", ergebnis);
            break;
        }
        case 3:
            fuzz::Pruefe(services::strfnd(text.c_str(), teile[1].c_str()) == Finde(text, teile[1]),
                         "strfnd");
            break;
        case 4: {
            const std::string& ersatz = teile[1];
            const std::string& suche = teile[2];
            const std::uint32_t kapazitaet = static_cast<std::uint32_t>(text.size()) + 1 + b;
            auto p = Puffer(text, kapazitaet);
            bool ersetzt = false;
            const int code = Ende([&] {
                ersetzt = services::strErsetze(p.data(), kapazitaet, ersatz.c_str(), suche.c_str());
            });
            const std::int32_t pos = Finde(text, suche);
            erwartet =
                pos < 0 ? text : text.substr(0, pos) + ersatz + text.substr(pos + suche.size());
            fuzz::Pruefe(erwartet.size() >= kapazitaet
                             ? code == 12
                             : code == -1 && ersetzt == (pos >= 0) && p.data() == erwartet,
                         "strErsetze");
            break;
        }
        case 5: {
            // Numbers near the top of the range (high bit set), where sums wrap.
            auto zahl = [](std::uint8_t z) -> std::uint32_t {
                return (z & 0x80) != 0 ? 0xFFFFFFFFu - (z & 0x7F) : z;
            };
            const std::uint32_t start = zahl(a);
            const std::uint32_t laenge = zahl(b);
            const std::uint32_t kapazitaet = daten[3];
            auto p = Puffer("", kapazitaet);
            if (static_cast<std::uint64_t>(start) + laenge <= text.size() && laenge < kapazitaet) {
                erwartet = TrimEnde(text.substr(start, laenge));
            }
            fuzz::Pruefe(
                services::IsoliereString(text.c_str(), start, laenge, p.data(), kapazitaet) &&
                    (kapazitaet == 0 || p.data() == erwartet.substr(0, erwartet.find('\0'))),
                "IsoliereString");
            break;
        }
    }
    services::StrtoolsZuruecksetzen();
    services::TraceZuruecksetzen();
    return 0;
}
