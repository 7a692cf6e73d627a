// SPDX-License-Identifier: GPL-3.0-or-later
#include "interpreter/zeilenindex.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "interpreter/schleifen.h"
#include "services/fehler.h"
#include "services/plattform.h"
#include "services/umgebung.h"

namespace taktler::interpreter {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;
static_assert(kZeilenpuffer < kBlock, "a record is read into its block");
// The rest of a larger file is not read again for a report.
constexpr off_t kRestGrenze = off_t{64} << 20;

// LiesSatz stores a record's NUL bytes as well and ends it with one more,
// but never stores a line feed. So records are read straight into a block
// of line feeds, and the first line feed left follows the record's end.
void Fuelle(char* von, char* bis) {
    std::memset(von, '\n', static_cast<std::size_t>(bis - von));
}

// Room for a record read with the script loop's buffer, at the block's
// free end; the returned place begins with line feeds to the block's end.
char* Platz(Zeilenindex& index) {
    if (index.bloecke.empty() || index.frei < kZeilenpuffer) {
        index.bloecke.push_back(std::unique_ptr<char[]>(new char[kBlock]));
        index.frei = kBlock;
        index.blockGefuellt = false;
    }
    char* block = index.bloecke.back().get();
    char* platz = block + (kBlock - index.frei);
    if (!index.blockGefuellt) {
        Fuelle(platz, block + kBlock);
        index.blockGefuellt = true;
    }
    return platz;
}

void Anhaengen(Zeilenindex& index, std::size_t laenge) {
    Zeilenindex::Satz satz;
    satz.block = static_cast<std::uint32_t>(index.bloecke.size() - 1);
    satz.anfang = static_cast<std::uint16_t>(kBlock - index.frei);
    satz.laenge = static_cast<std::uint16_t>(laenge);
    const std::uint16_t vorher = index.saetze.empty() ? 0 : index.saetze.back().laengsteBisHier;
    satz.laengsteBisHier = std::max(vorher, satz.laenge);
    satz.editorzeile = index.naechsteEditorzeile;
    index.naechsteEditorzeile += index.datei->Zeilenumbrueche;
    index.frei -= laenge;
    index.saetze.push_back(satz);
}

// A record as the run sees its text: up to the first NUL, trailing blanks,
// CR and LF cut.
std::string_view Gekuerzt(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::size_t ende = text.find_last_not_of(" \r\n");
    return text.substr(0, ende == std::string_view::npos ? 0 : ende + 1);
}

// The copy holds at most this much (records and their table): a command
// stream without end (a pipe) ends with a report before memory runs out.
constexpr std::size_t kGrenzeSpeicher = std::size_t{32} << 20;

std::size_t Speicher(const Zeilenindex& index) {
    return index.bloecke.size() * kBlock + index.saetze.capacity() * sizeof(Zeilenindex::Satz);
}

Zeilenindex::Dateistand StandVon(const datei::DateiADO* datei) {
    Zeilenindex::Dateistand stand;
    const auto status = datei != nullptr ? services::plattform::Status(datei->FilePtr)
                                         : std::optional<services::plattform::Dateistatus>{};
    if (status && status->art == services::plattform::Dateistatus::Art::Datei) {
        stand.regulaer = true;
        stand.geraet = status->geraet;
        stand.knoten = status->knoten;
        stand.groesse = status->groesse;
        stand.geaendert = status->aenderung;
        stand.geaendertNs = status->aenderungNs;
    }
    return stand;
}

// A regular file saved in place while the run still reads it (cut short,
// lines inserted): the bytes read after the change may join two versions
// in one line. Checked after every record read from the file, before the
// run carries it out. A pipe cannot change behind the run.
void PruefeUnveraendert(const Zeilenindex& index) {
    if (!index.stand.regulaer) {
        return;
    }
    const Zeilenindex::Dateistand jetzt = StandVon(index.datei);
    if (!jetzt.regulaer || jetzt.geraet != index.stand.geraet ||
        jetzt.knoten != index.stand.knoten || jetzt.groesse != index.stand.groesse ||
        jetzt.geaendert != index.stand.geaendert || jetzt.geaendertNs != index.stand.geaendertNs) {
        services::Fehlerabbruch(kModul, "LiesZeile: Kommandodatei waehrend des Laufs geaendert",
                                index.datei->Pfad.data());
    }
}

}  // namespace

Zeilenindex& DerZeilenindex() {
    static Zeilenindex index;
    return index;
}

void ZeilenindexZuruecksetzen() {
    DerZeilenindex() = Zeilenindex{};
}

void ZeilenindexBinden(datei::DateiADO* datei) {
    ZeilenindexZuruecksetzen();
    DerZeilenindex().datei = datei;
    DerZeilenindex().stand = StandVon(datei);
}

Zeilenindex& ZeilenindexVon(datei::DateiADO* datei) {
    Zeilenindex& index = DerZeilenindex();
    if (index.datei != datei) {
        ZeilenindexBinden(datei);
        datei::GeheZumErstenSatz(datei);
    }
    return index;
}

std::int32_t Zeilenanzahl(const Zeilenindex& index) {
    return static_cast<std::int32_t>(index.saetze.size());
}

std::string_view Satztext(const Zeilenindex& index, std::int32_t zeile) {
    const Zeilenindex::Satz& satz = index.saetze[static_cast<std::size_t>(zeile - 1)];
    return {index.bloecke[satz.block].get() + satz.anfang, satz.laenge};
}

