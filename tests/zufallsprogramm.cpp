#include "zufallsprogramm.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <random>
#include <vector>

namespace taktler::test {

namespace {

class Erzeuger {
  public:
    explicit Erzeuger(std::uint32_t saat) : zufall_(saat) {}

    Zufallsprogramm Programm() {
        Block(2 + Zahl(9), 0);
        zeilen_.resize(zeilen_.size() + (Wahr(80) ? 1 : 0), "EXIT");
        for (const char* name : {"A", "B", "C"}) {
            if (Wahr(85)) {
                Unterprogramm(name);
            }
        }
        for (int n = Zahl(3); n > 0 && !zeilen_.empty(); --n) {
            Mutiere(zeilen_.begin() + Zahl(static_cast<int>(zeilen_.size())));
        }
        Zufallsprogramm p;
        const std::string ende = Wahr(90) ? "\n" : Eins({"\r\n", "\r"});
        for (const std::string& z : zeilen_) {
            p.kommandodatei += z + ende;
        }
        // A byte-order mark as some editors write it; nothing is read after Ctrl-Z.
        p.kommandodatei = (Wahr(2) ? "\xEF\xBB\xBF" : "") + p.kommandodatei;
        p.kommandodatei += Wahr(3) ? std::string(1, '\x1A') + "FAHRE\n" : "";
        // An analog input at 0 is measured again on every evaluation: slow.
        p.szenario = Wahr(90) ? "start analog 2 " + std::to_string(1 + Zahl(2499)) + "\n" : "";
        for (int n = Zahl(6); n > 0; --n) {
            const int wann = Zahl(3);
            const bool schalter = Wahr(70);
            const std::string zahl = std::to_string(1 + Zahl(wann == 1 && !schalter ? 60 : 40));
            p.szenario +=
                (wann == 0   ? "start"
                 : wann == 1 ? (schalter ? "abfrage " : "messung ") + zahl
                             : "zeit " + std::to_string(Zahl(50))) +
                (schalter ? " schalter " + std::to_string(Wahr(90) ? 1 + Zahl(3) : 1 + Zahl(8)) +
                                Eins({" an", " aus"})
                          : " analog " + std::to_string(1 + Zahl(2)) + " " +
                                std::to_string(Zahl(2500))) +
                "\n";
        }
        return p;
    }

  private:
    int Zahl(int n) { return static_cast<int>(zufall_() % static_cast<std::uint32_t>(n)); }
    bool Wahr(int prozent) { return Zahl(100) < prozent; }
    template <typename T>
    T Von(std::initializer_list<T> v) {
        return v.begin()[Zahl(static_cast<int>(v.size()))];
    }
    std::string Eins(std::initializer_list<std::string> v) { return Von(v); }

    std::string Motor() {
        return Wahr(6) ? Eins({"MOTOR5", "MOTOR0", "LAMPE"})
                       : "MOTOR" + std::to_string(1 + Zahl(4));
    }
    std::string Schalter() {
        return Wahr(8) ? Eins({"SCHALTER9", "SCHALTERX", "TASTER1"})
                       : "SCHALTER" + std::to_string(Wahr(70) ? 1 + Zahl(3) : 1 + Zahl(8));
    }
    // Words that other commands may take over as their names.
    std::string Wort() {
        return Eins({"OK", "X", "MOTOR1", "MOTOR5", "SCHALTER2", "SCHALTERX", "A", "B", "ZEIT",
                     "ANALOG1", "=", "5", "MAX", "DANACH"});
    }
    std::string Name() { return Wahr(5) ? "Z" : Eins({"A", "B", "C"}); }
    std::string Bedingung() {
        const int art = Zahl(100);
        return art < 35
                   ? (Wahr(8) ? "BIS ZEIT " : "BIS ZEIT = ") + std::to_string(Von({0, 1, 2, 5, 20}))
               : art < 70 ? "BIS " + Schalter() + " = " + std::to_string(Zahl(4))
               : art < 95 ? "BIS ANALOG1 " + Eins({">", "<", "="}) + " " +
                                std::to_string(Von({0, 100, 500, 1500, 3000}))
                          : "BIS ANALOG1 = MAX";
    }

