" SPDX-License-Identifier: GPL-3.0-or-later
" Vim compiler file: :make checks the command file with taktler --pruefen,
" and its findings fill the quickfix list.

if exists('current_compiler')
  finish
endif
let current_compiler = 'taktler'
let s:cpo_save = &cpo
set cpo&vim

if exists(':CompilerSet') != 2
  command -nargs=* CompilerSet setlocal <args>
endif

CompilerSet makeprg=taktler\ --pruefen\ %:S
" FILE:LINE: fehler: TEXT is an error, FILE:LINE: warnung: TEXT a warning; the
" summary lines are left out.
CompilerSet errorformat=%E%f:%l:\ fehler:\ %m,%W%f:%l:\ warnung:\ %m,
      \%-G%f:\ %\\d%\\+\ Fehler%.%#,%-G%\\d%\\+\ Dateien:%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
