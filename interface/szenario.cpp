// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/szenario.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "services/plattform.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

constexpr std::size_t kZeigeHoechstens = 40;  // keeps a message on one line

// The longest line, the same as in a command file.
constexpr std::size_t kLaengsteZeile = 498;

bool IstLeer(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string_view> Felder(std::string_view zeile) {
    std::vector<std::string_view> felder;
    std::size_t i = 0;
    while (i < zeile.size()) {
        while (i < zeile.size() && IstLeer(zeile[i])) {
            ++i;
        }
        std::size_t anfang = i;
        while (i < zeile.size() && !IstLeer(zeile[i])) {
            ++i;
        }
        if (i > anfang) {
            felder.push_back(zeile.substr(anfang, i - anfang));
        }
    }
    return felder;
}

std::string Gekuerzt(std::string_view wort) {
    if (wort.size() > kZeigeHoechstens) {
        return std::string(wort.substr(0, kZeigeHoechstens)) + "...";
    }
    return std::string(wort);
}

std::string Zitat(std::string_view wort) {
    return "\"" + Gekuerzt(wort) + "\"";
}

// Reads one line; the first problem found becomes the error text.
class Zeilenleser {
  public:
    explicit Zeilenleser(std::vector<std::string_view> felder) : felder_(std::move(felder)) {}

    const std::string& Fehler() const { return fehler_; }

    std::optional<std::string_view> Wort(const std::string& fehltText) {
        if (!fehler_.empty()) {
            return std::nullopt;
        }
        if (pos_ >= felder_.size()) {
            fehler_ = fehltText;
            return std::nullopt;
        }
        return felder_[pos_++];
    }

    // A decimal number with an optional minus sign, within [min, max].
    // kontext is what precedes it on the line, feld its name (N, K, WERT).
    std::optional<std::int64_t> Zahl(const std::string& kontext, const char* feld, std::int64_t min,
                                     std::int64_t max, const char* bereich) {
        auto wort = Wort("nach \"" + kontext + "\" fehlt " + feld);
        if (!wort) {
            return std::nullopt;
        }
        const std::string vorne = kontext + " " + Gekuerzt(*wort);
        std::int64_t wert = 0;
        const char* anfang = wort->data();
        const char* ende = anfang + wort->size();
        auto [rest, fehler] = std::from_chars(anfang, ende, wert);
        if (rest != ende || (fehler != std::errc() && fehler != std::errc::result_out_of_range)) {
            fehler_ = vorne + ": " + feld + " ist keine Zahl";
            return std::nullopt;
        }
        if (fehler == std::errc::result_out_of_range && wort->front() != '-') {
            fehler_ = vorne + ": " + feld + " ist zu gross";
            return std::nullopt;
        }
        if (fehler == std::errc::result_out_of_range || wert < min || wert > max) {
            fehler_ = vorne + ": " + feld + " " + bereich;
            return std::nullopt;
        }
        return wert;
    }

    void Ende() {
        if (fehler_.empty() && pos_ < felder_.size()) {
            fehler_ = "ueberzaehliges Feld " + Zitat(felder_[pos_]);
        }
    }

    void Falsch(std::string text) {
        if (fehler_.empty()) {
            fehler_ = std::move(text);
        }
    }

  private:
    std::vector<std::string_view> felder_;
    std::size_t pos_ = 0;
    std::string fehler_;
};

constexpr std::int64_t kGroessteZahl = std::numeric_limits<std::int64_t>::max();

std::optional<Ereignis> ParseZeile(Zeilenleser& z) {
    Ereignis e;
    auto wann = z.Wort("");
    if (!wann) {
        return std::nullopt;
    }
    if (*wann == "start") {
        e.anlass = Anlass::Start;
    } else if (*wann == "abfrage" || *wann == "messung") {
        e.anlass = *wann == "abfrage" ? Anlass::Abfrage : Anlass::Messung;
        auto n = z.Zahl(std::string(*wann), "N", 1, kGroessteZahl, "muss mindestens 1 sein");
        if (!n) {
            return std::nullopt;
        }
        e.n = static_cast<std::uint64_t>(*n);
    } else if (*wann == "zeit") {
        e.anlass = Anlass::Zeit;
        auto n = z.Zahl("zeit", "N", 0, kGroessteZahl, "darf nicht negativ sein");
        if (!n) {
            return std::nullopt;
        }
        e.n = static_cast<std::uint64_t>(*n);
    } else {
        z.Falsch("unbekannter Zeitpunkt " + Zitat(*wann) +
                 " (erwartet: start, abfrage N, messung N oder zeit N)");
        return std::nullopt;
    }

    std::string wannText(*wann);
    if (e.anlass != Anlass::Start) {
        wannText += " " + std::to_string(e.n);
    }
    auto was = z.Wort("nach \"" + wannText +
                      "\" fehlt das Ereignis (schalter K an|aus oder analog K WERT)");
    if (!was) {
        return std::nullopt;
    }
    if (*was == "schalter") {
        e.eingriff = Eingriff::Schalter;
        auto k = z.Zahl("schalter", "K", 1, 8, "muss 1 bis 8 sein");
        if (!k) {
            return std::nullopt;
        }
        e.k = static_cast<int>(*k);
        auto zustand = z.Wort("nach \"schalter " + std::to_string(e.k) + "\" fehlt an oder aus");
        if (!zustand) {
            return std::nullopt;
        }
        if (*zustand != "an" && *zustand != "aus") {
            z.Falsch("an oder aus erwartet, nicht " + Zitat(*zustand));
            return std::nullopt;
        }
        e.wert = *zustand == "an" ? 1 : 0;
    } else if (*was == "analog") {
        e.eingriff = Eingriff::Analog;
        auto k = z.Zahl("analog", "K", 1, 2, "muss 1 oder 2 sein");
        if (!k) {
            return std::nullopt;
        }
        e.k = static_cast<int>(*k);
        auto wert = z.Zahl("analog " + std::to_string(e.k), "WERT", 0, kAnalogMaximum,
                           "muss 0 bis 2499 sein");
        if (!wert) {
            return std::nullopt;
        }
        e.wert = static_cast<int>(*wert);
    } else {
        z.Falsch("unbekanntes Ereignis " + Zitat(*was) + " (erwartet: schalter oder analog)");
        return std::nullopt;
    }
    z.Ende();
    if (!z.Fehler().empty()) {
        return std::nullopt;
    }
    return e;
}

}  // namespace

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// One line of the file, numbered from 1; false when it ends the parse.
bool NimmZeile(SzenarioErgebnis& ergebnis, std::string_view zeile, int nummer,
               std::string_view dateiname) {
    auto fehler = [&](const std::string& text) {
        ergebnis.ereignisse.clear();
        ergebnis.fehler = services::Format("%.*s:%d: %s", static_cast<int>(dateiname.size()),
                                           dateiname.data(), nummer, text.c_str());
        return false;
    };
    if (zeile.size() > kLaengsteZeile) {
        return fehler(services::Format("Zeile zu lang: mehr als %zu Zeichen", kLaengsteZeile));
    }
    auto felder = Felder(zeile);
    if (felder.empty() || felder.front().front() == '#') {
        return true;
    }
    Zeilenleser leser(std::move(felder));
    auto ereignis = ParseZeile(leser);
    if (!ereignis) {
        return fehler(leser.Fehler());
    }
    ereignis->zeile = nummer;
    ergebnis.ereignisse.push_back(*ereignis);
    return true;
}

}  // namespace

