#!/bin/sh
# Checks that a command file still behaves as it did: runs it on the
# simulated interface in virtual time, with a fixed start and time zone, and
# compares standard output, standard error, the exit code, the protocol file
# and the timing diagram with the copy stored in ERWARTET.
#
#   kommandodatei_pruefen.sh [--abdeckung DIR] KOMMANDODATEI SZENARIO ERWARTET [--neu]
#
# --abdeckung DIR also writes the run's lcov tracefile into DIR, as
# KOMMANDODATEI-SZENARIO.info (for lcov -a and genhtml; not compared).
# Exit code 0: the same outputs; 1: the behaviour changed (the differences
# are shown); 2: wrong use; 3: the run did not start or was killed (with
# --neu nothing is stored then). --neu stores this run's outputs as the copy.
# ERWARTET holds only the five files this script writes there
# (ausgabe.txt, fehler.txt, exitcode.txt, protokoll.txt, zeitdiagramm.vcd);
# the script writes and removes nothing else, and refuses a directory that
# holds other files.
# TAKTLER names the program (default: build/taktler if it is there, else
# taktler on the PATH); standard input of the run (for PAUSE) is this
# script's standard input. A WARNUNG is answered with ANTWORT (default
# abbrechen, said on standard error), so the run never waits for a
# terminal. A run that waits for an input its scenario never gives would go
# on for ever: it is killed after FRIST seconds (default 60) and counts as
# changed behaviour.
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
frist=${FRIST:-60}
antwort=${ANTWORT:-abbrechen}
dateien="ausgabe.txt fehler.txt exitcode.txt protokoll.txt zeitdiagramm.vcd"

if [ -n "${TAKTLER:-}" ]; then
  taktler=$TAKTLER
elif [ -x build/taktler ]; then
  taktler=build/taktler
else
  taktler=taktler
fi
if ! command -v "$taktler" >/dev/null 2>&1; then
  echo "$0: Programm $taktler nicht gefunden (TAKTLER=... nennt es)" >&2
  exit 3
fi
case $antwort in
  ok | abbrechen) ;;
  *)
    echo "$0: ANTWORT=$antwort: ok oder abbrechen" >&2
    exit 2
    ;;
esac

# A reference directory with files of its own is not this script's to
# overwrite: KOMMANDODATEI or SZENARIO may lie there.
if [ -d "$erwartet" ]; then
  for f in "$erwartet"/* "$erwartet"/.[!.]*; do
    [ -e "$f" ] || continue
    case " $dateien " in
      *" ${f##*/} "*) ;;
      *)
        echo "$0: $erwartet enthaelt $f, keine Ausgabe dieses Skripts: nichts geschrieben" >&2
        exit 2
        ;;
    esac
  done
fi

lauf=$(mktemp -d)
trap 'rm -rf "$lauf"' EXIT

tracefile=
if [ -n "$abdeckung" ]; then
  mkdir -p "$abdeckung"
  tracefile=--abdeckung=$abdeckung/$(basename "$kommandodatei" .txt)-$(basename "$szenario" .szenario).info
fi

echo "$0: WARNUNG wird mit --antwort=$antwort beantwortet (ANTWORT=ok oder abbrechen)" >&2
code=0
SOURCE_DATE_EPOCH=1767225600 TZ=UTC0 timeout -s KILL "$frist" "$taktler" --zeit=virtuell \
  ${tracefile:+"$tracefile"} --antwort="$antwort" --sim="$szenario" --vcd="$lauf/zeitdiagramm.vcd" "$kommandodatei" \
  "$lauf/protokoll.txt" >"$lauf/ausgabe.txt" 2>"$lauf/fehler.txt" || code=$?
echo "$code" >"$lauf/exitcode.txt"
gescheitert=""
if [ "$code" -eq 137 ]; then
  gescheitert="nach $frist s abgebrochen"
elif [ "$code" -eq 126 ] || [ "$code" -eq 127 ]; then
  gescheitert="nicht gestartet (Exit-Code $code)"
elif [ "$code" -gt 128 ]; then
  gescheitert="durch ein Signal beendet (Exit-Code $code)"
fi
if [ -n "$gescheitert" ]; then
  echo "$kommandodatei: Lauf $gescheitert" >&2
  cat "$lauf/fehler.txt" >&2
fi

if [ $# -eq 4 ]; then
  if [ -n "$gescheitert" ]; then
    echo "nicht gespeichert: der Lauf taugt nicht als Vorlage" >&2
    exit 3
  fi
  mkdir -p "$erwartet"
  for f in $dateien; do
    # A run that writes no protocol leaves none in the copy either.
    if [ -e "$lauf/$f" ]; then
      cp "$lauf/$f" "$erwartet/$f"
    else
      rm -f "$erwartet/$f"
    fi
  done
  echo "gespeichert in $erwartet"
  exit 0
fi

if [ ! -d "$erwartet" ]; then
  echo "$erwartet fehlt: zuerst mit --neu anlegen" >&2
  exit 2
fi
case $code in 126 | 127) exit 3 ;; esac
geaendert=0
for f in $dateien; do
  if [ -e "$erwartet/$f" ] || [ -e "$lauf/$f" ]; then
    diff -u "$erwartet/$f" "$lauf/$f" || geaendert=1
  fi
done
if [ "$geaendert" -eq 0 ]; then
  echo "unveraendert: $kommandodatei"
else
  echo "GEAENDERT: $kommandodatei verhaelt sich anders als in $erwartet" >&2
  exit 1
fi
