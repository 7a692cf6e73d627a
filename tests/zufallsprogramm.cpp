#include "zufallsprogramm.h"

#include <random>
#include <vector>

namespace taktler::test {

namespace {

class Erzeuger {
  public:
    explicit Erzeuger(std::uint32_t saat) : zufall_(saat) {}

    Zufallsprogramm Programm() {
        Block(2 + Zahl(9), 0);
        if (Wahr(80)) {
            zeilen_.push_back("EXIT");
        }
        for (const char* name : {"A", "B", "C"}) {
            if (Wahr(85)) {
                Unterprogramm(name);
            }
        }
        for (int n = Zahl(3); n > 0; --n) {
            Mutiere();
        }
        Zufallsprogramm p;
        const char* ende = Wahr(90) ? "\n" : (Wahr(50) ? "\r\n" : "\r");
        for (const std::string& z : zeilen_) {
            p.kommandodatei += z + ende;
        }
        if (Wahr(2)) {
            p.kommandodatei = "\xEF\xBB\xBF" + p.kommandodatei;  // as some editors write it
        }
        if (Wahr(3)) {
            p.kommandodatei +=
                "\x1A"
                "FAHRE\n";  // after Ctrl-Z nothing is read
        }
        p.szenario = Szenario();
        return p;
    }

  private:
    int Zahl(int n) { return static_cast<int>(zufall_() % static_cast<std::uint32_t>(n)); }
    bool Wahr(int prozent) { return Zahl(100) < prozent; }
    template <typename T>
    const T& Eins(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(Zahl(static_cast<int>(v.size())))];
    }

    std::string Motor() {
        if (Wahr(6)) {
            return Eins<std::string>({"MOTOR5", "MOTOR0", "LAMPE"});
        }
        return "MOTOR" + std::to_string(1 + Zahl(4));
    }
    std::string Schalter() {
        if (Wahr(8)) {
            return Eins<std::string>({"SCHALTER9", "SCHALTERX", "TASTER1"});
        }
        return "SCHALTER" + std::to_string(Wahr(70) ? 1 + Zahl(3) : 1 + Zahl(8));
    }
    // Words that other commands may take over as their names.
    std::string Wort() {
        return Eins<std::string>({"OK", "X", "MOTOR1", "MOTOR5", "SCHALTER2", "SCHALTERX", "A", "B",
                                  "ZEIT", "ANALOG1", "=", "5", "MAX", "DANACH"});
    }
    std::string Name() { return Wahr(5) ? "Z" : Eins<std::string>({"A", "B", "C"}); }

    std::string Bedingung() {
        const int art = Zahl(100);
        if (art < 35) {
            const int grenze = Eins<int>({0, 1, 2, 5, 20});
            return Wahr(8) ? "BIS ZEIT " + std::to_string(grenze)
                           : "BIS ZEIT = " + std::to_string(grenze);
        }
        if (art < 70) {
            return "BIS " + Schalter() + " = " + std::to_string(Zahl(4));
        }
        if (art < 95) {
            return "BIS ANALOG1 " + Eins<std::string>({">", "<", "="}) + " " +
                   std::to_string(Eins<int>({0, 100, 500, 1500, 3000}));
        }
        return "BIS ANALOG1 = MAX";
    }

    void Block(int laenge, int tiefe) {
        for (int i = 0; i < laenge; ++i) {
            Anweisung(tiefe);
        }
    }

    void Anweisung(int tiefe) {
        const int art = Zahl(100);
        if (art < 12) {
            zeilen_.push_back("EINSCHALTEN " + Motor() +
                              Eins<std::string>({" LINKS", " RECHTS", ",LINKS", ""}));
        } else if (art < 21) {
            zeilen_.push_back("AUSSCHALTEN " + Motor());
        } else if (art < 30) {
            zeilen_.push_back("MELDUNG " + Wort());
        } else if (art < 32) {
            zeilen_.push_back("TRACELEVEL " + Eins<std::string>({"0", "1", "4"}));
        } else if (art < 36) {
            zeilen_.push_back(Eins<std::string>(
                {"; Kommentar", "", "   ; eingerueckt", "; hier UNTERPROGRAMM A und mehr"}));
        } else if (art < 38) {
            zeilen_.push_back("PAUSE " + Wort());
        } else if (art < 41) {
            zeilen_.push_back("NOTHALT " + Schalter());
        } else if (art < 42) {
            zeilen_.push_back("INFO @DIR@/" +
                              Eins<std::string>({"INFO.TXT", "LANG.TXT", "FEHLT.TXT", "K.TXT"}));
        } else if (art < 43) {
            zeilen_.push_back("SOUND @DIR@/" + Eins<std::string>({"GONG.WAV", "FEHLT.WAV"}));
        } else if (art < 62 && tiefe < 3) {
            Schleife(tiefe);
        } else if (art < 72) {
            zeilen_.push_back("RUFE " + Name());
            if (Wahr(25)) {
                // Takes its words from the last line the call read.
                zeilen_.push_back(Eins<std::string>(
                    {"AUSSCHALTEN", "EINSCHALTEN", "BIS", "NOTHALT", "RUFE", "BIS ANALOG1"}));
            }
        } else if (art < 75) {
            zeilen_.push_back("EXIT");
        } else if (art < 81) {
            zeilen_.push_back(Eins<std::string>(
                {"AUSSCHALTEN", "EINSCHALTEN", "BIS", "RUFE", "NOTHALT", "MELDUNG", "BIS ZEIT"}));
        } else if (art < 84) {
            zeilen_.push_back(
                Eins<std::string>({"ELSE", "ENDE", "ENDE_BIS", "ENDE_UNTERPROGRAMM"}));
        } else if (art < 85) {
            zeilen_.push_back(Eins<std::string>({"FOO", "REBOOT", "TRANSFER", "\tX", ",X"}));
        } else {
            zeilen_.push_back("MELDUNG " + Wort());
        }
    }

