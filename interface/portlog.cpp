// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/portlog.h"

#include <cerrno>
#include <cstring>

#include "services/abschluss.h"
#include "services/plattform.h"
#include "services/unterbrechung.h"

namespace taktler::interface {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Lines are written out in blocks of this size. A block holds a whole
// measurement window (4999 reads of 9 bytes and the trigger writes), and
// the log is written out before each window, so never inside one.
constexpr std::size_t kBlock = 1 << 16;

// Hand-made hex: a measurement logs 5000 reads, printf would slow it down.
char* Hex(char* ziel, unsigned wert, int stellen) {
    for (int i = stellen - 1; i >= 0; --i) {
        ziel[i] = kHex[wert & 0xF];
        wert >>= 4;
    }
    return ziel + stellen;
}

char* Text(char* ziel, const char* text) {
    while (*text != '\0') {
        *ziel++ = *text++;
    }
    return ziel;
}

}  // namespace

std::unique_ptr<PortLog> PortLog::Oeffne(std::unique_ptr<Port> innen, const std::string& datei,
                                         std::string& fehler) {
    int fd = -1;
    do {
        fd = services::plattform::OeffneAusgabe(datei);
    } while (fd < 0 && errno == EINTR && services::UnterbrochenesSignal() == 0);
    if (fd < 0) {
        fehler = datei + ": Port-Protokoll kann nicht angelegt werden: " + std::strerror(errno);
        return nullptr;
    }
    // A pipe that is full makes a write fail instead of block, so that the
    // wait for its reader can give way to a signal (a file never blocks).
    return std::unique_ptr<PortLog>(new PortLog(std::move(innen), fd, datei));
}

PortLog::PortLog(std::unique_ptr<Port> innen, int fd, std::string name)
    : innen_(std::move(innen)), fd_(fd), name_(std::move(name)) {
    gehalten_.reserve(2 * kBlock);
    innen_->SetzeNotizZiel([this](const std::string& text) { Notiz(text); });
    abschluss_ = services::AusgabeAnmelden([this] { Abschliessen(); });
}

PortLog::~PortLog() {
    innen_->SetzeNotizZiel(nullptr);
    try {
        Abschliessen();
    } catch (...) {
        // Only the test seam's exit throws; a destructor must not pass it on.
    }
}

void PortLog::Abschliessen() {
    services::AusgabeAbmelden(abschluss_);
    if (fd_ < 0) {
        return;
    }
    Leeren();
    if (fd_ < 0) {
        return;
    }
    // Lines still held: the wait for the reader gave way to a signal.
    int fehler = gehalten_.empty() ? 0 : EINTR;
    if (services::plattform::Schliesse(fd_) != 0 && fehler == 0) {
        fehler = errno;
    }
    fd_ = -1;
    if (fehler != 0) {
        Verloren(fehler);
    }
}

void PortLog::Leeren() {
    std::size_t geschrieben = 0;
    while (fd_ >= 0 && geschrieben < gehalten_.size() && !services::Nachgeben()) {
        const long long n = services::plattform::Schreibe(fd_, gehalten_.data() + geschrieben,
                                                          gehalten_.size() - geschrieben);
        if (n > 0) {
            geschrieben += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            if (!services::WarteBereit(fd_, services::plattform::kSchreibbar)) {
                break;
            }
        } else if (!(n < 0 && errno == EINTR)) {
            Verloren(n < 0 ? errno : EIO);
            return;
        }
    }
    gehalten_.erase(0, geschrieben);
}

void PortLog::Verloren(int fehler) {
    if (fd_ >= 0) {
        services::plattform::Schliesse(fd_);
        fd_ = -1;
    }
    gehalten_.clear();
    gehalten_.shrink_to_fit();
    services::Ausgabefehler(
        name_ + ": Port-Protokoll kann nicht geschrieben werden: " + std::strerror(fehler));
}

void PortLog::Zeile(const char* text, std::size_t laenge) {
    if (fd_ < 0) {
        return;
    }
    gehalten_.append(text, laenge);
    if (gehalten_.size() >= kBlock) {
        Leeren();
    }
}

void PortLog::Zugriff(const char* art, std::uint16_t adresse, unsigned wert, int stellen) {
    char zeile[16];
    char* p = Text(zeile, art);
    p = Hex(p, adresse, 3);
    *p++ = ' ';
    p = Hex(p, wert, stellen);
    *p++ = '\n';
    Zeile(zeile, static_cast<std::size_t>(p - zeile));
}

void PortLog::Notiz(const std::string& text) {
    Zeile(text.data(), text.size());
    Zeile("\n", 1);
    if (weiter_) {
        weiter_(text);
    }
}

void PortLog::SchreibeByte(std::uint8_t wert) {
    Zugriff("W ", kDatenregister, wert, 2);
    innen_->SchreibeByte(wert);
}

void PortLog::SchreibeWort(std::uint16_t wert) {
    Zugriff("W16 ", kDatenregister, wert, 4);
    innen_->SchreibeWort(wert);
}

std::uint8_t PortLog::LiesStatus() {
    const std::uint8_t wert = innen_->LiesStatus();
    Zugriff("R ", kStatusregister, wert, 2);
    return wert;
}

void PortLog::Sperren() {
    Zeile("CLI\n", 4);
    // A write to the file inside the window would stretch it.
    Leeren();
    innen_->Sperren();
}

void PortLog::Freigeben() {
    // Before the port's own notes on the window (its duration).
    Zeile("STI\n", 4);
    innen_->Freigeben();
}

void PortLog::SetzeNotizZiel(std::function<void(const std::string&)> ziel) {
    weiter_ = std::move(ziel);
}

}  // namespace taktler::interface
