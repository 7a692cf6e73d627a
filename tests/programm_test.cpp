// SPDX-License-Identifier: GPL-3.0-or-later
// The built taktler: what only the whole program shows (options, exit codes, real files and
// devices, the timing diagram, the real-port path, signals).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "services/unterbrechung.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using Liste = std::vector<std::string>;
// A table's row prints as its name.
template <typename Zeile>
auto operator<<(std::ostream& os, const Zeile& z) -> decltype(z.name, os) {
    return os << z.name;
}
const std::string kBeispiele = std::string(TAKTLER_QUELLEN) + "/examples/";
const Liste kReproduzierbar = {"SOURCE_DATE_EPOCH=1767225600", "TZ=UTC0"};

class ProgrammTest : public ::testing::Test {
  protected:
    Aufruf Starte(const std::string& kommandos, const std::string& szenario = "", Liste extra = {},
                  const Liste& umgebung = {}) {
        SchreibeDatei(dir / "k.txt", kommandos);
        SchreibeDatei(dir / "s.txt", szenario);
        extra.insert(extra.end(), {"--sim=s.txt", "--vcd=z.vcd", "k.txt", "p.txt"});
        return StarteTaktler(extra, dir.pfad(), "", umgebung);
    }
    TempVerzeichnis dir;
};

struct Fall {
    const char* aufruf;  // NAME=WERT sets the environment, >ZIEL takes standard output
    int code;
    const char* fehler;         // part of standard error; "": it stays empty; "=...": all of it
    bool nichts = true;         // k.txt as it was, no p.txt or z.vcd
    int ausRahmen = 0;          // switch-off frames in port.log; -1: not looked at
    const char* aus = "";       // start of standard output
    const char* entsteht = "";  // a file the run writes
};
void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.aufruf;
}
class AufrufTest : public ProgrammTest, public ::testing::WithParamInterface<Fall> {};

TEST_P(AufrufTest, EndsWithItsCodeAndSaysWhy) {
    const Fall& f = GetParam();
    const std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nELSE\nMELDUNG A\n";
    SchreibeDatei(dir / "k.txt", kommandos);
    SchreibeDatei(dir / "s.txt", "");
    // A real WARNUNG: INFO of a file that is not there.
    SchreibeDatei(dir / "w.txt", "INFO GIBTSNICHT.TXT\nMELDUNG WEITER\n");
    Liste argumente, umgebung;
    std::string ziel;
    std::istringstream woerter(f.aufruf);
    for (std::string w; woerter >> w;) {
        if (w[0] == '>') {
            ziel = w.substr(1);
        } else {
            (w.find('=') != std::string::npos && w[0] != '-' ? umgebung : argumente).push_back(w);
        }
    }
    auto a = StarteTaktler(argumente, dir.pfad(), "", umgebung, ziel);
    EXPECT_EQ(a.code, f.code) << a.fehler;
    EXPECT_EQ(a.aus.rfind(f.aus, 0), 0u) << a.aus;
    if (*f.fehler == '=') {
        EXPECT_EQ(a.fehler, f.fehler + 1);
    } else {
        EXPECT_TRUE(*f.fehler == '\0' ? a.fehler.empty() : a.fehler.find(f.fehler) != a.fehler.npos)
            << a.fehler;
    }
    // None of these runs ends at a line.
    EXPECT_EQ(a.fehler.find("Lauf endet hier"), std::string::npos) << a.fehler;
    if (f.ausRahmen >= 0) {
        EXPECT_EQ(Motorzustaende(LiesDatei(dir / "port.log")), Liste(f.ausRahmen, "NNNN"));
    }
    if (*f.entsteht != '\0') {
        EXPECT_TRUE(std::filesystem::exists(dir / f.entsteht)) << f.entsteht;
    }
    if (f.nichts) {
        EXPECT_EQ(LiesDatei(dir / "k.txt"), kommandos);
        EXPECT_FALSE(std::filesystem::exists(dir / "p.txt") ||
                     std::filesystem::exists(dir / "z.vcd"));
    }
}

// An option error: the option named, the hint, nothing opened.
#define OPTIONSFEHLER(text) "=taktler: " text "\nAufruf: taktler --help zeigt alle Optionen\n"
constexpr const char* kNutzung =
    "=TAKTLER 091200\nAnzahl der Argumente fehlerhaft.\nAufruf:  TAKTLER "
    "<Kommandodatei> <Protokolldatei>\n\n";
constexpr const char* kWarnung = "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, ";

INSTANTIATE_TEST_SUITE_P(
    Optionen, AufrufTest,
    ::testing::Values(
        Fall{"--help", 0, "", true, 0, "Aufruf: taktler [OPTION...] <Kommandodatei> "},
        Fall{"k.txt -h", 0, "", true, 0, "Aufruf: taktler [OPTION...] <Kommandodatei> "},
        Fall{"--version", 0, "", true, 0, "taktler 1."}, Fall{"-V", 0, "", true, 0, "taktler 1."},
        Fall{"--ports=x", 12, OPTIONSFEHLER("Option --ports nimmt keinen Wert")},
        // Each value in both forms, options before, between and after the files, whatever
        // POSIXLY_CORRECT says.
        Fall{"--port sim --port-log port.log k.txt p.txt", 0, "=TAKTLER 091200\n", false, -1, "",
             "port.log"},
        Fall{"POSIXLY_CORRECT=1 k.txt --port-log=port.log p.txt --port=sim", 0, "=TAKTLER 091200\n",
             false, -1, "", "port.log"},
        Fall{"--port=", 12, OPTIONSFEHLER("Option --port braucht einen Wert")},
        Fall{"--sim s.txt --vcd z.vcd k.txt p.txt", 0, "=TAKTLER 091200\n", false, -1, "", "z.vcd"},
        Fall{"k.txt p.txt --sim=s.txt --vcd=z.vcd", 0, "=TAKTLER 091200\n", false, -1, "", "z.vcd"},
        Fall{"SOURCE_DATE_EPOCH=0 TZ=UTC0 --zeit virtuell k.txt p.txt", 0, "=TAKTLER 091200\n",
             false, -1, "19700101.00:00:00;A;\n"},
        Fall{"SOURCE_DATE_EPOCH=86400 TZ=UTC0 --zeit=virtuell k.txt p.txt", 0, "=TAKTLER 091200\n",
             false, -1, "19700102.00:00:00;A;\n"},
        Fall{"--zeit=bald k.txt p.txt", 12,
             OPTIONSFEHLER("Option --zeit nimmt echt oder virtuell, nicht 'bald'")},
        // Each answer as its name says: OK goes on, Abbrechen ends.
        Fall{"--port=sim --antwort=ok w.txt p.txt", 0, kWarnung, true, -1},
        Fall{"--port=sim --antwort abbrechen w.txt p.txt", 12, kWarnung, true, -1},
        Fall{"--antwort", 12, OPTIONSFEHLER("Option --antwort braucht einen Wert")},
        // The outputs of trace and coverage are roles of the run like the protocol file.
        Fall{"--port=sim --spur k.txt k.txt p.txt", 12,
             "=taktler: Kommandodatei k.txt und --spur=k.txt sind dieselbe Datei\n"},
        Fall{"--port=sim --abdeckung=p.txt k.txt p.txt", 12,
             "=taktler: Protokolldatei p.txt und --abdeckung=p.txt sind dieselbe Datei\n"},
        Fall{"SOURCE_DATE_EPOCH=0 --zeit=virtuell --spur=- --abdeckung a.info k.txt p.txt", 0,
             "=TAKTLER 091200\n101 k.txt:1 0 + EINSCHALTEN MOTOR1 LINKS\n130 k.txt:2 0 + ELSE\n"
             "135 k.txt:3 0 + MELDUNG A\n",
             false, -1, "", "a.info"},
        // Breakpoints hold the panel's run only.
        Fall{"--port=sim --halt 2,5 k.txt p.txt", 12,
             OPTIONSFEHLER("Option --halt geht nur mit --panel")},
        Fall{"--port=sim --halt=2,,5 k.txt p.txt", 12,
             OPTIONSFEHLER("Option --halt nimmt ZEILE[,ZEILE...] mit ganzen Zahlen ab 1: 2,,5")},
        Fall{"--halt=0", 12,
             OPTIONSFEHLER("Option --halt nimmt ZEILE[,ZEILE...] mit ganzen Zahlen ab 1: 0")},
        Fall{"--streng --pruefen k.txt", 0, "", true, 0, "k.txt: 0 Fehler, 0 Warnung(en)\n"},
        Fall{"--gibtsnicht --port-log=port.log k.txt p.txt", 12,
             OPTIONSFEHLER("unbekannte Option --gibtsnicht")},
        Fall{"---x k.txt p.txt", 12, OPTIONSFEHLER("unbekannte Option ---x")},
        Fall{"-x k.txt p.txt", 12, OPTIONSFEHLER("unbekannte Option -x")},
        Fall{"--po=sim k.txt p.txt", 12,
             OPTIONSFEHLER("mehrdeutige Option --po (--port, --ports, --port-log)")},
        Fall{"k.txt p.txt --vcd", 12, OPTIONSFEHLER("Option --vcd braucht einen Wert")},
        // After "--" an argument that looks like an option is a file.
        Fall{"--port=sim -- k.txt --p.txt", 0, "=TAKTLER 091200\n", true, -1, "", "--p.txt"},
        // A wrong count: the usage and nothing else, after the switch-off frames.
        Fall{"", 12, kNutzung}, Fall{"--port-log=port.log k.txt", 12, kNutzung, true, 4}));

