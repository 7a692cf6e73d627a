// The live panel without a terminal: its parts, and whole runs in-process on
// a stand-in screen that types keys once the screen shows what they wait for.
#include "panel/panel.h"

#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "interface/port.h"
#include "interface/simulator.h"
#include "interface_testport.h"
#include "panel/ablage.h"
#include "panel/bedienung.h"
#include "panel/bild.h"
#include "services/unterbrechung.h"
#include "testdateien.h"
#include "testumgebung.h"

namespace taktler::test {
namespace {

using namespace panel;

std::string Text(const Bild& bild) {
    std::string s;
    for (const auto& z : bild.zeilen) {
        s += z.text + "\n";
    }
    return s;
}

// ---- parts ----

TEST(PanelTeile, DisplayTextIsCleanUtf8) {
    const std::vector<std::pair<std::string, std::string>> faelle = {
        {"Quelldatei \xF6"
         "ffnen",
         "Quelldatei \xC3\xB6"
         "ffnen"},  // Latin-1 converted
        {"gr\xC3\xBC\xC3\x9F"
         "e",
         "gr\xC3\xBC\xC3\x9F"
         "e"},  // UTF-8 kept
        {"a\tb", "a       b"},
        {"ab\r", "ab"},
        {"x\x1B[2Jy", "x?[2Jy"},  // no escape sequence reaches the terminal
        {"\x85", "?"},            // a C1 control from a Latin-1 byte
    };
    for (const auto& [roh, erwartet] : faelle) {
        EXPECT_EQ(Anzeigetext(roh), erwartet) << roh;
    }
    EXPECT_EQ(Spalten("gr\xC3\xBC\xC3\x9F"
                      "e"),
              5u);
    EXPECT_EQ(ErsteSpalten("\xC3\xB6\xC3\xB6\xC3\xB6", 2), "\xC3\xB6\xC3\xB6");
}

TEST(PanelTeile, PaneKeepsTheNewestLinesAndTheOpenOne) {
    Ablage ablage(3);
    ablage.Anhaengen("eins\nzwei\ndr");
    ablage.Anhaengen("ei\nvier\nWeiter: ");
    EXPECT_EQ(std::vector<std::string>(ablage.Zeilen().begin(), ablage.Zeilen().end()),
              (std::vector<std::string>{"zwei", "drei", "vier"}));
    EXPECT_EQ(ablage.Offen(), "Weiter: ");
}

TEST(PanelTeile, TranscriptReplaysInOrderAndSaysWhatItDropped) {
    Mitschrift voll;
    voll.Anhaengen(Strom::Fehler, "TAKTLER 091200\n");
    voll.Anhaengen(Strom::Aus, "a\n");
    voll.Anhaengen(Strom::Echo, "w\n");
    voll.Anhaengen(Strom::Fehler, "[ABBRUCH] x\n");
    TestKonsole k;
    voll.Abspielen(k);
    EXPECT_EQ(k.aus, "a\nw\n");
    EXPECT_EQ(k.fehler, "TAKTLER 091200\n[ABBRUCH] x\n");

    Mitschrift knapp(10);
    knapp.Anhaengen(Strom::Aus, std::string(8, 'x'));
    knapp.Anhaengen(Strom::Fehler, "ende\n");
    TestKonsole k2;
    knapp.Abspielen(k2);
    EXPECT_EQ(k2.aus, "");
    EXPECT_EQ(k2.fehler, "taktler: Ausgabe gekuerzt, die ersten 8 Bytes fehlen\nende\n");
}

TEST(PanelTeile, PauseTakesOneWordLikeStandardInput) {
    struct Fall {
        std::string vorrat;
        bool ende;
        bool wort;
        std::string rest;
    };
    for (const Fall& f : std::vector<Fall>{{"\n", false, false, ""},
                                           {"  \n weiter\n", false, true, ""},
                                           {"a b\n", false, true, "b\n"},
                                           {"halb", false, false, "halb"},
                                           {"halb", true, true, ""},
                                           {"", true, false, ""}}) {
        std::string vorrat = f.vorrat;
        EXPECT_EQ(NimmWort(vorrat, f.ende), f.wort) << f.vorrat;
        EXPECT_EQ(vorrat, f.rest) << f.vorrat;
    }
    for (const auto& [zeile, ok] : std::vector<std::pair<std::string, bool>>{
             {"o\n", true}, {"  OK\n", true}, {"a\n", false}, {"\n", false}, {"", false}}) {
        EXPECT_EQ(IstOk(zeile), ok) << zeile;
    }
}

TEST(PanelTeile, KeysActOnTheModel) {
    interface::Simulator sim;
    Bedienung b(&sim);
    b.Taste('3', false);
    b.Taste('8', false);
    b.Taste('3', false);
    EXPECT_EQ(sim.Schalter(),
              (std::array<bool, 8>{false, false, false, false, false, false, false, true}));
    for (int i = 0; i < 30; ++i) {
        b.Taste(taste::kBildHoch, false);  // stops at the model's top value
    }
    b.Taste(taste::kRunter, false);
    EXPECT_EQ(sim.AnalogWert(1), 2489);
    b.Taste(taste::kTab, false);
    b.Taste(taste::kHoch, false);
    b.Taste(taste::kBildRunter, false);  // never below 0
    EXPECT_EQ(sim.AnalogWert(2), 0);
    EXPECT_EQ(b.Auswahl(), 2);

    // Typing counts only while the run waits; digits 1-8 stay switch keys.
    b.Taste('x', false);
    for (int t : std::vector<int>{'w', '1', 'e', 'g', taste::kRueck, taste::kEnter}) {
        b.Taste(t, true);
    }
    ASSERT_TRUE(b.eingabe().abgeschickt.has_value());
    EXPECT_EQ(*b.eingabe().abgeschickt, "we");
    EXPECT_TRUE(sim.Schalter()[0]);
}

TEST(PanelTeile, ScreenShowsMotorsSwitchesAnalogAndTheRunningLine) {
    Momentaufnahme m;
    m.kommandodatei = "k.txt";
    m.motoren = {'L', 'R', 'N', 'N'};
    m.dauerMs = {1500, 260, 0, 123456};
    m.schalter[1] = true;
    m.analog = {400, 40};
    m.zeilennummer = 17;
    m.zeilentext = "BIS ANALOG1 > 300";
    m.stufe = 1;
    m.tracelevel = 3;
    m.nothalt = true;
    m.nothaltSchalter = 8;
    Ablage ablage;
    ablage.Anhaengen("TAKTLER 091200\n" + std::string(130, 'x') + "\n");
    Bild bild = Zeichne(m, ablage, 80, 24);
    ASSERT_EQ(bild.zeilen.size(), 24u);
    for (const auto& z : bild.zeilen) {
        EXPECT_EQ(Spalten(z.text), 80u) << z.text;
    }
    std::string t = Text(bild);
    for (const char* teil :
         {"Tracelevel 3", "Zeile 17: BIS ANALOG1 > 300", "Stufe 1", "scharf auf SCHALTER8",
          "MOTOR1 <<< L links     1.5 s", "MOTOR2 rechts R >>>    0.3 s",
          "MOTOR4     aus       123.5 s", "2 [X] zu", "1 [ ] offen", "> ANALOG1  400",
          "ANALOG2   40", "TAKTLER 091200", "Esc Stopp"}) {
        EXPECT_NE(t.find(teil), std::string::npos) << teil << "\n" << t;
    }
    // A long console line wraps instead of being cut.
    EXPECT_NE(t.find(std::string(80, 'x') + "\n" + std::string(50, 'x')), std::string::npos);
    EXPECT_EQ(bild.cursorZeile, -1);

    m.wartet = true;
    m.eingabe = "wei";
    ablage.Anhaengen("Weiter: ");
    bild = Zeichne(m, ablage, 80, 24);
    EXPECT_NE(Text(bild).find("Weiter: wei"), std::string::npos);
    EXPECT_EQ(bild.cursorSpalte, 11);

    EXPECT_NE(Text(Zeichne(m, ablage, 79, 24)).find("Terminal zu klein"), std::string::npos);
}

// ---- whole runs on a stand-in screen ----

// A clock that moves on whenever the panel looks at it, so that every
// chance to redraw is taken.
class TickUhr : public TestUhr {
  public:
    std::uint64_t MonotonMs() override {
        ms += 10;
        return TestUhr::MonotonMs();
    }
};

// Gives each key once the screen shows its text.
class TestSchirm : public Bildschirm {
  public:
    explicit TestSchirm(TestUhr& uhr) : uhr_(uhr) {}
    void Zeige(const Bild& bild) override { letztes = Text(bild); }
    int LiesTaste(int wartezeitMs) override {
        if (!tasten.empty() && letztes.find(tasten.front().first) != std::string::npos) {
            int t = tasten.front().second;
            tasten.pop_front();
            return t;
        }
        uhr_.ms += wartezeitMs;
        if (wartezeitMs > 0 && ++leer > 10000) {
            throw std::runtime_error("the panel waits for a key the test never gives:\n" + letztes);
        }
        return taste::kKeine;
    }
    int Breite() const override { return 100; }
    int Hoehe() const override { return 30; }
    void Schliessen() override { ++geschlossen; }

