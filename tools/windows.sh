#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program: installs what is missing, cross-builds it with
# MinGW-w64, runs it under Wine (the examples in virtual time against the
# Linux build's outputs, the port through a stand-in inpoutx64.dll) and
# writes taktler-VERSION-win64.zip and taktler-VERSION-win64-setup.exe.
# Usage: tools/windows.sh [BUILD_DIR]   (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
quellen=$PWD
bau=${1:-build-win}
mkdir -p "$bau"
bau=$(cd "$bau" && pwd)

pakete=(g++-mingw-w64-x86-64-posix wine64 nsis googletest cmake make g++ pkg-config
  libieee1284-3-dev libsdl2-dev libncurses-dev)
fehlend=()
for p in "${pakete[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || fehlend+=("$p")
done
if [ ${#fehlend[@]} -gt 0 ]; then
  als_root=()
  [ "$(id -u)" -eq 0 ] || als_root=(sudo)
  echo "Installiere: ${fehlend[*]}"
  "${als_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${als_root[@]}" apt-get install -y -qq --no-install-recommends \
    "${fehlend[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cmake -S . -B "$bau" -DCMAKE_TOOLCHAIN_FILE="$quellen/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTAKTLER_TESTS=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$wine"
cmake --build "$bau" -j"$jobs"
# The in-process tests that run on Windows (see README, Windows).
(cd "$bau" && ctest --output-on-failure)
(cd "$bau" && cpack -C Release)
version=$(sed -n 's/^project(taktler VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$bau/taktler-$version-win64.zip
setup=$bau/taktler-$version-win64-setup.exe
[ -s "$zip" ] && [ -s "$setup" ]

# The Linux program the Windows one must agree with: the suite's build when
# there is one, else the program alone.
linux=$quellen/build/taktler
if [ ! -x "$linux" ]; then
  cmake -S . -B "$bau/linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAKTLER_TESTS=OFF
  cmake --build "$bau/linux" -j"$jobs" --target taktler
  linux=$bau/linux/taktler
fi

lauf=$(mktemp -d)
trap 'rm -rf "$lauf"' EXIT
cmake -E make_directory "$lauf/zip"
(cd "$lauf/zip" && cmake -E tar xf "$zip")
exe=$lauf/zip/taktler.exe
for f in taktler.exe README.md COPYING examples/foerderband.txt; do
  [ -f "$lauf/zip/$f" ] || { echo "$zip: $f fehlt" >&2; exit 1; }
done
# Nothing else: no driver DLL, no second copy of the program.
inhalt=$(cd "$lauf/zip" && find . -type f | sort | tr '\n' ' ')
[ "$inhalt" = "./COPYING ./README.md $(cd examples && printf './examples/%s ' $(ls *.txt *.szenario | sort))./taktler.exe " ] ||
  { echo "$zip: unerwarteter Inhalt: $inhalt" >&2; exit 1; }

fehler=0
falsch() {
  echo "FEHLER: $*" >&2
  fehler=1
}

# Each example in virtual time, with port log and timing diagram, under both.
for k in "$lauf"/zip/examples/*.txt; do
  name=$(basename "$k" .txt)
  for seite in linux win; do
    d=$lauf/$seite/$name
    mkdir -p "$d"
    cp "$lauf/zip/examples/$name.txt" "$lauf/zip/examples/$name.szenario" "$d/"
    programm=("$linux")
    [ "$seite" = linux ] || programm=("$wine" "$exe")
    code=0
    (cd "$d" && SOURCE_DATE_EPOCH=1767225600 TZ=UTC0 timeout 60 "${programm[@]}" --zeit=virtuell \
      --sim="$name.szenario" --port-log=port.log --vcd=diagramm.vcd --spur=spur.txt \
      --abdeckung=abdeckung.info "$name.txt" protokoll.txt \
      </dev/null >ausgabe.txt 2>fehler.txt) || code=$?
    echo "$code" >"$d/code"
    tr -d '\r' <"$d/ausgabe.txt" >"$d/ausgabe.lf"
    tr -d '\r' <"$d/fehler.txt" >"$d/fehler.lf"
    # The coverage names the command file by its full path, native on each.
    grep -v '^SF:' "$d/abdeckung.info" >"$d/abdeckung.ohne-pfad" || true
  done
  gleich=1
  for f in code ausgabe.lf fehler.lf port.log protokoll.txt diagramm.vcd spur.txt \
    abdeckung.ohne-pfad; do
    l=$lauf/linux/$name/$f
    w=$lauf/win/$name/$f
    # A file that neither run wrote (no protocol line) is the same.
    if [ -e "$l" ] || [ -e "$w" ]; then
      cmp -s "$l" "$w" || { falsch "$name: $f anders als unter Linux"; gleich=0; }
    fi
  done
  [ "$gleich" -eq 0 ] ||
    echo "$name: Windows wie Linux (Ausgabe, Port-Protokoll, Protokolldatei, Zeitdiagramm, Spur, Abdeckung)"
done

# The port through the stand-in driver. Row: what it checks | environment |
# options | exit code | text on standard error | lines the driver log begins with.
dll=$lauf/dll
mkdir -p "$dll"
cp "$exe" "$dll/"
printf 'EINSCHALTEN MOTOR1 RECHTS\nAUSSCHALTEN MOTOR1\n' >"$dll/k.txt"
zeilen=(
  "ohne Treiber-DLL|ohne|--port=0x378|12|inpoutx64.dll nicht gefunden: den Porttreiber InpOut32/InpOutx64 installieren|"
  "Treiber nicht offen|TAKTLER_INPOUT_TREIBER=zu|--port=0x378|12|der Treiber laesst sich nicht oeffnen|TREIBER zu"
  "Lauf an 0x378|-|--port=0x378|0|Parallelport 0x378, Basisadresse 0x378, Zugriff ueber inpoutx64.dll, Echtzeitprioritaet: |TREIBER offen;W 37A 0C;R 37A 0C;W 378 F2"
  "kein Port an der Adresse|-|--port=0x278|12|an Adresse 0x278 antwortet kein Parallelport (Steuerregister liest 0xFF)|TREIBER offen;W 27A 0C;R 27A FF"
  "Port verschwindet|TAKTLER_INPOUT_WEG=30|--port=0x378|12|antwortet nicht mehr (Steuerregister liest 0xFF); alle Motoren aus gesendet|TREIBER offen;W 37A 0C"
  "kein LPT-Port registriert|-|--port=LPT1|12|Parallelport \"LPT1\": kein solcher Port|"
  "auto ohne LPT-Port|-|--port=auto|0|Kein Parallelport gefunden, simuliertes Interface wird benutzt|"
  "--ports ohne LPT-Port|-|--ports|0|kein LPT-Port von Windows registriert|"
  "--panel fehlt|-|--panel|12|das Panel gibt es in der Windows-Version nicht|"
)
for zeile in "${zeilen[@]}"; do
  IFS='|' read -r was umgebung optionen erwartet text anfang <<<"$zeile"
  rm -f "$dll/inpoutx64.dll" "$dll"/*.log
  [ "$umgebung" = ohne ] || cp "$bau/inpoutx64.dll" "$dll/"
  umg=()
  [ "$umgebung" = ohne ] || [ "$umgebung" = - ] || umg=("$umgebung")
  code=0
  (cd "$dll" && env TAKTLER_INPOUT_LOG=treiber.log "${umg[@]}" timeout 60 "$wine" taktler.exe \
    $optionen --port-log=port.log k.txt p.txt </dev/null >aus.txt 2>err.txt) || code=$?
  [ "$code" = "$erwartet" ] || falsch "$was: Exit-Code $code statt $erwartet"
  grep -qF -- "$text" "$dll/err.txt" || falsch "$was: \"$text\" fehlt in: $(cat "$dll/err.txt")"
  if [ -n "$anfang" ]; then
    tr ';' '\n' <<<"$anfang" >"$dll/anfang"
    head -n "$(wc -l <"$dll/anfang")" "$dll/treiber.log" | cmp -s - "$dll/anfang" ||
      falsch "$was: Treiber-Protokoll beginnt anders: $(head -5 "$dll/treiber.log" | tr '\n' ';')"
  fi
  # Every data byte the driver got is a W line of the port log, in order.
  if [ "$code" = 0 ] && [ -s "$dll/treiber.log" ] && [ -e "$dll/port.log" ]; then
    cmp -s <(grep '^W 378 ' "$dll/treiber.log") <(grep '^W 378 ' "$dll/port.log") ||
      falsch "$was: Rahmen am Treiber anders als im Port-Protokoll"
  fi
  echo "Port unter Windows: $was"
done

# The console under Wine, which gives one only to a program on a terminal (script): the
# question's tests, and Ctrl-C typed there or sent as SIGINT (Wine hands it on as the
# console's Ctrl-C), once the run has begun, ending it as on Linux.
timeout 120 script -qec "$wine $bau/taktler_tests.exe --gtest_filter=*Warnungsfrage* --gtest_color=no" \
  /dev/null < <(sleep 120) >"$lauf/frage.txt" || falsch "Konsolenfrage: $(tr -d '\r' <"$lauf/frage.txt" | tail -5)"
k=$lauf/strg
mkdir -p "$k"
printf 'EINSCHALTEN MOTOR1 RECHTS\nBIS SCHALTER3 = 1\nENDE_BIS\n' >"$k/k.txt"
strg="$wine $exe --zeit=virtuell --port=sim --port-log=port.log k.txt p.txt"
laeuft() { for _ in $(seq 600); do grep -q '^# Motoren L' "$k/port.log" 2>/dev/null && return; sleep 0.1; done; }
for weg in Konsole SIGINT; do
  rm -f "$k/port.log"
  code=0
  if [ "$weg" = Konsole ]; then
    (cd "$k" && (laeuft; printf '\003'; sleep 10) | timeout 90 script -qec "$strg 2>fehler.txt" /dev/null >/dev/null) || code=$?
  else
    (cd "$k" && { timeout 90 $strg </dev/null 2>fehler.txt >/dev/null & p=$!; laeuft; kill -INT $p; wait $p; }) || code=$?
  fi
  [ "$code" = 130 ] || falsch "Ctrl-C ($weg): Exit-Code $code statt 130"
  grep -q "TAKTLER unterbrochen (SIGINT): alle Motoren ausgeschaltet" "$k/fehler.txt" ||
    falsch "Ctrl-C ($weg): $(cat "$k/fehler.txt")"
  [ "$(tail -n 1 "$k/port.log")" = "# Motoren NNNN" ] || falsch "Ctrl-C ($weg): Port-Protokoll endet anders"
  echo "Ctrl-C unter Windows ($weg): Motoren aus, Exit-Code $code"
done

[ "$fehler" -eq 0 ] || exit 1
ls -l "$zip" "$setup"
