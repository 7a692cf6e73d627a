// SPDX-License-Identifier: GPL-3.0-or-later
// The walk: every state of the run once, from the start, with the step
// given as a parameter; which endings each state can reach (Tarjan's
// strongly connected components over the states as they are found).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "pruefen/schritt.h"
#include "pruefen/zustand.h"

namespace taktler::pruefen {

// A condition evaluated both ways.
struct Entscheidung {
    std::int32_t satz = 0;  // the BIS line
    std::int32_t nein = 0;  // state ids: condition met (0), still open (1)
    std::int32_t ja = 0;
};

class Gang {
  private:
    struct Zustandsinfo {
        std::int32_t index = -1;
        std::int32_t tief = 0;
        std::int32_t menge = 0;
        bool aufStapel = false;
        bool fertig = false;
    };

    // A state on the walk's stack; its successors lie in nachfolger_.
    struct Rahmen {
        std::int32_t id;
        std::size_t anfang;
        std::size_t ende;
        std::size_t naechster;
    };

  public:
    explicit Gang(Zustandsraum& raum) : raum_(raum) {}

    std::int32_t Start() const { return start_; }
    // The endings the paths from a state can reach.
    const std::vector<std::int32_t>& Menge(std::int32_t id) const {
        return mengen_.Menge(info_[static_cast<std::size_t>(id)].menge);
    }
    const std::vector<Entscheidung>& Entscheidungen() const { return entscheidungen_; }

    void Besuche(std::int32_t id, std::vector<Rahmen>& rahmen, std::vector<std::int32_t>& stapel) {
        Zustandsinfo& z = info_[static_cast<std::size_t>(id)];
        z.index = z.tief = zaehler_++;
        z.aufStapel = true;
        stapel.push_back(id);
        Folge f = (*schritt_)(raum_.Entfalte(id));
        const std::size_t anfang = nachfolger_.size();
        for (const Lage& n : f.weiter) {
            const std::int32_t nachfolger = Id(n);
            nachfolger_.push_back(nachfolger);
        }
        std::int32_t menge = 0;
        for (std::int32_t ende : f.enden) {
            menge = mengen_.Vereint(menge, mengen_.Eins(ende));
        }
        info_[static_cast<std::size_t>(id)].menge = menge;
        if (f.entscheidung) {
            entscheidungen_.push_back({f.satz, nachfolger_[anfang], nachfolger_[anfang + 1]});
        }
        rahmen.push_back({id, anfang, nachfolger_.size(), anfang});
    }

    // Tarjan's strongly connected components over the states as they are
    // found; a component's endings are those of all its members.
    void Durchlaufe(const std::function<Folge(const Lage&)>& schritt) {
        schritt_ = &schritt;
        std::vector<Rahmen> rahmen;
        std::vector<std::int32_t> stapel;
        start_ = Id(Lage{});
        Besuche(start_, rahmen, stapel);
        while (!rahmen.empty()) {
            Rahmen& r = rahmen.back();
            const std::int32_t v = r.id;
            if (r.naechster < r.ende) {
                const std::int32_t w = nachfolger_[r.naechster++];
                Zustandsinfo& zw = info_[static_cast<std::size_t>(w)];
                if (zw.index < 0) {
                    Besuche(w, rahmen, stapel);
                } else if (zw.aufStapel) {
                    auto& zv = info_[static_cast<std::size_t>(v)];
                    zv.tief = std::min(zv.tief, zw.index);
                } else {
                    auto& zv = info_[static_cast<std::size_t>(v)];
                    zv.menge = mengen_.Vereint(zv.menge, zw.menge);
                }
                continue;
            }
            nachfolger_.resize(r.anfang);
            rahmen.pop_back();
            Zustandsinfo& zv = info_[static_cast<std::size_t>(v)];
            if (zv.tief == zv.index) {
                std::int32_t menge = 0;
                std::size_t von = stapel.size();
                do {
                    --von;
                    menge =
                        mengen_.Vereint(menge, info_[static_cast<std::size_t>(stapel[von])].menge);
                } while (stapel[von] != v);
                for (std::size_t i = von; i < stapel.size(); ++i) {
                    Zustandsinfo& m = info_[static_cast<std::size_t>(stapel[i])];
                    m.menge = menge;
                    m.aufStapel = false;
                    m.fertig = true;
                }
                stapel.resize(von);
            }
            if (!rahmen.empty()) {
                Zustandsinfo& zp = info_[static_cast<std::size_t>(rahmen.back().id)];
                const Zustandsinfo& zc = info_[static_cast<std::size_t>(v)];
                if (zc.fertig) {
                    zp.menge = mengen_.Vereint(zp.menge, zc.menge);
                } else {
                    zp.tief = std::min(zp.tief, zc.tief);
                }
            }
        }
    }

  private:
    std::int32_t Id(const Lage& l) {
        const std::int32_t id = raum_.Zustand(l);
        if (info_.size() <= static_cast<std::size_t>(id)) {
            info_.resize(static_cast<std::size_t>(id) + 1);
        }
        return id;
    }

    Zustandsraum& raum_;
    const std::function<Folge(const Lage&)>* schritt_ = nullptr;
    Mengen mengen_;
    std::vector<Zustandsinfo> info_;
    std::vector<std::int32_t> nachfolger_;
    std::int32_t zaehler_ = 0;
    std::int32_t start_ = 0;
    std::vector<Entscheidung> entscheidungen_;
};

}  // namespace taktler::pruefen
