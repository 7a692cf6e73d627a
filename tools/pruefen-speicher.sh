#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The memory --pruefen needs for a large command file: writes a command file
# of about MB megabytes (default 200) and measures the peak resident memory
# of checking it. The file is a real program: a thousand cycles of loops,
# conditional blocks and calls, long runs of plain commands between them,
# and many subroutine definitions after the main program. The check keeps
# the structure it walks (the block, call and jump lines it reaches and one
# entry per run of plain lines), not the file. Fails above LIMIT_MB
# (default 50).
#
#   tools/pruefen-speicher.sh [MB] [LIMIT_MB]
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${1:-200}
grenze=${2:-50}

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target taktler >/dev/null

arbeit=$(mktemp -d "${TMPDIR:-/tmp}/taktler-speicher.XXXXXX")
trap 'rm -rf "$arbeit"' EXIT
datei="$arbeit/gross.txt"

awk -v ziel=$((megabytes * 1024 * 1024)) '
function zeile(text) { print text; n += length(text) + 1 }
BEGIN {
  zyklen = 1000
  zeile("; Grosse Kommandodatei: " zyklen " Takte")
  zeile("NOTHALT SCHALTER8")
  # About a tenth of the file are definitions, the rest the main program.
  je = int(ziel * 0.9 / zyklen)
  for (z = 1; z <= zyklen; z++) {
    zeile("MELDUNG TAKT_" z)
    zeile("EINSCHALTEN MOTOR1 RECHTS")
    zeile("BIS ZEIT = 500")
    zeile("ENDE_BIS")
    zeile("RUFE BLINKEN")
    zeile("BIS SCHALTER2 = 1")
    zeile("   MELDUNG WARTEN")
    zeile("ELSE")
    zeile("   MELDUNG WEITER")
    zeile("ENDE")
    start = n
    i = 0
    while (n - start < je) {
      i++
      zeile("EINSCHALTEN MOTOR" (i % 4 + 1) " LINKS")
      zeile("MELDUNG SCHRITT_" z "_" i)
      zeile("; Schritt " i " des Takts " z)
      zeile("AUSSCHALTEN MOTOR" (i % 4 + 1))
    }
  }
  zeile("EXIT")
  zeile("UNTERPROGRAMM BLINKEN")
  zeile("EINSCHALTEN MOTOR4 LINKS")
  zeile("BIS ZEIT = 300")
  zeile("ENDE_BIS")
  zeile("AUSSCHALTEN MOTOR4")
  zeile("ENDE_UNTERPROGRAMM")
  for (u = 1; n < ziel; u++) {
    zeile("UNTERPROGRAMM HILFE_" u)
    zeile("MELDUNG HILFE_" u)
    zeile("EINSCHALTEN MOTOR2 RECHTS")
    zeile("BIS ZEIT = 100")
    zeile("ENDE_BIS")
    zeile("AUSSCHALTEN MOTOR2")
    zeile("ENDE_UNTERPROGRAMM")
  }
}' >"$datei"

groesse=$(($(stat -c %s "$datei") / 1024 / 1024))
code=0
/usr/bin/time -f "%M %e" -o "$arbeit/zeit" build/taktler --pruefen "$datei" >"$arbeit/aus" || code=$?
read -r spitze sekunden <"$arbeit/zeit"
spitze=$((spitze / 1024))
echo "command file: $groesse MB, $(wc -l <"$datei") lines"
echo "check: exit code $code, $(tail -n 1 "$arbeit/aus" | sed 's/^.*: //')"
echo "peak resident memory: $spitze MB (limit $grenze MB), $sekunden s"
if [ "$code" -ne 0 ]; then
  head -n 20 "$arbeit/aus"
  exit 1
fi
if [ "$spitze" -ge "$grenze" ]; then
  exit 1
fi
