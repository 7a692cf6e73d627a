// SPDX-License-Identifier: GPL-3.0-or-later
// Record positions, the mark, rewriting a record in place, raw appends and
// block reads.
//
// After a failed open the object has a mode but no stream. These operations
// then treat it as closed and never touch the missing stream: SetzeMarke and
// GeheZuMarke give 0 (mark 0), IstMarkeErreicht 1, GeheZuFilePtrPos and
// LiesBlock 0, AktualisiereSatz writes nothing; the open's warning has been
// shown.
#include "datei/positionen.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "datei/intern.h"

namespace taktler::datei {

using intern::Abbruch;
using intern::Pruefe;
using intern::Warne;

namespace {

bool HatStrom(const DateiADO* datei) {
    return datei->Modus != kGeschlossen && datei->FilePtr != nullptr;
}

// Reopens for reading and writing and puts the new stream at the offset
// the old one had.
void NachLesenSchreiben(DateiADO* datei) {
    long alt = std::ftell(datei->FilePtr);
    if (OeffneReadWrite(datei) == 0) {
        return;
    }
    std::fseek(datei->FilePtr, alt < 0 ? 0 : alt, SEEK_SET);
}

// Brings the object into mode 2 the way GeheZuFilePtrPos and
// AktualisiereSatz need it; false when the open left no stream.
bool InLesenSchreiben(DateiADO* datei) {
    if (datei->FilePtr == nullptr) {
        OeffneReadWrite(datei);
    }
    if (datei->Modus != kLesenSchreiben && datei->FilePtr != nullptr) {
        NachLesenSchreiben(datei);
    }
    return datei->FilePtr != nullptr;
}

}  // namespace

std::uint8_t SetzeMarke(DateiADO* datei) {
    services::TraceKlammer k(kModul, "SetzeMarke");
    Pruefe(datei, "SetzeMarke");
    std::uint8_t ergebnis = 0;
    if (HatStrom(datei)) {
        datei->Marke = intern::Offset(datei->FilePtr);
        ergebnis = 1;
    } else {
        datei->Marke = 0;
    }
    services::TraceText(kModul, services::Format("Marke: %" PRId32, datei->Marke));
    return ergebnis;
}

std::uint8_t GeheZuMarke(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GeheZuMarke");
    Pruefe(datei, "GeheZuMarke");
    if (!HatStrom(datei)) {
        datei->Marke = 0;
        return 0;
    }
    if (std::fseek(datei->FilePtr, datei->Marke, SEEK_SET) != 0) {
        int fehler = errno;
        Abbruch("GeheZuMarke",
                services::Format("Fehler bei fseek %s", intern::Systemtext(fehler).c_str()));
    }
    return 1;
}

std::uint8_t IstMarkeErreicht(DateiADO* datei) {
    services::TraceKlammer k(kModul, "IstMarkeErreicht");
    Pruefe(datei, "IstMarkeErreicht");
    std::uint8_t ergebnis = 1;
    if (HatStrom(datei)) {
        ergebnis = datei->Marke < intern::Offset(datei->FilePtr) ? 1 : 0;
    }
    services::TraceText(
        kModul, services::Format("Pos %" PRId32 ",Marke: %" PRId32, datei->Pos, datei->Marke));
    return ergebnis;
}

std::int32_t GibFilePtrPos(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GibFilePtrPos");
    Pruefe(datei, "GibFilePtrPos");
    return datei->Pos;
}

std::uint8_t GeheZuFilePtrPos(DateiADO* datei, std::int32_t position) {
    services::TraceKlammer k(kModul, "GeheZuFilePtrPos");
    Pruefe(datei, "GeheZuFilePtrPos");
    if (!InLesenSchreiben(datei)) {
        return 0;
    }
    long vorher = std::ftell(datei->FilePtr);
    if (std::fseek(datei->FilePtr, position, SEEK_SET) != 0) {
        Warne("GeheZuFilePtrPos", "fseek erfolglos!");
        std::fseek(datei->FilePtr, vorher < 0 ? 0 : vorher, SEEK_SET);
        return 0;
    }
    datei->Pos = position;
    datei->WeitereSaetze = 1;
    return 1;
}

void AktualisiereSatz(DateiADO* datei, const char* text) {
    services::TraceKlammer k(kModul, "AktualisiereSatz");
    Pruefe(datei, "AktualisiereSatz");
    if (text == nullptr) {
        text = "";
    }
    if (!InLesenSchreiben(datei)) {
        return;
    }
    std::FILE* strom = datei->FilePtr;
    long zurueck = std::ftell(strom);
    std::size_t bereich =
        datei->Satzlaenge < 2 ? 0 : static_cast<std::size_t>(datei->Satzlaenge - 2);
    std::size_t n = std::strlen(text);
    if (n > bereich) {
        Warne("AktualisiereSatz", "Satz gekuerzt");
        n = bereich;
    }
    auto schreibfehler = [datei] {
        int fehler = errno;
        Abbruch("AktualisiereSatz", services::Format("Eingabedatei %s: %s\n", datei->Pfad.data(),
                                                     intern::Systemtext(fehler).c_str()));
    };
    std::fseek(strom, datei->Pos, SEEK_SET);
    if (std::fwrite(text, 1, n, strom) != n) {
        schreibfehler();
    }
    // Pad with blanks so the line end stays and nothing after it moves.
    for (std::size_t i = n; i < bereich; ++i) {
        if (std::fputc(' ', strom) == EOF) {
            schreibfehler();
        }
    }
    std::fseek(strom, zurueck < 0 ? 0 : zurueck, SEEK_SET);
}

std::uint8_t SchreibDaten(DateiADO* datei, const void* daten, std::int32_t anzahl) {
    services::TraceKlammer k(kModul, "SchreibDaten");
    Pruefe(datei, "SchreibDaten");
    std::uint8_t ok = intern::ZumAnhaengen(datei);
    if (ok == 1) {
        // A negative count can't be written; it must not turn into a huge one.
        if (anzahl < 0) {
            Abbruch("SchreibDaten", "fwrite");
        }
        auto laenge = static_cast<std::size_t>(anzahl);
        if (laenge > 0 && std::fwrite(daten, 1, laenge, datei->FilePtr) != laenge) {
            Abbruch("SchreibDaten", "fwrite");
        }
    }
    if (ok == 0) {
        Abbruch("SchreibDaten", "allg. Fehler");
    }
    return 1;
}

std::int32_t LiesBlock(DateiADO* datei, void* puffer, std::int32_t gewuenscht, std::int32_t start) {
    services::TraceKlammer k(kModul, "LiesBlock");
    Pruefe(datei, "LiesBlock");
    if (datei->FilePtr == nullptr) {
        OeffnenRead(datei);
        if (datei->FilePtr == nullptr) {
            return 0;
        }
    }
    std::FILE* strom = datei->FilePtr;
    long ziel = datei->Pos;
    if (start >= 0) {
        if (std::fseek(strom, start, SEEK_SET) != 0) {
            Abbruch("LiesBlock", "fseek erfolglos!");
        }
        ziel = start;
    } else {
        std::fseek(strom, datei->Pos, SEEK_SET);
    }
    // One unbuffered read at the offset itself: the stream may have read
    // ahead while seeking, and pread leaves the descriptor's offset where
    // the stream expects it.
    const std::size_t anzahl = gewuenscht < 0 ? 0 : static_cast<std::size_t>(gewuenscht);
    long long gelesen = services::plattform::LiesAn(strom, puffer, anzahl, ziel);
    // A pipe, FIFO or device has no offsets: a plain read goes on where it
    // stands.
    if (gelesen < 0 && errno == ESPIPE) {
        gelesen = services::plattform::Lies(strom, puffer, anzahl);
    }
    if (gelesen < 0) {
        int fehler = errno;
        Abbruch("LiesBlock", services::Format("Fehler bei Quelldatei fread %s",
                                              intern::Systemtext(fehler).c_str()));
    }
    std::fseek(strom, ziel + gelesen, SEEK_SET);
    datei->Pos = intern::Offset(strom);
    return static_cast<std::int32_t>(gelesen);
}

}  // namespace taktler::datei
