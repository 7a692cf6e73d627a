// SPDX-License-Identifier: GPL-3.0-or-later
// The one reset for tests, fuzz targets and benchmarks that run many
// programs in one process: every module's own reset, top floor first.
#pragma once

#include "datei/datei.h"
#include "interpreter/aufzeichnung.h"
#include "interpreter/zeilenindex.h"
#include "interpreter/zustand.h"
#include "services/abschluss.h"
#include "services/fehler.h"
#include "services/strtools.h"
#include "services/trace.h"
#include "services/unterbrechung.h"

namespace taktler {

inline void ZustandZuruecksetzen() {
    interpreter::AufzeichnungZuruecksetzen();
    interpreter::ZustandZuruecksetzen();
    interpreter::ZeilenindexZuruecksetzen();
    datei::ModulZuruecksetzen();
    services::StrtoolsZuruecksetzen();
    services::TraceZuruecksetzen();
    services::UnterbrechungZuruecksetzen();
    services::AbschlussZuruecksetzen();
    services::LaufortZuruecksetzen();
}

}  // namespace taktler
