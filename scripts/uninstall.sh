#!/usr/bin/env bash
# Removes an install made by scripts/run.sh: the program, its menu entry and its icons. The
# catalogue, settings, icon cache and skins (data/, cache/, skins/) stay unless --purge is given.
#   scripts/uninstall.sh [--purge]      (QUIVER_HOME chooses the install folder, as for run.sh)
set -euo pipefail
home=${QUIVER_HOME:-$HOME/.local/share/Quiver}
data=${XDG_DATA_HOME:-$HOME/.local/share}

# A running Quiver of this install ends as "退出" does; the desktop's own shortcut that runs its
# starter goes with it (GNOME, KDE).
if [[ -x $home/bin/Quiver ]]; then
    "$home/bin/Quiver" --quit 2>/dev/null || true
    "$home/bin/Quiver" --remove-shortcut 2>/dev/null || true
fi
rm -rf "$home/bin" "$home/lib" "$home/lang" "$home/share" "$home/include"
rm -f "$data/applications/quiver.desktop"
for size in 48x48 64x64 128x128; do
    rm -f "$data/icons/hicolor/$size/apps/quiver.png"
done
rm -f "$data/icons/hicolor/scalable/apps/quiver.svg"
if [[ "${1:-}" == "--purge" ]]; then
    rm -rf "$home/data" "$home/cache" "$home/skins"
    rmdir "$home" 2>/dev/null || true
    echo "Quiver and its catalogue removed from $home"
else
    echo "Quiver removed; the catalogue, settings and skins stay in $home (--purge removes them)"
fi
command -v update-desktop-database >/dev/null && update-desktop-database -q "$data/applications" || true
if [[ -d $data/icons/hicolor ]]; then
    touch "$data/icons/hicolor"
    if [[ -f $data/icons/hicolor/icon-theme.cache ]] && command -v gtk-update-icon-cache >/dev/null; then
        gtk-update-icon-cache -q -t "$data/icons/hicolor" || true
    fi
fi
