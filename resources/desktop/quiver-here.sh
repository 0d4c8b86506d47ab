#!/bin/sh
# Starts Quiver from its own folder, wherever it is called from (a desktop shortcut running
# "quiver --toggle", say): the program finds its data beside that folder.
here=$(dirname "$(readlink -f "$0")")
cd "$here" || exit 1
exec ./Quiver "$@"
