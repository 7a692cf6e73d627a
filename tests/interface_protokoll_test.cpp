#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface_testport.h"

namespace taktler::test {
namespace {

using namespace interface;

// The three writes of one bit as the device expects them.
std::vector<unsigned> Bit(bool eins, bool letztes) {
    if (eins) {
        return {0xF6, 0xFE, letztes ? 0xFFu : 0xF6u};
    }
    return {0xF2, 0xFA, letztes ? 0xFBu : 0xF2u};
}

// A whole frame for a motor byte, most significant bit first.
std::vector<unsigned> Rahmen(unsigned motorbyte) {
    std::vector<unsigned> bytes;
    for (int k = 7; k >= 0; --k) {
        auto bit = Bit(((motorbyte >> k) & 1) != 0, k == 0);
        bytes.insert(bytes.end(), bit.begin(), bit.end());
    }
    return bytes;
}

InterfaceDS MitMotoren(const std::string& motoren) {
    InterfaceDS ds;
    for (std::size_t i = 0; i < 4; ++i) {
        ds.Motoren[i] = motoren[i];
    }
    return ds;
}

class ProtokollTest : public PortTest {
  protected:
    void SetUp() override {
        PortTest::SetUp();
        Installiere(port);
    }
    AufnahmePort port;
};

struct RahmenFall {
    const char* motoren;
    unsigned motorbyte;
};

class MotorRahmenTest : public ProtokollTest, public ::testing::WithParamInterface<RahmenFall> {};

TEST_P(MotorRahmenTest, FrameCarriesTheMotorByte) {
    InterfaceDS ds = MitMotoren(GetParam().motoren);
    SendeMotoren(ds);
    EXPECT_EQ(port.zugriffe.size(), 24u);
    EXPECT_EQ(port.Bytes(), Rahmen(GetParam().motorbyte));
}

INSTANTIATE_TEST_SUITE_P(Beispiele, MotorRahmenTest,
                         ::testing::Values(RahmenFall{"NNNN", 0x00}, RahmenFall{"0000", 0x00},
                                           RahmenFall{"LNNN", 0x01}, RahmenFall{"NNNR", 0x80},
                                           RahmenFall{"NLRN", 0x24}, RahmenFall{"RRLL", 0x5A},
                                           RahmenFall{"lxNN", 0x00}));

TEST_F(ProtokollTest, MotorFourRightAsWritten) {
    InterfaceDS ds = MitMotoren("NNNR");
    SendeMotoren(ds);
    std::vector<unsigned> erwartet = {0xF6, 0xFE, 0xF6};
    for (int i = 0; i < 6; ++i) {
        erwartet.insert(erwartet.end(), {0xF2, 0xFA, 0xF2});
    }
    erwartet.insert(erwartet.end(), {0xF2, 0xFA, 0xFB});
    EXPECT_EQ(port.Bytes(), erwartet);
}

TEST_F(ProtokollTest, InitResetsTheRecordAndSendsFourOffFrames) {
    InterfaceDS ds = MitMotoren("LRLR");
    ds.Eingaenge.fill('1');
    ds.Analog1 = 5;
    ds.Analog2 = 7;
    InterfaceInit(ds);
    EXPECT_EQ(std::string(ds.Motoren.begin(), ds.Motoren.end()), "NNNN");
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000000");
    EXPECT_EQ(ds.Analog1, 0);
    EXPECT_EQ(ds.Analog2, 0);
    std::vector<unsigned> erwartet;
    for (int i = 0; i < 4; ++i) {
        auto r = Rahmen(0x00);
        erwartet.insert(erwartet.end(), r.begin(), r.end());
    }
    EXPECT_EQ(port.zugriffe.size(), 96u);  // no reads, no measurement
    EXPECT_EQ(port.Bytes(), erwartet);
}

TEST_F(ProtokollTest, MotorOperationsSendTheWholeStateEveryTime) {
    InterfaceDS ds = MitMotoren("NNNN");
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
    EXPECT_EQ(std::string(ds.Motoren.begin(), ds.Motoren.end()), "LRNL");
}

TEST_F(ProtokollTest, MotorNumberOutsideOneToFourChangesAndSendsNothing) {
    InterfaceDS ds = MitMotoren("NNNN");
    InterfaceDS vorher = ds;
    for (int motor : {0, 5, -1}) {
        MotorLinks(ds, motor);
        MotorRechts(ds, motor);
        MotorStop(ds, motor);
    }
    EXPECT_TRUE(port.zugriffe.empty());
    EXPECT_EQ(ds.Motoren, vorher.Motoren);
}

TEST_F(ProtokollTest, InputReadWritesSeventeenBytesAndReadsEight) {
    port.status = [](int i) { return static_cast<std::uint8_t>(i == 0 ? 0x20 : 0x00); };
    InterfaceDS ds;
    LiesEingaenge(ds);
    std::vector<Zugriff> erwartet = {{Zugriff::Byte, 0x02},
                                     {Zugriff::Byte, 0x0A},
                                     {Zugriff::Byte, 0x00},
                                     {Zugriff::Lesen, 0x20}};
    for (int i = 0; i < 7; ++i) {
        erwartet.insert(erwartet.end(),
                        {{Zugriff::Byte, 0x08}, {Zugriff::Byte, 0x00}, {Zugriff::Lesen, 0x00}});
    }
    EXPECT_EQ(port.zugriffe, erwartet);
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000001");
}

class EingangsbitTest : public ProtokollTest, public ::testing::WithParamInterface<int> {};

// Read k (from 0) carries switch input 8 - k; only status bit 0x20 counts.
TEST_P(EingangsbitTest, EachReadFillsItsInput) {
    const int k = GetParam();
    port.status = [k](int i) { return static_cast<std::uint8_t>(i == k ? 0x20 : 0xDF); };
    InterfaceDS ds;
    LiesEingaenge(ds);
    std::string erwartet(8, '0');
    erwartet[static_cast<std::size_t>(7 - k)] = '1';
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), erwartet);
}

