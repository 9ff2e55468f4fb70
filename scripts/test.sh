#!/usr/bin/env bash
# Sets up what the tests need, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
# Every test counts the first time: a case that fails now and then has a
# cause to be found, not a retry to hide it.
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
./scripts/test-sanitizers.sh
./scripts/fuzz.sh 30
./scripts/test-package.sh

# The Windows build, cross-compiled and tested under Wine.
if [ -x scripts/test-windows.sh ]; then
  ./scripts/test-windows.sh
fi