    std::deque<std::pair<std::string, int>> tasten;
    std::string letztes;
    int geschlossen = 0;
    int leer = 0;

  private:
    TestUhr& uhr_;
};

class PanelLaufTest : public TaktlerTest {
  protected:
    void SetUp() override {
        TaktlerTest::SetUp();
        services::Umwelt().uhr = &tickUhr;
        interface::SetzePort(&sim);
    }
    void TearDown() override {
        interface::SetzePort(nullptr);
        services::LoescheUnterbrechung();
        TaktlerTest::TearDown();
    }
    int Lauf(const std::string& kommandos) {
        SchreibeDatei(dir / "k.txt", kommandos);
        return EndeCode([&] { PanelLauf(schirm, &sim, {dir / "k.txt", dir / "p.txt"}); });
    }
    void Tippe(const std::string& wenn, const std::string& text) {
        for (char c : text) {
            schirm.tasten.emplace_back(wenn, c);
        }
    }

    TempVerzeichnis dir;
    interface::Simulator sim;
    TickUhr tickUhr;
    TestSchirm schirm{tickUhr};
};

TEST_F(PanelLaufTest, KeysCloseTheSwitchLoopAndAnswerThePause) {
    Tippe("druecken...", "w\n");
    schirm.tasten.emplace_back("0 gesetzt", '3');
    schirm.tasten.emplace_back("1 Klicks!", '3');
    schirm.tasten.emplace_back("losgelassen", '3');
    schirm.tasten.emplace_back("Lauf beendet (Exit-Code 0)", 'q');
    EXPECT_EQ(Lauf("PAUSE P\nEINSCHALTEN MOTOR1\nBIS SCHALTER3 = 2\nENDE_BIS\n"), -1);
    EXPECT_TRUE(schirm.tasten.empty());
    EXPECT_EQ(schirm.geschlossen, 1);
    // What the run printed, after the panel closed, with the typed answer.
    EXPECT_EQ(konsole.fehler, "TAKTLER 091200\n");
    EXPECT_EQ(konsole.aus,
              "19000100.00:00:00;P;\nWeiter: Beliebiges Zeichen eingeben und ENTER druecken...w\n"
              "BIS SCHALTER3 = 2 ---> 0 gesetzt\nSchalter 3 gedrueckt, 1 Klicks!\n"
              "Schalter 3 losgelassen\nSchalter 3 gedrueckt, 2 Klicks!\nStufe 1; Klicks erreicht\n"
              "TAKTLER 091200 ENDE : am 00.01.1900 um 00.00.00\n");
    EXPECT_EQ(sim.Motoren(), (interface::Simulator::Motorzustand{'L', 'N', 'N', 'N'}));
    // The seams are the test's own again.
    EXPECT_EQ(&services::DieKonsole(), &konsole);
}

// On a real port the panel shows what the interface reports; the switch
// keys change nothing there, Esc still stops the run.
TEST_F(PanelLaufTest, OnARealPortShowsTheInterfaceAndEscStops) {
    AufnahmePort port;
    port.status = [](int lesung) { return lesung % 8 == 6 ? 0x20 : 0x00; };  // switch 2 closed
    interface::SetzePort(&port);
    SchreibeDatei(dir / "k.txt", "EINSCHALTEN MOTOR1\nBIS SCHALTER3 = 1\nENDE_BIS\n");
    schirm.tasten.emplace_back("MOTOR1 <<< L links", '3');
    schirm.tasten.emplace_back("2 [X] zu", taste::kEsc);
    EXPECT_EQ(EndeCode([&] {
                  PanelLauf(schirm, nullptr, {dir / "k.txt", dir / "p.txt"});
              }),
              128 + SIGINT);
    EXPECT_TRUE(schirm.tasten.empty());
    EXPECT_NE(schirm.letztes.find(kHilfezeileEchterPort), std::string::npos) << schirm.letztes;
    EXPECT_NE(schirm.letztes.find("3 [ ] offen"), std::string::npos) << schirm.letztes;
    EXPECT_EQ(konsole.aus.find("Schalter 3 gedrueckt"), std::string::npos) << konsole.aus;
    EXPECT_NE(konsole.fehler.find("TAKTLER unterbrochen (SIGINT)"), std::string::npos);
}

class PanelWarnungTest : public PanelLaufTest,
                         public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(PanelWarnungTest, WarningIsAnsweredInThePanel) {
    auto [antwort, weiter] = GetParam();
    Tippe("[o/a]", antwort);
    schirm.tasten.emplace_back("Lauf abgebrochen (Exit-Code 12)", taste::kEnter);
    // INFO without a name: SetzePfad warns; going on, the read aborts.
    EXPECT_EQ(Lauf("INFO\n"), 12);
    EXPECT_NE(konsole.fehler.find("[WARNUNG] Modul: DATEI 151100"), std::string::npos);
    EXPECT_NE(konsole.aus.find(std::string("OK oder Abbrechen? [o/a] ") + antwort),
              std::string::npos);
    EXPECT_EQ(konsole.fehler.find("Kein Pfad angegeben") != std::string::npos, weiter)
        << konsole.fehler;
    EXPECT_EQ(schirm.geschlossen, 1);
}

INSTANTIATE_TEST_SUITE_P(Antworten, PanelWarnungTest,
                         ::testing::Values(std::make_pair("o\n", true),
                                           std::make_pair("a\n", false)));

}  // namespace
}  // namespace taktler::test