    void Block(int laenge, int tiefe) {
        for (int i = 0; i < laenge; ++i) {
            const int art = Zahl(100);
            if (art >= 43 && art < 62 && tiefe < 3) {
                Schleife(tiefe);
                continue;
            }
            const std::string kurz = Eins(
                {"AUSSCHALTEN", "EINSCHALTEN", "BIS", "RUFE", "NOTHALT", "MELDUNG", "BIS ZEIT"});
            zeilen_.push_back(
                art < 12   ? "EINSCHALTEN " + Motor() + Eins({" LINKS", " RECHTS", ",LINKS", ""})
                : art < 21 ? "AUSSCHALTEN " + Motor()
                : art < 30 ? "MELDUNG " + Wort()
                : art < 32 ? "TRACELEVEL " + Eins({"0", "1", "4"})
                : art < 36 ? Eins({"; Kommentar", "", "   ; eingerueckt",
                                   "; hier UNTERPROGRAMM A und mehr"})
                : art < 38 ? "PAUSE " + Wort()
                : art < 41 ? "NOTHALT " + Schalter()
                : art < 42 ? "INFO @DIR@/" + Eins({"INFO.TXT", "LANG.TXT", "FEHLT.TXT", "K.TXT"})
                : art < 43 ? "SOUND @DIR@/" + Eins({"GONG.WAV", "FEHLT.WAV"})
                : art < 72 ? "RUFE " + Name()
                : art < 75 ? "EXIT"
                : art < 81 ? kurz  // takes its words from the line read before
                : art < 84 ? Eins({"ELSE", "ENDE", "ENDE_BIS", "ENDE_UNTERPROGRAMM"})
                : art < 85 ? Eins({"FOO", "REBOOT", "TRANSFER", "\tX", ",X"})
                           : "MELDUNG " + Wort());
            if (art >= 43 && art < 72 && Wahr(25)) {
                // After a call: the words come from the last line the call read.
                zeilen_.push_back(
                    Eins({"AUSSCHALTEN", "EINSCHALTEN", "BIS", "NOTHALT", "RUFE", "BIS ANALOG1"}));
            }
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
        zeilen_.push_back(Wahr(4)   ? "UNTERPROGRAMM " + name + " ; blinkt"
                          : Wahr(3) ? " UNTERPROGRAMM " + name  // never found
                                    : "UNTERPROGRAMM " + name);
        Block(Zahl(6), 1);
        zeilen_.resize(zeilen_.size() + (Wahr(95) ? 1 : 0), "ENDE_UNTERPROGRAMM");
    }

    void Mutiere(std::vector<std::string>::iterator bei) {
        switch (Zahl(10)) {
            case 0: {  // lines around the readers' limits
                const std::string kopf = Wahr(50) ? ";" : "MELDUNG ";
                const auto laenge = Von<std::size_t>({98, 99, 120, 198, 199, 250, 498, 499, 520});
                zeilen_.insert(bei, kopf + std::string(laenge - kopf.size(), 'L'));
                break;
            }
            case 1:
                zeilen_.erase(bei);
                break;
            case 2:
                zeilen_.insert(bei, std::string(*bei));
                break;
            case 3: {  // deep nesting around the rest of the main part
                const int tiefe = Von({40, 78, 79, 80});
                zeilen_.insert(zeilen_.begin(), static_cast<std::size_t>(tiefe), "BIS ZEIT = 0");
                zeilen_.insert(zeilen_.begin() + tiefe + Zahl(3), static_cast<std::size_t>(tiefe),
                               "ENDE");
                break;
            }
            case 4:
                std::transform(bei->begin(), bei->end(), bei->begin(), ::tolower);
                break;
            case 5:
                zeilen_.insert(bei, "");  // an empty line the reader may skip
                break;
            case 6:
                bei->insert(bei->size() / 2, 1, '\0');  // the stored line ends there
                break;
            case 7:
                *bei += Eins({" ", "  ", "\t"});
                break;
            default:  // a block end the header search takes for a header, or a call
                zeilen_.insert(bei, (Wahr(50) ? "ENDE_UNTERPROGRAMM " : "RUFE ") + Name());
                break;
        }
    }

    std::mt19937 zufall_;
    std::vector<std::string> zeilen_;
};

}  // namespace

Zufallsprogramm ErzeugeProgramm(std::uint32_t saat) {
    return Erzeuger(saat).Programm();
}

}  // namespace taktler::test