INSTANTIATE_TEST_SUITE_P(
    Faelle, AufrufTest,
    ::testing::Values(
        Fall{"--port=sim --port-log=k.txt k.txt p.txt", 12,
             "Kommandodatei k.txt und --port-log=k.txt"},
        Fall{"--port=sim --vcd=z.vcd --vcd-bits=./z.vcd k.txt p.txt", 12,
             "--vcd=z.vcd und --vcd-bits=./z.vcd sind dieselbe Datei"},
        Fall{"--port=sim --spur=fehlt/s.txt k.txt p.txt", 12,
             "taktler: fehlt/s.txt: Spur kann nicht angelegt werden: No such file or directory\n"},
        Fall{"--port=sim --abdeckung=/dev/full k.txt p.txt", 12,
             "taktler: /dev/full: Abdeckung kann nicht geschrieben werden: No space left on "
             "device\n",
             false},
        Fall{"--port=sim fehlt.txt p.txt", 12,
             "Quelldatei nicht vorhanden: , Programmabbruch: fehlt.txt\n"},
        // Past the largest 32-bit second of a time stamp.
        Fall{"SOURCE_DATE_EPOCH=2147483648 --zeit=virtuell k.txt p.txt", 12,
             "SOURCE_DATE_EPOCH=2147483648"},
        Fall{"--port=sim --port-log=/dev/null k.txt /dev/null", 0, "TAKTLER 091200\n", false},
        // The check and a panel without a terminal open no port.
        Fall{"--pruefen --port=sim --port-log=port.log k.txt", 0, "", true, 0,
             "k.txt: 0 Fehler, 0 Warnung(en)\n"},
        // Every file argument of the check is a command file.
        Fall{"--pruefen --streng k.txt p.txt", 12, "", true, 0,
             "k.txt: 0 Fehler, 0 Warnung(en)\np.txt: fehler: Datei nicht vorhanden\n"},
        Fall{"--streng k.txt p.txt", 12, "taktler: Option --streng gilt nur mit --pruefen\n"},
        // A protocol file the run could not create is refused before any motor moves.
        Fall{"--port=sim --port-log=port.log k.txt fehlt/p.txt", 12,
             "Protokolldatei kann nicht angelegt werden:, Programmabbruch: fehlt/p.txt "
             "(Verzeichnis fehlt: ",
             true, 4},
        Fall{"--panel --port=parport7 --port-log=port.log k.txt p.txt a b c d", 12,
             "taktler: --panel braucht ein Terminal: Standardeingabe und Standardausgabe sind "
             "keines\n"},
        // An output that cannot be written completely ends the run with 12.
        Fall{"--port=sim k.txt p.txt >/dev/full", 12,
             "taktler: Standardausgabe kann nicht geschrieben werden", false},
        Fall{"--port=sim --vcd-bits=/dev/full --vcd=z.vcd k.txt p.txt", 12,
             "taktler: /dev/full: Zeitdiagramm kann nicht geschrieben werden: No space left",
             false}));

// An abort mid-run keeps the protocol, whole lines in port log and diagram, and the last motors;
// so does a run whose outputs or input fail.
struct AbbruchFall {
    const char* name;
    std::string zeilen;  // from editor line 10, after a prefix that starts two motors, writes ELSE
    const char* szenario;
    const char* meldung;  // the end of the report's line
    std::string ort;      // the location line that follows it
    const char* banner;   // what the protocol gets after ELSE
    const char* motoren;
    int code = 12;
    // The shell around the run: before it (a pipe into it, limits), its command file, protocol,
    // diagram, standard output and error, and after it.
    const char* vor = "";
    const char* datei = "k.txt";
    const char* protokoll = "p.txt";
    const char* vcd = "z.vcd";
    const char* aus = ">aus";
    const char* fehler = "2>err";
    const char* nach = "";
    bool vorElse = false;  // the run ends before it reaches ELSE
};
class AbbruchTest : public ProgrammTest, public ::testing::WithParamInterface<AbbruchFall> {};

TEST_P(AbbruchTest, KeepsProtocolPortLogDiagramAndMotors) {
    const AbbruchFall& f = GetParam();
    // The sanitizer's shadow memory and a tool around the program do not fit a memory limit.
    bool ohneGrenze = std::getenv("TAKTLER_TEST_VOR") != nullptr;
#ifdef __SANITIZE_ADDRESS__
    ohneGrenze = true;
#endif
    if (ohneGrenze && std::string(f.vor).find("ulimit -v") != std::string::npos) {
        GTEST_SKIP() << "no memory limit here";
    }
    // Empty lines an editor counts and the reader skips: six records, nine editor lines.
    const std::string kommandos =
        "EINSCHALTEN MOTOR1 LINKS\n\n; zwei Motoren\nEINSCHALTEN MOTOR3 RECHTS\n\n\nBIS ZEIT 10\n"
        "ELSE\nENDE\n" +
        f.zeilen;
    SchreibeDatei(dir / "k.txt", kommandos);
    SchreibeDatei(dir / "s.txt", f.szenario);
    const char* werkzeug = std::getenv("TAKTLER_TEST_VOR");
    ASSERT_EQ(
        StarteBegrenzt("cd " + dir.pfad() + " && { " + f.vor + " " +
                       (werkzeug != nullptr ? werkzeug : "") + " " + TAKTLER_BINARY +
                       " --sim=s.txt --port-log=port.log --vcd=" + f.vcd + " " + f.datei + " " +
                       f.protokoll + " " + f.aus + " " + f.fehler + "; echo $? >code; } " + f.nach),
        0);
    EXPECT_EQ(LiesDatei(dir / "code"), std::to_string(f.code) + "\n");
    const std::string fehler = LiesDatei(dir / "err");
    // With a location line given, the report and it end standard error.
    const std::string schluss = std::string(f.meldung) + "\n" + f.ort + "\n";
    EXPECT_TRUE(f.ort.empty() ? fehler.find(f.meldung) != std::string::npos
                              : fehler.size() > schluss.size() &&
                                    fehler.compare(fehler.size() - schluss.size(), schluss.size(),
                                                   schluss) == 0)
        << fehler;
    if (std::string(f.protokoll) == "p.txt") {
        EXPECT_EQ(LiesDatei(dir / "p.txt"), f.vorElse ? "" : std::string("ELSE\r\n") + f.banner);
    }
    const std::string text = LiesDatei(dir / "port.log");
    const Liste zeilen = Zeilen(text);
    ASSERT_GE(zeilen.size(), 25u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(zeilen.back(), std::string("# Motoren ") + f.motoren);
    for (std::size_t i = zeilen.size() - 25; i < zeilen.size() - 1; ++i) {
        EXPECT_EQ(zeilen[i].rfind("W 378 ", 0), 0u) << i << ": " << zeilen[i];
    }
    if (std::string(f.vcd) == "z.vcd") {
        EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), f.motoren), "");
    }
}

