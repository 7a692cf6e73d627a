// SPDX-License-Identifier: GPL-3.0-or-later
// The timing diagram of a run (--vcd=FILE): a Value Change Dump of the
// interface as the program saw it, in microseconds since the start of the
// run on the clock in force:
//   motor1..motor4       2-bit wires, the motor's bits of the last frame sent
//                        (01 left, 10 right, 00 off)
//   schalter1..schalter8 1 while the last input read saw the switch closed
//   analog1, analog2     32-bit integers, the count of the last measurement
//   nothalt              1 while the emergency stop is armed
// Only changes are written, each under the time of the port access that made
// it; the end of the run gets a last time stamp.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "services/ausgabekanal.h"

namespace taktler::interface {

class Zeitdiagramm {
  public:
    // Creates the file and writes the header and the start values at time 0
    // (now on the clock in force). On failure gives null and the reason.
    static std::unique_ptr<Zeitdiagramm> Oeffne(const std::string& datei, std::string& fehler);
    ~Zeitdiagramm();
    Zeitdiagramm(const Zeitdiagramm&) = delete;
    Zeitdiagramm& operator=(const Zeitdiagramm&) = delete;

    // A change is stamped now on the clock in force; a switch at the clock's
    // MonotonUs() of the read that saw it.
    void Motoren(std::uint8_t motorbyte);                    // the frame just completed
    void Schalter(int k, bool zu, std::uint64_t gelesenUm);  // k = 1..8
    void Analog(int k, std::int32_t wert);                   // k = 1..2, the measurement just ended
    void Nothalt(bool scharf);

    // Writes the time stamp of the end and closes the file; the program's
    // end does it for every way the program ends. A file that lost data is
    // reported (services::Ausgabefehler). Later calls and the changes after
    // it do nothing.
    void Abschliessen();

  private:
    Zeitdiagramm(std::unique_ptr<services::Ausgabekanal> kanal, std::string name);
    std::uint64_t Zeit() const;
    // Before a change at zeit (since the start): writes its time stamp
    // unless it is the current one.
    void Stempel(std::uint64_t zeit);
    void Skalar(bool wert, const char* kennung);
    void Vektor(std::uint32_t wert, int bits, const char* kennung);
    void Text(std::string_view text);
    // After a change: a write that failed stops the run at once, with the
    // system's reason.
    void Pruefen();
    void Verloren(int fehler);

    std::unique_ptr<services::Ausgabekanal> datei_;  // null once closed or lost
    int fehler_ = 0;                                 // of the first write that failed
    std::string name_;
    std::uint64_t startUs_;
    std::uint64_t letzteZeit_ = 0;
    std::array<std::uint8_t, 4> motoren_{};
    std::array<bool, 8> schalter_{};
    std::array<std::int32_t, 2> analog_{};
    bool nothalt_ = false;
    std::size_t abschluss_ = 0;  // the program end's finisher
};

// The diagram the protocol and the interpreter report to; null while the run
// writes none. Installed by main for the run, like the port.
Zeitdiagramm* AktivesZeitdiagramm();
void SetzeZeitdiagramm(Zeitdiagramm* diagramm);

}  // namespace taktler::interface
