// Copy and append, rename and delete, size and file dates.
#include <sys/socket.h>
#include <sys/un.h>
#include <utime.h>

#include <ctime>

#include "datei_hilfe.h"

namespace taktler::test {
namespace {

using namespace datei;

std::string Bytes(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>((i * 37 + i / 255) & 0xFF);  // CR, LF, ^Z, NUL among them
    }
    return s;
}

void SetzeAenderung(const std::string& pfad, std::time_t zeit) {
    utimbuf zeiten{zeit, zeit};
    ASSERT_EQ(::utime(pfad.c_str(), &zeiten), 0);
}

class KopierTest : public DateiTest {
  protected:
    void SetUp() override {
        DateiTest::SetUp();
        uhr.ms = static_cast<std::int64_t>(std::time(nullptr)) * 1000;  // file times are real
    }
};

TEST_F(KopierTest, CopiesBlockSizesByteForByte) {
    for (std::size_t n : {0u, 1u, 254u, 255u, 256u, 600u}) {
        SCOPED_TRACE(n);
        Schreibe("q.bin", Bytes(n));
        DateiADO* q = Neu("q.bin");
        DateiADO* z = Neu("z" + std::to_string(n) + ".bin");
        EXPECT_EQ(KopiereDaten(z, q), 1);
        EXPECT_EQ(Lies("z" + std::to_string(n) + ".bin"), Bytes(n));
        EXPECT_EQ(q->Modus, kGeschlossen);
        EXPECT_EQ(z->Modus, kGeschlossen);
        EXPECT_EQ(q->FilePtr, nullptr);
        EXPECT_EQ(z->FilePtr, nullptr);
        Dispose(q);
        Dispose(z);
    }
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_EQ(services::Aufruftiefe(), 0);
}

TEST_F(KopierTest, OverwritingAsksFirst) {
    Schreibe("q.bin", "neu");
    Schreibe("z.bin", "alter Inhalt");
    DateiADO* q = Neu("q.bin");
    DateiADO* z = Neu("z.bin");
    EXPECT_EQ(KopiereDaten(z, q), 1);
    EXPECT_EQ(LetzterBericht(), Zeile("KopiereDaten", "Warnung",
                                      "Zieldatei " + Pfad("z.bin") + " wird ueberschrieben"));
    EXPECT_EQ(Lies("z.bin"), "neu");

    Schreibe("z.bin", "alter Inhalt");
    fenster.antwort = services::Antwort::Abbrechen;
    EXPECT_EQ(EndeCode([&] { KopiereDaten(z, q); }), 12);
    EXPECT_EQ(Lies("z.bin"), "alter Inhalt");
}

TEST_F(KopierTest, ErgaenzeDatenAppendsOrCreates) {
    Schreibe("q.bin", "12345");
    Schreibe("z.bin", "abcdefghij");
    DateiADO* q = Neu("q.bin");
    DateiADO* z = Neu("z.bin");
    EXPECT_EQ(ErgaenzeDaten(z, q), 1);
    EXPECT_EQ(LetzterBericht(),
              Zeile("ErgaenzeDaten", "Warnung", "Zieldatei " + Pfad("z.bin") + " wird ergaenzt"));
    EXPECT_EQ(Lies("z.bin"), "abcdefghij12345");

    fenster.berichte.clear();
    DateiADO* neu = Neu("neu.bin");
    EXPECT_EQ(ErgaenzeDaten(neu, q), 1);
    EXPECT_TRUE(fenster.berichte.empty());
    EXPECT_EQ(Lies("neu.bin"), "12345");
}

TEST_F(KopierTest, CopyIntoAMissingDirectoryChain) {
    Schreibe("q.bin", Bytes(300));
    DateiADO* q = Neu("q.bin");
    DateiADO* z = Neu("x/y/z.bin");
    std::string start = Arbeitsverzeichnis();
    EXPECT_EQ(KopiereDaten(z, q), 1);
    EXPECT_EQ(Lies("x/y/z.bin"), Bytes(300));
    EXPECT_EQ(Arbeitsverzeichnis(), start);
    std::string fehlt = ": No such file or directory\n";
    EXPECT_EQ(Zeilen(),
              (std::vector<std::string>{
                  Zeile("Oeffnen", "Warnung", "Eingabedatei " + Pfad("x/y/z.bin") + fehlt),
                  Zeile("BauePfadAuf", "Warnung",
                        "chdir Verzeichnis " + Pfad("x") + ", No such file or directory\n"),
                  Zeile("BauePfadAuf", "Warnung",
                        "chdir Verzeichnis " + Pfad("x/y") + ", No such file or directory\n")}));
}

TEST_F(KopierTest, CopyFailuresLeaveTheTarget) {
    Schreibe("z.bin", "bleibt");
    DateiADO* z = Neu("z.bin");
    DateiADO* q = Neu("fehlt.bin");
    EXPECT_EQ(KopiereDaten(z, q), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("KopiereDaten", "Warnung",
                                      "Quelldatei " + Pfad("fehlt.bin") + " n. vorhanden"));
    EXPECT_EQ(Lies("z.bin"), "bleibt");

    DateiADO* leer = Create();
    EXPECT_EQ(ErgaenzeDaten(leer, q), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("ErgaenzeDaten", "Warnung", "Zieldatei, Pfadangabe n.vorhanden"));
    EXPECT_EQ(KopiereDaten(z, leer), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("KopiereDaten", "Warnung", "Quelldatei, Pfadangabe n.vorhanden"));

    // A source that exists but can't be opened, even by root: a socket.
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un adresse{};
    adresse.sun_family = AF_UNIX;
    std::snprintf(adresse.sun_path, sizeof adresse.sun_path, "%s", Pfad("sock").c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse), 0);
    ::close(s);
    DateiADO* sock = Neu("sock");
    DateiADO* z2 = Neu("z2.bin");
    EXPECT_EQ(KopiereDaten(z2, sock), 0);
    ASSERT_GE(fenster.berichte.size(), 2u);
    EXPECT_EQ(fenster.berichte[fenster.berichte.size() - 2].zeile,
              Zeile("Oeffnen", "Warnung",
                    "Eingabedatei " + Pfad("sock") + ": No such device or address\n"));
    EXPECT_EQ(LetzterBericht(),
              Zeile("KopiereDaten", "Warnung",
                    "Quelldatei " + Pfad("sock") + " kann nicht geoeffnet werden."));
    EXPECT_FALSE(Gibt("z2.bin"));
}

