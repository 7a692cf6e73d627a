// Temporary directories and files for tests, and a runner for the built
// program.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace taktler::test {

// A fresh directory below /tmp, removed with all in it at the end; its name
// is short and resolved (it fits the file module's slots, equals getcwd).
class TempVerzeichnis {
  public:
    TempVerzeichnis();
    ~TempVerzeichnis();
    TempVerzeichnis(const TempVerzeichnis&) = delete;
    TempVerzeichnis& operator=(const TempVerzeichnis&) = delete;
    const std::string& pfad() const { return pfad_; }
    std::string operator/(const std::string& name) const { return pfad_ + "/" + name; }
    // Writes a file below the directory, creating directories on the way.
    std::string Datei(const std::string& name, const std::string& inhalt = "x") const;

  private:
    std::string pfad_;
};

// A 16-bit mono PCM wave of a 440 Hz sine, 8000 frames a second.
std::string SinusWav(double sekunden);

void SchreibeDatei(const std::string& pfad, const std::string& inhalt);
std::string LiesDatei(const std::string& pfad);
bool DateiExistiert(const std::string& pfad);

// The lines of a text; the "# Motoren ..." states of a port log in order.
std::vector<std::string> Zeilen(const std::string& text);
std::vector<std::string> Motorzustaende(const std::string& log);

// A timing diagram (VCD) as its value changes, start values at time 0 included.
struct VcdAenderung {
    std::uint64_t zeit = 0;
    std::string name;
    std::uint64_t wert = 0;
    bool operator==(const VcdAenderung& o) const {
        return zeit == o.zeit && name == o.name && wert == o.wert;
    }
};
struct Vcd {
    std::vector<VcdAenderung> aenderungen;
    std::uint64_t ende = 0;         // the last time stamp
    bool kopfVollstaendig = false;  // $enddefinitions seen
};
Vcd LiesVcd(const std::string& text);
std::ostream& operator<<(std::ostream& os, const VcdAenderung& a);

// What is wrong with a finished timing diagram, or "": whole lines, header,
// a last time stamp, the motors as in "# Motoren RNLN".
std::string ZeitdiagrammMangel(const std::string& text, const std::string& motoren);

// The text as one shell word.
std::string Quote(const std::string& s);

struct Aufruf {
    int code = -1;       // exit code, or 128 + signal; -1: killed at the time limit
    std::string aus;     // standard output
    std::string fehler;  // standard error
};

// For a child about to run the program: a file past 256 MiB ends it (SIGXFSZ).
void DateigroesseBegrenzen();

// Runs a shell command in a session of its own, with a time limit and the
// file-size limit, then kills what is left of its process group. The wait
// status, or -1 when it had to be killed (said on standard error).
int StarteBegrenzt(const std::string& befehl);

// Runs the built taktler through StarteBegrenzt in the directory, stdin from
// eingabe, with NAME=WERT settings, stdout to ausgabeZiel when named.
Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe = "", const std::vector<std::string>& umgebung = {},
                     const std::string& ausgabeZiel = "");

}  // namespace taktler::test
