// SPDX-License-Identifier: GPL-3.0-or-later
// Writes every access to a port into a file, one line each:
//   W 378 F2      byte to the data register
//   W16 378 00FB  16-bit word at the data register's address
//   R 379 3F      byte read from the status register
//   CLI / STI     interruptions held off / allowed again
// plus the "# ..." notes of the port behind it, right after the write that
// caused them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "interface/port.h"
#include "services/ausgabekanal.h"

namespace taktler::interface {

class PortLog : public Port {
  public:
    // Creates the log file; on failure gives null and the reason in fehler.
    static std::unique_ptr<PortLog> Oeffne(std::unique_ptr<Port> innen, const std::string& datei,
                                           std::string& fehler);
    ~PortLog() override;
    PortLog(const PortLog&) = delete;
    PortLog& operator=(const PortLog&) = delete;

    void SchreibeByte(std::uint8_t wert) override;
    void SchreibeWort(std::uint16_t wert) override;
    std::uint8_t LiesStatus() override;
    void Sperren() override;
    void Freigeben() override;
    // Notes go to the log and then on to this target.
    void SetzeNotizZiel(std::function<void(const std::string&)> ziel) override;
    std::string Stoerung() override { return innen_->Stoerung(); }

    // Writes what is still held, closes the file and reports a log that
    // could not be written completely. Runs at the program's end on every
    // way it ends, or when the log is destroyed before.
    void Abschliessen();

  private:
    PortLog(std::unique_ptr<Port> innen, std::unique_ptr<services::Ausgabekanal> kanal,
            std::string name);
    void Zeile(const char* text, std::size_t laenge);
    // One access line: "W 378 F2", "W16 378 00FB", "R 379 3F".
    void Zugriff(const char* art, std::uint16_t adresse, unsigned wert, int stellen);
    void Notiz(const std::string& text);
    // A write that lost lines: no more are written, and the run is told.
    // (Switching the motors off never waits for the log: a reader that is
    // behind gets the lines at the program's end.)
    void Pruefen(int fehler);
    void Verloren(int fehler);

    std::unique_ptr<Port> innen_;
    std::unique_ptr<services::Ausgabekanal> kanal_;  // null once closed or lost
    std::string name_;
    std::size_t abschluss_ = 0;  // the program end's finisher
    std::function<void(const std::string&)> weiter_;
};

}  // namespace taktler::interface
