// SPDX-License-Identifier: GPL-3.0-or-later
#include "pruefen/zeilen.h"

#include <algorithm>
#include <cstring>

#include "interpreter/kommandozeile.h"
#include "services/plattform.h"
#include "services/strtools.h"
#include "services/umgebung.h"

namespace taktler::pruefen {

Zerlegt Zerlege(const std::string& text) {
    // A field the parser stores never holds a comma: a comma left means the
    // line has no such field.
    static Kommandozeile kz;
    std::string zeile = text;
    services::strTrimEnde(zeile.data());
    Kopiere(kz.Parameter1, ",");
    Kopiere(kz.Parameter2, ",");
    Kopiere(kz.Parameter3, ",");
    ParseKommandozeile(zeile.data(), &kz);
    Zerlegt z;
    z.code = GibKommando(&kz);
    z.kommando = kz.Kommando.data();
    const std::array<const char*, 3> felder = {kz.Parameter1.data(), kz.Parameter2.data(),
                                               kz.Parameter3.data()};
    for (std::size_t i = 0; i < 3; ++i) {
        z.hat[i] = std::strcmp(felder[i], ",") != 0;
        if (z.hat[i]) {
            z.feld[i] = felder[i];
        }
    }
    return z;
}

Kopfsicht SieheKopf(const std::string& text) {
    std::string zeile = text;
    return SieheKopfzeile(zeile.data());
}

// Control bytes would garble the finding line.
std::string Zeigbar(const std::string& text) {
    if (text.empty()) {
        return "(leer)";
    }
    std::string aus;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        aus += (b < 0x20 || b == 0x7F) ? services::Format("\\x%02X", b) : std::string(1, c);
    }
    return aus;
}

// Optional sign and decimal digits, nothing else.
bool IstZahl(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Edits (insert, delete, change, swap of neighbours) from a to b.
std::size_t Abstand(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The keywords a mistyped one may have meant.
const std::vector<const char*>& Schluesselwoerter() {
    static const std::vector<const char*> woerter = [] {
        std::vector<const char*> v;
        for (const Befehlsregel& r : Befehlsregeln()) {
            if (r.wirkung != Wirkung::Unbekannt && r.code != kKommentar) {
                v.push_back(r.wort);
            }
        }
        return v;
    }();
    return woerter;
}

// What the first word of a BIS may be.
const std::vector<const char*>& Bedingungswoerter() {
    static const std::vector<const char*> woerter = [] {
        std::vector<const char*> v(kSchalter.begin(), kSchalter.end());
        v.push_back("ZEIT");
        v.push_back("ANALOG1");
        return v;
    }();
    return woerter;
}

bool IstRegulaer(const std::string& pfad) {
    const auto info = services::plattform::Status(pfad);
    return info && info->art == services::plattform::Dateistatus::Art::Datei;
}

bool Existiert(const std::string& pfad) {
    return services::plattform::Status(pfad).has_value();
}

}  // namespace taktler::pruefen
