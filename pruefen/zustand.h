// SPDX-License-Identifier: GPL-3.0-or-later
// The abstract state of a run: as far as it decides what the run reads and
// does; states kept once each and numbered, with the sets of endings.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "interpreter/sprachregeln.h"

namespace taktler::pruefen {

using namespace interpreter;

struct Lage {
    std::int32_t pc = 0;     // the record the script loop reads next
    std::int32_t stufe = 0;  // Stufe
    // Levels 1..aktiv are carried out, the levels above not: a level's flag
    // can be 1 only while the level below is carried out.
    std::int32_t aktiv = 0;
    bool scharf = false;                     // NothaltAktiv
    std::array<std::int32_t, 3> p{0, 0, 0};  // Parameter1..3, as texts
    std::int32_t offen = 0;  // the BIS or RUFE records of levels 1..stufe, as a stack id
    // Per level: Bedingung != 0, Durchlauf != 0, a Zeitbaustein running,
    // each possibly not known.
    std::array<std::uint8_t, kMaxStufen> tabelle{};
    std::int32_t tabelleId = -1;  // the number of tabelle when known
};

// The view of the level rules on a state: levels 0..aktiv are carried out.
struct Ausgefuehrt {
    std::int32_t aktiv;
    bool operator()(std::int32_t stufe) const { return stufe <= aktiv; }
};

constexpr std::uint8_t kBedingung = 1;
constexpr std::uint8_t kDurchlauf = 2;
constexpr std::uint8_t kZeit = 4;
// A flag shifted by this marks its value as not known (either may hold).
constexpr int kNichtBekannt = 3;
constexpr std::uint8_t kAllesUnbekannt = (kBedingung | kDurchlauf | kZeit) << kNichtBekannt;
// Past this many states at one line and level, the level tables of a new
// state are taken as not known: fewer, wider states that cover the same
// runs (a subroutine calling itself in loops would multiply them).
constexpr int kZustaendeJeZeile = 16;

// A state as it is stored: the stack of open levels and the level tables
// are kept once each and named by number.
struct Schluessel {
    std::int32_t pc = 0;
    std::int32_t stapel = 0;
    std::int32_t tabelle = 0;
    std::array<std::int32_t, 3> p{};
    std::uint8_t stufe = 0;
    std::uint8_t aktiv = 0;
    bool scharf = false;
    bool operator==(const Schluessel& o) const {
        return pc == o.pc && stapel == o.stapel && tabelle == o.tabelle && p == o.p &&
               stufe == o.stufe && aktiv == o.aktiv && scharf == o.scharf;
    }
};

struct SchluesselHash {
    std::size_t operator()(const Schluessel& k) const {
        std::uint64_t h = 1469598103934665603ull;
        auto misch = [&h](std::uint64_t wert) { h = (h ^ wert) * 1099511628211ull; };
        misch(static_cast<std::uint32_t>(k.pc));
        misch(static_cast<std::uint32_t>(k.stapel));
        misch(static_cast<std::uint32_t>(k.tabelle));
        for (std::int32_t id : k.p) {
            misch(static_cast<std::uint32_t>(id));
        }
        misch(static_cast<std::uint64_t>(k.stufe) | (static_cast<std::uint64_t>(k.aktiv) << 8) |
              (static_cast<std::uint64_t>(k.scharf) << 16));
        return static_cast<std::size_t>(h);
    }
};

// Sets of endings, each kept once: which endings the paths from a state
// can reach. 0 is the empty set.
class Mengen {
  public:
    Mengen() { Id({}); }
    std::int32_t Id(std::vector<std::int32_t> menge) {
        auto [it, neu] = ids_.emplace(std::move(menge), static_cast<std::int32_t>(mengen_.size()));
        if (neu) {
            mengen_.push_back(it->first);
        }
        return it->second;
    }
    std::int32_t Eins(std::int32_t ende) { return Id({ende}); }
    std::int32_t Vereint(std::int32_t a, std::int32_t b) {
        if (a == b || b == 0) {
            return a;
        }
        if (a == 0) {
            return b;
        }
        const std::uint64_t schluessel = (static_cast<std::uint64_t>(std::min(a, b)) << 32) |
                                         static_cast<std::uint32_t>(std::max(a, b));
        auto it = vereint_.find(schluessel);
        if (it != vereint_.end()) {
            return it->second;
        }
        std::vector<std::int32_t> v;
        const auto& x = mengen_[static_cast<std::size_t>(a)];
        const auto& y = mengen_[static_cast<std::size_t>(b)];
        std::set_union(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(v));
        std::int32_t id = Id(std::move(v));
        vereint_.emplace(schluessel, id);
        return id;
    }
    const std::vector<std::int32_t>& Menge(std::int32_t id) const {
        return mengen_[static_cast<std::size_t>(id)];
    }

  private:
    std::vector<std::vector<std::int32_t>> mengen_;
    std::map<std::vector<std::int32_t>, std::int32_t> ids_;
    std::unordered_map<std::uint64_t, std::int32_t> vereint_;
};

// The values a table flag may have: one, or both when it is not known.
inline std::vector<bool> Werte(std::uint8_t tabelle, std::uint8_t flag) {
    if ((tabelle & (flag << kNichtBekannt)) != 0) {
        return {false, true};
    }
    return {(tabelle & flag) != 0};
}

inline void Setze(std::uint8_t& tabelle, std::uint8_t flag, bool wert) {
    tabelle = static_cast<std::uint8_t>((tabelle & ~(flag | (flag << kNichtBekannt))) |
                                        (wert ? flag : 0));
}

class ZuVieleZustaende {};

// Every state once, numbered from 0 as they are found; beyond grenze states
// it throws ZuVieleZustaende.
class Zustandsraum {
  public:
    explicit Zustandsraum(std::size_t grenze) : grenze_(grenze) {}

