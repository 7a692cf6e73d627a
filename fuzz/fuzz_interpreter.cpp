// The whole interpreter: an arbitrary command file run on the simulated
// interface with an arbitrary scenario. Input layout: one byte of WARNUNG
// answers (bit i answers the i-th box, 1 = OK), then the command file, then
// optionally kMarke and the scenario. The run is bounded in lines and port
// accesses. Every line the loop gets must be the file's record of its line
// number; afterwards the abort promises are checked: port log complete and
// matching the motors, protocol file holding exactly the lines written, and
// --pruefen of the same file agreeing with how the run ended.
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interface/portlog.h"
#include "interface/simulator.h"
#include "interface/szenario.h"
#include "interpreter/pruefen.h"
#include "interpreter/taktler.h"
#include "services/strtools.h"
#include "testhilfe/pruefvergleich.h"
#include "testhilfe/stumme_seams.h"
#include "testhilfe/zuruecksetzen.h"

namespace {

using namespace taktler;

constexpr std::string_view kMarke = "\n#SZENARIO\n";
constexpr int kZeilenGrenze = 1000;
constexpr std::uint64_t kPortGrenze = 150'000;
constexpr std::size_t kZustandsGrenze = 20'000;  // of the check; beyond, it gives up

struct ZeilenGrenze {};
struct PortGrenze {};

// Outermost port: ends the run once the budget is spent, before the access
// reaches the log, so that the log holds only whole accesses.
class BudgetPort : public interface::Port {
  public:
    explicit BudgetPort(interface::Port& innen) : innen_(innen) {}
    void SchreibeByte(std::uint8_t wert) override {
        Zaehle();
        innen_.SchreibeByte(wert);
    }
    void SchreibeWort(std::uint16_t wert) override {
        Zaehle();
        innen_.SchreibeWort(wert);
    }
    std::uint8_t LiesStatus() override {
        Zaehle();
        return innen_.LiesStatus();
    }
    void Sperren() override { innen_.Sperren(); }
    void Freigeben() override { innen_.Freigeben(); }

