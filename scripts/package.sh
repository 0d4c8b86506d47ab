#!/usr/bin/env bash
# Builds the Debian package quiver_<version>_<arch>.deb and checks it with lintian:
#   scripts/package.sh [build folder] [output folder]
# Without a build folder a release tree is built in build/package. The package puts the program
# under /usr/lib/quiver, the starter /usr/bin/quiver (which keeps each user's catalogue in
# $XDG_DATA_HOME/Quiver, ~/.local/share/Quiver), the menu entry and icons under /usr/share. Its
# copyright and changelog are resources/debian/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package

build=${1:-build/package/tree}
out=$(mkdir -p "${2:-build/package}" && cd "${2:-build/package}" && pwd)
if [[ $# -lt 1 ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUIVER_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --parallel "$(nproc)"
fi
version=$(sed -n 's/^project(Quiver VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
chmod 755 "$stage"
trap 'rm -rf "$stage"' EXIT
umask 022

cmake --install "$build" --prefix "$stage/usr/lib/quiver" --component Runtime --strip >/dev/null
# The icons belong to the desktop's theme; the package's own starter replaces the per-folder one.
mkdir -p "$stage/usr/share"
mv "$stage/usr/lib/quiver/share/icons" "$stage/usr/share/icons"
rm -rf "$stage/usr/lib/quiver/share"
# The starter on PATH hands commands to the running instance itself; to start, it runs the
# script that prepares the user's folder.
install -d "$stage/usr/bin"
mv "$stage/usr/lib/quiver/bin/quiver" "$stage/usr/bin/quiver"
# Qt's Chinese texts are Debian's own (qttranslations5-l10n, under its licence): the package
# uses them where that package installs them rather than shipping copies.
for qm in "$stage"/usr/lib/quiver/lang/*.qm; do
    name=${qm##*/}
    if [[ ! -f /usr/share/qt5/translations/$name ]]; then
        echo "/usr/share/qt5/translations/$name is missing (package qttranslations5-l10n)" >&2
        exit 1
    fi
    ln -sf "../../../share/qt5/translations/$name" "$qm"
done
install -m 755 resources/desktop/quiver-user.sh "$stage/usr/lib/quiver/quiver-user"

install -d "$stage/usr/share/applications"
{
    cat resources/desktop/quiver.desktop
    echo "Exec=quiver"
} > "$stage/usr/share/applications/quiver.desktop"

install -d "$stage/usr/share/man/man1"
gzip -9n < resources/desktop/quiver.1 > "$stage/usr/share/man/man1/quiver.1.gz"

doc=$stage/usr/share/doc/quiver
install -d "$doc"
install -m 644 resources/debian/copyright "$doc/copyright"
# One entry per version, each for Debian 12; a version without its entry is no package.
changelog=resources/debian/changelog
if [[ $(dpkg-parsechangelog -l "$changelog" -S Version) != "$version" ]]; then
    echo "$changelog has no entry for version $version" >&2
    exit 1
fi
if dpkg-parsechangelog -l "$changelog" --all -S Distribution | grep -vqx bookworm; then
    echo "$changelog has an entry for another distribution than bookworm" >&2
    exit 1
fi
gzip -9n <"$changelog" >"$doc/changelog.gz"

# The libraries the binaries load, as dpkg-shlibdeps finds them; the SQLite and SVG plugins
# Qt loads at run time, Qt's Chinese texts and a font with Chinese characters are named by hand:
# without the font every Chinese text is a row of empty boxes.
shlibs=$(mktemp -d)
mkdir -p "$shlibs/debian"
printf 'Source: quiver\n\nPackage: quiver\nArchitecture: any\n' > "$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O --ignore-missing-info \
    -l"$stage/usr/lib/quiver/lib" \
    "$stage/usr/lib/quiver/bin/Quiver" "$stage"/usr/lib/quiver/lib/libKelWidgets.so.* 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
rm -rf "$shlibs"

install -d "$stage/DEBIAN"
cat > "$stage/DEBIAN/control" <<CONTROL
Package: quiver
Version: $version
Architecture: $arch
Maintainer: Quiver developers <quiver@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends, libqt5sql5-sqlite, libqt5svg5, qttranslations5-l10n, fonts-wqy-microhei | fonts-noto-cjk
Recommends: pkexec
Section: utils
Priority: optional
Description: quick launcher for programs, documents, folders and web addresses
 Quiver keeps a catalogue of things to start, sorted into types and groups,
 and starts them with a click, a global hotkey or a search box that
 understands pinyin.
CONTROL

# Removing the package takes away the desktop shortcut that runs /usr/bin/quiver, for every user
# whose session can be reached.
cat > "$stage/DEBIAN/prerm" <<'PRERM'
#!/bin/sh
set -e
# Every user with a running session: "--remove-shortcut" takes away only a shortcut that runs
# this package's /usr/bin/quiver, so other installs' stay.
if [ "$1" = remove ]; then
    for bus in /run/user/*/bus; do
        [ -S "$bus" ] || continue
        uid=${bus#/run/user/}
        uid=${uid%/bus}
        [ "$uid" != 0 ] || continue
        user=$(id -nu "$uid" 2>/dev/null) || continue
        home=$(getent passwd "$user" | cut -d: -f6)
        runuser -u "$user" -- env HOME="$home" XDG_RUNTIME_DIR="/run/user/$uid" \
            DBUS_SESSION_BUS_ADDRESS="unix:path=$bus" \
            /usr/lib/quiver/bin/Quiver --remove-shortcut >/dev/null 2>&1 || true
    done
fi
PRERM
chmod 755 "$stage/DEBIAN/prerm"

# dpkg --verify and debsums check the installed files against these.
(cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) \
    >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/md5sums"

deb=$out/quiver_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
# Errors fail the build; warnings are shown.
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || {
    echo "lintian found errors in $deb" >&2
    exit 1
}
