// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/ablage.h"

#include "services/umgebung.h"

namespace taktler::panel {

namespace {

constexpr std::size_t kTabweite = 8;
constexpr std::size_t kStueckGroesse = 64u << 10;

bool IstFolgebyte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string Anzeigetext(std::string_view roh) {
    std::string utf8 =
        services::IstGueltigesUtf8(roh) ? std::string(roh) : services::Latin1NachUtf8(roh);
    std::string aus;
    aus.reserve(utf8.size());
    std::size_t spalte = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\t') {
            do {
                aus.push_back(' ');
                ++spalte;
            } while (spalte % kTabweite != 0);
            continue;
        }
        if (c == '\r') {
            continue;
        }
        // C0 and C1 controls would move the terminal's cursor or worse.
        if (c < 0x20 || c == 0x7F) {
            aus.push_back('?');
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            aus.push_back('?');
            ++i;
        } else {
            aus.push_back(utf8[i]);
            if (IstFolgebyte(utf8[i])) {
                continue;
            }
        }
        ++spalte;
    }
    return aus;
}

std::size_t Spalten(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8) {
        n += IstFolgebyte(c) ? 0 : 1;
    }
    return n;
}

std::string ErsteSpalten(std::string_view utf8, std::size_t n) {
    std::size_t spalten = 0;
    std::size_t i = 0;
    for (; i < utf8.size(); ++i) {
        if (!IstFolgebyte(utf8[i])) {
            if (spalten == n) {
                break;
            }
            ++spalten;
        }
    }
    return std::string(utf8.substr(0, i));
}

void Ablage::Anhaengen(std::string_view text) {
    while (!text.empty()) {
        std::size_t ende = text.find('\n');
        offen_.append(text.substr(0, ende));
        if (ende == std::string_view::npos) {
            return;
        }
        zeilen_.push_back(Anzeigetext(offen_));
        offen_.clear();
        while (zeilen_.size() > max_) {
            zeilen_.pop_front();
        }
        text.remove_prefix(ende + 1);
    }
}

void Mitschrift::Anhaengen(Strom strom, std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (stuecke_.empty() || stuecke_.back().strom != strom ||
        stuecke_.back().text.size() >= kStueckGroesse) {
        stuecke_.push_back(Stueck{strom, std::string()});
    }
    stuecke_.back().text.append(text);
    bytes_ += text.size();
    while (bytes_ > max_ && stuecke_.size() > 1) {
        bytes_ -= stuecke_.front().text.size();
        verworfen_ += stuecke_.front().text.size();
        stuecke_.pop_front();
    }
}

void Mitschrift::Abspielen(services::Konsole& ziel) const {
    if (verworfen_ > 0) {
        ziel.Fehler(services::Format("taktler: Ausgabe gekuerzt, die ersten %zu Bytes fehlen\n",
                                     verworfen_));
    }
    for (const Stueck& s : stuecke_) {
        if (s.strom == Strom::Fehler) {
            ziel.Fehler(s.text);
        } else {
            ziel.Aus(s.text);
        }
    }
}

}  // namespace taktler::panel