// Copying a file onto itself would empty it, appending it to itself would
// never end: both are refused.
TEST_F(KopierTest, SourceAndTargetTheSameFile) {
    Schreibe("s.bin", "inhalt");
    DateiADO* a = Neu("s.bin");
    DateiADO* b = Neu("s.bin");
    std::string text = "Quelldatei und Zieldatei sind dieselbe Datei: " + Pfad("s.bin");
    EXPECT_EQ(KopiereDaten(a, b), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("KopiereDaten", "Warnung", text));
    EXPECT_EQ(ErgaenzeDaten(a, a), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("ErgaenzeDaten", "Warnung", text));
    EXPECT_EQ(Lies("s.bin"), "inhalt");
}

TEST_F(KopierTest, KopiereBlockweiseNeedsOpenStreams) {
    DateiADO* q = Neu("q.bin");
    DateiADO* z = Neu("z.bin");
    EXPECT_EQ(EndeCode([&] { KopiereBlockweise(z, q); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("KopiereBlockweise", "Programmabbruch",
                                      "Fehler bei Zieldatei fseek Bad file descriptor"));
}

TEST_F(KopierTest, RenameMovesTheFileAndThePath) {
    Schreibe("a.txt", "eins\r\nzwei\r\n");
    DateiADO* d = Neu("a.txt");
    char puffer[20];
    LiesSatz(d, puffer, sizeof puffer);  // held open
    ASSERT_EQ(::mkdir(Pfad("sub").c_str(), 0777), 0);
    EXPECT_EQ(Rename(d, Pfad("sub/b.txt").c_str()), 1);
    EXPECT_EQ(d->Modus, kGeschlossen);
    EXPECT_EQ(std::string(d->Pfad.data()), Pfad("sub/b.txt"));
    EXPECT_EQ(ExistiertDatei(d), 1);
    EXPECT_FALSE(Gibt("a.txt"));
    EXPECT_EQ(Lies("sub/b.txt"), "eins\r\nzwei\r\n");

    EXPECT_EQ(Rename(d, Pfad("fehlt/c.txt").c_str()), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Rename", "Warnung",
                    "Eingabedatei " + Pfad("sub/b.txt") + ": No such file or directory\n"));
    EXPECT_EQ(std::string(d->Pfad.data()), Pfad("sub/b.txt"));

    DateiADO* fehlt = Neu("weg.txt");
    EXPECT_EQ(Rename(fehlt, Pfad("x.txt").c_str()), 0);
    EXPECT_EQ(LetzterBericht(),
              Zeile("Rename", "Warnung", "Datei " + Pfad("weg.txt") + " existiert nicht"));

    std::string zuLang = "/" + std::string(300, 'x');
    EXPECT_EQ(EndeCode([&] { Rename(d, zuLang.c_str()); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("SetzePfad", "Programmabbruch", "Pfad zu lang"));
    EXPECT_TRUE(Gibt("sub/b.txt"));  // refused before the file moved
}

TEST_F(KopierTest, DestroyDeletesEvenAnOpenFile) {
    DateiADO* d = Neu("p.txt");
    EXPECT_EQ(Destroy(d), 0);
    EXPECT_TRUE(fenster.berichte.empty());
    SchreibSatz(d, "offen");
    ASSERT_NE(d->FilePtr, nullptr);
    EXPECT_EQ(Destroy(d), 1);
    EXPECT_EQ(d->FilePtr, nullptr);
    EXPECT_FALSE(Gibt("p.txt"));
    EXPECT_EQ(d->Vorhanden, 1);  // the object stays
    EXPECT_EQ(std::string(d->Pfad.data()), Pfad("p.txt"));

    ASSERT_EQ(::mkdir(Pfad("voll").c_str(), 0777), 0);
    Schreibe("voll/x", "x");
    DateiADO* v = Neu("voll");
    EXPECT_EQ(Destroy(v), 0);
    EXPECT_EQ(LetzterBericht(), Zeile("Destroy", "Warnung",
                                      "Eingabedatei " + Pfad("voll") + ": Directory not empty\n"));
}

TEST_F(KopierTest, SizeAndAgeOfMissingAndPresentFiles) {
    DateiADO* d = Neu("g.bin");
    EXPECT_EQ(GibGroesse(d), -1);
    EXPECT_EQ(NichtGeaendertSeitXSekunden(d), -1);
    EXPECT_EQ(NichtGeaendertSeitXMinuten(d), -1);
    EXPECT_STREQ(DatumLetzteAenderung(d), "");
    Schreibe("g.bin", "");
    EXPECT_EQ(GibGroesse(d), 0);
    Schreibe("g.bin", Bytes(600));
    EXPECT_EQ(GibGroesse(d), 600);

    std::time_t jetzt = uhr.ms / 1000;
    struct Fall {
        std::time_t alter;
        std::int32_t sekunden, minuten;
    };
    for (Fall f : {Fall{119, 119, 1}, Fall{0, 0, 0}, Fall{3600, 3600, 60}, Fall{-1, -1, 0},
                   Fall{-61, -61, -1}}) {
        SCOPED_TRACE(f.alter);
        SetzeAenderung(Pfad("g.bin"), jetzt - f.alter);
        EXPECT_EQ(NichtGeaendertSeitXSekunden(d), f.sekunden);
        EXPECT_EQ(NichtGeaendertSeitXMinuten(d), f.minuten);
    }
    EXPECT_TRUE(fenster.berichte.empty());
}

TEST_F(KopierTest, DateTexts) {
    Schreibe("t.txt", "x");
    std::time_t zeit = 978350400;  // 2001-01-01 12:00:00 UTC
    SetzeAenderung(Pfad("t.txt"), zeit);
    DateiADO* d = Neu("t.txt");
    std::tm lokal{};
    ASSERT_NE(::localtime_r(&zeit, &lokal), nullptr);
    char erwartet[64];
    std::strftime(erwartet, sizeof erwartet, "%a %b %d %H:%M:%S %Y", &lokal);  // C locale
    std::string aenderung = DatumLetzteAenderung(d);
    EXPECT_EQ(aenderung, erwartet);
    EXPECT_EQ(aenderung.size(), 24u);
    EXPECT_EQ(std::string(DatumLetzterLesezugriff(d)), erwartet);
    EXPECT_EQ(std::string(DatumAnlage(d)).size(), 24u);
    EXPECT_EQ(std::string(DatumLetzteAenderung(d)).find('\n'), std::string::npos);
}

TEST_F(KopierTest, ExistenceNeedsAPath) {
    DateiADO* ohnePfad = Create();
    EXPECT_EQ(EndeCode([&] { GibGroesse(ohnePfad); }), 12);
    EXPECT_EQ(LetzterBericht(), Zeile("ExistiertDatei", "Programmabbruch", "Pfadname n. gesetzt"));
}

}  // namespace
}  // namespace taktler::test
