// SPDX-License-Identifier: GPL-3.0-or-later
// What ships beside the program: the manual pages follow the option table, the editor files
// know every command of the reader, and Vim highlights and recognises a command file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/optionen.h"
#include "interpreter/kommandozeile.h"
#include "testdateien.h"

namespace taktler::test {
namespace {

const std::string kQuellen = TAKTLER_QUELLEN;

// The options a manual page describes in its option section: each .TP entry's first line,
// "name" or "name=" for one that takes a value, "-h" for a short option.
std::set<std::string> OptionenDerSeite(const std::string& seite, const std::string& abschnitt) {
    std::istringstream text(LiesDatei(seite));
    std::set<std::string> optionen;
    bool drin = false;
    bool eintrag = false;
    const std::regex option(R"(\\-(\\-)?([a-zA-Z](\\-|[a-z])*)(=?))");
    for (std::string zeile; std::getline(text, zeile);) {
        if (zeile.rfind(".SH", 0) == 0) {
            drin = zeile == ".SH " + abschnitt;
        } else if (drin && zeile == ".TP") {
            eintrag = true;
        } else if (eintrag) {
            eintrag = false;
            for (std::sregex_iterator i(zeile.begin(), zeile.end(), option), e; i != e; ++i) {
                std::string name = std::regex_replace((*i)[2].str(), std::regex(R"(\\-)"), "-");
                optionen.insert((*i)[1].matched ? name + (*i)[4].str() : "-" + name);
            }
        }
    }
    return optionen;
}

class HandbuchTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(HandbuchTest, OptionSectionFollowsTheOptionTable) {
    std::set<std::string> erwartet;
    for (const app::Option& o : app::Optionstabelle()) {
        erwartet.insert(std::string(o.name) + (o.wert != nullptr ? "=" : ""));
        if (o.kurz != 0) {
            erwartet.insert(std::string("-") + o.kurz);
        }
    }
    EXPECT_EQ(OptionenDerSeite(kQuellen + "/paket/" + GetParam().first, GetParam().second),
              erwartet);
}

INSTANTIATE_TEST_SUITE_P(Seiten, HandbuchTest,
                         ::testing::Values(std::make_pair("taktler.1.in", "OPTIONEN"),
                                           std::make_pair("taktler.en.1.in", "OPTIONS")),
                         [](const auto& info) { return std::string(info.param.second); });

// Every command code of the reader has its keyword in each editor file, and every
// upper-case word there that the reader takes as a command is one.
class SchluesselwortTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SchluesselwortTest, EditorFileKnowsEveryCommand) {
    const std::string text = LiesDatei(kQuellen + "/editoren/" + GetParam());
    std::set<std::int32_t> codes;
    const std::regex wort("[A-Z_]{3,}");
    for (std::sregex_iterator i(text.begin(), text.end(), wort), e; i != e; ++i) {
        std::string w = i->str();
        interpreter::Kommandozeile kz;
        ASSERT_TRUE(interpreter::ParseKommandozeile(w.data(), &kz));
        codes.insert(interpreter::GibKommando(&kz));
    }
    for (std::int32_t code = interpreter::kBis; code < interpreter::kUnbekannt; ++code) {
        if (code != interpreter::kKommentar) {
            EXPECT_EQ(codes.count(code), 1u) << "command code " << code;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dateien, SchluesselwortTest,
                         ::testing::Values("vim/syntax/taktler.vim", "nano/taktler.nanorc",
                                           "textmate/taktler.tmLanguage.json"));

// Vim in Ex mode with the project's runtime files, on a file: its file type and the syntax
// group at a place, or what a Vim expression gives.
struct VimFall {
    const char* datei;
    const char* inhalt;
    std::string ausdruck;
    const char* antwort;
};
void PrintTo(const VimFall& f, std::ostream* os) {
    *os << f.datei << " " << f.ausdruck;
}
class VimTest : public ::testing::TestWithParam<VimFall> {};

#define SYNTAX(zeile, spalte) "&ft . ' ' . synIDattr(synID(" #zeile ", " #spalte ", 1), 'name')"

TEST_P(VimTest, RecognisesAndHighlights) {
    if (std::system("command -v vim >/dev/null") != 0) {
        GTEST_SKIP() << "vim fehlt (tools/install-deps.sh installiert vim-nox)";
    }
    const VimFall& f = GetParam();
    TempVerzeichnis dir;
    SchreibeDatei(dir / f.datei, f.inhalt);
    SchreibeDatei(dir / "frage.vim",
                  "try\n  call writefile([" + f.ausdruck +
                      "], 'antwort')\ncatch\n  call writefile(['Fehler: ' . v:exception], "
                      "'antwort')\nendtry\nqa!\n");
    EXPECT_EQ(StarteBegrenzt("cd " + Quote(dir.pfad()) + " && vim -Nu NONE -i NONE -es --cmd " +
                             Quote("set rtp^=" + kQuellen + "/editoren/vim") +
                             " --cmd 'filetype on' --cmd 'syntax on' -S frage.vim " +
                             Quote(f.datei) + " </dev/null"),
              0);
    EXPECT_EQ(LiesDatei(dir / "antwort"), std::string(f.antwort) + "\n");
}

constexpr const char* kBand =
    "EINSCHALTEN MOTOR1 LINKS\n; warten\nbis zeit = 500\nENDE_BIS\nRUFE BLINKEN\n"
    "UNTERPROGRAMM BLINKEN\n";

INSTANTIATE_TEST_SUITE_P(
    Faelle, VimTest,
    ::testing::Values(VimFall{"band.txt", kBand, SYNTAX(1, 1), "taktler taktlerBefehl"},
                      VimFall{"band.txt", kBand, SYNTAX(1, 13), "taktler taktlerMotor"},
                      VimFall{"band.txt", kBand, SYNTAX(2, 1), "taktler taktlerKommentar"},
                      VimFall{"band.txt", kBand, SYNTAX(3, 1), "taktler taktlerBlock"},
                      VimFall{"band.txt", kBand, SYNTAX(3, 12), "taktler taktlerZahl"},
                      VimFall{"band.txt", kBand, SYNTAX(6, 15), "taktler taktlerName"},
                      VimFall{"neu.tkt", "", "&ft", "taktler"},
                      // A text that happens to begin with a command word stays text.
                      VimFall{"brief.txt", "Info zum Kurs\nam Montag\n", "&ft", "text"},
                      // :make checks with --pruefen, and its findings fill the list.
                      VimFall{"band.txt", kBand,
                              "execute('compiler taktler') . &makeprg . ' ' . "
                              "string(map(getqflist({'lines': ['band.txt:3: fehler: x', "
                              "'band.txt:4: warnung: y', 'band.txt: 1 Fehler, 1 Warnung(en)'], "
                              "'efm': &efm}).items, '[v:val.lnum, v:val.type, v:val.text]'))",
                              "taktler --pruefen %:S [[3, 'E', 'x'], [4, 'W', 'y']]"},
                      // The TextMate grammar is JSON that an editor reads (Vim's decoder is
                      // strict).
                      VimFall{
                          "leer.tkt", "",
                          "json_decode(join(readfile('" + kQuellen +
                              "/editoren/textmate/taktler.tmLanguage.json'), \"\\n\")).scopeName",
                          "source.taktler"}));

}  // namespace
}  // namespace taktler::test
