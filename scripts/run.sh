#!/usr/bin/env bash
# Sets up, builds, installs into the per-user folder, registers the menu entry and icons, and
# starts the launcher.
# QUIVER_HOME chooses the install folder (default ~/.local/share/Quiver); the catalogue,
# settings and skins kept there survive every rebuild.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
home=${QUIVER_HOME:-$HOME/.local/share/Quiver}
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUIVER_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --parallel "$(nproc)"
# The package's starter links the program and its translations into the same folder; the
# install replaces the links instead of writing through them into the package's files.
for link in "$home/bin/Quiver" "$home/lang"; do
    if [[ -L $link ]]; then rm "$link"; fi
done
cmake --install build/release --prefix "$home" --component Runtime >/dev/null
bash scripts/register.sh "$home"

cd "$home/bin"
exec ./Quiver "$@"
