// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter in-process: what a run prints, reports and protocols, how it jumps and calls;
// the command-line parse; the motor, emergency-stop and sensing commands (a protocol on a full
// device and a command file from a FIFO: interpreter_posix_test.cpp).
#include "interpreter_test.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interface_testport.h"
#include "interpreter/kommandozeile.h"
#include "interpreter/laufstand.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/schleifen.h"
#include "interpreter/sensorik.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

const char* const kZuLang =
    "Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross";

std::string Lang(int n) {
    return ";" + std::string(static_cast<std::size_t>(n - 1), 'x') + "|";
}

struct Skript {
    const char* name;
    std::string kommandos;       // '|' ends a line, '@' stands for the test's directory
    int code;                    // -1: ran to its end
    std::string aus;             // '~' stands for the time stamp, '$' for the end line
    std::string bericht;         // the last report, "" for none
    std::string protokoll = "";  // the protocol file ("": none written)
};
class SkriptTabelle : public SkriptTest, public ::testing::WithParamInterface<Skript> {};

std::string Ersetzt(const std::string& text, const std::string& dir) {
    std::string s;
    for (char c : text) {
        s += c == '|'   ? std::string("\n")
             : c == '@' ? dir
             : c == '~' ? "20001209.14:03:07;"
             : c == '$' ? kEndzeile
                        : std::string(1, c);
    }
    return s;
}

TEST_P(SkriptTabelle, PrintsReportsAndProtocolsAsTheRulesSay) {
    const Skript& f = GetParam();
    SchreibeDatei(dir / "liste.txt", "erste Zeile\r\nzweite");
    konsole.eingaben = 1;
    EXPECT_EQ(Lauf(Ersetzt(f.kommandos, dir.pfad())), f.code);
    EXPECT_EQ(LetzterBericht(), f.bericht);
    EXPECT_EQ(LiesDatei(protokoll), f.protokoll);
    EXPECT_EQ(konsole.aus, Ersetzt(f.aus, ""));
}

INSTANTIATE_TEST_SUITE_P(
    Regeln, SkriptTabelle,
    ::testing::Values(
        Skript{"OhneZeilenende", "meldung hallo welt\r|MELDUNG 50%S", -1, "~HALLO;|~50%S;|$", ""},
        Skript{"Pause", "PAUSE JETZT|MELDUNG DANACH|", -1,
               "~JETZT;|Weiter: Beliebiges Zeichen eingeben und ENTER druecken...~DANACH;|$", ""},
        Skript{"Info", "INFO @/liste.txt|", -1, "erste Zeile|zweite|$", ""},
        Skript{"AnalogAbStufe4",
               "TRACELEVEL 3|BIS ANALOG1 > 0|ENDE|TRACELEVEL 4|BIS ANALOG1 > 0|ENDE|", -1,
               "X: 0000 Y: 0000 Wert: 0000|Analogwert ueberschritten 0|$", ""},
        // A byte-order mark is skipped, also when a loop reads line 1 again; two bytes are none.
        Skript{"ByteOrderMark",
               "\xEF\xBB\xBF"
               "BIS ZEIT = 30|ENDE_BIS|MELDUNG FERTIG|",
               -1, "~FERTIG;|$", ""},
        Skript{"HalbeBom",
               "\xEF\xBB"
               "MELDUNG A|",
               12, "\xEF\xBBMELDUNG|",
               "Modul: TAKTLER 091200, Funktion: Kommando erkennen: unbekanntes Kommando, "
               "Programmabbruch: \xEF\xBBMELDUNG",
               "---- PROGRAMMABBRUCH ------\r\nTAKTLER 091200\r\nKommando erkennen: unbekanntes "
               "Kommando\r\n\xEF\xBBMELDUNG\r\n---------------------------\r\n"},
        Skript{"ExitNurAusgefuehrt", "BIS SCHALTER1 = 0|EXIT|ENDE|MELDUNG A|EXIT|MELDUNG B|", -1,
               "~A;|$", ""},
        // Every ELSE line read goes to the protocol, in skipped levels too.
        Skript{"ElseKehrtUm",
               "BIS SCHALTER1 = 0|MELDUNG NEIN|  else|MELDUNG JA|ENDE|"
               "BIS ZEIT = 1000|MELDUNG JA2| ELSE egal|MELDUNG NEIN2|ENDE|",
               -1, "~JA;|~JA2;|$", "", "  ELSE\r\n ELSE\r\n"},
        // A BIS of two words takes the third parameter the line before left.
        Skript{"BisZweiWorte5", "MELDUNG X Y 5|BIS SCHALTER1 2|MELDUNG DRIN|ENDE|", -1,
               "~X;|~DRIN;|$", ""},
        Skript{"InnenZeitJedenDurchlauf",
               "TRACELEVEL 2|BIS ZEIT = 100|MELDUNG AUSSEN|BIS ZEIT = 0|ENDE_BIS|ENDE_BIS|", -1,
               "Stufe 1; Zeitbaustein gesetzt: 100|" +
                   Wiederholt("~AUSSEN;|Stufe 2; Zeitbaustein gesetzt: 0|", 3) + "$",
               ""},
        Skript{"Bis79", Wiederholt("BIS ZEIT 100000|", 79), -1, "$", ""},
        Skript{"Bis80", Wiederholt("BIS ZEIT 100000|", 80), 12, "",
               "Modul: TAKTLER 091200, Funktion: Strukturstufe: mehr als 79 Stufen, "
               "Programmabbruch: BIS"},
        Skript{"SucheKommentar", "RUFE X|EXIT|; ein unterprogramm x|UNTERPROGRAMM X|", 12, "",
               "Modul: TAKTLER 091200, Funktion: FindeUnterprogramm: Zu viele Felder, "
               "Programmabbruch: ; EIN UNTERPROGRAMM X"},
        // A loop reads 498 characters, a jump back 100, a header search 200.
        Skript{"Sprung98", Lang(98) + "BIS ZEIT = 20|ENDE_BIS|", -1, "$", ""},
        Skript{"Sprung99", Lang(99) + "BIS ZEIT = 20|ENDE_BIS|", 12, "", kZuLang},
        // The search checks a line naming the word even when the loop read it before.
        Skript{"SucheGelesen199", Lang(199) + "; ein unterprogramm x|RUFE X|EXIT|UNTERPROGRAMM X|",
               12, "", kZuLang},
        Skript{"Zeile498", Lang(498) + "MELDUNG A|", -1, "~A;|$", ""},
        Skript{"Zeile499", Lang(499) + "MELDUNG A|", 12, "", kZuLang}),
    [](const auto& info) { return std::string(info.param.name); });