  private:
    void Zaehle() {
        if (++zugriffe_ > kPortGrenze) {
            throw PortGrenze{};
        }
    }
    interface::Port& innen_;
    std::uint64_t zugriffe_ = 0;
};

std::vector<std::string> Zeilen(const std::string& text, const std::string& ende) {
    std::vector<std::string> zeilen;
    std::size_t anfang = 0;
    while (anfang < text.size()) {
        std::size_t pos = text.find(ende, anfang);
        fuzz::Pruefe(pos != std::string::npos, "last line cut", text.substr(anfang, 80));
        zeilen.push_back(text.substr(anfang, pos - anfang));
        anfang = pos + ende.size();
    }
    return zeilen;
}

bool IstHex(const std::string& s) {
    return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

void PruefePortlog(const std::string& log, const interface::Simulator::Motorzustand& motoren) {
    std::string letzte;
    for (const std::string& z : Zeilen(log, "\n")) {
        bool gut = z == "CLI" || z == "STI" ||
                   (z.size() == 8 && (z.rfind("W 378 ", 0) == 0 || z.rfind("R 379 ", 0) == 0) &&
                    IstHex(z.substr(6))) ||
                   (z.size() == 12 && z.rfind("W16 378 ", 0) == 0 && IstHex(z.substr(8))) ||
                   (z.size() == 14 && z.rfind("# Motoren ", 0) == 0);
        fuzz::Pruefe(gut, "malformed port log line", z);
        if (z.rfind("# Motoren ", 0) == 0) {
            letzte = z.substr(10);
        }
    }
    fuzz::Pruefe(letzte == std::string(motoren.begin(), motoren.end()),
                 "port log's last frame differs from the latched motors", letzte);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
    if (groesse < 1) {
        return 0;
    }
    fuzz::Seams& seams = fuzz::Installiere();
    const std::string& dir = fuzz::Arbeitsverzeichnis();
    const std::string kommandodatei = dir + "/k.txt";
    const std::string szenariodatei = dir + "/s.txt";
    const std::string protokoll = dir + "/p.txt";
    const std::string portlog = dir + "/port.log";

    const std::string_view rest(reinterpret_cast<const char*>(daten + 1), groesse - 1);
    const std::size_t marke = rest.find(kMarke);
    const std::string_view kommandos = rest.substr(0, marke);
    std::vector<interface::Ereignis> ereignisse;
    if (marke != std::string_view::npos) {
        const std::string_view szenario = rest.substr(marke + kMarke.size());
        fuzz::SchreibeDatei(szenariodatei, reinterpret_cast<const std::uint8_t*>(szenario.data()),
                            szenario.size());
        interface::SzenarioErgebnis geladen = interface::LadeSzenario(szenariodatei);
        if (!geladen.Ok()) {
            return 0;  // the program ends before the run; the scenario target covers it
        }
        ereignisse = std::move(geladen.ereignisse);
    }
    fuzz::SchreibeDatei(kommandodatei, reinterpret_cast<const std::uint8_t*>(kommandos.data()),
                        kommandos.size());
    ::unlink(protokoll.c_str());

    ZustandZuruecksetzen();
    seams.uhr.Zuruecksetzen();
    seams.fenster.Zuruecksetzen(daten[0]);

    auto eigenerSimulator = std::make_unique<interface::Simulator>(std::move(ereignisse));
    interface::Simulator& sim = *eigenerSimulator;
    std::string fehler;
    std::unique_ptr<interface::PortLog> log =
        interface::PortLog::Oeffne(std::move(eigenerSimulator), portlog, fehler);
    fuzz::Pruefe(log != nullptr, "port log", fehler);
    BudgetPort budget(*log);
    interface::SetzePort(&budget);

    // Every line the loop gets, after a jump or a call as well, is the
    // file's record of that number as the loop trims it.
    const std::vector<fuzz::Satz> saetze = fuzz::Saetze(std::string(kommandos), UINT32_MAX).saetze;
    std::vector<char> getrimmt;

    // The ELSE lines handed to the dispatch, as the protocol must show them.
    std::vector<std::string> elseZeilen;
    bool letzteWarElse = false;
    int zeilen = 0;
    test::Laufende lauf;
    interpreter::SetzeZeilenHaken([&](const interpreter::Kommandozeile& kz, const std::string& z) {
        if (++zeilen > kZeilenGrenze) {
            throw ZeilenGrenze{};
        }
        fuzz::Pruefe(kz.Stufe >= 0 && kz.Stufe < interpreter::kMaxStufen, "level out of range",
                     std::to_string(kz.Stufe));
        fuzz::Pruefe(
            kz.Zeilennummer >= 1 && static_cast<std::size_t>(kz.Zeilennummer) <= saetze.size(),
            "line number outside the file", std::to_string(kz.Zeilennummer));
        const std::string& satz = saetze[static_cast<std::size_t>(kz.Zeilennummer - 1)].text;
        getrimmt.assign(satz.begin(), satz.end());
        getrimmt.push_back('\0');
        services::strTrimEnde(getrimmt.data());
        fuzz::Pruefe(z == getrimmt.data(), "line differs from the file's record of its number",
                     std::to_string(kz.Zeilennummer) + ": " + z);
        lauf.Zeile(kz);
        letzteWarElse = interpreter::GibKommando(&kz) == interpreter::kElse;
        if (letzteWarElse) {
            elseZeilen.push_back(std::string(z.find_first_not_of(' '), ' ') + "ELSE");
        }
    });

    enum class Ende { Normal, Abbruch, Grenze, PortGrenze } ende = Ende::Normal;
    int code = 0;
    try {
        code = interpreter::Programmlauf({kommandodatei, protokoll});
    } catch (const services::Programmende& e) {
        ende = Ende::Abbruch;
        code = e.code;
    } catch (const ZeilenGrenze&) {
        ende = Ende::Grenze;
    } catch (const PortGrenze&) {
        ende = Ende::PortGrenze;
    }

    const interface::InterfaceDS ds = interpreter::Zustand().interfaceDS;
    interpreter::SetzeZeilenHaken(nullptr);
    ZustandZuruecksetzen();  // closes the protocol file as the process end would
    interface::SetzePort(nullptr);
    const interface::Simulator::Motorzustand motoren = sim.Motoren();
    log.reset();

    const std::string& bericht = seams.fenster.letzteZeile;
    if (ende == Ende::Abbruch) {
        fuzz::Pruefe(code == 12, "exit code other than 12", std::to_string(code));
        fuzz::Pruefe(seams.fenster.berichte > 0, "exit 12 without a report");
    } else if (ende == Ende::Normal) {
        fuzz::Pruefe(code == 0, "normal end with a code");
    }

    PruefePortlog(fuzz::LiesDatei(portlog), motoren);
    if (ende != Ende::PortGrenze) {
        fuzz::Pruefe(std::string(ds.Motoren.begin(), ds.Motoren.end()) ==
                         std::string(motoren.begin(), motoren.end()),
                     "interface record and latched motors differ");
    }
    if (ende == Ende::Abbruch && bericht.find("NOTAUS betaetigt!") != std::string::npos) {
        fuzz::Pruefe(std::string(motoren.begin(), motoren.end()) == "NNNN",
                     "motors still on after the emergency stop");
    }

    std::vector<std::string> erwartet = elseZeilen;
    const std::string kUnbekannt = "Kommando erkennen: unbekanntes Kommando";
    const std::vector<std::string> p = Zeilen(fuzz::LiesDatei(protokoll), "\r\n");
    if (ende == Ende::Abbruch &&
        bericht.find("Funktion: " + kUnbekannt + ",") != std::string::npos) {
        const std::string praefix = "Programmabbruch: ";
        std::string wort = bericht.substr(bericht.find(praefix) + praefix.size());
        fuzz::Pruefe(p.size() >= 5, "protocol without banner");
        erwartet.insert(erwartet.end(),
                        {"---- PROGRAMMABBRUCH ------", "TAKTLER 091200", kUnbekannt});
        // The report line may have been cut; the protocol keeps the whole word.
        const std::string& bannerWort = p[p.size() - 2];
        fuzz::Pruefe(bannerWort.rfind(wort, 0) == 0, "banner word differs", bannerWort);
        erwartet.push_back(bannerWort);
        erwartet.push_back("---------------------------");
    } else if (ende != Ende::Normal && letzteWarElse && p.size() + 1 == erwartet.size()) {
        erwartet.pop_back();  // stopped by the emergency check before the ELSE ran
    }
    fuzz::Pruefe(p == erwartet, "protocol differs from the lines written",
                 std::to_string(p.size()) + " / " + std::to_string(erwartet.size()));

    lauf.art = ende == Ende::Normal    ? test::Laufende::Normal
               : ende == Ende::Abbruch ? test::Laufende::Abbruch
                                       : test::Laufende::Grenze;
    lauf.bericht = bericht;
    const std::string abweichung =
        test::Vergleiche(interpreter::PruefeKommandodatei(kommandodatei, kZustandsGrenze), lauf);
    fuzz::Pruefe(abweichung.empty(), "--pruefen disagrees with the run", abweichung);
    return 0;
}
