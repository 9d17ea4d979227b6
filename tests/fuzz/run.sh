#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (incrementally), cuts seed inputs
# from tsgen streams, replays the committed regression inputs, then runs each
# target for SECONDS. Exits non-zero when a regression input or a fuzzing run
# crashes, hangs or fails a check; the input that did it is kept under
# tests/fuzz/corpus-work/artifacts/.
#   bash tests/fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
seconds=${1:-5}
shift || true
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
work=$root/tests/fuzz/corpus-work
regressions=$root/tests/fuzz/regressions
all_targets=(fuzz_packet_path fuzz_psi_tables fuzz_arib_iconv)
[ $# -gt 0 ] && targets=("$@") || targets=("${all_targets[@]}")

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not found, skipped"
    exit 0
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=clang++ cmake -S "$root" -B "$build" -DTSNARROW_FUZZ=ON -DTSNARROW_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"${JOBS:-2}" --target "${all_targets[@]}" fuzz_seeds tsgen >"$build/fuzz-build.log" 2>&1 || {
    tail -n 40 "$build/fuzz-build.log"
    echo "fuzz: build failed"
    exit 1
}

# Seeds: three generated streams (the last with the EIT of -E), cut small. Regenerated only when missing.
mkdir -p "$work/streams" "$work/artifacts" "$work/logs"
[ -f "$work/streams/plain.ts" ] || "$build/tools/tsgen" -c -s 128K "$work/streams/plain.ts"
[ -f "$work/streams/stamped.ts" ] || "$build/tools/tsgen" -t -p 2 -S 7 -s 64K "$work/streams/stamped.ts"
[ -f "$work/streams/events.ts" ] || "$build/tools/tsgen" -E -p 2 -S 3 -s 512K "$work/streams/events.ts"
for target in "${all_targets[@]}"; do mkdir -p "$work/seeds/$target" "$work/corpus/$target"; done
"$build/tests/fuzz/fuzz_seeds" "$work/seeds" "$work/streams/plain.ts" "$work/streams/stamped.ts" \
    "$work/streams/events.ts"

failed=0
for target in "${targets[@]}"; do
    binary=$build/tests/fuzz/$target
    log=$work/logs/$target.log
    # Inputs that once crashed a target run once each and must pass.
    if compgen -G "$regressions/$target/*" >/dev/null; then
        if ! "$binary" -close_fd_mask=2 "$regressions/$target"/* >"$log" 2>&1; then
            echo "fuzz: $target: a regression input fails again (see $log)"
            failed=1
            continue
        fi
    fi
    # -close_fd_mask=2: the tool's own stderr lines (failed name conversions)
    # are discarded; libFuzzer and the sanitizers keep reporting to the log.
    # -use_value_profile=1: guidance from the distance between compared
    # values, which finds off-by-one offsets that plain coverage misses.
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=2 -use_value_profile=1 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
        "$work/corpus/$target" "$work/seeds/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        corpus=$(ls "$work/corpus/$target" | wc -l)
        echo "fuzz: $target: ${runs:-?} runs in ${seconds}s, no crash (corpus $corpus inputs)"
    else
        echo "fuzz: $target: FAILED (log $log)"
        grep -E "ERROR|check failed|SUMMARY|Test unit written" "$log" | head -n 10 || true
        failed=1
    fi
done
exit $failed
