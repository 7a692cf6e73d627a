#include "testdateien.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace taktler::test {

namespace fs = std::filesystem;

TempVerzeichnis::TempVerzeichnis() {
    std::string muster = "/tmp/tkXXXXXX";
    if (mkdtemp(muster.data()) == nullptr) {
        throw std::runtime_error("mkdtemp");
    }
    char echt[PATH_MAX];
    pfad_ = realpath(muster.c_str(), echt) != nullptr ? echt : muster;
}

std::string TempVerzeichnis::Datei(const std::string& name, const std::string& inhalt) const {
    fs::path ziel = fs::path(pfad_) / name;
    fs::create_directories(ziel.parent_path());
    SchreibeDatei(ziel.string(), inhalt);
    return ziel.string();
}

std::string SinusWav(double sekunden) {
    const auto frames = static_cast<std::uint32_t>(8000 * sekunden);
    // RIFF, fmt and data chunk headers, little-endian.
    const std::uint32_t kopf[] = {0x46464952, 36 + frames * 2, 0x45564157, 0x20746d66,
                                  16,         0x00010001,      8000,       16000,
                                  0x00100002, 0x61746164,      frames * 2};
    std::string d(reinterpret_cast<const char*>(kopf), sizeof kopf);
    for (std::uint32_t i = 0; i < frames; ++i) {
        auto wert = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 8000));
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

bool DateiExistiert(const std::string& pfad) {
    return fs::exists(pfad);
}

std::vector<std::string> Zeilen(const std::string& text) {
    std::vector<std::string> zeilen;
    std::istringstream s(text);
    std::string zeile;
    while (std::getline(s, zeile)) {
        zeilen.push_back(zeile);
    }
    return zeilen;
}

std::vector<std::string> Motorzustaende(const std::string& log) {
    std::vector<std::string> zustaende;
    for (const std::string& zeile : Zeilen(log)) {
        if (zeile.rfind("# Motoren ", 0) == 0) {
            zustaende.push_back(zeile.substr(10));
        }
    }
    return zustaende;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe, const std::vector<std::string>& umgebung,
                     const std::string& ausgabeZiel) {
    std::string ein = verzeichnis + "/.stdin";
    std::string aus = verzeichnis + "/.stdout";
    std::string err = verzeichnis + "/.stderr";
    SchreibeDatei(ein, eingabe);
    // TAKTLER_TEST_VOR runs the program under a tool, e.g. valgrind
    // (tools/valgrind.sh); the words are taken as the shell splits them.
    const char* vor = std::getenv("TAKTLER_TEST_VOR");
    std::string befehl = "cd " + Quote(verzeichnis) + " && exec env";
    for (const auto& u : umgebung) {
        befehl += " " + Quote(u);
    }
    befehl +=
        " " + (vor != nullptr ? std::string(vor) + " " : std::string()) + Quote(TAKTLER_BINARY);
    for (const auto& a : argumente) {
        befehl += " " + Quote(a);
    }
    befehl += " <" + Quote(ein) + " >" + Quote(ausgabeZiel.empty() ? aus : ausgabeZiel) + " 2>" +
              Quote(err);
    // setsid: no controlling terminal, so a WARNUNG is never asked there.
    std::string voll = "setsid -w sh -c " + Quote(befehl);
    int status = std::system(voll.c_str());
    Aufruf a;
    if (WIFEXITED(status)) {
        a.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        a.code = 128 + WTERMSIG(status);
    }
    a.aus = ausgabeZiel.empty() ? LiesDatei(aus) : std::string();
    a.fehler = LiesDatei(err);
    return a;
}

}  // namespace taktler::test
