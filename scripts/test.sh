#!/usr/bin/env bash
# Sets up what the tests need, builds everything and runs every test.
# --quick builds and runs the unit tests alone.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"
cmake --preset default
if [ "${1:-}" = --quick ]; then
  cmake --build --preset default -j"$(nproc)" --target tarnlight_tests tarnlight_qt_tests
  exec ctest --preset quick -j"$(nproc)"
fi
install_missing "${RUN_PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}"
./scripts/check-format.sh
cmake --build --preset default -j"$(nproc)"
# Every test counts the first time: a case that fails now and then has a
# cause to be found, not a retry to hide it.
ctest --preset default -j"$(nproc)"
./scripts/test-sanitizers.sh
./scripts/fuzz.sh 30
./scripts/test-package.sh
# The Windows build, cross-compiled and tested under Wine.
./scripts/test-windows.sh
