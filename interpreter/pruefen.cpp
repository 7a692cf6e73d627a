#include "interpreter/pruefen.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "datei/datei.h"
#include "interpreter/kommandozeile.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/sensorik.h"
#include "interpreter/unterprogramme.h"
#include "services/pfade.h"
#include "services/strtools.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

// A record of n characters makes the reader abort when n reaches its
// buffer's capacity - 1.
constexpr std::size_t kGrenzeLauf = kZeilenpuffer - 1;
constexpr std::size_t kGrenzeSuche = kSuchzeile - 1;
constexpr std::size_t kGrenzeSprung = kSprungzeile - 1;

// One record of the command file, as the script loop would see it.
struct Satz {
    int zeile = 0;           // line number in an editor
    std::size_t laenge = 0;  // characters the reader stores for it
    std::string roh;         // the record as read, before trimming
    std::int32_t code = kKommentar;
    // After parsing; fields the line lacks keep an earlier line's text.
    std::string kommando;
    std::string p1;
    std::string p3;
    bool hat3 = false;  // the line itself has a fourth field
};

struct Gelesen {
    std::vector<Satz> saetze;
    std::string fehler;  // set when the file cannot be read at all
};

bool IstZeilenende(char c) {
    return c == '\r' || c == '\n' || c == '\x1A';
}

// Records as the program's reader delivers them, with line numbers an
// editor shows: an empty line ended by a bare LF is no record of its own,
// so the reader's count can run behind the editor's.
Gelesen LiesKommandodatei(const std::string& pfad) {
    Gelesen g;
    struct stat info {};
    if (::stat(pfad.c_str(), &info) != 0) {
        g.fehler = "Datei nicht vorhanden";
        return g;
    }
    std::ifstream ein(pfad, std::ios::binary);
    if (!ein) {
        g.fehler = std::string("Datei kann nicht gelesen werden: ") + std::strerror(errno);
        return g;
    }
    const std::string bytes((std::istreambuf_iterator<char>(ein)),
                            std::istreambuf_iterator<char>());
    std::vector<std::size_t> zeilenanfaenge{0};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))) {
            zeilenanfaenge.push_back(i + 1);
        }
    }

    // No record is longer than the file, so this reader never aborts; the
    // lengths are measured against the program's own buffers below.
    const auto kapazitaet =
        static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() + 4096, UINT32_MAX));
    std::vector<char> puffer(kapazitaet);
    datei::DateiADO* datei = datei::Create();
    datei::SetzePfad(datei, pfad.c_str());
    Kommandozeile kz{};
    while (datei::LiesSatz(datei, puffer.data(), kapazitaet) == 1) {
        Satz s;
        const auto anfang = static_cast<std::size_t>(datei->Pos);
        while (anfang + s.laenge < bytes.size() && !IstZeilenende(bytes[anfang + s.laenge])) {
            ++s.laenge;
        }
        s.zeile = static_cast<int>(
            std::upper_bound(zeilenanfaenge.begin(), zeilenanfaenge.end(), anfang) -
            zeilenanfaenge.begin());
        s.roh = puffer.data();

        std::string zeile = s.roh;
        services::strTrimEnde(zeile.data());
        // A field the parser stores never holds a comma: a comma left in
        // the probe means the line has no such field.
        std::string probe = zeile;
        ParseKommandozeile(zeile.data(), &kz);
        s.code = GibKommando(&kz);
        s.kommando = kz.Kommando.data();
        s.p1 = kz.Parameter1.data();
        s.p3 = kz.Parameter3.data();
        Kommandozeile leer{};
        Kopiere(leer.Parameter3, ",");
        ParseKommandozeile(probe.data(), &leer);
        s.hat3 = std::strcmp(leer.Parameter3.data(), ",") != 0;
        g.saetze.push_back(std::move(s));
    }
    datei::Dispose(datei);
    return g;
}

// Control bytes would garble the finding line.
std::string Zeigbar(const std::string& text) {
    if (text.empty()) {
        return "(leer)";
    }
    std::string aus;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        aus += (b < 0x20 || b == 0x7F) ? services::Format("\\x%02X", b) : std::string(1, c);
    }
    return aus;
}

