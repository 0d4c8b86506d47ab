#!/usr/bin/env bash
# Runs a command inside a throw-away desktop session, headless:
#   session.sh <gnome|kwin|openbox> <command> [args…]
# gnome: GNOME Shell on Wayland with Xwayland and gsd-media-keys; kwin: KWin on Wayland with
# Xwayland and its built-in KGlobalAccel; openbox: Xvfb with openbox. The command gets DISPLAY,
# XAUTHORITY, WAYLAND_DISPLAY (not on openbox), DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR,
# XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CURRENT_DESKTOP, XDG_SESSION_TYPE and QUIVER_TEST_DESKTOP.
#
# The session lives in its own mount, PID and network namespaces: /tmp is a private folder (so
# X sockets, lock files and the throw-away home never meet the machine's), only loopback is up,
# and when the session ends the kernel ends every process that was started in it.
#
# Exit status: the command's; 77 when the desktop cannot run here (the reason is printed), unless
# QUIVER_SESSION_REQUIRED=1 makes that a failure (1); 124 when the command outlived
# QUIVER_SESSION_TIMEOUT seconds (default 150). QUIVER_SESSION_KEEP=1 keeps the session's
# folder with the desktop's logs; on failure the logs' tails are printed anyway.
set -uo pipefail

readonly skip=77
readonly here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly self="$here/$(basename "${BASH_SOURCE[0]}")"

say() { echo "session.sh: $*" >&2; }

cannot() {
    say "cannot run the $desktop desktop here: $*"
    [[ "${QUIVER_SESSION_REQUIRED:-0}" == 1 ]] && exit 1
    exit $skip
}

