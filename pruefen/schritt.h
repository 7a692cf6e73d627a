// SPDX-License-Identifier: GPL-3.0-or-later
// One step of a run on an abstract state: the transfer function of the
// walk. It carries out one element of the program graph by the language's
// rules and gives the states that follow and the endings met.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "interpreter/kommandozeile.h"
#include "interpreter/sprachregeln.h"
#include "pruefen/befund.h"
#include "pruefen/erster_durchgang.h"
#include "pruefen/programmgraph.h"
#include "pruefen/zeilen.h"
#include "pruefen/zustand.h"
#include "services/pfade.h"

namespace taktler::pruefen {

// Aborts taken as mended: the record dispatched last and the kind.
using Flicken = std::set<std::pair<std::int32_t, Abbruchart>>;

struct Folge {
    std::vector<std::int32_t> enden;  // endings of the run at this step (0: a normal end)
    std::vector<Lage> weiter;
    bool entscheidung = false;  // weiter[0]: condition met, weiter[1]: still open
    std::int32_t satz = 0;      // the record of the step
};

// One way a run ends with an abort: the record dispatched last, the
// report, and the line to blame.
struct Abbruch {
    std::int32_t satz = -1;
    Abbruchart art = Abbruchart::UnbekanntesKommando;
    std::int32_t schuld = 0;  // record the finding is reported at
    int schuldZeile = 0;
    std::string vorne;  // text before the names
    std::string hinten;
    std::set<std::string> namen;
};

// What the state at a line looked like, to name the condition of a finding
// that only some runs meet.
struct Merkmal {
    bool ausgefuehrt = false;   // the level that decides about the line is carried out
    std::int32_t oeffner = -1;  // the record that opened that level
    bool scharf = false;
    std::int32_t stufe = 0;
    bool wiederholt = false;  // Bedingung of the current level
    std::int32_t p1 = 0;
    bool operator<(const Merkmal& o) const {
        return std::tie(ausgefuehrt, oeffner, scharf, stufe, wiederholt, p1) <
               std::tie(o.ausgefuehrt, o.oeffner, o.scharf, o.stufe, o.wiederholt, o.p1);
    }
};

class Schritt {
  public:
    // geflickt: aborts (record, kind) taken as mended, to check on behind them.
    Schritt(const Suchindex& index, Programmgraph& graph, Zustandsraum& raum, Hinweise& hinweise,
            const Flicken& geflickt)
        : index_(index), graph_(graph), raum_(raum), hinweise_(hinweise), geflickt_(geflickt) {}

    // Abort ids count from 1.
    const std::vector<Abbruch>& Abbrueche() const { return abbrueche_; }
    const std::map<std::int32_t, std::set<std::pair<Merkmal, std::int32_t>>>& Merkmale() const {
        return merkmale_;
    }

    std::int32_t Abbrechen(std::int32_t satz, Abbruchart art, std::int32_t schuld, int schuldZeile,
                           std::string vorne, const std::optional<std::string>& name = {},
                           std::string hinten = {}) {
        auto [it, neu] = abbruchIds_.emplace(std::make_tuple(satz, static_cast<int>(art), schuld),
                                             static_cast<std::int32_t>(abbrueche_.size() + 1));
        if (neu) {
            Abbruch a;
            a.satz = satz;
            a.art = art;
            a.schuld = schuld;
            a.schuldZeile = schuldZeile;
            a.vorne = std::move(vorne);
            a.hinten = std::move(hinten);
            abbrueche_.push_back(std::move(a));
        }
        Abbruch& a = abbrueche_[static_cast<std::size_t>(it->second - 1)];
        if (name) {
            a.namen.insert(Zeigbar(*name));
        }
        return it->second;
    }

    // grenze: the length at which the reader aborts.
    static std::string ZuLangText(std::size_t laenge, std::uint32_t grenze) {
        std::string n = laenge > kHoechstensGezaehlt
                            ? "mehr als " + std::to_string(kHoechstensGezaehlt)
                            : std::to_string(laenge);
        return n + " Zeichen (hoechstens " + std::to_string(grenze - 1) + ")";
    }

