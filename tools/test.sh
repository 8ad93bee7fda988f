#!/usr/bin/env bash
# Installs what the tests need (including openssh-server), builds with warnings as errors and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
bash tools/deps.sh "${TEST_PACKAGES[@]}"
cmake -S . -B build-test -DFLUMEWIRE_WERROR=ON -DFLUMEWIRE_TESTS=ON -DFLUMEWIRE_BENCH=ON >/dev/null
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure --timeout 600 -j"$(nproc)"
