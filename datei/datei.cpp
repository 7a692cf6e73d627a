// SPDX-License-Identifier: GPL-3.0-or-later
// The file object: path, open modes, records read line by line and lines
// appended with CR LF.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>

#include "datei/intern.h"
#include "datei/satzregeln.h"
#include "services/abschluss.h"
#include "services/ausgabekanal.h"
#include "services/unterbrechung.h"

namespace taktler::datei {

using intern::Abbruch;

using intern::Pruefe;
using intern::Warne;

namespace intern {

std::string Systemtext(int fehler) {
    const char* text = std::strerror(fehler);
    return text != nullptr ? std::string(text) : std::string();
}

std::int32_t Offset(std::FILE* strom) {
    return static_cast<std::int32_t>(std::ftell(strom));
}

}  // namespace intern

namespace {

// Trace line of LiesSatz ("Pos %ld,Marke: %ld, %s", after "Letzter Satz! "
// for the last record), composed in the module's reused text buffer with
// to_chars: this runs for every record the interpreter reads, and once the
// buffer has grown nothing is allocated.
std::string_view SpurSatz(bool letzter, std::int32_t pos, std::int32_t marke, const char* text) {
    static constexpr std::string_view kLetzter = "Letzter Satz! ";
    static constexpr std::size_t kZahl = 11;  // "-2147483648"
    std::string& zeile = Modul().Text;
    const std::size_t laenge = std::strlen(text);
    const std::size_t hoechstens = kLetzter.size() + 4 + kZahl + 8 + kZahl + 2 + laenge;
    if (zeile.size() < hoechstens) {
        zeile.resize(std::max(hoechstens, 2 * zeile.size()));
    }
    char* p = zeile.data();
    auto anhaengen = [&p](std::string_view teil) {
        std::memcpy(p, teil.data(), teil.size());
        p += teil.size();
    };
    if (letzter) {
        anhaengen(kLetzter);
    }
    anhaengen("Pos ");
    p = std::to_chars(p, p + kZahl, pos).ptr;
    anhaengen(",Marke: ");
    p = std::to_chars(p, p + kZahl, marke).ptr;
    anhaengen(", ");
    anhaengen(std::string_view(text, laenge));
    return std::string_view(zeile.data(), static_cast<std::size_t>(p - zeile.data()));
}

bool Geschrieben(std::int32_t modus) {
    return modus == kAnhaengen || modus == kSchreiben || modus == kLesenSchreiben;
}

// Every stream open for writing is finished and checked at the program's
// end, on every way it ends: one finisher for the module while any is open.
void AbschlussAnmelden() {
    DateiModulzustand& z = Modul();
    if (z.Abschluss != 0) {
        return;
    }
    z.Abschluss = services::AusgabeAnmelden([] {
        Modul().Abschluss = 0;
        for (DateiADO* datei : Modul().Lebende) {
            if (datei->FilePtr != nullptr && Geschrieben(datei->Modus)) {
                Schliessen(datei);
            }
        }
    });
}

std::uint8_t OeffnenUeber(DateiADO* datei, const char* modus, bool kanal);

std::uint8_t OeffneMit(DateiADO* datei, const char* funktion, const char* modus, std::int32_t code,
                       bool kanal = false) {
    Pruefe(datei, funktion);
    std::uint8_t ok = OeffnenUeber(datei, modus, kanal);
    datei->Modus = code;
    if (ok == 1 && Geschrieben(code)) {
        AbschlussAnmelden();
    }
    return ok;
}

// A UTF-8 byte-order mark, as some editors write it, is no part of the
// first record. Bytes that only begin like one are given back (the stream
// takes back what it has just read; otherwise it starts over).
void UeberspringeBom(std::FILE* strom) {
    int gelesen[3];
    std::size_t n = 0;
    while (n < 3) {
        gelesen[n] = services::plattform::Zeichen(strom);
        const bool passt = gelesen[n] == kBom[n];
        ++n;
        if (!passt) {
            break;
        }
    }
    if (n == 3 && gelesen[2] == kBom[2]) {
        return;
    }
    while (n > 0) {
        --n;
        if (gelesen[n] != EOF && std::ungetc(gelesen[n], strom) == EOF) {
            std::fseek(strom, 0, SEEK_SET);
            return;
        }
    }
}

// The end of the bytes, or a read error, which is no end of the file: a
// record would go missing without a word.
void LesefehlerPruefen(DateiADO* datei, std::FILE* strom) {
    if (std::ferror(strom) == 0) {
        return;
    }
    const int fehler = errno;
    std::clearerr(strom);
    if (fehler == EINTR) {
        services::UnterbrechungPruefen();
    }
    Abbruch("LiesSatz", services::Format("Eingabedatei %s: %s", datei->Pfad.data(),
                                         intern::Systemtext(fehler).c_str()));
}

// A write to the stream failed. A signal that broke into a write that
// waited (a reader that stopped reading) takes the interrupt path; any
// other failure is the abort of the product's text. The close reports the
// file and the reason.
void SchreibfehlerMelden(DateiADO* datei, int fehler, const char* text) {
    datei->Schreibfehler = fehler != 0 ? fehler : EIO;
    if (fehler == EINTR) {
        services::UnterbrechungPruefen();
    }
    services::Ausgabefehler(kModul, "SchreibSatz", text);
}

}  // namespace

DateiADO* Create() {
    services::TraceKlammer k(kModul, "Create");
    auto* datei = new (std::nothrow) DateiADO;
    if (datei == nullptr) {
        Abbruch("Create", "malloc");
    }
    datei->Vorhanden = 1;
    Modul().Lebende.insert(datei);
    ++Modul().Anzahl;
    return datei;
}

DateiADO* Dispose(DateiADO* datei) {
    services::TraceKlammer k(kModul, "Dispose");
    if (datei != nullptr) {
        Pruefe(datei, "Dispose");
        if (datei->FilePtr != nullptr) {
            Schliessen(datei);
        }
        delete datei->Verzeichnisse;
        datei->Verzeichnisse = nullptr;
        datei->Vorhanden = 0;
        Modul().Lebende.erase(datei);
        delete datei;
    }
    --Modul().Anzahl;
    services::TraceText(kModul, services::Format("%d", Modul().Anzahl));
    return nullptr;
}

void SetzePfad(DateiADO* datei, const char* pfad) {
    services::TraceKlammer k(kModul, "SetzePfad");
    Pruefe(datei, "SetzePfad");
    if (pfad == nullptr) {
        pfad = "";
    }
    std::size_t laenge = std::strlen(pfad);
    if (laenge >= kPfadLaenge) {
        services::TraceText(kModul, pfad);
        Abbruch("SetzePfad", "Pfad zu lang");
    }
    if (laenge == 0) {
        Warne("SetzePfad", "Pfad nicht vorhanden");
        return;
    }
    std::memcpy(datei->Pfad.data(), pfad, laenge + 1);
}

std::uint8_t Oeffnen(DateiADO* datei, const char* modus) {
    return OeffnenUeber(datei, modus, false);
}

namespace {

// kanal: the stream writes through the output channel that every output of
// the run uses (records appended by SchreibSatz and SchreibDaten), so that
// a reader that stopped reading never holds up the run.
std::uint8_t OeffnenUeber(DateiADO* datei, const char* modus, bool kanal) {
    services::TraceKlammer k(kModul, "Oeffnen");
    if (datei == nullptr) {
        Abbruch("Oeffnen", "DateiADO n.vorhanden");
    }
    std::string modustext = modus != nullptr ? modus : "";
    modustext += 'b';
    if (datei->Pfad[0] == '\0') {
        Abbruch("Oeffnen", "Kein Pfad angegeben");
    }
    if (datei->FilePtr != nullptr) {
        Schliessen(datei);
    }
    int fehler = 0;
    if (kanal) {
        auto ausgabe = services::Ausgabekanal::Oeffne(datei->Pfad.data(), true, fehler);
        if (ausgabe) {
            datei->FilePtr = services::Ausgabekanal::AlsStrom(std::move(ausgabe), "a");
            fehler = datei->FilePtr == nullptr ? errno : 0;
        }
    } else {
        do {
            datei->FilePtr = std::fopen(datei->Pfad.data(), modustext.c_str());
            fehler = errno;
        } while (datei->FilePtr == nullptr && fehler == EINTR &&
                 services::UnterbrochenesSignal() == 0);
    }
    // A directory opens for reading and then reads as an empty file; on
    // Windows it does not open (EACCES).
    const auto info = datei->FilePtr != nullptr ? services::plattform::Status(datei->FilePtr)
                      : fehler == EACCES        ? services::plattform::Status(datei->Pfad.data())
                                                : std::nullopt;
    if (info && info->art == services::plattform::Dateistatus::Art::Verzeichnis) {
        if (datei->FilePtr != nullptr) {
            std::fclose(datei->FilePtr);
        }
        datei->FilePtr = nullptr;
        fehler = EISDIR;
    }
    datei->AmAnfang = datei->FilePtr != nullptr;
    if (datei->FilePtr == nullptr) {
        // Ctrl-C or a termination broke into an open that waited (a FIFO):
        // no fault of the file; the run takes the interrupt path.
        if (fehler == EINTR) {
            services::UnterbrechungPruefen();
        }
        Warne("Oeffnen", services::Format("Eingabedatei %s: %s\n", datei->Pfad.data(),
                                          intern::Systemtext(fehler).c_str()));
        datei->Pos = 0;
        return 0;
    }
    return 1;
}

}  // namespace

std::uint8_t OeffnenRead(DateiADO* datei) {
    services::TraceKlammer k(kModul, "OeffnenRead");
    return OeffneMit(datei, "OeffnenRead", "r", kLesen);
}

std::uint8_t OeffnenWrite(DateiADO* datei) {
    services::TraceKlammer k(kModul, "OeffnenWrite");
    return OeffneMit(datei, "OeffnenWrite", "w", kSchreiben);
}

std::uint8_t OeffneAppend(DateiADO* datei) {
    services::TraceKlammer k(kModul, "OeffneAppend");
    return OeffneMit(datei, "OeffneAppend", "a", kAnhaengen);
}

std::uint8_t OeffneReadWrite(DateiADO* datei) {
    services::TraceKlammer k(kModul, "OeffneReadWrite");
    return OeffneMit(datei, "OeffneReadWrite", "r+", kLesenSchreiben);
}

std::uint8_t Schliessen(DateiADO* datei) {
    services::TraceKlammer k(kModul, "Schliessen");
    Pruefe(datei, "Schliessen");
    // Closes whatever stream is present: a bare Oeffnen leaves Modus 0 with
    // an open stream, which must not leak.
    if (datei->FilePtr != nullptr) {
        const bool geschrieben = Geschrieben(datei->Modus);
        int fehler = datei->Schreibfehler;
        bool verloren = geschrieben && (fehler != 0 || std::ferror(datei->FilePtr) != 0);
        errno = 0;
        // The last buffered block reaches the file only here.
        if (std::fclose(datei->FilePtr) != 0 && geschrieben) {
            verloren = true;
            fehler = fehler != 0 ? fehler : errno;
        }
        datei->FilePtr = nullptr;
        datei->Schreibfehler = 0;
        datei->Modus = kGeschlossen;
        if (verloren) {
            services::Ausgabefehler(
                kModul, "Schliessen",
                services::Format(
                    "Ausgabedatei %s: %s", datei->Pfad.data(),
                    fehler != 0 ? intern::Systemtext(fehler).c_str() : "Schreibfehler"));
        }
        return 1;
    }
    datei->Modus = kGeschlossen;
    return 1;
}

const services::plattform::Dateistatus* Status(DateiADO* datei) {
    services::TraceKlammer k(kModul, "Status");
    if (datei == nullptr) {
        return nullptr;
    }
    const auto status = services::plattform::Status(datei->Pfad.data());
    if (!status) {
        return nullptr;
    }
    Modul().Dateistatus = *status;
    return &Modul().Dateistatus;
}

std::uint8_t ExistiertDatei(DateiADO* datei) {
    services::TraceKlammer k(kModul, "ExistiertDatei");
    Pruefe(datei, "ExistiertDatei");
    if (datei->Pfad[0] == '\0') {
        Abbruch("ExistiertDatei", "Pfadname n. gesetzt");
    }
    return Status(datei) != nullptr ? 1 : 0;
}

std::uint8_t GeheZumErstenSatz(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GeheZumErstenSatz");
    Pruefe(datei, "GeheZumErstenSatz");
    datei->WeitereSaetze = 1;
    // After a failed open there is no stream to rewind; the next LiesSatz
    // opens the file and starts at its first byte anyway.
    if (datei->Modus != kGeschlossen && datei->FilePtr != nullptr) {
        if (std::fseek(datei->FilePtr, 0, SEEK_SET) != 0) {
            int fehler = errno;
            Abbruch("GeheZumErstenSatz", services::Format("Fehler bei Zieldatei fseek %s",
                                                          intern::Systemtext(fehler).c_str()));
        }
    }
    return 1;
}

std::uint8_t LiesSatz(DateiADO* datei, char* puffer, std::uint32_t kapazitaet) {
    services::TraceKlammer k(kModul, "LiesSatz");
    Pruefe(datei, "LiesSatz");
    if (datei->WeitereSaetze == 0) {
        return 0;
    }
    if (datei->FilePtr == nullptr && OeffnenRead(datei) == 0) {
        return 0;
    }
    if (datei->Modus != kLesen && datei->Modus != kLesenSchreiben && OeffnenRead(datei) == 0) {
        return 0;
    }
    // A buffer without room for the terminating NUL can hold no record.
    if (kapazitaet == 0) {
        Abbruch("LiesSatz", kZeileZuLang);
    }
    std::FILE* strom = datei->FilePtr;
    datei->Pos = intern::Offset(strom);
    // A pipe has no offset: its first read since the open is its start.
    if (datei->Pos == 0 || (datei->Pos < 0 && datei->AmAnfang)) {
        UeberspringeBom(strom);
        datei->Pos = intern::Offset(strom);
    }
    datei->AmAnfang = false;
    datei->Satzlaenge = 0;

    const std::uint32_t grenze = kapazitaet - 1;
    std::uint32_t n = 0;
    int c;
    for (;;) {
        c = services::plattform::Zeichen(strom);
        if (BeendetSatz(c)) {
            break;
        }
        puffer[n++] = static_cast<char>(c);
        if (n >= grenze) {
            Abbruch("LiesSatz", kZeileZuLang);
        }
    }
    if (c == EOF) {
        LesefehlerPruefen(datei, strom);
    }
    puffer[n] = '\0';
    datei->Satzlaenge = static_cast<std::int32_t>(n) + 1;
    Umbrueche umbrueche;
    c = UeberspringeZwischenraum(
        c, [strom] { return services::plattform::Zeichen(strom); },
        [datei](int) { ++datei->Satzlaenge; }, umbrueche);
    datei->Zeilenumbrueche = umbrueche.anzahl;
    if (c == EOF) {
        LesefehlerPruefen(datei, strom);
    }
    if (BeendetDaten(c)) {
        datei->WeitereSaetze = 0;
        services::TraceTextBei(kModul,
                               [&] { return SpurSatz(true, datei->Pos, datei->Marke, puffer); });
    } else {
        std::ungetc(c, strom);
        datei->WeitereSaetze = 1;
        services::TraceTextBei(kModul,
                               [&] { return SpurSatz(false, datei->Pos, datei->Marke, puffer); });
    }
    return 1;
}

namespace intern {

std::uint8_t ZumAnhaengen(DateiADO* datei) {
    std::uint8_t ok = 1;
    const auto anhaengen = [datei] {
        services::TraceKlammer k(kModul, "OeffneAppend");
        return OeffneMit(datei, "OeffneAppend", "a", kAnhaengen, true);
    };
    if (datei->FilePtr == nullptr) {
        ok = anhaengen();
    }
    if (datei->Modus != kAnhaengen && ok == 1) {
        ok = anhaengen();
    }
    return ok;
}

}  // namespace intern

std::uint8_t SchreibSatz(DateiADO* datei, const char* text) {
    services::TraceKlammer k(kModul, "SchreibSatz");
    Pruefe(datei, "SchreibSatz");
    if (text == nullptr) {
        text = "";
    }
    std::uint8_t ok = intern::ZumAnhaengen(datei);
    // A stream that has lost data takes no more; its close reports it.
    if (ok == 1 && datei->Schreibfehler == 0) {
        std::size_t laenge = std::strlen(text);
        errno = 0;
        if (std::fwrite(text, 1, laenge, datei->FilePtr) != laenge) {
            SchreibfehlerMelden(datei, errno, "fwrite");
        } else if (std::fputs("\r\n", datei->FilePtr) == EOF) {
            SchreibfehlerMelden(datei, errno, "fprintf");
        }
    }
    if (ok == 0) {
        Abbruch("SchreibSatz", "allg. Fehler");
    }
    return 1;
}

std::string WarumNichtAnhaengbar(const char* pfad) {
    if (const auto info = services::plattform::Status(pfad)) {
        if (info->art == services::plattform::Dateistatus::Art::Verzeichnis) {
            return intern::Systemtext(EISDIR);
        }
        return services::plattform::DarfSchreiben(pfad) ? std::string() : intern::Systemtext(errno);
    }
    if (errno != ENOENT) {
        return intern::Systemtext(errno);
    }
    // Created on the first write: its directory must take a new file.
    std::string verzeichnis = pfad;
    const std::size_t schnitt = verzeichnis.find_last_of('/');
    verzeichnis = schnitt == std::string::npos
                      ? "."
                      : verzeichnis.substr(0, std::max<std::size_t>(schnitt, 1));
    if (!services::plattform::DarfAnlegenIn(verzeichnis)) {
        return "Verzeichnis " + verzeichnis + ": " + intern::Systemtext(errno);
    }
    return {};
}

}  // namespace taktler::datei
