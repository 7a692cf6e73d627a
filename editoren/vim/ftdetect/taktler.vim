" SPDX-License-Identifier: GPL-3.0-or-later
" taktler command files: *.tkt, and *.txt files whose first lines other than
" empty lines and comments are command lines.

autocmd BufNewFile,BufRead *.tkt setfiletype taktler
" set, not setfiletype: Vim has already made every *.txt a text file.
autocmd BufRead *.txt if TaktlerErkennen() | set filetype=taktler | endif

" The first three lines that are neither empty nor comments (among the first
" 50) each begin with a command word, and there is at least one.
function! TaktlerErkennen() abort
  let l:befehl = '\c^ *\(EINSCHALTEN\|AUSSCHALTEN\|NOTHALT\|SOUND\|TRACELEVEL\|MELDUNG\|PAUSE\|INFO\|EXIT\|BIS\|ENDE_BIS\|ELSE\|ENDE\|RUFE\|UNTERPROGRAMM\|ENDE_UNTERPROGRAMM\)\([ ,]\|$\)'
  let l:gefunden = 0
  for l:zeile in getline(1, 50)
    if l:zeile =~# '^ *\(;.*\)\=\r\=$'
      continue
    endif
    if l:zeile !~ l:befehl
      return 0
    endif
    let l:gefunden += 1
    if l:gefunden == 3
      break
    endif
  endfor
  return l:gefunden > 0
endfunction
