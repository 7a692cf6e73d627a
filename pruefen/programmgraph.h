// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of the file the walk reads, loaded when it first gets there:
// every line that can branch, jump, abort or be jumped to on its own, the
// plain lines between them folded into one stretch each; and where the
// header search finds a subroutine.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pruefen/befund.h"
#include "pruefen/erster_durchgang.h"
#include "pruefen/quelle.h"
#include "pruefen/zeilen.h"

namespace taktler::pruefen {

struct Element {
    std::int32_t satz = 0;    // first record
    std::int32_t anzahl = 1;  // records
    std::int32_t zeile = 0;   // editor line of the first record
    bool strecke = false;     // plain lines only
    std::int32_t code = kKommentar;
    std::array<std::int32_t, 3> feld{-1, -1, -1};  // texts the element sets, -1 none
    std::int32_t kommando = -1;                    // text of an unknown keyword
    // Lines that do something when carried out: how many, the first and the
    // last (record and editor line).
    std::int32_t befehle = 0;
    std::int32_t ersterBefehl = 0, ersteBefehlszeile = 0;
    std::int32_t letzterBefehl = 0, letzteBefehlszeile = 0;
    bool gelesen = false;
    bool ausgefuehrt = false;
};

struct Abschnitt {
    std::int32_t anfang = 0;
    std::int32_t ende = 0;  // records [anfang, ende)
    std::vector<Element> elemente;
};

bool IstBefehl(std::int32_t code) {
    return Regel(code).befehl;
}

// Texts of the fields, each kept once; 0 is the empty text a run starts with.
class Texte {
  public:
    Texte() { Id(""); }
    std::int32_t Id(const std::string& text) {
        auto [it, neu] = ids_.emplace(text, static_cast<std::int32_t>(texte_.size()));
        if (neu) {
            texte_.push_back(text);
        }
        return it->second;
    }
    const std::string& Text(std::int32_t id) const { return texte_[static_cast<std::size_t>(id)]; }

  private:
    std::vector<std::string> texte_;
    std::unordered_map<std::string, std::int32_t> ids_;
};

class Programmgraph {
  public:
    Programmgraph(Quelle& quelle, const Suchindex& index, Hinweise& hinweise)
        : quelle_(quelle), index_(index), hinweise_(hinweise) {}

    const std::string& T(std::int32_t id) const { return texte_.Text(id); }
    const std::map<std::int32_t, std::unique_ptr<Abschnitt>>& Abschnitte() const {
        return abschnitte_;
    }

    // --- Regions of the file --------------------------------------------

    Abschnitt& Lade(std::int32_t anfang, std::int64_t offset, std::int32_t zeile) {
        auto folgend = abschnitte_.upper_bound(anfang);
        const std::int32_t bis = folgend == abschnitte_.end() ? index_.anzahl : folgend->first;
        auto abschnitt = std::make_unique<Abschnitt>();
        abschnitt->anfang = anfang;
        Satzleser leser(quelle_, offset, anfang, zeile, kGrenzeLauf);
        Rohsatz s;
        std::optional<Element> strecke;
        std::array<std::string, 3> streckenfeld;
        std::array<bool, 3> streckenhat{};
        auto schliesse = [&] {
            if (!strecke) {
                return;
            }
            for (std::size_t i = 0; i < 3; ++i) {
                if (streckenhat[i]) {
                    strecke->feld[i] = texte_.Id(streckenfeld[i]);
                }
            }
            abschnitt->elemente.push_back(*strecke);
            strecke.reset();
            streckenhat = {};
        };
        std::int32_t ende = anfang;
        while (ende < bis && leser.Naechster(s)) {
            if (s.laenge >= kGrenzeLauf) {
                break;  // index_.zuLang: the read of it aborts
            }
            ende = s.satz + 1;
            Zerlegt z = Zerlege(s.text);
            MehrWorte(s, z);
            // A plain line: a command that reads no file and cannot abort (a
            // motor command with a good name of its own).
            const Befehlsregel& regel = Regel(z.code);
            const bool ohneAbbruch =
                regel.abbrueche == 0 || (regel.abbrueche == Bit(Abbruchart::MotorNichtDefiniert) &&
                                         z.hat[0] && MotorNummerVon(z.feld[0].c_str()) != 0);
            const bool schlicht = !SieheKopf(s.text).kandidat && regel.wirkung == Wirkung::Befehl &&
                                  !regel.datei && ohneAbbruch;
            if (schlicht) {
                if (!strecke) {
                    strecke = Element{};
                    strecke->satz = s.satz;
                    strecke->anzahl = 0;
                    strecke->zeile = s.zeile;
                    strecke->strecke = true;
                }
                ++strecke->anzahl;
                for (std::size_t i = 0; i < 3; ++i) {
                    if (z.hat[i]) {
                        streckenfeld[i] = z.feld[i];
                        streckenhat[i] = true;
                    }
                }
                if (z.code != kKommentar) {
                    if (strecke->befehle++ == 0) {
                        strecke->ersterBefehl = s.satz;
                        strecke->ersteBefehlszeile = s.zeile;
                    }
                    strecke->letzterBefehl = s.satz;
                    strecke->letzteBefehlszeile = s.zeile;
                }
                continue;
            }
            schliesse();
            Element e;
            e.satz = s.satz;
            e.zeile = s.zeile;
            e.code = z.code;
            for (std::size_t i = 0; i < 3; ++i) {
                if (z.hat[i]) {
                    e.feld[i] = texte_.Id(z.feld[i]);
                }
            }
            if (z.code == kUnbekannt || z.code == kReboot || z.code == kTransfer) {
                e.kommando = texte_.Id(z.kommando);
            }
            if (IstBefehl(z.code)) {
                e.befehle = 1;
                e.ersterBefehl = e.letzterBefehl = s.satz;
                e.ersteBefehlszeile = e.letzteBefehlszeile = s.zeile;
            }
            abschnitt->elemente.push_back(e);
            if (z.code == kUnterprogramm) {
                break;  // the straight flow never reads past it
            }
        }
        schliesse();
        if (!quelle_.Fehler().empty()) {
            throw std::runtime_error(quelle_.Fehler());
        }
        abschnitt->ende = ende;
        Abschnitt& ref = *abschnitt;
        abschnitte_.emplace(anfang, std::move(abschnitt));
        return ref;
    }

