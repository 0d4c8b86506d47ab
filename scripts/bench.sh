#!/usr/bin/env bash
# Builds a release tree, generates catalogues of 1k, 10k and 100k items and prints every
# benchmark figure beside its same-run baseline and the target in force, where there is one:
# scripts/bench.sh [runs]. docs/performance.md holds the current figures.
# Runs under Xvfb with openbox unless a display is set.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
bash scripts/deps.sh test
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DQUIVER_BUILD_BENCH=ON \
    -DQUIVER_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --parallel "$(nproc)"

work=$(mktemp -d)
trap 'kill "$wm" 2>/dev/null || true; rm -rf "$work"' EXIT
openbox --sm-disable & wm=$!
sleep 1
cmake --install build/bench --prefix "$work/install" >/dev/null
# 10k-own: the 10k catalogue with a cached icon of its own for every item that has one.
for size in 1k:1000:1000 10k:10000:10000 100k:100000:10000 10k-own:10000:10000:own-icons; do
    IFS=: read -r name total first icons <<<"$size"
    build/bench/bench/quiver_bench_catalogue "$work/$name" "$total" "$first" ${icons:+"$icons"} >/dev/null
    # The generated root gets the installed program, as a user's install would have it.
    cp "$work/install/bin/Quiver" "$work/install/bin/quiver" "$work/$name/bin/"
    cp -r "$work/install/lib" "$work/$name/"
done

# An empty catalogue, the first-start question already answered.
mkdir -p "$work/empty/bin" "$work/empty/data"
cp "$work/install/bin/Quiver" "$work/empty/bin/"
cp -r "$work/install/lib" "$work/empty/"
printf '[Form]\nImportOffered=true\n' > "$work/empty/data/config.ini"

echo "Quiver $(git describe --always --dirty 2>/dev/null), $(nproc) cores, $(date -u +%F)"
build/bench/bench/quiver_bench_process "$work/empty/bin/Quiver" "$work/empty" "$runs" empty \
    "$PWD/build/bench/bench/quiver_bench_bare" "$work/10k"
build/bench/bench/quiver_bench_process "$work/empty/bin/Quiver" "$work/empty" "$runs" empty \
    "$PWD/build/bench/bench/quiver_bench_bare" "$work/10k-own"
for name in 1k 100k; do
    build/bench/bench/quiver_bench_process "$work/$name/bin/Quiver" "$work/$name" "$runs" start
done
build/bench/bench/quiver_bench_process "$work/10k/bin/Quiver" "$work/10k" "$runs"
build/bench/bench/quiver_bench_window "$work/10k" "$runs" search
build/bench/bench/quiver_bench_window "$work/100k" "$runs"
build/bench/bench/quiver_bench_matcher "$runs"
build/bench/bench/quiver_bench_import "$runs"