# Polls a condition every tenth of a second for up to $1 seconds. Conditions keep quiet
# themselves, so that one may stop the start with the reason (see alive).
wait_for() {
    local limit=$(($1 * 10)) i
    shift
    for ((i = 0; i < limit; ++i)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

now() { date +%s%3N; }
since() {
    local ms=$(($(now) - $1))
    echo "$((ms / 1000)).$((ms % 1000 / 100))"
}

# ----- Outside: check what the desktop needs, then enter the namespaces. -----------------------
if [[ "${1:-}" != --inside ]]; then
    if [[ $# -lt 2 ]]; then
        echo "usage: session.sh <gnome|kwin|openbox> <command> [args…]" >&2
        exit 2
    fi
    desktop=$1
    case "$desktop" in
    gnome) needs=(gnome-shell Xwayland gsettings gdbus /usr/libexec/gsd-media-keys) ;;
    kwin) needs=(kwin_wayland Xwayland gdbus) ;;
    openbox) needs=(Xvfb openbox xprop gdbus) ;;
    *)
        echo "session.sh: unknown desktop '$desktop' (gnome, kwin or openbox)" >&2
        exit 2
        ;;
    esac
    for tool in dbus-daemon unshare flock pkill ip xauth mcookie xdpyinfo timeout "${needs[@]}"; do
        command -v "$tool" >/dev/null || cannot "$tool is not installed (scripts/deps.sh desktops)"
    done

    # Root can make the namespaces itself; anyone else needs user namespaces.
    namespaces=(--mount --pid --net --fork --kill-child --mount-proc)
    [[ $(id -u) -eq 0 ]] || namespaces=(--map-root-user "${namespaces[@]}")
    unshare "${namespaces[@]}" true 2>/dev/null ||
        cannot "unshare cannot make mount, PID and network namespaces"

    # A session's folder is locked while it runs. One left by a session.sh that was killed
    # outright (its processes died with the namespace) goes the next time; the age spares a
    # folder whose session is just being made.
    find "${TMPDIR:-/tmp}" -maxdepth 1 -name 'quiver-desktop.*' -mmin +5 -print0 2>/dev/null |
        while IFS= read -r -d '' stale; do
            flock -n "$stale/lock" true 2>/dev/null && rm -rf "$stale"
        done
    root=$(mktemp -d "${TMPDIR:-/tmp}/quiver-desktop.XXXXXX")
    exec {lock}>"$root/lock"
    flock "$lock"
    command=$2
    shift 2
    [[ "$command" == */* ]] || command=$(command -v "$command") || command=$2
    # A command (and the checkout it comes from) under the machine's /tmp stays where it is: its
    # top folder there is carried into the session's own /tmp.
    carried=
    case "$(realpath -m "$command")" in
    /tmp/*)
        carried=$(realpath -m "$command")
        carried=${carried#/tmp/}
        carried=${carried%%/*}
        case "$carried" in
        home | run | log | bin | .X11-unix)
            say "the session keeps /tmp/$carried for itself: put $command elsewhere"
            exit 2
            ;;
        esac
        ;;
    esac
    export QUIVER_SESSION_CARRIED=$carried

    unshare "${namespaces[@]}" bash "$self" --inside "$root" "$desktop" "$command" "$@" <&0 &
    session=$!
    # A stop of ours ends the session too. unshare ignores TERM while it waits, so the session's
    # own first process is asked to tear down; if it does not, killing unshare ends the namespace
    # (--kill-child) and with it every process in it.
    stop() {
        pkill -TERM -P "$session"
        for ((i = 0; i < 80; ++i)); do
            kill -0 "$session" 2>/dev/null || return
            sleep 0.1
        done
        kill -KILL "$session" 2>/dev/null
    }
    trap stop INT TERM HUP
    wait "$session"
    status=$?
    # The first wait returns early when a trapped signal arrives.
    while kill -0 "$session" 2>/dev/null; do
        wait "$session"
        status=$?
    done
    if [[ "${QUIVER_SESSION_KEEP:-0}" == 1 ]]; then
        say "kept $root"
    else
        rm -rf "$root"
    fi
    exit $status
fi

# ----- Inside: PID 1 of the session's namespaces. ---------------------------------------------
shift
root=$1 desktop=$2
shift 2
started=$(now)

ip link set lo up
mount --make-rprivate /
mkdir -p "$root/tmp"
chmod 1777 "$root/tmp"
if [[ -n "${QUIVER_SESSION_CARRIED:-}" ]]; then
    mkdir -p "$root/tmp/$QUIVER_SESSION_CARRIED"
    mount --rbind "/tmp/$QUIVER_SESSION_CARRIED" "$root/tmp/$QUIVER_SESSION_CARRIED"
fi
mount --rbind "$root/tmp" /tmp
# Mutter refuses an X socket folder that is not world-writable and sticky, as tmpfiles makes it.
install -d -m 1777 /tmp/.X11-unix

export HOME=/tmp/home
export XDG_RUNTIME_DIR=/tmp/run
export XDG_CONFIG_HOME=$HOME/.config
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache
export XDG_STATE_HOME=$HOME/.local/state
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" /tmp/log
install -d -m 700 "$XDG_RUNTIME_DIR"
logs=/tmp/log
export QUIVER_TEST_DESKTOP=$desktop
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
unset SESSION_MANAGER XDG_SESSION_ID XDG_SEAT XDG_VTNR QT_QPA_PLATFORM GDK_BACKEND

# Whether any process but this one is left in the session.
others() {
    local process
    for process in /proc/[0-9]*; do
        [[ "${process#/proc/}" != 1 ]] && return 0
    done
    return 1
}

teardown() {
    local status=$?
    trap - EXIT
    # A desktop that did not start (77) tells why in its log too.
    if [[ $status -ne 0 ]]; then
        for log in "$logs"/*.log; do
            [[ -s "$log" && "$log" != *-bus.log ]] || continue
            say "last lines of $(basename "$log"):"
            tail -n 25 "$log" | sed 's/^/    /' >&2
        done
    fi
    # As PID 1 this reaches every process of the session, and only those. What ignores the
    # polite request dies with the namespace when this shell exits.
    kill -TERM -1 2>/dev/null
    local i
    for ((i = 0; i < 50; ++i)); do
        others || break
        sleep 0.1
    done
    exit $status
}
trap teardown EXIT
trap 'exit 143' TERM INT HUP

# A cookie for any display number: the X server is only started once the file exists.
export XAUTHORITY=$XDG_RUNTIME_DIR/Xauthority
install -m 600 /dev/null "$XAUTHORITY"
echo "ffff 0000  0000  0012 4d49542d4d414749432d434f4f4b49452d31  0010 $(mcookie)" |
    xauth -q -f "$XAUTHORITY" nmerge -

bus_has() { gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetNameOwner "$1" >/dev/null 2>&1; }
x_up() { xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; }
# Stops the start at once when the desktop's process <pid> has exited; <name>'s <log> says why.
alive() {
    kill -0 "$1" 2>/dev/null || cannot "$2 exited: $(tail -n 1 "$3")"
}

start_bus() { # <address file> <log>
    dbus-daemon --session --nofork --address="unix:path=$1" >"$2" 2>&1 &
    wait_for 10 test -S "$1"
}

start_bus "$XDG_RUNTIME_DIR/bus" "$logs/session-bus.log" || cannot "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
wait_for 10 bus_has org.freedesktop.DBus || cannot "the session bus does not answer"

start_gnome() {
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome
    export DESKTOP_SESSION=gnome WAYLAND_DISPLAY=wayland-0
    # Without a system bus the shell dies in its logind client; an empty one is enough.
    start_bus /tmp/system-bus "$logs/system-bus.log" || cannot "the system bus stand-in did not start"
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/tmp/system-bus

    # GNOME 43 has no --unsafe-mode; this extension turns it on, so that tests can read the
    # shell's state through org.gnome.Shell.Eval. It also leaves the overview the shell opens at
    # start, where typed keys would go to its search field.
    local extension=$XDG_DATA_HOME/gnome-shell/extensions/unsafe-mode@quiver.test
    mkdir -p "$extension"
    cat >"$extension/metadata.json" <<'EOF'
{"uuid": "unsafe-mode@quiver.test", "name": "Unsafe mode", "description": "For tests",
 "shell-version": ["43"]}
EOF
    cat >"$extension/extension.js" <<'EOF'
const Main = imports.ui.main;
let startup = 0;
function init() {}
function enable() {
    global.context.unsafe_mode = true;
    if (Main.layoutManager._startingUp)
        startup = Main.layoutManager.connect('startup-complete', () => Main.overview.hide());
    else
        Main.overview.hide();
}
function disable() {
    if (startup)
        Main.layoutManager.disconnect(startup);
    startup = 0;
    global.context.unsafe_mode = false;
}
EOF
    gsettings set org.gnome.shell enabled-extensions "['unsafe-mode@quiver.test']" &&
        gsettings set org.gnome.shell disable-extension-version-validation true &&
        gsettings set org.gnome.shell welcome-dialog-last-shown-version "'999'" &&
        gsettings set org.gnome.desktop.session idle-delay 0 ||
        cannot "GSettings cannot be written (dconf-service?)"

    gnome-shell --headless --wayland --virtual-monitor 1280x800 --wayland-display="$WAYLAND_DISPLAY" \
        >"$logs/gnome-shell.log" 2>&1 &
    local shell=$! log=$logs/gnome-shell.log
    # Mutter names the Xwayland display and writes its own cookie file once Xwayland is up.
    xwayland_auth() { alive $shell "GNOME Shell" "$log" && compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" >/dev/null; }
    wait_for 60 xwayland_auth || cannot "GNOME Shell started no Xwayland"
    XAUTHORITY=$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" | head -n 1)
    local display
    display=$(grep -oE 'Using public X11 display :[0-9]+' "$logs/gnome-shell.log" | grep -oE '[0-9]+$')
    export DISPLAY=:${display:-0}
    wait_for 30 x_up || cannot "Xwayland on $DISPLAY does not answer"
    shell_ready() {
        alive $shell "GNOME Shell" "$log" &&
            gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval \
                '!imports.ui.main.layoutManager._startingUp && !imports.ui.main.overview.visible' \
                2>/dev/null | grep -qF "(true, 'true')"
    }
    wait_for 60 shell_ready || cannot "GNOME Shell did not finish starting"
    wait_for 10 bus_has org.gnome.Mutter.RemoteDesktop || cannot "Mutter offers no remote desktop API"

    # Custom keybindings are gsd-media-keys' work: it asks the shell to grab them.
    /usr/libexec/gsd-media-keys >"$logs/gsd-media-keys.log" 2>&1 &
    local keys=$!
    keys_up() { alive $keys gsd-media-keys "$logs/gsd-media-keys.log" && bus_has org.gnome.SettingsDaemon.MediaKeys; }
    wait_for 30 keys_up || cannot "gsd-media-keys did not start"
}

start_kwin() {
    export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=KDE
    export DESKTOP_SESSION=plasmawayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
    export WAYLAND_DISPLAY=wayland-0
    # Lets any client use fake input, the way tests inject keys.
    export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
    # The installed binary carries a file capability that a container may refuse to grant; a
    # plain copy lacks it and runs anywhere.
    mkdir -p /tmp/bin
    cp "$(command -v kwin_wayland)" /tmp/bin/kwin_wayland
    # KWin starts this once Xwayland is up, with the display it chose.
    cat >/tmp/bin/kwin-ready <<'EOF'
#!/bin/sh
echo "$DISPLAY" >/tmp/kwin-display.new && mv /tmp/kwin-display.new /tmp/kwin-display
EOF
    chmod +x /tmp/bin/kwin-ready
    /tmp/bin/kwin_wayland --virtual --xwayland --width 1280 --height 800 --no-lockscreen \
        --socket "$WAYLAND_DISPLAY" --xwayland-xauthority "$XAUTHORITY" /tmp/bin/kwin-ready \
        >"$logs/kwin.log" 2>&1 &
    local kwin=$!
    xwayland_up() { alive $kwin KWin "$logs/kwin.log" && test -s /tmp/kwin-display; }
    wait_for 60 xwayland_up || cannot "KWin started no Xwayland"
    export DISPLAY=$(cat /tmp/kwin-display)
    wait_for 30 x_up || cannot "Xwayland on $DISPLAY does not answer"
    accel_up() { alive $kwin KWin "$logs/kwin.log" && bus_has org.kde.kglobalaccel; }
    wait_for 30 accel_up || cannot "KWin offers no KGlobalAccel"
}

start_openbox() {
    export XDG_CURRENT_DESKTOP=openbox XDG_SESSION_TYPE=x11 XDG_SESSION_DESKTOP=openbox
    export DESKTOP_SESSION=openbox
    # -noreset: by default Xvfb resets when its last client leaves, and refuses the next one for
    # a moment, such as openbox right after the readiness check.
    Xvfb -displayfd 1 -screen 0 1280x800x24 -auth "$XAUTHORITY" -nolisten tcp -noreset \
        >/tmp/xvfb-display 2>"$logs/xvfb.log" &
    local xvfb=$!
    xvfb_up() { alive $xvfb Xvfb "$logs/xvfb.log" && test -s /tmp/xvfb-display; }
    wait_for 30 xvfb_up || cannot "Xvfb did not start"
    export DISPLAY=:$(head -n 1 /tmp/xvfb-display)
    wait_for 30 x_up || cannot "Xvfb on $DISPLAY does not answer"
    openbox --sm-disable >"$logs/openbox.log" 2>&1 &
    local openbox=$!
    # openbox names its check window on the root once it manages the screen.
    wm_up() {
        alive $openbox openbox "$logs/openbox.log" &&
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
    }
    wait_for 30 wm_up || cannot "openbox did not start"
}

"start_$desktop"
say "$desktop is ready after $(since "$started") s (DISPLAY=$DISPLAY${WAYLAND_DISPLAY:+ WAYLAND_DISPLAY=$WAYLAND_DISPLAY})"

# Never outlive CTest's own limit: a killed session.sh could tear nothing down.
ran=$(now)
# In the background: a shell runs no trap while it waits for a foreground command.
timeout --kill-after=5 "${QUIVER_SESSION_TIMEOUT:-150}" "$@" <&0 &
wait $!
status=$?
[[ $status -eq 124 ]] && say "the command did not finish within ${QUIVER_SESSION_TIMEOUT:-150} s"
say "the command ran $(since "$ran") s and exited with $status"
exit $status
