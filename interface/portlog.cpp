// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/portlog.h"

#include <cerrno>
#include <cstring>

#include "services/abschluss.h"

namespace taktler::interface {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

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
    int nummer = 0;
    auto kanal = services::Ausgabekanal::Oeffne(datei, false, nummer);
    if (!kanal) {
        fehler = datei + ": Port-Protokoll kann nicht angelegt werden: " + std::strerror(nummer);
        return nullptr;
    }
    return std::unique_ptr<PortLog>(new PortLog(std::move(innen), std::move(kanal), datei));
}

PortLog::PortLog(std::unique_ptr<Port> innen, std::unique_ptr<services::Ausgabekanal> kanal,
                 std::string name)
    : innen_(std::move(innen)), kanal_(std::move(kanal)), name_(std::move(name)) {
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
    if (!kanal_) {
        return;
    }
    const int fehler = kanal_->Schliessen();
    kanal_.reset();
    if (fehler != 0) {
        Verloren(fehler);
    }
}

void PortLog::Pruefen(int fehler) {
    if (fehler != 0) {
        kanal_.reset();
        Verloren(fehler);
    }
}

void PortLog::Verloren(int fehler) {
    services::Ausgabefehler(
        name_ + ": Port-Protokoll kann nicht geschrieben werden: " + std::strerror(fehler));
}

void PortLog::Zeile(const char* text, std::size_t laenge) {
    if (kanal_) {
        Pruefen(kanal_->Schreibe({text, laenge}));
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
    if (kanal_) {
        Pruefen(kanal_->Leeren());
    }
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
