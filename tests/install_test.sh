#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installed
# binary runs (through the emulator given after the build directory, if any),
# its man page renders and its bash completion completes.
set -euo pipefail
build_dir=$1
shift
emulator=("$@")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
version=$("${emulator[@]}" "$prefix/bin/tsnarrow" -v)
grep -q '^ Version: 1.0.2$' <<<"$version"
page="$prefix/share/man/man1/tsnarrow.1"
test -f "$page"
if command -v man >/dev/null; then
    rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
else
    rendered=$(groff -man -Tutf8 "$page")
fi
grep -q 'EXIT STATUS' <<<"$rendered"

completion="$prefix/share/bash-completion/completions/tsnarrow"
test -f "$completion"
framework=/usr/share/bash-completion/bash_completion
if [ -f "$framework" ]; then
    # Options after "-"; after an option, stream files and directories only; after --json, JSON files.
    mkdir -p "$prefix/files/recs"
    touch "$prefix/files/"{rec.ts,rec.m2ts,rec.txt,rec.json}
    got=$(cd "$prefix/files" && bash -c '
        source "$1" && source "$2" || exit 1
        complete_words() {
            COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMPREPLY=()
            COMP_POINT=${#COMP_LINE}
            _tsnarrow
            printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "
            echo
        }
        complete_words tsnarrow -
        complete_words tsnarrow -e r
        complete_words tsnarrow --json r' _ "$framework" "$completion")
    expected=$'--check --events --help --json --split --version -D -E -c -d -e -h -r -s -v -z \nrec.m2ts rec.ts recs \nrec.json recs '
    if [ "$got" != "$expected" ]; then
        printf 'completion: expected\n%s\ngot\n%s\n' "$expected" "$got"
        exit 1
    fi
else
    echo "completion: bash-completion not installed, not run"
fi
echo "installed and ran from $prefix"
