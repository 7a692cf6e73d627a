// The motor, emergency-stop, sound and sensing commands, in-process on the
// simulated interface.
#include <gtest/gtest.h>

#include <string>

#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interface_testport.h"
#include "interpreter/motorbefehle.h"
#include "interpreter/sensorik.h"
#include "interpreter/taktler.h"
#include "interpreter/zustand.h"
#include "services/kxsound.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

using interpreter::Kommandozeile;

class StummesGeraet : public services::Soundgeraet {
  public:
    void Spiele(const std::string& pfad) override { gespielt.push_back(pfad); }
    std::vector<std::string> gespielt;
};

// A simulated interface with a scenario, reset interface record and an
// executed level 0.
class BefehlTest : public PortTest {
  protected:
    void Starte(const std::string& szenario = "") {
        auto s = interface::ParseSzenario(szenario, "s.txt");
        ASSERT_TRUE(s.Ok()) << s.fehler;
        sim = std::make_unique<interface::Simulator>(s.ereignisse);
        Installiere(*sim);
        interpreter::Zustand().Interface = &interpreter::Zustand().interfaceDS;
        interface::InterfaceInit(*interpreter::Zustand().Interface);
        kz.Ausfuehren[0] = 1;
        services::SetzeSoundgeraet(&geraet);
    }
    void TearDown() override {
        services::SetzeSoundgeraet(nullptr);
        PortTest::TearDown();
    }
    void Zeile(const char* text) {
        std::string zeile = text;
        interpreter::ParseKommandozeile(zeile.data(), &kz);
    }
    std::string Motoren() const {
        auto m = sim->Motoren();
        return std::string(m.begin(), m.end());
    }

    std::unique_ptr<interface::Simulator> sim;
    Kommandozeile kz;
    StummesGeraet geraet;
};

struct RichtungsFall {
    const char* zeile;
    const char* motoren;
};

class RichtungTest : public BefehlTest, public ::testing::WithParamInterface<RichtungsFall> {};

TEST_P(RichtungTest, LinksGivesRAndEveryOtherWordGivesL) {
    Starte();
    Zeile(GetParam().zeile);
    interpreter::Einschalten(kz);
    EXPECT_EQ(Motoren(), GetParam().motoren);
}

INSTANTIATE_TEST_SUITE_P(Woerter, RichtungTest,
                         ::testing::Values(RichtungsFall{"EINSCHALTEN MOTOR1 LINKS", "RNNN"},
                                           RichtungsFall{"EINSCHALTEN MOTOR2 RECHTS", "NLNN"},
                                           RichtungsFall{"einschalten motor3 links", "NNRN"},
                                           RichtungsFall{"EINSCHALTEN MOTOR4 VORWAERTS", "NNNL"},
                                           RichtungsFall{"EINSCHALTEN MOTOR4", "NNNL"}));

TEST_F(BefehlTest, MissingDirectionTakesTheWordOfAnEarlierLine) {
    Starte();
    Zeile("EINSCHALTEN MOTOR1 LINKS");
    interpreter::Einschalten(kz);
    Zeile("EINSCHALTEN MOTOR2");
    interpreter::Einschalten(kz);
    EXPECT_EQ(Motoren(), "RRNN");
    Zeile("AUSSCHALTEN MOTOR1");
    interpreter::Ausschalten(kz);
    EXPECT_EQ(Motoren(), "NRNN");
}

struct MotorFehler {
    const char* zeile;
    bool ein;
    const char* bericht;
};

class MotorFehlerTest : public BefehlTest, public ::testing::WithParamInterface<MotorFehler> {};

TEST_P(MotorFehlerTest, UnknownMotorAbortsAndLeavesTheMotors) {
    Starte();
    Zeile("EINSCHALTEN MOTOR3 RECHTS");
    interpreter::Einschalten(kz);
    Zeile(GetParam().zeile);
    EXPECT_EQ(EndeCode([&] {
                  GetParam().ein ? interpreter::Einschalten(kz) : interpreter::Ausschalten(kz);
              }),
              12);
    EXPECT_EQ(LetzterBericht(), GetParam().bericht);
    EXPECT_EQ(Motoren(), "NNLN");
}

INSTANTIATE_TEST_SUITE_P(
    Namen, MotorFehlerTest,
    ::testing::Values(
        MotorFehler{
            "EINSCHALTEN MOTOR5 LINKS", true,
            "Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: Motor n. definiert"},
        MotorFehler{
            "EINSCHALTEN MOTOR", true,
            "Modul: TAKTLER 091200, Funktion: Einschalten, Programmabbruch: Motor n. definiert"},
        MotorFehler{
            "AUSSCHALTEN MOTOR0", false,
            "Modul: TAKTLER 091200, Funktion: Ausschalten, Programmabbruch: Motor n. definiert"}));