    void Merke(const Element& e, const Lage& l, bool eigeneStufe, const Folge& f) {
        Merkmal m;
        const std::int32_t stufe = eigeneStufe ? l.stufe : l.stufe - 1;
        m.ausgefuehrt = stufe >= 0 && stufe <= l.aktiv;
        m.oeffner = stufe <= 0         ? -1
                    : stufe == l.stufe ? raum_.Oben(l.offen)
                                       : raum_.Oben(raum_.Unter(l.offen));
        m.scharf = l.scharf;
        m.stufe = l.stufe;
        m.wiederholt =
            l.stufe > 0 && (l.tabelle[static_cast<std::size_t>(l.stufe)] & kBedingung) != 0;
        m.p1 = l.p[0];
        auto& menge = merkmale_[e.satz];
        if (f.enden.empty()) {
            menge.insert({m, -1});
        }
        for (std::int32_t ende : f.enden) {
            menge.insert({m, ende});
        }
    }

    Folge operator()(const Lage& vorher) {
        Folge f;
        if (index_.anzahl == 0 && index_.zuLang.satz == 0) {  // the very first read aborts
            Ende(f, Abbrechen(-1, Abbruchart::ZeileZuLang, 0, index_.zuLang.zeile,
                              "Zeile zu lang: " + ZuLangText(index_.zuLang.laenge, kGrenzeLauf)));
            return f;
        }
        Element& e = graph_.ElementBei(vorher.pc);
        e.gelesen = true;
        Lage l = vorher;
        const bool ausfuehrend = l.stufe == l.aktiv;
        for (std::size_t i = 0; i < 3; ++i) {
            if (e.feld[i] >= 0) {
                l.p[i] = e.feld[i];
            }
        }
        const std::int32_t d = e.satz;
        if (e.strecke) {
            e.ausgefuehrt = e.ausgefuehrt || ausfuehrend;
            Weiter(std::move(l), e.satz + e.anzahl, e.satz + e.anzahl - 1, f);
            return f;
        }
        if (ausfuehrend && IstBefehl(e.code)) {
            e.ausgefuehrt = true;
        }
        std::int32_t ziel = d + 1;
        if (ausfuehrend && Regel(e.code).datei) {
            Datei(e, graph_.T(l.p[0]), f);
        }
        switch (e.code) {
            case kEinschalten:
            case kAusschalten:
                if (ausfuehrend && MotorNummerVon(graph_.T(l.p[0]).c_str()) == 0 &&
                    !Geflickt(d, Abbruchart::MotorNichtDefiniert)) {
                    Ende(f,
                         Abbrechen(d, Abbruchart::MotorNichtDefiniert, d, e.zeile,
                                   "unbekannter Motor ", MitVorschlag(graph_.T(l.p[0]), kMotoren)));
                }
                break;
            case kNothalt:
                if (ausfuehrend && !l.scharf) {
                    l.scharf = true;
                    if (SchalterIndexVon(graph_.T(l.p[0]).c_str()) < 0 &&
                        !Geflickt(d, Abbruchart::UnbekannterSchalter)) {
                        Ende(f, Abbrechen(d, Abbruchart::UnbekannterSchalter, d, e.zeile,
                                          "unbekannter Schalter ",
                                          MitVorschlag(graph_.T(l.p[0]), kSchalter)));
                    }
                }
                break;
            case kRufe:
                // Mended: a call that returns at once.
                if (ausfuehrend && (Geflickt(d, Abbruchart::NichtGefunden) ||
                                    Geflickt(d, Abbruchart::ZuVieleFelder))) {
                    break;
                }
                if (!Oeffne(e, l, f)) {
                    break;
                }
                if (ausfuehrend) {
                    l.aktiv = l.stufe;
                    Rufe(d, e.zeile, graph_.T(l.p[0]), ziel, f);
                }
                break;
            case kUnterprogramm:
                Ende(f, 0);
                break;
            case kEndeUnterprogramm:
            case kEndeBis:
            case kEnde:
                Blockende(e, std::move(l), f);
                Merke(e, vorher, e.code == kEnde, f);
                return f;
            case kBis:
                if (!Oeffne(e, l, f)) {
                    break;
                }
                if (ausfuehrend) {
                    Bis(e, std::move(l), f);
                    Merke(e, vorher, true, f);
                    return f;
                }
                break;
            case kElse:
                if (UmgebendAusgefuehrt(l.stufe, Ausgefuehrt{l.aktiv})) {
                    l.aktiv = l.aktiv == l.stufe ? l.stufe - 1 : l.stufe;
                }
                break;
            case kExit:
                if (ausfuehrend) {
                    // Only where no block end follows in the main part.
                    if (d < index_.hauptEnde && index_.letzterSchliesser < d) {
                        OffeneBis(l, "beim EXIT in Zeile " + std::to_string(e.zeile));
                    }
                    Ende(f, 0);
                }
                break;
            case kReboot:
            case kTransfer:
            case kUnbekannt:
                if (!Geflickt(d, Abbruchart::UnbekanntesKommando)) {
                    Ende(f, Abbrechen(d, Abbruchart::UnbekanntesKommando, d, e.zeile,
                                      "unbekanntes Kommando ",
                                      MitVorschlag(graph_.T(e.kommando), Schluesselwoerter())));
                }
                break;
            default:
                break;
        }
        if (KannAbbrechen(e.code)) {
            Merke(e, vorher, true, f);
        }
        if (f.enden.empty()) {
            Weiter(std::move(l), ziel, d, f);
        }
        return f;
    }

