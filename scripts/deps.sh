#!/usr/bin/env bash
# Installs the Debian packages Quiver needs to build, run and test, skipping what is present.
# "scripts/deps.sh package" adds what builds and checks the Debian package;
# "scripts/deps.sh test" adds that too, clang and its libFuzzer runtime for the fuzz targets, and the
# X test extension the benchmarks press keys with, openssl for the local HTTPS server,
# desktop-file-validate for the entries the program and the install write, and GIO's command line
# tool that starts them as the desktop does.
# "scripts/deps.sh inputmethods" adds the Chinese input methods the typing tests go through:
# fcitx5 with its pinyin engine and IBus with libpinyin, each with what its Qt 5 frontend needs.
# "scripts/deps.sh desktops" (and "test") adds the desktops tests/desktops runs headless: GNOME Shell
# with its media-keys daemon, KWin with its global shortcuts and Plasma's title bars, the Wayland
# protocol files the key injection is generated from, and the tools that set them up.
set -euo pipefail

packages=(
    build-essential cmake
    qtbase5-dev qtbase5-private-dev libqt5sql5-sqlite libqt5svg5-dev libqt5x11extras5-dev
    libeasyloggingpp-dev libx11-dev libglib2.0-dev pkg-config shared-mime-info libmuparser-dev
    qttranslations5-l10n fonts-wqy-microhei unicode-data bzip2
    xvfb xauth xdotool openbox trayer xclip
)
[[ "${1:-}" == "test" || "${1:-}" == "package" ]] && packages+=(dpkg-dev lintian)
[[ "${1:-}" == "test" ]] && packages+=(clang libclang-rt-14-dev libxtst-dev openssl desktop-file-utils
    xserver-xephyr x11-utils time libglib2.0-bin)
[[ "${1:-}" == "test" || "${1:-}" == "inputmethods" ]] && packages+=(
    fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt5
    ibus ibus-libpinyin dconf-cli dconf-service
    dbus x11-utils libxtst-dev
)
[[ "${1:-}" == "test" || "${1:-}" == "desktops" ]] && packages+=(
    libxtst-dev xwayland dbus libglib2.0-bin x11-utils iproute2 procps
    gnome-shell gnome-settings-daemon dconf-service
    kwin-wayland kwin-style-breeze libkf5globalaccel-bin
    libwayland-dev wayland-protocols plasma-wayland-protocols
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
