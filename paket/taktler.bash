# bash completion for taktler                              -*- shell-script -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# The options and their values come from the program's own --help, which its
# table of options writes, so the completion offers what the program takes.

_taktler()
{
    local cur prev words cword split
    _init_completion -s || return

    # One "--name" or "--name=VALUE" a line, as --help shows them.
    local optionen
    optionen=$(LC_ALL=C "${words[0]}" --help 2>/dev/null |
        sed -n 's/^  \(-[A-Za-z], \)\{0,1\}\(--[a-z][a-z-]*\(=[^ ]*\)\{0,1\}\).*/\2/p')

    # The value of "--name=VALUE" or "--name VALUE": a|b lists the words,
    # DATEI is a file, NAME a port.
    local wert
    wert=$(awk -F= -v name="$prev" '$1 == name && NF > 1 {print $2}' <<<"$optionen")
    if [[ $prev == --* && -n $wert ]]; then
        case $wert in
            *'|'*)
                COMPREPLY=($(compgen -W "${wert//|/ }" -- "$cur"))
                ;;
            DATEI)
                _filedir
                ;;
            NAME)
                # The ports come from the program being completed, first field of each line.
                local ports
                ports=$("${words[0]}" --ports 2>/dev/null | awk '{print $1}')
                COMPREPLY=($(compgen -W "auto sim $ports" -- "$cur"))
                ;;
        esac
        return
    fi
    $split && return

    # After a lone "--" every argument is a file.
    local i
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -- ]] && break
    done
    if ((i == cword)) && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(sed 's/=.*/=/' <<<"$optionen")" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    _filedir
} &&
    complete -F _taktler taktler

# ex: filetype=sh
