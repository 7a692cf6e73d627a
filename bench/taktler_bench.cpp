// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the script loop on the simulated interface without a port
// log: straight lines, loop passes by the position of the BIS line, and
// subroutine calls with the header far down the file; and how many virtual
// seconds a run in virtual time simulates per wall-clock second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/aufzeichnung.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "services/umgebung.h"
#include "services/virtuelleuhr.h"
#include "testhilfe/stumme_seams.h"
#include "testhilfe/zuruecksetzen.h"

namespace {

using namespace taktler;

// The fuzz targets' seams: a console that drops everything, and a clock
// that moves on by one millisecond at every reading, so a BIS ZEIT loop with
// limit N makes about N passes.
using StilleKonsole = fuzz::StummeKonsole;

struct SchrittUhr : fuzz::SchrittUhr {
    SchrittUhr() { schritt = 1; }
    // The trace's time stamps read without stepping, so that the loops make
    // as many passes with it as without.
    std::uint64_t MonotonUs() override { return static_cast<std::uint64_t>(ms - startMs) * 1000; }
};

struct Lauf {
    StilleKonsole konsole;
    SchrittUhr uhr;
    interface::Simulator sim;
    std::string verzeichnis;

    Lauf() {
        char muster[] = "/tmp/tbXXXXXX";
        verzeichnis = mkdtemp(muster);
        services::Umwelt().konsole = &konsole;
        services::Umwelt().uhr = &uhr;
        interface::SetzePort(&sim);
    }
    ~Lauf() {
        interface::SetzePort(nullptr);
        services::UmweltZuruecksetzen();
        std::remove((verzeichnis + "/k.txt").c_str());
        std::remove((verzeichnis + "/p.txt").c_str());
        rmdir(verzeichnis.c_str());
    }
    void Datei(const std::string& inhalt) {
        std::ofstream(verzeichnis + "/k.txt", std::ios::binary) << inhalt;
    }
    void Einmal() {
        ZustandZuruecksetzen();
        interpreter::Zustand().Tracelevel = 1;
        interpreter::Programmlauf({verzeichnis + "/k.txt", verzeichnis + "/p.txt"});
    }
};

std::string Fuellzeilen(int anzahl) {
    std::string s;
    for (int i = 0; i < anzahl; ++i) {
        s += "; Kommentarzeile, die beim Zurueckspringen erneut gelesen wird\r\n";
    }
    return s;
}

void ZeilenGerade(benchmark::State& state) {
    Lauf lauf;
    std::string datei;
    const int bloecke = 1000;
    for (int i = 0; i < bloecke; ++i) {
        datei +=
            "EINSCHALTEN MOTOR1 LINKS\r\nMELDUNG SCHRITT\r\n; Kommentar\r\n"
            "AUSSCHALTEN MOTOR1\r\nTRACELEVEL 1\r\n";
    }
    lauf.Datei(datei);
    for (auto _ : state) {
        lauf.Einmal();
    }
    state.SetItemsProcessed(state.iterations() * bloecke * 5);
    state.SetLabel("lines");
}
BENCHMARK(ZeilenGerade)->Unit(benchmark::kMillisecond);

// Enough passes that the work done once per run (the 5000 lines in front
// of a loop run once, the lines before a header read once) is a small part
// of it: a pass itself costs well under a microsecond.
constexpr int kDurchlaeufe = 300000;

void LeereZeitschleife(benchmark::State& state) {
    Lauf lauf;
    const auto zeile = static_cast<int>(state.range(0));
    lauf.Datei(Fuellzeilen(zeile - 1) + "BIS ZEIT = " + std::to_string(kDurchlaeufe) +
               "\r\nENDE_BIS\r\n");
    for (auto _ : state) {
        lauf.Einmal();
    }
    // Each pass reads the clock once; the first evaluation reads it twice.
    state.SetItemsProcessed(state.iterations() * kDurchlaeufe);
    state.SetLabel("loop passes, BIS at line " + std::to_string(zeile));
}
BENCHMARK(LeereZeitschleife)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond);

