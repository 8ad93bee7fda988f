#!/usr/bin/env bash
# Installs the build dependencies, builds Flumewire and runs it. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
bash tools/deps.sh "${BUILD_PACKAGES[@]}"
cmake -S . -B build -DFLUMEWIRE_TESTS=OFF -DFLUMEWIRE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec ./build/src/flumewire "$@"
