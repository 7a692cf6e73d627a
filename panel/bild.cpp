// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/bild.h"

#include <algorithm>
#include <cstdio>

#include "services/umgebung.h"

namespace taktler::panel {

const char* const kHilfezeile =
    "1-8 Schalter  Tab Analog 1/2  Hoch/Runter +-10  BildAuf/BildAb +-100  Esc Stopp";
const char* const kHilfezeileGehalten =
    "1-8 Schalter  Tab Analog 1/2  Links/Rechts +-10  BildAuf/BildAb +-100  Esc Stopp";
const char* const kHilfezeileEchterPort =
    "Echter Port: Schalter/Analog vom Interface, ihre Tasten wirken nicht  Esc Stopp";

namespace {

constexpr std::size_t kSpalteSchalter = 31;
constexpr std::size_t kSpalteAnalog = 58;
constexpr int kFesteZeilen = 13;           // all rows but the source view and the pane
constexpr int kMindestQuelle = 5;          // the running line and two either side
constexpr std::size_t kNummernbreite = 9;  // "*   12 > "

// Cuts or pads a UTF-8 text to exactly n columns.
std::string Feld(const std::string& utf8, std::size_t n) {
    std::string s = ErsteSpalten(utf8, n);
    s.append(n - Spalten(s), ' ');
    return s;
}

// An ASCII row with texts at fixed columns.
struct Spaltenzeile {
    std::string text;
    void Setze(std::size_t spalte, const std::string& teil) {
        if (text.size() < spalte) {
            text.append(spalte - text.size(), ' ');
        }
        text.replace(spalte, teil.size(), teil);
    }
};

std::string Dauer(std::uint64_t ms) {
    return services::Format("%7.1f s", static_cast<double>(ms) / 1000.0);
}

std::string Trenner(const std::vector<std::pair<std::size_t, std::string>>& titel,
                    std::size_t breite) {
    std::string s(breite, '-');
    for (const auto& [spalte, text] : titel) {
        std::string t = " " + text + " ";
        if (spalte + t.size() <= breite) {
            s.replace(spalte, t.size(), t);
        }
    }
    return s;
}

// A pane line broken into rows of the screen's width.
void Umbrechen(const std::string& utf8, std::size_t breite, std::vector<std::string>& reihen) {
    std::string rest = utf8;
    do {
        std::string teil = ErsteSpalten(rest, breite);
        rest.erase(0, teil.size());
        reihen.push_back(std::move(teil));
    } while (!rest.empty());
}

// The keys of the run's steps that work at this moment.
std::string Schrittzeile(const Momentaufnahme& m) {
    const std::string tempo = "+/- Tempo " + Tempotext(m.tempoMs);
    if (!m.schluss.empty()) {
        return {};
    }
    if (m.gehalten) {
        return "F10 eine Zeile  F5 weiter  F9 Haltepunkt  Hoch/Runter Cursor  " + tempo;
    }
    if (m.wartet) {
        return "F6 anhalten (nach der Antwort)";
    }
    return "F6 anhalten  " + tempo + " Pause nach jeder Zeile";
}

}  // namespace

std::string Tempotext(int ms) {
    return services::Format("%g s", static_cast<double>(ms) / 1000.0);
}

std::vector<Bildzeile> Quellansicht(const Momentaufnahme& m, int zeilen, std::size_t breite) {
    std::vector<Bildzeile> reihen;
    auto reihe = [&](std::int32_t n, const std::string& roh) {
        const bool aktuell = n == m.editorzeile;
        std::string text =
            services::Format("%s%5d %s ", m.haltepunkte.count(n) != 0 ? "*" : " ", n,
                             aktuell ? ">" : " ") +
            ErsteSpalten(Anzeigetext(roh), breite > kNummernbreite ? breite - kNummernbreite : 0);
        Stil stil = m.gehalten && n == m.cursor ? Stil::Titel
                    : aktuell                   ? Stil::Aktiv
                                                : Stil::Normal;
        reihen.push_back(Bildzeile{Feld(text, breite), stil});
    };
    const std::int32_t anzahl = m.quelle != nullptr ? m.quelle->Anzahl() : 0;
    if (anzahl == 0) {
        if (m.editorzeile > 0) {
            reihe(m.editorzeile, m.zeilentext);
        }
        return reihen;
    }
    // Around the running line; around the cursor once it leaves that window.
    auto fenster = [&](std::int32_t mitte) {
        return std::max(std::min(mitte - (zeilen - 1) / 2, anzahl - zeilen + 1), 1);
    };
    std::int32_t erste = fenster(m.editorzeile);
    if (m.gehalten && (m.cursor < erste || m.cursor >= erste + zeilen)) {
        erste = fenster(m.cursor);
    }
    for (std::int32_t n = erste; n < erste + zeilen && n <= anzahl; ++n) {
        reihe(n, m.quelle->Zeile(n));
    }
    return reihen;
}

// As the command file switches the motor, with the letter the interface
// latches for it (LINKS latches R), and an arrow that way.
std::string Motoranzeige(char zustand) {
    switch (zustand) {
        case 'R':
            return "<<< LINKS (R) ";
        case 'L':
            return "RECHTS (L) >>>";
        default:
            return "     aus      ";
    }
}

Bild Zeichne(const Momentaufnahme& m, const Ablage& ablage, int breite, int hoehe) {
    Bild bild;
    if (breite <= 0 || hoehe <= 0) {
        return bild;
    }
    const auto b = static_cast<std::size_t>(breite);
    bild.zeilen.resize(static_cast<std::size_t>(hoehe), Bildzeile{std::string(b, ' ')});
    auto setze = [&](int reihe, std::string text, Stil stil = Stil::Normal) {
        bild.zeilen[static_cast<std::size_t>(reihe)] = Bildzeile{Feld(text, b), stil};
    };
    if (breite < kMindestBreite || hoehe < kMindestHoehe) {
        setze(0, services::Format("Terminal zu klein: das Panel braucht %dx%d Zeichen",
                                  kMindestBreite, kMindestHoehe));
        return bild;
    }

    std::string rechts = services::Format("Tracelevel %d ", m.tracelevel);
    std::string links =
        Feld(" TAKTLER Panel  " + Anzeigetext(m.kommandodatei), b - Spalten(rechts) - 1);
    setze(0, links + " " + rechts, Stil::Titel);
    setze(1, services::Format("Zeile %d: ", m.editorzeile) + Anzeigetext(m.zeilentext));
    std::string zustand = services::Format("Stufe %d   Nothalt: ", m.stufe) +
                          (m.nothalt ? services::Format("scharf auf SCHALTER%d", m.nothaltSchalter)
                                     : std::string("nicht scharf"));
    if (m.gehalten) {
        zustand += services::Format("   Lauf haelt vor Zeile %d", m.editorzeile);
    } else if (m.tempoMs > 0 && m.schluss.empty()) {
        zustand += "   Zeitlupe " + Tempotext(m.tempoMs);
    }
    setze(2, zustand, m.gehalten ? Stil::Aktiv : Stil::Normal);
    setze(3, Trenner({{1, "Motoren"}, {kSpalteSchalter, "Schalter"}, {kSpalteAnalog, "Analog"}}, b),
          Stil::Trenner);
    for (std::size_t i = 0; i < 4; ++i) {
        Spaltenzeile z;
        z.Setze(0, services::Format("MOTOR%zu ", i + 1) + Motoranzeige(m.motoren[i]) +
                       Dauer(m.dauerMs[i]));
        for (std::size_t s : {i, i + 4}) {
            z.Setze(kSpalteSchalter + (s < 4 ? 0 : 13),
                    services::Format("%zu [%s] %s", s + 1, m.schalter[s] ? "X" : " ",
                                     m.schalter[s] ? "zu" : "offen"));
        }
        if (i < 2) {
            z.Setze(kSpalteAnalog,
                    services::Format("%s ANALOG%zu %4d",
                                     m.auswahl == static_cast<int>(i + 1) ? ">" : " ", i + 1,
                                     m.analog[i]));
        }
        setze(static_cast<int>(4 + i), z.text);
    }
    // The source view takes half of the free rows, at least five.
    const int frei = hoehe - kFesteZeilen;
    const int quellReihen = std::max(kMindestQuelle, frei / 2);
    setze(8,
          Trenner({{1, m.gehalten ? services::Format("Quelltext - Cursor Zeile %d", m.cursor)
                                  : std::string("Quelltext")}},
                  b),
          Stil::Trenner);
    const std::vector<Bildzeile> quelle = Quellansicht(m, quellReihen, b);
    for (std::size_t i = 0; i < quelle.size(); ++i) {
        bild.zeilen[9 + i] = quelle[i];
    }
    const int pane = 10 + quellReihen;  // first row of the console pane
    setze(pane - 1, Trenner({{1, "Konsole"}}, b), Stil::Trenner);

    // The pane: the newest rows at the bottom; a waiting prompt shows what
    // is typed after it.
    const int fensterReihen = frei - quellReihen;
    std::vector<std::string> reihen;
    const auto& zeilen = ablage.Zeilen();
    std::size_t erste = zeilen.size() > static_cast<std::size_t>(fensterReihen)
                            ? zeilen.size() - static_cast<std::size_t>(fensterReihen)
                            : 0;
    for (std::size_t i = erste; i < zeilen.size(); ++i) {
        Umbrechen(zeilen[i], b, reihen);
    }
    std::string offen = ablage.Offen();
    if (m.wartet) {
        offen += Anzeigetext(m.eingabe);
    }
    if (!offen.empty() || m.wartet) {
        Umbrechen(offen, b, reihen);
    }
    std::size_t ab = reihen.size() > static_cast<std::size_t>(fensterReihen)
                         ? reihen.size() - static_cast<std::size_t>(fensterReihen)
                         : 0;
    for (std::size_t i = ab; i < reihen.size(); ++i) {
        setze(pane + static_cast<int>(i - ab), reihen[i]);
    }
    if (m.wartet && !reihen.empty()) {
        bild.cursorZeile = pane + static_cast<int>(reihen.size() - 1 - ab);
        bild.cursorSpalte = static_cast<int>(std::min(Spalten(reihen.back()), b - 1));
    }

    if (!m.schluss.empty()) {
        setze(hoehe - 3, " " + m.schluss, Stil::Hinweis);
    } else if (m.wartet) {
        setze(hoehe - 3, " Der Lauf wartet: Antwort eintippen (ohne 1-8), ENTER schickt sie ab",
              Stil::Hinweis);
    } else if (!m.hinweis.empty()) {
        setze(hoehe - 3, " " + m.hinweis, Stil::Hinweis);
    } else {
        setze(hoehe - 3, std::string(b, '-'), Stil::Trenner);
    }
    setze(hoehe - 2, m.echterPort ? kHilfezeileEchterPort
                     : m.gehalten ? kHilfezeileGehalten
                                  : kHilfezeile);
    setze(hoehe - 1, Schrittzeile(m));
    return bild;
}

}  // namespace taktler::panel
