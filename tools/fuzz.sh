#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (build-fuzz/, clang with ASan + UBSan) and
# runs each for SECONDS on a scratch copy of its seed corpus, so the
# committed corpus never grows. Exits non-zero on any finding; the input
# that caused it is left in build-fuzz/befunde/.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]     default: 10 seconds, all targets
#   FUZZ_JOBS=2 tools/fuzz.sh 600           two targets at a time (at most 2)
set -euo pipefail
cd "$(dirname "$0")/.."

sekunden=${1:-10}
shift || true
jobs=${FUZZ_JOBS:-1}
if [ "$jobs" -gt 2 ]; then
  jobs=2
fi

tools/install-deps.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DTAKTLER_FUZZ=ON -DTAKTLER_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS=-fno-sanitize-recover=all" >/dev/null

ziele=("$@")
if [ ${#ziele[@]} -eq 0 ]; then
  for quelle in fuzz/*.cpp; do
    ziele+=("$(basename "$quelle" .cpp)")
  done
fi
cmake --build build-fuzz -j2 --target "${ziele[@]}" >/dev/null

befunde=build-fuzz/befunde
mkdir -p "$befunde"
arbeit=$(mktemp -d "${TMPDIR:-/tmp}/taktler-fuzz.XXXXXX")
trap 'rm -rf "$arbeit"' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

lauf() {
  local ziel=$1
  local korpus="$arbeit/$ziel/korpus"
  mkdir -p "$korpus" "$arbeit/$ziel/tmp"
  if [ -d "fuzz/korpus/$ziel" ]; then
    cp fuzz/korpus/"$ziel"/* "$korpus"/
  fi
  local woerter=()
  if [ -f "fuzz/$ziel.dict" ]; then
    woerter=(-dict="fuzz/$ziel.dict")
  fi
  local code=0
  # No stdin: a command file may name /dev/stdin, which must not wait here.
  TMPDIR="$arbeit/$ziel/tmp" nice build-fuzz/"$ziel" "$korpus" \
    -max_total_time="$sekunden" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$befunde/$ziel-" "${woerter[@]}" \
    </dev/null >"$arbeit/$ziel.log" 2>&1 || code=$?
  local laeufe
  laeufe=$(sed -n 's/^stat::number_of_executed_units: *//p' "$arbeit/$ziel.log")
  if [ "$code" -ne 0 ]; then
    echo "FEHLER $ziel: Befund nach ${laeufe:-?} Ausfuehrungen (Code $code)"
    tail -n 60 "$arbeit/$ziel.log"
    return 1
  fi
  echo "ok $ziel: ${laeufe:-?} Ausfuehrungen in ${sekunden}s"
}

gescheitert=0
bestanden=0
laufend=()
warte() {
  if wait "$1"; then
    bestanden=$((bestanden + 1))
  else
    gescheitert=$((gescheitert + 1))
  fi
}
for ziel in "${ziele[@]}"; do
  if [ ! -x "build-fuzz/$ziel" ]; then
    echo "FEHLER: unbekanntes Fuzz-Ziel $ziel"
    gescheitert=$((gescheitert + 1))
    continue
  fi
  lauf "$ziel" &
  laufend+=($!)
  if [ ${#laufend[@]} -ge "$jobs" ]; then
    warte "${laufend[0]}"
    laufend=("${laufend[@]:1}")
  fi
done
for pid in "${laufend[@]}"; do
  warte "$pid"
done
echo "fuzz: $bestanden passed, $gescheitert failed"
[ "$gescheitert" -eq 0 ]
