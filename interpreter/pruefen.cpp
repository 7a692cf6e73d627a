// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/pruefen.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

#include "interpreter/kommandozeile.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/sensorik.h"
#include "interpreter/unterprogramme.h"
#include "services/pfade.h"
#include "services/plattform.h"
#include "services/strtools.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

// A record of n bytes makes a reader abort when n reaches its buffer's
// capacity - 1: the script loop's, the header search's and GeheZuSatz's.
constexpr std::uint32_t kGrenzeLauf = kZeilenpuffer - 1;
constexpr std::uint32_t kGrenzeSuche = kSuchzeile - 1;
constexpr std::uint32_t kGrenzeSprung = kSprungzeile - 1;
// INFO lists its file with a record buffer of 250 bytes.
constexpr std::uint32_t kGrenzeInfo = 249;
// A too long line is measured up to its end, but not beyond this.
constexpr std::size_t kHoechstensGezaehlt = 1'000'000;
// Input that is no regular file (a FIFO, a device) is kept in memory to be
// read again, up to this size.
constexpr std::size_t kKopieGrenze = 16u << 20;
// A measurement counts rising edges in 4999 status reads: 0..2499, and the
// smoothed value is an average of such counts.
constexpr std::int32_t kAnalogHoechstwert = 2499;

constexpr int kCR = '\r';
constexpr int kLF = '\n';
constexpr int kCtrlZ = 0x1A;

// ---------------------------------------------------------------------------
// Reading the command file as the program's reader does.

// Bytes of a file from any offset; a regular file is read again from the
// disk, anything else from the copy kept of what was read.
class Quelle {
  public:
    ~Quelle() {
        if (datei_ != nullptr) {
            std::fclose(datei_);
        }
    }

    // Gives "" or the reason the file cannot be read.
    std::string Oeffne(const std::string& pfad) {
        using Art = services::plattform::Dateistatus::Art;
        const auto info = services::plattform::Status(pfad);
        if (!info) {
            return errno == ENOENT
                       ? "Datei nicht vorhanden"
                       : "Datei kann nicht gelesen werden: " + std::string(std::strerror(errno));
        }
        if (info->art == Art::Verzeichnis) {
            return "ist ein Verzeichnis, keine Kommandodatei";
        }
        regulaer_ = info->art == Art::Datei;
        datei_ = std::fopen(pfad.c_str(), "rb");
        if (datei_ == nullptr) {
            return "Datei kann nicht gelesen werden: " + std::string(std::strerror(errno));
        }
        if (regulaer_) {
            puffer_.resize(1u << 16);
        }
        return "";
    }

    void Gehe(std::int64_t position) { pos_ = position; }
    std::int64_t Position() const { return pos_; }

    int Lies() {
        if (pos_ < anfang_ || pos_ >= anfang_ + static_cast<std::int64_t>(laenge_)) {
            if (!Nachladen()) {
                return EOF;
            }
        }
        return static_cast<unsigned char>(puffer_[static_cast<std::size_t>(pos_++ - anfang_)]);
    }

    // Only right after a Lies() that gave a byte.
    void Zurueck() { --pos_; }

    const std::string& Fehler() const { return fehler_; }

  private:
    bool Nachladen() {
        if (!fehler_.empty()) {
            return false;
        }
        if (regulaer_) {
            if (::fseeko(datei_, static_cast<off_t>(pos_), SEEK_SET) != 0) {
                fehler_ = "Lesefehler: " + std::string(std::strerror(errno));
                return false;
            }
            anfang_ = pos_;
            laenge_ = std::fread(puffer_.data(), 1, puffer_.size(), datei_);
            if (laenge_ == 0 && std::ferror(datei_) != 0) {
                fehler_ = "Lesefehler: " + std::string(std::strerror(errno));
            }
            return laenge_ > 0;
        }
        // The copy holds everything read so far; it only grows at its end.
        anfang_ = 0;
        while (pos_ >= static_cast<std::int64_t>(puffer_.size()) && !ende_) {
            char stueck[1u << 14];
            std::size_t n = std::fread(stueck, 1, sizeof stueck, datei_);
            if (n == 0) {
                if (std::ferror(datei_) != 0) {
                    fehler_ = "Lesefehler: " + std::string(std::strerror(errno));
                    return false;
                }
                ende_ = true;
                break;
            }
            if (puffer_.size() + n > kKopieGrenze) {
                fehler_ = "keine gewoehnliche Datei und groesser als " +
                          std::to_string(kKopieGrenze >> 20) + " MB";
                return false;
            }
            puffer_.append(stueck, n);
        }
        laenge_ = puffer_.size();
        return pos_ < static_cast<std::int64_t>(laenge_);
    }

