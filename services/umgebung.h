// SPDX-License-Identifier: GPL-3.0-or-later
// The platform seams of the program: console, clock, message box and the
// process end. main() installs the real ones; tests install their own so
// that every module runs in-process without a terminal or a real clock.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace taktler::services {

// Everything the program prints and reads at the console goes through here,
// so a test or the live panel can capture it.
class Konsole {
  public:
    virtual ~Konsole() = default;
    virtual void Aus(std::string_view text) = 0;     // standard output
    virtual void Fehler(std::string_view text) = 0;  // standard error
    // PAUSE: reads one whitespace-delimited word; false at end of input
    // (or when a signal interrupts the wait: the run acts on it next).
    virtual bool LiesWort() = 0;
};

// A time record (seconds and milliseconds): the wall clock as Jetzt gives
// it (seconds since 1970), or a monotonic reading as the timer object keeps
// it. The clock gives local calendar time for the texts people read, and a
// monotonic millisecond count for every elapsed time (timer object,
// simulated interface's time events), in microseconds for the timing
// diagram. All readings of one clock agree with each other.
struct Zeitpunkt {
    std::int32_t Sekunden = 0;
    std::uint16_t Millisekunden = 0;
};

class Uhr {
  public:
    virtual ~Uhr() = default;
    virtual Zeitpunkt Jetzt() = 0;
    virtual std::tm LokaleZeit() = 0;
    virtual std::uint64_t MonotonMs() = 0;
    virtual std::uint64_t MonotonUs() { return MonotonMs() * 1000; }
    // The work that takes time in the interface's cost model: a line read from
    // the command file (however the program finds it) and a port access. A
    // clock that counts work advances here; the real clock ignores both.
    // anzahl is the number of lines a reading delivered; a read that finds no
    // further line is not counted. One call per reading:
    // - the script loop: 1 for each line it reads;
    // - GeheZuSatz(n): the lines it skips, n or the file's lines if fewer
    //   (0 for n <= 0);
    // - the header search of RUFE: the lines from the first up to and
    //   including the one it stops at (the header, or a line with too many
    //   fields), or all lines when the name is not found.
    virtual void ZeilenGelesen(std::int32_t anzahl) { (void)anzahl; }
    // Called once for each byte write, 16-bit write and status read, before
    // the access reaches the port.
    virtual void PortZugriff() {}
};

enum class Antwort { OK, Abbrechen };

// Shows one composed report line. titel is "ABBRUCH", "WARNUNG" or "Meldung".
class Nachrichtenfenster {
  public:
    virtual ~Nachrichtenfenster() = default;
    virtual Antwort Zeige(std::string_view titel, std::string_view zeile, bool mitAbbrechen) = 0;
};

// Thrown by the test seam instead of ending the process.
struct Programmende {
    int code;
};

struct Umgebung {
    Konsole* konsole = nullptr;
    Uhr* uhr = nullptr;
    Nachrichtenfenster* fenster = nullptr;
    // Ends the program. Empty, or a front end's cleanup that returns: the
    // default ending follows (flush stdio and std::exit, or the signal).
    std::function<void(int)> ende;
};

// The seams in force. Never null: unset members fall back to the real ones.
Umgebung& Umwelt();
Konsole& DieKonsole();
Uhr& DieUhr();
Nachrichtenfenster& DasFenster();

// Restores the real console, clock, message box and exit.
void UmweltZuruecksetzen();

// The one way the program ends with an exit code (0, 12, 99). The output
// files and standard output are finished first; one that lost data is
// reported and turns 0 into 12.
[[noreturn]] void ProgrammBeenden(int code);

// Ends the program by the signal's default action, so that a shell sees an
// interrupted program, after finishing the output files as above. Through
// the test seam it ends with 128 + signal.
[[noreturn]] void ProgrammBeendenDurchSignal(int signal);

// Formats like printf into a std::string (no fixed buffer, nothing cut).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Report texts are Latin-1; a terminal in a UTF-8 locale needs them converted.
bool IstGueltigesUtf8(std::string_view s);
std::string Latin1NachUtf8(std::string_view s);
// A line for standard error as a report shows it: converted from Latin-1
// when standard error is a terminal in a UTF-8 locale and the line is not
// UTF-8 already.
std::string FuerStandardfehler(std::string_view zeile);

// Standard input, output and error closed when the program starts: /dev/null
// is opened onto them before anything else is opened, so that no output
// file gets descriptor 1 or 2. Text for a closed standard output or error
// went nowhere: it counts as lost (standard output is reported like a full
// disk; a closed standard error, which cannot be told, turns exit code 0
// into 12). Call first thing in main.
void StandardkanaeleSichern();

// Standard output line-buffered unless it is a regular file, so that a
// pipe (| tee) sees each line as it is printed. Call before any output.
void StandardausgabeEinrichten();

// printf-style output to the console seam.
void Ausgabe(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void FehlerAusgabe(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The real implementations, also usable as a base by other front ends.
class StandardKonsole : public Konsole {
  public:
    void Aus(std::string_view text) override;
    void Fehler(std::string_view text) override;
    bool LiesWort() override;
};

class SystemUhr : public Uhr {
  public:
    SystemUhr();
    Zeitpunkt Jetzt() override;
    std::tm LokaleZeit() override;
    std::uint64_t MonotonMs() override;
    std::uint64_t MonotonUs() override;

  private:
    std::uint64_t start_;
};

// Shows reports on standard error as "[TITEL] zeile"; asks OK/Abbrechen on
// the controlling terminal unless a fixed answer was given.
class KonsolenFenster : public Nachrichtenfenster {
  public:
    Antwort Zeige(std::string_view titel, std::string_view zeile, bool mitAbbrechen) override;
    std::optional<Antwort> festeAntwort;  // --antwort
};

KonsolenFenster& StandardFenster();

}  // namespace taktler::services
