// SPDX-License-Identifier: GPL-3.0-or-later
// The panel in a real terminal for the tests: a tmux server of its own runs the built program,
// types the keys and reads the screen.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testdateien.h"

namespace taktler::test {

using namespace std::chrono_literals;

template <typename F>
bool Warte(F&& pruefe) {
    for (auto ende = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < ende; std::this_thread::sleep_for(20ms)) {
        if (pruefe()) {
            return true;
        }
    }
    return false;
}

// A tmux server of its own, killed with the program's process group before dir goes.
class Tmux {
  public:
    explicit Tmux(const TempVerzeichnis& dir)
        : dir_(dir),
          basis_("tmux -L taktler-test-" + std::to_string(getpid()) + "-" +
                 std::to_string(++zaehler_)) {
        SchreibeDatei(dir / "tmux.conf",
                      "set -g remain-on-exit on\nset -g default-terminal screen\n");
    }
    ~Tmux() {
        const pid_t gruppe = std::atoi(Ausgabe("list-panes -F '#{pane_pid}'").c_str());
        if (gruppe > 1) {
            kill(-gruppe, SIGKILL);
            for (int i = 0; i < 250 && kill(-gruppe, 0) == 0; ++i) {
                std::this_thread::sleep_for(20ms);
            }
        }
        std::system((basis_ + " kill-server >/dev/null 2>&1").c_str());
    }

    bool Starte(const std::string& argumente, int breite, int hoehe,
                const std::string& umgebung = "") {
        std::string befehl = "cd " + Quote(dir_.pfad()) + " && " + umgebung +
                             " timeout --foreground -s KILL 120 " + Quote(TAKTLER_BINARY) + " " +
                             argumente + "; echo $? > code.txt";
        return std::system((basis_ + " -f " + Quote(dir_ / "tmux.conf") +
                            " new-session -d -s panel -x " + std::to_string(breite) + " -y " +
                            std::to_string(hoehe) + " " + Quote(befehl))
                               .c_str()) == 0;
    }
    void Tasten(const std::string& tasten) const {
        std::system((basis_ + " send-keys -t panel " + tasten).c_str());
    }
    std::string Ausgabe(const std::string& befehl) const {
        std::string text;
        if (FILE* p = popen((basis_ + " " + befehl + " 2>/dev/null").c_str(), "r")) {
            char puffer[4096];
            for (std::size_t n; (n = std::fread(puffer, 1, sizeof puffer, p)) > 0;) {
                text.append(puffer, n);
            }
            pclose(p);
        }
        return text;
    }
    // A failure shows the screen.
    ::testing::AssertionResult WarteAuf(const std::vector<std::string>& texte,
                                        bool mitVerlauf = false) {
        const bool gesehen = Warte([&] {
            letztes =
                Ausgabe(std::string("capture-pane -t panel -p") + (mitVerlauf ? " -S -1000" : ""));
            return std::all_of(texte.begin(), texte.end(),
                               [&](const auto& t) { return letztes.find(t) != std::string::npos; });
        });
        return gesehen ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << letztes;
    }
    int Exitcode() const {
        std::string code;
        Warte([&] {
            code = LiesDatei(dir_ / "code.txt");
            return !code.empty() && code.back() == '\n';
        });
        return code.empty() ? -1 : std::atoi(code.c_str());
    }

    std::string letztes;

  private:
    static inline int zaehler_ = 0;
    const TempVerzeichnis& dir_;
    std::string basis_;
};

}  // namespace taktler::test