INSTANTIATE_TEST_SUITE_P(Alle, EingangsbitTest, ::testing::Range(0, 8));

struct AnalogFall {
    const char* name;
    std::function<std::uint8_t(int)> signal;
    std::int32_t ergebnis;
};

class AnalogTest : public ProtokollTest, public ::testing::WithParamInterface<AnalogFall> {};

TEST_P(AnalogTest, CountsRisingEdgesAfterALowSample) {
    port.status = GetParam().signal;
    EXPECT_EQ(MesseAnalog(0xFB, 0xE1), GetParam().ergebnis);
    ASSERT_EQ(port.zugriffe.size(), 1u + 3u + 4999u + 1u);
    EXPECT_EQ(port.zugriffe[0], (Zugriff{Zugriff::Cli, 0}));
    EXPECT_EQ(port.zugriffe[1], (Zugriff{Zugriff::Wort, 0x00FB}));
    EXPECT_EQ(port.zugriffe[2], (Zugriff{Zugriff::Wort, 0x00E1}));
    EXPECT_EQ(port.zugriffe[3], (Zugriff{Zugriff::Wort, 0x00FB}));
    EXPECT_EQ(port.zugriffe.back(), (Zugriff{Zugriff::Sti, 0}));
    EXPECT_EQ(port.lesungen, 4999);
}

std::uint8_t Hoch(bool h) {
    return h ? 0x10 : 0x00;
}

INSTANTIATE_TEST_SUITE_P(
    Signale, AnalogTest,
    ::testing::Values(AnalogFall{"SteadyLow", [](int) { return Hoch(false); }, 0},
                      AnalogFall{"SteadyHigh", [](int) { return Hoch(true); }, 0},
                      AnalogFall{"OtherBitsIgnored", [](int) { return std::uint8_t{0xEF}; }, 0},
                      AnalogFall{"HighThenOneLowPhase",
                                 [](int i) { return Hoch(i < 10 || i >= 20); }, 1},
                      AnalogFall{"MostEdges", [](int i) { return Hoch(i % 2 == 1); }, 2499},
                      AnalogFall{"EdgeOnLastSample", [](int i) { return Hoch(i == 4998); }, 1},
                      AnalogFall{"EdgeAfterWindow", [](int i) { return Hoch(i >= 4999); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtokollTest, LiesAnalogMeasuresInputOneThenTwo) {
    // 3 edges in the first window, 2 in the second.
    port.status = [](int i) {
        int probe = i % 4999;
        int kanten = i < 4999 ? 3 : 2;
        return Hoch(probe < 2 * kanten && probe % 2 == 1);
    };
    InterfaceDS ds;
    LiesAnalog(ds);
    EXPECT_EQ(ds.Analog1, 3);
    EXPECT_EQ(ds.Analog2, 2);
    std::vector<Zugriff> ohneLesen;
    for (const auto& z : port.zugriffe) {
        if (z.art != Zugriff::Lesen) {
            ohneLesen.push_back(z);
        }
    }
    std::vector<Zugriff> erwartet = {
        {Zugriff::Cli, 0},     {Zugriff::Wort, 0xFB}, {Zugriff::Wort, 0xE1}, {Zugriff::Wort, 0xFB},
        {Zugriff::Sti, 0},     {Zugriff::Cli, 0},     {Zugriff::Wort, 0xFB}, {Zugriff::Wort, 0xD1},
        {Zugriff::Wort, 0xFB}, {Zugriff::Sti, 0}};
    EXPECT_EQ(ohneLesen, erwartet);
}

TEST_F(ProtokollTest, LevelVariantCountsLowSamples) {
    port.status = [](int i) { return Hoch(i >= 100); };
    InterfaceDS ds;
    ds.Analog2 = 77;
    MesseAnalogPegel(ds, 2);
    EXPECT_EQ(ds.Analog2, 100);
    EXPECT_EQ(port.lesungen, 999);
    EXPECT_EQ(port.zugriffe.front(), (Zugriff{Zugriff::Cli, 0}));
    EXPECT_EQ(port.zugriffe.back(), (Zugriff{Zugriff::Sti, 0}));
    EXPECT_EQ(port.Bytes(), (std::vector<unsigned>{0xFB, 0xD1, 0xFB}));
}

TEST_F(ProtokollTest, BitHelpers) {
    EXPECT_EQ(SetzeBit(0x00, 1), 0x01);
    EXPECT_EQ(SetzeBit(0x10, 8), 0x90);
    EXPECT_EQ(LoescheBit(0xFF, 3), 0xFB);
    EXPECT_EQ(LoescheBit(0x1FF, 1), 0xFE);  // always a byte
    EXPECT_EQ(SetzeMotorBits('L', 0x02, 1, 2), 0x01);
    EXPECT_EQ(SetzeMotorBits('R', 0x01, 1, 2), 0x02);
    EXPECT_EQ(SetzeMotorBits('N', 0xFF, 7, 8), 0x3F);
    EXPECT_EQ(SetzeMotorBits('l', 0x0C, 3, 4), 0x0C);
}

class BitnummerTest : public ProtokollTest, public ::testing::WithParamInterface<int> {};

TEST_P(BitnummerTest, OutsideOneToEightEndsWith99WithoutAMessage) {
    EXPECT_EQ(EndeCode([] { SetzeBit(0, GetParam()); }), 99);
    EXPECT_EQ(EndeCode([] { LoescheBit(0, GetParam()); }), 99);
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
