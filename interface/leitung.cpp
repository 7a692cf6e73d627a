// The three exchanges of the wire protocol. Every edge is a write of the
// program; nothing is checked, awaited or retried.
#include "interface/leitung.h"

#include "interface/port.h"
#include "interface/zeitdiagramm.h"
#include "services/umgebung.h"

namespace taktler::interface {

namespace {

constexpr int kAnalogFenster = 5000;  // the counter stops here: 4999 samples
constexpr int kPegelFenster = 1000;   // 999 samples
constexpr int kMotorVerzoegerung = 500;

constexpr std::uint8_t kBitAnalog = 0x10;
constexpr std::uint8_t kBitEingang = 0x20;

// Holds interruptions off for one measurement; allows them again however
// the measurement is left.
class Sperre {
  public:
    explicit Sperre(Port& port) : port_(port) { port_.Sperren(); }
    ~Sperre() { port_.Freigeben(); }
    Sperre(const Sperre&) = delete;
    Sperre& operator=(const Sperre&) = delete;

  private:
    Port& port_;
};

void PruefeBitnummer(int bit) {
    if (bit < 1 || bit > 8) {
        services::ProgrammBeenden(99);
    }
}

}  // namespace

int SetzeBit(int wert, int bit) {
    PruefeBitnummer(bit);
    return wert | (1 << (bit - 1));
}

int LoescheBit(int wert, int bit) {
    PruefeBitnummer(bit);
    return wert & (~(1 << (bit - 1)) & 0xFF);
}

int SetzeMotorBits(char richtung, int wert, int bitL, int bitR) {
    switch (richtung) {
        case 'L':
            return LoescheBit(SetzeBit(wert, bitL), bitR);
        case 'R':
            return LoescheBit(SetzeBit(wert, bitR), bitL);
        case 'N':
            return LoescheBit(LoescheBit(wert, bitL), bitR);
        default:
            return wert;
    }
}

void SchreibePort(std::uint8_t wert) {
    DerPort().SchreibeByte(wert);
}

int LiesStatus() {
    return DerPort().LiesStatus();
}

void SendeMotoren(InterfaceDS& ds) {
    int motorbyte = 0;
    motorbyte = SetzeMotorBits(ds.Motoren[0], motorbyte, 1, 2);
    motorbyte = SetzeMotorBits(ds.Motoren[1], motorbyte, 3, 4);
    motorbyte = SetzeMotorBits(ds.Motoren[2], motorbyte, 5, 6);
    motorbyte = SetzeMotorBits(ds.Motoren[3], motorbyte, 7, 8);
    const auto gesendet = static_cast<std::uint8_t>(motorbyte);

    int p = LoescheBit(0xFF, 1);
    for (int k = 1; k <= 8; ++k) {
        p = (motorbyte & 0x80) != 0 ? SetzeBit(p, 3) : LoescheBit(p, 3);
        motorbyte = (motorbyte << 1) & 0xFF;
        p = LoescheBit(p, 4);
        SchreibePort(static_cast<std::uint8_t>(p));
        p = SetzeBit(p, 4);
        SchreibePort(static_cast<std::uint8_t>(p));
        // The last clock pulse also raises bit 1, which closes the frame.
        p = k < 8 ? LoescheBit(p, 4) : SetzeBit(p, 1);
        SchreibePort(static_cast<std::uint8_t>(p));
    }
    if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
        diagramm->Motoren(gesendet);
    }

    // Fixed settling delay after the frame; volatile keeps the loop.
    volatile int zaehler = 0;
    for (int i = 1; i < kMotorVerzoegerung; ++i) {
        zaehler = i;
    }
    (void)zaehler;
}

void LiesEingaenge(InterfaceDS& ds) {
    int p = 0;
    p = SetzeBit(p, 2);
    p = LoescheBit(p, 3);
    p = LoescheBit(p, 4);
    SchreibePort(static_cast<std::uint8_t>(p));
    for (int n = 7; n >= 0; --n) {
        p = SetzeBit(p, 4);
        SchreibePort(static_cast<std::uint8_t>(p));
        if (n == 7) {
            p = LoescheBit(p, 2);
        }
        p = LoescheBit(p, 4);
        SchreibePort(static_cast<std::uint8_t>(p));
        const bool zu = (LiesStatus() & kBitEingang) != 0;
        ds.Eingaenge[static_cast<std::size_t>(n)] = zu ? '1' : '0';
        if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
            diagramm->Schalter(n + 1, zu);
        }
    }
}

std::int32_t MesseAnalog(int leerByte, int triggerByte) {
    Port& port = DerPort();
    Sperre sperre(port);
    const auto leer = static_cast<std::uint16_t>(static_cast<std::uint8_t>(leerByte));
    const auto trigger = static_cast<std::uint16_t>(static_cast<std::uint8_t>(triggerByte));
    port.SchreibeWort(leer);
    port.SchreibeWort(trigger);
    port.SchreibeWort(leer);

    // Nothing but the read, the test and the counters: the count's scale is
    // the speed of this loop.
    std::uint16_t probe = 0;
    bool scharf = false;
    std::int32_t anzahl = 0;
    for (;;) {
        ++probe;
        if (probe == kAnalogFenster) {
            break;
        }
        if ((port.LiesStatus() & kBitAnalog) == 0) {
            scharf = true;
        } else if (scharf) {
            scharf = false;
            ++anzahl;
        }
    }
    return anzahl;
}

void MesseAnalogPegel(InterfaceDS& ds, int eingang) {
    if (eingang != 1 && eingang != 2) {
        return;
    }
    std::int32_t& ziel = eingang == 1 ? ds.Analog1 : ds.Analog2;
    const std::uint8_t trigger = eingang == 1 ? 0xE1 : 0xD1;
    ziel = 0;
    Sperre sperre(DerPort());
    SchreibePort(0xFB);
    SchreibePort(trigger);
    SchreibePort(0xFB);
    for (int probe = 1; probe < kPegelFenster; ++probe) {
        if ((LiesStatus() & kBitAnalog) == 0) {
            ++ziel;
        }
    }
    if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
        diagramm->Analog(eingang, ziel);
    }
}

}  // namespace taktler::interface
