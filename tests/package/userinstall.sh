#!/usr/bin/env bash
# A user's install as scripts/run.sh makes it, from a built tree, in throw-away home, data and
# config folders: installed into a folder of its own and into a prefix full of other files,
# its menu entry read and started by GIO, its starter left alone, and removed again.
#   tests/package/userinstall.sh <source folder> <build folder> <starter>
set -euo pipefail
scripts=$(cd "$1/scripts" && pwd)
build=$(cd "$2" && pwd)
starter=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home
# The data folder apart from ~/.local/share: every script must read it.
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$HOME/.config
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The program started through its entry ends at once, saying that it has no display.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
autostart=$XDG_CONFIG_HOME/autostart/Quiver.desktop

# The menu entry must pass desktop-file-validate and GIO must start the installed program
# through it (GIO drops an entry whose program it cannot find).
check_menu_entry() {
    local home=$1 output menu_entry=$XDG_DATA_HOME/applications/quiver.desktop
    if ! output=$(desktop-file-validate "$menu_entry" 2>&1) || [[ -n $output ]]; then
        fail "desktop-file-validate on the entry of $home: $output"
    fi
    if ! output=$(gio launch "$menu_entry" 2>&1); then
        fail "GIO cannot start the entry of $home: $output"
    elif [[ $output != *"Quiver: 没有可用的图形显示"* ]]; then
        fail "the entry of $home did not start its program: $output"
    fi
}
# The entry the program's "开机启动" writes for an install: its starter, in its bin/.
write_autostart() {
    mkdir -p "${autostart%/*}"
    printf '[Desktop Entry]\nType=Application\nName=Quiver\nExec="%s"\nPath=%s\n' \
        "$1/bin/quiver" "$1/bin" >"$autostart"
}

# 1. The default folder is $XDG_DATA_HOME/Quiver, for the install and the uninstall alike. The
#    uninstall takes the program, its menu entry, icons and autostart entry, and leaves the
#    catalogue and the user's skins.
home=$XDG_DATA_HOME/Quiver
menu_entry=$XDG_DATA_HOME/applications/quiver.desktop
bash "$scripts/install.sh" "$build" >/dev/null
[[ -x $home/bin/Quiver && -x $home/bin/quiver ]] || fail "no install in $home"
check_menu_entry "$home"
mkdir -p "$home/data"
echo "[Form]" >"$home/data/config.ini"
echo "{}" >"$home/skins/mine.json"
write_autostart "$home"
if ! bash "$scripts/uninstall.sh" >"$scratch/out" 2>&1; then
    fail "uninstall of $home: $(cat "$scratch/out")"
