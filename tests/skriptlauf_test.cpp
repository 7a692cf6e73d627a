// Command files run in-process: what a run prints, reports and protocols,
// how it jumps and calls, and what it costs in virtual time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface/port.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/kommandozeile.h"
#include "interpreter/schleifen.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "services/virtuelleuhr.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

const std::string kEndzeile = "TAKTLER 091200 ENDE : am 09.12.2000 um 14.03.07\n";
const char* const kZuLang =
    "Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross";

// Runs on the default port (switches open, analog 0) with the clock at
// 9 December 2000, 14:03:07, moving 10 ms a reading, and quiet progress.
class SkriptTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        uhr.lokal.tm_year = 100, uhr.lokal.tm_mon = 11, uhr.lokal.tm_mday = 9;
        uhr.lokal.tm_hour = 14, uhr.lokal.tm_min = 3, uhr.lokal.tm_sec = 7;
        uhr.schritt = 10;
        interpreter::Zustand().Tracelevel = 1;
    }
    void TearDown() override {
        interpreter::SetzeZeilenHaken(nullptr);
        interface::SetzePort(nullptr);
        TaktlerTest::TearDown();
    }
    int Lauf(const std::string& kommandos, const std::string& protokollPfad = "") {
        SchreibeDatei(kommandodatei, kommandos);
        return EndeCode([&] {
            interpreter::Programmlauf(
                {kommandodatei, protokollPfad.empty() ? protokoll : protokollPfad});
        });
    }
    // Records the line number and level of every line read.
    void ZeilenMitschreiben() {
        interpreter::SetzeZeilenHaken(
            [this](const interpreter::Kommandozeile& kz, const std::string& text) {
                gelesen.push_back({kz.Zeilennummer, kz.Stufe, text});
            });
    }
    struct Gelesen {
        int zeile;
        int stufe;
        std::string text;
    };
    std::vector<Gelesen> gelesen;
    TempVerzeichnis dir;
    std::string kommandodatei = dir / "k.txt";
    std::string protokoll = dir / "p.txt";
};

std::size_t Anzahl(const std::string& text, const std::string& teil) {
    std::size_t n = 0;
    for (auto pos = text.find(teil); pos != std::string::npos; pos = text.find(teil, pos + 1)) {
        ++n;
    }
    return n;
}

std::string Wiederholt(const std::string& zeile, int anzahl) {
    std::string s;
    for (int i = 0; i < anzahl; ++i) {
        s += zeile;
    }
    return s;
}

// A comment line of n characters.
std::string Lang(int n) {
    return ";" + std::string(static_cast<std::size_t>(n - 1), 'x') + "\n";
}

// A chain of subroutines, each calling the next, nests one level per call.
std::string Kette(int tiefe) {
    std::string datei = "RUFE UP1\nMELDUNG ZURUECK\nEXIT\n";
    for (int i = 1; i <= tiefe; ++i) {
        datei += "UNTERPROGRAMM UP" + std::to_string(i) + "\n";
        datei += i < tiefe ? "RUFE UP" + std::to_string(i + 1) + "\n" : "MELDUNG UNTEN\n";
        datei += "ENDE_UNTERPROGRAMM\n";
    }
    return datei;
}

std::string Banner(const std::string& wort) {
    return "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\nKommando erkennen: unbekanntes "
           "Kommando\r\n" +
           wort + "\r\n---------------------------\r\n";
}

struct Skript {
    const char* name;
    std::string kommandos;  // '@' stands for the test's directory
    int code;               // -1: ran to its end
    std::string aus;        // '~' stands for the time stamp, '$' for the end line; "*": not checked
    std::string bericht;    // the last report, "" for none
    std::string protokoll = "";  // the protocol file ("": none written)
};
class SkriptTabelle : public SkriptTest, public ::testing::WithParamInterface<Skript> {};

