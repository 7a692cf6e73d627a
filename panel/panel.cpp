// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "interpreter/laufstand.h"
#include "interpreter/taktler.h"
#include "panel/ablage.h"
#include "panel/bedienung.h"
#include "panel/quelltext.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::panel {

namespace {

constexpr std::uint64_t kBildabstandMs = 30;  // redraws while the run goes on
constexpr std::uint64_t kSofortMs = 10;       // after output or a motor change
constexpr int kWarteMs = 100;                 // key wait while the run waits
constexpr int kMaxTastenJeBlick = 64;
constexpr int kLeereAntwortenBisWeg = 20;
constexpr int kWacheMs = 10;  // the emergency stop's watch while the run is held
constexpr std::array<int, 5> kTempiMs = {0, 100, 300, 1000, 3000};

std::uint64_t Jetzt() {
    return services::DieUhr().MonotonMs();
}

// The panel as console, message box and view of the run.
class Sitzung : public services::Konsole, public services::Nachrichtenfenster {
  public:
    Sitzung(Bildschirm& schirm, interface::Simulator* simulator, std::string kommandodatei,
            const std::vector<std::int32_t>& haltZeilen)
        : schirm_(schirm),
          sim_(simulator),
          bedienung_(simulator),
          kommandodatei_(std::move(kommandodatei)),
          motoren_(Motoren()) {
        seit_.fill(Jetzt());
        quelleGeladen_ = quelle_.Laden(kommandodatei_);
        std::string abgelehnt;
        for (std::int32_t zeile : haltZeilen) {
            std::string grund = KeinHaltepunkt(zeile);
            if (grund.empty()) {
                haltepunkte_.insert(zeile);
            } else if (abgelehnt.empty()) {
                abgelehnt = "--halt: " + grund;
            }
        }
        hinweis_ = abgelehnt;
    }

    void Aus(std::string_view text) override {
        ablage_.Anhaengen(text);
        mitschrift_.Anhaengen(Strom::Aus, text);
        Gelegenheit(kSofortMs);
    }

    void Fehler(std::string_view text) override {
        ablage_.Anhaengen(text);
        mitschrift_.Anhaengen(Strom::Fehler, text);
        Gelegenheit(kSofortMs);
    }

    // PAUSE: the word comes from the lines typed in the panel.
    bool LiesWort() override {
        Eingabe& e = bedienung_.eingabe();
        for (;;) {
            if (services::UnterbrochenesSignal() != 0) {
                return false;
            }
            if (NimmWort(vorrat_, e.ende)) {
                return true;
            }
            if (e.ende) {
                return false;
            }
            std::optional<std::string> zeile = WarteAufZeile();
            if (zeile) {
                vorrat_ += *zeile;
            }
        }
    }

    // Reports show their line in the pane; a WARNUNG without a fixed answer
    // is asked in the panel, since the terminal belongs to it.
    services::Antwort Zeige(std::string_view titel, std::string_view zeile,
                            bool mitAbbrechen) override {
        services::KonsolenFenster& standard = services::StandardFenster();
        if (!mitAbbrechen || standard.festeAntwort) {
            return standard.Zeige(titel, zeile, mitAbbrechen);
        }
        standard.Zeige(titel, zeile, false);  // only shows the line
        Echo("OK oder Abbrechen? [o/a] ");
        for (;;) {
            if (services::UnterbrochenesSignal() != 0 || bedienung_.eingabe().ende) {
                Echo("\n");
                return services::Antwort::Abbrechen;
            }
            std::optional<std::string> antwort = WarteAufZeile();
            if (antwort) {
                return IstOk(*antwort) ? services::Antwort::OK : services::Antwort::Abbrechen;
            }
        }
    }

    // Before the line is carried out: the pause after the line before, then
    // the hold when a breakpoint or a key asks for it.
    void NeueZeile(const std::string& text) {
        editorzeile_ = interpreter::Stand().editorzeile;
        zeilentext_ = text;
        Gelegenheit(kBildabstandMs);
        if (Tempo() > 0) {
            Wache(true);
        }
        if (haltAngefordert_ || haltepunkte_.count(editorzeile_) != 0) {
            haltAngefordert_ = false;
            gehalten_ = true;
            cursor_ = editorzeile_;
            Zeichnen();
            Wache(false);
            Zeichnen();
        }
    }

