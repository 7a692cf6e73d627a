// Whole-program tests: the built taktler on the simulated interface.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

// The 24 writes of one frame with all motors off.
std::vector<std::string> AusRahmen() {
    std::vector<std::string> w;
    for (int k = 1; k <= 8; ++k) {
        w.push_back("W 378 F2");
        w.push_back("W 378 FA");
        w.push_back(k < 8 ? "W 378 F2" : "W 378 FB");
    }
    return w;
}

class ProgrammTest : public ::testing::Test {
  protected:
    Aufruf Starte(const std::string& kommandos, const std::string& szenario = "",
                  std::vector<std::string> extra = {}, const std::string& eingabe = "") {
        SchreibeDatei(dir / "k.txt", kommandos);
        std::vector<std::string> args = {"--port-log=" + log};
        if (!szenario.empty()) {
            SchreibeDatei(dir / "s.txt", szenario);
            args.push_back("--sim=" + (dir / "s.txt"));
        } else {
            args.push_back("--port=sim");
        }
        for (auto& e : extra) {
            args.push_back(e);
        }
        args.push_back("k.txt");
        args.push_back("p.txt");
        return StarteTaktler(args, dir.pfad(), eingabe);
    }

    TempVerzeichnis dir;
    std::string log = dir / "port.log";
};

TEST_F(ProgrammTest, EveryRunStartsWithFourSwitchOffFramesEvenWithWrongArguments) {
    auto a = StarteTaktler({"--port=sim", "--port-log=" + log, "nur-eine-datei"}, dir.pfad());
    EXPECT_EQ(a.code, 12);
    EXPECT_EQ(a.fehler,
              "TAKTLER 091200\nAnzahl der Argumente fehlerhaft.\n"
              "Aufruf:  TAKTLER <Kommandodatei> <Protokolldatei>\n\n");
    std::vector<std::string> erwartet;
    const std::vector<std::string> rahmen = AusRahmen();
    for (int i = 0; i < 4; ++i) {
        erwartet.insert(erwartet.end(), rahmen.begin(), rahmen.end());
        erwartet.push_back("# Motoren NNNN");
    }
    EXPECT_EQ(Zeilen(LiesDatei(log)), erwartet);
}

TEST_F(ProgrammTest, BadOptionsEndBeforeAnythingIsWritten) {
    for (const std::string opt : {"--gibtsnicht", "--port=", "--antwort=vielleicht", "--ports=1",
                                  "--zeit=bald", "--vcd="}) {
        auto a = StarteTaktler({opt, "--port-log=" + log, "k.txt", "p.txt"}, dir.pfad());
        EXPECT_EQ(a.code, 12) << opt;
        EXPECT_NE(a.fehler.find(opt.substr(0, opt.find('='))), std::string::npos) << a.fehler;
        EXPECT_EQ(Zeilen(a.fehler).size(), 1u) << a.fehler;
        EXPECT_FALSE(DateiExistiert(log));
    }
}

// Files that cannot serve their role end the program with 12 and a line
// naming them, before anything is written: no port log, no protocol file,
// and the command file as it was.
struct AblehnFall {
    const char* name;
    std::vector<std::string> argumente;
    const char* meldung;  // a line of standard error
};

class AblehnTest : public ProgrammTest, public ::testing::WithParamInterface<AblehnFall> {};

