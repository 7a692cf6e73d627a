// SPDX-License-Identifier: GPL-3.0-or-later
// The three exchanges of the wire protocol. Every edge is a write of the
// program; nothing is awaited or retried. After each exchange the port is
// asked whether it still works: a fault ends the run before a read is used.
#include "interface/leitung.h"

#include <array>
#include <string>

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

// The port and the clock in force, taken once for an exchange. Every access
// costs its time on that clock before it reaches the port (a virtual clock
// counts it; a port that asks the clock sees it).
class Zugang {
  public:
    Zugang() : port_(DerPort()), uhr_(services::DieUhr()) {}
    Port& port() { return port_; }
    services::Uhr& uhr() { return uhr_; }
    void Schreibe(std::uint8_t wert) {
        uhr_.PortZugriff();
        port_.SchreibeByte(wert);
    }
    void SchreibeWort(std::uint16_t wert) {
        uhr_.PortZugriff();
        port_.SchreibeWort(wert);
    }
    std::uint8_t Lies() {
        uhr_.PortZugriff();
        return port_.LiesStatus();
    }

  private:
    Port& port_;
    services::Uhr& uhr_;
};

// The 24 writes of one frame for the motor byte, and the settling delay.
void SchreibeRahmen(int motorbyte) {
    Zugang zugang;
    const auto gesendet = static_cast<std::uint8_t>(motorbyte);
    int p = LoescheBit(0xFF, 1);
    for (int k = 1; k <= 8; ++k) {
        p = (motorbyte & 0x80) != 0 ? SetzeBit(p, 3) : LoescheBit(p, 3);
        motorbyte = (motorbyte << 1) & 0xFF;
        p = LoescheBit(p, 4);
        zugang.Schreibe(static_cast<std::uint8_t>(p));
        p = SetzeBit(p, 4);
        zugang.Schreibe(static_cast<std::uint8_t>(p));
        // The last clock pulse also raises bit 1, which closes the frame.
        p = k < 8 ? LoescheBit(p, 4) : SetzeBit(p, 1);
        zugang.Schreibe(static_cast<std::uint8_t>(p));
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

// A port that fails ends the run the way an abort does: the motors are
// switched off as far as the port still takes writes, one line says why,
// and the ending completes the protocol file and the port log. A failed
// read must never pass for open switches.
void PortPruefen() {
    const std::string stoerung = DerPort().Stoerung();
    if (stoerung.empty()) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        SchreibeRahmen(0);
    }
    services::FehlerAusgabe("TAKTLER Portfehler: %s; alle Motoren aus gesendet, Lauf abgebrochen\n",
                            stoerung.c_str());
    services::ProgrammBeenden(12);
}

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
    Zugang().Schreibe(wert);
}

int LiesStatus() {
    return Zugang().Lies();
}

void SendeMotoren(InterfaceDS& ds) {
    int motorbyte = 0;
    motorbyte = SetzeMotorBits(ds.Motoren[0], motorbyte, 1, 2);
    motorbyte = SetzeMotorBits(ds.Motoren[1], motorbyte, 3, 4);
    motorbyte = SetzeMotorBits(ds.Motoren[2], motorbyte, 5, 6);
    motorbyte = SetzeMotorBits(ds.Motoren[3], motorbyte, 7, 8);

    SchreibeRahmen(motorbyte);
    PortPruefen();
}

void LiesEingaenge(InterfaceDS& ds) {
    Zugang zugang;
    int p = 0;
    p = SetzeBit(p, 2);
    p = LoescheBit(p, 3);
    p = LoescheBit(p, 4);
    zugang.Schreibe(static_cast<std::uint8_t>(p));
    Zeitdiagramm* diagramm = AktivesZeitdiagramm();
    std::array<std::uint64_t, 8> gelesenUm{};
    for (int n = 7; n >= 0; --n) {
        p = SetzeBit(p, 4);
        zugang.Schreibe(static_cast<std::uint8_t>(p));
        if (n == 7) {
            p = LoescheBit(p, 2);
        }
        p = LoescheBit(p, 4);
        zugang.Schreibe(static_cast<std::uint8_t>(p));
        ds.Eingaenge[static_cast<std::size_t>(n)] = (zugang.Lies() & kBitEingang) != 0 ? '1' : '0';
        if (diagramm != nullptr) {
            gelesenUm[static_cast<std::size_t>(n)] = zugang.uhr().MonotonUs();
        }
    }
    PortPruefen();
    // Only reads of a working port reach the diagram, each at its own time.
    if (diagramm != nullptr) {
        for (int n = 7; n >= 0; --n) {
            const auto i = static_cast<std::size_t>(n);
            diagramm->Schalter(n + 1, ds.Eingaenge[i] == '1', gelesenUm[i]);
        }
    }
}

std::int32_t MesseAnalog(int leerByte, int triggerByte) {
    std::int32_t anzahl = 0;
    {
        Zugang zugang;
        Sperre sperre(zugang.port());
        const auto leer = static_cast<std::uint16_t>(static_cast<std::uint8_t>(leerByte));
        const auto trigger = static_cast<std::uint16_t>(static_cast<std::uint8_t>(triggerByte));
        zugang.SchreibeWort(leer);
        zugang.SchreibeWort(trigger);
        zugang.SchreibeWort(leer);

        // Nothing but the read, the test and the counters: the count's scale
        // is the speed of this loop.
        std::uint16_t probe = 0;
        bool scharf = false;
        for (;;) {
            ++probe;
            if (probe == kAnalogFenster) {
                break;
            }
            if ((zugang.Lies() & kBitAnalog) == 0) {
                scharf = true;
            } else if (scharf) {
                scharf = false;
                ++anzahl;
            }
        }
    }
    PortPruefen();  // outside the window
    return anzahl;
}

void MesseAnalogPegel(InterfaceDS& ds, int eingang) {
    if (eingang != 1 && eingang != 2) {
        return;
    }
    std::int32_t& ziel = eingang == 1 ? ds.Analog1 : ds.Analog2;
    const std::uint8_t trigger = eingang == 1 ? 0xE1 : 0xD1;
    ziel = 0;
    {
        Zugang zugang;
        Sperre sperre(zugang.port());
        zugang.Schreibe(0xFB);
        zugang.Schreibe(trigger);
        zugang.Schreibe(0xFB);
        for (int probe = 1; probe < kPegelFenster; ++probe) {
            if ((zugang.Lies() & kBitAnalog) == 0) {
                ++ziel;
            }
        }
    }
    PortPruefen();
    if (Zeitdiagramm* diagramm = AktivesZeitdiagramm()) {
        diagramm->Analog(eingang, ziel);
    }
}

}  // namespace taktler::interface
