#!/usr/bin/env bash
# Runs a command on an X server with two screens side by side, 1366 x 768 each: Xephyr nested in
# the current display, its heads told through Xinerama (RandR off, so that Qt reads them there).
#   twoscreens.sh <command> [args…]      exits 77 when it cannot run here
set -uo pipefail
if [[ -z "${DISPLAY:-}" ]] || ! command -v Xephyr >/dev/null; then
    echo "twoscreens.sh: needs an X server and Xephyr (package xserver-xephyr)" >&2
    exit 77
fi
for number in $(seq 60 99); do
    [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]] || break
done
Xephyr ":$number" -extension RANDR +xinerama -screen 1366x768 -screen 1366x768 -no-host-grab \
    -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
for _ in $(seq 100); do
    [[ -S /tmp/.X11-unix/X$number ]] && DISPLAY=":$number" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY=":$number" "$@"
