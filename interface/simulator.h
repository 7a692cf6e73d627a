// SPDX-License-Identifier: GPL-3.0-or-later
// A software model of the interface hardware, driven only by the bytes the
// program writes and answering only through the status bits it reads.
//
// Data register, as the device decodes it:
// - Motor shift register. A "frame byte" has the upper nibble 0xF and bit
//   0x02 set. On every rising clock (0x08) of a frame byte, data bit 0x04
//   is shifted in (first bit ends up as 0x80). The count of shifted bits
//   restarts at every byte that is not a frame byte and whenever bit 0x01
//   falls (a new frame begins). When bit 0x01 rises with the clock high
//   after exactly 8 shifted bits, the byte is latched as the motor state
//   (motor n: bit 2n-1 'L', bit 2n 'R', neither or both 'N'); any rise of
//   0x01 restarts the count. Input reads (0x02, 0x0A, 0x00, 0x08) and
//   analog triggers (0xFB, 0xE1/0xD1, 0xFB) can therefore never latch.
// - Input shift register. A rising clock on a byte that is not a frame
//   byte loads the eight switches when bit 0x02 is high (the start of an
//   input read; switch 8 in front) and shifts by one when 0x02 is low.
//   The bit in front is shown on status bit 0x20.
// - Analog trigger. A change of the data register to a byte with bit 0x01
//   set and exactly one of 0x10 (input 1) or 0x20 (input 2) low starts a
//   measurement of that input. Whether the byte came as a byte or as the low
//   byte of a 16-bit write makes no difference on the wire.
// - Analog signal. For a value V the status reads after a trigger show bit
//   0x10 low, high, low, high ... for 2V reads and low afterwards: V rising
//   edges after a first low sample, exactly what a measurement counts.
// Status bits other than 0x20 and 0x10 read 0. At power-up every switch is
// open, both analog values are 0 and the motors are latched as 'N'.
//
// Scenario events: "start" at construction, "abfrage N" just before the N-th
// input load, "messung N" just before the N-th trigger, "zeit N" at the
// first port access N ms or more after construction.
//
// The live panel reads and sets the model on the interpreter's own thread,
// between two port accesses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "interface/port.h"
#include "interface/szenario.h"

namespace taktler::interface {

class Simulator : public Port {
  public:
    using Motorzustand = std::array<char, 4>;
    using Beobachter = std::function<void(const Motorzustand&)>;

    explicit Simulator(std::vector<Ereignis> szenario = {});

    void SchreibeByte(std::uint8_t wert) override;
    void SchreibeWort(std::uint16_t wert) override;
    std::uint8_t LiesStatus() override;
    void Sperren() override {}
    void Freigeben() override {}
    void SetzeNotizZiel(std::function<void(const std::string&)> ziel) override;

    // For tests and the live panel. K out of range is ignored; an analog
    // value is kept within 0..2499.
    void SetzeSchalter(int k, bool an);
    void SetzeAnalog(int k, int wert);
    Motorzustand Motoren() const;
    std::array<bool, 8> Schalter() const;
    int AnalogWert(int k) const;
    std::uint64_t Rahmen() const;     // motor frames latched
    std::uint64_t Abfragen() const;   // input reads started
    std::uint64_t Messungen() const;  // analog measurements started
    // Called after each latch with the new motor state.
    void SetzeBeobachter(Beobachter beobachter);

  private:
    // Events of one kind, ordered by N (file order within the same N).
    struct Ereignisliste {
        std::vector<Ereignis> ereignisse;
        std::size_t naechstes = 0;
    };

    // Handles one byte reaching the data register; true when it latched.
    bool Schreibe(std::uint8_t wert);
    void Faellige(Ereignisliste& liste, std::uint64_t bis);
    void Anwenden(const Ereignis& e);
    void ZeitPruefen();
    void NachLatch();

    std::uint8_t daten_ = 0;
    std::uint8_t motorSchieber_ = 0;
    int geschoben_ = 0;
    Motorzustand motoren_{'N', 'N', 'N', 'N'};
    std::uint8_t eingabeSchieber_ = 0;
    std::array<bool, 8> schalter_{};
    std::array<int, 2> analog_{};
    int kanten_ = 0;           // edges of the running measurement
    std::uint32_t probe_ = 0;  // status reads since its trigger
    std::uint64_t rahmen_ = 0;
    std::uint64_t abfragen_ = 0;
    std::uint64_t messungen_ = 0;
    std::uint64_t startMs_ = 0;
    Ereignisliste beiAbfrage_;
    Ereignisliste beiMessung_;
    Ereignisliste beiZeit_;
    std::function<void(const std::string&)> notizZiel_;
    Beobachter beobachter_;
};

}  // namespace taktler::interface
