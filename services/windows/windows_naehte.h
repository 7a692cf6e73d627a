// SPDX-License-Identifier: GPL-3.0-or-later
// What the Windows files of the platform floor share, and what tests reach
// in-process: the console control handler, the multimedia call the sound
// device makes.
#pragma once

#include <windows.h>

namespace taktler::services::windows {

// Whether the descriptor is a pipe (anonymous or named).
bool IstRohr(int fd);
// Whether the console question holds typed bytes not yet taken (the
// console hands a line out whole).
bool TerminalGepuffert();
// Whether keys typed reach the console's input: not under Wine with
// standard input redirected (Wine feeds its console from the Unix one).
bool TastenKommenAn();

// The console control handler: Ctrl-C, Ctrl-Break, closing the console
// window (and logging off, shutting down) as the system delivers them.
BOOL WINAPI Steuerereignis(DWORD ereignis);

// PlaySoundA as the sound device calls it; tests put their own in.
using PlaySoundAufruf = BOOL(WINAPI*)(LPCSTR datei, HMODULE modul, DWORD art);
PlaySoundAufruf& PlaySoundNaht();

}  // namespace taktler::services::windows
