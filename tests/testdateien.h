// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary files for tests, and a bounded runner for the built program.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace taktler::test {

// A fresh directory below the temporary directory, removed at the end; its name is short and
// resolved (it fits the file module's slots, equals getcwd), its separators native.
class TempVerzeichnis {
  public:
    TempVerzeichnis();
    ~TempVerzeichnis();
    TempVerzeichnis(const TempVerzeichnis&) = delete;
    TempVerzeichnis& operator=(const TempVerzeichnis&) = delete;
    const std::string& pfad() const { return pfad_; }
    std::string operator/(const std::string& name) const;
    std::string Datei(const std::string& name, const std::string& inhalt = "x") const;

  private:
    std::string pfad_;
};

// A 16-bit mono PCM wave of a 440 Hz sine, 8000 frames a second.
std::string SinusWav(double sekunden);

void SchreibeDatei(const std::string& pfad, const std::string& inhalt);
std::string LiesDatei(const std::string& pfad);

std::vector<std::string> Zeilen(const std::string& text);
// The lines that begin so, in order.
std::vector<std::string> ZeilenMit(const std::vector<std::string>& zeilen,
                                   const std::string& anfang);
// The "# Motoren ..." states of a port log in order.
std::vector<std::string> Motorzustaende(const std::string& log);

// A timing diagram (VCD): its value changes, start values included, and its last time stamp.
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
    std::uint64_t ende = 0;
};
Vcd LiesVcd(const std::string& text);
std::ostream& operator<<(std::ostream& os, const VcdAenderung& a);

// What is wrong with a finished timing diagram, or "": whole lines, a last time stamp, the
// motors as in "# Motoren RNLN".
std::string ZeitdiagrammMangel(const std::string& text, const std::string& motoren);

std::string Quote(const std::string& s);

struct Aufruf {
    int code = -1;  // exit code, or 128 + signal; -1: killed at the time limit
    std::string aus;
    std::string fehler;
};

// POSIX only (testdateien_posix.cpp). Runs a shell command in a session of its own with a time
// limit and a 256 MiB file-size limit, then kills what is left of its process group. The wait
// status, or -1 when it was killed.
int StarteBegrenzt(const std::string& befehl);

// Runs the built taktler in the directory, stdin from eingabe, with NAME=WERT settings.
Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe = "", const std::vector<std::string>& umgebung = {},
                     const std::string& ausgabeZiel = "");

}  // namespace taktler::test