// Motor 2 on and off, far more diagram changes than a block; the armed emergency stop reads
// the inputs around every line, so a run that went on after a failed write would log reads.
const char* const kWechselnd =
    "NOTHALT SCHALTER8\nBIS ZEIT = 600000\nEINSCHALTEN MOTOR2 LINKS\nAUSSCHALTEN MOTOR2\n"
    "ENDE_BIS\n";
INSTANTIATE_TEST_SUITE_P(
    Arten, AbbruchTest,
    ::testing::Values(
        AbbruchFall{"UnbekanntesKommando", "KAPUTT\nMELDUNG NIE\n", "",
                    "unbekanntes Kommando, Programmabbruch: KAPUTT",
                    "k.txt:10: Lauf endet hier: KAPUTT",
                    "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\nKommando erkennen: "
                    "unbekanntes Kommando\r\nKAPUTT\r\n---------------------------\r\n",
                    "RNLN"},
        AbbruchFall{"MotorNichtDefiniert", "\n; Tippfehler\reinschalten motr1 rechts  \r\n", "",
                    "[ABBRUCH] Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: "
                    "Motor n. definiert",
                    "k.txt:12: Lauf endet hier: einschalten motr1 rechts", "", "RNLN"},
        AbbruchFall{"UnterprogrammFehlt",
                    "RUFE FEHLT\n\nUNTERPROGRAMM ANDERES\nENDE_UNTERPROGRAMM\n", "",
                    "FindeUnterprogramm: N. gefunden, Programmabbruch: FEHLT",
                    "k.txt:10: Lauf endet hier: RUFE FEHLT", "", "RNLN"},
        // Reading aborts: at the line being read.
        AbbruchFall{"ZeileZuLang", "MELDUNG A\n\n" + std::string(600, 'X') + "\n", "",
                    "Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross",
                    "k.txt:12: Lauf endet hier: " + std::string(499, 'X'), "", "RNLN"},
        AbbruchFall{"ZuVieleFelder", "RUFE X\n\n; Kopf\nUnterprogramm x y z\n", "",
                    "Zu viele Felder, Programmabbruch: UNTERPROGRAMM X Y Z",
                    "k.txt:13: Lauf endet hier: Unterprogramm x y z", "", "RNLN"},
        AbbruchFall{"Notaus", "NOTHALT SCHALTER3\nMELDUNG A\n", "start schalter 3 an\n",
                    "Funktion: NOTHALT, Programmabbruch: NOTAUS betaetigt!",
                    "k.txt:10: Lauf endet hier: NOTHALT SCHALTER3", "", "NNNN"},
        // A reader of standard output that goes away ends the run like a hang-up.
        AbbruchFall{"AusgabeRohrZu", "BIS ZEIT = 600000\nMELDUNG X\nENDE_BIS\n", "",
                    "TAKTLER unterbrochen (SIGPIPE): alle Motoren ausgeschaltet",
                    "k.txt:11: Lauf endet hier: MELDUNG X", "", "NNNN", 128 + SIGPIPE, "", "k.txt",
                    "p.txt", "z.vcd", "", "2>err", "| head -c 1 >/dev/null"},
        // A command stream without end, and memory running out.
        AbbruchFall{"EndloseEingabe", "", "",
                    "Funktion: LiesZeile: Kommandodatei zu gross, Programmabbruch: /dev/stdin: "
                    "mehr als 32 MiB\n",
                    "", "", "RNLN", 12, "{ cat k.txt; yes '; x'; } |", "/dev/stdin"},
        AbbruchFall{"SpeicherErschoepft", "", "",
                    "[ABBRUCH] Modul: OutOfStore, Funktion: OutOfStore, Programmabbruch: "
                    "OutOfStore\n",
                    "", "", "RNLN", 12, "ulimit -v 45000; { cat k.txt; yes '; x'; } |",
                    "/dev/stdin"},
        // A diagram write that fails stops the run where it shows, with the system's reason.
        AbbruchFall{"DiagrammVoll", kWechselnd, "",
                    "taktler: /dev/full: Zeitdiagramm kann nicht geschrieben werden: No space left "
                    "on device\n",
                    "", "", "RRLN", 12, "", "--zeit=virtuell k.txt", "p.txt", "/dev/full"},
        AbbruchFall{"DiagrammAmEndeVoll", "MELDUNG A\n", "",
                    "taktler: /dev/full: Zeitdiagramm kann nicht geschrieben werden: No space left "
                    "on device\n",
                    "", "", "RNLN", 12, "", "k.txt", "p.txt", "/dev/full"},
        // Closed standard descriptors: no output file takes their place.
        AbbruchFall{"AusgabeGeschlossen", "MELDUNG A\n", "",
                    "taktler: Standardausgabe kann nicht geschrieben werden: Bad file descriptor\n",
                    "", "", "RNLN", 12, "", "k.txt", "p.txt", "z.vcd", ">&-", "2>err", "", true},
        AbbruchFall{"FehlerGeschlossen", "MELDUNG A\n", "", "", "", "", "RNLN", 12, "", "k.txt",
                    "p.txt", "z.vcd", ">aus", "2>&-"}),
    [](const auto& info) { return std::string(info.param.name); });

// Virtual microseconds: a line read, a motor frame, an input read, an analog measurement.
constexpr std::uint64_t kZeile = 5;
constexpr std::uint64_t kRahmen = 24;
constexpr std::uint64_t kAbfrage = 25;
constexpr std::uint64_t kMessung = 5002;

// The armed emergency stop reads the inputs around every line; an analog condition's first
// evaluation measures 40 times.
TEST_F(ProgrammTest, DiagramChangesLieTheModelledMicrosecondsApart) {
    auto a = Starte(
        "EINSCHALTEN MOTOR1 RECHTS\nNOTHALT SCHALTER8\nBIS ANALOG1 > 0\nENDE\n"
        "AUSSCHALTEN MOTOR1\n",
        "start schalter 2 an\nstart analog 1 100\nstart analog 2 40\n", {"--zeit=virtuell"},
        kReproduzierbar);
    ASSERT_EQ(a.code, 0) << a.fehler;
    const std::uint64_t motorAn = 4 * kRahmen + kZeile + kRahmen;
    const std::uint64_t scharf = motorAn + kZeile;
    // Switch 2 is the seventh of eight reads: a write, then per switch two writes and the read.
    const std::uint64_t schalter2 = scharf + 1 + 7 * 3;
    const std::uint64_t bis = scharf + kAbfrage + kZeile + kAbfrage;
    const std::uint64_t motorAus =
        bis + 40 * kMessung + kAbfrage + (kZeile + 2 * kAbfrage) + kZeile + kAbfrage + kRahmen;
    std::vector<VcdAenderung> erwartet;
    for (const char* name : {"motor1", "motor2", "motor3", "motor4", "schalter1", "schalter2",
                             "schalter3", "schalter4", "schalter5", "schalter6", "schalter7",
                             "schalter8", "analog1", "analog2", "nothalt"}) {
        erwartet.push_back({0, name, 0});
    }
    erwartet.insert(erwartet.end(), {{motorAn, "motor1", 1},
                                     {scharf, "nothalt", 1},
                                     {schalter2, "schalter2", 1},
                                     {bis + kMessung, "analog1", 100},
                                     {bis + 2 * kMessung, "analog2", 40},
                                     {motorAus, "motor1", 0}});
    const Vcd diagramm = LiesVcd(LiesDatei(dir / "z.vcd"));
    EXPECT_EQ(diagramm.aenderungen, erwartet);
    EXPECT_EQ(diagramm.ende, motorAus + kAbfrage);
}

// Both diagrams as the viewers' own readers take them, on the three ways a run ends: GTKWave's
// vcd2fst/fst2vcd read each back whole, and libsigrok's VCD import (sigrok-cli, as PulseView
// reads it) gives the 1-bit one's samples in the states of the 2-bit one and the port log.
struct BetrachterFall {
    const char* name;
    const char* kommandos;  // "": the conveyor example with its scenario, in virtual time
    const char* szenario;
    int code;
    const char* motoren;  // after the last frame
};
class BetrachterTest : public ProgrammTest, public ::testing::WithParamInterface<BetrachterFall> {};

