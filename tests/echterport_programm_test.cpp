// Whole-program tests of the real-port path: the built taktler with a
// stand-in for libieee1284 and the kernel's port files preloaded
// (tests/attrappe), which models one ppdev port and logs every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "testdateien.h"

namespace taktler::test {
namespace {

using Liste = std::vector<std::string>;

// The 24 writes of one frame with all motors off, as the stand-in logs them.
Liste AusRahmen() {
    Liste w;
    for (int k = 1; k <= 8; ++k) {
        w.insert(w.end(),
                 {"write_data F2", "write_data FA", k < 8 ? "write_data F2" : "write_data FB"});
    }
    return w;
}

bool IstZugriff(const std::string& zeile) {
    return zeile.rfind("write_data", 0) == 0 || zeile.rfind("read_status", 0) == 0;
}

std::ptrdiff_t Stelle(const Liste& zeilen, const std::string& anfang) {
    auto it = std::find_if(zeilen.begin(), zeilen.end(),
                           [&](const std::string& z) { return z.rfind(anfang, 0) == 0; });
    return it == zeilen.end() ? -1 : it - zeilen.begin();
}

std::size_t Anzahl(const Liste& zeilen, const std::string& anfang) {
    return static_cast<std::size_t>(
        std::count_if(zeilen.begin(), zeilen.end(),
                      [&](const std::string& z) { return z.rfind(anfang, 0) == 0; }));
}

// A run that arms the emergency stop and then polls the switches until a
// time far beyond the test: only a port fault or a signal ends it early.
const char* const kDauerlauf =
    "EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT 10\nELSE\nENDE\nNOTHALT SCHALTER1\n"
    "BIS ZEIT = 100000\nENDE_BIS\n";
// 4 frames at start, one for motor 1, then input reads of 25 accesses.
const char* const kNachStart = "300";

const char* const kStartzeile =
    "taktler: Parallelport parport0, Basisadresse 0x378, Zugriff ueber ppdev (/dev/parport0), "
    "Echtzeitprioritaet: nein\n";

enum class Ende {
    Verweigert,   // nothing opened or written, no port log
    Simuliert,    // the simulated interface: no real port opened or written
    Freigegeben,  // set up in order, released at the end
    MotorenAus,   // as Freigegeben, after a fault: four off frames first
};

// The stand-in, preloaded; it comes before a sanitizer runtime.
Liste Attrappe(const TempVerzeichnis& dir) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {
        std::string("LD_PRELOAD=") + TAKTLER_ATTRAPPE,
        "TAKTLER_ATTRAPPE_LOG=" + (dir / "attrappe.log"),
        std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":verify_asan_link_order=0"};
}

struct Fall {
    const char* name;
    Liste umgebung;  // TAKTLER_ATTRAPPE_... settings
    Liste optionen;
    const char* kommandos;
    int code;
    Liste fehler;     // parts of standard error
    const char* aus;  // standard output exactly, or null
    Ende ende;
    const char* ausloeser = "";  // the stand-in's line where the fault happened
};
void PrintTo(const Fall& f, std::ostream* os) {
    *os << f.name;
}

class EchterPortTest : public ::testing::TestWithParam<Fall> {
  protected:
    Aufruf Starte(const Fall& f) {
        SchreibeDatei(dir / "k.txt", f.kommandos);
        Liste umgebung = Attrappe(dir);
        umgebung.insert(umgebung.end(), f.umgebung.begin(), f.umgebung.end());
        Liste args = {"--port-log=port.log"};
        args.insert(args.end(), f.optionen.begin(), f.optionen.end());
        args.insert(args.end(), {"k.txt", "p.txt"});
        return StarteTaktler(args, dir.pfad(), "", umgebung);
    }
    TempVerzeichnis dir;
};

TEST_P(EchterPortTest, BehavesAsTheMachineRequires) {
    const Fall& f = GetParam();
    const Aufruf a = Starte(f);
    EXPECT_EQ(a.code, f.code) << a.fehler;
    for (const auto& teil : f.fehler) {
        EXPECT_NE(a.fehler.find(teil), std::string::npos) << teil << "\n" << a.fehler;
    }
    if (f.aus != nullptr) {
        EXPECT_EQ(a.aus, f.aus);
    }
    const Liste log = Zeilen(LiesDatei(dir / "attrappe.log"));
    // No library call sleeps until the stand-in gives up on it, and nothing
    // reaches the pins outside a claim.
    for (const auto& z : log) {
        EXPECT_EQ(z.find("blockiert"), std::string::npos) << z;
        EXPECT_EQ(z.find("ohne claim"), std::string::npos) << z;
    }
    if (f.ende == Ende::Verweigert || f.ende == Ende::Simuliert) {
        EXPECT_EQ(Anzahl(log, "claim"), 0u);
        EXPECT_EQ(Anzahl(log, "write_data"), 0u);
        // Under auto a guessed address is not even opened.
        if (f.ende == Ende::Simuliert) {
            EXPECT_EQ(Anzahl(log, "open 0x"), 0u);
        }
        EXPECT_EQ(DateiExistiert(dir / "port.log"), f.ende == Ende::Simuliert);
        return;
    }

    // Claim, control lines idle, data lines forward, then the first frame.
    const auto claim = Stelle(log, "claim parport0");
    const auto steuerung = Stelle(log, "write_control");
    const auto richtung = Stelle(log, "data_dir");
    ASSERT_GE(claim, 0);
    EXPECT_LT(claim, steuerung);
    EXPECT_EQ(log[static_cast<std::size_t>(steuerung)], "write_control 07 (Register 0C)");
    EXPECT_LT(steuerung, richtung);
    EXPECT_EQ(log[static_cast<std::size_t>(richtung)], "data_dir 0");
    EXPECT_LT(richtung, Stelle(log, "write_data"));
    EXPECT_EQ(Anzahl(log, "mlockall"), 1u);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Liste(log.end() - 3, log.end()),
              (Liste{"release parport0", "close parport0", "free_ports"}));
    EXPECT_EQ(LiesDatei(dir / "port.log").back(), '\n');
    if (f.ende != Ende::MotorenAus) {
        return;
    }

