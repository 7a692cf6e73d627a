// Motor, emergency-stop and sensing commands on the simulated interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interface_testport.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/sensorik.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

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
