// SPDX-License-Identifier: GPL-3.0-or-later
#include "testdateien.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

namespace taktler::test {

namespace fs = std::filesystem;

TempVerzeichnis::TempVerzeichnis() {
    // A new directory of a random name, as mkdtemp makes one.
    const fs::path basis = fs::temp_directory_path();
    std::random_device zufall;
    std::uniform_int_distribution<int> zeichen(0, 35);
    for (int versuch = 0; versuch < 100 && pfad_.empty(); ++versuch) {
        std::string name = "tk";
        for (int i = 0; i < 6; ++i) {
            const int z = zeichen(zufall);
            name += static_cast<char>(z < 10 ? '0' + z : 'a' + z - 10);
        }
        std::error_code fehler;
        if (fs::create_directory(basis / name, fehler)) {
            pfad_ = fs::canonical(basis / name).make_preferred().string();
        }
    }
    if (pfad_.empty()) {
        throw std::runtime_error("create_directory below " + basis.string());
    }
}

std::string TempVerzeichnis::operator/(const std::string& name) const {
    return (fs::path(pfad_) / name).make_preferred().string();
}

std::string TempVerzeichnis::Datei(const std::string& name, const std::string& inhalt) const {
    fs::path ziel = *this / name;
    fs::create_directories(ziel.parent_path());
    SchreibeDatei(ziel.string(), inhalt);
    return ziel.string();
}

std::string SinusWav(double sekunden) {
    constexpr double kPi = 3.14159265358979323846;
    const auto frames = static_cast<std::uint32_t>(8000 * sekunden);
    const std::uint32_t kopf[] = {0x46464952, 36 + frames * 2, 0x45564157, 0x20746d66,
                                  16,         0x00010001,      8000,       16000,
                                  0x00100002, 0x61746164,      frames * 2};
    std::string d(reinterpret_cast<const char*>(kopf), sizeof kopf);
    for (std::uint32_t i = 0; i < frames; ++i) {
        auto wert = static_cast<std::int16_t>(12000 * std::sin(2 * kPi * 440 * i / 8000));
        d.append(reinterpret_cast<const char*>(&wert), 2);
    }
    return d;
}

TempVerzeichnis::~TempVerzeichnis() {
    std::error_code ec;
    fs::permissions(pfad_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pfad_, ec);
}

void SchreibeDatei(const std::string& pfad, const std::string& inhalt) {
    std::ofstream f(pfad, std::ios::binary | std::ios::trunc);
    f << inhalt;
}

std::string LiesDatei(const std::string& pfad) {
    std::ifstream f(pfad, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> Zeilen(const std::string& text) {
    std::vector<std::string> zeilen;
    std::istringstream s(text);
    for (std::string zeile; std::getline(s, zeile);) {
        zeilen.push_back(zeile);
    }
    return zeilen;
}

std::vector<std::string> ZeilenMit(const std::vector<std::string>& zeilen,
                                   const std::string& anfang) {
    std::vector<std::string> mit;
    std::copy_if(zeilen.begin(), zeilen.end(), std::back_inserter(mit),
                 [&](const std::string& z) { return z.rfind(anfang, 0) == 0; });
    return mit;
}

std::vector<std::string> Motorzustaende(const std::string& log) {
    std::vector<std::string> zustaende = ZeilenMit(Zeilen(log), "# Motoren ");
    for (std::string& z : zustaende) {
        z.erase(0, 10);
    }
    return zustaende;
}

Vcd LiesVcd(const std::string& text) {
    Vcd vcd;
    std::map<std::string, std::string> namen;  // identifier -> variable
    std::istringstream s(text);
    std::string wort;
    std::uint64_t zeit = 0;
    auto aenderung = [&](const std::string& kennung, std::uint64_t wert) {
        vcd.aenderungen.push_back({zeit, namen.at(kennung), wert});
    };
    while (s >> wort) {
        if (wort == "$var") {
            std::string typ, breite, kennung, name;
            s >> typ >> breite >> kennung >> name;
            namen[kennung] = name;
        } else if (wort[0] == '#') {
            zeit = std::stoull(wort.substr(1));
            vcd.ende = zeit;
        } else if (wort[0] == 'b' || wort[0] == 'B') {
            std::string kennung;
            s >> kennung;
            aenderung(kennung, std::stoull(wort.substr(1), nullptr, 2));
        } else if (wort[0] == '0' || wort[0] == '1') {
            aenderung(wort.substr(1), static_cast<std::uint64_t>(wort[0] - '0'));
        } else if (wort[0] == '$' && wort != "$dumpvars" && wort != "$end" &&
                   wort != "$enddefinitions") {
            while (s >> wort && wort != "$end") {
            }
        }
    }
    return vcd;
}

std::ostream& operator<<(std::ostream& os, const VcdAenderung& a) {
    return os << "#" << a.zeit << " " << a.name << "=" << a.wert;
}

std::string ZeitdiagrammMangel(const std::string& text, const std::string& motoren) {
    if (text.size() < 2 || text.back() != '\n' ||
        text[text.rfind('\n', text.size() - 2) + 1] != '#') {
        return "does not end with a time stamp line";
    }
    std::string ende = "NNNN";
    for (const VcdAenderung& a : LiesVcd(text).aenderungen) {
        if (a.name.rfind("motor", 0) == 0) {
            ende.at(std::stoul(a.name.substr(5)) - 1) = a.wert < 3 ? "NLR"[a.wert] : '?';
        }
    }
    return ende == motoren ? "" : "motors end as " + ende;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

}  // namespace taktler::test
