// SPDX-License-Identifier: GPL-3.0-or-later
// Seams shared by the fuzz targets, benchmarks and whole-run tests: a console that discards, a
// clock that moves on by itself, a message box that answers as told, an exit that throws, a silent
// sound device, and a scratch directory per process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "services/kxsound.h"
#include "services/umgebung.h"
#include "testhilfe/testuhr.h"
#include "testhilfe/zuruecksetzen.h"

namespace taktler::fuzz {

// Drops all output; PAUSE sees the end of its input at once.
class StummeKonsole : public services::Konsole {
  public:
    void Aus(std::string_view text) override { ausgegeben += text.size(); }
    void Fehler(std::string_view text) override { ausgegeben += text.size(); }
    bool LiesWort() override { return false; }
    std::size_t ausgegeben = 0;
};

// Every reading moves the clock on by schritt ms, so that time loops end
// after a bounded number of evaluations whatever their limit; the time
// events of a scenario come in their order as well.
class SchrittUhr : public test::TestUhr {
  public:
    SchrittUhr() {
        schritt = 50;
        lokal.tm_year = 100;
        lokal.tm_mon = 11;
        lokal.tm_mday = 9;
    }
    void Zuruecksetzen() { ms = startMs; }
};

// Answers WARNUNG boxes from a bit pattern, one bit per box (1 = OK).
class FuzzFenster : public services::Nachrichtenfenster {
  public:
    services::Antwort Zeige(std::string_view titel, std::string_view zeile,
                            bool mitAbbrechen) override {
        letzterTitel.assign(titel);
        letzteZeile.assign(zeile);
        ++berichte;
        if (!mitAbbrechen) {
            return services::Antwort::OK;
        }
        bool ok = ((antworten >> (warnungen++ % 8)) & 1U) != 0;
        return ok ? services::Antwort::OK : services::Antwort::Abbrechen;
    }
    void Zuruecksetzen(std::uint8_t muster) {
        antworten = muster;
        warnungen = 0;
        berichte = 0;
        letzterTitel.clear();
        letzteZeile.clear();
    }

    std::uint8_t antworten = 0xFF;
    unsigned warnungen = 0;
    unsigned berichte = 0;
    std::string letzterTitel;
    std::string letzteZeile;
};

class StillesSoundgeraet : public services::Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override { gespielt += pfad.empty() ? 0 : 1; }
    std::size_t gespielt = 0;
};

struct Seams {
    StummeKonsole konsole;
    SchrittUhr uhr;
    FuzzFenster fenster;
    StillesSoundgeraet sound;
};

// Installs the seams once per process; the exit seam throws Programmende.
inline Seams& Installiere() {
    static Seams* seams = [] {
        auto* s = new Seams;
        services::Umwelt().konsole = &s->konsole;
        services::Umwelt().uhr = &s->uhr;
        services::Umwelt().fenster = &s->fenster;
        services::Umwelt().ende = [](int code) { throw services::Programmende{code}; };
        services::SetzeSoundgeraet(&s->sound);
        return s;
    }();
    return *seams;
}

// A directory of this process below the temporary directory, made once and removed at the exit;
// files in it are overwritten by every input. tools/fuzz.sh points TMPDIR at a scratch directory
// that it removes afterwards.
inline const std::string& Arbeitsverzeichnis() {
    struct Verzeichnis {
        std::string pfad;
        ~Verzeichnis() {
            std::error_code fehler;
            std::filesystem::remove_all(pfad, fehler);
        }
    };
    static const Verzeichnis verzeichnis{[] {
        // $TMPDIR or /tmp, or the user's temporary folder on Windows.
        const std::string basis = std::filesystem::temp_directory_path().string();
        // A new directory of a random name, as mkdtemp makes one.
        std::random_device zufall;
        for (int versuch = 0; versuch < 100; ++versuch) {
            const std::string pfad = basis + "/taktler-fuzz-" + std::to_string(zufall());
            std::error_code fehler;
            if (std::filesystem::create_directory(pfad, fehler)) {
                return pfad;
            }
        }
        std::perror("create_directory");
        std::abort();
    }()};
    return verzeichnis.pfad;
}

inline void SchreibeDatei(const std::string& pfad, const std::uint8_t* daten, std::size_t n) {
    std::FILE* f = std::fopen(pfad.c_str(), "wb");
    if (f == nullptr) {
        std::perror(pfad.c_str());
        std::abort();
    }
    if (n > 0 && std::fwrite(daten, 1, n, f) != n) {
        std::abort();
    }
    std::fclose(f);
}

inline std::string LiesDatei(const std::string& pfad) {
    std::string inhalt;
    std::FILE* f = std::fopen(pfad.c_str(), "rb");
    if (f == nullptr) {
        return inhalt;
    }
    char puffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(puffer, 1, sizeof puffer, f)) > 0) {
        inhalt.append(puffer, n);
    }
    std::fclose(f);
    return inhalt;
}

// The records LiesSatz delivers from the bytes d, the record rules written
// out plainly; abbruch when a line is too long for a buffer of kapazitaet.
struct Satz {
    std::string text;
    std::int32_t pos = 0;
    std::int32_t laenge = 0;
};

struct Satzmodell {
    std::vector<Satz> saetze;
    bool abbruch = false;
};

inline Satzmodell Saetze(const std::string& d, std::uint32_t kapazitaet) {
    Satzmodell m;
    // A UTF-8 byte-order mark at the start is no part of the first record.
    std::size_t i = d.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    auto naechstes = [&]() -> int {
        return i < d.size() ? static_cast<unsigned char>(d[i++]) : -1;
    };
    for (;;) {
        Satz s;
        s.pos = static_cast<std::int32_t>(i);
        int c = naechstes();
        while (c != -1 && c != 13 && c != 10 && c != 26) {
            s.text.push_back(static_cast<char>(c));
            if (s.text.size() >= kapazitaet - 1) {
                m.abbruch = true;
                return m;
            }
            c = naechstes();
        }
        s.laenge = static_cast<std::int32_t>(s.text.size()) + 1;
        c = naechstes();
        while (c == 10 || c == 0) {
            ++s.laenge;
            c = naechstes();
        }
        m.saetze.push_back(s);
        if (c == -1 || c == 26) {
            return m;
        }
        --i;  // pushed back: first byte of the next record
    }
}

// A finding of an oracle: print what broke and stop like a sanitizer does.
[[noreturn]] inline void Befund(const char* was, const std::string& detail = {}) {
    std::fprintf(stderr, "BEFUND: %s\n%s\n", was, detail.c_str());
    std::abort();
}

inline void Pruefe(bool bedingung, const char* was, const std::string& detail = {}) {
    if (!bedingung) {
        Befund(was, detail);
    }
}

}  // namespace taktler::fuzz
