#!/usr/bin/env bash
# Installs a built tree into a user's folder and registers it with the desktop:
#   scripts/install.sh <build folder> [install folder]
# The folder defaults to QUIVER_HOME, else $XDG_DATA_HOME/Quiver (~/.local/share/Quiver). Only
# the program's own files are written: data/, cache/ and skins/ are the user's. The install
# keeps the list of the files it wrote (share/quiver/installed-files) for scripts/uninstall.sh.
set -euo pipefail
scripts=$(dirname "${BASH_SOURCE[0]}")
source "$scripts/common.sh"

build=$1
home=$(realpath -ms -- "${2:-${QUIVER_HOME:-$default_home}}")
refuse_unstartable "$home"

# The package's starter links the program and its translations into the same folder; the
# install replaces the links instead of writing through them into the package's files.
for link in "$home/bin/Quiver" "$home/lang"; do
    if [[ -L $link ]]; then rm "$link"; fi
done
cmake --install "$build" --prefix "$home" --component Runtime >/dev/null

# What this install wrote, with what the earlier ones wrote: a file a newer version no longer
# ships still goes with the uninstall.
list=$home/$installed_list
{
    if [[ -f $list ]]; then cat "$list"; fi
    while IFS= read -r file; do
        if [[ $file == "$home/"* ]]; then printf '%s\n' "${file#"$home/"}"; fi
    done <"$build/install_manifest_Runtime.txt"
} | LC_ALL=C sort -u >"$list.new"
mv "$list.new" "$list"

bash "$scripts/register.sh" "$home"
