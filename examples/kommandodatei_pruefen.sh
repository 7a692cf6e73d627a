#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that a command file still behaves as it did: runs it on the
# simulated interface in virtual time, with a fixed start and time zone, and
# compares standard output, standard error, the exit code, the protocol file
# and the timing diagram with the copy stored in ERWARTET.
#
#   examples/kommandodatei_pruefen.sh [--abdeckung DIR] KOMMANDODATEI SZENARIO ERWARTET [--neu]
#
# --abdeckung DIR also writes the run's lcov tracefile into DIR, as
# KOMMANDODATEI-SZENARIO.info (for lcov -a and genhtml; not compared).
# Exit code 0: the same outputs; 1: the behaviour changed (the differences
# are shown); 2: wrong use. --neu stores this run's outputs as the copy.
# TAKTLER names the program (default: build/taktler); standard input of the
# run (for PAUSE) is this script's standard input. A run that waits for an
# input its scenario never gives would go on for ever: it is killed after
# FRIST seconds (default 60) and counts as changed behaviour.
set -eu

abdeckung=
if [ $# -ge 2 ] && [ "$1" = "--abdeckung" ]; then
  abdeckung=$2
  shift 2
fi
if [ $# -lt 3 ] || [ $# -gt 4 ] || { [ $# -eq 4 ] && [ "$4" != "--neu" ]; }; then
  echo "Aufruf: $0 [--abdeckung DIR] KOMMANDODATEI SZENARIO ERWARTET [--neu]" >&2
  exit 2
fi
kommandodatei=$1
szenario=$2
erwartet=$3
taktler=${TAKTLER:-build/taktler}
frist=${FRIST:-60}

lauf=$(mktemp -d)
trap 'rm -rf "$lauf"' EXIT

tracefile=
if [ -n "$abdeckung" ]; then
  mkdir -p "$abdeckung"
  tracefile=--abdeckung=$abdeckung/$(basename "$kommandodatei" .txt)-$(basename "$szenario" .szenario).info
fi

code=0
SOURCE_DATE_EPOCH=1767225600 TZ=UTC0 timeout -s KILL "$frist" "$taktler" --zeit=virtuell ${tracefile:+"$tracefile"} \
  --sim="$szenario" --vcd="$lauf/zeitdiagramm.vcd" "$kommandodatei" "$lauf/protokoll.txt" \
  >"$lauf/ausgabe.txt" 2>"$lauf/fehler.txt" || code=$?
echo "$code" >"$lauf/exitcode.txt"
if [ "$code" -eq 137 ]; then
  echo "$kommandodatei: nach $frist s abgebrochen" >&2
fi

if [ $# -eq 4 ]; then
  mkdir -p "$erwartet"
  rm -f "$erwartet"/*
  cp "$lauf"/* "$erwartet"/
  echo "gespeichert in $erwartet"
  exit 0
fi

if [ ! -d "$erwartet" ]; then
  echo "$erwartet fehlt: zuerst mit --neu anlegen" >&2
  exit 2
fi
if diff -r -u "$erwartet" "$lauf"; then
  echo "unveraendert: $kommandodatei"
else
  echo "GEAENDERT: $kommandodatei verhaelt sich anders als in $erwartet" >&2
  exit 1
fi
