#!/usr/bin/env bash
set -euo pipefail
echo "bench: not written yet"
