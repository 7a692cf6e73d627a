// SPDX-License-Identifier: GPL-3.0-or-later
// The line rules of a text record, kept once for LiesSatz and for the check
// of a command file: a record ends at CR, LF, Ctrl-Z or the end of the
// bytes; LF and NUL bytes after it are skipped; a Ctrl-Z or the end after
// that ends the data. A UTF-8 byte-order mark before the first record is
// no part of it.
#pragma once

#include <cstdint>
#include <cstdio>

namespace taktler::datei {

inline constexpr int kCR = 13;
inline constexpr int kLF = 10;
inline constexpr int kCtrlZ = 26;
inline constexpr int kBom[3] = {0xEF, 0xBB, 0xBF};
// The abort of a record longer than the reader's buffer.
inline constexpr const char* kZeileZuLang = "max. Zeilenlaenge zu gross";

constexpr bool BeendetSatz(int c) {
    return c == EOF || c == kCR || c == kLF || c == kCtrlZ;
}

// The line breaks an editor counts among the bytes that end a record and
// the gap after it: LF, and CR not followed by LF.
struct Umbrueche {
    std::int32_t anzahl = 0;
    bool nachCR = false;
    void Byte(int c) {
        anzahl += c == kCR || (c == kLF && !nachCR) ? 1 : 0;
        nachCR = c == kCR;
    }
};

// Past a record's end c: nimm() gives the next byte. Gives the first byte
// that is no LF or NUL; uebersprungen(b) sees every byte passed over, and
// umbrueche the line breaks of c and of those bytes.
template <typename Nimm, typename Jedes>
int UeberspringeZwischenraum(int c, Nimm&& nimm, Jedes&& uebersprungen, Umbrueche& umbrueche) {
    umbrueche.Byte(c);
    c = nimm();
    while (c == kLF || c == 0) {
        umbrueche.Byte(c);
        uebersprungen(c);
        c = nimm();
    }
    return c;
}

// Whether the byte after a record's gap ends the data.
constexpr bool BeendetDaten(int c) {
    return c == EOF || c == kCtrlZ;
}

}  // namespace taktler::datei