const Liste kBitDraehte = {"motor1_LINKS_R", "motor1_RECHTS_L", "motor2_LINKS_R", "motor2_RECHTS_L",
                           "motor3_LINKS_R", "motor3_RECHTS_L", "motor4_LINKS_R", "motor4_RECHTS_L",
                           "schalter1",      "schalter2",       "schalter3",      "schalter4",
                           "schalter5",      "schalter6",       "schalter7",      "schalter8",
                           "nothalt"};

Liste OhneWiederholung(const Liste& zustaende) {
    Liste ohne;
    for (const std::string& z : zustaende) {
        if (ohne.empty() || ohne.back() != z) {
            ohne.push_back(z);
        }
    }
    return ohne;
}

// The 2-bit diagram's states over time as the 1-bit one's wires: '0'/'1' in kBitDraehte order.
Liste Drahtzustaende(const Vcd& vcd) {
    std::map<std::string, std::uint64_t> wert;
    Liste zustaende;
    auto zustand = [&] {
        std::string z;
        for (int m = 1; m <= 4; ++m) {
            const std::uint64_t v = wert["motor" + std::to_string(m)];
            z += (v & 2U) != 0 ? "1" : "0";
            z += (v & 1U) != 0 ? "1" : "0";
        }
        for (int k = 1; k <= 8; ++k) {
            z += wert["schalter" + std::to_string(k)] != 0 ? "1" : "0";
        }
        return z + (wert["nothalt"] != 0 ? "1" : "0");
    };
    for (std::size_t i = 0; i < vcd.aenderungen.size(); ++i) {
        wert[vcd.aenderungen[i].name] = vcd.aenderungen[i].wert;
        if (i + 1 == vcd.aenderungen.size() ||
            vcd.aenderungen[i + 1].zeit != vcd.aenderungen[i].zeit) {
            zustaende.push_back(zustand());
        }
    }
    return OhneWiederholung(zustaende);
}

TEST_P(BetrachterTest, ViewersReadBothDiagramsWhole) {
    const BetrachterFall& f = GetParam();
    const bool signal = f.code == 128 + SIGTERM;
    const Liste bits = {"--vcd-bits=b.vcd", "--port-log=port.log"};
    Aufruf a;
    if (*f.kommandos == '\0') {
        a = Starte(LiesDatei(kBeispiele + "foerderband.txt"),
                   LiesDatei(kBeispiele + "foerderband.szenario"),
                   {"--zeit=virtuell", bits[0], bits[1]}, kReproduzierbar);
    } else if (!signal) {
        a = Starte(f.kommandos, f.szenario, {"--zeit=virtuell", bits[0], bits[1]});
    } else {
        // In real time, ended once its module line shows that the signal handlers are in place.
        SchreibeDatei(dir / "k.txt", f.kommandos);
        const char* vor = std::getenv("TAKTLER_TEST_VOR");
        ASSERT_EQ(StarteBegrenzt("cd " + Quote(dir.pfad()) + " && { " +
                                 (vor != nullptr ? vor : "") + " " + Quote(TAKTLER_BINARY) +
                                 " --port=sim --vcd=z.vcd " + bits[0] + " " + bits[1] +
                                 " k.txt p.txt </dev/null >/dev/null 2>err & p=$!; "
                                 "until grep -q 'TAKTLER 091200' err; do sleep 0.05; done; "
                                 "sleep 0.2; kill -TERM $p; wait $p; echo $? >code; } 2>/dev/null"),
                  0);
        a.code = std::stoi(LiesDatei(dir / "code"));
        a.fehler = LiesDatei(dir / "err");
    }
    EXPECT_EQ(a.code, f.code) << a.fehler;
    const Liste rahmen = OhneWiederholung(Motorzustaende(LiesDatei(dir / "port.log")));
    ASSERT_FALSE(rahmen.empty());
    EXPECT_EQ(rahmen.back(), f.motoren);

    for (const char* name : {"z", "b"}) {
        const std::string n = name;
        ASSERT_EQ(StarteBegrenzt("cd " + Quote(dir.pfad()) + " && vcd2fst " + n + ".vcd " + n +
                                 ".fst >/dev/null && fst2vcd " + n + ".fst >" + n + "-fst.vcd"),
                  0);
        const Vcd original = LiesVcd(LiesDatei(dir / (n + ".vcd")));
        const Vcd zurueck = LiesVcd(LiesDatei(dir / (n + "-fst.vcd")));
        EXPECT_EQ(Drahtzustaende(zurueck), Drahtzustaende(original)) << n;
        EXPECT_EQ(zurueck.ende, original.ende) << n;
        const std::string text = LiesDatei(dir / (n + ".vcd"));
        EXPECT_EQ(n == "z" ? ZeitdiagrammMangel(text, f.motoren) : text.substr(text.rfind('#')),
                  n == "z" ? "" : "#" + std::to_string(original.ende) + "\n")
            << n;
    }

    // compress=1: one sample for each state, however long it lasted.
    ASSERT_EQ(StarteBegrenzt("cd " + Quote(dir.pfad()) +
                             " && sigrok-cli -i b.vcd -I vcd:compress=1 -O csv >b.csv"),
              0);
    Liste proben;
    std::string kanaele;
    for (const std::string& zeile : Zeilen(LiesDatei(dir / "b.csv"))) {
        if (zeile.rfind("; Channels", 0) == 0) {
            kanaele = zeile.substr(zeile.find(": ") + 2);
        } else if (zeile[0] == '0' || zeile[0] == '1') {
            std::string z = zeile;
            z.erase(std::remove(z.begin(), z.end(), ','), z.end());
            proben.push_back(z);
        }
    }
    std::string namen;
    for (const std::string& d : kBitDraehte) {
        namen += (namen.empty() ? "" : ", ") + d;
    }
    EXPECT_EQ(kanaele, namen);
    proben = OhneWiederholung(proben);
    EXPECT_EQ(proben, Drahtzustaende(LiesVcd(LiesDatei(dir / "z.vcd"))));
    Liste motoren;
    for (const std::string& z : proben) {
        std::string m;
        for (std::size_t i = 0; i < 8; i += 2) {
            m += z[i] == '1' ? 'R' : z[i + 1] == '1' ? 'L' : 'N';
        }
        motoren.push_back(m);
    }
    EXPECT_EQ(OhneWiederholung(motoren), rahmen);
}

INSTANTIATE_TEST_SUITE_P(
    Enden, BetrachterTest,
    ::testing::Values(BetrachterFall{"Normal", "", "", 0, "NNNN"},
                      BetrachterFall{"Abbruch",
                                     "EINSCHALTEN MOTOR1 LINKS\nNOTHALT SCHALTER8\nBIS SCHALTER2 "
                                     "= 1\nENDE_BIS\nEINSCHALTEN MOTOR4 RECHTS\nKAPUTT\n",
                                     "abfrage 3 schalter 2 an\n", 12, "RNNL"},
                      BetrachterFall{"Signal",
                                     "EINSCHALTEN MOTOR2 LINKS\nEINSCHALTEN MOTOR3 RECHTS\n"
                                     "NOTHALT SCHALTER8\nBIS ZEIT = 600000\nENDE_BIS\n",
                                     "", 128 + SIGTERM, "NNNN"}),
    [](const auto& info) { return std::string(info.param.name); });