    void MotorenGelatcht(const interface::Simulator::Motorzustand& motoren) {
        MotorenMerken(motoren);
        Gelegenheit(kSofortMs);
    }

    // The end of the run, however it ends: the last picture, a key to close
    // it unless the run was interrupted, then the terminal back and the
    // run's output on standard output and standard error.
    void Schliessen(int code, const services::Umgebung& vorher) {
        if (geschlossen_) {
            return;
        }
        const bool unterbrochen = services::UnterbrochenesSignal() != 0;
        gehalten_ = false;
        schluss_ =
            services::Format("Lauf %s (Exit-Code %d)", code == 0 ? "beendet" : "abgebrochen", code);
        if (!unterbrochen) {
            schluss_ += " - q, Esc oder Enter schliesst das Panel";
        }
        Zeichnen();
        while (!unterbrochen && !terminalWeg_ && services::UnterbrochenesSignal() == 0) {
            int t = Taste(kWarteMs);
            if (t == 'q' || t == 'Q' || t == taste::kEsc || t == taste::kEnter) {
                break;
            }
            if (t != taste::kKeine) {
                bedienung_.Taste(t, false);
                Zeichnen();
            }
        }
        geschlossen_ = true;
        schirm_.Schliessen();
        services::Umwelt().konsole = vorher.konsole;
        services::Umwelt().fenster = vorher.fenster;
        mitschrift_.Abspielen(services::DieKonsole());
    }

  private:
    void Echo(std::string_view text) {
        ablage_.Anhaengen(text);
        mitschrift_.Anhaengen(Strom::Echo, text);
    }

    int Tempo() const { return kTempiMs[tempo_]; }

    // Why a line can take no breakpoint, or "".
    std::string KeinHaltepunkt(std::int32_t zeile) const {
        if (!quelleGeladen_) {
            return {};  // unread source: the run's own lines decide
        }
        if (zeile < 1 || zeile > quelle_.Anzahl()) {
            return services::Format("Zeile %d gibt es nicht, kein Haltepunkt", zeile);
        }
        if (!interpreter::IstBefehlszeile(quelle_.Zeile(zeile))) {
            return services::Format(
                "Zeile %d ist kein Befehl (leer oder Kommentar), kein Haltepunkt", zeile);
        }
        return {};
    }

    // The keys of the run's steps, then those of the interface and of the
    // answer the run waits for.
    void Bedienen(int t, bool wartet) {
        if (t == taste::kKeine || t == taste::kGroesse) {
            return;
        }
        hinweis_.clear();
        switch (t) {
            case taste::kF6:
                haltAngefordert_ = !gehalten_;
                return;
            case taste::kF10:
            case taste::kF5:
                if (gehalten_) {
                    haltAngefordert_ = t == taste::kF10;
                    gehalten_ = false;
                }
                return;
            case taste::kF9:
                if (gehalten_) {
                    hinweis_ = KeinHaltepunkt(cursor_);
                    if (hinweis_.empty() && haltepunkte_.erase(cursor_) == 0) {
                        haltepunkte_.insert(cursor_);
                    }
                }
                return;
            default:
                break;
        }
        if (!wartet && (t == '+' || t == '-')) {
            tempo_ = t == '+' ? std::min(tempo_ + 1, kTempiMs.size() - 1)
                              : (tempo_ == 0 ? 0 : tempo_ - 1);
            return;
        }
        if (gehalten_) {
            const std::int32_t letzte = quelleGeladen_ ? quelle_.Anzahl() : editorzeile_;
            if (t == taste::kHoch || t == taste::kRunter) {
                cursor_ =
                    std::clamp(cursor_ + (t == taste::kHoch ? -1 : 1), 1, std::max(letzte, 1));
                return;
            }
            t = t == taste::kLinks ? taste::kRunter : t == taste::kRechts ? taste::kHoch : t;
        }
        bedienung_.Taste(t, wartet);
    }

    // The run stands still: held before its line until a key lets it go on,
    // or (pause) for the pause after each line. The emergency stop and
    // Ctrl-C are watched as between lines; nothing is sent to the motors. A
    // terminal that is gone lets the run go on as without the panel.
    void Wache(bool pause) {
        const std::uint64_t seit = Jetzt();
        for (;;) {
            if (pause ? haltAngefordert_ || Jetzt() - seit >= static_cast<std::uint64_t>(Tempo())
                      : !gehalten_) {
                return;
            }
            const int t = Taste(kWacheMs);
            if (terminalWeg_) {
                gehalten_ = haltAngefordert_ = false;
                haltepunkte_.clear();
                tempo_ = 0;
                return;
            }
            if (t != taste::kKeine) {
                Bedienen(t, false);
                Zeichnen();
            }
            interpreter::HaltPruefen();
            if (Jetzt() - letzteZeichnung_ >= kBildabstandMs) {
                Zeichnen();
            }
        }
    }