TEST_P(SkriptTabelle, PrintsReportsAndProtocolsAsTheRulesSay) {
    const Skript& f = GetParam();
    SchreibeDatei(dir / "liste.txt", "erste Zeile\r\nzweite");
    konsole.eingaben = {"weiter"};
    std::string kommandos = f.kommandos;
    for (auto p = kommandos.find('@'); p != std::string::npos; p = kommandos.find('@')) {
        kommandos.replace(p, 1, dir.pfad());
    }
    EXPECT_EQ(Lauf(kommandos), f.code);
    EXPECT_EQ(LetzterBericht(), f.bericht);
    EXPECT_EQ(LiesDatei(protokoll), f.protokoll);
    if (f.aus != "*") {
        std::string aus;
        for (char c : f.aus) {
            aus += c == '~' ? "20001209.14:03:07;" : c == '$' ? kEndzeile : std::string(1, c);
        }
        EXPECT_EQ(konsole.aus, aus);
    }
}

const char* const kStruktur = "Modul: TAKTLER 091200, Funktion: Strukturstufe: ";
const char* const kSuche = "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: ";
const char* const kUnbekannt =
    "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes Kommando, Programmabbruch: ";

INSTANTIATE_TEST_SUITE_P(
    Regeln, SkriptTabelle,
    ::testing::Values(
        Skript{"Leer", "", -1, "$", ""},
        Skript{"OhneZeilenende", "meldung hallo welt\r\nMELDUNG 50%S", -1, "~HALLO;\n~50%S;\n$",
               ""},
        Skript{"MeldungOhneText", "MELDUNG\nMELDUNG EINS\nMELDUNG\n", -1, "~;\n~EINS;\n~EINS;\n$",
               ""},
        Skript{"Pause", "PAUSE JETZT\nMELDUNG DANACH\n", -1,
               "~JETZT;\nWeiter: Beliebiges Zeichen eingeben und ENTER druecken...~DANACH;\n$", ""},
        Skript{"Info", "INFO @/liste.txt\n", -1, "erste Zeile\nzweite\n$", ""},
        Skript{"TracelevelSchaltet",
               "TRACELEVEL 4\nRUFE UP\nTRACELEVEL 0\nRUFE UP\nEXIT\n"
               "UNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n",
               -1, "Stufe: 1 UP gerufen: UP\n$", ""},
        // A byte-order mark is skipped, also when a loop reads line 1 again.
        Skript{"ByteOrderMark",
               "\xEF\xBB\xBF"
               "BIS ZEIT = 30\nENDE_BIS\nMELDUNG FERTIG\n",
               -1, "~FERTIG;\n$", ""},
        // BIS SCHALTER1 0 is met at once: its body is skipped.
        Skript{"ExitNurAusgefuehrt", "BIS SCHALTER1 = 0\nEXIT\nENDE\nMELDUNG A\nEXIT\nMELDUNG B\n",
               -1, "~A;\n$", ""},
        Skript{"UnterprogrammEndetHauptteil", "BIS SCHALTER1 = 0\nUNTERPROGRAMM X\nMELDUNG NIE\n",
               -1, "$", ""},
        // ZEIT gives 1 on its first evaluation; every ELSE line read goes to the
        // protocol, in skipped levels too.
        Skript{"ElseKehrtUm",
               "BIS SCHALTER1 = 0\nMELDUNG NEIN\n  else\nMELDUNG JA\nENDE\n"
               "BIS ZEIT = 1000\nMELDUNG JA2\n ELSE egal\nMELDUNG NEIN2\nENDE\n",
               -1, "~JA;\n~JA2;\n$", "", "  ELSE\r\n ELSE\r\n"},
        Skript{"UebersprungeneStufen",
               "BIS SCHALTER1 = 0\n BIS ZEIT = 10\n  MELDUNG A\n ELSE\n"
               "  MELDUNG B\n ENDE\nENDE\nMELDUNG C\n",
               -1, "~C;\n$", "", " ELSE\r\n"},
        // A skipped RUFE raises the level; ENDE_BIS lowers it, still skipped.
        Skript{"UebersprungenesRufe",
               "BIS SCHALTER1 = 0\nRUFE X\nMELDUNG A\nENDE_BIS\n"
               "MELDUNG B\nENDE\nMELDUNG C\n",
               -1, "~C;\n$", ""},
        Skript{"BisZweiWorteGrenzeNull", "MELDUNG X Y 0\nBIS SCHALTER1 2\nMELDUNG DRIN\nENDE\n", -1,
               "~X;\n$", ""},
        Skript{"BisZweiWorteGrenzeFuenf", "MELDUNG X Y 5\nBIS SCHALTER1 2\nMELDUNG DRIN\nENDE\n",
               -1, "~X;\n~DRIN;\n$", ""},
        Skript{"EndeUnterNull", "ENDE_BIS\n", 12, "",
               std::string(kStruktur) + "ENDE ohne PRUEFE..., Programmabbruch: "},
        Skript{"UnbekanntUebersprungen", "BIS SCHALTER1 = 0\ntransfer jetzt\nENDE\n", 12,
               "TRANSFER\n", std::string(kUnbekannt) + "TRANSFER", Banner("TRANSFER")},
        Skript{"TabVorKommando", "\tMELDUNG\n", 12, "\tMELDUNG\n",
               std::string(kUnbekannt) + "\tMELDUNG", Banner("\tMELDUNG")},
        Skript{"Kette79", Kette(79), -1, "~UNTEN;\n~ZURUECK;\n$", ""},
        Skript{"Kette80", Kette(80), 12, "",
               std::string(kStruktur) + "mehr als 79 Stufen, Programmabbruch: RUFE"},
        // Leaves 79 timers behind for the reset.
        Skript{"Bis80", Wiederholt("BIS ZEIT 100000\n", 80), 12, "",
               std::string(kStruktur) + "mehr als 79 Stufen, Programmabbruch: BIS"},
        Skript{"SucheGrossKlein",
               "rufe motor\nEXIT\nUNTERPROGRAMM MOTOR\nMELDUNG DA\n"
               "ENDE_UNTERPROGRAMM\n",
               -1, "~DA;\n$", ""},
        Skript{"SucheEingerueckt", "RUFE X\nEXIT\n UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n", 12, "",
               std::string(kSuche) + "N. gefunden, Programmabbruch: X"},
        Skript{"SucheErster",
               "RUFE X\nEXIT\nUNTERPROGRAMM X\nMELDUNG ERSTE\nENDE_UNTERPROGRAMM\n"
               "UNTERPROGRAMM X\nMELDUNG ZWEITE\nENDE_UNTERPROGRAMM\n",
               -1, "~ERSTE;\n$", ""},
        Skript{"SucheLeerzeichenDahinter",
               "RUFE X\nEXIT\nUNTERPROGRAMM X   \nMELDUNG DA\n"
               "ENDE_UNTERPROGRAMM\n",
               -1, "~DA;\n$", ""},
        Skript{"SucheKommentar",
               "RUFE X\nEXIT\n; hier steht ein unterprogramm fuer x\n"
               "UNTERPROGRAMM X\nENDE_UNTERPROGRAMM\n",
               12, "",
               std::string(kSuche) +
                   "Zu viele Felder, Programmabbruch: ; HIER STEHT EIN UNTERPROGRAMM FUER X"},
        // The loop reads 498 characters; a jump back reads with 100 bytes and
        // a header search with 200, so only those reveal shorter long lines.
        Skript{"Sprung98", Lang(98) + "BIS ZEIT = 20\nENDE_BIS\n", -1, "$", ""},
        Skript{"Sprung99", Lang(99) + "BIS ZEIT = 20\nENDE_BIS\n", 12, "", kZuLang},
        Skript{"Ruecksprung99",
               Lang(99) + "RUFE UP\nEXIT\nUNTERPROGRAMM UP\n"
                          "ENDE_UNTERPROGRAMM\n",
               12, "", kZuLang},
        Skript{"Suche198", Lang(198) + "RUFE UP\nEXIT\nUNTERPROGRAMM UP\nEXIT\n", -1, "$", ""},
        Skript{"Suche199", Lang(199) + "RUFE UP\nEXIT\nUNTERPROGRAMM UP\nEXIT\n", 12, "", kZuLang},
        Skript{"Zeile498", Lang(498) + "MELDUNG A\n", -1, "~A;\n$", ""},
        Skript{"Zeile499", Lang(499) + "MELDUNG A\n", 12, "", kZuLang}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SkriptTest, MissingCommandFileAbortsAndLeavesTheProtocolUntouched) {
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({dir / "fehlt.txt", protokoll}); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Quelldatei nicht vorhanden: , Programmabbruch: " +
                  (dir / "fehlt.txt"));
    EXPECT_FALSE(DateiExistiert(protokoll));
}

