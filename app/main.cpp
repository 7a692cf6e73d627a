// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/hauptprogramm.h"
#include "services/fehler.h"
#include "services/umgebung.h"

int main(int argc, char** argv) {
    taktler::services::StandardkanaeleSichern();
    taktler::services::SpeicherwaechterEinrichten();
    taktler::services::StandardausgabeEinrichten();
    // Every end passes through here or an earlier ProgrammBeenden, which
    // checks that standard output and every output file were written.
    taktler::services::ProgrammBeenden(taktler::app::Hauptprogramm(argc, argv));
}
