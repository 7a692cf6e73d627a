// SPDX-License-Identifier: GPL-3.0-or-later
// The findings of a walk: the aborts with the conditions under which
// some runs meet them, the lines never carried out, the warnings, in line
// order.
#pragma once

#include "pruefen/erster_durchgang.h"
#include "pruefen/gang.h"
#include "pruefen/programmgraph.h"
#include "pruefen/pruefen.h"
#include "pruefen/schritt.h"

namespace taktler::pruefen {

class Befundliste {
  public:
    Befundliste(const Suchindex& index, Programmgraph& graph, const Schritt& schritt,
                const Gang& gang, const Hinweise& hinweise)
        : index_(index), graph_(graph), schritt_(schritt), gang_(gang), hinweise_(hinweise) {}

    void Ergebnis(Pruefergebnis& e) {
        std::vector<Befund> befunde = index_.layout;
        Befunde(befunde, e);
        Nie(befunde, e);
        befunde.insert(befunde.end(), hinweise_.Liste().begin(), hinweise_.Liste().end());
        std::sort(befunde.begin(), befunde.end(), [](const Befund& a, const Befund& b) {
            return std::tie(a.satz, b.fehler, a.text) < std::tie(b.satz, a.fehler, b.text);
        });
        for (std::size_t i = 0; i < befunde.size(); ++i) {
            const Befund& b = befunde[i];
            if (i > 0 && befunde[i - 1].satz == b.satz && befunde[i - 1].text == b.text) {
                continue;
            }
            e.befunde.push_back({b.zeile, b.fehler, b.text, b.abbruch});
        }
    }

    static std::string Text(const Abbruch& a) {
        std::string namen;
        for (const std::string& n : a.namen) {
            namen += (namen.empty() ? "" : " oder ") + n;
        }
        return a.vorne + namen + a.hinten;
    }

    void Befunde(std::vector<Befund>& befunde, Pruefergebnis& e) {
        const std::vector<std::int32_t>& alle = gang_.Menge(gang_.Start());
        for (std::size_t i = 0; i < schritt_.Abbrueche().size(); ++i) {
            const Abbruch& a = schritt_.Abbrueche()[i];
            const std::int32_t id = static_cast<std::int32_t>(i + 1);
            const bool immer = alle.size() == 1 && alle[0] == id;
            e.abbrueche.push_back({a.satz, a.art, immer, a.schuldZeile});
            std::string text = Text(a);
            if (!immer) {
                text += " - Abbruch, wenn " + Bedingung(a, id);
            }
            befunde.push_back({a.schuld, a.schuldZeile, immer, text, !immer});
        }
    }

    std::string Blocktext(std::int32_t oeffner) {
        return "der Block ab Zeile " + std::to_string(graph_.ZeileVon(oeffner));
    }

    // The condition under which some runs end with abort id and others not:
    // first from the states at its line, then from the conditions decided
    // on the way there.
    std::string Bedingung(const Abbruch& a, std::int32_t id) {
        auto it = schritt_.Merkmale().find(a.satz);
        if (it != schritt_.Merkmale().end()) {
            std::vector<Merkmal> treffer;
            std::vector<Merkmal> andere;
            for (const auto& [m, ende] : it->second) {
                (ende == id ? treffer : andere).push_back(m);
            }
            if (!treffer.empty() && !andere.empty()) {
                std::string text = AusMerkmalen(treffer, andere);
                if (!text.empty()) {
                    return text;
                }
            }
        }
        std::map<std::int32_t, std::set<bool>> wege;
        for (const Entscheidung& en : gang_.Entscheidungen()) {
            const auto& nein = gang_.Menge(en.nein);
            const auto& ja = gang_.Menge(en.ja);
            const bool beiNein = std::binary_search(nein.begin(), nein.end(), id);
            const bool beiJa = std::binary_search(ja.begin(), ja.end(), id);
            if (beiNein != beiJa) {
                wege[en.satz].insert(beiJa);
            }
        }
        std::vector<std::string> teile;
        for (const auto& [satz, richtung] : wege) {
            if (richtung.size() == 1 && teile.size() < 3) {
                teile.push_back(Blocktext(satz) +
                                (*richtung.begin() ? " laeuft" : " uebersprungen wird"));
            }
        }
        if (teile.empty()) {
            return "die Bedingungen davor entsprechend ausgehen";
        }
        std::string text;
        for (const std::string& t : teile) {
            text += (text.empty() ? "" : " und ") + t;
        }
        return text;
    }