// Optional sign and decimal digits, nothing else.
bool IstZahl(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool Existiert(const std::string& pfad) {
    struct stat info {};
    return ::stat(pfad.c_str(), &info) == 0;
}

class Pruefer {
  public:
    explicit Pruefer(std::vector<Satz> saetze) : saetze_(std::move(saetze)) {
        geprueft_.assign(saetze_.size(), false);
        hauptende_ = saetze_.size();
        for (std::size_t i = 0; i < saetze_.size(); ++i) {
            if (saetze_[i].code == kUnterprogramm) {
                hauptende_ = i;
                break;
            }
        }
    }

    void Pruefe() {
        GeheHauptprogramm();
        Definitionen();
        Zeilenlaengen();
    }

    struct Befund {
        std::size_t satz;
        bool fehler;
        std::string text;
    };

    std::vector<Befund> Befunde() const {
        std::vector<Befund> sortiert = befunde_;
        std::stable_sort(sortiert.begin(), sortiert.end(),
                         [](const Befund& a, const Befund& b) { return a.satz < b.satz; });
        return sortiert;
    }

    int Zeile(std::size_t satz) const { return saetze_[satz].zeile; }

  private:
    // What the walk learned about a called subroutine.
    struct Unterprogramm {
        bool gesucht = false;
        std::optional<std::size_t> kopf;  // record of the header the search finds
        enum { Neu, InArbeit, Fertig } stand = Neu;
        int tiefe = 0;  // deepest level inside, relative to the call's level
        bool kehrtZurueck = false;
    };

    // A jump that re-reads records [0, ende) with GeheZuSatz's buffer.
    struct Sprung {
        std::size_t ende;
        std::size_t ziel;  // the BIS or RUFE line it returns to
    };

    void Fehler(std::size_t satz, std::string text) { Melde(satz, true, std::move(text)); }
    void Warnung(std::size_t satz, std::string text) { Melde(satz, false, std::move(text)); }
    void Melde(std::size_t satz, bool fehler, std::string text) {
        if (gemeldet_.insert({satz, text}).second) {
            befunde_.push_back({satz, fehler, std::move(text)});
        }
    }

    // The straight flow from the first line to the first UNTERPROGRAMM line,
    // with every call taken and returning. Levels count as in the dispatch:
    // skipped blocks raise and lower them too.
    void GeheHauptprogramm() {
        int stufe = 0;
        std::vector<std::size_t> offen;  // BIS lines of the open blocks
        for (std::size_t i = 0; i < hauptende_; ++i) {
            const Satz& s = saetze_[i];
            PruefeZeile(i, scharf_);
            switch (s.code) {
                case kBis:
                    if (stufe + 1 >= kMaxStufen) {
                        Fehler(i, "Verschachtelung tiefer als Stufe 79");
                    }
                    offen.push_back(i);
                    ++stufe;
                    break;
                case kRufe: {
                    if (stufe > 0) {
                        WarnungRufeImBlock(i);
                    }
                    const int tiefe = Rufe(i, stufe == 0);
                    if (stufe + 1 >= kMaxStufen) {
                        Fehler(i, "Verschachtelung tiefer als Stufe 79");
                    } else if (tiefe >= 0 && stufe + 1 + tiefe >= kMaxStufen) {
                        Fehler(i, "Verschachtelung tiefer als Stufe 79 im Unterprogramm " +
                                      Zeigbar(s.p1));
                    }
                    break;
                }
                case kEnde:
                case kEndeBis:
                case kEndeUnterprogramm:
                    if (stufe == 0) {
                        Fehler(i, Zeigbar(s.kommando) + " ohne offenen Block");
                        break;
                    }
                    if (s.code == kEndeUnterprogramm) {
                        Fehler(i, "ENDE_UNTERPROGRAMM im Hauptprogramm");
                    }
                    if (s.code == kEndeBis) {
                        i = SchliesseSchleife(i, offen, stufe, hauptende_).value_or(hauptende_);
                        break;
                    }
                    Schliesse(i, offen);
                    --stufe;
                    break;
                case kNothalt:
                    scharf_ = scharf_ || stufe == 0;
                    break;
                case kExit:
                    if (stufe == 0) {
                        return;  // nothing after it is reached
                    }
                    break;
                default:
                    break;
            }
        }
        for (std::size_t bis : offen) {
            Warnung(bis, "BIS-Block wird vor dem Ende des Hauptprogramms nicht geschlossen");
        }
    }

    // A loop ends on a pass that skips its body. Skipped lines still open
    // and close levels, and a skipped RUFE opens one that no
    // ENDE_UNTERPROGRAMM closes, so that pass may return to the level of
    // the BIS line only at a later line than the loop's own ENDE_BIS. Gives
    // the record where it does; none when the program part (up to grenze)
    // ends first. An ELSE right in the body lets the rest of the body run,
    // so the loop then ends at its own ENDE_BIS. stufe is the BIS line's
    // level before it raised it.
    std::optional<std::size_t> LetzterDurchlauf(std::size_t bis, std::size_t endeBis,
                                                std::size_t grenze, int stufe) {
        int relativ = 1;
        for (std::size_t r = bis + 1; r < grenze; ++r) {
            switch (saetze_[r].code) {
                case kElse:
                    if (relativ == 1) {
                        return endeBis;
                    }
                    break;
                case kBis:
                case kRufe:
                    ++relativ;
                    if (stufe + relativ >= kMaxStufen) {
                        Fehler(r, "Verschachtelung tiefer als Stufe 79");
                        return endeBis;
                    }
                    break;
                case kEnde:
                case kEndeBis:
                case kEndeUnterprogramm:
                    if (--relativ == 0) {
                        return r;
                    }
                    break;
                default:
                    break;
            }
        }
        return std::nullopt;
    }

    // ENDE_BIS at record satz closes the innermost open loop. The walk goes
    // on at the record where the loop's last, skipped pass returns to the
    // loop's level; none when no line up to grenze runs any more.
    std::optional<std::size_t> SchliesseSchleife(std::size_t satz, std::vector<std::size_t>& offen,
                                                 int& stufe, std::size_t grenze) {
        const std::size_t bis = offen.back();
        Schliesse(satz, offen);
        --stufe;
        auto weiter = LetzterDurchlauf(bis, satz, grenze, stufe);
        if (!weiter) {
            RestUebersprungen(satz, grenze);
            offen.clear();
        }
        return weiter;
    }

    // After the loop closed at satz, no line up to grenze runs any more;
    // unknown keywords there still end a run.
    void RestUebersprungen(std::size_t satz, std::size_t grenze) {
        Warnung(satz,
                "nach dieser Schleife bleibt der Rest uebersprungen: ein RUFE im "
                "Schleifenblock laesst beim letzten Durchlauf eine Stufe offen");
        for (std::size_t r = satz + 1; r < grenze; ++r) {
            const std::int32_t code = saetze_[r].code;
            if (code == kReboot || code == kTransfer || code == kUnbekannt) {
                PruefeZeile(r, true);
            }
        }
    }

    // The record after a subroutine's lines: the next UNTERPROGRAMM line or
    // the end of the file.
    std::size_t Definitionsende(std::size_t kopf) const {
        for (std::size_t i = kopf + 1; i < saetze_.size(); ++i) {
            if (saetze_[i].code == kUnterprogramm) {
                return i;
            }
        }
        return saetze_.size();
    }

    void WarnungRufeImBlock(std::size_t satz) {
        Warnung(satz,
                "RUFE in einem BIS-Block: uebersprungen laesst es die Stufe erhoeht, "
                "das naechste ENDE schliesst den falschen Block");
    }

    // ENDE_BIS loops: going back to the BIS line re-reads every line above it.
    void Schliesse(std::size_t satz, std::vector<std::size_t>& offen) {
        if (saetze_[satz].code == kEndeBis) {
            spruenge_.push_back({offen.back(), offen.back()});
        }
        offen.pop_back();
    }

    // A call from record satz: searches the header and walks the body once.
    // Gives the body's depth, or -1 when it is not known.
    int Rufe(std::size_t satz, bool vonNull) {
        const std::string& name = saetze_[satz].p1;
        Unterprogramm& up = unterprogramme_[name];
        if (!up.gesucht) {
            up.gesucht = true;
            up.kopf = Suche(name);
        }
        if (!up.kopf) {
            Fehler(satz, "Unterprogramm " + Zeigbar(name) + " nicht gefunden");
            return -1;
        }
        aufrufe_.push_back({satz, name});
        if (up.stand == Unterprogramm::Fertig) {
            return up.tiefe;
        }
        if (up.stand == Unterprogramm::InArbeit) {
            // Every call on the way back to it stands at its body's own
            // level, so each one is certainly made: the levels only grow.
            auto frame = std::find(aufrufkette_.begin(), aufrufkette_.end(), name);
            bool sicher = vonNull && std::all_of(frame + 1, aufrufkette_.end(), [&](const auto& n) {
                              return vonNullGerufen_.at(n);
                          });
            if (sicher) {
                Fehler(satz, "endlose Rekursion ueber Unterprogramm " + Zeigbar(name) +
                                 ": Verschachtelung tiefer als Stufe 79");
            }
            return -1;
        }
        vonNullGerufen_[name] = vonNull;
        Koerper(name, *up.kopf);
        return unterprogramme_[name].tiefe;
    }

    // The body from the line after the header: it returns at an
    // ENDE_UNTERPROGRAMM; the next UNTERPROGRAMM line, an EXIT at its own
    // level or the end of the file end the run instead.
    void Koerper(const std::string& name, std::size_t kopf) {
        unterprogramme_[name].stand = Unterprogramm::InArbeit;
        aufrufkette_.push_back(name);
        int stufe = 0;
        int tiefe = 0;
        bool zurueck = false;
        std::vector<std::size_t> offen;
        bool scharf = scharf_;
        for (std::size_t i = kopf + 1; i < saetze_.size(); ++i) {
            const Satz& s = saetze_[i];
            if (s.code == kUnterprogramm) {
                break;
            }
            PruefeZeile(i, scharf);
            bool ende = false;
            switch (s.code) {
                case kBis:
                    offen.push_back(i);
                    ++stufe;
                    tiefe = std::max(tiefe, stufe);
                    break;
                case kRufe: {
                    if (stufe > 0) {
                        WarnungRufeImBlock(i);
                    }
                    const int innen = Rufe(i, stufe == 0);
                    tiefe = std::max(tiefe, stufe + 1 + std::max(innen, 0));
                    break;
                }
                case kEnde:
                case kEndeBis:
                    if (stufe == 0) {
                        Fehler(i, Zeigbar(s.kommando) + " ohne offenen Block");
                        break;
                    }
                    if (s.code == kEndeBis) {
                        auto weiter = SchliesseSchleife(i, offen, stufe, Definitionsende(kopf));
                        ende = !weiter;
                        i = weiter.value_or(i);
                        break;
                    }
                    Schliesse(i, offen);
                    --stufe;
                    break;
                case kEndeUnterprogramm:
                    for (std::size_t bis : offen) {
                        Warnung(bis, "BIS-Block wird vor ENDE_UNTERPROGRAMM nicht geschlossen");
                    }
                    zurueck = true;
                    ende = true;
                    break;
                case kNothalt:
                    scharf = scharf || stufe == 0;
                    break;
                case kExit:
                    ende = stufe == 0;
                    break;
                default:
                    break;
            }
            if (ende) {
                break;
            }
        }
        aufrufkette_.pop_back();
        Unterprogramm& up = unterprogramme_[name];
        up.stand = Unterprogramm::Fertig;
        up.tiefe = tiefe;
        up.kehrtZurueck = zurueck;
    }

    // The header search from the first line, as FindeUnterprogramm reads.
    // Lines it would refuse are noted; the search goes on past them to name
    // every one of them, not only the first.
    std::optional<std::size_t> Suche(const std::string& name) {
        for (std::size_t i = 0; i < saetze_.size(); ++i) {
            const Satz& s = saetze_[i];
            if (s.laenge >= kGrenzeSuche) {
                suchlaenge_.emplace(i, name);
                continue;
            }
            std::string zeile = s.roh;
            switch (TesteKopfzeile(zeile.data(), name.c_str())) {
                case Kopfzeile::Treffer:
                    return i;
                case Kopfzeile::ZuVieleFelder:
                    if (zuVieleFelder_.insert(i).second) {
                        Fehler(i, "zu viele Felder fuer die Suche nach Unterprogramm " +
                                      Zeigbar(name));
                    }
                    break;
                case Kopfzeile::Nein:
                    break;
            }
        }
        return std::nullopt;
    }

    // The checks of one line that do not depend on the flow around it.
    void PruefeZeile(std::size_t i, bool scharf) {
        const Satz& s = saetze_[i];
        if (geprueft_[i] || s.laenge >= kGrenzeLauf) {
            return;
        }
        geprueft_[i] = true;
        switch (s.code) {
            case kReboot:
            case kTransfer:
            case kUnbekannt:
                Fehler(i, "unbekanntes Kommando " + Zeigbar(s.kommando));
                break;
            case kEinschalten:
            case kAusschalten:
                if (MotorNummerVon(s.p1.c_str()) == 0) {
                    Fehler(i, "unbekannter Motor " + Zeigbar(s.p1));
                }
                break;
            case kNothalt:
                // Only the NOTHALT that arms the stop looks at its switch.
                if (!scharf && SchalterIndexVon(s.p1.c_str()) < 0) {
                    Fehler(i, "unbekannter Schalter " + Zeigbar(s.p1));
                }
                break;
            case kBis:
                PruefeBis(i);
                break;
            case kSound:
            case kInfo:
                if (!Existiert(services::LoeseKommandoPfadAuf(s.p1))) {
                    Warnung(i, "Datei nicht gefunden: " + Zeigbar(s.p1));
                }
                break;
            default:
                break;
        }
    }

    void PruefeBis(std::size_t i) {
        const Satz& s = saetze_[i];
        const bool zeit = s.p1 == "ZEIT";
        if (!zeit && s.p1 != "ANALOG1" && SchalterIndexVon(s.p1.c_str()) < 0) {
            Fehler(i, "unbekannter Schalter " + Zeigbar(s.p1));
            return;
        }
        if (!s.hat3) {
            Warnung(i, "BIS ohne Grenzwert: das vierte Wort fehlt");
        } else if (!IstZahl(s.p3) && !(s.p1 == "ANALOG1" && s.p3 == "MAX")) {
            Warnung(i, "Grenzwert " + Zeigbar(s.p3) + " ist keine Zahl (gilt als " +
                           std::to_string(ZahlAusText(s.p3.c_str())) + ")");
        }
        const std::int32_t grenze = ZahlAusText(s.p3.c_str());
        if (zeit && grenze < 0) {
            Warnung(i,
                    "negative ZEIT-Grenze " + std::to_string(grenze) + ": wartet etwa 49.7 Tage");
        }
    }

    // Lines after the first UNTERPROGRAMM line: headers, bodies and what
    // lies between them.
    void Definitionen() {
        std::optional<std::size_t> kopf;
        for (std::size_t i = hauptende_; i < saetze_.size(); ++i) {
            const Satz& s = saetze_[i];
            if (s.code == kUnterprogramm) {
                if (kopf) {
                    OhneEnde(*kopf);
                }
                kopf = i;
                if (!s.roh.empty() && s.roh[0] == ' ') {
                    Warnung(i, "Kopfzeile mit Leerzeichen am Anfang wird nie gefunden");
                }
            } else if (!kopf) {
                if (s.code != kKommentar) {
                    Warnung(i, "Zeile gehoert zu keinem Unterprogramm");
                }
            } else if (s.code == kEndeUnterprogramm) {
                kopf.reset();
            }
        }
        if (kopf) {
            OhneEnde(*kopf);
        }
    }

    void OhneEnde(std::size_t kopf) {
        Warnung(kopf, "Unterprogramm " + Zeigbar(saetze_[kopf].p1) + " ohne ENDE_UNTERPROGRAMM");
    }

    // One finding per line, for the smallest reader that would refuse it.
    void Zeilenlaengen() {
        for (const auto& [satz, name] : aufrufe_) {
            if (unterprogramme_[name].kehrtZurueck) {
                spruenge_.push_back({satz + 1, satz});  // GeheZuSatz reads the RUFE line too
            }
        }
        std::sort(spruenge_.begin(), spruenge_.end(),
                  [](const Sprung& a, const Sprung& b) { return a.ende < b.ende; });
        for (std::size_t i = 0; i < saetze_.size(); ++i) {
            const std::string n = std::to_string(saetze_[i].laenge);
            if (saetze_[i].laenge >= kGrenzeLauf) {
                Fehler(i, "Zeile zu lang: " + n + " Zeichen (hoechstens " +
                              std::to_string(kGrenzeLauf - 1) + ")");
            } else if (auto such = suchlaenge_.find(i); such != suchlaenge_.end()) {
                Fehler(i, "Zeile zu lang fuer die Suche nach Unterprogramm " +
                              Zeigbar(such->second) + ": " + n + " Zeichen (hoechstens " +
                              std::to_string(kGrenzeSuche - 1) + ")");
            } else if (saetze_[i].laenge >= kGrenzeSprung) {
                auto sprung = std::upper_bound(
                    spruenge_.begin(), spruenge_.end(), i,
                    [](std::size_t satz, const Sprung& s) { return satz < s.ende; });
                if (sprung != spruenge_.end()) {
                    Fehler(i, "Zeile zu lang fuer den Ruecksprung zu Zeile " +
                                  std::to_string(Zeile(sprung->ziel)) + ": " + n +
                                  " Zeichen (hoechstens " + std::to_string(kGrenzeSprung - 1) +
                                  ")");
                }
            }
        }
    }

    std::vector<Satz> saetze_;
    std::size_t hauptende_ = 0;
    std::vector<bool> geprueft_;
    bool scharf_ = false;  // a NOTHALT of the main program's own level has armed the stop
    std::map<std::string, Unterprogramm> unterprogramme_;
    std::vector<std::string> aufrufkette_;
    std::map<std::string, bool> vonNullGerufen_;  // entered from a call at its caller's own level
    std::vector<std::pair<std::size_t, std::string>> aufrufe_;
    std::vector<Sprung> spruenge_;
    std::map<std::size_t, std::string> suchlaenge_;  // too long for the search for that name
    std::set<std::size_t> zuVieleFelder_;
    std::set<std::pair<std::size_t, std::string>> gemeldet_;
    std::vector<Befund> befunde_;
};

void Zusammenfassung(const std::string& datei, int fehler, int warnungen) {
    services::Ausgabe("%s: %d Fehler, %d Warnung(en)\n", datei.c_str(), fehler, warnungen);
}

}  // namespace

