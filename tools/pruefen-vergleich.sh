#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Compares --pruefen with real runs on random command files: every seed
# from FROM to TO (default 1 to 10000) gives a command file and a scenario;
# each file is checked, then run in-process on the simulated interface in
# virtual time. Prints the counts (files, endings by kind, findings by kind)
# and every disagreement with its files. The files of disagreements and of
# files too branchy to check are kept in
# build/pruefvergleich/ (kSEED.txt, sSEED.txt, "@DIR@" for the directory
# the run used) to become fixed cases.
#
#   tools/pruefen-vergleich.sh [TO] [FROM]
set -euo pipefail
cd "$(dirname "$0")/.."

bis=${1:-10000}
von=${2:-1}

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target taktler_tests >/dev/null

ablage=build/pruefvergleich
rm -rf "$ablage"
mkdir -p "$ablage"
code=0
TAKTLER_VERGLEICH="$von-$bis" TAKTLER_VERGLEICH_ABLAGE="$ablage" \
  build/taktler_tests --gtest_filter='PruefVergleich.*' --gtest_brief=1 |
  sed -e 's/^PRUEFVERGLEICH //' -e '/^Running main\|^Note: Google Test filter/d' || code=$?
exit "$code"
