// SPDX-License-Identifier: GPL-3.0-or-later
// --pruefen against a real run of the same command file, for the comparison
// test and the interpreter's fuzz target: the check must have found every
// listed abort the run ends with, an error must be the run's ending, and a
// line said never to be carried out must not have been.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "interface/port.h"
#include "interpreter/kommandozeile.h"
#include "pruefen/pruefen.h"

namespace taktler::test {

// The outermost port of a budgeted run: throws Erschoepft after so many
// accesses or lines, so the log behind it holds only whole accesses.
class BudgetPort : public interface::Port {
  public:
    struct Erschoepft {};
    BudgetPort(interface::Port& innen, std::uint64_t zugriffe, int zeilen)
        : innen_(innen), zugriffe_(zugriffe), zeilen_(zeilen) {}
    void SchreibeByte(std::uint8_t wert) override { Zaehle(), innen_.SchreibeByte(wert); }
    void SchreibeWort(std::uint16_t wert) override { Zaehle(), innen_.SchreibeWort(wert); }
    std::uint8_t LiesStatus() override { return Zaehle(), innen_.LiesStatus(); }
    void Sperren() override { innen_.Sperren(); }
    void Freigeben() override { innen_.Freigeben(); }
    void Zeile() {
        if (--zeilen_ < 0) {
            throw Erschoepft{};
        }
    }
    bool erschoepft = false;  // by accesses, so possibly inside a frame

  private:
    void Zaehle() {
        if ((erschoepft = erschoepft || zugriffe_-- == 0)) {
            throw Erschoepft{};
        }
    }
    interface::Port& innen_;
    std::uint64_t zugriffe_;
    int zeilen_;
};

// How a run ended, seen through the script loop's line hook.
struct Laufende {
    enum Art { Normal, Abbruch, Grenze } art = Normal;  // Grenze: stopped by a test budget
    std::string bericht;                                // the report line an abort showed last
    std::int32_t letzterSatz = -1;                      // the record dispatched last (0-based)
    std::set<std::int32_t> befehle;                     // command records carried out

    // For the hook: the line the script loop is about to dispatch.
    void Zeile(const interpreter::Kommandozeile& kz) {
        using namespace interpreter;
        letzterSatz = kz.Zeilennummer - 1;
        const std::int32_t code = GibKommando(&kz);
        const bool befehl = code == kEinschalten || code == kAusschalten || code == kNothalt ||
                            code == kSound || code == kTracelevel || code == kMeldung ||
                            code == kPause || code == kInfo || code == kRufe || code == kExit ||
                            code == kBis;
        if (befehl && kz.Ausfuehren[static_cast<std::size_t>(kz.Stufe)] == 1) {
            befehle.insert(letzterSatz);
        }
    }
};

// The listed abort a report stands for; none for every other report.
inline std::optional<interpreter::Abbruchart> ArtVon(const std::string& bericht) {
    using interpreter::Abbruchart;
    static const std::vector<std::pair<std::string, Abbruchart>> kArten = {
        {"Funktion: Kommando erkennen: unbekanntes Kommando,", Abbruchart::UnbekanntesKommando},
        {"Programmabbruch: Motor n. definiert", Abbruchart::MotorNichtDefiniert},
        {"Funktion: GibSchalterIndex, Programmabbruch: Unbekannter Schalter",
         Abbruchart::UnbekannterSchalter},
        {"Funktion: FindeUnterprogramm: N. gefunden,", Abbruchart::NichtGefunden},
        {"Funktion: FindeUnterprogramm: Zu viele Felder,", Abbruchart::ZuVieleFelder},
        {"Funktion: Strukturstufe: ENDE ohne PRUEFE...,", Abbruchart::EndeOhneBlock},
        {"Funktion: Strukturstufe: mehr als 79 Stufen,", Abbruchart::ZuTief},
        {"Modul: DATEI 151100, Funktion: LiesSatz, Programmabbruch: max. Zeilenlaenge zu gross",
         Abbruchart::ZeileZuLang},
    };
    for (const auto& [text, art] : kArten) {
        if (bericht.find(text) != std::string::npos) {
            return art;
        }
    }
    return std::nullopt;
}

inline const char* Name(interpreter::Abbruchart art) {
    static const char* kNamen[] = {
        "unbekanntes Kommando", "Motor n. definiert", "Unbekannter Schalter", "N. gefunden",
        "Zu viele Felder",      "ENDE ohne PRUEFE",   "mehr als 79 Stufen",   "max. Zeilenlaenge"};
    return kNamen[static_cast<int>(art)];
}

// What disagrees, or "".
inline std::string Vergleiche(const pruefen::Pruefergebnis& p, const Laufende& l) {
    if (!p.lesbar) {
        return "";
    }
    std::optional<interpreter::Abbruchart> art;
    if (l.art == Laufende::Abbruch) {
        art = ArtVon(l.bericht);
    }
    if (art && std::none_of(p.abbrueche.begin(), p.abbrueche.end(), [&](const auto& a) {
            return a.satz == l.letzterSatz && a.art == *art;
        })) {
        return "abort not found: " + l.bericht + " after record " + std::to_string(l.letzterSatz);
    }
    for (const auto& a : p.abbrueche) {
        if (a.immer &&
            (l.art == Laufende::Normal || (art && (a.satz != l.letzterSatz || a.art != *art)))) {
            return std::string("error not met: ") + Name(a.art) + " after record " +
                   std::to_string(a.satz) +
                   ", the run: " + (l.art == Laufende::Normal ? "normal end" : l.bericht);
        }
    }
    for (std::int32_t satz : l.befehle) {
        for (const auto& [von, bis] : p.nieAusgefuehrt) {
            if (satz >= von && satz <= bis) {
                return "record " + std::to_string(satz) + " said never carried out, but was";
            }
        }
    }
    return "";
}

}  // namespace taktler::test