    // BIS and RUFE open a level, or abort past level 79.
    bool Oeffne(const Element& e, Lage& l, Folge& f) {
        if (ZuTief(l.stufe)) {
            Ende(f, Abbrechen(e.satz, Abbruchart::ZuTief, e.satz, e.zeile,
                              "Verschachtelung tiefer als Stufe 79"));
            return false;
        }
        ++l.stufe;
        l.offen = raum_.Lege(l.offen, e.satz);
        return true;
    }

    static void Ende(Folge& f, std::int32_t ende) {
        if (std::find(f.enden.begin(), f.enden.end(), ende) == f.enden.end()) {
            f.enden.push_back(ende);
        }
    }

    // After the element ending with record letzter, the next read is at ziel.
    void Weiter(Lage l, std::int32_t ziel, std::int32_t letzter, Folge& f) {
        if (ziel == index_.anzahl) {
            if (index_.zuLang.satz >= 0) {
                Ende(f,
                     Abbrechen(letzter, Abbruchart::ZeileZuLang, index_.zuLang.satz,
                               index_.zuLang.zeile,
                               "Zeile zu lang: " + ZuLangText(index_.zuLang.laenge, kGrenzeLauf)));
            } else {
                OffeneBis(l, "am Dateiende");
                Ende(f, 0);
            }
            return;
        }
        l.pc = ziel;
        f.weiter.push_back(std::move(l));
    }

    // A run that ends normally with a BIS block open did not wait: the
    // beginner's missing ENDE_BIS.
    void OffeneBis(const Lage& l, const std::string& wo) {
        for (std::int32_t k = l.offen; k != 0; k = raum_.Unter(k)) {
            const Element& oeffner = graph_.ElementBei(raum_.Oben(k));
            if (oeffner.code == kBis) {
                Hinweis(oeffner,
                        "BIS-Block " + wo +
                            " noch offen (ENDE_BIS oder ENDE fehlt): der Lauf wartet hier nicht");
            }
        }
    }

    // Lines whose abort depends on the state they are read in (block ends
    // and unknown words are told apart on their own).
    static bool KannAbbrechen(std::int32_t code) {
        const Befehlsregel& r = Regel(code);
        return r.abbrueche != 0 && (r.wirkung == Wirkung::Befehl || r.wirkung == Wirkung::Oeffnet);
    }

