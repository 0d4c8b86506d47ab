#!/usr/bin/env bash
# Sets up, builds, installs into the per-user folder, registers the menu entry and icons, and
# starts the launcher.
# QUIVER_HOME chooses the install folder (default $XDG_DATA_HOME/Quiver, ~/.local/share/Quiver);
# the catalogue, settings and skins kept there survive every rebuild.
set -euo pipefail
source "$(dirname "$0")/common.sh"
# A relative QUIVER_HOME is the caller's.
home=$(realpath -ms -- "${QUIVER_HOME:-$default_home}")
refuse_unstartable "$home"
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUIVER_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --parallel "$(nproc)"
bash scripts/install.sh build/release "$home"

cd "$home/bin"
exec ./Quiver "$@"