std::uint32_t LaengsteBis(const Zeilenindex& index, std::int32_t zeile) {
    return zeile <= 0 ? 0 : index.saetze[static_cast<std::size_t>(zeile - 1)].laengsteBisHier;
}

bool LiesWeiter(Zeilenindex& index) {
    if (index.vollstaendig) {
        return false;
    }
    if (Speicher(index) > kGrenzeSpeicher) {
        services::Fehlerabbruch(kModul, "LiesZeile: Kommandodatei zu gross",
                                services::Format("%s: mehr als %zu MiB", index.datei->Pfad.data(),
                                                 kGrenzeSpeicher >> 20));
    }
    char* platz = Platz(index);
    index.blockGefuellt = false;  // until the read has come back
    // A reading that ends the run ends it at the record being read.
    const std::int32_t laufsatz = index.laufsatz;
    index.laufsatz = Zeilenanzahl(index) + 1;
    if (datei::LiesSatz(index.datei, platz, kZeilenpuffer) != 1) {
        index.laufsatz = laufsatz;
        return false;
    }
    index.blockGefuellt = true;
    const auto* lf = static_cast<const char*>(std::memchr(platz, '\n', kZeilenpuffer));
    // The record ends before the NUL that LiesSatz put behind it, which the
    // next record overwrites.
    const auto laenge = static_cast<std::size_t>(lf - platz) - 1;
    platz[laenge] = '\n';
    Anhaengen(index, laenge);
    PruefeUnveraendert(index);
    if (index.datei->WeitereSaetze == 0) {
        index.vollstaendig = true;
    }
    index.laufsatz = laufsatz;
    return true;
}

bool LiesZeile(datei::DateiADO* datei, char* puffer) {
    Zeilenindex& index = ZeilenindexVon(datei);
    if (index.position == Zeilenanzahl(index) && !LiesWeiter(index)) {
        return false;
    }
    std::string_view satz = Satztext(index, ++index.position);
    index.laufsatz = index.position;
    std::memcpy(puffer, satz.data(), satz.size());
    puffer[satz.size()] = '\0';
    services::DieUhr().ZeilenGelesen(1);
    return true;
}

void ZeileZuLang(Zeilenindex& index, std::uint32_t puffer) {
    for (std::int32_t zeile = 1; zeile <= Zeilenanzahl(index); ++zeile) {
        if (index.saetze[static_cast<std::size_t>(zeile - 1)].laenge + 1U >= puffer) {
            index.laufsatz = zeile;
            break;
        }
    }
    const Abbruchbericht& bericht = Bericht(Abbruchart::ZeileZuLang);
    services::Fehlerabbruch(datei::kModul, bericht.funktion, bericht.text);
}

Laufort LaufortVon(const Zeilenindex& index, std::int32_t satz) {
    Laufort ort;
    if (satz <= 0 || satz > Zeilenanzahl(index) + 1 || index.datei == nullptr) {
        return ort;
    }
    if (satz <= Zeilenanzahl(index)) {
        ort.editorzeile = index.saetze[static_cast<std::size_t>(satz - 1)].editorzeile;
        ort.text = Gekuerzt(Satztext(index, satz));
        return ort;
    }
    // The record whose reading stopped: what was read of it lies at the
    // block's free end, up to the fill of line feeds.
    ort.editorzeile = index.naechsteEditorzeile;
    if (!index.bloecke.empty()) {
        const char* platz = index.bloecke.back().get() + (kBlock - index.frei);
        const auto* lf = static_cast<const char*>(std::memchr(platz, '\n', index.frei));
        const std::size_t laenge = std::min<std::size_t>(
            lf != nullptr ? static_cast<std::size_t>(lf - platz) : 0, kZeilenpuffer - 1);
        ort.text = Gekuerzt(std::string_view(platz, laenge));
    }
    return ort;
}

Laufort LaufortVon(const Zeilenindex& index) {
    return LaufortVon(index, index.laufsatz);
}

std::vector<Restsatz> RestDerDatei(const Zeilenindex& index) {
    std::vector<Restsatz> rest;
    if (index.vollstaendig || index.datei == nullptr) {
        return rest;
    }
    const auto status = services::plattform::Status(index.datei->Pfad.data());
    if (!status || status->art != services::plattform::Dateistatus::Art::Datei ||
        status->groesse > kRestGrenze) {
        return rest;
    }
    // Read with the file object as the run reads, from the first record,
    // with room for any record the file can hold.
    datei::DateiADO* datei = datei::Create();
    datei::SetzePfad(datei, index.datei->Pfad.data());
    std::vector<char> puffer(static_cast<std::size_t>(status->groesse) + 2);
    if (datei::OeffnenRead(datei) == 1) {
        std::int32_t satz = 0;
        std::int32_t editorzeile = 1;
        while (datei::LiesSatz(datei, puffer.data(), static_cast<std::uint32_t>(puffer.size())) ==
               1) {
            if (++satz > Zeilenanzahl(index)) {
                rest.push_back({editorzeile, std::string(Gekuerzt(puffer.data()))});
            }
            editorzeile += datei->Zeilenumbrueche;
        }
    }
    datei::Dispose(datei);
    return rest;
}

}  // namespace taktler::interpreter