fi
for gone in bin lib lang share/icons share/quiver/quiver.desktop "$menu_entry" "$autostart" \
    "$XDG_DATA_HOME/icons/hicolor/64x64/apps/quiver.png"; do
    [[ $gone == /* ]] || gone=$home/$gone
    [[ ! -e $gone ]] || fail "$gone is left after the uninstall"
done
for kept in data/config.ini skins/mine.json skins/浅色.json skins/深色.json; do
    [[ -f $home/$kept ]] || fail "the uninstall took $kept"
done
# Another program found there later (the package's starter links its own in) is not this
# install's: a second plain uninstall neither quits it nor takes its shortcut.
mkdir -p "$home/bin"
printf '#!/bin/sh\ntouch "%s"\n' "$scratch/asked" >"$home/bin/Quiver"
chmod +x "$home/bin/Quiver"
if bash "$scripts/uninstall.sh" >/dev/null 2>&1; then fail "a second uninstall found an install"; fi
[[ ! -e $scratch/asked ]] || fail "a second uninstall ran the program found there"
rm -r "$home/bin"
# A later --purge still knows the folder for Quiver's and takes the catalogue too.
bash "$scripts/uninstall.sh" --purge >/dev/null 2>&1 || fail "purge after the uninstall refused"
[[ ! -e $home ]] || fail "$home is left after --purge: $(ls -A "$home")"

# 2. A prefix that holds everybody's files (~/.local), the data folder's too: only what the
#    install wrote goes.
prefix=$HOME/.local
export XDG_DATA_HOME=$prefix/share
others=(share/keyrings/login.keyring bin/tool lib/libother.so.1 lang/other.qm
    share/applications/other.desktop share/icons/hicolor/64x64/apps/other.png include/other.h
    data/other cache/other)
for file in "${others[@]}"; do
    mkdir -p "$prefix/$(dirname "$file")"
    echo "$file" >"$prefix/$file"
done
QUIVER_HOME=$prefix bash "$scripts/install.sh" "$build" >/dev/null
check_menu_entry "$prefix"
write_autostart "$prefix"
QUIVER_HOME=$prefix bash "$scripts/uninstall.sh" --purge >/dev/null ||
    fail "uninstall from $prefix refused"
for file in "${others[@]}"; do
    [[ -f $prefix/$file ]] || fail "the uninstall from $prefix took $file"
done
left=$(cd "$prefix" && find . -iname '*quiver*' -o -iname '*KelWidgets*' -o -name '*_zh_CN.qm')
[[ -z $left ]] || fail "left in $prefix: $left"
[[ ! -e $autostart ]] || fail "the autostart entry of $prefix is left"
export XDG_DATA_HOME=$scratch/data

# 3. A folder without an install of ours is refused, and nothing in it is touched.
mkdir -p "$scratch/elsewhere/bin" "$scratch/elsewhere/share"
touch "$scratch/elsewhere/bin/Quiver" "$scratch/elsewhere/share/x"
if QUIVER_HOME=$scratch/elsewhere bash "$scripts/uninstall.sh" >"$scratch/out" 2>&1; then
    fail "uninstall from a folder without an install succeeded: $(cat "$scratch/out")"
elif ! grep -q "no install of Quiver" "$scratch/out"; then
    fail "the refusal does not say why: $(cat "$scratch/out")"
fi
[[ -f $scratch/elsewhere/bin/Quiver && -f $scratch/elsewhere/share/x ]] ||
    fail "the refused uninstall removed files"

# 4. Another install's autostart and menu entries are not this one's to take.
QUIVER_HOME=$scratch/first bash "$scripts/install.sh" "$build" >/dev/null
QUIVER_HOME=$scratch/second bash "$scripts/install.sh" "$build" >/dev/null
write_autostart "$scratch/second"
QUIVER_HOME=$scratch/first bash "$scripts/uninstall.sh" >/dev/null
[[ -f $autostart && -f $menu_entry ]] || fail "uninstalling one install took the other's entries"
QUIVER_HOME=$scratch/second bash "$scripts/uninstall.sh" >/dev/null
[[ ! -e $autostart && ! -e $menu_entry ]] || fail "the second install's entries are left"

# 5. Folders of any name: what is installed is started by GIO; an install the desktop could
#    not start is refused before anything is written, and says why. (CMake installs into no
#    folder whose name holds a backslash.)
for name in ' odd "dir" $HOME `id`' '100% sure'; do
    home=$scratch/$name
    rm -f "$menu_entry"
    if QUIVER_HOME=$home bash "$scripts/install.sh" "$build" >"$scratch/out" 2>&1; then
        check_menu_entry "$home"
        QUIVER_HOME=$home bash "$scripts/uninstall.sh" >/dev/null || fail "uninstall of $home"
    else
        grep -q '"%"' "$scratch/out" || fail "install into $home refused without saying why:" \
            "$(cat "$scratch/out")"
        [[ ! -e $home && ! -e $menu_entry ]] || fail "the refused install into $home wrote files"
    fi
done

# 6. A starter that finds no program (an install taken away, the package removed) ends quietly:
#    it is what an autostart entry or a desktop shortcut left behind runs.
if [[ -e /usr/lib/quiver/quiver-user ]]; then
    echo "the package is installed here: its starter would run; not checked" >&2
else
    mkdir -p "$scratch/lone"
    cp "$starter" "$scratch/lone/quiver"
    if ! output=$("$scratch/lone/quiver" --show 2>&1) || [[ -n $output ]]; then
        fail "the starter without a program did not end quietly: $output"
    fi
fi

((failures == 0)) || exit 1
echo "the user's install: all checks passed"
