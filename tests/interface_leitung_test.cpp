#include <functional>
#include <string>
#include <vector>

#include "interface/interface.h"
#include "interface/leitung.h"
#include "interface_testport.h"

namespace taktler::test {
namespace {

using namespace interface;

std::string Text(const std::array<char, 4>& a) {
    return std::string(a.begin(), a.end());
}

class LeitungTest : public PortTest {
  protected:
    void SetUp() override {
        PortTest::SetUp();
        Installiere(port);
    }
    AufnahmePort port;
    InterfaceDS ds;
};

// Every operation sends the whole state, also repeats; L to R needs no stop frame; motors
// outside 1..4 send nothing; '0' and unknown characters send off.
TEST_F(LeitungTest, MotorOperationsSendTheWholeStateEveryTime) {
    ds = {{'L', 'R', 'L', 'R'}, {'1', '1', '1', '1', '1', '1', '1', '1'}, 5, 7};
    InterfaceInit(ds);
    EXPECT_EQ(Text(ds.Motoren) + std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()),
              "NNNN00000000");
    EXPECT_EQ(ds.Analog1 + ds.Analog2, 0);
    EXPECT_EQ(port.zugriffe.size(), 96u);  // nothing read, nothing measured
    MotorLinks(ds, 1);
    MotorLinks(ds, 1);
    MotorLinks(ds, 2);
    MotorRechts(ds, 2);
    for (int motor : {0, 5}) {
        MotorLinks(ds, motor);
        MotorRechts(ds, motor);
        MotorStop(ds, motor);
    }
    MotorLinks(ds, 4);
    MotorStop(ds, 3);
    EXPECT_EQ(Text(ds.Motoren), "LRNL");
    ds.Motoren = {'R', 'l', 'x', '0'};
    SendeMotoren(ds);
    EXPECT_EQ(port.Bytes(), Rahmen({0, 0, 0, 0, 0x01, 0x01, 0x05, 0x09, 0x49, 0x49, 0x02}));
}

// The first of eight reads is switch input 8; status bits other than 0x20 do not count.
TEST_F(LeitungTest, InputReadTakesOnlyBit0x20OfEachRead) {
    port.status = [](int i) { return static_cast<std::uint8_t>(i == 0 ? 0x20 : 0xDF); };
    LiesEingaenge(ds);
    EXPECT_EQ(port.lesungen, 8);
    EXPECT_EQ(std::string(ds.Eingaenge.begin(), ds.Eingaenge.end()), "00000001");
}

std::uint8_t Hoch(bool h) {
    return h ? 0x10 : 0x00;
}

// The access sequence itself is in the port log test.
TEST_F(LeitungTest, MeasurementCountsRisingEdgesAfterALowSample) {
    const std::pair<std::function<std::uint8_t(int)>, std::int32_t> faelle[] = {
        {[](int) { return std::uint8_t{0xFF}; }, 0},
        {[](int i) { return Hoch(i < 10 || i >= 20); }, 1},
        {[](int i) { return Hoch(i % 2 == 1); }, 2499},
        {[](int i) { return Hoch(i == 4998); }, 1},  // an edge on the last sample
    };
    for (const auto& [signal, ergebnis] : faelle) {
        port.zugriffe.clear();
        port.lesungen = 0;
        port.status = signal;
        EXPECT_EQ(MesseAnalog(0xFB, 0xE1), ergebnis);
        EXPECT_EQ(port.lesungen, 4999);
    }
}

TEST_F(LeitungTest, LiesAnalogMeasuresInputOneThenTwoAndTheLevelVariant) {
    port.status = [](int i) { return Hoch(i < 4999 ? i < 6 && i % 2 == 1 : i % 2 == 0); };
    LiesAnalog(ds);
    EXPECT_EQ(ds.Analog1, 3);
    EXPECT_EQ(ds.Analog2, 2499);
    EXPECT_EQ(port.zugriffe[4 + 4999 + 1 + 2], (Zugriff{Zugriff::Wort, 0x00D1}));

    port.zugriffe.clear();
    port.lesungen = 0;
    port.status = [](int i) { return Hoch(i >= 100); };
    ds.Analog2 = 77;
    MesseAnalogPegel(ds, 2);
    EXPECT_EQ(ds.Analog2, 100);
    EXPECT_EQ(port.lesungen, 999);
    EXPECT_EQ(port.Bytes(), (std::vector<unsigned>{0xFB, 0xD1, 0xFB}));
}

TEST_F(LeitungTest, BitNumberOutsideOneToEightEndsWith99WithoutAMessage) {
    for (int bit : {0, 9}) {
        EXPECT_EQ(EndeCode([&] { SetzeBit(0, bit); }), 99) << bit;
        EXPECT_EQ(EndeCode([&] { LoescheBit(0xFF, bit); }), 99) << bit;
    }
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_TRUE(konsole.fehler.empty());
}

}  // namespace
}  // namespace taktler::test
