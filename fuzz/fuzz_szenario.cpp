// The scenario parser on arbitrary text; a valid scenario is written back,
// parsed again, and drives the simulator with the input's bytes.
#include <cstdint>
#include <string>

#include "interface/simulator.h"
#include "interface/szenario.h"
#include "testhilfe/stumme_seams.h"

namespace {

using namespace taktler;
using interface::Anlass;
using interface::Eingriff;

std::string AlsText(const interface::Ereignis& e) {
    std::string s;
    switch (e.anlass) {
        case Anlass::Start:
            s = "start";
            break;
        case Anlass::Abfrage:
            s = "abfrage " + std::to_string(e.n);
            break;
        case Anlass::Messung:
            s = "messung " + std::to_string(e.n);
            break;
        case Anlass::Zeit:
            s = "zeit " + std::to_string(e.n);
            break;
    }
    if (e.eingriff == Eingriff::Schalter) {
        s += " schalter " + std::to_string(e.k) + (e.wert != 0 ? " an" : " aus");
    } else {
        s += " analog " + std::to_string(e.k) + " " + std::to_string(e.wert);
    }
    return s + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    fuzz::Seams& seams = fuzz::Installiere();
    seams.uhr.Zuruecksetzen();
    const std::string_view text(reinterpret_cast<const char*>(daten), groesse);
    interface::SzenarioErgebnis e = interface::ParseSzenario(text, "s.txt");

    if (!e.Ok()) {
        fuzz::Pruefe(e.ereignisse.empty(), "events kept after an error");
        fuzz::Pruefe(e.fehler.rfind("s.txt:", 0) == 0, "message does not name the file", e.fehler);
        fuzz::Pruefe(e.fehler.find('\n') == std::string::npos, "message not one line", e.fehler);
        fuzz::Pruefe(e.fehler.size() < 300, "message too long", e.fehler);
        return 0;
    }

    std::string zurueck;
    int zeile = 0;
    for (const auto& ereignis : e.ereignisse) {
        fuzz::Pruefe(ereignis.zeile > zeile, "line numbers not increasing");
        zeile = ereignis.zeile;
        if (ereignis.eingriff == Eingriff::Schalter) {
            fuzz::Pruefe(
                ereignis.k >= 1 && ereignis.k <= 8 && (ereignis.wert == 0 || ereignis.wert == 1),
                "switch event out of range");
        } else {
            fuzz::Pruefe(ereignis.k >= 1 && ereignis.k <= 2 && ereignis.wert >= 0 &&
                             ereignis.wert <= interface::kAnalogMaximum,
                         "analog event out of range");
        }
        if (ereignis.anlass == Anlass::Abfrage || ereignis.anlass == Anlass::Messung) {
            fuzz::Pruefe(ereignis.n >= 1, "count below 1");
        }
        zurueck += AlsText(ereignis);
    }
    interface::SzenarioErgebnis wieder = interface::ParseSzenario(zurueck, "s.txt");
    fuzz::Pruefe(wieder.Ok() && wieder.ereignisse == e.ereignisse, "round trip differs", zurueck);

    // The simulator takes any byte sequence; it answers only with its bits.
    interface::Simulator sim(e.ereignisse);
    for (std::size_t i = 0; i < groesse && i < 4096; ++i) {
        sim.SchreibeByte(daten[i]);
        if (i % 3 == 0) {
            std::uint8_t status = sim.LiesStatus();
            fuzz::Pruefe((status & ~0x30) == 0, "status bits beyond 0x30");
        }
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