// A protocol that cannot be written ends with 12 and a report naming it:
// before the report of an abort that writes the banner (and closes the
// protocol first), after a handler's abort (which leaves it to the end).
TEST_F(SkriptTest, ProtocolOnAFullDeviceIsReportedInItsOrder) {
    const std::string voll =
        "Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei /dev/full: No "
        "space left on device";
    EXPECT_EQ(Lauf("ELSE\nREBOOT\n", "/dev/full"), 12);
    EXPECT_EQ(fenster.berichte.size(), 2u);
    EXPECT_EQ(fenster.berichte.front().zeile, voll);
    EXPECT_EQ(LetzterBericht(), kUnbekannt + std::string("REBOOT"));
    TearDown();
    SetUp();
    fenster.berichte.clear();
    EXPECT_EQ(Lauf("ELSE\nEINSCHALTEN MOTOR9\n", "/dev/full"), 12);
    EXPECT_EQ(fenster.berichte.size(), 2u);
    EXPECT_EQ(fenster.berichte.front().zeile,
              "Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: Motor n. definiert");
    EXPECT_EQ(LetzterBericht(), voll);
}

// A run starts with fresh loop tables, whatever an earlier run left.
TEST_F(SkriptTest, FirstEvaluationOfALoopResetsItsClicks) {
    interpreter::Zustand().Durchlauf[1] = 5;
    interpreter::Zustand().Klickzaehler[1][0] = 5;
    Lauf("BIS SCHALTER1 = 3\nMELDUNG DRIN\nENDE\n");
    EXPECT_NE(konsole.aus.find(";DRIN;"), std::string::npos);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[1][0], 0);
}

