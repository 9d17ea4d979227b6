#!/usr/bin/env bash
# Builds the tool and the tests for another architecture in build-TARGET
# (incrementally) and runs the suite there: armhf and arm64 under qemu-user;
# i686 natively (linked statically, and dynamically for the fault-injection
# tests) where the kernel runs a tiny static 32-bit x86 program, else under
# qemu-i386 (CROSS_I686_RUN=native or qemu chooses instead). Skipped when the
# cross compiler or qemu is missing. Extra arguments go to ctest.
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

# Whether this kernel runs 32-bit x86 programs: some x86-64 kernels are built
# without that support, and refuse them with "Exec format error".
i686_runs_natively() {
    local probe=$build/i686-probe
    mkdir -p "$build"
    printf 'int main() { return 0; }\n' | i686-linux-gnu-g++ -x c++ -static -o "$probe" - 2>/dev/null &&
        "$probe" 2>/dev/null
}

settings=()
if [ "$target" = i686 ]; then
    how=${CROSS_I686_RUN:-}
    why="as chosen by CROSS_I686_RUN"
    if [ -z "$how" ]; then
        if i686_runs_natively; then
            how=native why="this kernel runs 32-bit x86 programs"
        else
            how=qemu why="this kernel cannot run 32-bit x86 programs"
        fi
    fi
    if [ "$how" = native ]; then
        echo "cross i686: the suite runs natively ($why)"
        settings=(-DTSNARROW_I686_EMULATED=OFF)
    elif command -v qemu-i386 >/dev/null; then
        echo "cross i686: the suite runs under qemu-i386 ($why)"
        settings=(-DTSNARROW_I686_EMULATED=ON)
    else
        echo "cross i686: qemu-i386 not found, skipped ($why)"
        exit 0
    fi
fi

# The link flags come from the toolchain file alone, never from an older cache.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$target.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTSNARROW_TESTS=ON -UCMAKE_EXE_LINKER_FLAGS "${settings[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
