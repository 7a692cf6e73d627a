#include "testdateien.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace taktler::test {

namespace fs = std::filesystem;

TempVerzeichnis::TempVerzeichnis() {
    std::string muster = (fs::temp_directory_path() / "taktler-test-XXXXXX").string();
    if (mkdtemp(muster.data()) == nullptr) {
        throw std::runtime_error("mkdtemp");
    }
    pfad_ = muster;
}

TempVerzeichnis::~TempVerzeichnis() {
    std::error_code ec;
    fs::permissions(pfad_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pfad_, ec);
}

void SchreibeDatei(const std::string& pfad, const std::string& inhalt) {
    std::ofstream f(pfad, std::ios::binary | std::ios::trunc);
    f << inhalt;
}

std::string LiesDatei(const std::string& pfad) {
    std::ifstream f(pfad, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool DateiExistiert(const std::string& pfad) {
    return fs::exists(pfad);
}

namespace {
std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}
}  // namespace

Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe) {
    std::string ein = verzeichnis + "/.stdin";
    std::string aus = verzeichnis + "/.stdout";
    std::string err = verzeichnis + "/.stderr";
    SchreibeDatei(ein, eingabe);
    // TAKTLER_TEST_VOR runs the program under a tool, e.g. valgrind
    // (tools/valgrind.sh); the words are taken as the shell splits them.
    const char* vor = std::getenv("TAKTLER_TEST_VOR");
    std::string befehl = "cd " + Quote(verzeichnis) + " && exec " +
                         (vor != nullptr ? std::string(vor) + " " : std::string()) +
                         Quote(TAKTLER_BINARY);
    for (const auto& a : argumente) {
        befehl += " " + Quote(a);
    }
    befehl += " <" + Quote(ein) + " >" + Quote(aus) + " 2>" + Quote(err);
    // setsid: no controlling terminal, so a WARNUNG is never asked there.
    std::string voll = "setsid -w sh -c " + Quote(befehl);
    int status = std::system(voll.c_str());
    Aufruf a;
    if (WIFEXITED(status)) {
        a.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        a.code = 128 + WTERMSIG(status);
    }
    a.aus = LiesDatei(aus);
    a.fehler = LiesDatei(err);
    return a;
}

}  // namespace taktler::test
