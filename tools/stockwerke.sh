#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file includes from its own floor's neighbour or from a
# floor above: services <- datei, interface <- interpreter <- pruefen <- panel <- app;
# or when a file above services/ includes a header that only one platform has.
# Then shows on a copy of the floors that each rule fails on an offending include.
# Usage: tools/stockwerke.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A stock=([services]=0 [datei]=1 [interface]=1 [interpreter]=2 [pruefen]=3 [panel]=4 [app]=5)

# Above services/ only a platform's own files include its headers: those
# named _posix or _windows, and these, which the build takes only on POSIX
# (libieee1284, the terminal of the panel).
nur_posix=(interface/parallelport.cpp interface/parallelport.h panel/terminal.cpp)
system='[<"]((sys|netinet|arpa|linux)/|(unistd|fcntl|poll|termios|pty|dlfcn|pthread|sched|langinfo|dirent|pwd|grp|syslog|semaphore|spawn|libgen|netdb|ieee1284|n?curses|term|windows|winsock2|ws2tcpip|io|conio|direct|process|mmsystem|setupapi|cfgmgr32|devguid|shlobj|shellapi|tchar|win[a-z0-9]*|[a-z]*api)[.]h[>"])'
# Nor may other files include those headers, which would bring theirs along.
eigene="\"([a-z]+/[a-z_]+_(posix|windows)|$(printf '%s\n' "${nur_posix[@]}" | sed -n 's/\.h$//p' | paste -sd'|'))[.]h\""

pruefe() {
  local fehler=0 ordner datei dateien=()
  for ordner in "${!stock[@]}"; do
    for datei in "$ordner"/*.h "$ordner"/*.cpp; do
      [ -e "$datei" ] && dateien+=("$datei")
    done
  done
  awk -v stockwerke="$(for o in "${!stock[@]}"; do echo "$o ${stock[$o]}"; done)" \
    -v ausnahmen="${nur_posix[*]}" -v kopf="$system" -v eigene="$eigene" '
    BEGIN {
      n = split(stockwerke, z, "\n")
      for (i = 1; i <= n; i++) { split(z[i], t, " "); s[t[1]] = t[2] }
      n = split(ausnahmen, z, " ")
      for (i = 1; i <= n; i++) frei[z[i]] = 1
    }
    FNR == 1 {
      split(FILENAME, f, "/"); ordner = f[1]
      eine = ordner != "services" && !(FILENAME in frei) && FILENAME !~ /_(posix|windows)\./
    }
    !/^[ \t]*#[ \t]*include/ { next }
    match($0, /^#include "[a-z]*\//) {
      ziel = substr($0, 11, RLENGTH - 11)
      if (ziel != ordner && (ziel in s) && s[ziel] >= s[ordner]) {
        printf "%s: schliesst %s/ ein (Stockwerk %d >= %d)\n", FILENAME, ziel, s[ziel], s[ordner]
        schlecht = 1
      }
    }
    eine && ($0 ~ kopf || $0 ~ eigene) {
      printf "%s:%d: Header nur einer Plattform oberhalb von services/: %s\n", FILENAME, FNR, $0
      schlecht = 1
    }
    END { exit schlecht }' "${dateien[@]}" || fehler=1
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
  return "$fehler"
}

fehler=0
pruefe || fehler=1
[ "$fehler" -eq 0 ] && echo "Stockwerke: keine Einbindung nach oben, keine Plattform-Header oberhalb von services/"

# Each row: a file of the floors and a line that must make the check fail.
kopie=$(mktemp -d)
trap 'rm -rf "$kopie"' EXIT
zeilen=(
  'services/strtools.cpp|#include "datei/datei.h"'
  'interface/port.cpp|#include "datei/datei.h"'
  'app/main.cpp|#include <unistd.h>'
  'datei/datei.cpp|#  include "windows.h"'
  'interpreter/taktler.cpp|#include <sys/stat.h>'
  'panel/ablage.cpp|#include <termios.h>'
  'app/optionen.cpp|#include "interface/parallelport.h"'
  'pruefen/pruefen.cpp|#include "services/plattform_posix.h"'
  'panel/panel.cpp|#include "interpreter/zustand.h"'
  'pruefen/zeilen.cpp|#include "interpreter/laufstand.h"'
)
for zeile in "${zeilen[@]}"; do
  datei=${zeile%%|*}
  rm -rf "${kopie:?}"/*
  cp -r "${!stock[@]}" "$kopie/"
  printf '%s\n' "${zeile#*|}" >>"$kopie/$datei"
  if (cd "$kopie" && pruefe >/dev/null); then
    echo "Selbsttest: $datei mit \"${zeile#*|}\" faellt nicht auf"
    fehler=1
  fi
done
[ "$fehler" -ne 0 ] || echo "Stockwerke: Selbsttest, ${#zeilen[@]} Verstoesse erkannt"
exit "$fehler"