    // ENDE, ENDE_BIS and ENDE_UNTERPROGRAMM: the jump, if any, then the level
    // lowered.
    void Blockende(const Element& e, Lage l, Folge& f) {
        const std::int32_t d = e.satz;
        struct Weg {
            Lage lage;
            std::int32_t ziel;
            bool springt;
        };
        std::vector<Weg> wege;
        if (e.code != kEnde && UmgebendAusgefuehrt(l.stufe, Ausgefuehrt{l.aktiv})) {
            const std::int32_t oeffner = raum_.Oben(l.offen);
            const std::uint8_t tabelle = l.tabelle[static_cast<std::size_t>(l.stufe)];
            if (e.code == kEndeUnterprogramm) {
                wege.push_back({l, oeffner + 1, true});  // GeheZuSatz reads the RUFE line too
            } else {
                for (bool bedingung : Werte(tabelle, kBedingung)) {
                    if (bedingung) {
                        wege.push_back({l, oeffner, true});
                    } else {
                        Lage n = l;
                        Setze(n.tabelle[static_cast<std::size_t>(l.stufe)], kDurchlauf, false);
                        n.tabelleId = -1;
                        wege.push_back({std::move(n), d + 1, false});
                    }
                }
            }
        } else {
            wege.push_back({std::move(l), d + 1, false});
        }
        for (Weg& w : wege) {
            if (w.springt && index_.sprung.satz >= 0 && index_.sprung.satz < w.ziel) {
                const std::int32_t oeffner = raum_.Oben(w.lage.offen);
                Ende(f,
                     Abbrechen(d, Abbruchart::ZeileZuLang, index_.sprung.satz, index_.sprung.zeile,
                               "Zeile zu lang fuer den Ruecksprung zu Zeile " +
                                   std::to_string(graph_.ZeileVon(oeffner)) + ": " +
                                   ZuLangText(index_.sprung.laenge, kGrenzeSprung)));
                continue;
            }
            if (w.lage.stufe == 0 && Geflickt(d, Abbruchart::EndeOhneBlock)) {
                Weiter(std::move(w.lage), w.ziel, d, f);
                continue;
            }
            if (w.lage.stufe == 0) {
                const char* wort = e.code == kEnde      ? "ENDE"
                                   : e.code == kEndeBis ? "ENDE_BIS"
                                                        : "ENDE_UNTERPROGRAMM";
                Ende(f, Abbrechen(d, Abbruchart::EndeOhneBlock, d, e.zeile,
                                  std::string(wort) + " ohne offenen Block"));
                continue;
            }
            w.lage.offen = raum_.Unter(w.lage.offen);
            --w.lage.stufe;
            w.lage.aktiv = std::min(w.lage.aktiv, w.lage.stufe);
            Weiter(std::move(w.lage), w.ziel, d, f);
        }
    }

    // The call of name from record d: where the search leads, or its abort.
    void Rufe(std::int32_t d, int zeile, const std::string& name, std::int32_t& ziel, Folge& f) {
        if (std::optional<std::int32_t> kopf = graph_.Kopf(name)) {
            ziel = *kopf + 1;
            return;
        }
        const Grenzsatz& lang = index_.suche;
        const Grenzsatz& felder = index_.zuVieleFelder;
        if (lang.satz >= 0 && (felder.satz < 0 || lang.satz < felder.satz)) {
            Ende(f, Abbrechen(d, Abbruchart::ZeileZuLang, lang.satz, lang.zeile,
                              "Zeile zu lang fuer die Suche nach Unterprogramm ", name,
                              ": " + ZuLangText(lang.laenge, kGrenzeSuche)));
        } else if (felder.satz >= 0) {
            Ende(f, Abbrechen(d, Abbruchart::ZuVieleFelder, felder.satz, felder.zeile,
                              "zu viele Felder fuer die Suche nach Unterprogramm ", name));
        } else {
            Ende(f, Abbrechen(d, Abbruchart::NichtGefunden, d, zeile, "Unterprogramm ", name,
                              " nicht gefunden"));
        }
    }

    // SOUND and INFO: a file that is missing now; a file INFO cannot list.
    void Datei(const Element& e, const std::string& name, Folge& f) {
        const std::string pfad = services::LoeseKommandoPfadAuf(name);
        if (!Existiert(pfad)) {
            Hinweis(e, "Datei nicht gefunden: " + Zeigbar(name));
            return;
        }
        if (e.code != kInfo || !IstRegulaer(pfad)) {
            return;
        }
        auto [it, neu] = infoZeilen_.emplace(pfad, 0);
        if (neu) {
            Quelle q;
            if (q.Oeffne(pfad).empty()) {
                Satzleser leser(q, 0, 0, 1, kGrenzeInfo);
                Rohsatz s;
                while (leser.Naechster(s)) {
                    if (s.laenge >= kGrenzeInfo) {
                        it->second = s.laenge;
                    }
                }
            }
        }
        if (it->second != 0) {
            Ende(f, Abbrechen(e.satz, Abbruchart::ZeileZuLang, e.satz, e.zeile, "INFO-Datei ", name,
                              " hat eine Zeile mit " + ZuLangText(it->second, kGrenzeInfo)));
        }
    }

