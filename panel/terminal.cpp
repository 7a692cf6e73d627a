// SPDX-License-Identifier: GPL-3.0-or-later
// The panel on a real terminal, through curses. Only this file sees curses.
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "panel/bedienung.h"
#include "panel/bildschirm.h"

// After the project's headers: curses defines OK and ERR as macros.
// clang-format off
#define NCURSES_NOMACROS 1
#include <curses.h>
#include <term.h>
// clang-format on

namespace taktler::panel {

namespace {

std::string Groessentext(int breite, int hoehe) {
    return std::to_string(breite) + "x" + std::to_string(hoehe);
}

// Without a UTF-8 locale the terminal gets ASCII; one '?' per character
// keeps the columns.
std::string NurAscii(const std::string& utf8) {
    std::string s;
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            s.push_back(c);
        } else if ((b & 0xC0) != 0x80) {
            s.push_back('?');
        }
    }
    return s;
}

attr_t Attribut(Stil stil) {
    switch (stil) {
        case Stil::Titel:
            return A_REVERSE;
        case Stil::Trenner:
        case Stil::Aktiv:
            return A_BOLD;
        case Stil::Hinweis:
            return A_REVERSE | A_BOLD;
        default:
            return A_NORMAL;
    }
}

class CursesBildschirm : public Bildschirm {
  public:
    CursesBildschirm(SCREEN* screen, bool utf8, std::string altesCtype)
        : screen_(screen), utf8_(utf8), altesCtype_(std::move(altesCtype)) {}

    void Zeige(const Bild& bild) override {
        werase(stdscr);
        for (std::size_t r = 0; r < bild.zeilen.size(); ++r) {
            const Bildzeile& z = bild.zeilen[r];
            wattrset(stdscr, Attribut(z.stil));
            // The bottom-right cell makes curses report an error it
            // survives; the text is drawn all the same.
            mvwaddstr(stdscr, static_cast<int>(r), 0,
                      utf8_ ? z.text.c_str() : NurAscii(z.text).c_str());
        }
        wattrset(stdscr, A_NORMAL);
        if (bild.cursorZeile >= 0) {
            curs_set(1);
            wmove(stdscr, bild.cursorZeile, bild.cursorSpalte);
        } else {
            curs_set(0);
        }
        wrefresh(stdscr);
    }

    int LiesTaste(int wartezeitMs) override {
        wtimeout(stdscr, wartezeitMs);
        int c = wgetch(stdscr);
        switch (c) {
            case ERR:
                return taste::kKeine;
            case KEY_UP:
                return taste::kHoch;
            case KEY_DOWN:
                return taste::kRunter;
            case KEY_PPAGE:
                return taste::kBildHoch;
            case KEY_NPAGE:
                return taste::kBildRunter;
            case KEY_BACKSPACE:
            case 127:
            case 8:
                return taste::kRueck;
            case KEY_ENTER:
            case '\r':
                return taste::kEnter;
            case KEY_RESIZE:
                return taste::kGroesse;
            case KEY_LEFT:
                return taste::kLinks;
            case KEY_RIGHT:
                return taste::kRechts;
            default:
                break;
        }
        for (int f : {5, 6, 9, 10}) {
            if (c == KEY_F(f)) {
                return taste::kF5 - 5 + f;
            }
        }
        return c >= KEY_MIN ? taste::kKeine : c;
    }

    int Breite() const override { return getmaxx(stdscr); }
    int Hoehe() const override { return getmaxy(stdscr); }

    void Schliessen() override {
        if (screen_ == nullptr) {
            return;
        }
        endwin();  // also shows the cursor again
        delscreen(screen_);
        screen_ = nullptr;
        std::setlocale(LC_CTYPE, altesCtype_.c_str());
    }

    ~CursesBildschirm() override { Schliessen(); }

  private:
    SCREEN* screen_;
    bool utf8_;
    std::string altesCtype_;
};

}  // namespace

std::string PruefeTerminal() {
    if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) {
        return "--panel braucht ein Terminal: Standardeingabe und Standardausgabe sind keines";
    }
    const char* typ = std::getenv("TERM");
    if (typ == nullptr || *typ == '\0') {
        return "--panel braucht ein Terminal: TERM ist nicht gesetzt";
    }
    int fehler = 0;
    if (setupterm(typ, STDOUT_FILENO, &fehler) != OK) {
        return std::string("--panel: der Terminaltyp TERM=") + typ + " ist unbekannt";
    }
    char* cup = tigetstr("cup");
    bool adressierbar = cup != nullptr && cup != reinterpret_cast<char*>(-1);
    int breite = 0;
    int hoehe = 0;
    winsize fenster{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &fenster) == 0) {
        breite = fenster.ws_col;
        hoehe = fenster.ws_row;
    }
    if (breite <= 0 || hoehe <= 0) {
        breite = tigetnum("cols");
        hoehe = tigetnum("lines");
    }
    del_curterm(cur_term);
    if (!adressierbar) {
        return std::string("--panel: der Terminaltyp TERM=") + typ +
               " kann den Cursor nicht setzen";
    }
    if (breite < kMindestBreite || hoehe < kMindestHoehe) {
        return "--panel braucht ein Terminal mit mindestens " +
               Groessentext(kMindestBreite, kMindestHoehe) + " Zeichen, dieses hat " +
               Groessentext(breite, hoehe);
    }
    return {};
}

std::unique_ptr<Bildschirm> OeffneTerminal(std::string& fehler) {
    std::string altesCtype = std::setlocale(LC_CTYPE, nullptr);
    // Only the character type: UTF-8 output for curses. The run itself uses
    // no locale-dependent functions, numbers keep the C format.
    std::setlocale(LC_CTYPE, "");
    bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    if (!utf8) {
        std::setlocale(LC_CTYPE, altesCtype.c_str());
    }
    set_escdelay(25);
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        std::setlocale(LC_CTYPE, altesCtype.c_str());
        fehler = "--panel: das Terminal laesst sich nicht einrichten";
        return nullptr;
    }
    set_term(screen);
    cbreak();  // Ctrl-C still reaches the program as the signal
    noecho();
    keypad(stdscr, TRUE);
    intrflush(stdscr, FALSE);
    curs_set(0);
    return std::make_unique<CursesBildschirm>(screen, utf8, std::move(altesCtype));
}

}  // namespace taktler::panel
