#!/usr/bin/env bash
# im-session.sh <fcitx5|ibus> <command> [args…]
#
# Runs the command inside a throw-away desktop session with a Chinese input method switched to
# pinyin: its own HOME and XDG folders, its own D-Bus session bus, Xvfb and openbox unless DISPLAY
# names a server, and the input method daemon, configured so that what a key sequence composes
# depends on nothing but the keys (no cloud, no prediction, no learned history from earlier
# runs). The command sees QT_IM_MODULE, XMODIFIERS, GTK_IM_MODULE and QUIVER_TEST_IM=<name>;
# its exit status is the script's. Everything is torn down afterwards, also when a step fails.
# Exits 77 (CTest's skip code) where the input method is not installed.
#
# QUIVER_IM_KEEP=1 keeps the temporary folder (logs, configuration) and prints its path.
set -euo pipefail

usage() {
    echo "usage: $0 <fcitx5|ibus> <command> [args…]" >&2
    exit 2
}
[[ $# -ge 2 ]] || usage
im=$1
shift

skip() {
    echo "im-session: skipped: $*" >&2
    exit 77
}

needs=(dbus-daemon dbus-send xprop)
case "$im" in
fcitx5)
    needs+=(fcitx5 fcitx5-remote)
    qt_plugin=libfcitx5platforminputcontextplugin.so
    ;;
ibus)
    needs+=(ibus-daemon ibus dconf)
    qt_plugin=libibusplatforminputcontextplugin.so
    ;;
*) usage ;;
esac
[[ -n "${DISPLAY:-}" ]] || needs+=(Xvfb)
needs+=(openbox)
for program in "${needs[@]}"; do
    command -v "$program" >/dev/null || skip "$program is missing (bash scripts/deps.sh inputmethods)"
done
# The engines and Qt's plugins are no commands of their own: look for their files.
compgen -G "/usr/lib/*/qt5/plugins/platforminputcontexts/$qt_plugin" >/dev/null ||
    skip "Qt 5's $im plugin is missing (bash scripts/deps.sh inputmethods)"
if [[ $im == fcitx5 ]]; then
    [[ -e /usr/share/fcitx5/inputmethod/pinyin.conf ]] ||
        skip "fcitx5's pinyin engine is missing (bash scripts/deps.sh inputmethods)"
else
    [[ -e /usr/share/ibus/component/libpinyin.xml ]] ||
        skip "ibus-libpinyin is missing (bash scripts/deps.sh inputmethods)"
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/quiver-im.XXXXXX")
pids=()
cleanup() {
    local status=$?
    # Newest first: the daemon before the bus and the display it talks to.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
    done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        wait_gone "${pids[i]}" || kill -KILL "${pids[i]}" 2>/dev/null || true
    done
    if [[ "${QUIVER_IM_KEEP:-}" == 1 ]]; then
        echo "im-session: kept $root" >&2
    else
        rm -rf "$root"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Polls a condition (a command) every 50 ms for at most the given seconds.
wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 20))
    while ((tries-- > 0)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
alive() { kill -0 "$1" 2>/dev/null; }
wait_gone() {
    local tries=100
    while ((tries-- > 0)); do
        alive "$1" || return 0
        sleep 0.05
    done
    return 1
}
fail() {
    echo "im-session: $* (DISPLAY=${DISPLAY:-})" >&2
    for log in "$root"/*.log; do
        [[ -s "$log" ]] && { echo "--- ${log##*/}" >&2; tail -n 30 "$log" >&2; }
    done
    exit 1
}

# Every file a daemon writes stays below the temporary folder.
export HOME=$root/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
export XDG_RUNTIME_DIR=$root/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS IBUS_ADDRESS SESSION_MANAGER

# A bus that activates dconf (IBus keeps its settings there) and nothing else, so nothing the
# machine offers on a desktop bus, such as the other input method, starts behind our back.
mkdir -p "$root/dbus-services"
cp /usr/share/dbus-1/services/ca.desrt.dconf.service "$root/dbus-services/" 2>/dev/null || true
cat >"$root/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$root/bus</listen>
  <servicedir>$root/dbus-services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$root/bus.conf" --nofork --nopidfile >"$root/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$root/bus
wait_for 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetId || fail "the D-Bus session did not come up"