TEST_F(BefehlTest, UnknownSwitchEchoesTheLineThenAborts) {
    Starte();
    for (const char* name : {"SCHALTER9", "SCHALTER1X", "schalter1"}) {
        konsole.aus.clear();
        interpreter::Zustand().NothaltAktiv = 0;
        Kommandozeile neu;
        kz = neu;
        interpreter::Kopiere(kz.Kommando, "NOTHALT");
        interpreter::Kopiere(kz.Parameter1, name);
        interpreter::Kopiere(kz.Parameter2, "A");
        EXPECT_EQ(EndeCode([&] { interpreter::Nothalt(kz); }), 12) << name;
        EXPECT_EQ(konsole.aus, std::string("NOTHALT ") + name + " A  \n");
        EXPECT_EQ(LetzterBericht(),
                  "Modul: TAKTLER 091200, Funktion: GibSchalterIndex, Programmabbruch: Unbekannter "
                  "Schalter");
    }
}

TEST_F(BefehlTest, NothaltArmsOnceAndStopsAllMotorsInOrder) {
    Starte("abfrage 2 schalter 3 an\n");
    Zeile("EINSCHALTEN MOTOR2 LINKS");
    interpreter::Einschalten(kz);
    Zeile("NOTHALT SCHALTER3");
    interpreter::Nothalt(kz);
    EXPECT_EQ(sim->Abfragen(), 0u);  // arming reads nothing
    Zeile("NOTHALT SCHALTER5");
    interpreter::Nothalt(kz);  // armed: one check, switch 3 still open
    EXPECT_EQ(interpreter::Zustand().NothaltSchalter, 2);
    auto rahmenVorher = sim->Rahmen();
    EXPECT_EQ(EndeCode([&] { interpreter::Nothalt(kz); }), 12);
    EXPECT_EQ(sim->Rahmen() - rahmenVorher, 4u);
    EXPECT_EQ(Motoren(), "NNNN");
    EXPECT_EQ(LetzterBericht(),
              "Modul: TAKTLER 091200, Funktion: NOTHALT, Programmabbruch: NOTAUS betaetigt!");
}

TEST_F(BefehlTest, HeldSwitchCountsOnceAndCountsGoToTheCurrentLevel) {
    Starte(
        "start schalter 2 an\nabfrage 4 schalter 2 aus\nabfrage 5 schalter 2 an\n"
        "abfrage 6 schalter 7 an\n");
    interpreter::Zustand().Tracelevel = 4;
    kz.Stufe = 3;
    for (int i = 0; i < 3; ++i) {
        interpreter::Schalter(kz);  // reads 1..3: held
    }
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[3][1], 1);
    interpreter::Schalter(kz);  // read 4: released
    kz.Stufe = 2;
    interpreter::Schalter(kz);  // read 5: pressed again, counted at level 2
    interpreter::Schalter(kz);  // read 6: switch 7 too
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[3][1], 1);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[2][1], 1);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[2][6], 1);
    EXPECT_EQ(konsole.aus,
              "Schalter 2 gedrueckt, 1 Klicks!\nSchalter 2 losgelassen\n"
              "Schalter 2 gedrueckt, 1 Klicks!\nSchalter 7 gedrueckt, 1 Klicks!\n");
}

TEST_F(BefehlTest, FirstAnalogCallMeasuresAllTwentySlots) {
    Starte("start analog 1 100\nstart analog 2 40\n");
    interpreter::Zustand().Tracelevel = 4;
    EXPECT_EQ(interpreter::Analog(kz), 100);
    EXPECT_EQ(sim->Messungen(), 40u);  // twenty LiesAnalog, two measurements each
    EXPECT_EQ(konsole.aus, "X: 0100 Y: 0040 Wert: 0140\n");
    EXPECT_EQ(interpreter::Analog(kz), 100);
    EXPECT_EQ(sim->Messungen(), 40u);  // nothing empty, no refresh yet
}