    // Properties all states that end with the abort share and that, taken
    // together, no other state at that line has.
    std::string AusMerkmalen(const std::vector<Merkmal>& treffer,
                             const std::vector<Merkmal>& andere) {
        struct Eigenschaft {
            std::function<bool(const Merkmal&)> gilt;
            std::string text;
        };
        std::vector<Eigenschaft> kandidaten;
        const Merkmal& m0 = treffer.front();
        auto alleGleich = [&](auto feld) {
            return std::all_of(treffer.begin(), treffer.end(),
                               [&](const Merkmal& m) { return feld(m) == feld(m0); });
        };
        if (alleGleich([](const Merkmal& m) { return m.ausgefuehrt; }) && m0.oeffner >= 0 &&
            alleGleich([](const Merkmal& m) { return m.oeffner; })) {
            const bool ja = m0.ausgefuehrt;
            const std::int32_t o = m0.oeffner;
            kandidaten.push_back(
                {[ja, o](const Merkmal& m) { return m.ausgefuehrt == ja && m.oeffner == o; },
                 Blocktext(o) + (ja ? " laeuft" : " uebersprungen wird")});
        }
        if (alleGleich([](const Merkmal& m) { return m.scharf; }) && !m0.scharf) {
            kandidaten.push_back(
                {[](const Merkmal& m) { return !m.scharf; }, "noch kein NOTHALT scharf ist"});
        }
        if (alleGleich([](const Merkmal& m) { return m.stufe; })) {
            const std::int32_t s = m0.stufe;
            kandidaten.push_back({[s](const Merkmal& m) { return m.stufe == s; },
                                  s == 0 ? std::string("hier kein Block mehr offen ist")
                                         : "hier " + std::to_string(s) + " Stufen offen sind"});
        }
        if (alleGleich([](const Merkmal& m) { return m.wiederholt; }) && m0.oeffner >= 0 &&
            alleGleich([](const Merkmal& m) { return m.oeffner; })) {
            const bool w = m0.wiederholt;
            kandidaten.push_back({[w](const Merkmal& m) { return m.wiederholt == w; },
                                  w ? "die Schleife wiederholt wird" : "die Schleife endet"});
        }
        std::set<std::int32_t> namen;
        for (const Merkmal& m : treffer) {
            namen.insert(m.p1);
        }
        if (namen.size() == 1) {
            const std::int32_t p = m0.p1;
            kandidaten.push_back({[p](const Merkmal& m) { return m.p1 == p; },
                                  "hier " + Zeigbar(graph_.T(p)) + " als Name gilt"});
        }
        std::vector<const Eigenschaft*> gewaehlt;
        std::vector<const Merkmal*> offen;
        for (const Merkmal& m : andere) {
            offen.push_back(&m);
        }
        for (const Eigenschaft& k : kandidaten) {
            if (offen.empty()) {
                break;
            }
            auto rest = std::stable_partition(offen.begin(), offen.end(),
                                              [&](const Merkmal* m) { return k.gilt(*m); });
            if (rest != offen.end()) {
                gewaehlt.push_back(&k);
                offen.erase(rest, offen.end());
            }
        }
        if (!offen.empty()) {
            return "";
        }
        std::string text;
        for (const Eigenschaft* k : gewaehlt) {
            text += (text.empty() ? "" : " und ") + k->text;
        }
        return text;
    }

    // Lines that runs read but never carry out, in groups.
    void Nie(std::vector<Befund>& befunde, Pruefergebnis& e) {
        const Element* anfang = nullptr;
        int letzteZeile = 0;
        std::int32_t befehle = 0;
        auto schliesse = [&] {
            if (anfang != nullptr) {
                std::string text = "wird nie ausgefuehrt";
                if (befehle > 1) {
                    text += " (ebenso die Befehle bis Zeile " + std::to_string(letzteZeile) + ")";
                }
                befunde.push_back({anfang->ersterBefehl, anfang->ersteBefehlszeile, false, text});
            }
            anfang = nullptr;
            befehle = 0;
        };
        for (const auto& [start, abschnitt] : graph_.Abschnitte()) {
            for (const Element& el : abschnitt->elemente) {
                if (el.befehle == 0) {
                    if (!el.gelesen) {
                        schliesse();
                    }
                    continue;
                }
                if (!el.gelesen || el.ausgefuehrt) {
                    schliesse();
                    continue;
                }
                e.nieAusgefuehrt.emplace_back(el.ersterBefehl, el.letzterBefehl);
                if (anfang == nullptr) {
                    anfang = &el;
                }
                befehle += el.befehle;
                letzteZeile = el.letzteBefehlszeile;
            }
            schliesse();
        }
    }

  private:
    const Suchindex& index_;
    Programmgraph& graph_;
    const Schritt& schritt_;
    const Gang& gang_;
    const Hinweise& hinweise_;
};

}  // namespace taktler::pruefen