// A trace and an lcov tracefile of a run in virtual time: a loop, an ELSE block, a subroutine
// called twice, one never called; editor lines past the empty lines the reader skips.
TEST_F(ProgrammTest, TraceAndCoverageOfARunInVirtualTime) {
    auto a = Starte(
        "; Probe mit Schleife und ELSE-Block\n\nRUFE BLINKEN\nBIS SCHALTER1 = 2\n  MELDUNG WARTEN\n"
        "ENDE_BIS\n\nBIS SCHALTER2 = 0\n  MELDUNG NIE\nELSE\n  MELDUNG SONST\nENDE\nRUFE BLINKEN\n"
        "EXIT\n\nUNTERPROGRAMM BLINKEN\n  EINSCHALTEN MOTOR1 LINKS\n  AUSSCHALTEN MOTOR1\n"
        "ENDE_UNTERPROGRAMM\n; nie erreicht\nUNTERPROGRAMM NIE_GERUFEN\n  MELDUNG NIE\n"
        "ENDE_UNTERPROGRAMM\n",
        "abfrage 2 schalter 1 an\nabfrage 3 schalter 1 aus\nabfrage 4 schalter 1 an\n",
        {"--zeit=virtuell", "--spur=spur.txt", "--abdeckung=abdeckung.info"}, kReproduzierbar);
    ASSERT_EQ(a.code, 0) << a.fehler;
    std::string schleife;
    for (int durchlauf = 0; durchlauf < 4; ++durchlauf) {
        const std::string t0 = std::to_string(249 + 50 * durchlauf);
        const std::string t1 = std::to_string(279 + 50 * durchlauf);
        const std::string t2 = std::to_string(284 + 50 * durchlauf);
        schleife += t0 + " k.txt:4 1 + BIS SCHALTER1 = 2\n" + t1 + " k.txt:5 1 " +
                    (durchlauf < 3 ? "+" : "-") + "   MELDUNG WARTEN\n" + t2 +
                    " k.txt:6 0 + ENDE_BIS\n";
    }
    EXPECT_EQ(LiesDatei(dir / "spur.txt"),
              "106 k.txt:3 1 + RUFE BLINKEN\n"
              "176 k.txt:17 1 +   EINSCHALTEN MOTOR1 LINKS\n"
              "205 k.txt:18 1 +   AUSSCHALTEN MOTOR1\n"
              "234 k.txt:19 0 + ENDE_UNTERPROGRAMM\n" +
                  schleife +
                  "439 k.txt:8 1 + BIS SCHALTER2 = 0\n"
                  "469 k.txt:9 1 -   MELDUNG NIE\n"
                  "474 k.txt:10 1 + ELSE\n"
                  "479 k.txt:11 1 +   MELDUNG SONST\n"
                  "484 k.txt:12 0 + ENDE\n"
                  "489 k.txt:13 1 + RUFE BLINKEN\n"
                  "559 k.txt:17 1 +   EINSCHALTEN MOTOR1 LINKS\n"
                  "588 k.txt:18 1 +   AUSSCHALTEN MOTOR1\n"
                  "617 k.txt:19 0 + ENDE_UNTERPROGRAMM\n"
                  "677 k.txt:14 0 + EXIT\n");
    const std::string abdeckung =
        "TN:\nSF:" + (dir / "k.txt") +
        "\nBRDA:4,0,0,3\nBRDA:4,0,1,1\nBRDA:8,0,0,0\nBRDA:8,0,1,1\nBRF:4\nBRH:3\n"
        "DA:3,1\nDA:4,4\nDA:5,3\nDA:6,4\nDA:8,1\nDA:9,0\nDA:10,1\nDA:11,1\nDA:12,1\nDA:13,1\n"
        "DA:14,1\nDA:16,2\nDA:17,2\nDA:18,2\nDA:19,2\nDA:21,0\nDA:22,0\nDA:23,0\n"
        "LF:18\nLH:14\nend_of_record\n";
    EXPECT_EQ(LiesDatei(dir / "abdeckung.info"), abdeckung);

    // lcov adds two runs' counts; genhtml renders the report.
    ASSERT_EQ(StarteBegrenzt("cd " + Quote(dir.pfad()) +
                             " && lcov -q --rc lcov_branch_coverage=1 -a abdeckung.info -a "
                             "abdeckung.info -o summe.info && genhtml -q --branch-coverage -o "
                             "html summe.info"),
              0);
    const std::string summe = LiesDatei(dir / "summe.info");
    EXPECT_NE(summe.find("\nDA:4,8\n"), std::string::npos) << summe;
    EXPECT_NE(summe.find("\nBRDA:4,0,0,6\n"), std::string::npos) << summe;
    const std::string index = LiesDatei(dir / "html/index.html");
    EXPECT_NE(index.find(">14<"), std::string::npos);
    EXPECT_NE(index.find("alt=\"77.8%\""), std::string::npos);
}

// The audio driver gets the sound in real time; in virtual time the device stays silent.
TEST_F(ProgrammTest, SoundReachesTheAudioDriverInRealTimeOnly) {
    dir.Datei("klaenge/gong.wav", SinusWav(0.5));
    for (const std::string zeit : {"echt", "virtuell"}) {
        const std::string roh = dir / ("audio-" + zeit + ".raw");
        auto a =
            Starte("SOUND KLAENGE\\GONG.WAV\nBIS ZEIT = 400\nENDE_BIS\n", "", {"--zeit=" + zeit},
                   {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + roh, "SDL_DISKAUDIODELAY=1"});
        EXPECT_EQ(a.code, 0) << a.fehler;
        EXPECT_EQ(LiesDatei(roh).find_first_not_of('\0') != std::string::npos, zeit == "echt");
    }
}

