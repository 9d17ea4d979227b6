#!/usr/bin/env bash
# Builds the tool and the tests for another architecture in build-TARGET
# (incrementally) and runs the suite there: i686 natively (linked
# statically, and dynamically for the fault-injection tests), armhf and arm64
# under qemu-user. Skipped when the cross compiler or qemu is missing. Extra
# arguments go to ctest.
#   bash tests/cross/run.sh i686|armhf|arm64 [CTEST-ARGS...]
set -euo pipefail
target=${1:?usage: run.sh i686|armhf|arm64 [CTEST-ARGS...]}
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$root/build-$target
jobs=${JOBS:-2}

case $target in
    i686) needs=(i686-linux-gnu-g++) ;;
    armhf) needs=(arm-linux-gnueabihf-g++ qemu-arm) ;;
    arm64) needs=(aarch64-linux-gnu-g++ qemu-aarch64) ;;
    *)
        echo "cross: unknown target $target"
        exit 2
        ;;
esac
for command in "${needs[@]}"; do
    if ! command -v "$command" >/dev/null; then
        echo "cross $target: $command not found, skipped"
        exit 0
    fi
done
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    echo "cross $target: GoogleTest sources (/usr/src/googletest) not found, skipped"
    exit 0
fi

# The link flags come from the toolchain file alone, never from an older cache.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$target.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTSNARROW_TESTS=ON -UCMAKE_EXE_LINKER_FLAGS >/dev/null
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
