#!/usr/bin/env bash
# Installs what the tests need (including openssh-server), then:
#  1. builds everything with warnings as errors into build-test/ and runs the whole suite;
#  2. builds the core, its tests and the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in a
#     Debug build (Qt's own bounds checks on) into build-sanitize/ and runs those tests;
#  3. runs each fuzz target for 60 s from its seeds and dictionary, as many at a time as there are cores.
# Any failing test, sanitizer report or fuzzer crash fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
bash tools/deps.sh "${TEST_PACKAGES[@]}"
jobs=$(nproc)
step() { printf '\n== %s (%s)\n' "$1" "$(date -u +%T)"; }

step "Build and test"
cmake -S . -B build-test -DFLUMEWIRE_WERROR=ON -DFLUMEWIRE_TESTS=ON -DFLUMEWIRE_BENCH=ON >/dev/null
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure --timeout 600 -j"$jobs")

step "Sanitizer build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DFLUMEWIRE_SANITIZE=ON -DFLUMEWIRE_FUZZ=ON -DFLUMEWIRE_UI=OFF \
    -DFLUMEWIRE_TESTS=ON -DFLUMEWIRE_BENCH=OFF -DFLUMEWIRE_WERROR=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
step "Tests under the sanitizers"
(cd build-sanitize && ctest --output-on-failure --timeout 600 -j"$jobs" -E '^format_check$')

step "Fuzzing, 60 s per target"
fuzz() {
    local target=$1 data=$2 dir=build-sanitize/fuzz
    mkdir -p "$dir/corpus/$data"
    if "$dir/$target" -max_total_time=60 -print_final_stats=1 -dict="fuzz/$data.dict" \
        -artifact_prefix="$dir/$target-" "$dir/corpus/$data" "fuzz/seeds/$data" >"$dir/$target.log" 2>&1; then
        echo "$target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$dir/$target.log" | tr -s ' ') "
    else
        tail -n 80 "$dir/$target.log"
        echo "$target: FAILED (input saved as $dir/$target-*)"
        return 1
    fi
}
targets=(fuzz_tunnels_file:tunnels_file fuzz_ssh_config:ssh_config fuzz_ssh_output:ssh_output
    fuzz_proxy_tool_output:proxy_tool_output)
failed=0
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
    pids=()
    for t in "${targets[@]:i:jobs}"; do
        fuzz "${t%%:*}" "${t#*:}" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
done
exit "$failed"