// The clock starts at SOURCE_DATE_EPOCH in the local zone; a long polling loop writes no change
// per poll.
TEST_F(ProgrammTest, VirtualClockFollowsSourceDateEpochAndTheDiagramStaysSmall) {
    auto a = Starte(
        "TRACELEVEL 1\nMELDUNG A\nNOTHALT SCHALTER8\nBIS ZEIT = 60000\nENDE_BIS\nMELDUNG B\n",
        "zeit 100 schalter 1 an\n", {"--zeit=virtuell"},
        {"SOURCE_DATE_EPOCH=1767225599", "TZ=CET-1"});
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_EQ(a.aus,
              "20260101.00:59:59;A;\n20260101.01:00:59;B;\nTAKTLER 091200 ENDE : am 01.01.2026 "
              "um 01.00.59\n");
    const std::string text = LiesDatei(dir / "z.vcd");
    EXPECT_LT(text.size(), 100'000u);
    EXPECT_GT(LiesVcd(text).ende, 60'000'000u);
}

class ReproduzierbarTest : public ::testing::TestWithParam<const char*> {};

// The examples in virtual time give byte-identical outputs, three runs at once.
TEST_P(ReproduzierbarTest, RunsGiveIdenticalOutputs) {
    const std::string name = GetParam();
    std::vector<Liste> ausgaben(3);
    std::vector<std::thread> gleichzeitig;
    for (Liste& aus : ausgaben) {
        gleichzeitig.emplace_back([&name, ziel = &aus] {
            TempVerzeichnis d;
            auto a = StarteTaktler(
                {"--zeit=virtuell", "--sim=" + kBeispiele + name + ".szenario",
                 "--port-log=port.log", "--vcd=z.vcd", kBeispiele + name + ".txt", "p.txt"},
                d.pfad(), "weiter\n", kReproduzierbar);
            *ziel = {std::to_string(a.code),
                     a.aus,
                     a.fehler,
                     LiesDatei(d / "p.txt"),
                     LiesDatei(d / "port.log"),
                     LiesDatei(d / "z.vcd")};
        });
    }
    for (auto& t : gleichzeitig) {
        t.join();
    }
    EXPECT_EQ(ausgaben[0][0], "0") << ausgaben[0][2];
    EXPECT_NE(ausgaben[0][1].find("ENDE : am"), std::string::npos);
    EXPECT_TRUE(ausgaben[1] == ausgaben[0] && ausgaben[2] == ausgaben[0]);
}

INSTANTIATE_TEST_SUITE_P(Laeufe, ReproduzierbarTest,
                         ::testing::Values("ampel", "foerderband", "panel_demo", "interface_test"));

// The example script: what it compares, what it refuses to store, and that it writes nothing
// but its own files. In dir: k.txt (foerderband changed, or as the row says), s.txt, and the
// reference copied to ref/ unless the row names another directory.
struct SkriptFall {
    const char* name;
    const char* kommandos;  // "": the example itself; "geaendert": with one time changed
    const char* erwartet;   // the reference directory, in dir
    const char* extra;      // --neu, or settings before the script (NAME=WERT ...)
    int code;
    const char* fehler;            // part of the script's standard error
    const char* gespeichert = "";  // exitcode.txt in the reference afterwards; "": none written
    bool abdeckung = false;        // --abdeckung: the run's tracefile written beside
};
class PruefskriptTest : public ::testing::TestWithParam<SkriptFall> {};

TEST_P(PruefskriptTest, ComparesAndStoresOnlyRunsThatRan) {
    const SkriptFall& f = GetParam();
    TempVerzeichnis dir;
    std::string kommandos = LiesDatei(kBeispiele + "foerderband.txt");
    if (std::string(f.kommandos) == "geaendert") {
        kommandos.replace(kommandos.find("BIS ZEIT = 300"), 14, "BIS ZEIT = 301");
    } else if (*f.kommandos != '\0') {
        kommandos = f.kommandos;
    }
    SchreibeDatei(dir / "k.txt", kommandos);
    SchreibeDatei(dir / "s.txt", LiesDatei(kBeispiele + "foerderband.szenario"));
    std::filesystem::copy(kBeispiele + "foerderband.erwartet", dir / "ref");
    std::string extra = f.extra;
    const bool neu = extra.size() >= 5 && extra.compare(extra.size() - 5, 5, "--neu") == 0;
    if (neu) {
        extra.resize(extra.size() - 5);
    }
    const int status = StarteBegrenzt(
        "cd " + Quote(dir.pfad()) + " && TAKTLER=" + Quote(TAKTLER_BINARY) + " " + extra + " " +
        Quote(kBeispiele + "kommandodatei_pruefen.sh") + (f.abdeckung ? " --abdeckung abd" : "") +
        " k.txt s.txt " + f.erwartet + (neu ? " --neu" : "") + " </dev/null >aus 2>fehler");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == f.code) << status;
    EXPECT_NE(LiesDatei(dir / "fehler").find(f.fehler), std::string::npos)
        << LiesDatei(dir / "fehler");
    // Nothing but its own files, and those only where it stores.
    EXPECT_EQ(LiesDatei(dir / "k.txt"), kommandos);
    EXPECT_TRUE(std::filesystem::exists(dir / "s.txt"));
    const std::string ziel = dir / f.erwartet;
    EXPECT_EQ(LiesDatei(ziel + "/exitcode.txt"),
              *f.gespeichert != '\0' ? std::string(f.gespeichert) + "\n"
              : std::string(f.erwartet) == "ref"
                  ? LiesDatei(kBeispiele + "foerderband.erwartet/exitcode.txt")
                  : "");
    if (f.abdeckung) {
        // Under the name of the command file and scenario.
        const std::string abdeckung = LiesDatei(dir / "abd/k-s.txt.info");
        EXPECT_EQ(abdeckung.rfind("TN:\nSF:" + (dir / "k.txt") + "\n", 0), 0u) << abdeckung;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, PruefskriptTest,
    ::testing::Values(
        SkriptFall{"Unveraendert", "", "ref", "", 0, "--antwort=abbrechen"},
        SkriptFall{"Geaendert", "geaendert", "ref", "", 1, "GEAENDERT: k.txt", "", true},
        // A WARNUNG is answered, not waited for.
        SkriptFall{"Warnung", "INFO FEHLT.TXT\n", "neu", "--neu", 0, "--antwort=abbrechen", "12"},
        // The directory of the command file is no reference: nothing in it is touched.
        SkriptFall{"FremdeDateien", "", ".", "--neu", 2, "enthaelt ./", ""},
        SkriptFall{"NichtGestartet", "", "ref", "TAKTLER=/gibt/es/nicht", 3, "nicht gefunden"},
        SkriptFall{"NichtGestartetNeu", "", "neu", "TAKTLER=/bin/false/x --neu", 3,
                   "nicht gefunden"},
        SkriptFall{"Abgebrochen", "BIS ZEIT = 600000000\nENDE_BIS\n", "neu", "FRIST=1 --neu", 3,
                   "nach 1 s abgebrochen"}),
    [](const auto& info) { return std::string(info.param.name); });

// The real-port path: the stand-in for libieee1284 and the kernel's port files (tests/attrappe)
// preloaded, which models one ppdev port and logs every call.
// The position of the first line of the log that begins so, or its size.
std::size_t Erste(const Liste& log, const std::string& anfang) {
    return static_cast<std::size_t>(
        std::find_if(log.begin(), log.end(),
                     [&](const std::string& z) { return z.rfind(anfang, 0) == 0; }) -
        log.begin());
}

struct PortFall {
    const char* fehler;  // a fault at access 300: LESEFEHLER, SIGINT; "": none
    int code;
    const char* meldung;    // part of standard error
    const char* ausloeser;  // the stand-in's line where the fault happened
};
class EchterPortTest : public ::testing::TestWithParam<PortFall> {};

TEST_P(EchterPortTest, SetsUpInOrderAndReleasesThePortAtTheEnd) {
    const PortFall& f = GetParam();
    TempVerzeichnis dir;
    // Access 300 comes after 4 frames at start, one for motor 1, and input
    // reads of 25 accesses while the run polls the switches.
    const bool fehler = *f.fehler != '\0';
    SchreibeDatei(dir / "k.txt", fehler ? "EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT 10\nELSE\nENDE\n"
                                          "NOTHALT SCHALTER1\nBIS ZEIT = 100000\nENDE_BIS\n"
                                        : "MELDUNG A\n");
    const char* asan = std::getenv("ASAN_OPTIONS");
    // The stand-in comes before a sanitizer runtime.
    const Liste umgebung = {
        std::string("LD_PRELOAD=") + TAKTLER_ATTRAPPE, "TAKTLER_ATTRAPPE_LOG=" + (dir / "log"),
        std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":verify_asan_link_order=0",
        std::string("TAKTLER_ATTRAPPE_") + f.fehler + "=300"};
    const Aufruf a =
        StarteTaktler({"--port-log=port.log", "k.txt", "p.txt"}, dir.pfad(), "", umgebung);
    EXPECT_EQ(a.code, f.code) << a.fehler;
    EXPECT_NE(a.fehler.find(f.meldung), std::string::npos) << a.fehler;
    const Liste log = Zeilen(LiesDatei(dir / "log"));
    const Liste gesendet = ZeilenMit(log, "write_data");
    // Claim, control lines idle, data lines forward, then the first frame.
    EXPECT_TRUE(Erste(log, "claim parport0") < Erste(log, "write_control 07 (Register 0C)") &&
                Erste(log, "write_control 07") < Erste(log, "data_dir 0") &&
                Erste(log, "data_dir 0") < Erste(log, "write_data") && !gesendet.empty());
    EXPECT_EQ(ZeilenMit(log, "mlockall").size(), 1u);
    ASSERT_GE(log.size(), 99u);
    EXPECT_EQ(Liste(log.end() - 3, log.end()),
              (Liste{"release parport0", "close parport0", "free_ports"}));
    if (fehler) {
        // Within one exchange of the fault, four frames switch the motors off.
        const std::size_t aus = log.size() - 3 - 96;
        for (std::size_t i = 0; i < 96; ++i) {
            const std::size_t k = i % 24;
            EXPECT_EQ(log[aus + i], k % 3 == 1 ? "write_data FA"
                                    : k == 23  ? "write_data FB"
                                               : "write_data F2");
        }
        const std::size_t ausloeser = Erste(log, f.ausloeser);
        ASSERT_LT(ausloeser, aus);
        EXPECT_LE(std::count_if(log.begin() + static_cast<std::ptrdiff_t>(ausloeser),
                                log.begin() + static_cast<std::ptrdiff_t>(aus),
                                [](const std::string& z) {
                                    return z.rfind("write_data", 0) == 0 ||
                                           z.rfind("read_status", 0) == 0;
                                }),
                  25);
        EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
        // The port log holds every byte written, to the last.
        Liste geschrieben;
        for (const std::string& z : ZeilenMit(Zeilen(LiesDatei(dir / "port.log")), "W 378 ")) {
            geschrieben.push_back("write_data " + z.substr(6));
        }
        EXPECT_EQ(geschrieben, gesendet);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, EchterPortTest,
    ::testing::Values(
        PortFall{"", 0, "Zugriff ueber ppdev (/dev/parport0), Echtzeitprioritaet: nein\n", ""},
        PortFall{
            "LESEFEHLER", 12,
            "Statusregister nicht lesbar: auf diesem System nicht verfuegbar (E1284_NOTAVAIL), "
            "No such device; alle Motoren aus gesendet, Lauf abgebrochen\n",
            "read_status Fehler"},
        PortFall{"SIGINT", 128 + 2, "TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet",
                 "SIGINT"}),
    [](const auto& i) { return std::string(*i.param.fehler != '\0' ? i.param.fehler : "Normal"); });

// The built program run in the background of a test, its standard input the FIFO "ein" (held
// open, so that PAUSE waits), with its pid in "pid" and its exit code in "code".
using namespace std::chrono_literals;

class LaufTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (faden.joinable()) {
            if (Pid() > 0 && !std::filesystem::exists(dir / "code")) {
                kill(Pid(), SIGKILL);
            }
            faden.join();
        }
        ::close(ein);
    }
    // terminal: on a pseudo-terminal; hintergrund: as a background job there, on the terminal's
    // standard input and output, after the shell command vorher.
    void Starte(const std::string& argumente, bool terminal = false, bool hintergrund = false,
                const std::string& vorher = "") {
        ASSERT_EQ(::mkfifo((dir / "ein").c_str(), 0600), 0);
        ein = ::open((dir / "ein").c_str(), O_RDWR);
        std::string lauf = "sh -c 'echo $$ >pid; exec \"$0\" \"$@\" " +
                           std::string(hintergrund ? "" : "<ein >aus ") + "2>fehler' " +
                           Quote(TAKTLER_BINARY) + " " + argumente;
        if (hintergrund) {
            // Job control puts the run in a process group of its own, not the terminal's.
            lauf = "set -m; " + vorher + lauf + " & wait $!";
        }
        lauf += " 2>/dev/null; echo $? >code";
        if (terminal || hintergrund) {
            lauf = "script -qc " + Quote("sh -c " + Quote(lauf)) + " /dev/null <ein >terminal";
        }
        faden = std::thread(
            [befehl = "cd " + Quote(dir.pfad()) + " && " + lauf] { StarteBegrenzt(befehl); });
    }
    pid_t Pid() const { return std::atoi(LiesDatei(dir / "pid").c_str()); }
    bool ImAufruf(long nummer) const {
        std::ifstream f("/proc/" + std::to_string(Pid()) + "/syscall");
        long n = -1;
        return f >> n && n == nummer;
    }
    bool WarteBis(const std::function<bool()>& bereit) const {
        for (auto ende = std::chrono::steady_clock::now() + 30s;;
             std::this_thread::sleep_for(10ms)) {
            if (bereit()) {
                return true;
            }
            if (std::filesystem::exists(dir / "code") || std::chrono::steady_clock::now() > ende) {
                return false;
            }
        }
    }
    // Seen waiting in the system call at three polls in a row, after the module line.
    bool WarteImAufruf(long nummer) const {
        int gesehen = 0;
        return WarteBis([&] {
            const bool wartet =
                LiesDatei(dir / "fehler").find("TAKTLER 091200\n") != std::string::npos &&
                ImAufruf(nummer);
            gesehen = wartet ? gesehen + 1 : 0;
            return gesehen >= 3;
        });
    }
    std::string Code() {
        faden.join();
        return LiesDatei(dir / "code");
    }

    TempVerzeichnis dir;
    int ein = -1;
    std::thread faden;
};

