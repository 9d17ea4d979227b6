#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given seconds.
set -euo pipefail
seconds=${1:-5}
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not found, skipped"
    exit 0
fi
echo "fuzz: targets not written yet"