    // Within one exchange of the fault, the motors are switched off; the
    // protocol file keeps what was written.
    const Liste aus = AusRahmen();
    ASSERT_GE(log.size(), 3 + 4 * aus.size());
    const auto abschalten = log.end() - 3 - static_cast<std::ptrdiff_t>(4 * aus.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Liste(abschalten + i * 24, abschalten + (i + 1) * 24), aus) << i;
    }
    const auto fehler = Stelle(log, f.ausloeser);
    ASSERT_GE(fehler, 0);
    EXPECT_LE(std::count_if(log.begin() + fehler, abschalten, IstZugriff), 25);
    EXPECT_EQ(LiesDatei(dir / "p.txt"), "ELSE\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, EchterPortTest,
    ::testing::Values(
        Fall{"NormalesEnde",
             {},
             {},
             "MELDUNG A\n",
             0,
             {std::string(kStartzeile) + "TAKTLER 091200\n"},
             nullptr,
             Ende::Freigegeben},
        Fall{"Abbruch",
             {},
             {"--port=parport0"},
             "EINSCHALTEN MOTOR1\nKAPUTT\n",
             12,
             {"Programmabbruch: KAPUTT"},
             nullptr,
             Ende::Freigegeben},
        Fall{"Lesefehler",
             {std::string("TAKTLER_ATTRAPPE_LESEFEHLER=") + kNachStart},
             {},
             kDauerlauf,
             12,
             {"TAKTLER Portfehler: Parallelport \"parport0\": Statusregister nicht lesbar: auf "
              "diesem System nicht verfuegbar (E1284_NOTAVAIL), No such device; alle Motoren aus "
              "gesendet, Lauf abgebrochen\n"},
             nullptr,
             Ende::MotorenAus,
             "read_status Fehler"},
        Fall{"PortWeg",
             {std::string("TAKTLER_ATTRAPPE_WEG=") + kNachStart},
             {},
             kDauerlauf,
             12,
             {"TAKTLER Portfehler: Parallelport \"parport0\": vom System abgemeldet "
              "(/proc/sys/dev/parport/parport0: No such file or directory)"},
             nullptr,
             Ende::MotorenAus,
             "port weg"},
        Fall{"CtrlC",
             {std::string("TAKTLER_ATTRAPPE_SIGINT=") + kNachStart},
             {},
             kDauerlauf,
             128 + 2,
             {"TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet"},
             nullptr,
             Ende::MotorenAus,
             "SIGINT"},
        Fall{"Belegt",
             {"TAKTLER_ATTRAPPE_FALL=belegt"},
             {},
             "MELDUNG A\n",
             12,
             {"taktler: Parallelport \"parport0\" ist belegt von \"lp0\", warte bis zu 3 s, bis er "
              "frei wird\n",
              "taktler: Parallelport \"parport0\" ist belegt von \"lp0\", nach 3 s Warten "
              "aufgegeben: der Druckertreiber lp haelt ihn"},
             "",
             Ende::Verweigert},
        Fall{"KurzBelegt",
             {"TAKTLER_ATTRAPPE_FALL=belegt:800"},
             {},
             "MELDUNG A\n",
             0,
             {"warte bis zu 3 s, bis er frei wird\n", kStartzeile},
             nullptr,
             Ende::Freigegeben},
        Fall{"KeineBerechtigung",
             {"TAKTLER_ATTRAPPE_FALL=keine-berechtigung"},
             {},
             "MELDUNG A\n",
             12,
             {"taktler: Parallelport \"parport0\" kann nicht geoeffnet werden: keine Berechtigung "
              "fuer /dev/parport0: den Benutzer in die Gruppe lp aufnehmen"},
             "",
             Ende::Verweigert},
        Fall{"OhnePpdev",
             {"TAKTLER_ATTRAPPE_FALL=ohne-ppdev"},
             {},
             "MELDUNG A\n",
             12,
             {"/dev/parport0 fehlt, das Modul ppdev ist nicht geladen: sudo modprobe ppdev"},
             "",
             Ende::Verweigert},
        Fall{"Exklusiv",
             {"TAKTLER_ATTRAPPE_FALL=exklusiv"},
             {},
             "MELDUNG A\n",
             12,
             {"taktler: Parallelport \"parport0\" wird von einem anderen Programm oder Treiber "
              "exklusiv benutzt"},
             "",
             Ende::Verweigert},
        // Guessed addresses are neither opened nor written under auto.
        Fall{"OhneTreiber",
             {"TAKTLER_ATTRAPPE_FALL=ohne-treiber"},
             {},
             "MELDUNG A\n",
             0,
             {"taktler: Kein Parallelport gefunden, simuliertes Interface wird benutzt\n"},
             nullptr,
             Ende::Simuliert},
        Fall{"UsbDruckeradapter",
             {"TAKTLER_ATTRAPPE_FALL=usb"},
             {"--ports"},
             "",
             0,
             {"(/dev/usb/lp0 ist ein USB-Druckeradapter: er kann das Interface nicht ansteuern"},
             "",
             Ende::Verweigert},
        Fall{
            "GerateneAdresseNurMitNamen",
            {"TAKTLER_ATTRAPPE_FALL=ohne-treiber"},
            {"--port=0x378"},
            "MELDUNG A\n",
            12,
            {"Parallelport \"0x378\" kann nicht geoeffnet werden: die Adresse ist nicht vom System "
             "registriert"},
            "",
            Ende::Verweigert},
        Fall{"PortsListe",
             {},
             {"--ports"},
             "",
             0,
             {},
             "parport0 0x378 ppdev (/dev/parport0)\n",
             Ende::Verweigert},
        Fall{"PortsListeBelegt",
             {"TAKTLER_ATTRAPPE_FALL=belegt"},
             {"--ports"},
             "",
             0,
             {},
             "parport0 0x378 ppdev (/dev/parport0), belegt von \"lp0\"\n",
             Ende::Verweigert},
        Fall{"PortsListeOhneTreiber",
             {"TAKTLER_ATTRAPPE_FALL=ohne-treiber"},
             {"--ports"},
             "",
             0,
             {"taktler: kein Parallelport vom System registriert"},
             "",
             Ende::Verweigert}),
    [](const ::testing::TestParamInfo<Fall>& info) { return info.param.name; });

// The port log notes each analog window's duration right after it.
TEST(EchterPortLog, EachMeasurementWindowIsFollowedByItsDuration) {
    TempVerzeichnis dir;
    SchreibeDatei(dir / "k.txt", "BIS ANALOG1 > 2499\nENDE\n");
    const Aufruf a =
        StarteTaktler({"--port-log=port.log", "k.txt", "p.txt"}, dir.pfad(), "", Attrappe(dir));
    ASSERT_EQ(a.code, 0) << a.fehler;
    const Liste zeilen = Zeilen(LiesDatei(dir / "port.log"));
    std::size_t fenster = 0;
    for (std::size_t i = 0; i + 1 < zeilen.size(); ++i) {
        if (zeilen[i] == "STI") {
            ++fenster;
            EXPECT_EQ(zeilen[i + 1].rfind("# Messfenster: 4999 Lesungen in ", 0), 0u) << i;
        }
    }
    EXPECT_EQ(fenster, 40u);  // the first evaluation fills all twenty slots of both inputs
    EXPECT_EQ(Anzahl(zeilen, "# Messfenster"), fenster);
}

}  // namespace
}  // namespace taktler::test
