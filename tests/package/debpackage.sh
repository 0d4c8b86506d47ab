#!/usr/bin/env bash
# The Debian package as scripts/package.sh builds it from a built tree (lintian must find no
# error): what it depends on, what it ships and under which licence, its changelog, and the
# checksums dpkg verifies its files against.
#   tests/package/debpackage.sh <source folder> <build folder>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

bash "$source_dir/scripts/package.sh" "$build" "$scratch" >"$scratch/package.log" 2>&1 || {
    cat "$scratch/package.log" >&2
    exit 1
}
deb=$(echo "$scratch"/quiver_*.deb)
root=$scratch/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$scratch/control"

# Chinese text needs a font with its characters: without one installed, every Chinese text is a
# row of empty boxes, so no install may go without.
depends=$(dpkg-deb -f "$deb" Depends)
[[ ", $depends," == *", fonts-wqy-microhei | fonts-noto-cjk,"* ]] ||
    fail "Depends names no Chinese font: $depends"

# Qt's Chinese texts are qttranslations5-l10n's (GPL-3 with the Qt exception): the package
# depends on it and uses its files where it installs them, without copies of its own.
[[ ", $depends," == *", qttranslations5-l10n,"* ]] || fail "Depends lacks qttranslations5-l10n"
while IFS= read -r -d '' qm; do
    name=${qm#"$root"}
    if [[ ! -L $qm ]]; then
        fail "$name is a copy of Qt's translations"
        continue
    fi
    target=$(realpath -m -- "$(dirname "$name")/$(readlink "$qm")")
    owner=$(dpkg -S "$target" 2>/dev/null | cut -d: -f1 || true)
    [[ $owner == qttranslations5-l10n ]] || fail "$name leads to $target, not qttranslations5-l10n's"
done < <(find "$root" -name '*.qm' -print0)
qm=$root/usr/lib/quiver/lang/qt_zh_CN.qm
[[ -L $qm || -f $qm ]] || fail "no lang/qt_zh_CN.qm for the program"

# The copyright names every licence of what is shipped or compiled in.
copyright=$root/usr/share/doc/quiver/copyright
grep -q '^Files: .*easylogging++' "$copyright" || fail "the copyright does not name easylogging++"
grep -q 'qttranslations5-l10n' "$copyright" || fail "the copyright does not say whose the texts are"

# One changelog entry per version, each for Debian 12, the newest this package's.
changelog=$scratch/changelog
zcat "$root/usr/share/doc/quiver/changelog.gz" >"$changelog"
[[ $(dpkg-parsechangelog -l "$changelog" -S Version) == "$(dpkg-deb -f "$deb" Version)" ]] ||
    fail "the newest changelog entry is not this version's"
distributions=$(dpkg-parsechangelog -l "$changelog" --all -S Distribution | sort -u)
[[ $distributions == bookworm ]] || fail "changelog entries for: $distributions"
versions=$(dpkg-parsechangelog -l "$changelog" --all -S Version)
[[ -z $(sort <<<"$versions" | uniq -d) ]] || fail "two changelog entries for one version"

# Every file is in md5sums, with its sum.
md5sums=$scratch/control/md5sums
if [[ ! -f $md5sums ]]; then
    fail "no md5sums in the control archive"
else
    listed=$(sed 's/^[0-9a-f]*  //' "$md5sums" | LC_ALL=C sort)
    shipped=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    [[ $listed == "$shipped" ]] || fail "md5sums does not list the shipped files:" \
        "$(diff <(echo "$listed") <(echo "$shipped") || true)"
    (cd "$root" && md5sum --quiet -c "$md5sums") || fail "md5sums does not match the files"
fi

((failures == 0)) || exit 1
echo "the Debian package: all checks passed"
