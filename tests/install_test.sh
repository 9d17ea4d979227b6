#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installed
# binary runs and its man page renders.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
version=$("$prefix/bin/tsnarrow" -v)
grep -q '^ Version: 1.0.2$' <<<"$version"
page="$prefix/share/man/man1/tsnarrow.1"
test -f "$page"
if command -v man >/dev/null; then
    rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
else
    rendered=$(groff -man -Tutf8 "$page")
fi
grep -q 'EXIT STATUS' <<<"$rendered"
echo "installed and ran from $prefix"
