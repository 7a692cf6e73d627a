#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program: installs what is missing, cross-builds it with
# MinGW-w64, runs it under Wine (the examples in virtual time against the
# Linux build's outputs, the port through a stand-in inpoutx64.dll),
# writes taktler-VERSION-win64.zip and taktler-VERSION-win64-setup.exe and
# installs and uninstalls the latter in a Wine prefix of its own.
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
(cd "$bau" && ctest --output-on-failure -j"$jobs")
# The commit time as the stripped programs' time stamp: the zip's and the
# installer's taktler.exe are the same bytes, build after build.
stempel=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
(cd "$bau" && SOURCE_DATE_EPOCH=$stempel cpack -C Release)
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
# The installer's test prefix: its server ends before the folder goes.
praefix=$lauf/wineprefix
wineserver=$(dirname "$wine")/wineserver
trap '[ ! -d "$praefix" ] || WINEPREFIX=$praefix timeout 30 "$wineserver" -k 2>/dev/null || true
  rm -rf "$lauf"' EXIT
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

# The installer in a Wine prefix of its own: silent install into a chosen
# folder, the installed files and program, silent uninstall that leaves
# nothing of ours behind.
pe_maschine() { # the machine field of a PE file's header: 6486 is x86-64
  local kopf
  kopf=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx1 -j$((kopf + 4)) -N2 "$1" | tr -d ' \n'
}
fehler_davor=$fehler
fehler=0
[ "$(pe_maschine "$setup")" = 6486 ] || falsch "$setup: kein 64-Bit-Installer"
# Its own home too, and no menu entries: nothing reaches the user's desktop.
inst() {
  HOME=$praefix/heim WINEPREFIX=$praefix WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" \
    timeout 120 "$@"
}
reg_wert() { # key value: the value's data, empty without it
  inst "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
laufwerk=$praefix/drive_c
mkdir -p "$praefix/heim"
inst "$wine" wineboot -i >/dev/null 2>&1
inst "$wineserver" -w
mkdir "$laufwerk/Kurs" # the school's folder, which stays
(cd "$laufwerk" && find . | LC_ALL=C sort) >"$lauf/vorher"
inst "$wine" "$setup" /S '/D=C:\Kurs\TAKTLER' || falsch "Installer: Exit-Code $?"
ziel=$laufwerk/Kurs/TAKTLER
# The zip's files, the program in bin\ (the folder of the PATH option), and
# the uninstaller: no driver DLL.
erwartet=$( (cd "$lauf/zip" && find . -type f && echo ./Uninstall.exe) |
  sed 's|^\./taktler\.exe$|./bin/taktler.exe|' | LC_ALL=C sort)
[ "$(cd "$ziel" 2>/dev/null && find . -type f | LC_ALL=C sort)" = "$erwartet" ] ||
  falsch "Installer: unerwarteter Inhalt: $(cd "$ziel" 2>/dev/null && find . -type f | tr '\n' ' ')"
for f in $(cd "$lauf/zip" && find . -type f); do
  cmp -s "$lauf/zip/$f" "$ziel/${f/#.\/taktler.exe/bin/taktler.exe}" || falsch "Installer: $f anders als im Zip"
done
[ -f "$ziel/Uninstall.exe" ] && [ "$(pe_maschine "$ziel/Uninstall.exe")" = 6486 ] ||
  falsch "Installer: kein 64-Bit-Deinstallationsprogramm"
# Registered for "Apps & Features" in the 64-bit view of the registry.
schluessel='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TAKTLER'
[ "$(reg_wert "$schluessel" UninstallString)" = '"C:\Kurs\TAKTLER\Uninstall.exe"' ] ||
  falsch "Installer: UninstallString ist \"$(reg_wert "$schluessel" UninstallString)\""
menue=$laufwerk/ProgramData/Microsoft/Windows/Start\ Menu/Programs/TAKTLER
[ -f "$menue/README.lnk" ] && [ -f "$menue/Uninstall.lnk" ] || falsch "Installer: Startmenue fehlt"
# The PATH page of CPack's script adds INSTDIR\bin; a silent install keeps
# its default: PATH unchanged.
grep -qF 'Push $INSTDIR\bin' "$bau"/_CPack_Packages/*/NSIS/project.nsi ||
  falsch "Installer: die PATH-Seite nimmt nicht den Ordner bin"
for p in "$(reg_wert 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH)" \
  "$(reg_wert 'HKCU\Environment' PATH)"; do
  case $p in *TAKTLER*) falsch "Installer: PATH geaendert: $p" ;; esac
done
# The installed program on an installed example, as the zip's program.
for seite in installiert zip; do
  d=$lauf/setup/$seite
  mkdir -p "$d"
  taktler_exe='C:\Kurs\TAKTLER\bin\taktler.exe'
  [ "$seite" = installiert ] || taktler_exe=$exe
  code=0
  (cd "$d" && SOURCE_DATE_EPOCH=1767225600 TZ=UTC0 inst "$wine" "$taktler_exe" --port=sim --zeit=virtuell \
    '--sim=C:\Kurs\TAKTLER\examples\foerderband.szenario' --port-log=port.log \
    'C:\Kurs\TAKTLER\examples\foerderband.txt' protokoll.txt </dev/null >ausgabe.txt 2>fehler.txt) ||
    code=$?
  echo "$code" >"$d/code"
done
for f in code ausgabe.txt fehler.txt protokoll.txt port.log; do
  cmp -s "$lauf/setup/installiert/$f" "$lauf/setup/zip/$f" ||
    falsch "Installer: $f des installierten Programms anders als beim Zip"
done
[ "$(cat "$lauf/setup/zip/code")" = 0 ] && [ -s "$lauf/setup/zip/port.log" ] ||
  falsch "Installer: foerderband lief nicht: $(cat "$lauf/setup/zip/fehler.txt")"
inst "$wine" 'C:\Kurs\TAKTLER\Uninstall.exe' /S || falsch "Deinstallation: Exit-Code $?"
# The uninstaller runs on as its copy in TEMP, which it leaves to be deleted
# at the next restart; the server's end writes the registry files.
inst "$wineserver" -w
inst "$wine" wineboot -r
inst "$wineserver" -w
# Left behind may be only the empty folder of that copy: Wine's restart
# takes the folder before the file in it.
(cd "$laufwerk" && find . | LC_ALL=C sort) | grep -v '^\./users/[^/]*/Temp/~nsu[^/]*\.tmp$' |
  diff "$lauf/vorher" - >"$lauf/rest" || falsch "Deinstallation laesst zurueck: $(tr '\n' ' ' <"$lauf/rest")"
if grep -il taktler "$praefix"/*.reg >/dev/null; then
  falsch "Deinstallation laesst Registry-Eintraege zurueck"
fi
[ "$fehler" -ne 0 ] ||
  echo "Installer unter Wine: 64 Bit, still installiert, Dateien, Programm, Startmenue, still deinstalliert"
fehler=$((fehler | fehler_davor))

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