// A switch loop that has waited 2^31 evaluations must neither overflow its
// evaluation count nor see it as a first evaluation again, which would reset
// the clicks counted so far (found by fuzzing).
TEST_F(SkriptTest, LoopCountStopsAtItsMaximumAndKeepsTheClicks) {
    interpreter::Programmzustand& z = interpreter::Zustand();
    z.Interface = &z.interfaceDS;
    interpreter::Kommandozeile kz;
    kz.Stufe = 1;
    interpreter::Kopiere(kz.Parameter1, "SCHALTER1");
    interpreter::Kopiere(kz.Parameter3, "5");
    z.Durchlauf[1] = INT32_MAX;
    z.Klickzaehler[1][0] = 3;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(interpreter::Bis(kz), 1);
        EXPECT_EQ(z.Durchlauf[1], INT32_MAX);
        EXPECT_EQ(z.Klickzaehler[1][0], 3);
        EXPECT_EQ(kz.Ausfuehren[1], 1);
    }
}

// The inner loop starts afresh on every outer pass.
TEST_F(SkriptTest, NestedInnerLoopSetsItsTimerOnEveryOuterPass) {
    Lauf("TRACELEVEL 2\nBIS ZEIT = 100\nMELDUNG AUSSEN\nBIS ZEIT = 0\nENDE_BIS\nENDE_BIS\n");
    const std::size_t aussen = Anzahl(konsole.aus, ";AUSSEN;");
    EXPECT_GE(aussen, 2u);
    EXPECT_EQ(Anzahl(konsole.aus, "Stufe 2; Zeitbaustein gesetzt: 0\n"), aussen);
}

