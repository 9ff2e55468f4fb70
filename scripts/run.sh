#!/usr/bin/env bash
# Sets up and builds Tarnlight, then starts the saver.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ ! -x build/tarnlight ]; then
  echo "Built the portable core; no display back end exists yet, so there is nothing to start."
  exit 0
fi
