" SPDX-License-Identifier: GPL-3.0-or-later
" Vim syntax file for taktler command files (Kommandodateien).
" Lines are read in capitals, so case does not matter; the command is the
" first word after leading blanks, words are separated by blanks or commas.

if exists('b:current_syntax')
  finish
endif

syn case ignore

" Names and values anywhere on a line.
syn match taktlerMotor     /\<MOTOR[1-4]\>/
syn match taktlerSchalter  /\<SCHALTER[1-8]\>/
syn match taktlerAnalog    /\<ANALOG1\>/
syn keyword taktlerWert    LINKS RECHTS ZEIT MAX
syn match taktlerZahl      /\<[-+]\=\d\+\>/

" The command word.
syn match taktlerBefehl    /^ *\zs\(EINSCHALTEN\|AUSSCHALTEN\|NOTHALT\|SOUND\|TRACELEVEL\|MELDUNG\|PAUSE\|INFO\|EXIT\)\ze\([ ,]\|$\)/
syn match taktlerBlock     /^ *\zs\(BIS\|ENDE_BIS\|ELSE\|ENDE\)\ze\([ ,]\|$\)/
syn match taktlerRufe      /^ *\zsRUFE\ze\([ ,]\|$\)/ nextgroup=taktlerName skipwhite
syn match taktlerKopf      /^ *\zs\(UNTERPROGRAMM\|ENDE_UNTERPROGRAMM\)\ze\([ ,]\|$\)/ nextgroup=taktlerName skipwhite
syn match taktlerName      /[^ ,]\+/ contained
" Known to the reader, but a run ends at them as at an unknown command.
syn match taktlerVerboten  /^ *\zs\(REBOOT\|TRANSFER\)\ze\([ ,]\|$\)/

syn match taktlerKommentar /^ *;.*$/ contains=@Spell

hi def link taktlerKommentar Comment
hi def link taktlerBefehl    Statement
hi def link taktlerBlock     Conditional
hi def link taktlerRufe      Statement
hi def link taktlerKopf      PreProc
hi def link taktlerName      Function
hi def link taktlerMotor     Identifier
hi def link taktlerSchalter  Identifier
hi def link taktlerAnalog    Identifier
hi def link taktlerWert      Constant
hi def link taktlerZahl      Number
hi def link taktlerVerboten  Error

let b:current_syntax = 'taktler'
