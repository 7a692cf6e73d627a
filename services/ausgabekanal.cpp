// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ausgabekanal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "services/unterbrechung.h"

namespace taktler::services {

namespace {

// Bytes are written out in blocks of this size (the port log writes one
// out before each analog measurement window, so never inside one).
constexpr std::size_t kBlock = std::size_t{1} << 16;

ssize_t StromSchreiben(void* kanal, const char* daten, std::size_t laenge) {
    const int fehler = static_cast<Ausgabekanal*>(kanal)->Schreibe({daten, laenge});
    if (fehler != 0) {
        errno = fehler;
        return -1;
    }
    return static_cast<ssize_t>(laenge);
}

// A position is asked for only with nothing held (a regular file is never
// behind).
int StromSuchen(void* zeiger, off64_t* position, int woher) {
    auto* kanal = static_cast<Ausgabekanal*>(zeiger);
    if (kanal->Leeren() != 0 || kanal->Gehalten() != 0) {
        errno = ESPIPE;
        return -1;
    }
    const off64_t neu = ::lseek64(kanal->Deskriptor(), *position, woher);
    if (neu < 0) {
        return -1;
    }
    *position = neu;
    return 0;
}

int StromSchliessen(void* zeiger) {
    std::unique_ptr<Ausgabekanal> kanal(static_cast<Ausgabekanal*>(zeiger));
    const int fehler = kanal->Schliessen();
    if (fehler != 0) {
        errno = fehler;
        return -1;
    }
    return 0;
}

}  // namespace

std::unique_ptr<Ausgabekanal> Ausgabekanal::Oeffne(const std::string& pfad, bool anhaengen,
                                                   int& fehler) {
    const int art = O_WRONLY | O_CREAT | O_CLOEXEC | (anhaengen ? O_APPEND : O_TRUNC);
    int fd = -1;
    do {
        fd = ::open(pfad.c_str(), art, 0666);
    } while (fd < 0 && errno == EINTR && UnterbrochenesSignal() == 0);
    if (fd < 0) {
        fehler = errno;
        return nullptr;
    }
    // A pipe that is full makes a write fail instead of block, so that the
    // wait for its reader can give way to a signal (a file never blocks).
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    fehler = 0;
    return std::unique_ptr<Ausgabekanal>(new Ausgabekanal(fd));
}

Ausgabekanal::Ausgabekanal(int fd) : fd_(fd) {
    gehalten_.reserve(2 * kBlock);
}

Ausgabekanal::~Ausgabekanal() {
    if (fd_ >= 0) {
        ::close(fd_);
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
    if (::close(fd_) != 0 && fehler_ == 0) {
        fehler_ = errno;
    }
    fd_ = -1;
    return fehler_;
}

int Ausgabekanal::Ausschreiben(bool bisAlles) {
    std::size_t geschrieben = 0;
    while (fehler_ == 0 && geschrieben < gehalten_.size()) {
        const ssize_t n =
            ::write(fd_, gehalten_.data() + geschrieben, gehalten_.size() - geschrieben);
        if (n > 0) {
            geschrieben += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            // The reader is behind. During the run the wait gives way to a
            // signal and the bytes are held; at the end only a further one
            // gives it up, and the bytes are lost.
            if (!WarteBereit(fd_, POLLOUT)) {
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

std::FILE* Ausgabekanal::AlsStrom(std::unique_ptr<Ausgabekanal> kanal, const char* modus) {
    const cookie_io_functions_t funktionen{nullptr, StromSchreiben, StromSuchen, StromSchliessen};
    std::FILE* strom = ::fopencookie(kanal.get(), modus, funktionen);
    if (strom != nullptr) {
        kanal.release();
    }
    return strom;
}

}  // namespace taktler::services
