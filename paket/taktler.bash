# bash completion for taktler                              -*- shell-script -*-

_taktler()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --port)
            # The ports come from the program being completed, first field of each line.
            local ports
            ports=$("${words[0]}" --ports 2>/dev/null | awk '{print $1}')
            COMPREPLY=($(compgen -W "auto sim $ports" -- "$cur"))
            return
            ;;
        --zeit)
            COMPREPLY=($(compgen -W 'echt virtuell' -- "$cur"))
            return
            ;;
        --antwort)
            COMPREPLY=($(compgen -W 'ok abbrechen' -- "$cur"))
            return
            ;;
        --sim | --port-log | --vcd)
            _filedir
            return
            ;;
    esac
    $split && return

    # After a lone "--" every argument is a file.
    local i
    for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == -- ]] && break
    done
    if ((i == cword)) && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--port= --ports --sim= --port-log= --antwort=
            --pruefen --streng --panel --zeit= --vcd= --help --version' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    _filedir
} &&
    complete -F _taktler taktler

# ex: filetype=sh
