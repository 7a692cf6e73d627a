// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ausgabekanal.h"

#include <cerrno>

#include "services/plattform.h"
#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

// Bytes are written out in blocks of this size (the port log writes one
// out before each analog measurement window, so never inside one).
constexpr std::size_t kBlock = std::size_t{1} << 16;

}  // namespace

std::unique_ptr<Ausgabekanal> Ausgabekanal::Oeffne(const std::string& pfad, bool anhaengen,
                                                   int& fehler) {
    int fd = -1;
    do {
        fd = plattform::OeffneAusgabe(pfad, anhaengen);
    } while (fd < 0 && errno == EINTR && UnterbrochenesSignal() == 0);
    if (fd < 0) {
        fehler = errno;
        return nullptr;
    }
    // A pipe that is full makes a write fail instead of block, so that the
    // wait for its reader can give way to a signal (a file never blocks).
    fehler = 0;
    return std::unique_ptr<Ausgabekanal>(new Ausgabekanal(fd));
}

Ausgabekanal::Ausgabekanal(int fd) : fd_(fd) {
    gehalten_.reserve(2 * kBlock);
}

Ausgabekanal::~Ausgabekanal() {
    if (fd_ >= 0) {
        plattform::Schliesse(fd_);
    }
}

int Ausgabekanal::Schreibe(std::string_view daten) {
    if (fehler_ != 0 || fd_ < 0) {
        return fehler_ != 0 ? fehler_ : EBADF;
    }
    gehalten_.append(daten);
    return gehalten_.size() >= kBlock ? Ausschreiben(false) : 0;
}

int Ausgabekanal::Leeren() {
    return fd_ < 0 ? fehler_ : Ausschreiben(false);
}

int Ausgabekanal::Schliessen() {
    if (fd_ < 0) {
        return fehler_;
    }
    Ausschreiben(true);
    if (plattform::Schliesse(fd_) != 0 && fehler_ == 0) {
        fehler_ = errno;
    }
    fd_ = -1;
    return fehler_;
}

int Ausgabekanal::Ausschreiben(bool bisAlles) {
    std::size_t geschrieben = 0;
    while (fehler_ == 0 && geschrieben < gehalten_.size()) {
        const long long n = plattform::Schreibe(fd_, gehalten_.data() + geschrieben,
                                                gehalten_.size() - geschrieben);
        if (n > 0) {
            geschrieben += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            // The reader is behind. During the run the wait gives way to a
            // signal and the bytes are held; at the end only a further one
            // gives it up, and the bytes are lost.
            if (!WarteBereit(fd_, plattform::kSchreibbar)) {
                if (bisAlles) {
                    fehler_ = EINTR;
                }
                break;
            }
        } else if (!(n < 0 && errno == EINTR)) {
            fehler_ = n < 0 ? errno : EIO;
        }
    }
    gehalten_.erase(0, geschrieben);
    if (fehler_ != 0) {
        gehalten_.clear();
        gehalten_.shrink_to_fit();
    }
    return fehler_;
}

}  // namespace taktler::services