// A jump back to a BIS on line 1 reads it as line 1; while the loop runs,
// the call returns behind RUFE at the loop's level. The last evaluation
// skips the body, and the skipped RUFE opens a level that ENDE_BIS closes:
// the loop's own level stays open after it.
TEST_F(SkriptTest, CallInsideALoopReturnsToTheLoopsLevel) {
    ZeilenMitschreiben();
    Lauf(
        "BIS ZEIT = 50\nRUFE UP\nMELDUNG ZURUECK\nENDE_BIS\nMELDUNG DANACH\nEXIT\n"
        "UNTERPROGRAMM UP\nMELDUNG IM_UP\nENDE_UNTERPROGRAMM\n");
    std::vector<int> stufen;
    std::size_t einsen = 0;
    for (const auto& g : gelesen) {
        if (g.zeile == 1) {
            EXPECT_EQ(g.text, "BIS ZEIT = 50");
            ++einsen;
        }
        if (g.text == "MELDUNG ZURUECK") {
            EXPECT_EQ(g.zeile, 3);
            stufen.push_back(g.stufe);
        }
        if (g.text == "MELDUNG IM_UP") {
            EXPECT_EQ(g.zeile, 8);
            EXPECT_EQ(g.stufe, 2);
        }
    }
    ASSERT_GE(stufen.size(), 3u);
    EXPECT_EQ(einsen, stufen.size());
    EXPECT_EQ(stufen.back(), 2);
    stufen.pop_back();
    EXPECT_EQ(stufen, std::vector<int>(stufen.size(), 1));
    EXPECT_EQ(Anzahl(konsole.aus, ";IM_UP;"), stufen.size());
    EXPECT_EQ(Anzahl(konsole.aus, ";DANACH;"), 0u);
    EXPECT_EQ(interpreter::Zustand().Zeile->Stufe, 1);
}

class ZeilenUhr : public TestUhr {
  public:
    void ZeilenGelesen(std::int32_t anzahl) override { zeilen += anzahl; }
    std::int64_t zeilen = 0;
};

// The file is read once, but the clock is charged what reading it again from
// its first line costs: each line the loop gets, and, before a line j that
// does not follow the one before, the j - 1 lines a jump back or a header
// search reads.
TEST_F(SkriptTest, ClockIsChargedTheLinesOfReadingFromTheTop) {
    ZeilenUhr zeilenUhr;
    zeilenUhr.schritt = 10;
    services::Umwelt().uhr = &zeilenUhr;
    ZeilenMitschreiben();
    const std::string f = Wiederholt("; fuellzeile\n", 30);
    EXPECT_EQ(Lauf(f + "BIS ZEIT = 50\nRUFE UP\nENDE_BIS\nENDE\nEXIT\n" + f + "UNTERPROGRAMM UP\n" +
                   f + "ENDE_UNTERPROGRAMM\n"),
              -1)
        << LetzterBericht();
    std::int64_t erwartet = 0;
    int vorige = 0;
    for (const auto& g : gelesen) {
        erwartet += g.zeile != vorige + 1 ? g.zeile : 1;
        vorige = g.zeile;
    }
    EXPECT_GT(erwartet, static_cast<std::int64_t>(gelesen.size()) + 60);
    EXPECT_EQ(zeilenUhr.zeilen, erwartet);
}

class SkriptGekuerztTest : public SkriptTest, public ::testing::WithParamInterface<bool> {};

// A file cut short while a loop runs (an editor saving in place) loses lines
// the run has yet to read: the run aborts there, never ends normally with the
// rest unrun. A file replaced under its name does not change the run.
TEST_P(SkriptGekuerztTest, ShorterFileDuringALoopAbortsAndAReplacedOneRunsOn) {
    const bool ersetzen = GetParam();
    int durchlaeufe = 0;
    interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile&, const std::string& z) {
        if (z == "BIS ZEIT = 50" && ++durchlaeufe == 2) {
            if (ersetzen) {
                SchreibeDatei(dir / "neu.txt", "MELDUNG NEU\n");
                std::filesystem::rename(dir / "neu.txt", kommandodatei);
            } else {
                std::filesystem::resize_file(kommandodatei, 20);
            }
        }
    });
    const int code = Lauf("EINSCHALTEN MOTOR1 LINKS\n" + Wiederholt("; fuellzeile\n", 400) +
                          "BIS ZEIT = 50\nENDE_BIS\n" + Wiederholt("; fuellzeile\n", 4000) +
                          "AUSSCHALTEN MOTOR1\nMELDUNG FERTIG\n");
    EXPECT_GT(durchlaeufe, 2);
    EXPECT_EQ(code, ersetzen ? -1 : 12);
    EXPECT_EQ(interpreter::Zustand().interfaceDS.Motoren[0] == 'N', ersetzen);
    EXPECT_EQ(LetzterBericht(), ersetzen ? ""
                                         : "Modul: TAKTLER 091200, Funktion: LiesZeile: "
                                           "Kommandodatei waehrend des Laufs gekuerzt, "
                                           "Programmabbruch: " +
                                               kommandodatei);
}

