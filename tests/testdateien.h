// Temporary directories and files for tests, and a runner for the built
// program.
#pragma once

#include <string>
#include <vector>

namespace taktler::test {

// A fresh directory below /tmp, removed with everything in it at the end.
class TempVerzeichnis {
public:
    TempVerzeichnis();
    ~TempVerzeichnis();
    TempVerzeichnis(const TempVerzeichnis&) = delete;
    TempVerzeichnis& operator=(const TempVerzeichnis&) = delete;
    const std::string& pfad() const { return pfad_; }
    std::string operator/(const std::string& name) const { return pfad_ + "/" + name; }

private:
    std::string pfad_;
};

void SchreibeDatei(const std::string& pfad, const std::string& inhalt);
std::string LiesDatei(const std::string& pfad);
bool DateiExistiert(const std::string& pfad);

// The lines of a text, and the "# Motoren ..." states of a port log in order.
std::vector<std::string> Zeilen(const std::string& text);
std::vector<std::string> Motorzustaende(const std::string& log);

// The text as one shell word.
std::string Quote(const std::string& s);

struct Aufruf {
    int code = -1;    // exit code, or 128 + signal
    std::string aus;  // standard output
    std::string fehler;  // standard error
};

// Runs the built taktler with the arguments in dir; stdin from eingabe.
Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe = "");

}  // namespace taktler::test
