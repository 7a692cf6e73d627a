// SPDX-License-Identifier: GPL-3.0-or-later
// An output channel as a stdio stream, Windows: the runtime has no streams
// of one's own, so the stream takes the channel's descriptor and writes to
// it directly (a file is written through; see README, Windows, for pipes).
#include <io.h>

#include <cstdio>
#include <memory>
#include <string>

#include "services/ausgabekanal.h"

namespace taktler::services {

std::FILE* Ausgabekanal::AlsStrom(std::unique_ptr<Ausgabekanal> kanal, const char* modus) {
    const std::string binaer = std::string(modus) + "b";
    std::FILE* strom = _fdopen(kanal->fd_, binaer.c_str());
    if (strom != nullptr) {
        kanal->fd_ = -1;  // the stream's now
    }
    return strom;
}

}  // namespace taktler::services
