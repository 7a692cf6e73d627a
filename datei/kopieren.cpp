// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file services: copy and append, rename and delete, size and dates.
#include "datei/kopieren.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "datei/intern.h"
#include "datei/pfade.h"

namespace taktler::datei {

using intern::Abbruch;

using intern::Pruefe;
using intern::Warne;

namespace {

constexpr std::size_t kBlock = 255;

std::uint8_t Kopiere(DateiADO* ziel, DateiADO* quelle, bool anhaengen, const char* funktion) {
    Pruefe(ziel, funktion);
    Pruefe(quelle, funktion);
    if (ziel->Pfad[0] == '\0') {
        Warne(funktion, "Zieldatei, Pfadangabe n.vorhanden");
        return 0;
    }
    if (quelle->Pfad[0] == '\0') {
        Warne(funktion, "Quelldatei, Pfadangabe n.vorhanden");
        return 0;
    }
    if (ExistiertDatei(quelle) == 0) {
        Warne(funktion, services::Format("Quelldatei %s n. vorhanden", quelle->Pfad.data()));
        return 0;
    }
    const auto q = services::plattform::Status(quelle->Pfad.data());
    if (ExistiertDatei(ziel) != 0) {
        // Opening a file over itself would empty it, appending it to itself
        // would never end: refused before anything is opened.
        const auto z = services::plattform::Status(ziel->Pfad.data());
        if (q && z && z->geraet == q->geraet && z->knoten == q->knoten) {
            Warne(funktion, services::Format("Quelldatei und Zieldatei sind dieselbe Datei: %s",
                                             ziel->Pfad.data()));
            return 0;
        }
        Warne(funktion, services::Format(anhaengen ? "Zieldatei %s wird ergaenzt"
                                                   : "Zieldatei %s wird ueberschrieben",
                                         ziel->Pfad.data()));
    }
    if (OeffnenRead(quelle) == 0) {
        Warne(funktion,
              services::Format("Quelldatei %s kann nicht geoeffnet werden.", quelle->Pfad.data()));
        return 0;
    }
    auto oeffneZiel = [ziel, anhaengen] {
        return anhaengen ? OeffneAppend(ziel) : OeffnenWrite(ziel);
    };
    if (oeffneZiel() == 0) {
        // Taken to mean that the target's directory is missing.
        if (ParsePfad(ziel) == 0) {
            Warne(funktion, "Pfad der Zieldatei nicht aufgeloest");
            return 0;
        }
        if (BauePfadAuf(ziel) == 0) {
            Warne(funktion, "Pfad der Zieldatei nicht angelegt");
            return 0;
        }
        if (oeffneZiel() == 0) {
            Abbruch(funktion, services::Format("Zieldatei %s kann nicht geoeffnet werden.",
                                               ziel->Pfad.data()));
        }
    }
    KopiereBlockweise(ziel, quelle);
    Schliessen(quelle);
    Schliessen(ziel);
    return 1;
}

[[noreturn]] void Systemabbruch(const char* text, int fehler) {
    Abbruch("KopiereBlockweise", services::Format(text, intern::Systemtext(fehler).c_str()));
}

void AnsAnfang(DateiADO* datei, const char* text) {
    if (datei == nullptr || datei->FilePtr == nullptr) {
        Systemabbruch(text, EBADF);
    }
    if (std::fseek(datei->FilePtr, 0, SEEK_SET) != 0) {
        Systemabbruch(text, errno);
    }
}

enum class Zeit { Zugriff, Aenderung, Anlage };

const char* Datum(DateiADO* datei, std::array<char, 32>& ergebnis, Zeit welche) {
    ergebnis[0] = '\0';
    const services::plattform::Dateistatus* status = Status(datei);
    if (status == nullptr) {
        return ergebnis.data();
    }
    const std::int64_t t = welche == Zeit::Zugriff     ? status->zugriff
                           : welche == Zeit::Aenderung ? status->aenderung
                                                       : status->statuswechsel;
    std::tm lokal{};
    if (!services::plattform::LokaleZeit(t, lokal)) {
        return ergebnis.data();
    }
    // The ctime layout with the day in two digits, "Mon Jan 01 12:00:00 2001":
    // fixed English names whatever the locale, no line end.
    static const char* const kTage[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonate[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::snprintf(ergebnis.data(), ergebnis.size(), "%s %s %02d %02d:%02d:%02d %d",
                  kTage[lokal.tm_wday % 7], kMonate[lokal.tm_mon % 12], lokal.tm_mday,
                  lokal.tm_hour, lokal.tm_min, lokal.tm_sec, lokal.tm_year + 1900);
    return ergebnis.data();
}

}  // namespace

std::uint8_t KopiereDaten(DateiADO* ziel, DateiADO* quelle) {
    services::TraceKlammer k(kModul, "KopiereDaten");
    return Kopiere(ziel, quelle, false, "KopiereDaten");
}

std::uint8_t ErgaenzeDaten(DateiADO* ziel, DateiADO* quelle) {
    services::TraceKlammer k(kModul, "ErgaenzeDaten");
    return Kopiere(ziel, quelle, true, "ErgaenzeDaten");
}

std::uint8_t KopiereBlockweise(DateiADO* ziel, DateiADO* quelle) {
    services::TraceKlammer k(kModul, "KopiereBlockweise");
    AnsAnfang(ziel, "Fehler bei Zieldatei fseek %s");
    AnsAnfang(quelle, "Fehler bei Quelldatei fseek %s");
    // Offsets are kept here and the descriptors read and written at them,
    // so the streams never see their descriptors move under them. A target
    // open for appending takes every block at its end.
    const bool amEnde = services::plattform::HaengtAn(ziel->FilePtr);
    long long lesen = 0;
    long long schreiben = 0;
    char* puffer = Modul().Kopierpuffer.data();
    for (;;) {
        const long long n = services::plattform::LiesAn(quelle->FilePtr, puffer, kBlock, lesen);
        if (n < 0) {
            Systemabbruch("Fehler bei Quelldatei fread %s", errno);
        }
        if (n == 0) {
            break;
        }
        lesen += n;
        // A short write is not an error yet; the rest follows until done.
        for (long long fertig = 0; fertig < n;) {
            const long long w = services::plattform::SchreibeAn(
                ziel->FilePtr, puffer + fertig, static_cast<std::size_t>(n - fertig),
                amEnde ? -1 : schreiben);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                Systemabbruch("Fehler bei Zieldatei fwrite %s", w < 0 ? errno : EIO);
            }
            fertig += w;
            schreiben += w;
        }
    }
    // Leave both streams behind the bytes copied, as sequential reads and
    // writes on the descriptors would.
    std::fseek(quelle->FilePtr, lesen, SEEK_SET);
    if (amEnde) {
        std::fseek(ziel->FilePtr, 0, SEEK_END);
    } else {
        std::fseek(ziel->FilePtr, schreiben, SEEK_SET);
    }
    return 1;
}

std::uint8_t Rename(DateiADO* datei, const char* neuerPfad) {
    services::TraceKlammer k(kModul, "Rename");
    Pruefe(datei, "Rename");
    if (neuerPfad == nullptr) {
        neuerPfad = "";
    }
    if (ExistiertDatei(datei) == 0) {
        Warne("Rename", services::Format("Datei %s existiert nicht", datei->Pfad.data()));
        return 0;
    }
    // A new path the object can't hold is refused before the file moves.
    if (std::strlen(neuerPfad) >= kPfadLaenge) {
        SetzePfad(datei, neuerPfad);
    }
    Schliessen(datei);
    if (std::rename(datei->Pfad.data(), neuerPfad) != 0) {
        int fehler = errno;
        Warne("Rename", services::Format("Eingabedatei %s: %s\n", datei->Pfad.data(),
                                         intern::Systemtext(fehler).c_str()));
        return 0;
    }
    SetzePfad(datei, neuerPfad);
    return 1;
}

std::uint8_t Destroy(DateiADO* datei) {
    services::TraceKlammer k(kModul, "Destroy");
    Pruefe(datei, "Destroy");
    if (ExistiertDatei(datei) == 0) {
        return 0;
    }
    Schliessen(datei);
    if (std::remove(datei->Pfad.data()) != 0) {
        int fehler = errno;
        Warne("Destroy", services::Format("Eingabedatei %s: %s\n", datei->Pfad.data(),
                                          intern::Systemtext(fehler).c_str()));
        return 0;
    }
    return 1;
}

std::int32_t GibGroesse(DateiADO* datei) {
    services::TraceKlammer k(kModul, "GibGroesse");
    Pruefe(datei, "GibGroesse");
    if (ExistiertDatei(datei) == 0) {
        return -1;
    }
    const services::plattform::Dateistatus* status = Status(datei);
    return status != nullptr ? static_cast<std::int32_t>(status->groesse) : -1;
}

namespace {

// Seconds since the file was last changed, or -1 when it does not exist.
// A change in the future gives a negative age as well.
std::int32_t AlterInSekunden(DateiADO* datei, std::int32_t& sekunden) {
    if (ExistiertDatei(datei) == 0) {
        return -1;
    }
    std::int32_t jetzt = services::DieUhr().Jetzt().Sekunden;
    const services::plattform::Dateistatus* status = Status(datei);
    if (status == nullptr) {
        return -1;
    }
    sekunden = static_cast<std::int32_t>(jetzt - status->aenderung);
    return 0;
}

}  // namespace

std::int32_t NichtGeaendertSeitXSekunden(DateiADO* datei) {
    services::TraceKlammer k(kModul, "NichtGeaendertSeitXSekunden");
    Pruefe(datei, "NichtGeaendertSeitXSekunden");
    std::int32_t sekunden = 0;
    return AlterInSekunden(datei, sekunden) < 0 ? -1 : sekunden;
}

std::int32_t NichtGeaendertSeitXMinuten(DateiADO* datei) {
    services::TraceKlammer k(kModul, "NichtGeaendertSeitXMinuten");
    Pruefe(datei, "NichtGeaendertSeitXMinuten");
    std::int32_t sekunden = 0;
    return AlterInSekunden(datei, sekunden) < 0 ? -1 : sekunden / 60;
}

const char* DatumLetzterLesezugriff(DateiADO* datei) {
    services::TraceKlammer k(kModul, "DatumLetzterLesezugriff");
    Pruefe(datei, "DatumLetzterLesezugriff");
    return Datum(datei, Modul().DatumLesezugriff, Zeit::Zugriff);
}

const char* DatumLetzteAenderung(DateiADO* datei) {
    services::TraceKlammer k(kModul, "DatumLetzteAenderung");
    Pruefe(datei, "DatumLetzteAenderung");
    return Datum(datei, Modul().DatumAenderung, Zeit::Aenderung);
}

const char* DatumAnlage(DateiADO* datei) {
    services::TraceKlammer k(kModul, "DatumAnlage");
    Pruefe(datei, "DatumAnlage");
    return Datum(datei, Modul().DatumAnlage, Zeit::Anlage);
}

}  // namespace taktler::datei
