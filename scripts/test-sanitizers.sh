#!/usr/bin/env bash
# Builds the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (the sanitizers preset, build-asan/) and runs them; any report fails the
# run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"

cmake --preset sanitizers
cmake --build --preset sanitizers -j"$(nproc)" --target tarnlight_tests tarnlight_qt_tests

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset sanitizers -j"$(nproc)"
