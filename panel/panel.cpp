// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/panel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "interpreter/laufstand.h"
#include "interpreter/taktler.h"
#include "panel/ablage.h"
#include "panel/bedienung.h"
#include "services/umgebung.h"
#include "services/unterbrechung.h"

namespace taktler::panel {

namespace {

constexpr std::uint64_t kBildabstandMs = 30;  // redraws while the run goes on
constexpr std::uint64_t kSofortMs = 10;       // after output or a motor change
constexpr int kWarteMs = 100;                 // key wait while the run waits
constexpr int kMaxTastenJeBlick = 64;
constexpr int kLeereAntwortenBisWeg = 20;

std::uint64_t Jetzt() {
    return services::DieUhr().MonotonMs();
}

// The panel as console, message box and view of the run.
class Sitzung : public services::Konsole, public services::Nachrichtenfenster {
  public:
    Sitzung(Bildschirm& schirm, interface::Simulator* simulator, std::string kommandodatei)
        : schirm_(schirm),
          sim_(simulator),
          bedienung_(simulator),
          kommandodatei_(std::move(kommandodatei)),
          motoren_(Motoren()) {
        seit_.fill(Jetzt());
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

    void NeueZeile(const interpreter::Kommandozeile& kz, const std::string& text) {
        zeilennummer_ = kz.Zeilennummer;
        zeilentext_ = text;
        Gelegenheit(kBildabstandMs);
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
            bedienung_.Taste(t, false);
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
        bedienung_.Taste(Taste(kWarteMs), true);
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
        m.zeilennummer = zeilennummer_;
        m.zeilentext = zeilentext_;
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
    std::int32_t zeilennummer_ = 0;
    std::string zeilentext_;
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

int PanelLauf(interface::Simulator* simulator, const std::vector<std::string>& dateien) {
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
    return PanelLauf(*schirm, simulator, dateien);
}

int PanelLauf(Bildschirm& schirm, interface::Simulator* simulator,
              const std::vector<std::string>& dateien) {
    const services::Umgebung vorher = services::Umwelt();
    Sitzung sitzung(schirm, simulator, dateien.empty() ? std::string() : dateien[0]);

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
    interpreter::SetzeZeilenHaken(
        [&sitzung](const interpreter::Kommandozeile& kz, const std::string& text) {
            sitzung.NeueZeile(kz, text);
        });
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
