#!/usr/bin/env bash
# Removes an install made by scripts/run.sh (scripts/install.sh): the files it wrote, as its list
# names them, and its menu entry, icons, autostart entry and desktop shortcut. The catalogue,
# settings, icon cache and skins (data/, cache/, skins/) stay unless --purge is given.
#   scripts/uninstall.sh [--purge]      (QUIVER_HOME chooses the install folder, as for run.sh)
# A folder without the list holds no install of ours, and nothing in it is touched.
set -euo pipefail
source "$(dirname "$0")/common.sh"
home=$(realpath -ms -- "${QUIVER_HOME:-$default_home}")
purge=false
case ${1:-} in
--purge) purge=true ;;
'') ;;
*)
    echo "usage: scripts/uninstall.sh [--purge]" >&2
    exit 2
    ;;
esac

list=$home/$installed_list
if [[ ! -f $list ]]; then
    echo "uninstall.sh: no install of Quiver in $home ($installed_list is missing); nothing" \
        "removed. An install made before that list was kept gets it from scripts/run.sh." >&2
    exit 1
fi

# The program names itself by its real path.
real_home=$(realpath -m -- "$home")

# After an uninstall that kept the catalogue the list names the kept skins only: a program found
# here now is not this install's (the package's starter links its own in), and is left alone.
if ! grep -qxF bin/Quiver "$list"; then
    if ! $purge; then
        echo "uninstall.sh: the program was already removed from $home; --purge removes the" \
            "catalogue, settings and skins kept there" >&2
        exit 1
    fi
# A running Quiver of this install ends as "退出" does; the desktop's own shortcut that runs its
# starter goes with it (GNOME, KDE).
elif [[ -x $home/bin/Quiver ]]; then
    "$home/bin/Quiver" --quit 2>/dev/null || true
    "$home/bin/Quiver" --remove-shortcut 2>/dev/null || true
fi

# The listed files, and the folders they leave empty; anything else in those folders stays.
# Shipped skins became the user's: they stay with the catalogue, and stay listed for --purge.
kept=()
folders=()
while IFS= read -r file; do
    case /$file/ in
    // | */../* | */./* | *//*) continue ;; # names only what lies inside the folder
    esac
    if [[ $file == skins/* ]] && ! $purge; then
        kept+=("$file")
        continue
    fi
    if [[ -f $home/$file || -L $home/$file ]]; then
        rm -f -- "${home:?}/$file"
    fi
    folders+=("$(dirname -- "$file")")
done <"$list"
if ((${#kept[@]})); then
    printf '%s\n' "${kept[@]}" >"$list"
else
    rm -f -- "$list"
fi
folders+=("$(dirname -- "$installed_list")")
# The catalogue, settings, icon cache, log and skins, by the names the program gives them: a
# prefix such as ~/.local may hold other people's data/ and cache/ folders.
if $purge; then
    shopt -s nullglob
    for file in "$home"/data/{config.ini,data.db,data.db-*} "$home"/cache/{cache.db,cache.db-*} \
        "$home"/skins/*.json "$home"/skins/*/bg.jpg; do
        rm -f -- "$file"
    done
    rm -rf -- "$home/cache/caches" "$home/cache/log"
    for folder in "$home"/skins/*/; do
        folders+=("skins/$(basename -- "$folder")")
    done
    shopt -u nullglob
    folders+=(data cache skins)
    rm -f -- "$list"
fi
while IFS= read -r folder; do
    (cd "$home" && rmdir -p --ignore-fail-on-non-empty -- "$folder" 2>/dev/null) || true
done < <(printf '%s\n' "${folders[@]}" | LC_ALL=C sort -ru)
$purge && rmdir -- "$home" 2>/dev/null || true

# The menu entry, icons and autostart entry, where they start this install: another install's
# and the package's stay. The autostart entry runs the starter (earlier, the program itself).
autostart=${XDG_CONFIG_HOME:-$HOME/.config}/autostart/Quiver.desktop
ours=()
for folder in "$home" "$real_home"; do
    for program in quiver Quiver; do
        ours+=(-e "Exec=$(exec_argument "$folder/bin/$program")")
    done
done
starts_this_install() {
    [[ -f $1 ]] && grep -qxF "${ours[@]}" -- "$1"
}
if starts_this_install "$autostart"; then
    rm -f -- "$autostart"
fi
menu_entry=$data/applications/quiver.desktop
if [[ ! -e $menu_entry ]] || starts_this_install "$menu_entry"; then
    rm -f -- "$menu_entry"
    for size in 48x48 64x64 128x128; do
        rm -f -- "$data/icons/hicolor/$size/apps/quiver.png"
    done
    rm -f -- "$data/icons/hicolor/scalable/apps/quiver.svg"
fi

if $purge; then
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
