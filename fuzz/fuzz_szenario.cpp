// SPDX-License-Identifier: GPL-3.0-or-later
// A valid scenario survives a round trip and drives the simulator with the input's bytes.
#include <cstdint>
#include <string>

#include "interface/simulator.h"
#include "interface/szenario.h"
#include "testhilfe/stumme_seams.h"

using namespace taktler;
using interface::Anlass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    fuzz::Installiere().uhr.Zuruecksetzen();
    const std::string_view text(reinterpret_cast<const char*>(daten), groesse);
    interface::SzenarioErgebnis e = interface::ParseSzenario(text, "s.txt");
    if (!e.Ok()) {
        fuzz::Pruefe(e.ereignisse.empty() && e.fehler.rfind("s.txt:", 0) == 0 &&
                         e.fehler.find('\n') == std::string::npos && e.fehler.size() < 300,
                     "events kept, or message not one short line naming the file", e.fehler);
        return 0;
    }
    std::string zurueck;
    int zeile = 0;
    for (const auto& ereignis : e.ereignisse) {
        const bool schalter = ereignis.eingriff == interface::Eingriff::Schalter;
        fuzz::Pruefe(ereignis.zeile > zeile, "line numbers not increasing");
        fuzz::Pruefe(schalter ? ereignis.k >= 1 && ereignis.k <= 8 && ereignis.wert >= 0 &&
                                    ereignis.wert <= 1
                              : ereignis.k >= 1 && ereignis.k <= 2 && ereignis.wert >= 0 &&
                                    ereignis.wert <= interface::kAnalogMaximum,
                     "event out of range");
        fuzz::Pruefe(
            ereignis.n >= 1 || ereignis.anlass == Anlass::Start || ereignis.anlass == Anlass::Zeit,
            "count below 1");
        zeile = ereignis.zeile;
        const std::string n = std::to_string(ereignis.n);
        zurueck += (ereignis.anlass == Anlass::Start     ? "start"
                    : ereignis.anlass == Anlass::Abfrage ? "abfrage " + n
                    : ereignis.anlass == Anlass::Messung ? "messung " + n
                                                         : "zeit " + n) +
                   (schalter ? " schalter " + std::to_string(ereignis.k) +
                                   (ereignis.wert != 0 ? " an\n" : " aus\n")
                             : " analog " + std::to_string(ereignis.k) + " " +
                                   std::to_string(ereignis.wert) + "\n");
    }
    interface::SzenarioErgebnis wieder = interface::ParseSzenario(zurueck, "s.txt");
    fuzz::Pruefe(wieder.Ok() && wieder.ereignisse == e.ereignisse, "round trip differs", zurueck);

    // The simulator takes any byte sequence; it answers only with its bits.
    interface::Simulator sim(e.ereignisse);
    for (std::size_t i = 0; i < groesse && i < 4096; ++i) {
        sim.SchreibeByte(daten[i]);
        fuzz::Pruefe(i % 3 != 0 || (sim.LiesStatus() & ~0x30) == 0, "status bits beyond 0x30");
    }
    for (char m : sim.Motoren()) {
        fuzz::Pruefe(m == 'L' || m == 'R' || m == 'N', "motor state");
    }
    for (int k = 1; k <= 2; ++k) {
        fuzz::Pruefe(sim.AnalogWert(k) >= 0 && sim.AnalogWert(k) <= interface::kAnalogMaximum,
                     "analog value");
    }
    return 0;
}
