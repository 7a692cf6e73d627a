// SPDX-License-Identifier: GPL-3.0-or-later
#include "pruefen/erster_durchgang.h"

#include "pruefen/zeilen.h"
#include "services/strtools.h"

namespace taktler::pruefen {

namespace {

class Layoutpruefung {
  public:
    explicit Layoutpruefung(std::vector<Befund>& befunde) : befunde_(befunde) {}

    void Satz(const Rohsatz& s) {
        if (!begonnen_) {
            std::string gross = s.text;
            services::strGross(gross.data());
            if (gross.find("UNTERPROGRAMM") == std::string::npos) {
                return;  // no keyword UNTERPROGRAMM: the definitions have not begun
            }
        }
        Zerlegt z = Zerlege(s.text);
        if (!begonnen_ && z.code != kUnterprogramm) {
            return;
        }
        begonnen_ = true;
        if (z.code == kUnterprogramm) {
            SchliesseStreuner();
            if (kopf_) {
                OhneEnde();
            }
            kopf_ = s.satz;
            kopfZeile_ = s.zeile;
            kopfName_ = z.hat[0] ? z.feld[0] : std::string();
            if (!s.text.empty() && s.text[0] == ' ') {
                befunde_.push_back({s.satz, s.zeile, false,
                                    "Kopfzeile mit Leerzeichen am Anfang wird nie gefunden"});
            }
        } else if (!kopf_) {
            if (z.code != kKommentar) {
                if (!streuner_) {
                    streuner_ = s;
                }
                letzterStreuner_ = s.zeile;
            }
        } else if (z.code == kEndeUnterprogramm) {
            kopf_.reset();
        }
    }

    void Ende() {
        SchliesseStreuner();
        if (kopf_) {
            OhneEnde();
        }
    }

  private:
    void OhneEnde() {
        befunde_.push_back({*kopf_, kopfZeile_, false,
                            "Unterprogramm " + Zeigbar(kopfName_) + " ohne ENDE_UNTERPROGRAMM"});
    }
    void SchliesseStreuner() {
        if (!streuner_) {
            return;
        }
        std::string text = "Zeile gehoert zu keinem Unterprogramm";
        if (letzterStreuner_ != streuner_->zeile) {
            text += " (ebenso bis Zeile " + std::to_string(letzterStreuner_) + ")";
        }
        befunde_.push_back({streuner_->satz, streuner_->zeile, false, text});
        streuner_.reset();
    }

    std::vector<Befund>& befunde_;
    bool begonnen_ = false;
    std::optional<std::int32_t> kopf_;
    int kopfZeile_ = 0;
    std::string kopfName_;
    std::optional<Rohsatz> streuner_;
    int letzterStreuner_ = 0;
};

}  // namespace

void BaueSuchindex(Quelle& quelle, Suchindex& index) {
    Satzleser leser(quelle, 0, 0, 1, kGrenzeLauf);
    Layoutpruefung layout(index.layout);
    Rohsatz s;
    while (leser.Naechster(s)) {
        if (s.laenge >= kGrenzeSprung && index.sprung.satz < 0) {
            index.sprung = {s.satz, s.zeile, s.laenge};
        }
        if (s.laenge >= kGrenzeSuche && index.suche.satz < 0) {
            index.suche = {s.satz, s.zeile, s.laenge};
        }
        if (s.laenge >= kGrenzeLauf) {
            index.zuLang = {s.satz, s.zeile, s.laenge};
            break;
        }
        ++index.anzahl;
        if (index.hauptEnde == INT32_MAX) {
            const std::int32_t code = Zerlege(s.text).code;
            if (code == kUnterprogramm) {
                index.hauptEnde = s.satz;
            } else if (code == kEnde || code == kEndeBis) {
                index.letzterSchliesser = s.satz;
            }
        }
        // Past the first line the search aborts on, no header is found.
        if (index.suche.satz < 0 && index.zuVieleFelder.satz < 0) {
            Kopfsicht kopf = SieheKopf(s.text);
            if (kopf.zuVieleFelder) {
                index.zuVieleFelder = {s.satz, s.zeile, s.laenge};
            } else if (kopf.kandidat && !index.ab) {
                const std::uint64_t h = NamensHash(kopf.name);
                if (index.koepfe.size() < kKoepfe || index.koepfe.count(h) != 0) {
                    index.koepfe.emplace(h, Kopfeintrag{s.satz, s.zeile, s.anfang});
                } else {
                    index.ab = Kopfeintrag{s.satz, s.zeile, s.anfang};
                }
            }
        }
        layout.Satz(s);
    }
    layout.Ende();
}

}  // namespace taktler::pruefen