// Before its first line, the panel's view shows level 0.
TEST_F(SkriptTest, FirstEvaluationOfALoopResetsItsClicks) {
    EXPECT_EQ(interpreter::Stand().stufe, 0);
    interpreter::Zustand().Durchlauf[1] = 5;
    interpreter::Zustand().Klickzaehler[1][0] = 5;
    Lauf("BIS SCHALTER1 = 3\nMELDUNG DRIN\nENDE\n");
    EXPECT_NE(konsole.aus.find(";DRIN;"), std::string::npos);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[1][0], 0);
}

// After 2^31 evaluations the count must neither overflow nor reset the clicks (found by fuzzing).
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

using KommandozeileTest = TaktlerTest;

// The splitting rules are the interpreter fuzz model's, replayed on its corpus by the suite.
TEST_F(KommandozeileTest, WholeWordsDecideAndNumbersSaturate) {
    const std::pair<const char*, int> kommandos[] = {
        {"ENDE", interpreter::kEnde},    {"ENDE_BIS", interpreter::kEndeBis},
        {";", interpreter::kKommentar},  {"ENDEN", interpreter::kUnbekannt},
        {"BI", interpreter::kUnbekannt}, {"", interpreter::kUnbekannt}};
    interpreter::Kommandozeile kz;
    for (const auto& [wort, code] : kommandos) {
        interpreter::Kopiere(kz.Kommando, wort);
        EXPECT_EQ(interpreter::GibKommando(&kz), code) << wort;
    }
    const char* bedingungen[] = {"WAHR", "FALSCH", "WENNNEU", "WENNVORHANDEN", "IMMER"};
    for (int i = 0; i < 5; ++i) {
        interpreter::Kopiere(kz.Parameter3, bedingungen[i]);
        EXPECT_EQ(interpreter::GibBedingung(&kz), i);
    }
    interpreter::Kopiere(kz.Parameter3, "immer");
    EXPECT_EQ(EndeCode([&] { interpreter::GibBedingung(&kz); }), 12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: GibBedingung, Programmabbruch: immer");
    const std::pair<const char*, std::int32_t> zahlen[] = {
        {"  -42abc", -42}, {"ABC", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& [text, zahl] : zahlen) {
        EXPECT_EQ(interpreter::ZahlAusText(text), zahl) << text;
    }
}

TEST_F(KommandozeileTest, SetzeProtokolldateiRefusesNamesOf250Characters) {
    interpreter::Kommandozeile kz;
    std::string ok(249, 'a');
    EXPECT_TRUE(interpreter::KommandozeileSetzeProtokolldatei(&kz, ok.c_str()));
    EXPECT_STREQ(kz.Protokolldateiname.data(), ok.c_str());
    EXPECT_EQ(EndeCode([&] {
                  interpreter::KommandozeileSetzeProtokolldatei(&kz, std::string(250, 'a').c_str());
              }),
              12);
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: Kommandozeile_SetzeProtokolldatei, "
              "Programmabbruch: inString zu lang");
}

// Motor, emergency-stop and sensing commands on the simulated interface.
class BefehlTest : public PortTest {
  protected:
    void Starte(const std::string& szenario = "") {
        auto s = interface::ParseSzenario(szenario, "s.txt");
        ASSERT_TRUE(s.Ok()) << s.fehler;
        sim = std::make_unique<interface::Simulator>(s.ereignisse);
        interface::SetzePort(sim.get());
        z.Interface = &z.interfaceDS;
        interface::InterfaceInit(*z.Interface);
        kz.Ausfuehren[0] = 1;
    }
    interpreter::Kommandozeile& Zeile(std::string text) {
        interpreter::ParseKommandozeile(text.data(), &kz);
        return kz;
    }
    static std::string Abbruch(const std::string& funktion, const std::string& text) {
        return "Modul: TAKTLER 091200, Funktion: " + funktion + ", Programmabbruch: " + text;
    }

    interpreter::Programmzustand& z = interpreter::Zustand();
    std::unique_ptr<interface::Simulator> sim;
    interpreter::Kommandozeile kz;
};

// LINKS latches 'R', any other word 'L', none the word of an earlier line; a bad motor aborts.
TEST_F(BefehlTest, MotorCommandsLatchInTurn) {
    Starte();
    const std::pair<const char*, const char*> schritte[] = {
        {"EINSCHALTEN MOTOR1 LINKS", "RNNN"}, {"einschalten motor2 rechts", "RLNN"},
        {"EINSCHALTEN MOTOR3 AUF", "RLLN"},   {"EINSCHALTEN MOTOR4 LINKS", "RLLR"},
        {"EINSCHALTEN MOTOR3", "RLRR"},       {"AUSSCHALTEN MOTOR1", "NLRR"},
        {"EINSCHALTEN MOTOR5 LINKS", ""},     {"EINSCHALTEN MOTOR", ""},
        {"AUSSCHALTEN MOTOR0", ""},
    };
    for (const auto& [zeile, motoren] : schritte) {
        fenster.berichte.clear();
        const bool ein = std::string(Zeile(zeile).Kommando.data()) == "EINSCHALTEN";
        const bool abbruch = *motoren == '\0';
        EXPECT_EQ(
            EndeCode([&] { ein ? interpreter::Einschalten(kz) : interpreter::Ausschalten(kz); }),
            abbruch ? 12 : -1)
            << zeile;
        EXPECT_EQ(std::string(sim->Motoren().data(), 4), abbruch ? "NLRR" : motoren) << zeile;
        EXPECT_EQ(
            LetzterBericht(),
            abbruch ? Abbruch(ein ? "Einschalten" : "Ausschalten", "Motor n. definiert") : "");
    }
}

TEST_F(BefehlTest, NothaltArmsOnceThenStopsAllMotorsInOrderOrAbortsOnAnUnknownSwitch) {
    Starte("abfrage 2 schalter 3 an\n");
    interpreter::Einschalten(Zeile("EINSCHALTEN MOTOR2 LINKS"));
    interpreter::Nothalt(Zeile("NOTHALT SCHALTER3"));
    EXPECT_EQ(sim->Abfragen(), 0u);                    // arming reads nothing
    interpreter::Nothalt(Zeile("NOTHALT SCHALTER5"));  // armed: one check, switch 3 still open
    EXPECT_EQ(z.NothaltSchalter, 2);
    std::vector<std::string> gesehen;
    sim->SetzeBeobachter([&](const auto& m) { gesehen.emplace_back(m.begin(), m.end()); });
    EXPECT_EQ(EndeCode([&] { interpreter::Nothalt(kz); }), 12);
    EXPECT_EQ(gesehen, (std::vector<std::string>{"NRNN", "NNNN", "NNNN", "NNNN"}));
    EXPECT_EQ(LetzterBericht(), Abbruch("NOTHALT", "NOTAUS betaetigt!"));

    z.NothaltAktiv = 0;
    konsole.aus.clear();
    EXPECT_EQ(EndeCode([&] { interpreter::Nothalt(Zeile("NOTHALT SCHALTER1X A")); }), 12);
    EXPECT_EQ(konsole.aus, "NOTHALT SCHALTER1X A  \n");  // the line echoed first
    EXPECT_EQ(LetzterBericht(), Abbruch("GibSchalterIndex", "Unbekannter Schalter"));
}

TEST_F(BefehlTest, HeldSwitchCountsOnceAndCountsGoToTheCurrentLevel) {
    Starte(
        "start schalter 2 an\nabfrage 4 schalter 2 aus\nabfrage 5 schalter 2 an\n"
        "abfrage 6 schalter 7 an\n");
    z.Tracelevel = 4;
    kz.Stufe = 3;
    for (int i = 0; i < 4; ++i) {
        interpreter::Schalter(kz);  // reads 1..3: held, 4: released
    }
    kz.Stufe = 2;
    interpreter::Schalter(kz);  // read 5: pressed again, counted at level 2
    interpreter::Schalter(kz);  // read 6: switch 7 too
    EXPECT_EQ((std::vector{z.Klickzaehler[3][1], z.Klickzaehler[2][1], z.Klickzaehler[2][6]}),
              (std::vector{1, 1, 1}));
    EXPECT_EQ(konsole.aus,
              "Schalter 2 gedrueckt, 1 Klicks!\nSchalter 2 losgelassen\n"
              "Schalter 2 gedrueckt, 1 Klicks!\nSchalter 7 gedrueckt, 1 Klicks!\n");
}

// Ten slots, refreshed one per 201 calls; input 2 is not 0, as an empty slot is measured anew.
TEST_F(BefehlTest, AnalogAveragesTenSlotsAndFollowsTheInput) {
    Starte("start analog 1 100\nstart analog 2 40\nmessung 41 analog 1 800\n");
    z.Tracelevel = 4;
    EXPECT_EQ(interpreter::Analog(kz), 100);
    EXPECT_EQ(sim->Messungen(), 40u);
    z.Tracelevel = 3;
    for (int i = 2; i <= 200; ++i) {
        EXPECT_EQ(interpreter::Analog(kz), 100);
    }
    EXPECT_EQ(konsole.aus, "X: 0100 Y: 0040 Wert: 0140\n");
    EXPECT_EQ(interpreter::Analog(kz), 170);  // call 201 measures: one slot of ten is 800
    EXPECT_EQ(sim->Messungen(), 42u);
    for (int i = 0; i < 9; ++i) {
        interpreter::Analog(kz);
    }
    EXPECT_EQ(interpreter::Analog(kz), 800);
}

TEST_F(BefehlTest, AnalogMaxLearnsThenWaitsThenAborts) {
    Starte();
    kz.Stufe = 1;
    for (int aufruf = 1; aufruf <= 359; ++aufruf) {
        z.Durchlauf[1] = aufruf == 1 ? 0 : 1;
        EXPECT_EQ(interpreter::AnalogMax(kz, aufruf == 100 || aufruf == 359 ? 70 : 10), 0);
    }
    EXPECT_EQ(z.AnalogMaxWert, 70);
    EXPECT_EQ(interpreter::AnalogMax(kz, 69), 0);  // call 360
    EXPECT_EQ(interpreter::AnalogMax(kz, 70), 1);  // call 361
    while (z.AnalogMaxAufrufe < 750) {
        interpreter::AnalogMax(kz, 1);
    }
    EXPECT_EQ(EndeCode([&] { interpreter::AnalogMax(kz, 70); }), 12);  // call 751
    EXPECT_EQ(LetzterBericht(), Abbruch("AnalogMax", "Kein Maxwert gefunden!"));
}

class TraceGateTest : public BefehlTest, public ::testing::WithParamInterface<int> {};

TEST_P(TraceGateTest, EachMessageHasItsThreshold) {
    const int level = GetParam();
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt",
                  "TRACELEVEL " + std::to_string(level) +
                      "\nRUFE UP\nBIS ZEIT = 100000\nENDE\nEINSCHALTEN MOTOR1 LINKS\nEXIT\n"
                      "UNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n");
    Starte();
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({dir / "k.txt", dir / "p.txt"}); }), -1);
    interpreter::MotorAus();
    auto zeigt = [&](const char* text) { return konsole.aus.find(text) != std::string::npos; };
    EXPECT_EQ(zeigt("Stufe: 1 UP gerufen: UP\n"), level > 1);
    EXPECT_EQ(zeigt("Stufe 1; Zeitbaustein gesetzt: 100000\n"), level > 1);
    EXPECT_EQ(zeigt("MOTORAUS\n"), level > 3);
    EXPECT_EQ(zeigt("EINSCHALTEN MOTOR1 LINKS 100000\n"), level > 4);
}

INSTANTIATE_TEST_SUITE_P(Stufen, TraceGateTest, ::testing::Values(1, 2, 3, 4, 5));

}  // namespace
}  // namespace taktler::test
