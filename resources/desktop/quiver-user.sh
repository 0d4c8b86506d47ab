#!/bin/sh
# The packaged starter. The program keeps its catalogue beside the folder it runs in, so each
# user gets a folder of their own, with links to the installed program and translations and
# the shipped skins they do not have yet; the command line passes through.
set -e
program=/usr/lib/quiver
home=${XDG_DATA_HOME:-$HOME/.local/share}/Quiver
mkdir -p "$home/bin" "$home/skins"
# Links only where nothing is or a link already is: a folder that holds a program built from
# source keeps it, and that program is the one started.
for name in bin/Quiver lang; do
    if [ -L "$home/$name" ] || [ ! -e "$home/$name" ]; then
        ln -sfn "$program/$name" "$home/$name"
    fi
done
for skin in "$program"/skins/*.json; do
    [ -e "$home/skins/${skin##*/}" ] || cp "$skin" "$home/skins/"
done
cd "$home/bin"
exec ./Quiver "$@"
