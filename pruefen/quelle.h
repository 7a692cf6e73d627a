// SPDX-License-Identifier: GPL-3.0-or-later
// The command file's bytes and its records as the program's reader gives
// them, read again from any record on.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "datei/satzregeln.h"
#include "interpreter/sprachregeln.h"
#include "services/plattform.h"

namespace taktler::pruefen {

using namespace interpreter;

// A record of n bytes makes a reader abort when n reaches its buffer's
// capacity - 1: the script loop's, the header search's and GeheZuSatz's.
constexpr std::uint32_t kGrenzeLauf = kZeilenpuffer - 1;
constexpr std::uint32_t kGrenzeSuche = kSuchzeile - 1;
constexpr std::uint32_t kGrenzeSprung = kSprungzeile - 1;
constexpr std::uint32_t kGrenzeInfo = kInfozeile - 1;
// A too long line is measured up to its end, but not beyond this.
constexpr std::size_t kHoechstensGezaehlt = 1'000'000;
// Input that is no regular file (a FIFO, a device) is kept in memory to be
// read again, up to this size.
constexpr std::size_t kKopieGrenze = 16u << 20;
// A measurement counts rising edges in 4999 status reads: 0..2499, and the
// smoothed value is an average of such counts.
constexpr std::int32_t kAnalogHoechstwert = 2499;

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
            c = quelle_.Lies();
            if (datei::BeendetSatz(c)) {
                break;
            }
            nul = nul || c == 0;
            if (!nul) {
                s.text += static_cast<char>(c);
            }
            if (++s.laenge >= grenze_) {
                while (s.laenge <= kHoechstensGezaehlt) {
                    c = quelle_.Lies();
                    if (datei::BeendetSatz(c)) {
                        break;
                    }
                    ++s.laenge;
                }
                weitere_ = false;
                return true;
            }
        }
        datei::Umbrueche umbrueche;
        c = datei::UeberspringeZwischenraum(
            c, [this] { return quelle_.Lies(); }, [](int) {}, umbrueche);
        zeile_ += umbrueche.anzahl;
        if (datei::BeendetDaten(c)) {
            weitere_ = false;
        } else {
            quelle_.Zurueck();
        }
        return true;
    }

  private:
    // A UTF-8 byte-order mark at the start is no part of the first record.
    void UeberspringeBom() {
        for (int b : datei::kBom) {
            if (quelle_.Lies() != b) {
                quelle_.Gehe(0);
                return;
            }
        }
    }

    Quelle& quelle_;
    std::int32_t satz_;
    std::int32_t zeile_;
    std::uint32_t grenze_;
    bool weitere_ = true;
};

}  // namespace taktler::pruefen
