#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the program under valgrind on the examples and on command files that
# end in every kind of abort, then the in-process test suite. Fails on any
# memory error and on memory lost for good (definitely or indirectly lost);
# what globals still point to at exit is only listed.
#
#   tools/valgrind.sh [--ohne-tests]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 >/dev/null

arbeit=$(mktemp -d "${TMPDIR:-/tmp}/taktler-valgrind.XXXXXX")
trap 'rm -rf "$arbeit"' EXIT
quellen=$(pwd)
vg=(valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99
    --suppressions="$(pwd)/tools/valgrind.supp")

gescheitert=0
# fall NAME ERWARTETER_CODE KOMMANDOS [SZENARIO] [STDIN]
fall() {
  local name=$1 erwartet=$2 kommandos=$3 szenario=${4:-} eingabe=${5:-}
  local dir="$arbeit/$name"
  mkdir -p "$dir"
  printf '%b' "$kommandos" >"$dir/k.txt"
  local sim=(--port=sim)
  if [ -n "$szenario" ]; then
    printf '%b' "$szenario" >"$dir/s.txt"
    sim=("--sim=$dir/s.txt")
  fi
  local code=0
  (cd "$dir" && printf '%b' "$eingabe" | timeout 300 setsid -w "${vg[@]}" \
    "$quellen/build/taktler" "${sim[@]}" --port-log=port.log k.txt p.txt \
    >out.txt 2>err.txt) || code=$?
  if [ "$code" -ne "$erwartet" ] || grep -q '^==[0-9]*==' "$dir/err.txt"; then
    echo "FEHLER $name: Code $code (erwartet $erwartet)"
    cat "$dir/err.txt"
    gescheitert=1
  else
    echo "ok $name"
  fi
}

for name in ampel foerderband; do
  fall "$name" 0 "$(cat "examples/$name.txt")" "$(cat "examples/$name.szenario")"
done
fall unbekannt 12 'EINSCHALTEN MOTOR1 LINKS\nBIS ZEIT 10\nELSE\nENDE\nKAPUTT\n'
fall notaus 12 'EINSCHALTEN MOTOR2\nNOTHALT SCHALTER3\nMELDUNG A\n' 'abfrage 2 schalter 3 an\n'
fall zu_lang 12 "MELDUNG A\n$(printf 'B%.0s' $(seq 1 520))\n"
fall motor 12 'EINSCHALTEN MOTOR9\n'
fall ende 12 'ENDE\n'
fall unterprogramm 12 'RUFE FEHLT\n'
fall schalter 12 'BIS SCHALTER9 = 1\nENDE_BIS\n'
fall tief 12 "$(printf 'BIS ZEIT 100000\\n%.0s' $(seq 1 80))"
fall info_leer 12 'INFO\n'
fall info 0 "INFO $quellen/examples/ampel.txt\nPAUSE X\nSOUND C:\\\\GIBTS\\\\NICHT.WAV\n" '' 'weiter\n'
fall analog 0 'BIS ANALOG1 > 50\nENDE_BIS\nBIS ANALOG1 = MAX\nENDE_BIS\n' \
  'start analog 1 40\nstart analog 2 30\nmessung 40 analog 1 90\n'
fall szenario 12 'MELDUNG A\n' 'abfrage x schalter 1 an\n'
code=0
"${vg[@]}" build/taktler --port=sim nur-eine-datei >/dev/null 2>"$arbeit/argumente.txt" || code=$?
if [ "$code" -ne 12 ] || grep -q '^==[0-9]*==' "$arbeit/argumente.txt"; then
  echo "FEHLER argumente: Code $code"
  cat "$arbeit/argumente.txt"
  gescheitert=1
else
  echo "ok argumente"
fi

if [ "${1:-}" != "--ohne-tests" ]; then
  ganz='ProgrammTest.*:*ProgrammAbbruchTest.*'
  # The suite's whole-program runs, each under valgrind (an error gives 99
  # and valgrind's lines on stderr, so the test fails) ...
  if TAKTLER_TEST_VOR="${vg[*]}" timeout 3000 build/taktler_tests --gtest_brief=1 \
      --gtest_filter="$ganz" >"$arbeit/programm.txt" 2>&1; then
    echo "ok taktler_tests $ganz (Programm unter valgrind)"
  else
    echo "FEHLER taktler_tests $ganz"
    tail -n 80 "$arbeit/programm.txt"
    gescheitert=1
  fi
  # ... and the in-process tests with the test program itself under valgrind.
  if timeout 3000 "${vg[@]}" build/taktler_tests --gtest_brief=1 --gtest_filter="-$ganz" \
      >"$arbeit/tests.txt" 2>&1; then
    echo "ok taktler_tests (unter valgrind)"
  else
    echo "FEHLER taktler_tests"
    tail -n 80 "$arbeit/tests.txt"
    gescheitert=1
  fi
fi
exit "$gescheitert"
