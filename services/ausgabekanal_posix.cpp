// SPDX-License-Identifier: GPL-3.0-or-later
// An output channel as a stdio stream, POSIX: a glibc cookie stream whose
// writes and close go through the channel.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "services/ausgabekanal.h"

namespace taktler::services {

namespace {

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

std::FILE* Ausgabekanal::AlsStrom(std::unique_ptr<Ausgabekanal> kanal, const char* modus) {
    const cookie_io_functions_t funktionen{nullptr, StromSchreiben, StromSuchen, StromSchliessen};
    std::FILE* strom = ::fopencookie(kanal.get(), modus, funktionen);
    if (strom != nullptr) {
        kanal.release();
    }
    return strom;
}

}  // namespace taktler::services
