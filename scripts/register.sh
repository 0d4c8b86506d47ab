#!/usr/bin/env bash
# Registers an install of Quiver with the desktop: its menu entry and its icons, in the user's
# data folder ($XDG_DATA_HOME, or ~/.local/share): scripts/register.sh <install folder>
set -euo pipefail
home=$(cd "$1" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}

# A value of the desktop entry format: backslashes and line breaks escaped.
entry_string() {
    printf '%s' "$1" | sed -e 's/\\/\\\\/g'
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

cat > "$data/applications/quiver.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Quiver
Name[zh_CN]=Quiver 快速启动
GenericName=Launcher
GenericName[zh_CN]=快速启动器
Comment=Start programs, documents, folders and web addresses from a catalogue of your own
Comment[zh_CN]=整理并快速启动程序、文档、文件夹、网址和命令行
Icon=quiver
Exec=$(exec_argument "$home/bin/Quiver")
Path=$(entry_string "$home/bin")
Terminal=false
Categories=Utility;
StartupWMClass=Quiver
ENTRY

# Menus and icon caches catch up at once where the tools are installed.
command -v update-desktop-database >/dev/null && update-desktop-database -q "$data/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$data/icons/hicolor" || true
