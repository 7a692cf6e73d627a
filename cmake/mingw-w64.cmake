# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the 64-bit Windows program with Debian's MinGW-w64 (POSIX
# threads variant); the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAKTLER_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAKTLER_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAKTLER_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAKTLER_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAKTLER_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C99 printf of MinGW, not the system's: %zu and %lld as on Linux. The
# format checks assume the system's printf there, so they are off.
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1 -Wno-format")
# One self-contained taktler.exe: no MinGW runtime DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under Wine (Debian's wine64 keeps its loader in /usr/lib/wine).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TAKTLER_WINE NAMES wine64 wine PATHS /usr/lib/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAKTLER_WINE})
endif()
