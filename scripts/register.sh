#!/usr/bin/env bash
# Registers an install of Quiver with the desktop: its menu entry and its icons, in the user's
# data folder ($XDG_DATA_HOME, or ~/.local/share): scripts/register.sh <install folder>
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
home=$(cd "$1" && pwd)
refuse_unstartable "$home"

mkdir -p "$data/applications"
for size in 48x48 64x64 128x128 scalable; do
    suffix=png
    [[ $size == scalable ]] && suffix=svg
    icon=$home/share/icons/hicolor/$size/apps/quiver.$suffix
    mkdir -p "$data/icons/hicolor/$size/apps"
    # An install into the data folder's own prefix (~/.local) has put its icons there already.
    if [[ ! $icon -ef $data/icons/hicolor/$size/apps/quiver.$suffix ]]; then
        cp "$icon" "$data/icons/hicolor/$size/apps/"
    fi
done

# The shared entry, with the program's place in this install.
{
    cat "$home/share/quiver/quiver.desktop"
    echo "Exec=$(exec_argument "$home/bin/Quiver")"
    echo "Path=$(entry_string "$home/bin")"
} > "$data/applications/quiver.desktop"

# Menus catch up at once where the tool is installed. The icon theme folder's new time tells
# GTK to look again; an icon cache is brought up to date only where one is: a cache of our
# making would hide the icons other programs put here later.
command -v update-desktop-database >/dev/null && update-desktop-database -q "$data/applications" || true
touch "$data/icons/hicolor"
if [[ -f $data/icons/hicolor/icon-theme.cache ]] && command -v gtk-update-icon-cache >/dev/null; then
    gtk-update-icon-cache -q -t "$data/icons/hicolor" || true
fi