SzenarioErgebnis ParseSzenario(std::string_view text, std::string_view dateiname) {
    SzenarioErgebnis ergebnis;
    int nummer = 0;
    std::size_t pos = 0;
    // Editors on other systems like to start a file with a UTF-8 mark.
    if (text.substr(0, kBom.size()) == kBom) {
        pos = kBom.size();
    }
    while (pos < text.size()) {
        std::size_t ende = text.find('\n', pos);
        if (ende == std::string_view::npos) {
            ende = text.size();
        }
        if (!NimmZeile(ergebnis, text.substr(pos, ende - pos), ++nummer, dateiname)) {
            break;
        }
        pos = ende + 1;
    }
    return ergebnis;
}

SzenarioErgebnis LadeSzenario(const std::string& dateiname) {
    SzenarioErgebnis ergebnis;
    std::FILE* datei = std::fopen(dateiname.c_str(), "rb");
    if (datei == nullptr) {
        ergebnis.fehler =
            dateiname + ": Szenariodatei kann nicht geoeffnet werden: " + std::strerror(errno);
        return ergebnis;
    }
    // Line by line and never more than one line too long: an endless input
    // (/dev/zero, a pipe) costs no more memory than the events it holds.
    std::string zeile;
    int nummer = 0;
    bool weiter = true;
    bool anfang = true;
    int c = 0;
    while (weiter && (c = services::plattform::Zeichen(datei)) != EOF) {
        if (c != '\n') {
            zeile.push_back(static_cast<char>(c));
            if (anfang && zeile.size() == kBom.size() && zeile == kBom) {
                zeile.clear();
                anfang = false;
            }
            weiter =
                zeile.size() <= kLaengsteZeile || NimmZeile(ergebnis, zeile, nummer + 1, dateiname);
            continue;
        }
        anfang = false;
        weiter = NimmZeile(ergebnis, zeile, ++nummer, dateiname);
        zeile.clear();
    }
    if (weiter && !zeile.empty()) {
        NimmZeile(ergebnis, zeile, ++nummer, dateiname);
    }
    int lesefehler = std::ferror(datei) != 0 ? errno : 0;
    std::fclose(datei);
    if (lesefehler != 0 && ergebnis.fehler.empty()) {
        ergebnis.ereignisse.clear();
        ergebnis.fehler =
            dateiname + ": Szenariodatei kann nicht gelesen werden: " + std::strerror(lesefehler);
    }
    return ergebnis;
}

}  // namespace taktler::interface
