// SPDX-License-Identifier: GPL-3.0-or-later
// A descriptor put onto a standard stream for a scope (the C runtime's dup/dup2 on Windows).
#pragma once

#include <unistd.h>

#include <cstdio>

namespace taktler::test {

class Umgelenkt {
  public:
    Umgelenkt(int fd, int ziel) : ziel_(ziel), alt_(::dup(ziel)) {
        std::fflush(nullptr);
        ::dup2(fd, ziel);
    }
    ~Umgelenkt() {
        std::fflush(nullptr);
        ::dup2(alt_, ziel_);
        ::close(alt_);
    }
    Umgelenkt(const Umgelenkt&) = delete;
    Umgelenkt& operator=(const Umgelenkt&) = delete;

  private:
    int ziel_, alt_;
};

}  // namespace taktler::test