TEST_P(AblehnTest, RefusedBeforeAnythingIsWritten) {
    const std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nELSE\n";
    SchreibeDatei(dir / "k.txt", kommandos);
    SchreibeDatei(dir / "s.txt", "start schalter 3 an\nabfrage x schalter 1 an\n");
    ASSERT_EQ(::symlink("k.txt", (dir / "l.txt").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "v").c_str(), 0700), 0);
    auto a = StarteTaktler(GetParam().argumente, dir.pfad());
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.fehler.find(std::string(GetParam().meldung) + "\n"), std::string::npos) << a.fehler;
    EXPECT_EQ(LiesDatei(dir / "k.txt"), kommandos);
    EXPECT_FALSE(DateiExistiert(dir / "p.txt"));
    EXPECT_FALSE(DateiExistiert(dir / "port.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Dateien, AblehnTest,
    ::testing::Values(
        AblehnFall{"PortLogIstKommandodatei",
                   {"--port=sim", "--port-log=k.txt", "k.txt", "p.txt"},
                   "taktler: Kommandodatei k.txt und --port-log=k.txt sind dieselbe Datei"},
        AblehnFall{"ProtokollIstKommandodatei",
                   {"--port=sim", "k.txt", "./k.txt"},
                   "taktler: Kommandodatei k.txt und Protokolldatei ./k.txt sind dieselbe Datei"},
        AblehnFall{"NochNichtVorhanden",
                   {"--port=sim", "--port-log=p.txt", "k.txt", "v/../p.txt"},
                   "taktler: Protokolldatei v/../p.txt und --port-log=p.txt sind dieselbe Datei"},
        AblehnFall{"ZeitdiagrammIstPortLog",
                   {"--port=sim", "--port-log=port.log", "--vcd=./port.log", "k.txt", "p.txt"},
                   "taktler: --port-log=port.log und --vcd=./port.log sind dieselbe Datei"},
        AblehnFall{"SzenarioUeberVerweis",
                   {"--sim=l.txt", "k.txt", "p.txt"},
                   "taktler: Kommandodatei k.txt und --sim=l.txt sind dieselbe Datei"},
        AblehnFall{"KommandodateiIstVerzeichnis",
                   {"--port=sim", "v", "p.txt"},
                   "[WARNUNG] Modul: DATEI 151100, Funktion: Oeffnen, Warnung: Eingabedatei v: "
                   "Is a directory"},
        AblehnFall{"SzenarioOhneZeilenende",
                   {"--sim=/dev/zero", "--port-log=port.log", "k.txt", "p.txt"},
                   "taktler: /dev/zero:1: Zeile zu lang: mehr als 498 Zeichen"},
        AblehnFall{"SzenarioFehlerhaft",
                   {"--sim=s.txt", "--port-log=port.log", "k.txt", "p.txt"},
                   "taktler: s.txt:2: abfrage x: N ist keine Zahl"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgrammTest, DevicesMayBeNamedMoreThanOnce) {
    SchreibeDatei(dir / "k.txt", "ELSE\n");
    auto a =
        StarteTaktler({"--port=sim", "--port-log=/dev/null", "k.txt", "/dev/null"}, dir.pfad());
    EXPECT_EQ(a.code, 0) << a.fehler;
}

// An output that cannot be written completely ends the run with 12 and a
// report that names it and the system's reason.
struct AusgabeFall {
    const char* name;
    std::vector<std::string> argumente;
    const char* standardausgabe;  // where standard output goes, or ""
    const char* meldung;
};

class AusgabeTest : public ProgrammTest, public ::testing::WithParamInterface<AusgabeFall> {};

TEST_P(AusgabeTest, LostOutputEndsWith12AndSaysWhich) {
    SchreibeDatei(dir / "k.txt", "EINSCHALTEN MOTOR1 LINKS\nELSE\nMELDUNG A\n");
    auto a = StarteTaktler(GetParam().argumente, dir.pfad(), "", {}, GetParam().standardausgabe);
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.fehler.find(std::string(GetParam().meldung) + "\n"), std::string::npos) << a.fehler;
}

INSTANTIATE_TEST_SUITE_P(
    Ziele, AusgabeTest,
    ::testing::Values(
        AusgabeFall{"Protokoll",
                    {"--port=sim", "k.txt", "/dev/full"},
                    "",
                    "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: "
                    "Ausgabedatei /dev/full: No space left on device"},
        AusgabeFall{"PortLog",
                    {"--port=sim", "--port-log=/dev/full", "k.txt", "p.txt"},
                    "",
                    "taktler: /dev/full: Port-Protokoll kann nicht geschrieben werden: No space "
                    "left on device"},
        AusgabeFall{"Zeitdiagramm",
                    {"--port=sim", "--vcd=/dev/full", "k.txt", "p.txt"},
                    "",
                    "taktler: /dev/full: Zeitdiagramm kann nicht geschrieben werden: No space "
                    "left on device"},
        AusgabeFall{"Standardausgabe",
                    {"--port=sim", "k.txt", "p.txt"},
                    "/dev/full",
                    "taktler: Standardausgabe kann nicht geschrieben werden: No space left on "
                    "device"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file system that fills up during the run: the port log and the protocol
// on a small one of their own, mounted in a private mount namespace.
TEST_F(ProgrammTest, FullFileSystemEndsWith12AndNamesEveryLostFile) {
    ASSERT_EQ(::mkdir((dir / "klein").c_str(), 0700), 0);
    std::string grund;
    std::string unshare;
    for (const char* art : {"unshare -m", "unshare -rm"}) {
        std::string probe = std::string(art) + " sh -c " +
                            Quote("mount -t tmpfs -o size=16k taktler " + Quote(dir / "klein")) +
                            " 2>" + Quote(dir / "mount.txt");
        if (std::system(probe.c_str()) == 0) {
            unshare = art;
            break;
        }
        grund = LiesDatei(dir / "mount.txt");
    }
    if (unshare.empty()) {
        GTEST_SKIP() << "no small file system can be mounted here: " << grund;
    }
    SchreibeDatei(dir / "k.txt",
                  "EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT = 3000\nEINSCHALTEN MOTOR2 RECHTS\nELSE\n"
                  "ENDE_BIS\n");
    const std::string lauf = "mount -t tmpfs -o size=16k taktler klein && cd klein && " +
                             Quote(TAKTLER_BINARY) +
                             " --port=sim --port-log=port.log ../k.txt p.txt >/dev/null "
                             "2>../err.txt; echo $? >../code.txt";
    const std::string befehl =
        "cd " + Quote(dir.pfad()) + " && " + unshare + " sh -c " + Quote(lauf);
    ASSERT_EQ(StarteBegrenzt(befehl), 0);
    EXPECT_EQ(LiesDatei(dir / "code.txt"), "12\n");
    const std::string fehler = LiesDatei(dir / "err.txt");
    for (const char* meldung :
         {"taktler: port.log: Port-Protokoll kann nicht geschrieben werden: No space left on "
          "device\n",
          "[ABBRUCH] Modul: DATEI 151100, Funktion: Schliessen, Programmabbruch: Ausgabedatei "
          "p.txt: No space left on device\n"}) {
        EXPECT_NE(fehler.find(meldung), std::string::npos) << fehler;
    }
}

TEST_F(ProgrammTest, MotorCommandsLatchTheExpectedStates) {
    auto a = Starte(
        "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR2 RECHTS\nEINSCHALTEN MOTOR4\n"
        "AUSSCHALTEN MOTOR1\nEINSCHALTEN MOTOR3 LINKS\n");
    EXPECT_EQ(a.code, 0) << a.fehler;
    // LINKS gives 'R'; any other word, and RECHTS left over as Parameter2, gives 'L'.
    EXPECT_EQ(Motorzustaende(LiesDatei(log)),
              (std::vector<std::string>{"NNNN", "NNNN", "NNNN", "NNNN", "RNNN", "RLNN", "RLNL",
                                        "NLNL", "NLRL"}));
    EXPECT_NE(a.aus.find("TAKTLER 091200 ENDE : am "), std::string::npos);
}

TEST_F(ProgrammTest, ProtocolFileGetsElseLinesAndTheAbortBanner) {
    auto a = Starte(
        "TRACELEVEL 1\nBIS ZEIT = 100000\n  ELSE hier\nENDE\nbis schalter1 = "
        "0\nelse\nende\nREBOOT\n");
    EXPECT_EQ(a.code, 12);
    EXPECT_EQ(a.aus, "REBOOT\n");
    EXPECT_EQ(a.fehler,
              "TAKTLER 091200\n[ABBRUCH] Modul: TAKTLER 091200, Funktion: Kommando "
              "erkennen: unbekanntes Kommando, Programmabbruch: REBOOT\n");
    EXPECT_EQ(LiesDatei(dir / "p.txt"),
              "  ELSE\r\nELSE\r\n---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
              "Kommando erkennen: unbekanntes Kommando\r\nREBOOT\r\n"
              "---------------------------\r\n");
}

TEST_F(ProgrammTest, UnknownMotorAbortsWithItsFunctionText) {
    auto a = Starte("AUSSCHALTEN MOTOR5\n");
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.fehler.find("[ABBRUCH] Modul: TAKTLER 091200, Funktion: Ausschalten, "
                            "Programmabbruch: Motor n. definiert\n"),
              std::string::npos);
    EXPECT_FALSE(DateiExistiert(dir / "p.txt"));
}

TEST_F(ProgrammTest, EmergencyStopStopsAllMotorsAtTheNamedCheck) {
    // Input reads: 1 after NOTHALT, 2 and 3 around MELDUNG A, 4 before MELDUNG B.
    auto a = Starte(
        "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR4 RECHTS\nNOTHALT SCHALTER3\n"
        "MELDUNG A\nMELDUNG B\n",
        "abfrage 4 schalter 3 an\n");
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.aus.find(";A;"), std::string::npos);
    EXPECT_EQ(a.aus.find(";B;"), std::string::npos);
    EXPECT_NE(a.fehler.find("Funktion: MELDUNG, Programmabbruch: NOTAUS betaetigt!"),
              std::string::npos)
        << a.fehler;
    auto z = Motorzustaende(LiesDatei(log));
    // The stop sends motors 1, 2, 3 and 4 off in this order, one frame each.
    ASSERT_GE(z.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(z.end() - 5, z.end()),
              (std::vector<std::string>{"RNNL", "NNNL", "NNNL", "NNNL", "NNNN"}));
}

TEST_F(ProgrammTest, EmergencyStopIsCheckedRightAfterArming) {
    auto a =
        Starte("EINSCHALTEN MOTOR2 LINKS\nNOTHALT SCHALTER3\nMELDUNG A\n", "start schalter 3 an\n");
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.fehler.find("Funktion: NOTHALT, Programmabbruch: NOTAUS betaetigt!"),
              std::string::npos);
}

TEST_F(ProgrammTest, SwitchLoopEndsAfterTheThirdClickAndForgetsEarlierPresses) {
    // The first loop takes the click of read 1. The second loop resets the count on its
    // first evaluation (read 2, switch still held: no new click) and then needs three
    // fresh presses, at reads 4, 6 and 8.
    auto a = Starte("BIS SCHALTER2 = 1\nENDE_BIS\nBIS SCHALTER2 = 3\nENDE_BIS\nMELDUNG FERTIG\n",
                    "start schalter 2 an\n"
                    "abfrage 3 schalter 2 aus\nabfrage 4 schalter 2 an\n"
                    "abfrage 5 schalter 2 aus\nabfrage 6 schalter 2 an\n"
                    "abfrage 7 schalter 2 aus\nabfrage 8 schalter 2 an\n"
                    "abfrage 9 schalter 2 aus\n");
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_NE(a.aus.find("Schalter 2 gedrueckt, 3 Klicks!\nStufe 1; Klicks erreicht\n"),
              std::string::npos)
        << a.aus;
    std::size_t lesungen = 0;
    for (const auto& z : Zeilen(LiesDatei(log))) {
        lesungen += z.rfind("R 379", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(lesungen, 8u * 8u);
}

TEST_F(ProgrammTest, TimeLoopWithEmptyBodyLastsAtLeastItsLimit) {
    auto start = std::chrono::steady_clock::now();
    auto a = Starte("TRACELEVEL 1\nBIS ZEIT = 300\nENDE_BIS\n");
    auto dauer = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(dauer).count(), 300);
}

TEST_F(ProgrammTest, SoundOfAMissingFileGoesOnSilently) {
    auto a = Starte("SOUND C:\\GIBTS\\NICHT.WAV\nMELDUNG WEITER\n");
    EXPECT_EQ(a.code, 0);
    EXPECT_NE(a.aus.find("Stufe 0; Soundbaustein gesetzt: C:\\GIBTS\\NICHT.WAV\n"),
              std::string::npos);
    EXPECT_NE(a.aus.find(";WEITER;"), std::string::npos);
    EXPECT_EQ(a.fehler, "TAKTLER 091200\n");
}

// In virtual time the file is loaded but nothing is played: the audio driver
// is never opened.
TEST_F(ProgrammTest, SoundOfAWaveFilePlaysThroughTheAudioDriverInRealTimeOnly) {
    dir.Datei("klaenge/gong.wav", SinusWav(0.5));
    SchreibeDatei(dir / "k.txt",
                  "SOUND KLAENGE\\GONG.WAV\nBIS ZEIT = 400\nENDE_BIS\nMELDUNG FERTIG\n");
    for (const std::string zeit : {"echt", "virtuell"}) {
        const std::string roh = dir / ("audio-" + zeit + ".raw");
        auto a = StarteTaktler(
            {"--port=sim", "--zeit=" + zeit, "k.txt", "p.txt"}, dir.pfad(), "",
            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + roh, "SDL_DISKAUDIODELAY=1"});
        EXPECT_EQ(a.code, 0) << a.fehler;
        EXPECT_EQ(a.fehler, "TAKTLER 091200\n");
        EXPECT_NE(a.aus.find(";FERTIG;"), std::string::npos);
        if (zeit == "virtuell") {
            EXPECT_FALSE(DateiExistiert(roh));
            continue;
        }
        // The driver wrote the played samples; a silent device would write zeros only.
        const std::string daten = LiesDatei(roh);
        EXPECT_GT(daten.size(), 1000u);
        EXPECT_NE(daten.find_first_not_of(std::string(1, '\0')), std::string::npos);
    }
}

TEST_F(ProgrammTest, ExamplesAreCleanAndRunToTheirEnd) {
    for (const std::string name : {"ampel", "foerderband", "interface_test"}) {
        std::string quelle = std::string(TAKTLER_QUELLEN) + "/examples/" + name;
        auto p = StarteTaktler({"--pruefen", quelle + ".txt"}, dir.pfad());
        EXPECT_EQ(p.aus, quelle + ".txt: 0 Fehler, 0 Warnung(en)\n") << p.fehler;
        auto a = StarteTaktler(
            {"--sim=" + quelle + ".szenario", quelle + ".txt", dir / (name + ".prot")}, dir.pfad());
        EXPECT_EQ(a.code, 0) << name << "\n" << a.aus << a.fehler;
        EXPECT_NE(a.aus.find("ENDE : am"), std::string::npos) << name;
    }
}

std::size_t Anzahl(const std::string& text, const std::string& teil) {
    std::size_t n = 0;
    for (auto pos = text.find(teil); pos != std::string::npos; pos = text.find(teil, pos + 1)) {
        ++n;
    }
    return n;
}

// The smoothed value refreshes at every 201st evaluation; after that each
// evaluation moves one of the ten history slots to the new reading.
struct AnalogFall {
    const char* bedingung;
    const char* szenario;
    const char* ende;  // last lines of the loop's output
    std::size_t auswertungen;
};

class AnalogProgrammTest : public ProgrammTest, public ::testing::WithParamInterface<AnalogFall> {};

TEST_P(AnalogProgrammTest, LoopEndsOnTheFirstFittingValue) {
    const AnalogFall& f = GetParam();
    auto a = Starte(std::string("BIS ANALOG1 ") + f.bedingung + "\nENDE_BIS\n", f.szenario);
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_NE(a.aus.find(f.ende), std::string::npos) << a.aus.substr(a.aus.size() - 300);
    EXPECT_EQ(Anzahl(a.aus, "X: "), f.auswertungen);
}

INSTANTIATE_TEST_SUITE_P(
    Schwellen, AnalogProgrammTest,
    ::testing::Values(
        AnalogFall{"> 500", "start analog 1 100\nstart analog 2 40\nmessung 41 analog 1 800\n",
                   "X: 0450 Y: 0040 Wert: 0490\nX: 0520 Y: 0040 Wert: 0560\n"
                   "Analogwert ueberschritten 520\n",
                   206},
        AnalogFall{"= 500", "start analog 1 100\nstart analog 2 40\nmessung 41 analog 1 800\n",
                   "X: 0520 Y: 0040 Wert: 0560\nAnalogwert ueberschritten 520\n", 206},
        AnalogFall{"< 200", "start analog 1 600\nstart analog 2 40\nmessung 41 analog 1 50\n",
                   "X: 0215 Y: 0040 Wert: 0255\nX: 0160 Y: 0040 Wert: 0200\n"
                   "Analogwert unterschritten 160\n",
                   208},
        AnalogFall{"= MAX", "start analog 1 300\nstart analog 2 40\n",
                   "X: 0300 Y: 0040 Wert: 0340\n", 360}));

TEST_F(ProgrammTest, MaximumNeverMetAgainEndsAtThe751stEvaluation) {
    auto a = Starte("BIS ANALOG1 = MAX\nENDE_BIS\n",
                    "start analog 1 900\nstart analog 2 40\nmessung 41 analog 1 100\n");
    EXPECT_EQ(a.code, 12);
    EXPECT_EQ(Anzahl(a.aus, "X: "), 751u);
    EXPECT_NE(a.fehler.find("[ABBRUCH] Modul: TAKTLER 091200, Funktion: AnalogMax, "
                            "Programmabbruch: Kein Maxwert gefunden!"),
              std::string::npos);
}

TEST_F(ProgrammTest, SubroutineCalledThreeTimesFromALoop) {
    // Evaluations: read 1 clicks (open), read 2 held (open), read 3 released
    // (open), read 4 clicks the second time (met).
    auto a = Starte(
        "TRACELEVEL 1\nBIS SCHALTER1 = 2\nRUFE ZAEHLE\nENDE_BIS\nENDE\nMELDUNG ENDE\n"
        "EXIT\nUNTERPROGRAMM ZAEHLE\nMELDUNG UP\nENDE_UNTERPROGRAMM\n",
        "abfrage 1 schalter 1 an\nabfrage 3 schalter 1 aus\nabfrage 4 schalter 1 an\n");
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_EQ(Anzahl(a.aus, ";UP;"), 3u);
    EXPECT_EQ(Anzahl(a.aus, ";ENDE;"), 1u);
}

// A chain of subroutines, each calling the next, nests one level per call.
std::string Kette(int tiefe) {
    std::string datei = "TRACELEVEL 1\nRUFE UP1\nMELDUNG ZURUECK\nEXIT\n";
    for (int i = 1; i <= tiefe; ++i) {
        datei += "UNTERPROGRAMM UP" + std::to_string(i) + "\n";
        datei += i < tiefe ? "RUFE UP" + std::to_string(i + 1) + "\n" : "MELDUNG UNTEN\n";
        datei += "ENDE_UNTERPROGRAMM\n";
    }
    return datei;
}

TEST_F(ProgrammTest, CallsNestToLevel79AndOneMoreLevelAborts) {
    auto a = Starte(Kette(79));
    EXPECT_EQ(a.code, 0) << a.fehler;
    EXPECT_NE(a.aus.find(";UNTEN;"), std::string::npos);
    EXPECT_NE(a.aus.find(";ZURUECK;"), std::string::npos);
    auto b = Starte(Kette(80));
    EXPECT_EQ(b.code, 12);
    EXPECT_EQ(b.aus.find(";UNTEN;"), std::string::npos);
    EXPECT_NE(b.fehler.find("[ABBRUCH] Modul: TAKTLER 091200, Funktion: Strukturstufe: mehr als 79 "
                            "Stufen, Programmabbruch: RUFE"),
              std::string::npos);
}

// A reader of standard output that goes away ends the run like a hang-up:
// motors off, the protocol and port log complete, the end by SIGPIPE.
TEST_F(ProgrammTest, ClosedOutputPipeEndsTheRunWithEverythingWritten) {
    std::string kommandos = "EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT 10\nELSE\nENDE\n";
    // More than a pipe holds, so that writes go on after the reader left.
    for (int i = 0; i < 6000; ++i) {
        kommandos += "MELDUNG ZEILE" + std::to_string(i) + "\n";
    }
    SchreibeDatei(dir / "k.txt", kommandos);
    const char* vor = std::getenv("TAKTLER_TEST_VOR");
    const std::string befehl =
        "cd " + dir.pfad() + " && { " + (vor != nullptr ? std::string(vor) + " " : std::string()) +
        TAKTLER_BINARY + " --port=sim --port-log=" + log +
        " k.txt p.txt 2>err.txt; echo $? >code.txt; } | head -c 1 >/dev/null";
    ASSERT_EQ(StarteBegrenzt(befehl), 0);
    EXPECT_EQ(LiesDatei(dir / "code.txt"), std::to_string(128 + SIGPIPE) + "\n");
    EXPECT_NE(LiesDatei(dir / "err.txt")
                  .find("TAKTLER unterbrochen (SIGPIPE): alle Motoren ausgeschaltet"),
              std::string::npos);
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
    const std::vector<std::string> z = Motorzustaende(LiesDatei(log));
    ASSERT_GE(z.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(z.end() - 5, z.end()),
              (std::vector<std::string>{"RNNN", "NNNN", "NNNN", "NNNN", "NNNN"}));
    EXPECT_EQ(LiesDatei(log).back(), '\n');
}

// An abort in the middle of a run keeps what was written before it: the
// protocol lines, a port log ending in whole lines with the last frame, and
// the motors as that frame left them (all off after the emergency stop).
struct AbbruchFall {
    const char* name;
    std::string zeilen;  // after a prefix that starts two motors and writes ELSE
    std::string szenario;
    const char* meldung;  // part of the abort report
    bool banner;          // the interpreter's protocol banner
    const char* motoren;  // last latched state
};

class ProgrammAbbruchTest : public ProgrammTest,
                            public ::testing::WithParamInterface<AbbruchFall> {};

TEST_P(ProgrammAbbruchTest, KeepsProtocolPortLogAndMotors) {
    const AbbruchFall& f = GetParam();
    auto a = Starte(
        "EINSCHALTEN MOTOR1 LINKS\nEINSCHALTEN MOTOR3 RECHTS\nBIS ZEIT 10\nELSE\nENDE\n" + f.zeilen,
        f.szenario, {"--vcd=" + (dir / "z.vcd")});
    EXPECT_EQ(a.code, 12);
    EXPECT_NE(a.fehler.find(f.meldung), std::string::npos) << a.fehler;

    std::string protokoll = "ELSE\r\n";
    if (f.banner) {
        protokoll +=
            "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\n"
            "Kommando erkennen: unbekanntes Kommando\r\nKAPUTT\r\n"
            "---------------------------\r\n";
    }
    EXPECT_EQ(LiesDatei(dir / "p.txt"), protokoll);

    const std::string text = LiesDatei(log);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> zeilen = Zeilen(text);
    ASSERT_GE(zeilen.size(), 25u);
    EXPECT_EQ(zeilen.back(), std::string("# Motoren ") + f.motoren);
    for (std::size_t i = zeilen.size() - 25; i < zeilen.size() - 1; ++i) {
        EXPECT_EQ(zeilen[i].rfind("W 378 ", 0), 0u) << i << ": " << zeilen[i];
    }
    EXPECT_EQ(ZeitdiagrammMangel(LiesDatei(dir / "z.vcd"), f.motoren), "");
}

INSTANTIATE_TEST_SUITE_P(
    Arten, ProgrammAbbruchTest,
    ::testing::Values(AbbruchFall{"UnbekanntesKommando", "KAPUTT\nMELDUNG NIE\n", "",
                                  "unbekanntes Kommando, Programmabbruch: KAPUTT", true, "RNLN"},
                      AbbruchFall{"ZuLangeZeile", std::string(520, 'X') + "\n", "",
                                  "Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross",
                                  false, "RNLN"},
                      AbbruchFall{"Notaus", "NOTHALT SCHALTER3\nMELDUNG A\n",
                                  "start schalter 3 an\n", "NOTAUS betaetigt!", false, "NNNN"},
                      AbbruchFall{"UnbekannterMotor", "EINSCHALTEN MOTOR7\n", "",
                                  "Funktion: Einschalten, Programmabbruch: Motor n. definiert",
                                  false, "RNLN"}),
    [](const ::testing::TestParamInfo<AbbruchFall>& info) { return info.param.name; });

}  // namespace
}  // namespace taktler::test
