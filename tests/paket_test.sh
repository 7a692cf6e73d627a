#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a configured build tree and checks it as a user
# gets it: lintian, the unpacked program, manual page and bash completion.
# Usage: paket_test.sh BUILD_DIR. Exit 77 (skipped) where a packaging tool is missing.
set -euo pipefail

bau=$(cd "$1" && pwd)

for werkzeug in dpkg-deb lintian; do
    if ! command -v "$werkzeug" >/dev/null; then
        echo "uebersprungen: $werkzeug fehlt (tools/install-deps.sh installiert es)"
        exit 77
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fehler=0
falsch() {
    echo "FEHLER: $*"
    fehler=1
}

if ! cpack -G DEB --config "$bau/CPackConfig.cmake" -B "$tmp/paket" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    echo "FEHLER: cpack ist gescheitert"
    exit 1
fi
pakete=("$tmp"/paket/*.deb)
if [ ${#pakete[@]} -ne 1 ]; then
    echo "FEHLER: genau ein .deb erwartet: ${pakete[*]}"
    exit 1
fi
deb=${pakete[0]}
echo "Paket: $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Section Depends

# Errors, warnings and pedantic tags fail; other tags are shown so that they are seen.
lintian --pedantic --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 || true
grep -v 'running with root privileges' "$tmp/lintian.log" || true
if grep -q '^[EWP]: ' "$tmp/lintian.log"; then
    falsch "lintian meldet Fehler, Warnungen oder pedantische Tags"
fi

wurzel=$tmp/wurzel
dpkg-deb -x "$deb" "$wurzel"
programm=$wurzel/usr/bin/taktler
doku=$wurzel/usr/share/doc/taktler
version=$(dpkg-deb -f "$deb" Version)

[ "$("$programm" --version | head -n1)" = "taktler $version" ] || falsch "--version passt nicht zu $version"
[[ "$(zcat "$doku/changelog.gz" | head -n1)" == "taktler ($version) "* ]] ||
    falsch "der neueste Eintrag in changelog.gz ist nicht Version $version"

# An installed example on the simulated interface: the scenario presses the
# button, so the light goes green, red, green.
mkdir "$tmp/lauf"
if (cd "$tmp/lauf" && timeout -s KILL 120 "$programm" --sim="$doku/examples/ampel.szenario" \
    "$doku/examples/ampel.txt" ampel.prot </dev/null >ausgabe 2>fehler); then
    phasen=$(grep -o ';\(GRUEN\|ROT\);' "$tmp/lauf/ausgabe" | tr -d ';' | tr '\n' ' ')
    [ "$phasen" = "GRUEN ROT GRUEN " ] || falsch "Ampel-Beispiel: Phasen '$phasen'"
else
    cat "$tmp/lauf/ausgabe" "$tmp/lauf/fehler"
    falsch "Ampel-Beispiel endet nicht mit 0"
fi

# The installed check script compares the installed example with its stored run.
if ! (cd "$tmp/lauf" && TAKTLER=$programm "$doku/examples/kommandodatei_pruefen.sh" \
    "$doku/examples/foerderband.txt" "$doku/examples/foerderband.szenario" \
    "$doku/examples/foerderband.erwartet" </dev/null >pruefen.aus 2>&1); then
    cat "$tmp/lauf/pruefen.aus"
    falsch "kommandodatei_pruefen.sh meldet das installierte Beispiel als geaendert"
fi

# The manual pages render without a warning (HandbuchTest matches their options with the
# option table that --help lists).
for seite in "$wurzel"/usr/share/man/{,de/}man1/{taktler,taktler-zeitdiagramm}.1.gz; do
    if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$seite" >"$tmp/man.txt" 2>"$tmp/man.err" ||
        [ -s "$tmp/man.err" ]; then
        cat "$tmp/man.err"
        falsch "man -l meldet Warnungen fuer $seite"
    fi
    if command -v mandoc >/dev/null && ! mandoc -Tlint -Wwarning "$seite"; then
        falsch "mandoc -Tlint meldet Warnungen fuer $seite"
    fi
done

# The editor files where Vim, nano and editors that import a grammar look.
for datei in vim/vimfiles/syntax/taktler.vim vim/vimfiles/ftdetect/taktler.vim \
    vim/vimfiles/compiler/taktler.vim nano/taktler.nanorc taktler/taktler.tmLanguage.json; do
    [ -s "$wurzel/usr/share/$datei" ] || falsch "/usr/share/$datei fehlt im Paket"
done
grep -qx 'License: GPL-3.0-or-later' "$doku/copyright" || falsch "copyright nennt GPL-3.0-or-later nicht"

# The timing diagram of the installed conveyor example, ready in GTKWave: the save file
# inserts every signal of the diagram as GTKWave's own reader lists them, in that order, and
# names the filter where the package puts it.
gtkwave_daten=$wurzel/usr/share/taktler
if (cd "$tmp/lauf" && SOURCE_DATE_EPOCH=0 TZ=UTC0 timeout -s KILL 120 "$programm" \
    --zeit=virtuell --sim="$doku/examples/foerderband.szenario" --vcd=band.vcd \
    --vcd-bits=band-bits.vcd \
    "$doku/examples/foerderband.txt" band.prot </dev/null >/dev/null 2>&1) &&
    vcd2fst "$tmp/lauf/band.vcd" "$tmp/lauf/band.fst" >/dev/null &&
    fst2vcd "$tmp/lauf/band.fst" >"$tmp/lauf/zurueck.vcd"; then
    signale=$(awk '$1 == "$var" { print "taktler." $5 ($3 == 2 ? "[1:0]" : "") }' \
        "$tmp/lauf/zurueck.vcd" | tr '\n' ' ')
    gesichert=$(grep '^taktler\.' "$gtkwave_daten/taktler.gtkw" | tr '\n' ' ')
    [ -n "$signale" ] && [ "$signale" = "$gesichert" ] ||
        falsch "taktler.gtkw fuegt '$gesichert' ein, das Diagramm hat '$signale'"
    filter=$(sed -n 's/^\^1 //p' "$gtkwave_daten/taktler.gtkw")
    [ "$filter" = /usr/share/taktler/motoren.gtkwf ] && [ -f "$wurzel$filter" ] ||
        falsch "taktler.gtkw nennt den Filter '$filter', das Paket hat ihn nicht dort"
else
    falsch "Foerderband-Beispiel: kein Zeitdiagramm, das vcd2fst und fst2vcd lesen"
fi
# The 1-bit diagram is sent on to PulseView, not opened empty.
if timeout -s KILL 60 "$wurzel/usr/bin/taktler-zeitdiagramm" "$tmp/lauf/band-bits.vcd" \
    2>"$tmp/bits.err" ||
    ! grep -q "pulseview -I vcd -i" "$tmp/bits.err"; then
    falsch "taktler-zeitdiagramm oeffnet ein Diagramm von --vcd-bits: $(cat "$tmp/bits.err")"
fi
# GTKWave itself, headless, through the installed wrapper: the whole run in the window, the
# motors by name. Each row: the marker's time, then "signal=value" as GTKWave shows them.
if command -v xvfb-run >/dev/null && command -v gtkwave >/dev/null; then
    cat >"$tmp/pruefe.tcl" <<'EOF_TCL'
puts "fenster [gtkwave::getWindowStartTime] [expr {[gtkwave::getWindowEndTime] >= [gtkwave::getMaxTime]}]"
foreach zeit {0 300 3000 300000} {
    gtkwave::setMarker $zeit
    set zeile "$zeit"
    for {set i 0} {$i < [gtkwave::getTotalNumTraces]} {incr i} {
        set wert [gtkwave::getTraceValueAtMarkerFromIndex $i]
        if {$wert ne ""} { append zeile " [gtkwave::getTraceNameFromIndex $i]=$wert" }
    }
    puts $zeile
}
gtkwave::/File/Quit
EOF_TCL
    s="schalter1=0 schalter2=0 schalter3=0 schalter4=0 schalter5=0 schalter6=0 schalter7=0"
    s="$s schalter8=0"
    cat >"$tmp/gtkwave.erwartet" <<EOF_GTKWAVE
fenster 0 1
0 motor1[1:0]=aus motor2[1:0]=aus motor3[1:0]=aus motor4[1:0]=aus $s analog1=0 analog2=0 nothalt=0
300 motor1[1:0]=RECHTS (L) motor2[1:0]=aus motor3[1:0]=aus motor4[1:0]=aus $s analog1=0 analog2=0 nothalt=1
3000 motor1[1:0]=aus motor2[1:0]=aus motor3[1:0]=LINKS (R) motor4[1:0]=aus $s analog1=0 analog2=0 nothalt=1
300000 motor1[1:0]=aus motor2[1:0]=aus motor3[1:0]=LINKS (R) motor4[1:0]=LINKS (R) $s analog1=800 analog2=40 nothalt=1
EOF_GTKWAVE
    timeout -s KILL 120 xvfb-run -a "$wurzel/usr/bin/taktler-zeitdiagramm" "$tmp/lauf/band.vcd" \
        -S "$tmp/pruefe.tcl" 2>&1 | grep -E '^(fenster|[0-9]+ )' >"$tmp/gtkwave.txt" || true
    diff "$tmp/gtkwave.erwartet" "$tmp/gtkwave.txt" ||
        falsch "GTKWave zeigt das Foerderband-Diagramm mit taktler-zeitdiagramm anders"
else
    echo "GTKWave unter Xvfb uebersprungen: xvfb-run oder gtkwave fehlt"
fi

# Completion as bash-completion loads it from the unpacked tree. Each case: the
# command line up to the cursor, and the words the reply must hold (or "-" for none).
# Readline splits "--opt=value" at "=", so the case lines are split the same way.
vervollstaendige() {
    (cd "$1" && PATH="$wurzel/usr/bin:$PATH" XDG_DATA_DIRS="$wurzel/usr/share" \
        bash --norc --noprofile -c '
        source /usr/share/bash-completion/bash_completion
        __load_completion taktler || exit 3
        COMP_LINE=$1
        COMP_POINT=${#COMP_LINE}
        COMP_WORDS=()
        read -ra teile <<<"$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && teile+=("")
        for wort in "${teile[@]}"; do
            if [[ $wort == --*=* ]]; then
                COMP_WORDS+=("${wort%%=*}" "=" "${wort#*=}")
            else
                COMP_WORDS+=("$wort")
            fi
        done
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _taktler taktler "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
        for wort in "${COMPREPLY[@]}"; do echo "$wort"; done' vervollstaendige "$2")
}
if [ ! -f /usr/share/bash-completion/bash_completion ]; then
    falsch "bash-completion fehlt (tools/install-deps.sh installiert es)"
else
    beispiele=$doku/examples
    optionen=$("$programm" --help | grep -o -- '--[a-z][a-z-]*=\?' | sort -u)
    while IFS='|' read -r ort zeile erwartet; do
        if ! antwort=$(vervollstaendige "$ort" "$zeile" | sort | tr '\n' ' '); then
            falsch "bash-completion laedt die Vervollstaendigung fuer taktler nicht"
            break
        fi
        if [ "$erwartet" = "-" ]; then
            [ -z "$antwort" ] || falsch "'$zeile' bietet '$antwort' an, erwartet nichts"
            continue
        fi
        for wort in $erwartet; do
            [[ " $antwort" == *" $wort "* ]] ||
                falsch "'$zeile' bietet '$antwort' an, $wort fehlt"
        done
    done <<EOF
$tmp|taktler --|$(echo $optionen)
$tmp|taktler --port=|auto sim
$tmp|taktler --zeit=v|virtuell
$tmp|taktler --zeit v|virtuell
$tmp|taktler --halt=|-
$tmp|taktler --antwort=|ok abbrechen
$beispiele|taktler --sim=amp|ampel.szenario ampel.txt
$beispiele|taktler --spur amp|ampel.szenario ampel.txt
$beispiele|taktler --pruefen foe|foerderband.szenario foerderband.txt
$tmp|taktler -- --|-
EOF
fi

exit $fehler
