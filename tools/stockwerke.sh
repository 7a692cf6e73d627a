#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file includes from its own floor's neighbour or from a
# floor above: services <- datei, interface <- interpreter <- pruefen <- panel <- app.
# Usage: tools/stockwerke.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A stock=([services]=0 [datei]=1 [interface]=1 [interpreter]=2 [pruefen]=3 [panel]=4 [app]=5)

fehler=0
for ordner in "${!stock[@]}"; do
  for datei in "$ordner"/*.h "$ordner"/*.cpp; do
    [ -e "$datei" ] || continue
    while IFS= read -r ziel; do
      [ "$ziel" = "$ordner" ] && continue
      [ -n "${stock[$ziel]+x}" ] || continue
      if [ "${stock[$ziel]}" -ge "${stock[$ordner]}" ]; then
        echo "$datei: schliesst $ziel/ ein (Stockwerk ${stock[$ziel]} >= ${stock[$ordner]})"
        fehler=1
      fi
    done < <(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$datei")
  done
done
# The panel sees the interpreter only through its public view and entry.
if grep -n '#include "interpreter/zustand.h"' panel/*.cpp panel/*.h 2>/dev/null; then
  echo "panel/ liest den Zustand des Interpreters"
  fehler=1
fi
# The check reads the language's rules, never the run's state.
if grep -n '#include "interpreter/\(zustand\|zeilenindex\|laufstand\|taktler\)\.h"' pruefen/*.cpp pruefen/*.h 2>/dev/null; then
  echo "pruefen/ liest den Zustand des Laufs"
  fehler=1
fi
[ "$fehler" -eq 0 ] && echo "Stockwerke: keine Einbindung nach oben"
exit "$fehler"