// The port log ends with four whole frames that switch the motors off, after the last
// command's frame (motors still on); the diagram is complete with the motors off.
void PruefeAusgeschaltet(const std::string& portlog, const std::string& diagramm,
                         bool mitDiagramm = true) {
    const Liste zeilen = Zeilen(portlog);
    ASSERT_GE(zeilen.size(), 125u);
    for (std::size_t i = 0; i < 125; ++i) {
        const std::string& z = zeilen[zeilen.size() - 125 + i];
        EXPECT_EQ(z.substr(0, i % 25 == 24 ? 10 : 6), i % 25 == 24 ? "# Motoren " : "W 378 ") << i;
    }
    EXPECT_NE(zeilen[zeilen.size() - 101], "# Motoren NNNN");
    EXPECT_EQ(zeilen.back(), "# Motoren NNNN");
    EXPECT_EQ(mitDiagramm ? ZeitdiagrammMangel(diagramm, "NNNN") : "", "");
}

std::string Wiederholt(const std::string& text, std::size_t mal) {
    std::string s;
    for (std::size_t i = 0; i < mal; ++i) {
        s += text;
    }
    return s;
}

// Where the run waits: the lines after two motors start, its port log, protocol and diagram
// ("fifo" is a FIFO), and where the wait shows: a text in a file, or else a system call.
struct SignalFall {
    int signal;
    const char* zeilen;  // "*": 40000 ELSE lines, more than a FIFO and a block hold
    const char* log = "port.log";
    const char* protokoll = "p.txt";
    const char* datei = "port.log";
    const char* zeichen = "# Motoren RNLN\n";
    long wartet = SYS_openat;
    // The FIFO's reader: 0 none, 1 reads once the motors are off, 2 never reads, and a second
    // signal gives up the end's wait for it; bericht names the file left incomplete.
    int leser = 0;
    const char* bericht = "";
    bool zweimal = false;  // a second signal right after the first
    const char* vcd = "z.vcd";
    // A background job on a terminal, started after this shell command, that reads from it
    // once there is input (typed when the run waits in wartet; 0: none) or writes to it under
    // tostop: the terminal's own stop, not one sent, ends it.
    const char* job = nullptr;
};
void PrintTo(const SignalFall& f, std::ostream* os) {
    *os << services::SignalName(f.signal) << " " << f.zeilen << " " << f.log << " " << f.protokoll
        << " " << f.vcd;
}

class UnterbrechungTest : public LaufTest, public ::testing::WithParamInterface<SignalFall> {};