TEST_F(BefehlTest, AnalogRefreshesEvery201CallsAndTheAverageFollows) {
    // Input 2 must not read 0: an empty slot is measured again on every call.
    Starte("start analog 1 100\nstart analog 2 40\nmessung 41 analog 1 800\n");
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(interpreter::Analog(kz), 100);
    }
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
    interpreter::Zustand().Durchlauf[1] = 0;
    EXPECT_EQ(interpreter::AnalogMax(kz, 50), 0);
    interpreter::Zustand().Durchlauf[1] = 1;
    for (int aufruf = 2; aufruf <= 358; ++aufruf) {
        EXPECT_EQ(interpreter::AnalogMax(kz, aufruf == 100 ? 70 : 10), 0);
    }
    EXPECT_EQ(interpreter::AnalogMax(kz, 70), 0);  // call 359 still learns, even a hit
    EXPECT_EQ(interpreter::Zustand().AnalogMaxWert, 70);
    EXPECT_EQ(interpreter::AnalogMax(kz, 69), 0);  // call 360
    EXPECT_EQ(interpreter::AnalogMax(kz, 70), 1);  // call 361
    while (interpreter::Zustand().AnalogMaxAufrufe < 750) {
        interpreter::AnalogMax(kz, 1);
    }
    EXPECT_EQ(EndeCode([&] { interpreter::AnalogMax(kz, 70); }), 12);  // call 751
    EXPECT_EQ(
        LetzterBericht(),
        "Modul: TAKTLER 091200, Funktion: AnalogMax, Programmabbruch: Kein Maxwert gefunden!");
}

TEST_F(BefehlTest, SchalterInitAndSetzeEchoTheLine) {
    Starte();
    interpreter::Zustand().Tracelevel = 4;
    kz.Stufe = 2;
    Zeile("BIS SCHALTER4 = 17");
    interpreter::Setze(kz);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[2][3], 17);
    interpreter::SchalterInit(kz);
    EXPECT_EQ(interpreter::Zustand().Klickzaehler[2][3], 0);
    EXPECT_EQ(konsole.aus,
              "BIS SCHALTER4 = 17 ---> 17 gesetzt\nBIS SCHALTER4 = 17 ---> 0 gesetzt\n");
}

TEST_F(BefehlTest, SoundPlaysThePathAndLeavesNoObjectBehind) {
    Starte();
    interpreter::Zustand().Tracelevel = 4;
    kz.Stufe = 1;
    Zeile("SOUND C:\\KLANG\\GONG.WAV");
    interpreter::Sound(kz);
    ASSERT_EQ(geraet.gespielt.size(), 1u);
    EXPECT_EQ(geraet.gespielt[0], "C:\\KLANG\\GONG.WAV");
    EXPECT_EQ(interpreter::Zustand().Soundbausteine[1], nullptr);
    EXPECT_EQ(konsole.aus, "Stufe 1; Soundbaustein gesetzt: C:\\KLANG\\GONG.WAV\n");
}

// Which progress messages each trace level shows.
struct GateFall {
    int level;
    bool rufe;      // > 1
    bool zeit;      // > 1
    bool motoraus;  // > 3
    bool echo;      // > 4
};

class TraceGateTest : public BefehlTest, public ::testing::WithParamInterface<GateFall> {};

TEST_P(TraceGateTest, EachMessageHasItsThreshold) {
    const GateFall& f = GetParam();
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt",
                  "TRACELEVEL " + std::to_string(f.level) +
                      "\nRUFE UP\nBIS ZEIT = 100000\nENDE\nEINSCHALTEN MOTOR1 LINKS\nEXIT\n"
                      "UNTERPROGRAMM UP\nENDE_UNTERPROGRAMM\n");
    Starte();
    EXPECT_EQ(EndeCode([&] { interpreter::Programmlauf({dir / "k.txt", dir / "p.txt"}); }), -1);
    interpreter::MotorAus();
    const std::string& aus = konsole.aus;
    EXPECT_EQ(aus.find("Stufe: 1 UP gerufen: UP\n") != std::string::npos, f.rufe);
    EXPECT_EQ(aus.find("Stufe 1; Zeitbaustein gesetzt: 100000\n") != std::string::npos, f.zeit);
    EXPECT_EQ(aus.find("EINSCHALTEN MOTOR1 LINKS 100000\n") != std::string::npos, f.echo);
    EXPECT_EQ(aus.find("MOTORAUS\n") != std::string::npos, f.motoraus);
}

INSTANTIATE_TEST_SUITE_P(Stufen, TraceGateTest,
                         ::testing::Values(GateFall{1, false, false, false, false},
                                           GateFall{2, true, true, false, false},
                                           GateFall{3, true, true, false, false},
                                           GateFall{4, true, true, true, false},
                                           GateFall{5, true, true, true, true}));

}  // namespace
}  // namespace taktler::test