    // Keys and a new picture, at most every abstandMs.
    void Gelegenheit(std::uint64_t abstandMs) {
        if (geschlossen_) {
            return;
        }
        std::uint64_t jetzt = Jetzt();
        if (gezeichnet_ && jetzt - letzteZeichnung_ < abstandMs) {
            return;
        }
        for (int i = 0; i < kMaxTastenJeBlick; ++i) {
            int t = schirm_.LiesTaste(0);
            if (t == taste::kKeine) {
                break;
            }
            Bedienen(t, false);
            // One switch change per picture, so that a quick press and
            // release still meet a read of the inputs in between.
            if (t >= '1' && t <= '8') {
                break;
            }
        }
        Zeichnen();
    }

    // Waits for one key while the run waits for an answer. A terminal that
    // answers at once with nothing, again and again, is gone.
    int Taste(int wartezeitMs) {
        std::uint64_t vorher = Jetzt();
        int t = schirm_.LiesTaste(wartezeitMs);
        if (t == taste::kKeine && Jetzt() - vorher < static_cast<std::uint64_t>(wartezeitMs) / 2) {
            terminalWeg_ = ++leereAntworten_ >= kLeereAntwortenBisWeg;
        } else {
            leereAntworten_ = 0;
        }
        return t;
    }

    // One round of waiting for typed input; gives the line when Enter sent
    // it (with its line end) or, at the end of input, what was typed.
    std::optional<std::string> WarteAufZeile() {
        Eingabe& e = bedienung_.eingabe();
        wartet_ = true;
        Zeichnen();
        Bedienen(Taste(kWarteMs), true);
        wartet_ = false;
        if (terminalWeg_) {
            e.ende = true;
        }
        std::optional<std::string> zeile;
        if (e.abgeschickt) {
            zeile = *e.abgeschickt + "\n";
            e.abgeschickt.reset();
        } else if (e.ende) {
            zeile = e.zeile;
            e.zeile.clear();
        }
        if (zeile) {
            Echo(*zeile);
        }
        return zeile;
    }

    // The time of each motor's last change of state.
    void MotorenMerken(const interface::Simulator::Motorzustand& motoren) {
        const std::uint64_t jetzt = Jetzt();
        for (std::size_t i = 0; i < 4; ++i) {
            if (motoren[i] != motoren_[i]) {
                motoren_[i] = motoren[i];
                seit_[i] = jetzt;
            }
        }
    }

    // The latched motors on the simulator; on a real port the states last
    // sent, as the interface record holds them.
    interface::Simulator::Motorzustand Motoren() const {
        if (sim_ != nullptr) {
            return sim_->Motoren();
        }
        interface::Simulator::Motorzustand m = interpreter::Stand().schnittstelle.Motoren;
        for (char& motor : m) {
            motor = motor == 'L' || motor == 'R' ? motor : 'N';
        }
        return m;
    }

    Momentaufnahme Aufnahme() {
        Momentaufnahme m;
        MotorenMerken(Motoren());
        const std::uint64_t jetzt = Jetzt();
        for (std::size_t i = 0; i < 4; ++i) {
            m.dauerMs[i] = jetzt - seit_[i];
        }
        m.kommandodatei = kommandodatei_;
        m.motoren = motoren_;
        const interpreter::Laufstand stand = interpreter::Stand();
        if (sim_ != nullptr) {
            m.schalter = sim_->Schalter();
            m.analog = {sim_->AnalogWert(1), sim_->AnalogWert(2)};
        } else {
            // As the last read and measurement reported them.
            for (std::size_t i = 0; i < m.schalter.size(); ++i) {
                m.schalter[i] = stand.schnittstelle.Eingaenge[i] == '1';
            }
            m.analog = {stand.schnittstelle.Analog1, stand.schnittstelle.Analog2};
        }
        m.echterPort = sim_ == nullptr;
        m.auswahl = bedienung_.Auswahl();
        m.editorzeile = editorzeile_;
        m.zeilentext = zeilentext_;
        m.quelle = quelleGeladen_ ? &quelle_ : nullptr;
        m.haltepunkte = haltepunkte_;
        m.gehalten = gehalten_;
        m.cursor = cursor_;
        m.tempoMs = Tempo();
        m.hinweis = hinweis_;
        m.stufe = stand.stufe;
        m.tracelevel = stand.tracelevel;
        m.nothalt = stand.nothaltAktiv;
        m.nothaltSchalter = stand.nothaltSchalter;
        m.wartet = wartet_;
        m.eingabe = bedienung_.eingabe().zeile;
        m.schluss = schluss_;
        return m;
    }