// Every signal whose default action ends the program, and the stops of job control, switch the
// motors off wherever the run waits, and nothing it wrote is lost.
TEST_P(UnterbrechungTest, MotorsGoOffAndTheRunEndsByTheSignal) {
    const SignalFall& f = GetParam();
    const bool terminal = std::string(f.datei) == "terminal";
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\n";
    for (int i = 0; i < (*f.zeilen == '*' ? 40'000 : 0); ++i) {
        kommandos += "ELSE\n";
    }
    kommandos += *f.zeilen == '*' ? "" : f.zeilen;
    SchreibeDatei(dir / "k.txt", kommandos + "MELDUNG NIE\n");
    const int fifo = f.leser > 0 ? ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK) : -1;
    Starte(
        std::string("--port=sim --port-log=") + f.log + " --vcd=" + f.vcd + " k.txt " + f.protokoll,
        terminal, f.job != nullptr, f.job != nullptr ? f.job : "");
    if (*f.datei != '\0' || f.wartet != 0) {
        ASSERT_TRUE(*f.datei != '\0' ? WarteBis([&] {
            return LiesDatei(dir / f.datei).find(f.zeichen) != std::string::npos;
        })
                                     : WarteImAufruf(f.wartet))
            << LiesDatei(dir / "fehler");
    }
    if (f.job != nullptr) {
        ASSERT_TRUE(f.wartet == 0 || ::write(ein, "o\n", 2) == 2);
    } else {
        kill(Pid(), f.signal);
    }
    if (f.zweimal) {
        kill(Pid(), f.signal);
    }
    const std::string unterbrochen = std::string("TAKTLER unterbrochen (") +
                                     services::SignalName(f.signal) +
                                     "): alle Motoren ausgeschaltet\n";
    std::string gelesen;
    if (f.leser > 0) {
        // The motors go off while the FIFO still waits for its reader.
        ASSERT_TRUE(WarteBis(
            [&] { return LiesDatei(dir / "fehler").find(unterbrochen) != std::string::npos; }));
        if (f.leser == 2) {
            ASSERT_TRUE(WarteImAufruf(SYS_ppoll));
            kill(Pid(), f.signal);
        } else {
            fcntl(fifo, F_SETFL, 0);
            char puffer[1 << 16];
            for (ssize_t n; (n = ::read(fifo, puffer, sizeof puffer)) > 0;) {
                gelesen.append(puffer, static_cast<std::size_t>(n));
            }
        }
    }
    EXPECT_EQ(Code(), std::to_string(128 + f.signal) + "\n");
    ::close(fifo);
    // The signal's report names the line the run was at, as it stands in the file.
    const std::string fehler = LiesDatei(dir / "fehler");
    const Liste dateizeilen = Zeilen(kommandos + "MELDUNG NIE\n");
    std::smatch ort;
    ASSERT_TRUE(std::regex_search(fehler, ort, std::regex("ausgeschaltet\nk\\.txt:([0-9]+):")))
        << fehler;
    const std::size_t nummer = std::stoul(ort[1]);
    ASSERT_TRUE(nummer >= 1 && nummer <= dateizeilen.size()) << fehler;
    const bool warnung = kommandos.find("INFO GIBTSNICHT") != std::string::npos;
    const std::string schluss = unterbrochen + "k.txt:" + ort[1].str() +
                                ": Lauf endet hier: " + dateizeilen[nummer - 1] + "\n" + f.bericht;
    EXPECT_EQ(fehler, "TAKTLER 091200\n" +
                          std::string(warnung ? "[WARNUNG] Modul: DATEI 151100, "
                                                "Funktion: Oeffnen, Warnung: "
                                                "Eingabedatei GIBTSNICHT.TXT: No such "
                                                "file or directory\n"
                                              : "") +
                          schluss);
    EXPECT_EQ(LiesDatei(dir / "aus").find(" ENDE : "), std::string::npos);
    const std::string protokoll = kommandos.find("ELSE") == std::string::npos ? ""
                                  : *f.zeilen == '*'                          ? ""
                                                                              : "ELSE\r\n";
    if (std::string(f.protokoll) == "p.txt") {
        EXPECT_EQ(LiesDatei(dir / "p.txt"), protokoll);
    } else if (f.leser == 1) {
        // Every ELSE line the run wrote, more than the FIFO holds, whole.
        EXPECT_GT(gelesen.size(), 65'536u);
        EXPECT_EQ(gelesen, Wiederholt("ELSE\r\n", gelesen.size() / 6));
    }
    PruefeAusgeschaltet(*f.log == 'f' ? gelesen : LiesDatei(dir / "port.log"),
                        *f.vcd == 'f' ? gelesen : LiesDatei(dir / "z.vcd"),
                        !(*f.vcd == 'f' && f.leser == 2));
}

const char* const kSchleife = "ELSE\nBIS ZEIT = 600000\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
// Far more diagram changes than a FIFO holds.
const char* const kWechsel =
    "ELSE\nBIS ZEIT = 600000\nEINSCHALTEN MOTOR2 LINKS\nAUSSCHALTEN MOTOR2\nENDE_BIS\n";
SignalFall InSchleife(int signal) {
    SignalFall f{signal, kSchleife};
    return f;
}
SignalFall Fall(int signal, const char* zeilen, const char* log, const char* protokoll,
                const char* vcd, int leser, const char* bericht = "") {
    SignalFall f{signal, zeilen, log, protokoll, "", "", SYS_ppoll, leser, bericht};
    f.vcd = vcd;
    return f;
}
SignalFall Job(int signal, const char* zeilen, const char* vorher = "", long wartet = SYS_ppoll) {
    SignalFall f{signal, zeilen, "port.log", "p.txt", "", "", wartet};
    f.job = vorher;
    return f;
}
INSTANTIATE_TEST_SUITE_P(
    Wartestellen, UnterbrechungTest,
    ::testing::Values(
        SignalFall{SIGTERM, kSchleife, "port.log", "p.txt", "port.log", "# Motoren RNLN\n",
                   SYS_openat, 0, "", true},
        SignalFall{SIGHUP, "ELSE\nPAUSE WARTEN\n", "port.log", "p.txt", "aus", "ENTER druecken..."},
        // A hang-up while INFO opens a FIFO ends the run as Ctrl-C does there.
        SignalFall{SIGINT, "ELSE\nINFO fifo\n", "port.log", "p.txt", "", ""},
        SignalFall{SIGINT, "INFO GIBTSNICHT.TXT\n", "port.log", "p.txt", "terminal",
                   "OK oder Abbrechen? [o/a] "},
        // Outputs whose reader stopped: the run gives way, the end writes everything.
        Fall(SIGTERM, "*", "port.log", "fifo", "z.vcd", 1),
        Fall(SIGHUP, kSchleife + 5, "fifo", "p.txt", "z.vcd", 1),
        Fall(SIGINT, kWechsel, "port.log", "p.txt", "fifo", 1),
        // A second Ctrl-C gives up the end's wait for a reader: the report names that file, and
        // the others are complete.
        Fall(SIGINT, "*", "port.log", "fifo", "z.vcd", 2,
             "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei "
             "fifo: Interrupted system call\n"),
        Fall(SIGINT, kWechsel, "port.log", "p.txt", "fifo", 2,
             "taktler: fifo: Zeitdiagramm kann nicht geschrieben werden: Interrupted system "
             "call\n"),
        InSchleife(SIGQUIT), InSchleife(SIGUSR1), InSchleife(SIGUSR2), InSchleife(SIGALRM),
        InSchleife(SIGXCPU), InSchleife(SIGXFSZ), InSchleife(SIGRTMIN + 1),
        // A stop of job control would hold the run with the motors on: it ends it instead.
        InSchleife(SIGTSTP), InSchleife(SIGTTIN), InSchleife(SIGTTOU),
        // A background job that reads from its terminal once there is input (PAUSE, the
        // WARNUNG question) or writes to it under tostop ends with the motors off.
        Job(SIGTTIN, "PAUSE WARTEN\n"), Job(SIGTTIN, "INFO GIBTSNICHT.TXT\n"),
        Job(SIGTTOU, "AUSSCHALTEN MOTOR2\nMELDUNG A\n", "stty tostop; ", 0)));

// A command file saved in place while the run waits at PAUSE, past what the run has read:
// the run never splices the versions and never ends normally with lines unrun.
struct AenderungsFall {
    const char* name;
    std::function<void(const std::string& datei)> aendern;
};
class GeaenderteKommandodateiTest : public LaufTest,
                                    public ::testing::WithParamInterface<AenderungsFall> {};

TEST_P(GeaenderteKommandodateiTest, EndsWithAReport) {
    // Far more than the first read of the file takes in.
    SchreibeDatei(dir / "k.txt",
                  "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\nELSE\n"
                  "PAUSE WARTEN\n" +
                      Wiederholt("; fuellzeile\n", 3000) + "AUSSCHALTEN MOTOR1\n");
    Starte("--port=sim --port-log=port.log --vcd=z.vcd k.txt p.txt");
    ASSERT_TRUE(WarteBis(
        [&] { return LiesDatei(dir / "aus").find("ENTER druecken") != std::string::npos; }));
    GetParam().aendern(dir / "k.txt");
    ASSERT_EQ(::write(ein, "weiter\n", 7), 7);
    EXPECT_EQ(Code(), "12\n");
    const std::string bericht =
        "TAKTLER 091200\n[ABBRUCH] Modul: TAKTLER 091200, Funktion: LiesZeile: Kommandodatei "
        "waehrend des Laufs geaendert, Programmabbruch: k.txt\nk.txt:";
    EXPECT_EQ(LiesDatei(dir / "fehler").rfind(bericht, 0), 0u) << LiesDatei(dir / "fehler");
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
    EXPECT_EQ(Motorzustaende(LiesDatei(dir / "port.log")).back(), "RNLN");
    EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), "RNLN"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, GeaenderteKommandodateiTest,
    ::testing::Values(AenderungsFall{"Gekuerzt",
                                     [](const std::string& datei) {
                                         std::filesystem::resize_file(datei, 20'000);
                                     }},
                      // A word written over the middle of a line, as an editor's in-place save
                      // of an inserted line leaves it for a run that read on.
                      AenderungsFall{"Ueberschrieben",
                                     [](const std::string& datei) {
                                         std::fstream f(datei, std::ios::in | std::ios::out);
                                         f.seekp(30'000);
                                         f << "MELDUNG ";
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// Standard output into a pipe carries each line as it is printed (| tee).
TEST(StandardausgabeTest, PipeGetsEachLineAtOnce) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "MELDUNG SOFORT\nBIS ZEIT = 600000\nENDE_BIS\n");
    StarteBegrenzt("cd " + Quote(dir.pfad()) + " && " + Quote(TAKTLER_BINARY) +
                   " --port=sim k.txt p.txt 2>/dev/null | { head -n 1 >zeile; kill 0; }");
    EXPECT_NE(LiesDatei(dir / "zeile").find(";SOFORT;\n"), std::string::npos);
}

}  // namespace
}  // namespace taktler::test
