#!/usr/bin/env bash
# Builds the Debian package with `make deb` (without its test run: the plain
# test run has run the same suite), lints the package and its source, and runs
# the packaged tool on the sample against the build tree's tool. With CI=true,
# as root, the package is installed, checked and purged; anywhere else it is
# unpacked into a temporary directory and nothing is installed.
#   bash tests/deb_test.sh BUILD_TREE_TOOL
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tool=$(realpath "$1")
cd "$root"

for command in dpkg-buildpackage dh lintian; do
    if ! command -v "$command" >/dev/null; then
        echo "deb: $command not found, skipped"
        exit 0
    fi
done
start=$SECONDS

version=$(dpkg-parsechangelog -S Version)
project_version=$(sed -n 's/^project(tsnarrow VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$version" != "$project_version" ]; then
    echo "deb: debian/changelog is at $version, CMakeLists.txt at $project_version"
    exit 1
fi
arch=$(dpkg --print-architecture)
deb=build-deb/tsnarrow_${version}_${arch}.deb

work=$(mktemp -d)
installed=
cleanup() {
    if [ -n "$installed" ]; then apt-get purge -y tsnarrow >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# A time zone far from UTC: the version report's date must still be the
# changelog's, in UTC.
if ! DEB_BUILD_OPTIONS=nocheck DEB_BUILD_PROFILES=nocheck TZ=JST-9 make deb DEB_OUT=build-deb >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log"
    echo "deb: make deb failed"
    exit 1
fi
echo "deb: built $deb in $((SECONDS - start)) s"

# The source package too, from a clean copy, so that lintian also reads
# debian/copyright and debian/control as a source.
mkdir -p "$work/src/tsnarrow-$version"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/src/tsnarrow-$version"
(cd "$work/src" && dpkg-source -b "tsnarrow-$version" >/dev/null)
lintian -I --fail-on error,warning "build-deb/tsnarrow_${version}_${arch}.changes" \
    "$work/src/tsnarrow_${version}.dsc" 2> >(grep -v '^running with root privileges' >&2) || {
    echo "deb: lintian reports errors or warnings"
    exit 1
}

if [ "${CI:-}" = true ] && [ "$(id -u)" = 0 ]; then
    apt-get install -y "./$deb" >"$work/apt.log" 2>&1 || {
        cat "$work/apt.log"
        exit 1
    }
    installed=yes
    files=
    how=installed
else
    dpkg-deb -x "$deb" "$work/root"
    files=$work/root
    how=unpacked
fi
bin=$files/usr/bin/tsnarrow

fail() {
    echo "deb: $*"
    exit 1
}
expected_date=$(date -u -d "@$(dpkg-parsechangelog -S Timestamp)" '+%Y-%m-%d %H:%M:%S')
"$bin" -v >"$work/version.txt" || fail "$bin -v failed"
grep -qx " Version: $version" "$work/version.txt" || fail "$bin -v does not report $version"
grep -qx " Built date: $expected_date" "$work/version.txt" ||
    fail "$bin -v: $(grep 'Built date' "$work/version.txt"), the changelog's date is $expected_date"

# Report and extraction: the same text, status and output file as the build
# tree's tool.
for who in pkg ref; do
    [ $who = pkg ] && run=$bin || run=$tool
    "$run" samples/sample.ts >"$work/$who-report.txt" || fail "$run samples/sample.ts failed"
    "$run" samples/sample.ts 0x0400 "$work/$who.ts" >"$work/$who-extract.txt" ||
        fail "$run samples/sample.ts 0x0400 failed"
done
cmp "$work/pkg-report.txt" "$work/ref-report.txt" || fail "the report differs from $tool's"
cmp "$work/pkg-extract.txt" "$work/ref-extract.txt" || fail "the extraction's text differs from $tool's"
cmp "$work/pkg.ts" "$work/ref.ts" || fail "the extracted program differs from $tool's"
[ -s "$work/pkg.ts" ] || fail "the extracted program is empty"

page=$files/usr/share/man/man1/tsnarrow.1.gz
completion=$files/usr/share/bash-completion/completions/tsnarrow
zcat "$page" | cmp - man/tsnarrow.1 || fail "$page is not man/tsnarrow.1"
cmp "$completion" completions/tsnarrow || fail "$completion is not completions/tsnarrow"
if [ -n "$installed" ]; then
    apt-get purge -y tsnarrow >"$work/apt.log" 2>&1 || {
        cat "$work/apt.log"
        exit 1
    }
    installed=
    [ ! -e /usr/bin/tsnarrow ] || fail "/usr/bin/tsnarrow is still there after the purge"
fi
echo "deb: package $how, its tool, man page and completion checked, in $((SECONDS - start)) s"