    std::FILE* datei_ = nullptr;
    bool regulaer_ = true;
    bool ende_ = false;
    std::string puffer_;
    std::int64_t anfang_ = 0;
    std::size_t laenge_ = 0;
    std::int64_t pos_ = 0;
    std::string fehler_;
};

// One record as the reader delivers it.
struct Rohsatz {
    std::int32_t satz = 0;
    std::int64_t anfang = 0;  // byte offset
    std::int32_t zeile = 0;   // the line an editor shows
    std::size_t laenge = 0;   // bytes up to the line end
    std::string text;         // as stored: up to the first NUL byte
};

// Records in the reader's way: a record ends at CR, LF, Ctrl-Z or the end;
// LF and NUL bytes after it are skipped; a Ctrl-Z or the end after that
// ends the data. An empty line ended by a bare LF is therefore no record of
// its own, and the line numbers an editor shows can run ahead of the count.
class Satzleser {
  public:
    Satzleser(Quelle& quelle, std::int64_t anfang, std::int32_t satz, std::int32_t zeile,
              std::uint32_t grenze)
        : quelle_(quelle), satz_(satz), zeile_(zeile), grenze_(grenze) {
        quelle_.Gehe(anfang);
        if (anfang == 0) {
            UeberspringeBom();
        }
    }

    // A record of grenze bytes or more ends the reading: the reader aborts
    // on it. Gives false when no further record exists.
    bool Naechster(Rohsatz& s) {
        if (!weitere_) {
            return false;
        }
        s.satz = satz_++;
        s.anfang = quelle_.Position();
        s.zeile = zeile_;
        s.laenge = 0;
        s.text.clear();
        bool nul = false;
        int c = 0;
        for (;;) {
            c = Nimm();
            if (c == EOF || c == kCR || c == kLF || c == kCtrlZ) {
                break;
            }
            nul = nul || c == 0;
            if (!nul) {
                s.text += static_cast<char>(c);
            }
            if (++s.laenge >= grenze_) {
                while (s.laenge <= kHoechstensGezaehlt) {
                    c = Nimm();
                    if (c == EOF || c == kCR || c == kLF || c == kCtrlZ) {
                        break;
                    }
                    ++s.laenge;
                }
                weitere_ = false;
                return true;
            }
        }
        c = Nimm();
        while (c == kLF || c == 0) {
            c = Nimm();
        }
        if (c == EOF || c == kCtrlZ) {
            weitere_ = false;
        } else {
            quelle_.Zurueck();
            zeile_ -= letzterUmbruch_ ? 1 : 0;
        }
        return true;
    }

  private:
    // A UTF-8 byte-order mark at the start is no part of the first record.
    void UeberspringeBom() {
        for (int b : {0xEF, 0xBB, 0xBF}) {
            if (quelle_.Lies() != b) {
                quelle_.Gehe(0);
                return;
            }
        }
    }

    // A byte, counting the line breaks an editor sees: LF, and CR not
    // followed by LF.
    int Nimm() {
        int c = quelle_.Lies();
        letzterUmbruch_ = false;
        if (c == kLF) {
            letzterUmbruch_ = true;
        } else if (c == kCR) {
            int n = quelle_.Lies();
            if (n != EOF) {
                quelle_.Zurueck();
            }
            letzterUmbruch_ = n != kLF;
        }
        zeile_ += letzterUmbruch_ ? 1 : 0;
        return c;
    }

    Quelle& quelle_;
    std::int32_t satz_;
    std::int32_t zeile_;
    std::uint32_t grenze_;
    bool weitere_ = true;
    bool letzterUmbruch_ = false;
};

// A line as the script loop parses it.
struct Zerlegt {
    std::int32_t code = kKommentar;
    std::string kommando;
    std::array<bool, 3> hat{};  // the line itself has the field
    std::array<std::string, 3> feld;
};