int Pruefen(const std::vector<std::string>& dateien) {
    if (dateien.empty() || dateien.size() > 2) {
        services::FehlerAusgabe(
            "taktler: --pruefen braucht die Kommandodatei und hoechstens eine Protokolldatei\n"
            "Aufruf: taktler --pruefen <Kommandodatei> [<Protokolldatei>]\n");
        return 12;
    }
    const std::string& name = dateien[0];
    Gelesen gelesen = LiesKommandodatei(name);
    if (!gelesen.fehler.empty()) {
        services::Ausgabe("%s: fehler: %s\n", name.c_str(), gelesen.fehler.c_str());
        Zusammenfassung(name, 1, 0);
        return 12;
    }
    Pruefer pruefer(std::move(gelesen.saetze));
    pruefer.Pruefe();
    int fehler = 0;
    int warnungen = 0;
    for (const auto& b : pruefer.Befunde()) {
        services::Ausgabe("%s:%d: %s: %s\n", name.c_str(), pruefer.Zeile(b.satz),
                          b.fehler ? "fehler" : "warnung", b.text.c_str());
        ++(b.fehler ? fehler : warnungen);
    }
    Zusammenfassung(name, fehler, warnungen);
    return fehler > 0 ? 12 : 0;
}

}  // namespace taktler::interpreter
