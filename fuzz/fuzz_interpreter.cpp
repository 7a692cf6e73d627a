// SPDX-License-Identifier: GPL-3.0-or-later
// A command file run on the simulated interface. Input: a byte of WARNUNG answers (bit i for box
// i), the command file, then optionally kMarke and a scenario. Checks each line's record and
// fields, the port log, the protocol file, and that --pruefen agrees with how the run ended.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "interface/portlog.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/taktler.h"
#include "pruefen/pruefen.h"
#include "services/strtools.h"
#include "testhilfe/pruefvergleich.h"
#include "testhilfe/stumme_seams.h"
#include "testhilfe/zuruecksetzen.h"

namespace {

using namespace taktler;

constexpr std::string_view kMarke = "\n#SZENARIO\n";
std::vector<std::string> Zeilen(const std::string& text, const std::string& ende) {
    std::vector<std::string> zeilen;
    for (std::size_t anfang = 0, pos; anfang < text.size(); anfang = pos + ende.size()) {
        pos = text.find(ende, anfang);
        fuzz::Pruefe(pos != std::string::npos, "last line cut", text.substr(anfang, 80));
        zeilen.push_back(text.substr(anfang, pos - anfang));
    }
    return zeilen;
}

void PruefePortlog(const std::string& log, const std::string& motoren) {
    static const std::regex kZeile(
        "CLI|STI|# Motoren .{4}|(W 378|R 379) [0-9A-F]{2}|W16 378 [0-9A-F]{4}");
    std::string letzte;
    for (const std::string& z : Zeilen(log, "\n")) {
        fuzz::Pruefe(std::regex_match(z, kZeile), "malformed port log line", z);
        letzte = z.rfind("# Motoren ", 0) == 0 ? z.substr(10) : letzte;
    }
    fuzz::Pruefe(letzte == motoren, "port log's last frame differs from the latched motors",
                 letzte);
}

// The splitting rules on the upper-cased line: the fields the line supplies, each cut to its size.
std::vector<std::string> Felder(const std::string& zeile) {
    const std::size_t i = zeile.find_first_not_of(' ');
    if (i == std::string::npos || zeile[i] == ';') {
        return {";"};
    }
    std::vector<std::string> felder(1);
    for (std::size_t j = i; j < zeile.size(); ++j) {
        if (zeile[j] == ' ' || zeile[j] == ',') {
            j = zeile.find_first_not_of(' ', j + 1) - 1;
            felder.emplace_back();
        } else if (felder.back().size() + 1 < (felder.size() == 1
                                                   ? interpreter::kKommandoLaenge
                                                   : interpreter::kParameterLaenge)) {
            felder.back().push_back(zeile[j]);
        }
    }
    felder.resize(std::min<std::size_t>(felder.size(), 4));
    return felder;
}

// The command words, each between spaces.
constexpr std::string_view kWorte =
    " EINSCHALTEN SOUND NOTHALT AUSSCHALTEN TRACELEVEL BIS ENDE_BIS RUFE UNTERPROGRAMM "
    "ENDE_UNTERPROGRAMM REBOOT MELDUNG PAUSE INFO TRANSFER ; ENDE ELSE EXIT ";

template <std::size_t N>
std::string Feld(const std::array<char, N>& feld) {
    fuzz::Pruefe(std::find(feld.begin(), feld.end(), '\0') != feld.end(), "field unterminated");
    return feld.data();
}

// The parse of the line against the model; fields the line does not supply keep earlier text.
void PruefeFelder(const interpreter::Kommandozeile& kz, const std::string& z,
                  std::vector<std::string>& erwartet) {
    std::string gross = z;
    std::transform(gross.begin(), gross.end(), gross.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    const std::vector<std::string> m = Felder(gross);
    std::copy(m.begin(), m.end(), erwartet.begin());
    fuzz::Pruefe(Feld(kz.Kommando) == erwartet[0] && Feld(kz.Parameter1) == erwartet[1] &&
                     Feld(kz.Parameter2) == erwartet[2] && Feld(kz.Parameter3) == erwartet[3] &&
                     Feld(kz.Parameter4).empty(),
                 "fields differ", gross);
    const bool bekannt = kWorte.find(" " + erwartet[0] + " ") != std::string::npos;
    const std::int32_t code = interpreter::GibKommando(&kz);
    fuzz::Pruefe(code >= 0 && code <= 19 && bekannt == (code != interpreter::kUnbekannt),
                 "command code disagrees with the keyword");
    // A buffer exactly as long as the line, so ASan sees a write past it.
    std::vector<char> genau(z.c_str(), z.c_str() + z.size() + 1);
    interpreter::Kommandozeile probe = kz;
    interpreter::ParseKommandozeile(genau.data(), &probe);
    fuzz::Pruefe(
        std::none_of(genau.begin(), genau.end(), [](char c) { return c >= 'a' && c <= 'z'; }),
        "line not upper-cased");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    fuzz::Seams& seams = fuzz::Installiere();
    const std::string& dir = fuzz::Arbeitsverzeichnis();
    const std::string kommandodatei = dir + "/k.txt";
    const std::string protokoll = dir + "/p.txt";
    const std::string portlog = dir + "/port.log";
    const std::string rest =
        groesse > 0 ? std::string(reinterpret_cast<const char*>(daten) + 1, groesse - 1) : "";
    const std::size_t marke = rest.find(kMarke);
    const std::string kommandos = rest.substr(0, marke);
    interface::SzenarioErgebnis geladen = interface::ParseSzenario(
        marke == std::string::npos ? "" : rest.substr(marke + kMarke.size()), "s.txt");
    if (groesse < 1 || !geladen.Ok()) {
        return 0;  // a failed scenario ends the program before the run; its own target covers it
    }
    fuzz::SchreibeDatei(kommandodatei, reinterpret_cast<const std::uint8_t*>(kommandos.data()),
                        kommandos.size());
    std::remove(protokoll.c_str());
    ZustandZuruecksetzen();
    seams.uhr.Zuruecksetzen();
    seams.fenster.Zuruecksetzen(daten[0]);

    auto eigenerSimulator = std::make_unique<interface::Simulator>(std::move(geladen.ereignisse));
    interface::Simulator& sim = *eigenerSimulator;
    std::string fehler;
    auto log = interface::PortLog::Oeffne(std::move(eigenerSimulator), portlog, fehler);
    fuzz::Pruefe(log != nullptr, "port log", fehler);
    test::BudgetPort budget(*log, 150'000, 1000);  // outermost: whole accesses in the log
    interface::SetzePort(&budget);

    const std::vector<fuzz::Satz> saetze = fuzz::Saetze(kommandos, UINT32_MAX).saetze;
    std::vector<std::string> erwartet;  // the protocol: the ELSE lines as written
    bool letzteWarElse = false;
    std::vector<std::string> felder(4);
    test::Laufende lauf;
    interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile& kz, const std::string& z) {
        budget.Zeile();
        fuzz::Pruefe(kz.Stufe >= 0 && kz.Stufe < interpreter::kMaxStufen, "level out of range");
        fuzz::Pruefe(
            kz.Zeilennummer >= 1 && static_cast<std::size_t>(kz.Zeilennummer) <= saetze.size(),
            "line number outside the file", std::to_string(kz.Zeilennummer));
        // After a jump or a call as well.
        std::string satz = saetze[static_cast<std::size_t>(kz.Zeilennummer - 1)].text;
        services::strTrimEnde(satz.data());
        fuzz::Pruefe(z == satz.c_str(), "line differs from the file's record of its number", z);
        PruefeFelder(kz, z, felder);
        lauf.Zeile(kz);
        letzteWarElse = interpreter::GibKommando(&kz) == interpreter::kElse;
        if (letzteWarElse) {
            erwartet.push_back(std::string(z.find_first_not_of(' '), ' ') + "ELSE");
        }
    });
    int code = 0;
    try {
        code = interpreter::Programmlauf({kommandodatei, protokoll});
    } catch (const services::Programmende& e) {
        lauf.art = test::Laufende::Abbruch;
        code = e.code;
    } catch (const test::BudgetPort::Erschoepft&) {
        lauf.art = test::Laufende::Grenze;
    }
    const interface::InterfaceDS ds = interpreter::Zustand().interfaceDS;
    interpreter::SetzeZeilenHaken(nullptr);
    ZustandZuruecksetzen();  // closes the protocol file as the process end would
    interface::SetzePort(nullptr);
    const std::string motoren(sim.Motoren().data(), sim.Motoren().size());
    log.reset();
    const std::string& bericht = seams.fenster.letzteZeile;
    const bool abbruch = lauf.art == test::Laufende::Abbruch;
    fuzz::Pruefe(!abbruch || (code == 12 && seams.fenster.berichte > 0),
                 "abort without 12 or report");
    fuzz::Pruefe(lauf.art != test::Laufende::Normal || code == 0, "normal end with a code");
    PruefePortlog(fuzz::LiesDatei(portlog), motoren);
    fuzz::Pruefe(budget.erschoepft || std::string(ds.Motoren.begin(), ds.Motoren.end()) == motoren,
                 "interface record and latched motors differ");
    fuzz::Pruefe(
        !abbruch || bericht.find("NOTAUS betaetigt!") == std::string::npos || motoren == "NNNN",
        "motors still on after the emergency stop");

    const std::string kUnbekannt = "Kommando erkennen: unbekanntes Kommando";
    const std::vector<std::string> p = Zeilen(fuzz::LiesDatei(protokoll), "\r\n");
    if (abbruch && bericht.find("Funktion: " + kUnbekannt + ",") != std::string::npos) {
        fuzz::Pruefe(p.size() >= 5, "protocol without banner");
        // The report line may have been cut; the protocol keeps the whole word.
        const std::string& wort = p[p.size() - 2];
        fuzz::Pruefe(wort.rfind(bericht.substr(bericht.find("Programmabbruch: ") + 17), 0) == 0,
                     "banner word differs", wort);
        erwartet.insert(erwartet.end(), {"---- PROGRAMMABBRUCH ------", "TAKTLER 091200",
                                         kUnbekannt, wort, "---------------------------"});
    } else if (lauf.art != test::Laufende::Normal && letzteWarElse &&
               p.size() + 1 == erwartet.size()) {
        erwartet.pop_back();  // stopped by the emergency check before the ELSE ran
    }
    fuzz::Pruefe(p == erwartet, "protocol differs from the lines written");

    lauf.bericht = bericht;
    const std::string abweichung =
        test::Vergleiche(pruefen::PruefeKommandodatei(kommandodatei, 20'000), lauf);
    fuzz::Pruefe(abweichung.empty(), "--pruefen disagrees with the run", abweichung);
    return 0;
}