Zerlegt Zerlege(const std::string& text) {
    // A field the parser stores never holds a comma: a comma left means the
    // line has no such field.
    static Kommandozeile kz;
    std::string zeile = text;
    services::strTrimEnde(zeile.data());
    Kopiere(kz.Parameter1, ",");
    Kopiere(kz.Parameter2, ",");
    Kopiere(kz.Parameter3, ",");
    ParseKommandozeile(zeile.data(), &kz);
    Zerlegt z;
    z.code = GibKommando(&kz);
    z.kommando = kz.Kommando.data();
    const std::array<const char*, 3> felder = {kz.Parameter1.data(), kz.Parameter2.data(),
                                               kz.Parameter3.data()};
    for (std::size_t i = 0; i < 3; ++i) {
        z.hat[i] = std::strcmp(felder[i], ",") != 0;
        if (z.hat[i]) {
            z.feld[i] = felder[i];
        }
    }
    return z;
}

// How the header search sees a line: not at all, as refused ("Zu viele
// Felder"), or as a header candidate with its second field.
struct Kopfsicht {
    bool kandidat = false;
    bool zuVieleFelder = false;
    std::string name;
};

Kopfsicht SieheKopf(const std::string& text) {
    Kopfsicht k;
    std::string zeile = text;
    services::strGross(zeile.data());
    if (services::strfnd(zeile.c_str(), "UNTERPROGRAMM") < 0) {
        return k;
    }
    k.kandidat = true;
    if (zeile.size() >= kGrenzeSuche) {
        return k;  // never tested: the search's reader aborts on it first
    }
    std::array<char, kSuchzeile> felder{};
    if (services::strTrenneFelder(zeile.c_str(), '|', felder.data(),
                                  static_cast<std::uint32_t>(felder.size())) > 2) {
        k.zuVieleFelder = true;
        return k;
    }
    k.name = services::ParseEingabezeile(felder.data(), 2, '|');
    return k;
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

bool IstRegulaer(const std::string& pfad) {
    const auto info = services::plattform::Status(pfad);
    return info && info->art == services::plattform::Dateistatus::Art::Datei;
}

bool Existiert(const std::string& pfad) {
    return services::plattform::Status(pfad).has_value();
}

struct Befund {
    std::int32_t satz = 0;  // record it is reported at (for the order)
    int zeile = 0;
    bool fehler = false;
    std::string text;
};

// ---------------------------------------------------------------------------
// First pass: what the header search and the jumps back meet, streamed over
// the whole file; memory only for the names of the headers.

struct Kopfeintrag {
    std::int32_t satz = 0;    // the header's record
    std::int32_t zeile = 0;   // its editor line
    std::int64_t anfang = 0;  // its byte offset
};

// Names are kept as hashes only; a name is checked against its line when
// it is called. Beyond this many names, the search for others reads the
// file again.
constexpr std::size_t kKoepfe = 100'000;
std::uint64_t NamensHash(const std::string& name) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

struct Grenzsatz {
    std::int32_t satz = -1;
    std::int32_t zeile = 0;
    std::size_t laenge = 0;
};

struct Suchindex {
    std::int32_t anzahl = 0;  // records the script loop can read
    Grenzsatz zuLang;         // the record at anzahl, too long for every reader
    Grenzsatz sprung;         // first record too long for GeheZuSatz
    Grenzsatz suche;          // first record too long for the header search
    Grenzsatz zuVieleFelder;  // first line the search refuses
    // The first header line of each name hash before those two lines, up to
    // kKoepfe names; the search for another name reads on from ab.
    std::unordered_map<std::uint64_t, Kopfeintrag> koepfe;
    std::optional<Kopfeintrag> ab;
    std::vector<Befund> layout;  // definitions that will not work as they look
};

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

// ---------------------------------------------------------------------------
// The parts of the file the walk reads, loaded when it first gets there:
// every line that can branch, jump, abort or be jumped to on its own, the
// plain lines between them folded into one stretch each.

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
    switch (code) {
        case kEinschalten:
        case kAusschalten:
        case kNothalt:
        case kSound:
        case kTracelevel:
        case kMeldung:
        case kPause:
        case kInfo:
        case kRufe:
        case kExit:
        case kBis:
            return true;
        default:
            return false;
    }
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

// ---------------------------------------------------------------------------
// The state of a run, as far as it decides what the run reads and does.

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

// A condition evaluated both ways.
struct Entscheidung {
    std::int32_t satz = 0;  // the BIS line
    std::int32_t nein = 0;  // state ids: condition met (0), still open (1)
    std::int32_t ja = 0;
};

class ZuVieleZustaende {};

class Pruefer {
  public:
    Pruefer(Quelle& quelle, Suchindex& index, std::size_t grenze)
        : quelle_(quelle), index_(index), grenze_(grenze) {}

    bool Pruefe() {
        try {
            Durchlaufe();
        } catch (const ZuVieleZustaende&) {
            return false;
        }
        return true;
    }

    std::size_t Zustaende() const { return info_.size(); }

    void Ergebnis(Pruefergebnis& e) {
        std::vector<Befund> befunde = index_.layout;
        Befunde(befunde, e);
        Nie(befunde, e);
        befunde.insert(befunde.end(), hinweise_.begin(), hinweise_.end());
        std::sort(befunde.begin(), befunde.end(), [](const Befund& a, const Befund& b) {
            return std::tie(a.satz, b.fehler, a.text) < std::tie(b.satz, a.fehler, b.text);
        });
        for (std::size_t i = 0; i < befunde.size(); ++i) {
            const Befund& b = befunde[i];
            if (i > 0 && befunde[i - 1].satz == b.satz && befunde[i - 1].text == b.text) {
                continue;
            }
            e.befunde.push_back({b.zeile, b.fehler, b.text});
        }
    }

  private:
    struct Zustandsinfo {
        const Schluessel* schluessel = nullptr;
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
            const bool schlicht = !SieheKopf(s.text).kandidat &&
                                  (z.code == kKommentar || z.code == kMeldung || z.code == kPause ||
                                   z.code == kTracelevel ||
                                   ((z.code == kEinschalten || z.code == kAusschalten) &&
                                    z.hat[0] && MotorNummerVon(z.feld[0].c_str()) != 0));
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

    // --- Endings ----------------------------------------------------------

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

    // --- One step of the run ----------------------------------------------

    struct Folge {
        std::vector<std::int32_t> enden;  // endings of the run at this step
        std::vector<Lage> weiter;
        bool entscheidung = false;  // weiter[0]: condition met, weiter[1]: still open
        std::int32_t satz = 0;      // the record of the step
    };

    const std::string& T(std::int32_t id) const { return texte_.Text(id); }

    // The values a table flag may have: one, or both when it is not known.
    static std::vector<bool> Werte(std::uint8_t tabelle, std::uint8_t flag) {
        if ((tabelle & (flag << kNichtBekannt)) != 0) {
            return {false, true};
        }
        return {(tabelle & flag) != 0};
    }

    void Merke(const Element& e, const Lage& l, bool eigeneStufe, const Folge& f) {
        Merkmal m;
        const std::int32_t stufe = eigeneStufe ? l.stufe : l.stufe - 1;
        m.ausgefuehrt = stufe >= 0 && stufe <= l.aktiv;
        m.oeffner = stufe <= 0 ? -1
                    : stufe == l.stufe
                        ? Oben(l.offen)
                        : Oben(stapelKnoten_[static_cast<std::size_t>(l.offen)].first);
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

    Folge Schritt(const Lage& vorher) {
        Folge f;
        Element& e = ElementBei(vorher.pc);
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
        switch (e.code) {
            case kEinschalten:
            case kAusschalten:
                if (ausfuehrend && MotorNummerVon(T(l.p[0]).c_str()) == 0) {
                    Ende(f, Abbrechen(d, Abbruchart::MotorNichtDefiniert, d, e.zeile,
                                      "unbekannter Motor ", T(l.p[0])));
                }
                break;
            case kSound:
            case kInfo:
                if (ausfuehrend) {
                    Datei(e, T(l.p[0]), f);
                }
                break;
            case kNothalt:
                if (ausfuehrend && !l.scharf) {
                    l.scharf = true;
                    if (SchalterIndexVon(T(l.p[0]).c_str()) < 0) {
                        Ende(f, Abbrechen(d, Abbruchart::UnbekannterSchalter, d, e.zeile,
                                          "unbekannter Schalter ", T(l.p[0])));
                    }
                }
                break;
            case kRufe:
                if (l.stufe + 1 >= kMaxStufen) {
                    Ende(f, Abbrechen(d, Abbruchart::ZuTief, d, e.zeile,
                                      "Verschachtelung tiefer als Stufe 79"));
                    break;
                }
                ++l.stufe;
                l.offen = Lege(l.offen, d);
                if (ausfuehrend) {
                    l.aktiv = l.stufe;
                    Rufe(d, e.zeile, T(l.p[0]), ziel, f);
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
                if (l.stufe + 1 >= kMaxStufen) {
                    Ende(f, Abbrechen(d, Abbruchart::ZuTief, d, e.zeile,
                                      "Verschachtelung tiefer als Stufe 79"));
                    break;
                }
                ++l.stufe;
                l.offen = Lege(l.offen, d);
                if (ausfuehrend) {
                    Bis(e, std::move(l), f);
                    Merke(e, vorher, true, f);
                    return f;
                }
                break;
            case kElse:
                if (l.stufe > 0 && l.stufe - 1 <= l.aktiv) {
                    l.aktiv = l.aktiv == l.stufe ? l.stufe - 1 : l.stufe;
                }
                break;
            case kExit:
                if (ausfuehrend) {
                    Ende(f, 0);
                }
                break;
            case kReboot:
            case kTransfer:
            case kUnbekannt:
                Ende(f, Abbrechen(d, Abbruchart::UnbekanntesKommando, d, e.zeile,
                                  "unbekanntes Kommando ", T(e.kommando)));
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
                Ende(f, 0);
            }
            return;
        }
        l.pc = ziel;
        f.weiter.push_back(std::move(l));
    }

    static bool KannAbbrechen(std::int32_t code) {
        switch (code) {
            case kEinschalten:
            case kAusschalten:
            case kInfo:
            case kNothalt:
            case kRufe:
            case kBis:
                return true;
            default:
                return false;
        }
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
        if (e.code != kEnde && l.stufe > 0 && l.stufe - 1 <= l.aktiv) {
            const std::int32_t oeffner = Oben(l.offen);
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
                const std::int32_t oeffner = Oben(w.lage.offen);
                Ende(f,
                     Abbrechen(d, Abbruchart::ZeileZuLang, index_.sprung.satz, index_.sprung.zeile,
                               "Zeile zu lang fuer den Ruecksprung zu Zeile " +
                                   std::to_string(ZeileVon(oeffner)) + ": " +
                                   ZuLangText(index_.sprung.laenge, kGrenzeSprung)));
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
            w.lage.offen = stapelKnoten_[static_cast<std::size_t>(w.lage.offen)].first;
            --w.lage.stufe;
            w.lage.aktiv = std::min(w.lage.aktiv, w.lage.stufe);
            Weiter(std::move(w.lage), w.ziel, d, f);
        }
    }

    static void Setze(std::uint8_t& tabelle, std::uint8_t flag, bool wert) {
        tabelle = static_cast<std::uint8_t>((tabelle & ~(flag | (flag << kNichtBekannt))) |
                                            (wert ? flag : 0));
    }

    // The call of name from record d: where the search leads, or its abort.
    void Rufe(std::int32_t d, int zeile, const std::string& name, std::int32_t& ziel, Folge& f) {
        if (std::optional<std::int32_t> kopf = Kopf(name)) {
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

    void Hinweis(const Element& e, std::string text) {
        if (hinweisGesehen_.emplace(e.satz, text).second) {
            hinweise_.push_back({e.satz, e.zeile, false, std::move(text)});
        }
    }

    // The condition of a BIS line, evaluated as far as it can be known.
    void Bis(const Element& e, Lage l, Folge& f) {
        const std::size_t stufe = static_cast<std::size_t>(l.stufe);
        const std::string& art = T(l.p[0]);
        const std::string& vergleich = T(l.p[1]);
        const std::string& grenzwert = T(l.p[2]);
        const std::int32_t grenze = ZahlAusText(grenzwert.c_str());
        const std::uint8_t tabelle = l.tabelle[stufe];
        const bool zeitArt = art == "ZEIT";
        if (!zeitArt && art != "ANALOG1" && SchalterIndexVon(art.c_str()) < 0) {
            Ende(f, Abbrechen(e.satz, Abbruchart::UnbekannterSchalter, e.satz, e.zeile,
                              "unbekannter Schalter ", art));
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
                } else if (art == "ANALOG1") {
                    if (grenzwert == "MAX") {
                        nein = !erster;
                    } else if (vergleich == ">" || vergleich == "=") {
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
        if (!IstZahl(grenzwert) && !(art == "ANALOG1" && grenzwert == "MAX")) {
            Hinweis(e, "Grenzwert " + Zeigbar(grenzwert) + " ist keine Zahl (gilt als " +
                           std::to_string(grenze) + ")");
        }
        if (art == "ZEIT" && grenze < 0) {
            Hinweis(e,
                    "negative ZEIT-Grenze " + std::to_string(grenze) + ": wartet etwa 49.7 Tage");
        }
    }

    // --- The walk: every state once, and which endings each can reach ------

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
        if (info_.size() >= grenze_) {
            throw ZuVieleZustaende{};
        }
        it = ids_.emplace(schluessel, static_cast<std::int32_t>(info_.size())).first;
        info_.push_back({});
        info_.back().schluessel = &it->first;
        return it->second;
    }

    void Besuche(std::int32_t id, std::vector<Rahmen>& rahmen, std::vector<std::int32_t>& stapel) {
        Zustandsinfo& z = info_[static_cast<std::size_t>(id)];
        z.index = z.tief = zaehler_++;
        z.aufStapel = true;
        stapel.push_back(id);
        Folge f = Schritt(Entfalte(*z.schluessel));
        const std::size_t anfang = nachfolger_.size();
        for (const Lage& n : f.weiter) {
            const std::int32_t nachfolger = Zustand(n);
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
    void Durchlaufe() {
        std::vector<Rahmen> rahmen;
        std::vector<std::int32_t> stapel;
        start_ = Zustand(Lage{});
        if (index_.anzahl == 0 && index_.zuLang.satz == 0) {
            // The very first read aborts.
            info_[0].menge = mengen_.Eins(
                Abbrechen(-1, Abbruchart::ZeileZuLang, 0, index_.zuLang.zeile,
                          "Zeile zu lang: " + ZuLangText(index_.zuLang.laenge, kGrenzeLauf)));
            info_[0].fertig = true;
            return;
        }
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

    // --- Findings -----------------------------------------------------------

    static std::string Text(const Abbruch& a) {
        std::string namen;
        for (const std::string& n : a.namen) {
            namen += (namen.empty() ? "" : " oder ") + n;
        }
        return a.vorne + namen + a.hinten;
    }

    void Befunde(std::vector<Befund>& befunde, Pruefergebnis& e) {
        const std::vector<std::int32_t>& alle =
            mengen_.Menge(info_[static_cast<std::size_t>(start_)].menge);
        for (std::size_t i = 0; i < abbrueche_.size(); ++i) {
            const Abbruch& a = abbrueche_[i];
            const std::int32_t id = static_cast<std::int32_t>(i + 1);
            const bool immer = alle.size() == 1 && alle[0] == id;
            e.abbrueche.push_back({a.satz, a.art, immer});
            std::string text = Text(a);
            if (!immer) {
                text += " - Abbruch, wenn " + Bedingung(a, id);
            }
            befunde.push_back({a.schuld, a.schuldZeile, immer, text});
        }
    }

    std::string Blocktext(std::int32_t oeffner) {
        return "der Block ab Zeile " + std::to_string(ZeileVon(oeffner));
    }

    // The condition under which some runs end with abort id and others not:
    // first from the states at its line, then from the conditions decided
    // on the way there.
    std::string Bedingung(const Abbruch& a, std::int32_t id) {
        auto it = merkmale_.find(a.satz);
        if (it != merkmale_.end()) {
            std::vector<Merkmal> treffer;
            std::vector<Merkmal> andere;
            for (const auto& [m, ende] : it->second) {
                (ende == id ? treffer : andere).push_back(m);
            }
            if (!treffer.empty() && !andere.empty()) {
                std::string text = AusMerkmalen(treffer, andere);
                if (!text.empty()) {
                    return text;
                }
            }
        }
        std::map<std::int32_t, std::set<bool>> wege;
        for (const Entscheidung& en : entscheidungen_) {
            const auto& nein = mengen_.Menge(info_[static_cast<std::size_t>(en.nein)].menge);
            const auto& ja = mengen_.Menge(info_[static_cast<std::size_t>(en.ja)].menge);
            const bool beiNein = std::binary_search(nein.begin(), nein.end(), id);
            const bool beiJa = std::binary_search(ja.begin(), ja.end(), id);
            if (beiNein != beiJa) {
                wege[en.satz].insert(beiJa);
            }
        }
        std::vector<std::string> teile;
        for (const auto& [satz, richtung] : wege) {
            if (richtung.size() == 1 && teile.size() < 3) {
                teile.push_back(Blocktext(satz) +
                                (*richtung.begin() ? " laeuft" : " uebersprungen wird"));
            }
        }
        if (teile.empty()) {
            return "die Bedingungen davor entsprechend ausgehen";
        }
        std::string text;
        for (const std::string& t : teile) {
            text += (text.empty() ? "" : " und ") + t;
        }
        return text;
    }

    // Properties all states that end with the abort share and that, taken
    // together, no other state at that line has.
    std::string AusMerkmalen(const std::vector<Merkmal>& treffer,
                             const std::vector<Merkmal>& andere) {
        struct Eigenschaft {
            std::function<bool(const Merkmal&)> gilt;
            std::string text;
        };
        std::vector<Eigenschaft> kandidaten;
        const Merkmal& m0 = treffer.front();
        auto alleGleich = [&](auto feld) {
            return std::all_of(treffer.begin(), treffer.end(),
                               [&](const Merkmal& m) { return feld(m) == feld(m0); });
        };
        if (alleGleich([](const Merkmal& m) { return m.ausgefuehrt; }) && m0.oeffner >= 0 &&
            alleGleich([](const Merkmal& m) { return m.oeffner; })) {
            const bool ja = m0.ausgefuehrt;
            const std::int32_t o = m0.oeffner;
            kandidaten.push_back(
                {[ja, o](const Merkmal& m) { return m.ausgefuehrt == ja && m.oeffner == o; },
                 Blocktext(o) + (ja ? " laeuft" : " uebersprungen wird")});
        }
        if (alleGleich([](const Merkmal& m) { return m.scharf; }) && !m0.scharf) {
            kandidaten.push_back(
                {[](const Merkmal& m) { return !m.scharf; }, "noch kein NOTHALT scharf ist"});
        }
        if (alleGleich([](const Merkmal& m) { return m.stufe; })) {
            const std::int32_t s = m0.stufe;
            kandidaten.push_back({[s](const Merkmal& m) { return m.stufe == s; },
                                  s == 0 ? std::string("hier kein Block mehr offen ist")
                                         : "hier " + std::to_string(s) + " Stufen offen sind"});
        }
        if (alleGleich([](const Merkmal& m) { return m.wiederholt; }) && m0.oeffner >= 0 &&
            alleGleich([](const Merkmal& m) { return m.oeffner; })) {
            const bool w = m0.wiederholt;
            kandidaten.push_back({[w](const Merkmal& m) { return m.wiederholt == w; },
                                  w ? "die Schleife wiederholt wird" : "die Schleife endet"});
        }
        std::set<std::int32_t> namen;
        for (const Merkmal& m : treffer) {
            namen.insert(m.p1);
        }
        if (namen.size() == 1) {
            const std::int32_t p = m0.p1;
            kandidaten.push_back({[p](const Merkmal& m) { return m.p1 == p; },
                                  "hier " + Zeigbar(T(p)) + " als Name gilt"});
        }
        std::vector<const Eigenschaft*> gewaehlt;
        std::vector<const Merkmal*> offen;
        for (const Merkmal& m : andere) {
            offen.push_back(&m);
        }
        for (const Eigenschaft& k : kandidaten) {
            if (offen.empty()) {
                break;
            }
            auto rest = std::stable_partition(offen.begin(), offen.end(),
                                              [&](const Merkmal* m) { return k.gilt(*m); });
            if (rest != offen.end()) {
                gewaehlt.push_back(&k);
                offen.erase(rest, offen.end());
            }
        }
        if (!offen.empty()) {
            return "";
        }
        std::string text;
        for (const Eigenschaft* k : gewaehlt) {
            text += (text.empty() ? "" : " und ") + k->text;
        }
        return text;
    }

    // Lines that runs read but never carry out, in groups.
    void Nie(std::vector<Befund>& befunde, Pruefergebnis& e) {
        const Element* anfang = nullptr;
        int letzteZeile = 0;
        std::int32_t befehle = 0;
        auto schliesse = [&] {
            if (anfang != nullptr) {
                std::string text = "wird nie ausgefuehrt";
                if (befehle > 1) {
                    text += " (ebenso die Befehle bis Zeile " + std::to_string(letzteZeile) + ")";
                }
                befunde.push_back({anfang->ersterBefehl, anfang->ersteBefehlszeile, false, text});
            }
            anfang = nullptr;
            befehle = 0;
        };
        for (const auto& [start, abschnitt] : abschnitte_) {
            for (const Element& el : abschnitt->elemente) {
                if (el.befehle == 0) {
                    if (!el.gelesen) {
                        schliesse();
                    }
                    continue;
                }
                if (!el.gelesen || el.ausgefuehrt) {
                    schliesse();
                    continue;
                }
                e.nieAusgefuehrt.emplace_back(el.ersterBefehl, el.letzterBefehl);
                if (anfang == nullptr) {
                    anfang = &el;
                }
                befehle += el.befehle;
                letzteZeile = el.letzteBefehlszeile;
            }
            schliesse();
        }
    }

    Quelle& quelle_;
    Suchindex& index_;
    std::size_t grenze_;
    Texte texte_;
    Mengen mengen_;
    std::map<std::int32_t, std::unique_ptr<Abschnitt>> abschnitte_;
    std::map<std::int32_t, std::pair<std::int64_t, std::int32_t>>
        einstiege_;                                              // header+1: offset, line
    std::map<std::string, std::optional<std::int32_t>> koepfe_;  // the header of each name called
    std::unordered_map<Schluessel, std::int32_t, SchluesselHash> ids_;
    std::vector<std::pair<std::int32_t, std::int32_t>> stapelKnoten_{{-1, -1}};
    std::unordered_map<std::uint64_t, std::int32_t> stapelIds_;
    std::vector<std::array<std::uint8_t, kMaxStufen>> tabellen_;
    std::unordered_map<std::string, std::int32_t> tabellenIds_;
    std::vector<std::int32_t> nachfolger_;
    std::unordered_map<std::uint64_t, int> jeZeile_;  // new states per line and level
    std::vector<Zustandsinfo> info_;
    std::int32_t zaehler_ = 0;
    std::int32_t start_ = 0;
    std::map<std::tuple<std::int32_t, int, std::int32_t>, std::int32_t> abbruchIds_;
    std::vector<Abbruch> abbrueche_;
    std::map<std::int32_t, std::set<std::pair<Merkmal, std::int32_t>>> merkmale_;
    std::vector<Entscheidung> entscheidungen_;
    std::map<std::string, std::size_t> infoZeilen_;
    std::set<std::pair<std::int32_t, std::string>> hinweisGesehen_;
    std::vector<Befund> hinweise_;
};

void Zusammenfassung(const std::string& datei, int fehler, int warnungen) {
    services::Ausgabe("%s: %d Fehler, %d Warnung(en)\n", datei.c_str(), fehler, warnungen);
}

}  // namespace

Pruefergebnis PruefeKommandodatei(const std::string& pfad, std::size_t zustandsGrenze) {
    Pruefergebnis ergebnis;
    auto dateifehler = [&](const std::string& text) {
        ergebnis.lesbar = false;
        ergebnis.befunde = {{0, true, text}};
        ergebnis.abbrueche.clear();
        ergebnis.nieAusgefuehrt.clear();
        return ergebnis;
    };
    Quelle quelle;
    std::string fehler = quelle.Oeffne(pfad);
    if (!fehler.empty()) {
        return dateifehler(fehler);
    }
    Suchindex index;
    BaueSuchindex(quelle, index);
    if (!quelle.Fehler().empty()) {
        return dateifehler(quelle.Fehler());
    }
    Pruefer pruefer(quelle, index, zustandsGrenze);
    try {
        if (!pruefer.Pruefe()) {
            return dateifehler("zu verzweigt fuer eine vollstaendige Pruefung (mehr als " +
                               std::to_string(zustandsGrenze) + " Zustaende)");
        }
    } catch (const std::runtime_error& e) {
        return dateifehler(e.what());
    }
    ergebnis.zustaende = pruefer.Zustaende();
    pruefer.Ergebnis(ergebnis);
    return ergebnis;
}

int Pruefen(const std::vector<std::string>& dateien) {
    if (dateien.empty() || dateien.size() > 2) {
        services::FehlerAusgabe(
            "taktler: --pruefen braucht die Kommandodatei und hoechstens eine Protokolldatei\n"
            "Aufruf: taktler --pruefen <Kommandodatei> [<Protokolldatei>]\n");
        return 12;
    }
    const std::string& name = dateien[0];
    const Pruefergebnis ergebnis = PruefeKommandodatei(name);
    int fehler = 0;
    int warnungen = 0;
    for (const Pruefbefund& b : ergebnis.befunde) {
        const char* art = b.fehler ? "fehler" : "warnung";
        if (b.zeile == 0) {
            services::Ausgabe("%s: %s: %s\n", name.c_str(), art, b.text.c_str());
        } else {
            services::Ausgabe("%s:%d: %s: %s\n", name.c_str(), b.zeile, art, b.text.c_str());
        }
        ++(b.fehler ? fehler : warnungen);
    }
    Zusammenfassung(name, fehler, warnungen);
    return fehler > 0 ? 12 : 0;
}

}  // namespace taktler::interpreter
