// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/pfade.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace taktler::services {

namespace {

bool Existiert(const std::string& pfad) {
    struct stat info {};
    return ::stat(pfad.c_str(), &info) == 0;
}

// ASCII only: file names are bytes, and a locale must not change the match.
char Klein(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool GleichOhneFall(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Klein(x) == Klein(y); });
}

std::vector<std::string> Komponenten(const std::string& pfad) {
    std::vector<std::string> teile;
    std::size_t anfang = 0;
    while (anfang <= pfad.size()) {
        std::size_t ende = pfad.find('/', anfang);
        if (ende == std::string::npos) {
            ende = pfad.size();
        }
        if (ende > anfang) {
            teile.push_back(pfad.substr(anfang, ende - anfang));
        }
        anfang = ende + 1;
    }
    return teile;
}

std::string Verbinde(const std::string& basis, const std::string& name) {
    if (basis.empty()) {
        return name;
    }
    return basis.back() == '/' ? basis + name : basis + "/" + name;
}

// Names in the directory that match without regard to case: the exact
// spelling first, the others in a fixed order so the outcome is repeatable.
std::vector<std::string> Kandidaten(const std::string& verzeichnis, const std::string& name) {
    std::vector<std::string> treffer;
    if (name == "." || name == ".." || Existiert(Verbinde(verzeichnis, name))) {
        treffer.push_back(name);
    }
    DIR* dir = ::opendir(verzeichnis.empty() ? "." : verzeichnis.c_str());
    if (dir == nullptr) {
        return treffer;
    }
    std::vector<std::string> andere;
    while (const dirent* eintrag = ::readdir(dir)) {
        std::string kandidat = eintrag->d_name;
        if (kandidat != name && GleichOhneFall(kandidat, name)) {
            andere.push_back(kandidat);
        }
    }
    ::closedir(dir);
    std::sort(andere.begin(), andere.end());
    treffer.insert(treffer.end(), andere.begin(), andere.end());
    return treffer;
}

// Walks the components; where two spellings match, the one under which the
// rest of the path is found wins.
std::optional<std::string> Suche(const std::string& basis, const std::vector<std::string>& teile,
                                 std::size_t index) {
    if (index == teile.size()) {
        return basis;
    }
    for (const std::string& name : Kandidaten(basis, teile[index])) {
        if (auto gefunden = Suche(Verbinde(basis, name), teile, index + 1)) {
            return gefunden;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string LoeseKommandoPfadAuf(const std::string& pfad) {
    if (pfad.empty() || Existiert(pfad)) {
        return pfad;
    }
    std::string unixPfad = pfad;
    std::replace(unixPfad.begin(), unixPfad.end(), '\\', '/');
    if (unixPfad.size() >= 2 && unixPfad[1] == ':' &&
        ((unixPfad[0] >= 'A' && unixPfad[0] <= 'Z') ||
         (unixPfad[0] >= 'a' && unixPfad[0] <= 'z'))) {
        unixPfad.erase(0, 2);
    }
    std::vector<std::string> teile = Komponenten(unixPfad);
    if (teile.empty()) {
        return pfad;
    }
    std::string basis = unixPfad.front() == '/' ? "/" : "";
    return Suche(basis, teile, 0).value_or(pfad);
}

}  // namespace taktler::services