    void Zeichnen() {
        schirm_.Zeige(Zeichne(Aufnahme(), ablage_, schirm_.Breite(), schirm_.Hoehe()));
        letzteZeichnung_ = Jetzt();
        gezeichnet_ = true;
    }

    Bildschirm& schirm_;
    interface::Simulator* sim_;
    Bedienung bedienung_;
    std::string kommandodatei_;
    Ablage ablage_;
    Mitschrift mitschrift_;
    interface::Simulator::Motorzustand motoren_;
    std::array<std::uint64_t, 4> seit_{};
    std::int32_t editorzeile_ = 0;
    std::string zeilentext_;
    Quelltext quelle_;
    bool quelleGeladen_ = false;
    std::set<std::int32_t> haltepunkte_;
    bool haltAngefordert_ = false;  // hold before the next line
    bool gehalten_ = false;
    std::int32_t cursor_ = 0;
    std::size_t tempo_ = 0;  // index into kTempiMs
    std::string hinweis_;
    std::string vorrat_;  // typed lines PAUSE has not read yet
    std::string schluss_;
    bool wartet_ = false;
    bool gezeichnet_ = false;
    bool geschlossen_ = false;
    bool terminalWeg_ = false;
    int leereAntworten_ = 0;
    std::uint64_t letzteZeichnung_ = 0;
};

}  // namespace

std::string PanelVorbereiten(interface::PortOptionen& port) {
    (void)port;
    return PruefeTerminal();
}

int PanelLauf(interface::Simulator* simulator, const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen) {
    // A wrong argument count only prints the usage; no panel for that.
    if (dateien.size() < 2 || dateien.size() > 6) {
        return interpreter::Programmlauf(dateien);
    }
    std::string fehler;
    std::unique_ptr<Bildschirm> schirm = OeffneTerminal(fehler);
    if (!schirm) {
        services::FehlerAusgabe("taktler: %s\n", fehler.c_str());
        return 12;
    }
    return PanelLauf(*schirm, simulator, dateien, haltZeilen);
}

int PanelLauf(Bildschirm& schirm, interface::Simulator* simulator,
              const std::vector<std::string>& dateien,
              const std::vector<std::int32_t>& haltZeilen) {
    const services::Umgebung vorher = services::Umwelt();
    Sitzung sitzung(schirm, simulator, dateien.empty() ? std::string() : dateien[0], haltZeilen);

    // Puts everything back also when the run leaves through a test's exit.
    struct Zuruecksetzen {
        const services::Umgebung& vorher;
        interface::Simulator* simulator;
        ~Zuruecksetzen() {
            interpreter::SetzeZeilenHaken(nullptr);
            if (simulator != nullptr) {
                simulator->SetzeBeobachter(nullptr);
            }
            services::Umwelt() = vorher;
        }
    } zuruecksetzen{vorher, simulator};

    services::Umwelt().konsole = &sitzung;
    services::Umwelt().fenster = &sitzung;
    // Every ending of the run passes here: close the panel, then the
    // ending goes on as without it.
    services::Umwelt().ende = [&sitzung, &vorher](int code) {
        sitzung.Schliessen(code, vorher);
        if (vorher.ende) {
            vorher.ende(code);
        }
    };
    interpreter::SetzeZeilenHaken([&sitzung](const interpreter::Kommandozeile&,
                                             const std::string& text) { sitzung.NeueZeile(text); });
    if (simulator != nullptr) {
        simulator->SetzeBeobachter([&sitzung](const interface::Simulator::Motorzustand& m) {
            sitzung.MotorenGelatcht(m);
        });
    }

    int code = interpreter::Programmlauf(dateien);
    sitzung.Schliessen(code, vorher);
    return code;
}

}  // namespace taktler::panel
