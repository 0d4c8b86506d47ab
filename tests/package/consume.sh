#!/usr/bin/env bash
# Installs the build's development files into a temporary prefix, builds a program against
# the KelWidgets package found there, and runs it: tests/package/consume.sh <build dir> [flags]
# A library built with sanitizers needs a program built with them: the flags are passed on.
set -euo pipefail
build=$1
flags=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" --component Runtime >/dev/null
cmake --install "$build" --prefix "$work/prefix" --component Development >/dev/null
test -f "$work/prefix/include/KelWidgets/kelwidgets_export.h"
cmake -S "$here" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/build" >/dev/null
QT_QPA_PLATFORM=offscreen "$work/build/consumer"
