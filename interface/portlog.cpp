#include "interface/portlog.h"

#include <cerrno>
#include <cstring>

namespace taktler::interface {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Holds the lines of a whole measurement window (4999 reads of 9 bytes and
// the trigger writes), so that the buffer is never written out inside one.
constexpr std::size_t kPuffer = 1 << 16;

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
    std::FILE* f = std::fopen(datei.c_str(), "w");
    if (f == nullptr) {
        fehler = datei + ": Port-Protokoll kann nicht angelegt werden: " + std::strerror(errno);
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IOFBF, kPuffer);
    return std::unique_ptr<PortLog>(new PortLog(std::move(innen), f));
}

PortLog::PortLog(std::unique_ptr<Port> innen, std::FILE* datei)
    : innen_(std::move(innen)), datei_(datei) {
    innen_->SetzeNotizZiel([this](const std::string& text) { Notiz(text); });
}

PortLog::~PortLog() {
    innen_->SetzeNotizZiel(nullptr);
    std::fclose(datei_);
}

void PortLog::Zeile(const char* text, std::size_t laenge) {
    std::fwrite(text, 1, laenge, datei_);
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
    std::fwrite(text.data(), 1, text.size(), datei_);
    std::fputc('\n', datei_);
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
    std::fflush(datei_);
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