    // The condition of a BIS line, evaluated as far as it can be known.
    void Bis(const Element& e, Lage l, Folge& f) {
        const std::size_t stufe = static_cast<std::size_t>(l.stufe);
        const std::string& art = graph_.T(l.p[0]);
        const std::string& vergleich = graph_.T(l.p[1]);
        const std::string& grenzwert = graph_.T(l.p[2]);
        const std::int32_t grenze = ZahlAusText(grenzwert.c_str());
        const std::uint8_t tabelle = l.tabelle[stufe];
        const Bedingungsart bedingung = BedingungsartVon(art.c_str());
        const bool zeitArt = bedingung == Bedingungsart::Zeit;
        if (bedingung == Bedingungsart::Schalter && SchalterIndexVon(art.c_str()) < 0 &&
            !Geflickt(e.satz, Abbruchart::UnbekannterSchalter)) {
            Ende(f, Abbrechen(e.satz, Abbruchart::UnbekannterSchalter, e.satz, e.zeile,
                              "unbekannter Schalter ", MitVorschlag(art, Bedingungswoerter())));
            return;
        }
        BisHinweise(e, art, grenzwert, grenze);
        std::array<bool, 2> moeglich{};  // condition met (0), still open (1)
        for (bool durchlauf : Werte(tabelle, kDurchlauf)) {
            const bool erster = !durchlauf;
            for (bool zeitLaeuft : Werte(tabelle, kZeit)) {
                bool nein = true;
                bool ja = true;
                if (zeitArt) {
                    // A ZEIT limit of -1 is 2^32 - 1 ms, never passed.
                    nein = zeitLaeuft && static_cast<std::uint32_t>(grenze) != UINT32_MAX;
                } else if (bedingung == Bedingungsart::Analog) {
                    if (IstAnalogMax(grenzwert.c_str())) {
                        nein = !erster;
                    } else if (AnalogWartetDarunter(vergleich.c_str())) {
                        nein = grenze <= kAnalogHoechstwert;
                        ja = grenze > 0;
                    } else {
                        nein = grenze > 0;
                        ja = grenze <= kAnalogHoechstwert;
                    }
                } else {
                    // Counts never fall; the first evaluation resets the
                    // count, and one reading of the inputs adds one click at
                    // most.
                    ja = grenze > 0;
                    nein = !(erster && grenze >= 2);
                }
                moeglich[0] = moeglich[0] || nein;
                moeglich[1] = moeglich[1] || ja;
            }
        }
        for (std::uint8_t r = 0; r < 2; ++r) {
            if (!moeglich[r]) {
                continue;
            }
            Lage n = l;
            auto& t = n.tabelle[stufe];
            n.tabelleId = -1;
            Setze(t, kDurchlauf, true);
            Setze(t, kBedingung, r != 0);
            if (zeitArt) {
                Setze(t, kZeit, r != 0);
            }
            n.aktiv = r != 0 ? n.stufe : n.stufe - 1;
            Weiter(std::move(n), e.satz + 1, e.satz, f);
        }
        f.entscheidung = moeglich[0] && moeglich[1] && f.weiter.size() == 2;
        f.satz = e.satz;
    }

    void BisHinweise(const Element& e, const std::string& art, const std::string& grenzwert,
                     std::int32_t grenze) {
        if (e.feld[2] < 0) {
            Hinweis(e, "BIS ohne Grenzwert: das vierte Wort fehlt");
            return;
        }
        if (!IstZahl(grenzwert) && !(BedingungsartVon(art.c_str()) == Bedingungsart::Analog &&
                                     IstAnalogMax(grenzwert.c_str()))) {
            Hinweis(e, "Grenzwert " + Zeigbar(grenzwert) + " ist keine Zahl (gilt als " +
                           std::to_string(grenze) + ")");
        }
        if (BedingungsartVon(art.c_str()) == Bedingungsart::Zeit && grenze < 0) {
            Hinweis(e,
                    "negative ZEIT-Grenze " + std::to_string(grenze) + ": wartet etwa 49.7 Tage");
        }
    }

  private:
    bool Geflickt(std::int32_t satz, Abbruchart art) const {
        return geflickt_.count({satz, art}) != 0;
    }

    void Hinweis(const Element& e, std::string text) {
        hinweise_.Bei(e.satz, e.zeile, std::move(text));
    }

    const Suchindex& index_;
    Programmgraph& graph_;
    Zustandsraum& raum_;
    Hinweise& hinweise_;
    const Flicken& geflickt_;
    std::map<std::tuple<std::int32_t, int, std::int32_t>, std::int32_t> abbruchIds_;
    std::vector<Abbruch> abbrueche_;
    std::map<std::int32_t, std::set<std::pair<Merkmal, std::int32_t>>> merkmale_;
    std::map<std::string, std::size_t> infoZeilen_;
};

}  // namespace taktler::pruefen