# A display number nothing holds: no lock file, no socket file and no abstract socket, which is
# all that an Xwayland of a Wayland compositor leaves.
display_free() {
    [[ ! -e /tmp/.X$1-lock && ! -e /tmp/.X11-unix/X$1 ]] &&
        ! grep -q "@/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}
start_xvfb() {
    local display=$1
    : >"$root/display"
    exec {displayfd}>"$root/display"
    # -displayfd writes the number once the server accepts clients. -noreset: the server would
    # otherwise reset when the probe before the window manager disconnects, and refuse the
    # window manager meanwhile.
    Xvfb ":$display" -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp -noreset \
        >"$root/xvfb.log" 2>&1 &
    local pid=$!
    exec {displayfd}>&-
    if wait_for 15 bash -c "[[ -s '$root/display' ]] || ! kill -0 $pid" && kill -0 "$pid" 2>/dev/null &&
        [[ -s "$root/display" ]]; then
        pids+=("$pid")
        return 0
    fi
    kill "$pid" 2>/dev/null || true
    return 1
}
if [[ -z "${DISPLAY:-}" ]]; then
    # Away from the low numbers other servers take first; another try where one wins a race.
    display=$((20 + RANDOM % 60))
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        display_free "$display" && start_xvfb "$display" && break
        display=$((display + 1))
    done
    [[ -s "$root/display" ]] || fail "Xvfb did not come up"
    export DISPLAY=:$display
fi

# A live EWMH window manager names a child of the root that names itself.
has_window_manager() {
    local child
    child=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*') || return 1
    xprop -id "$child" -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "$child"
}
if ! has_window_manager; then
    openbox --sm-disable >"$root/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 10 has_window_manager || fail "openbox did not come up"
fi

start_fcitx5() {
    local config=$XDG_CONFIG_HOME/fcitx5
    mkdir -p "$config/conf"
    # Latin keyboard first, pinyin second: the input method starts off, and switching it on
    # means pinyin.
    cat >"$config/profile" <<'EOF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=pinyin
Layout=

[GroupOrder]
0=Default
EOF
    # Fcitx5's own defaults for the switch keys (Ctrl+Space, Shift); each window keeps its own
    # state, as on a user's desktop. No popup naming the input method after a switch: it is a
    # window of its own that could get in the way of the test's.
    cat >"$config/config" <<'EOF'
[Hotkey]
EnumerateWithTriggerKeys=True

[Hotkey/TriggerKeys]
0=Control+space

[Behavior]
ActiveByDefault=False
ShareInputState=No
ShowInputMethodInformation=False
EOF
    # No cloud, no first-run question, no prediction after a commit, nothing but the system
    # dictionary in the candidates.
    cat >"$config/conf/pinyin.conf" <<'EOF'
FirstRun=False
CloudPinyinEnabled=False
Prediction=False
SpellEnabled=False
EmojiEnabled=False
ChaiziEnabled=False
ExtBEnabled=False
EOF
    # Qt talks to it over D-Bus: no XIM, no IBus or fcitx4 look-alike, no tray icon.
    fcitx5 --disable=cloudpinyin,notificationitem,kimpanel,ibusfrontend,fcitx4frontend,xim,wayland,waylandim \
        >"$root/fcitx5.log" 2>&1 &
    pids+=($!)
    # Its D-Bus controller answers once the input methods are loaded.
    wait_for 20 bash -c 'dbus-send --session --print-reply --dest=org.fcitx.Fcitx5 /controller \
        org.fcitx.Fcitx.Controller1.AvailableInputMethods | grep -q "\"pinyin\""' ||
        fail "fcitx5 does not offer pinyin"
    export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx GTK_IM_MODULE=fcitx
}

start_ibus() {
    # Settings live in dconf under the temporary HOME. libpinyin is the only engine besides the
    # Latin keyboard, starts in Chinese, and neither learns from what is typed nor adds cloud,
    # English, emoji, Lua or suggestion candidates.
    local general=/desktop/ibus/general libpinyin=/com/github/libpinyin/ibus-libpinyin/libpinyin
    local key value
    while read -r key value; do
        dconf write "$key" "$value" || fail "dconf write $key failed"
    done <<EOF
$general/preload-engines ['xkb:us::eng', 'libpinyin']
$general/engines-order ['xkb:us::eng', 'libpinyin']
$general/use-global-engine true
$libpinyin/init-chinese true
$libpinyin/enable-cloud-input false
$libpinyin/dynamic-adjust false
$libpinyin/remember-every-input false
$libpinyin/suggestion-candidate false
$libpinyin/english-candidate false
$libpinyin/emoji-candidate false
$libpinyin/lua-extension false
$libpinyin/fuzzy-pinyin false
EOF
    # No panel (its menus are GTK windows of their own) and no emoji window.
    ibus-daemon --replace --panel=disable --emoji-extension=disable --cache=refresh \
        >"$root/ibus.log" 2>&1 &
    pids+=($!)
    wait_for 20 bash -c 'ibus list-engine --name-only | grep -qx libpinyin' ||
        fail "ibus-daemon did not come up with libpinyin"
    # The Latin keyboard is the global engine until a test switches to pinyin.
    wait_for 10 ibus engine xkb:us::eng || fail "ibus has no Latin keyboard engine"
    IBUS_ADDRESS=$(ibus address)
    export IBUS_ADDRESS QT_IM_MODULE=ibus XMODIFIERS=@im=ibus GTK_IM_MODULE=ibus
}

"start_$im"
export QUIVER_TEST_IM=$im

# Run the command in the background so a TERM reaching this script still tears down.
set +e
"$@" &
pids+=($!)
wait "${pids[-1]}"
status=$?
set -e
exit "$status"
