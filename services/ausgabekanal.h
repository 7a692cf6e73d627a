// SPDX-License-Identifier: GPL-3.0-or-later
// The one way an output file of the run is written (protocol file, port
// log, timing diagram, trace, coverage): its descriptor never blocks, so an
// output whose reader stopped reading (a pipe to `less`) never holds the run
// up with the motors on. While the reader is behind, the run waits for it,
// but gives way to a signal: from then on the bytes are held until the
// program's end, which writes everything it holds, waiting for the reader;
// only a further signal that asks to stop gives that wait up, and the owner
// then names the incomplete file. A regular file is always written through.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace taktler::services {

class Ausgabekanal {
  public:
    // Opens pfad for writing: at its end (anhaengen), or emptied. Gives null
    // and the error number in fehler when it cannot be opened; an open that
    // waits (a FIFO without a reader) gives way to a signal with EINTR.
    static std::unique_ptr<Ausgabekanal> Oeffne(const std::string& pfad, bool anhaengen,
                                                int& fehler);
    // Closes without writing what is still held (Schliessen writes it).
    ~Ausgabekanal();
    Ausgabekanal(const Ausgabekanal&) = delete;
    Ausgabekanal& operator=(const Ausgabekanal&) = delete;

    // Takes the bytes; once a block is held they are written out. Gives 0,
    // or the error number once the output has lost data (from then on it
    // takes nothing more and gives that number again).
    int Schreibe(std::string_view daten);
    // Writes out what is held, as above. Gives 0 or the error number.
    int Leeren();
    // The end: writes everything held, then closes. Gives 0, or the error
    // number (EINTR when a further signal gave up the wait for a reader).
    int Schliessen();

    std::size_t Gehalten() const { return gehalten_.size(); }
    int Deskriptor() const { return fd_; }

    // The same channel as a stdio stream for writing ("a" or "w"), owning
    // it: writes go through Schreibe, fclose goes through Schliessen and
    // fails with its error number. Null when the stream cannot be made.
    static std::FILE* AlsStrom(std::unique_ptr<Ausgabekanal> kanal, const char* modus);

  private:
    explicit Ausgabekanal(int fd);
    // Writes held bytes; bis_alles: wait for a slow reader until all are out.
    int Ausschreiben(bool bisAlles);

    int fd_;
    int fehler_ = 0;
    std::string gehalten_;
};

}  // namespace taktler::services