    void Schleife(int tiefe) {
        zeilen_.push_back(Bedingung());
        Block(Zahl(5), tiefe + 1);
        const bool sonst = Wahr(30);
        if (sonst) {
            zeilen_.push_back("ELSE");
            Block(Zahl(3), tiefe + 1);
        }
        zeilen_.push_back(Wahr(sonst ? 70 : 45) ? "ENDE" : "ENDE_BIS");
        if (Wahr(8)) {
            zeilen_.push_back("ELSE");
            Block(Zahl(3), tiefe + 1);
            zeilen_.push_back("ENDE");
        } else if (Wahr(8)) {
            zeilen_.push_back("ENDE");
        }
    }

    void Unterprogramm(const std::string& name) {
        std::string kopf = "UNTERPROGRAMM " + name;
        if (Wahr(4)) {
            kopf += " ; blinkt";
        } else if (Wahr(3)) {
            kopf = " " + kopf;
        }
        zeilen_.push_back(kopf);
        Block(Zahl(6), 1);
        if (Wahr(95)) {
            zeilen_.push_back("ENDE_UNTERPROGRAMM");
        }
    }

    void Mutiere() {
        if (zeilen_.empty()) {
            return;
        }
        const auto stelle = static_cast<std::size_t>(Zahl(static_cast<int>(zeilen_.size())));
        const auto bei = zeilen_.begin() + static_cast<std::ptrdiff_t>(stelle);
        switch (Zahl(10)) {
            case 0: {
                const int laenge = Eins<int>({98, 99, 120, 198, 199, 250, 498, 499, 520});
                std::string zeile = Wahr(50) ? ";" : "MELDUNG ";
                zeile += std::string(static_cast<std::size_t>(laenge) - zeile.size(), 'L');
                zeilen_.insert(bei, zeile);
                break;
            }
            case 1:
                zeilen_.erase(bei);
                break;
            case 2: {
                const std::string kopie = *bei;
                zeilen_.insert(bei, kopie);
                break;
            }
            case 3: {
                // Deep nesting around the rest of the main part.
                const int tiefe = Eins<int>({40, 78, 79, 80});
                std::vector<std::string> neu(static_cast<std::size_t>(tiefe), "BIS ZEIT = 0");
                zeilen_.insert(zeilen_.begin(), neu.begin(), neu.end());
                zeilen_.insert(zeilen_.begin() + tiefe + Zahl(3), static_cast<std::size_t>(tiefe),
                               "ENDE");
                break;
            }
            case 4:
                for (char& c : *bei) {
                    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
                }
                break;
            case 5:
                zeilen_.insert(bei, "");  // an empty line the reader may skip
                break;
            case 6:
                bei->insert(bei->size() / 2, 1, '\0');  // the stored line ends there
                break;
            case 7:
                *bei += Eins<std::string>({" ", "  ", "\t"});
                break;
            case 8:
                // A block end the header search takes for a header.
                zeilen_.insert(bei, "ENDE_UNTERPROGRAMM " + Name());
                break;
            default:
                zeilen_.insert(bei, "RUFE " + Name());
                break;
        }
    }

    std::string Szenario() {
        // An analog input at 0 is measured again on every evaluation: slow.
        std::string text =
            Wahr(90) ? "start analog 2 " + std::to_string(1 + Zahl(2499)) + "\n" : "";
        for (int n = Zahl(6); n > 0; --n) {
            const int wann = Zahl(3);
            std::string zeit = wann == 0   ? "start"
                               : wann == 1 ? "abfrage " + std::to_string(1 + Zahl(40))
                                           : "zeit " + std::to_string(Zahl(50));
            if (Wahr(70)) {
                const int k = Wahr(90) ? 1 + Zahl(3) : 1 + Zahl(8);
                text +=
                    zeit + " schalter " + std::to_string(k) + (Wahr(60) ? " an" : " aus") + "\n";
            } else {
                if (wann == 1) {
                    zeit = "messung " + std::to_string(1 + Zahl(60));
                }
                text += zeit + " analog " + std::to_string(1 + Zahl(2)) + " " +
                        std::to_string(Zahl(2500)) + "\n";
            }
        }
        return text;
    }

    std::mt19937 zufall_;
    std::vector<std::string> zeilen_;
};

}  // namespace

Zufallsprogramm ErzeugeProgramm(std::uint32_t saat) {
    return Erzeuger(saat).Programm();
}

}  // namespace taktler::test