    // MELDUNG and PAUSE show their first word only.
    void MehrWorte(const Rohsatz& s, const Zerlegt& z) {
        const Befehlsregel& regel = Regel(z.code);
        if (!regel.zeigt) {
            return;
        }
        for (std::size_t i = regel.woerter; i < z.hat.size(); ++i) {
            if (z.hat[i] && !z.feld[i].empty()) {
                hinweise_.Bei(s.satz, s.zeile,
                              z.kommando + " zeigt nur das erste Wort: " + Zeigbar(z.feld[0]) +
                                  " (Woerter mit _ verbinden)");
                return;
            }
        }
    }

    // The element that starts at record satz, loading its region if needed.
    Element& ElementBei(std::int32_t satz) {
        auto it = abschnitte_.upper_bound(satz);
        Abschnitt* a = nullptr;
        if (it != abschnitte_.begin() && satz < std::prev(it)->second->ende) {
            a = std::prev(it)->second.get();
        } else {
            auto eintrag = einstiege_.find(satz);
            if (satz == 0) {
                a = &Lade(0, 0, 1);
            } else if (eintrag != einstiege_.end()) {
                a = &Lade(satz, eintrag->second.first, eintrag->second.second);
            } else {
                throw std::logic_error("Pruefung: Satz ohne Abschnitt");
            }
        }
        auto e = std::lower_bound(a->elemente.begin(), a->elemente.end(), satz,
                                  [](const Element& e, std::int32_t s) { return e.satz < s; });
        if (e == a->elemente.end() || e->satz != satz) {
            throw std::logic_error("Pruefung: Satz mitten in einer Strecke");
        }
        return *e;
    }

    int ZeileVon(std::int32_t satz) { return ElementBei(satz).zeile; }

    // The header the search finds for name, and where the line after it
    // starts; none when the search ends before one.
    std::optional<std::int32_t> Kopf(const std::string& name) {
        auto [gemerkt, neu] = koepfe_.emplace(name, std::nullopt);
        if (!neu) {
            return gemerkt->second;
        }
        auto eintrag = index_.koepfe.find(NamensHash(name));
        if (eintrag == index_.koepfe.end() && !index_.ab) {
            return std::nullopt;
        }
        // The line of the hash, or, when another name shares its hash or the
        // name is not indexed, the search itself.
        std::optional<Satzleser> leser;
        Rohsatz s;
        if (eintrag != index_.koepfe.end()) {
            const Kopfeintrag& k = eintrag->second;
            leser.emplace(quelle_, k.anfang, k.satz, k.zeile, kGrenzeLauf);
        }
        if (!leser || !leser->Naechster(s) || SieheKopf(s.text).name != name) {
            const Kopfeintrag von =
                eintrag != index_.koepfe.end() ? Kopfeintrag{0, 1, 0} : *index_.ab;
            leser.emplace(quelle_, von.anfang, von.satz, von.zeile, kGrenzeLauf);
            bool gefunden = false;
            while (!gefunden && leser->Naechster(s) && s.laenge < kGrenzeSuche) {
                Kopfsicht sicht = SieheKopf(s.text);
                if (sicht.zuVieleFelder) {
                    break;
                }
                gefunden = sicht.kandidat && sicht.name == name;
            }
            if (!gefunden) {
                return std::nullopt;
            }
        }
        gemerkt->second = s.satz;
        Rohsatz folge;
        if (leser->Naechster(folge) && folge.laenge < kGrenzeLauf) {
            einstiege_.emplace(folge.satz, std::make_pair(folge.anfang, folge.zeile));
        }
        if (!quelle_.Fehler().empty()) {
            throw std::runtime_error(quelle_.Fehler());
        }
        return s.satz;
    }

  private:
    Quelle& quelle_;
    const Suchindex& index_;
    Hinweise& hinweise_;
    Texte texte_;
    std::map<std::int32_t, std::unique_ptr<Abschnitt>> abschnitte_;
    std::map<std::int32_t, std::pair<std::int64_t, std::int32_t>>
        einstiege_;                                              // header+1: offset, line
    std::map<std::string, std::optional<std::int32_t>> koepfe_;  // the header of each name called
};

}  // namespace taktler::pruefen
