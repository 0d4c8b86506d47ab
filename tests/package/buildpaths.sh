#!/usr/bin/env bash
# The built binaries name no folder of the machine that built them: neither the sources nor the
# build tree, in the log's file names or the debug data.
#   tests/package/buildpaths.sh <source folder> <build folder> <binary>...
set -euo pipefail
source_dir=$1
build_dir=$2
shift 2
status=0
for binary in "$@"; do
    found=$(strings -a "$binary" | grep -F -e "$source_dir" -e "$build_dir" | sort -u || true)
    if [[ -n $found ]]; then
        echo "$binary names $(wc -l <<<"$found") build paths, for example:" >&2
        head -5 <<<"$found" >&2
        status=1
    fi
done
exit "$status"
