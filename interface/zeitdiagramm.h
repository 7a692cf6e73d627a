// SPDX-License-Identifier: GPL-3.0-or-later
// The timing diagram of a run (--vcd=FILE, --vcd-bits=FILE): a Value Change
// Dump of the interface as the program saw it, in microseconds since the
// start of the run on the clock in force, in one scope "taktler".
// Form Vektoren (--vcd), read by GTKWave:
//   motor1..motor4       2-bit wires, the motor's bits of the last frame sent
//                        (01 the interface's L, 10 its R, 00 off)
//   schalter1..schalter8 1 while the last input read saw the switch closed
//   analog1, analog2     32-bit integers, the count of the last measurement
//   nothalt              1 while the emergency stop is armed
// Form Bits (--vcd-bits), 1-bit wires only, as libsigrok (PulseView,
// sigrok-cli) reads a VCD: each motor as two wires named by the command
// word that drives them and the interface letter it latches,
// motorN_LINKS_R and motorN_RECHTS_L, then the switches and the emergency
// stop as above; the analog counts have no wire there.
// Only changes are written, each under the time of the port access that made
// it; the end of the run gets a last time stamp.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace taktler::interface {

enum class Diagrammform { Vektoren, Bits };

struct Diagrammdatei {
    std::string name;
    Diagrammform form = Diagrammform::Vektoren;
};

class Zeitdiagramm {
  public:
    // Creates the files and writes their headers and the start values at
    // time 0 (now on the clock in force). On failure gives null and the
    // reason, and leaves no file open.
    static std::unique_ptr<Zeitdiagramm> Oeffne(const std::vector<Diagrammdatei>& dateien,
                                                std::string& fehler);
    ~Zeitdiagramm();
    Zeitdiagramm(const Zeitdiagramm&) = delete;
    Zeitdiagramm& operator=(const Zeitdiagramm&) = delete;

    // A change is stamped now on the clock in force; a switch at the clock's
    // MonotonUs() of the read that saw it.
    void Motoren(std::uint8_t motorbyte);                    // the frame just completed
    void Schalter(int k, bool zu, std::uint64_t gelesenUm);  // k = 1..8
    void Analog(int k, std::int32_t wert);                   // k = 1..2, the measurement just ended
    void Nothalt(bool scharf);

    // Writes the time stamp of the end and closes the files; the program's
    // end does it for every way the program ends. A file that lost data is
    // reported (services::Ausgabefehler). Later calls and the changes after
    // it do nothing.
    void Abschliessen();

  private:
    struct Datei {
        std::FILE* f = nullptr;
        std::string name;
        Diagrammform form;
        std::uint64_t letzteZeit = 0;
    };

    Zeitdiagramm(std::vector<Datei> dateien);
    std::uint64_t Zeit() const;
    void Kopf(Datei& d);
    // Before a change at zeit (since the start): writes its time stamp
    // unless it is the current one.
    static void Stempel(Datei& d, std::uint64_t zeit);
    static void Skalar(Datei& d, bool wert, const std::string& kennung);
    static void Vektor(Datei& d, std::uint32_t wert, int bits, const char* kennung);
    // After writing: a write that failed closes that file and reports it.
    void Pruefen();
    void Verloren(Datei& d, int fehler);
    bool Offen() const;

    std::vector<Datei> dateien_;
    std::uint64_t startUs_;
    std::array<std::uint8_t, 4> motoren_{};
    std::array<bool, 8> schalter_{};
    std::array<std::int32_t, 2> analog_{};
    bool nothalt_ = false;
    std::size_t abschluss_ = 0;  // the program end's finisher
    bool angemeldet_ = false;
};

// The diagram the protocol and the interpreter report to; null while the run
// writes none. Installed by main for the run, like the port.
Zeitdiagramm* AktivesZeitdiagramm();
void SetzeZeitdiagramm(Zeitdiagramm* diagramm);

}  // namespace taktler::interface
