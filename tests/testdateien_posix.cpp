// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded runner for the built program: a session of its own, a file-size limit, the whole
// process group killed at the end (POSIX only; the whole-program tests run on Linux).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "testdateien.h"

namespace taktler::test {

int StarteBegrenzt(const std::string& befehl) {
    const pid_t kind = fork();
    if (kind < 0) {
        return -1;
    }
    if (kind == 0) {
        // No controlling terminal (a WARNUNG is never asked), a group killed as a whole; a file
        // past 256 MiB ends it (SIGXFSZ).
        setsid();
        const rlimit grenze{rlim_t{256} << 20, rlim_t{256} << 20};
        setrlimit(RLIMIT_FSIZE, &grenze);
        execl("/bin/sh", "sh", "-c", befehl.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::chrono::seconds frist(std::getenv("TAKTLER_TEST_VOR") != nullptr ? 900 : 120);
    const auto ende = std::chrono::steady_clock::now() + frist;
    auto pause = std::chrono::milliseconds(1);
    bool beendet = false;
    while (!beendet && std::chrono::steady_clock::now() < ende) {
        siginfo_t info{};
        // WNOWAIT: a zombie keeps its group id from reuse until the group is killed.
        beendet = waitid(P_PID, static_cast<id_t>(kind), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                  info.si_pid == kind;
        if (!beendet) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }
    kill(-kind, SIGKILL);
    int status = 0;
    waitpid(kind, &status, 0);
    if (!beendet) {
        std::fprintf(stderr, "killed after %lld s: %s\n", static_cast<long long>(frist.count()),
                     befehl.c_str());
        return -1;
    }
    return status;
}

Aufruf StarteTaktler(const std::vector<std::string>& argumente, const std::string& verzeichnis,
                     const std::string& eingabe, const std::vector<std::string>& umgebung,
                     const std::string& ausgabeZiel) {
    SchreibeDatei(verzeichnis + "/.stdin", eingabe);
    // TAKTLER_TEST_VOR runs the program under a tool (tools/valgrind.sh).
    const char* vor = std::getenv("TAKTLER_TEST_VOR");
    std::string befehl = "cd " + Quote(verzeichnis) + " && exec env";
    for (const auto& u : umgebung) {
        befehl += " " + Quote(u);
    }
    befehl += " " + std::string(vor != nullptr ? vor : "") + " " + Quote(TAKTLER_BINARY);
    for (const auto& a : argumente) {
        befehl += " " + Quote(a);
    }
    const int status =
        StarteBegrenzt(befehl + " <.stdin >" +
                       Quote(ausgabeZiel.empty() ? ".stdout" : ausgabeZiel) + " 2>.stderr");
    Aufruf a;
    a.code = status == -1          ? -1
             : WIFEXITED(status)   ? WEXITSTATUS(status)
             : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                   : -1;
    a.aus = ausgabeZiel.empty() ? LiesDatei(verzeichnis + "/.stdout") : "";
    a.fehler = LiesDatei(verzeichnis + "/.stderr");
    return a;
}

}  // namespace taktler::test
