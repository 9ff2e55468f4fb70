#!/usr/bin/env bash
# Sets up what the tests need, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
# The end-to-end cases drive real windows; one that fails on a loaded
# machine is tried once more before it counts.
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300 --repeat until-pass:2
./scripts/test-package.sh

# The Windows build, cross-compiled and tested under Wine.
if [ -x scripts/test-windows.sh ]; then
  ./scripts/test-windows.sh
fi