INSTANTIATE_TEST_SUITE_P(Arten, SkriptGekuerztTest, ::testing::Bool());

TEST_F(SkriptTest, JumpBeyondTheEndOfTheFileAborts) {
    SchreibeDatei(kommandodatei, "A\nB\nC\n");
    datei::DateiADO* d = datei::Create();
    datei::SetzePfad(d, kommandodatei.c_str());
    EXPECT_EQ(interpreter::GeheZuSatz(d, 3), 3);
    EXPECT_EQ(EndeCode([&] { interpreter::GeheZuSatz(d, 4); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: GeheZuSatz: Zeile nicht in der Datei, "
              "Programmabbruch: Zeile 4, die Datei hat 3 Zeilen");
}

// Nothing is read twice from the file, so a command file from a pipe can loop and call.
TEST_F(SkriptTest, CommandFileFromAPipeLoopsAndCalls) {
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread schreiber([&] {
        std::ofstream(fifo, std::ios::binary)
            << "BIS ZEIT = 50\nENDE_BIS\nRUFE UP\nEXIT\nUNTERPROGRAMM UP\nMELDUNG IM_UP\n"
               "ENDE_UNTERPROGRAMM\n";
    });
    const int code = EndeCode([&] { interpreter::Programmlauf({fifo, protokoll}); });
    schreiber.join();
    EXPECT_EQ(code, -1) << LetzterBericht();
    EXPECT_NE(konsole.aus.find(";IM_UP;"), std::string::npos);
}

// Virtual time: where it starts, what each port access and line read costs,
// and when a scenario's time event lands.
using services::kUsProPortzugriff;
using services::kUsProZeile;
constexpr std::uint64_t kRahmen = 24 * kUsProPortzugriff;    // one motor frame
constexpr std::uint64_t kAbfrage = 25 * kUsProPortzugriff;   // 17 writes, 8 reads
constexpr std::uint64_t kStart = 4 * kRahmen + kUsProZeile;  // off frames, first line
constexpr std::int64_t kEpochMs = 1'767'225'600'000;         // 2026-01-01 00:00:00 UTC

TEST(VirtuellerStartTest, TakesSourceDateEpochOrRefusesIt) {
    // -1: refused. 2^31 is past what the 32-bit seconds of a time stamp hold.
    const std::pair<const char*, std::int64_t> faelle[] = {
        {"0", 0}, {"2147483647", 2'147'483'647'000}, {"2147483648", -1}, {"-1", -1}, {"12a", -1}};
    for (const auto& [wert, startMs] : faelle) {
        std::string fehler;
        const auto start = services::VirtuellerStart(wert, fehler);
        EXPECT_EQ(start.value_or(-1), startMs) << wert;
        EXPECT_EQ(fehler.find(std::string("SOURCE_DATE_EPOCH=") + wert) != std::string::npos,
                  startMs < 0);
    }
    // Unset: the real time of the start.
    std::string fehler;
    const auto start = services::VirtuellerStart(nullptr, fehler);
    const auto jetzt = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    ASSERT_TRUE(start.has_value());
    EXPECT_LE(*start, jetzt);
    EXPECT_GT(*start, jetzt - 60'000);
}

class VirtuelleZeitTest : public SkriptTest {
  protected:
    void MitSzenario(const std::string& szenario) {
        virtuell = std::make_unique<services::VirtuelleUhr>(kEpochMs);
        services::Umwelt().uhr = virtuell.get();
        auto geladen = interface::ParseSzenario(szenario, "test.sim");
        ASSERT_TRUE(geladen.Ok()) << geladen.fehler;
        sim = std::make_unique<interface::Simulator>(geladen.ereignisse);
        interface::SetzePort(sim.get());
    }
    std::unique_ptr<services::VirtuelleUhr> virtuell;
    std::unique_ptr<interface::Simulator> sim;
};

// "zeit N" applies at the first port access N ms or more after the start;
// line reads count as well. At that moment every reading of the clock tells
// the same time.
TEST_F(VirtuelleZeitTest, TimeEventLandsAtVirtualMillisecondN) {
    for (const auto& [zeilen, ms] :
         {std::pair<std::int32_t, std::uint64_t>{0, 1}, {3, 2}, {400, 1}}) {
        MitSzenario("zeit " + std::to_string(ms) + " schalter 3 an\n");
        virtuell->ZeilenGelesen(zeilen);
        const std::uint64_t vorher = static_cast<std::uint64_t>(zeilen) * kUsProZeile;
        const std::uint64_t zugriffe = vorher >= ms * 1000 ? 1 : ms * 1000 - vorher;
        for (std::uint64_t i = 1; i < zugriffe; ++i) {
            interface::LiesStatus();
        }
        EXPECT_FALSE(sim->Schalter()[2]) << zeilen << " lines, " << ms << " ms";
        interface::LiesStatus();
        EXPECT_TRUE(sim->Schalter()[2]) << zeilen << " lines, " << ms << " ms";
        const std::uint64_t us = vorher + zugriffe;
        EXPECT_EQ(virtuell->MonotonUs(), us);
        EXPECT_EQ(virtuell->MonotonMs(), us / 1000);
        const services::Zeitpunkt z = virtuell->Jetzt();
        EXPECT_EQ(std::int64_t{z.Sekunden} * 1000 + z.Millisekunden,
                  kEpochMs + static_cast<std::int64_t>(us / 1000));
        std::tm lokal = virtuell->LokaleZeit();
        EXPECT_EQ(std::mktime(&lokal), static_cast<std::time_t>(z.Sekunden));
    }
}

// Runs whose line reads and port accesses can be counted end at exactly the
// modelled time.
TEST_F(VirtuelleZeitTest, RunsEndAtTheModelledTime) {
    struct Fall {
        const char* kommandos;
        const char* szenario;
        std::uint64_t endeUs;
        std::uint64_t rahmen;
    };
    const Fall faelle[] = {
        // One empty line is read; the read that finds no further line is free.
        {"", "", kStart, 4},
        // The first evaluation starts the timer at 101 us. A pass reads the
        // body, ENDE_BIS and BIS and sends a frame: 39 us. The loop ends at the
        // first evaluation past 3 ms (elapsed > 2 ms) after 75 passes; then the
        // skipped body line and ENDE_BIS are read.
        {"BIS ZEIT = 2\nEINSCHALTEN MOTOR1\nENDE_BIS\n", "",
         kStart + 75 * (3 * kUsProZeile + kRahmen) + 2 * kUsProZeile, 4 + 75},
        // The third input read sees the switch. A pass reads RUFE and
        // searches lines 1..7 for the header, reads ENDE_UNTERPROGRAMM and
        // goes back over lines 1..3, reads ENDE_BIS and goes back over line
        // 1, reads BIS and the inputs.
        {"; eins\nBIS SCHALTER1 = 1\nRUFE X\nENDE_BIS\nENDE\nEXIT\nUNTERPROGRAMM X\n"
         "ENDE_UNTERPROGRAMM\n",
         "abfrage 3 schalter 1 an\n",
         kStart + (kUsProZeile + kAbfrage) +
             2 * ((1 + 7 + 1 + 3 + 1 + 1) * kUsProZeile + kUsProZeile + kAbfrage) + 4 * kUsProZeile,
         4},
    };
    for (const Fall& f : faelle) {
        MitSzenario(f.szenario);
        interpreter::ZustandZuruecksetzen();
        interpreter::Zustand().Tracelevel = 1;
        EXPECT_EQ(Lauf(f.kommandos), -1) << konsole.fehler << LetzterBericht();
        EXPECT_EQ(virtuell->MonotonUs(), f.endeUs) << f.kommandos;
        EXPECT_EQ(sim->Rahmen(), f.rahmen) << f.kommandos;
    }
}

}  // namespace
}  // namespace taktler::test
