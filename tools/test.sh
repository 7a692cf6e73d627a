#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the tests twice (plain and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs all of them, and
# builds and checks the Debian package of the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
# The Debian package of the plain build, checked as installed; 77 means skipped (reason printed).
tests/paket_test.sh build || [ $? -eq 77 ]

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAKTLER_SANITIZE=ON
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")
