#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface_testport.h"

namespace taktler::test {
namespace {

using namespace interface;

// The 24 writes of a frame as the device expects them, most significant bit first.
std::vector<unsigned> Rahmen(unsigned motorbyte) {
    std::vector<unsigned> bytes;
    for (int k = 7; k >= 0; --k) {
        const bool eins = ((motorbyte >> k) & 1) != 0;
        const unsigned schluss = k == 0 ? (eins ? 0xFF : 0xFB) : (eins ? 0xF6 : 0xF2);
        bytes.insert(bytes.end(), {eins ? 0xF6u : 0xF2u, eins ? 0xFEu : 0xFAu, schluss});
    }
    return bytes;
}

std::string Text(const std::array<char, 4>& a) {
    return std::string(a.begin(), a.end());
}

class ProtokollTest : public PortTest {
  protected:
    void SetUp() override {
        PortTest::SetUp();
        Installiere(port);
    }
    AufnahmePort port;
    InterfaceDS ds;
};

struct RahmenFall {
    std::array<char, 4> motoren;
    unsigned motorbyte;
};
void PrintTo(const RahmenFall& f, std::ostream* os) {
    *os << std::string(f.motoren.begin(), f.motoren.end());
}

class MotorRahmenTest : public ProtokollTest, public ::testing::WithParamInterface<RahmenFall> {};

TEST_P(MotorRahmenTest, FrameCarriesTheMotorByte) {
    ds.Motoren = GetParam().motoren;
    SendeMotoren(ds);
    EXPECT_EQ(port.zugriffe.size(), 24u);
    EXPECT_EQ(port.Bytes(), Rahmen(GetParam().motorbyte));
}

// All off, motor 1 L, motor 4 R, motor 2 L + motor 3 R; '0' and unknown characters send off.
INSTANTIATE_TEST_SUITE_P(Beispiele, MotorRahmenTest,
                         ::testing::Values(RahmenFall{{'N', 'N', 'N', 'N'}, 0x00},
                                           RahmenFall{{'L', 'N', 'N', 'N'}, 0x01},
                                           RahmenFall{{'N', 'N', 'N', 'R'}, 0x80},
                                           RahmenFall{{'N', 'L', 'R', 'N'}, 0x24},
                                           RahmenFall{{'R', 'R', 'L', 'L'}, 0x5A},
                                           RahmenFall{{'0', 'l', 'x', '0'}, 0x00}));

TEST_F(ProtokollTest, InitResetsTheRecordAndSendsFourOffFrames) {
    ds = {{'L', 'R', 'L', 'R'}, {'1', '1', '1', '1', '1', '1', '1', '1'}, 5, 7};
    InterfaceInit(ds);
    EXPECT_EQ(Text(ds.Motoren), "NNNN");
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000000");
    EXPECT_EQ(ds.Analog1 + ds.Analog2, 0);
    std::vector<unsigned> erwartet;
    for (int i = 0; i < 4; ++i) {
        auto r = Rahmen(0x00);
        erwartet.insert(erwartet.end(), r.begin(), r.end());
    }
    EXPECT_EQ(port.zugriffe.size(), 96u);  // nothing read, nothing measured
    EXPECT_EQ(port.Bytes(), erwartet);
}

// Repeats send again, L to R goes without a stop frame, a stop keeps the others running.
TEST_F(ProtokollTest, MotorOperationsSendTheWholeStateEveryTime) {
    ds.Motoren = {'N', 'N', 'N', 'N'};
    MotorLinks(ds, 1);
    MotorLinks(ds, 1);
    MotorLinks(ds, 2);
    MotorRechts(ds, 2);
    MotorLinks(ds, 4);
    MotorStop(ds, 3);
    std::vector<unsigned> erwartet;
    for (unsigned m : {0x01u, 0x01u, 0x05u, 0x09u, 0x49u, 0x49u}) {
        auto r = Rahmen(m);
        erwartet.insert(erwartet.end(), r.begin(), r.end());
    }
    EXPECT_EQ(port.Bytes(), erwartet);
    EXPECT_EQ(Text(ds.Motoren), "LRNL");
}

TEST_F(ProtokollTest, MotorNumberOutsideOneToFourChangesAndSendsNothing) {
    ds.Motoren = {'N', 'N', 'N', 'N'};
    for (int motor : {0, 5, -1}) {
        MotorLinks(ds, motor);
        MotorRechts(ds, motor);
        MotorStop(ds, motor);
    }
    EXPECT_TRUE(port.zugriffe.empty());
    EXPECT_EQ(Text(ds.Motoren), "NNNN");
}

// Only the first read shows 0x20: that is switch input 8. Other status bits do not count.
TEST_F(ProtokollTest, InputReadWritesSeventeenBytesAndReadsEight) {
    port.status = [](int i) { return static_cast<std::uint8_t>(i == 0 ? 0x20 : 0xDF); };
    LiesEingaenge(ds);
    std::vector<Zugriff> erwartet = {{Zugriff::Byte, 0x02},
                                     {Zugriff::Byte, 0x0A},
                                     {Zugriff::Byte, 0x00},
                                     {Zugriff::Lesen, 0x20}};
    for (int i = 0; i < 7; ++i) {
        erwartet.insert(erwartet.end(),
                        {{Zugriff::Byte, 0x08}, {Zugriff::Byte, 0x00}, {Zugriff::Lesen, 0xDF}});
    }
    EXPECT_EQ(port.zugriffe, erwartet);
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000001");
}

std::uint8_t Hoch(bool h) {
    return h ? 0x10 : 0x00;
}

struct AnalogFall {
    const char* name;
    std::function<std::uint8_t(int)> signal;
    std::int32_t ergebnis;
};
void PrintTo(const AnalogFall& f, std::ostream* os) {
    *os << f.name;
}

class AnalogTest : public ProtokollTest, public ::testing::WithParamInterface<AnalogFall> {};

TEST_P(AnalogTest, CountsRisingEdgesAfterALowSampleWithInterruptionsHeldOff) {
    port.status = GetParam().signal;
    EXPECT_EQ(MesseAnalog(0xFB, 0xE1), GetParam().ergebnis);
    ASSERT_EQ(port.zugriffe.size(), 4u + 4999u + 1u);
    const std::vector<Zugriff> anfang(port.zugriffe.begin(), port.zugriffe.begin() + 4);
    EXPECT_EQ(anfang, (std::vector<Zugriff>{{Zugriff::Cli, 0},
                                            {Zugriff::Wort, 0x00FB},
                                            {Zugriff::Wort, 0x00E1},
                                            {Zugriff::Wort, 0x00FB}}));
    EXPECT_EQ(port.zugriffe.back(), (Zugriff{Zugriff::Sti, 0}));
    EXPECT_EQ(port.lesungen, 4999);
}

INSTANTIATE_TEST_SUITE_P(
    Signale, AnalogTest,
    ::testing::Values(AnalogFall{"SteadyLow", [](int) { return Hoch(false); }, 0},
                      AnalogFall{"SteadyHigh", [](int) { return std::uint8_t{0xFF}; }, 0},
                      AnalogFall{"HighThenOneLowPhase",
                                 [](int i) { return Hoch(i < 10 || i >= 20); }, 1},
                      AnalogFall{"MostEdges", [](int i) { return Hoch(i % 2 == 1); }, 2499},
                      AnalogFall{"EdgeOnLastSample", [](int i) { return Hoch(i == 4998); }, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtokollTest, LiesAnalogMeasuresInputOneThenTwo) {
    port.status = [](int i) { return Hoch(i < 4999 ? i < 6 && i % 2 == 1 : i % 2 == 0); };
    LiesAnalog(ds);
    EXPECT_EQ(ds.Analog1, 3);
    EXPECT_EQ(ds.Analog2, 2499);
    std::vector<unsigned> worte;
    for (const auto& z : port.zugriffe) {
        if (z.art == Zugriff::Wort) {
            worte.push_back(z.wert);
        }
    }
    EXPECT_EQ(worte, (std::vector<unsigned>{0xFB, 0xE1, 0xFB, 0xFB, 0xD1, 0xFB}));
}

TEST_F(ProtokollTest, LevelVariantCountsLowSamples) {
    port.status = [](int i) { return Hoch(i >= 100); };
    ds.Analog2 = 77;
    MesseAnalogPegel(ds, 2);
    EXPECT_EQ(ds.Analog2, 100);
    EXPECT_EQ(port.lesungen, 999);
    EXPECT_EQ(port.Bytes(), (std::vector<unsigned>{0xFB, 0xD1, 0xFB}));
    EXPECT_EQ(port.zugriffe.back(), (Zugriff{Zugriff::Sti, 0}));
}

class BitnummerTest : public ProtokollTest, public ::testing::WithParamInterface<int> {};

TEST_P(BitnummerTest, OutsideOneToEightEndsWith99WithoutAMessage) {
    EXPECT_EQ(EndeCode([] { SetzeBit(0, GetParam()); }), 99);
    EXPECT_EQ(EndeCode([] { LoescheBit(0xFF, GetParam()); }), 99);
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_TRUE(konsole.fehler.empty());
}

INSTANTIATE_TEST_SUITE_P(Grenzen, BitnummerTest, ::testing::Values(0, 9, -1));

TEST_F(PortTest, WithoutAPortWritesVanishAndReadsGiveZero) {
    InterfaceDS ds;
    ds.Eingaenge.fill('1');
    LiesEingaenge(ds);
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000000");
    EXPECT_EQ(MesseAnalog(0xFB, 0xE1), 0);
}

}  // namespace
}  // namespace taktler::test
