// SPDX-License-Identifier: GPL-3.0-or-later
// An output channel as a stdio stream, Windows: the runtime has no streams
// of one's own. A file is written through by a stream on the channel's
// descriptor. A pipe gets a stream on a pipe of the program's own, which a
// thread drains into the channel: while the channel waits for a slow
// reader the stream's writes wait too, and when the wait gives way to a
// control event the thread holds the bytes, so that the run goes on. The
// link wraps fclose, which then waits for the thread to write everything
// out and gives the channel's error.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "services/ausgabekanal.h"
#include "windows_naehte.h"

namespace taktler::services {

namespace {

struct Weiterleitung {
    std::unique_ptr<Ausgabekanal> kanal;
    HANDLE lesen = INVALID_HANDLE_VALUE;
    std::thread faden;
    int fehler = 0;
};

std::mutex& Sperre() {
    static std::mutex sperre;
    return sperre;
}

std::map<std::FILE*, std::unique_ptr<Weiterleitung>>& Weiterleitungen() {
    static std::map<std::FILE*, std::unique_ptr<Weiterleitung>> alle;
    return alle;
}

// Until the stream is closed: everything into the channel (after a loss it
// takes nothing, and the rest is read and dropped, so no write waits).
void Weiterleiten(Weiterleitung& w) {
    std::string puffer(std::size_t{1} << 16, '\0');
    DWORD gelesen = 0;
    while (ReadFile(w.lesen, puffer.data(), static_cast<DWORD>(puffer.size()), &gelesen, nullptr) !=
               0 &&
           gelesen > 0) {
        const int fehler = w.kanal->Schreibe({puffer.data(), gelesen});
        if (w.fehler == 0) {
            w.fehler = fehler;
        }
    }
    const int fehler = w.kanal->Schliessen();
    if (w.fehler == 0) {
        w.fehler = fehler;
    }
}

}  // namespace

std::FILE* Ausgabekanal::AlsStrom(std::unique_ptr<Ausgabekanal> kanal, const char* modus) {
    const std::string binaer = std::string(modus) + "b";
    if (!windows::IstRohr(kanal->fd_)) {
        std::FILE* strom = _fdopen(kanal->fd_, binaer.c_str());
        if (strom != nullptr) {
            kanal->fd_ = -1;  // the stream's now
        }
        return strom;
    }
    auto w = std::make_unique<Weiterleitung>();
    HANDLE schreiben = INVALID_HANDLE_VALUE;
    if (CreatePipe(&w->lesen, &schreiben, nullptr, 1 << 16) == 0) {
        errno = EMFILE;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(schreiben), _O_WRONLY | _O_BINARY);
    std::FILE* strom = fd >= 0 ? _fdopen(fd, binaer.c_str()) : nullptr;
    if (strom == nullptr) {
        fd >= 0 ? (void)_close(fd) : (void)CloseHandle(schreiben);
        CloseHandle(w->lesen);
        errno = EMFILE;
        return nullptr;
    }
    w->kanal = std::move(kanal);
    Weiterleitung& weiter = *w;
    w->faden = std::thread([&weiter] { Weiterleiten(weiter); });
    std::lock_guard<std::mutex> gesperrt(Sperre());
    Weiterleitungen().emplace(strom, std::move(w));
    return strom;
}

}  // namespace taktler::services

extern "C" int __real_fclose(std::FILE* strom);

// Every fclose of the program: a stream on a pipe is finished by its thread.
extern "C" int __wrap_fclose(std::FILE* strom) {
    using namespace taktler::services;
    std::unique_ptr<Weiterleitung> w;
    {
        std::lock_guard<std::mutex> gesperrt(Sperre());
        auto eintrag = Weiterleitungen().find(strom);
        if (eintrag != Weiterleitungen().end()) {
            w = std::move(eintrag->second);
            Weiterleitungen().erase(eintrag);
        }
    }
    const int ergebnis = __real_fclose(strom);
    if (!w) {
        return ergebnis;
    }
    w->faden.join();
    CloseHandle(w->lesen);
    if (w->fehler != 0) {
        errno = w->fehler;
        return EOF;
    }
    return ergebnis;
}
