#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) and runs
# each for a bounded time: scripts/fuzz.sh [seconds per target] [target...]
# A longer run by hand: scripts/fuzz.sh 0 paste  (0: until stopped; -runs=N via FUZZ_ARGS).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(stylesheets paste skin update desktopentry commandline matcher)

cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUIVER_FUZZ=ON -DQUIVER_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
    # The seeds stay untouched; what the run finds grows in the build tree.
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "fuzz_$target: ${seconds}s"
    build/fuzz/tests/fuzz/fuzz_"$target" -max_total_time="$seconds" -print_final_stats=1 \
        ${FUZZ_ARGS:-} "$corpus" "tests/fuzz/corpus/$target" 2>&1 |
        grep -E "^(stat::number_of_executed_runs|==|SUMMARY|Done)|ERROR|Test unit written" || true
    [[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "fuzz_$target failed"; exit 1; }
done
