#!/usr/bin/env bash
# Registers an install of Quiver with the desktop: its menu entry and its icons, in the user's
# data folder ($XDG_DATA_HOME, or ~/.local/share): scripts/register.sh <install folder>
set -euo pipefail
home=$(cd "$1" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}

# A value of the desktop entry format, escaped as the program escapes its own entries:
# backslashes, line breaks, tabs, carriage returns, and a leading space.
entry_string() {
    local value=${1//\\/\\\\}
    value=${value//$'\n'/\\n}
    value=${value//$'\t'/\\t}
    value=${value//$'\r'/\\r}
    [[ $value == ' '* ]] && value="\\s${value:1}"
    printf '%s' "$value"
}
# One argument of Exec: quoted, the characters reserved inside quotes escaped, "%" doubled,
# then escaped as any value.
exec_argument() {
    local quoted
    quoted=$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g')
    entry_string "\"$quoted\""
}

mkdir -p "$data/applications"
for size in 48x48 64x64 128x128 scalable; do
    suffix=png
    [[ $size == scalable ]] && suffix=svg
    mkdir -p "$data/icons/hicolor/$size/apps"
    cp "$home/share/icons/hicolor/$size/apps/quiver.$suffix" "$data/icons/hicolor/$size/apps/"
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