    std::size_t Anzahl() const { return schluessel_.size(); }
    Lage Entfalte(std::int32_t id) const {
        return Entfalte(*schluessel_[static_cast<std::size_t>(id)]);
    }
    // The stack of open levels below the top one.
    std::int32_t Unter(std::int32_t stapel) const {
        return stapelKnoten_[static_cast<std::size_t>(stapel)].first;
    }
    // The records with the most states, at most n.
    std::vector<std::int32_t> Verzweigt(std::size_t n) const {
        std::unordered_map<std::int32_t, std::size_t> jeSatz;
        for (const auto& [k, id] : ids_) {
            ++jeSatz[k.pc];
        }
        std::vector<std::pair<std::size_t, std::int32_t>> rangfolge;
        for (const auto& [pc, anzahl] : jeSatz) {
            rangfolge.emplace_back(anzahl, pc);
        }
        n = std::min(n, rangfolge.size());
        std::partial_sort(rangfolge.begin(), rangfolge.begin() + static_cast<std::ptrdiff_t>(n),
                          rangfolge.end(), std::greater<>());
        std::vector<std::int32_t> saetze;
        for (std::size_t i = 0; i < n; ++i) {
            saetze.push_back(rangfolge[i].second);
        }
        return saetze;
    }

    // The stack of open levels as a tree of prefixes: (parent, record); 0
    // is the empty stack.
    std::int32_t Lege(std::int32_t stapel, std::int32_t satz) {
        const std::uint64_t k =
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(stapel)) << 32) |
            static_cast<std::uint32_t>(satz);
        auto [it, neu] = stapelIds_.emplace(k, static_cast<std::int32_t>(stapelKnoten_.size()));
        if (neu) {
            stapelKnoten_.emplace_back(stapel, satz);
        }
        return it->second;
    }

    std::int32_t Oben(std::int32_t stapel) const {
        return stapelKnoten_[static_cast<std::size_t>(stapel)].second;
    }

    std::int32_t Tabelle(const std::array<std::uint8_t, kMaxStufen>& tabelle) {
        auto [it, neu] = tabellenIds_.emplace(
            std::string(reinterpret_cast<const char*>(tabelle.data()), tabelle.size()),
            static_cast<std::int32_t>(tabellen_.size()));
        if (neu) {
            tabellen_.push_back(tabelle);
        }
        return it->second;
    }

    Schluessel Verdichte(const Lage& l) {
        Schluessel k;
        k.pc = l.pc;
        k.stapel = l.offen;
        k.tabelle = l.tabelleId >= 0 ? l.tabelleId : Tabelle(l.tabelle);
        k.p = l.p;
        k.stufe = static_cast<std::uint8_t>(l.stufe);
        k.aktiv = static_cast<std::uint8_t>(l.aktiv);
        k.scharf = l.scharf;
        return k;
    }

    Lage Entfalte(const Schluessel& k) const {
        Lage l;
        l.pc = k.pc;
        l.stufe = k.stufe;
        l.aktiv = k.aktiv;
        l.scharf = k.scharf;
        l.p = k.p;
        l.offen = k.stapel;
        l.tabelle = tabellen_[static_cast<std::size_t>(k.tabelle)];
        l.tabelleId = k.tabelle;
        return l;
    }

    std::int32_t Zustand(Lage l) {
        Schluessel schluessel = Verdichte(l);
        auto it = ids_.find(schluessel);
        if (it != ids_.end()) {
            return it->second;
        }
        int& anzahl =
            jeZeile_[(static_cast<std::uint64_t>(l.pc) << 8) | static_cast<std::uint64_t>(l.stufe)];
        if (anzahl >= kZustaendeJeZeile) {
            std::fill(l.tabelle.begin() + 1, l.tabelle.end(), kAllesUnbekannt);
            schluessel.tabelle = Tabelle(l.tabelle);
            it = ids_.find(schluessel);
            if (it != ids_.end()) {
                return it->second;
            }
        } else {
            ++anzahl;
        }
        if (schluessel_.size() >= grenze_) {
            throw ZuVieleZustaende{};
        }
        it = ids_.emplace(schluessel, static_cast<std::int32_t>(schluessel_.size())).first;
        schluessel_.push_back(&it->first);
        return it->second;
    }

  private:
    std::size_t grenze_;
    std::unordered_map<Schluessel, std::int32_t, SchluesselHash> ids_;
    std::vector<const Schluessel*> schluessel_;
    std::vector<std::pair<std::int32_t, std::int32_t>> stapelKnoten_{{-1, -1}};
    std::unordered_map<std::uint64_t, std::int32_t> stapelIds_;
    std::vector<std::array<std::uint8_t, kMaxStufen>> tabellen_;
    std::unordered_map<std::string, std::int32_t> tabellenIds_;
    std::unordered_map<std::uint64_t, int> jeZeile_;  // new states per line and level
};

}  // namespace taktler::pruefen