// The polling loop of LeereZeitschleife at line 10, lines per second with
// the trace (--spur), the coverage (--abdeckung) or both written to files.
void PollenMitAufzeichnung(benchmark::State& state) {
    Lauf lauf;
    lauf.Datei(Fuellzeilen(9) + "BIS ZEIT = " + std::to_string(kDurchlaeufe) + "\r\nENDE_BIS\r\n");
    const auto art = state.range(0);
    const std::string spur = art & 1 ? lauf.verzeichnis + "/spur.txt" : "";
    const std::string abdeckung = art & 2 ? lauf.verzeichnis + "/abdeckung.info" : "";
    for (auto _ : state) {
        ZustandZuruecksetzen();
        interpreter::Zustand().Tracelevel = 1;
        if (art != 0) {
            interpreter::AufzeichnungOeffnen(spur, abdeckung, lauf.verzeichnis + "/k.txt");
        }
        interpreter::Programmlauf({lauf.verzeichnis + "/k.txt", lauf.verzeichnis + "/p.txt"});
    }
    interpreter::AufzeichnungZuruecksetzen();
    std::remove(spur.c_str());
    std::remove(abdeckung.c_str());
    // Two lines a pass.
    state.SetItemsProcessed(state.iterations() * kDurchlaeufe * 2);
    const char* const namen[] = {"ohne", "--spur", "--abdeckung", "--spur --abdeckung"};
    state.SetLabel(std::string("lines, ") + namen[art]);
}
BENCHMARK(PollenMitAufzeichnung)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void Unterprogrammaufrufe(benchmark::State& state) {
    Lauf lauf;
    const auto kopfzeile = static_cast<int>(state.range(0));
    std::string kopf = "BIS ZEIT = " + std::to_string(kDurchlaeufe) +
                       "\r\nRUFE UP\r\nENDE_BIS\r\nENDE\r\nEXIT\r\n";
    lauf.Datei(kopf + Fuellzeilen(kopfzeile - 6) + "UNTERPROGRAMM UP\r\nENDE_UNTERPROGRAMM\r\n");
    for (auto _ : state) {
        lauf.Einmal();
    }
    state.SetItemsProcessed(state.iterations() * kDurchlaeufe);
    state.SetLabel("RUFE/ENDE_UNTERPROGRAMM pairs, header at line " + std::to_string(kopfzeile));
}
BENCHMARK(Unterprogrammaufrufe)->Arg(10)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// A whole run in virtual time, as --zeit=virtuell runs it, without a port
// log or a timing diagram: virtual seconds per wall-clock second, and per
// second of CPU time (which a machine shared with other work does not hide).
void VirtuelleZeit(benchmark::State& state) {
    struct Fall {
        const char* name;
        std::string kommandos;  // a file in examples/, or the text itself
        std::string szenario;
    };
    const std::string beispiele = std::string(TAKTLER_QUELLEN) + "/examples/";
    const Fall faelle[] = {
        {"ampel", beispiele + "ampel.txt", beispiele + "ampel.szenario"},
        {"foerderband", beispiele + "foerderband.txt", beispiele + "foerderband.szenario"},
        {"BIS ZEIT = 60000 mit NOTHALT", "", ""},
    };
    const Fall& fall = faelle[state.range(0)];

    StilleKonsole konsole;
    services::Umwelt().konsole = &konsole;
    std::vector<interface::Ereignis> szenario;
    if (!fall.szenario.empty()) {
        szenario = interface::LadeSzenario(fall.szenario).ereignisse;
    }
    char muster[] = "/tmp/tbXXXXXX";
    const std::string verzeichnis = mkdtemp(muster);
    std::string kommandos = fall.kommandos;
    if (kommandos.empty()) {
        kommandos = verzeichnis + "/k.txt";
        std::ofstream(kommandos, std::ios::binary)
            << "NOTHALT SCHALTER8\r\nBIS ZEIT = 60000\r\nENDE_BIS\r\n";
    }
    const std::string protokoll = verzeichnis + "/p.txt";

    double virtuelleSekunden = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        services::VirtuelleUhr uhr(0);
        services::Umwelt().uhr = &uhr;
        interface::Simulator sim(szenario);
        interface::SetzePort(&sim);
        ZustandZuruecksetzen();
        interpreter::Programmlauf({kommandos, protokoll});
        virtuelleSekunden += static_cast<double>(uhr.MonotonUs()) / 1e6;
        interface::SetzePort(nullptr);
        services::Umwelt().uhr = nullptr;
    }
    const double cpuSekunden = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["virt_s_pro_s"] =
        benchmark::Counter(virtuelleSekunden, benchmark::Counter::kIsRate);
    state.counters["virt_s_pro_cpu_s"] = virtuelleSekunden / cpuSekunden;
    state.SetLabel(fall.name);

    services::UmweltZuruecksetzen();
    std::remove((verzeichnis + "/k.txt").c_str());
    std::remove(protokoll.c_str());
    rmdir(verzeichnis.c_str());
}
BENCHMARK(VirtuelleZeit)->DenseRange(0, 2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
