#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the project builds and tests with.
# Only missing packages are installed; needs root (or sudo) for that.
set -euo pipefail

pakete=(
  g++ cmake make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libieee1284-3-dev libsdl2-dev libncurses-dev
  clang libclang-rt-14-dev valgrind tmux time
  # the Debian package and its test: cpack's dpkg-shlibdeps, lintian, the manual page, completion
  dpkg-dev file lintian man-db mandoc bash-completion
  # the editor files' test runs Vim in Ex mode
  vim-nox
  # the viewers' own readers in the timing diagram's tests: vcd2fst/fst2vcd and GTKWave under
  # Xvfb (save file, filter), sigrok-cli (the 1-bit diagram as PulseView reads it)
  gtkwave sigrok-cli xvfb xauth
  # lcov and genhtml read the coverage tracefile in its test
  lcov
)

fehlend=()
for p in "${pakete[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    fehlend+=("$p")
  fi
done

if [ ${#fehlend[@]} -eq 0 ]; then
  exit 0
fi

als_root=()
if [ "$(id -u)" -ne 0 ]; then
  als_root=(sudo)
fi
echo "Installiere: ${fehlend[*]}"
"${als_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${als_root[@]}" apt-get install -y -qq --no-install-recommends "${fehlend[@]}"
