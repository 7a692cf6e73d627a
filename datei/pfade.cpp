// SPDX-License-Identifier: GPL-3.0-or-later
// Paths taken apart into components, and the directories of a path built.
//
// On Linux a path is split at '/' and at '\'. A path with a colon (drive
// form, "C:\daten\liste.txt") or an absolute path ("/tmp/a/b.txt") counts as
// complete (MitLaufwerk 1); its first component is the drive ("C:") or the
// root, kept as "/": "/tmp/a/b.txt" gives "/", "tmp", "a", "b.txt". Any other
// path is completed from the working directory, with "." and ".." resolved
// lexically, and so always begins with "/" (MitLaufwerk 0). Directories are
// built under "/": a drive component stands for the root. On Windows the
// drive is the drive: a working directory and the directories built begin
// with it, and "\daten" is complete (the current drive's root).
#include "datei/pfade.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "datei/intern.h"
#include "plattform_typen.h"

namespace taktler::datei {

using intern::Abbruch;

using intern::Pruefe;
using intern::Warne;

namespace {

constexpr std::size_t kNameMax = kStufenLaenge - 1;  // 13 characters per slot
constexpr std::int32_t kLetzteStufe = 18;            // at most 19 components

bool IstTrenner(char c) {
    return c == '/' || c == '\\';
}

// A drive letter, where the platform has them: the first component of a complete path.
bool IstLaufwerk(const std::string& teil) {
    return services::plattform::kLaufwerke && teil.size() == 2 && teil[1] == ':';
}

// The working directory within the module's 300-character limit.
std::string Arbeitsverzeichnis(const char* funktion) {
    std::array<char, kPfadLaenge> puffer{};
    if (services::plattform::Arbeitsverzeichnis(puffer.data(), puffer.size()) != 0) {
        int fehler = errno;
        if (fehler == ERANGE) {
            Abbruch(funktion, "Vollstaendiger Pfad zu lang");
        }
        Abbruch(funktion, services::Format("getcwd %s", intern::Systemtext(fehler).c_str()));
    }
    return puffer.data();
}

// Full path of a relative path: the working directory and the path, with
// "." and ".." resolved without asking the file system (like the full-path
// function of the drive-letter systems; links are not followed). A trailing
// separator is kept, so it still gives an empty file-name component.
std::string Vervollstaendige(const char* pfad) {
    std::vector<std::string> teile;
    auto zerlege = [&teile](const std::string& text) {
        std::string teil;
        auto ablegen = [&] {
            if (teil == "..") {
                if (!teile.empty() && !(teile.size() == 1 && IstLaufwerk(teile[0]))) {
                    teile.pop_back();
                }
            } else if (!teil.empty() && teil != ".") {
                teile.push_back(teil);
            }
            teil.clear();
        };
        for (char c : text) {
            if (IstTrenner(c)) {
                ablegen();
            } else {
                teil += c;
            }
        }
        ablegen();
    };
    zerlege(Arbeitsverzeichnis("ParsePfad"));
    std::string relativ = pfad;
    zerlege(relativ);
    std::string voll;
    for (std::size_t i = 0; i < teile.size(); ++i) {
        if (i > 0 || !IstLaufwerk(teile[0])) {
            voll += '/';
        }
        voll += teile[i];
    }
    if (voll.empty() || IstTrenner(relativ.back())) {
        voll += '/';
    }
    return voll;
}

}  // namespace

std::uint8_t ParsePfad(DateiADO* datei) {
    services::TraceKlammer k(kModul, "ParsePfad");
    Pruefe(datei, "ParsePfad");
    const char* pfad = datei->Pfad.data();
    if (pfad[0] == '\0') {
        return 0;
    }
    const bool wurzel = pfad[0] == '/' || (services::plattform::kLaufwerke && pfad[0] == '\\');
    bool vollstaendig = std::strchr(pfad, ':') != nullptr || wurzel;
    std::string voll = vollstaendig ? std::string(pfad) : Vervollstaendige(pfad);
    if (voll.size() >= kPfadLaenge) {
        Abbruch("ParsePfad", "Vollstaendiger Pfad zu lang");
    }
    if (datei->Verzeichnisse == nullptr) {
        datei->Verzeichnisse = new (std::nothrow) Pfadzerlegung;
        if (datei->Verzeichnisse == nullptr) {
            Abbruch("ParsePfad", "malloc");
        }
    }
    Pfadzerlegung& z = *datei->Verzeichnisse;
    z.MitLaufwerk = vollstaendig ? 1 : 0;

    std::int32_t stufe = 0;
    std::size_t laenge = 0;
    bool zuLang = false;
    std::size_t i = 0;
    if (voll[0] == '/' || (services::plattform::kLaufwerke && voll[0] == '\\')) {
        z.Verzeichnisstufen[0] = {'/', '\0'};
        stufe = 1;
        i = 1;
    }
    for (; i < voll.size(); ++i) {
        char c = voll[i];
        if (IstTrenner(c)) {
            if (zuLang) {
                Abbruch("ParsePfad", "Verzeichnis zu lang");
            }
            z.Verzeichnisstufen[stufe][laenge] = '\0';
            ++stufe;
            laenge = 0;
            if (stufe > kLetzteStufe) {
                Abbruch("ParsePfad", "Zu viele Verzeichnisstufe");
            }
        } else if (c != ' ') {
            // A longer name never runs over its slot: a directory aborts at
            // its separator, the file name keeps its first 13 characters.
            if (laenge < kNameMax) {
                z.Verzeichnisstufen[stufe][laenge++] = c;
            } else {
                zuLang = true;
            }
        }
    }
    z.Verzeichnisstufen[stufe][laenge] = '\0';
    z.AnzahlStufen = stufe + 1;
    return 1;
}

std::uint8_t BauePfadAuf(DateiADO* datei) {
    services::TraceKlammer k(kModul, "BauePfadAuf");
    Pruefe(datei, "BauePfadAuf");
    if (datei->Verzeichnisse == nullptr) {
        Warne("BauePfadAuf", "Verzeichnisse nicht geparsed");
        return 0;
    }
    std::array<char, kPfadLaenge> gesichert{};
    if (services::plattform::Arbeitsverzeichnis(gesichert.data(), gesichert.size()) != 0) {
        int fehler = errno;
        gesichert[0] = '\0';
        Abbruch("BauePfadAuf", services::Format("Save: %s, %s\n", gesichert.data(),
                                                intern::Systemtext(fehler).c_str()));
    }
    const Pfadzerlegung& z = *datei->Verzeichnisse;
    std::string pfad;
    for (std::int32_t i = 0; i + 1 < z.AnzahlStufen; ++i) {
        if (i == 0) {
            // The root, or a drive: on Windows its own root, elsewhere the root.
            const std::string erste = z.Verzeichnisstufen[0].data();
            pfad = IstLaufwerk(erste) ? erste + "/" : "/";
        } else {
            if (i >= 2) {
                pfad += '/';
            }
            pfad += z.Verzeichnisstufen[i].data();
        }
        if (services::plattform::WechsleVerzeichnis(pfad) == 0) {
            continue;
        }
        int fehler = errno;
        Warne("BauePfadAuf", services::Format("chdir Verzeichnis %s, %s\n", pfad.c_str(),
                                              intern::Systemtext(fehler).c_str()));
        if (services::plattform::VerzeichnisAnlegen(pfad) != 0) {
            fehler = errno;
            services::Meldung(kModul, "BauePfadAuf", pfad);
            Abbruch("BauePfadAuf", services::Format("mkdir Verzeichnis %s, %s\n", pfad.c_str(),
                                                    intern::Systemtext(fehler).c_str()));
        }
        if (services::plattform::WechsleVerzeichnis(pfad) != 0) {
            fehler = errno;
            Abbruch("BauePfadAuf", services::Format("chdir Verzeichnis %s, %s\n", pfad.c_str(),
                                                    intern::Systemtext(fehler).c_str()));
        }
    }
    if (services::plattform::WechsleVerzeichnis(gesichert.data()) != 0) {
        int fehler = errno;
        Abbruch("BauePfadAuf", services::Format("Restore: %s, %s\n", gesichert.data(),
                                                intern::Systemtext(fehler).c_str()));
    }
    return 1;
}

std::uint8_t LegePfadAn(DateiADO* datei) {
    services::TraceKlammer k(kModul, "LegePfadAn");
    Pruefe(datei, "LegePfadAn");
    if (datei->Pfad[0] == '\0') {
        Warne("LegePfadAn", "Eingabedatei, Pfadangabe n.vorhanden");
        return 0;
    }
    if (ParsePfad(datei) == 0) {
        Warne("LegePfadAn", "Pfad der Datei nicht aufgeloest");
        return 0;
    }
    if (BauePfadAuf(datei) == 0) {
        Warne("LegePfadAn", "Pfad der Datei nicht angelegt");
        return 0;
    }
    return 1;
}

const char* GibDateinamenOhnePfad(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GibDateinamenOhnePfad");
    Pruefe(datei, "GibDateinamenOhnePfad");
    auto& ergebnis = Modul().DateinameOhnePfad;
    ergebnis[0] = '\0';
    if (ParsePfad(datei) == 0) {
        Warne("GibDateinamenOhnePfad", services::Format("Parse-Fehler bei %s", datei->Pfad.data()));
    } else {
        const Pfadzerlegung& z = *datei->Verzeichnisse;
        std::memcpy(ergebnis.data(), z.Verzeichnisstufen[z.AnzahlStufen - 1].data(), kStufenLaenge);
    }
    return ergebnis.data();
}

// Components joined with '/'; the root component "/" is a separator itself.
const char* GibVerzeichnis(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GibVerzeichnis");
    Pruefe(datei, "GibVerzeichnis");
    auto& ergebnis = Modul().Verzeichnis;
    ergebnis[0] = '\0';
    if (ParsePfad(datei) == 0) {
        Warne("GibVerzeichnis", services::Format("Parse-Fehler bei %s", datei->Pfad.data()));
        return ergebnis.data();
    }
    const Pfadzerlegung& z = *datei->Verzeichnisse;
    std::string text;
    for (std::int32_t i = 0; i + 1 < z.AnzahlStufen; ++i) {
        const char* stufe = z.Verzeichnisstufen[i].data();
        text += stufe;
        if (i != 0 || std::strcmp(stufe, "/") != 0) {
            text += '/';
        }
    }
    // 19 components of 13 characters and their separators fit in 300.
    std::size_t n = std::min(text.size(), ergebnis.size() - 1);
    std::memcpy(ergebnis.data(), text.data(), n);
    ergebnis[n] = '\0';
    return ergebnis.data();
}

const char* GibExtension(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GibExtension");
    Pruefe(datei, "GibExtension");
    auto& ergebnis = Modul().Extension;
    const char* name = GibDateinamenOhnePfad(datei);
    const char* punkt = std::strchr(name, '.');
    const char* rest = punkt != nullptr ? punkt + 1 : "";
    std::size_t n = std::min(std::strlen(rest), ergebnis.size() - 1);
    std::memcpy(ergebnis.data(), rest, n);
    ergebnis[n] = '\0';
    return ergebnis.data();
}

}  // namespace taktler::datei
