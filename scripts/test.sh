#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite, under Xvfb when there is no display.
# With CI=true the suite runs a second time in a build with the address and
# undefined-behaviour sanitizers, and each fuzz target runs for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test
# The desktops and input methods the suites run inside are installed: one that cannot start is
# a failure, not a skipped test.
export QUIVER_SESSION_REQUIRED=1

run_suite() {
    local dir=$1; shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
    if [[ -z "${DISPLAY:-}" ]]; then
        xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$dir" --output-on-failure
    else
        ctest --test-dir "$dir" --output-on-failure
    fi
}

# The benchmarks are built, not run, so they keep compiling. The suite builds the Debian package
# from this build and checks it with lintian (tst_debpackage).
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIVER_BUILD_BENCH=ON

if [[ "${CI:-}" == "true" || "${QUIVER_SANITIZE:-}" == "1" ]]; then
    # Qt and the X libraries keep allocations until exit that are not ours to free.
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DQUIVER_SANITIZE=ON
    bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
fi
