// SPDX-License-Identifier: GPL-3.0-or-later
#include "testdateien.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

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

int StarteBegrenzt(const std::string& befehl) {
    const pid_t kind = fork();
    if (kind < 0) {
        return -1;
    }
    if (kind == 0) {
        // No controlling terminal (a WARNUNG is never asked), a group killed as a whole; a file
        // past 256 MiB ends it (SIGXFSZ).
        setsid();
        const rlimit grenze{rlim_t{256} << 20, rlim_t{256} << 20};
        setrlimit(RLIMIT_FSIZE, &grenze);
        execl("/bin/sh", "sh", "-c", befehl.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::chrono::seconds frist(std::getenv("TAKTLER_TEST_VOR") != nullptr ? 900 : 120);
    const auto ende = std::chrono::steady_clock::now() + frist;
    auto pause = std::chrono::milliseconds(1);
    bool beendet = false;
    while (!beendet && std::chrono::steady_clock::now() < ende) {
        siginfo_t info{};
        // WNOWAIT: a zombie keeps its group id from reuse until the group is killed.
        beendet = waitid(P_PID, static_cast<id_t>(kind), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                  info.si_pid == kind;
        if (!beendet) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }
    kill(-kind, SIGKILL);
    int status = 0;
    waitpid(kind, &status, 0);
    if (!beendet) {
        std::fprintf(stderr, "killed after %lld s: %s\n", static_cast<long long>(frist.count()),
                     befehl.c_str());
        return -1;
    }
    return status;
}

Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe, const std::vector<std::string>& umgebung,
                     const std::string& ausgabeZiel) {
    SchreibeDatei(verzeichnis + "/.stdin", eingabe);
    // TAKTLER_TEST_VOR runs the program under a tool (tools/valgrind.sh).
    const char* vor = std::getenv("TAKTLER_TEST_VOR");
    std::string befehl = "cd " + Quote(verzeichnis) + " && exec env";
    for (const auto& u : umgebung) {
        befehl += " " + Quote(u);
    }
    befehl += " " + std::string(vor != nullptr ? vor : "") + " " + Quote(TAKTLER_BINARY);
    for (const auto& a : argumente) {
        befehl += " " + Quote(a);
    }
    const int status =
        StarteBegrenzt(befehl + " <.stdin >" +
                       Quote(ausgabeZiel.empty() ? ".stdout" : ausgabeZiel) + " 2>.stderr");
    Aufruf a;
    a.code = status == -1          ? -1
             : WIFEXITED(status)   ? WEXITSTATUS(status)
             : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                   : -1;
    a.aus = ausgabeZiel.empty() ? LiesDatei(verzeichnis + "/.stdout") : "";
    a.fehler = LiesDatei(verzeichnis + "/.stderr");
    return a;
}

}  // namespace taktler::test
