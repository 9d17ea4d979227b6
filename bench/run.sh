#!/usr/bin/env bash
# Throughput of tsnarrow against plain copies of the same file, its peak
# memory, and the micro-benchmarks.
#
#   bash bench/run.sh [BUILD_DIR]      (make bench builds BUILD_DIR first)
#
# A 1 GiB multi-program stream from tsgen is put in the page cache; then each
# round times, one after the other, the two references (dd copying the file,
# cat reading it to /dev/null) and the three tool runs (extraction of program
# 0x0400, the same with -e, and report mode). The figures are medians over the
# rounds, and the ratios compare medians of the same run: the machine may be
# busy, so only the ratios mean much. Environment: RUNS (rounds, default 7),
# SIZE (tsgen size, default 1G), TMPDIR (where the streams are written).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build-bench}
RUNS=${RUNS:-7}
SIZE=${SIZE:-1G}
PROGRAM=0x0400
TOOL=$BUILD/tsnarrow
TSGEN=$BUILD/tools/tsgen
MICRO=$BUILD/bench/tsnarrow_bench

for binary in "$TOOL" "$TSGEN" "$MICRO"; do
    if [ ! -x "$binary" ]; then
        echo "bench: $binary is missing; run 'make bench'" >&2
        exit 1
    fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tsnarrow-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
IN=$WORK/in.ts
SMALL=$WORK/small.ts
OUT=$WORK/out.ts

"$TSGEN" -s "$SIZE" "$IN" >/dev/null
"$TSGEN" -s 1M "$SMALL" >/dev/null
BYTES=$(stat -c %s "$IN")
# One output at a time: each is removed right after its run.
if [ "$(df -k --output=avail "$WORK" | tail -1)" -lt $((BYTES / 1024 + 65536)) ]; then
    echo "bench: not enough room in $WORK for a copy of the stream" >&2
    exit 1
fi
cat "$IN" >/dev/null
cat "$IN" >/dev/null

# The cases, each reading $1 and writing (when it writes a file) $OUT.
case_copy() { dd if="$1" of="$OUT" bs=1M 2>/dev/null; }
case_read() { cat "$1" >/dev/null; }
case_extract() { "$TOOL" "$1" "$PROGRAM" "$OUT" >/dev/null; }
case_extract_null() { "$TOOL" -e "$1" "$PROGRAM" "$OUT" >/dev/null; }
case_report() { "$TOOL" "$1" >/dev/null; }
CASES="copy read extract extract_null report"

now_ns() { date +%s%N; }

echo "tsnarrow throughput: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "input: $BYTES bytes ($SIZE from tsgen, program $PROGRAM), $RUNS alternating rounds, load: $(cut -d' ' -f1-3 /proc/loadavg)"

for round in $(seq "$RUNS"); do
    for name in $CASES; do
        start=$(now_ns)
        "case_$name" "$IN"
        end=$(now_ns)
        rm -f "$OUT"
        echo $((end - start)) >>"$WORK/$name.ns"
    done
done

median_ns() { sort -n "$WORK/$1.ns" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# MB/s (10^6 bytes per second) of the median time.
throughput() { awk -v b="$BYTES" -v ns="$(median_ns "$1")" 'BEGIN { printf "%.0f", b * 1000 / ns }'; }
ratio() { awk -v a="$(throughput "$1")" -v b="$(throughput "$2")" 'BEGIN { printf "%.2f", a / b }'; }

echo
printf '%-44s %10s %10s\n' "case (median of $RUNS)" "ms" "MB/s"
for name in $CASES; do
    case $name in
        copy) label="dd if=IN of=OUT bs=1M" ;;
        read) label="cat IN > /dev/null" ;;
        extract) label="tsnarrow IN $PROGRAM OUT" ;;
        extract_null) label="tsnarrow -e IN $PROGRAM OUT" ;;
        report) label="tsnarrow IN > /dev/null" ;;
    esac
    printf '%-44s %10.0f %10s\n' "$label" "$(awk -v ns="$(median_ns "$name")" 'BEGIN { print ns / 1e6 }')" \
        "$(throughput "$name")"
done
echo
echo "ratios (goal):"
echo "  extraction    / dd copy : $(ratio extract copy) (>= 1.2)"
echo "  extraction -e / dd copy : $(ratio extract_null copy) (>= 0.7)"
echo "  report        / cat     : $(ratio report read) (>= 0.5)"

echo
echo "peak resident memory (/usr/bin/time -v), KiB:"
printf '  %-14s %10s %10s\n' "mode" "1 MiB" "$SIZE"
peak_kib() {
    /usr/bin/time -v -o "$WORK/time.txt" "$TOOL" "$@" >/dev/null
    rm -f "$OUT"
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt"
}
highest=0
for mode in extract extract_null report; do
    case $mode in
        extract) small=$(peak_kib "$SMALL" "$PROGRAM" "$OUT") big=$(peak_kib "$IN" "$PROGRAM" "$OUT") ;;
        extract_null) small=$(peak_kib -e "$SMALL" "$PROGRAM" "$OUT") big=$(peak_kib -e "$IN" "$PROGRAM" "$OUT") ;;
        report) small=$(peak_kib "$SMALL") big=$(peak_kib "$IN") ;;
    esac
    printf '  %-14s %10s %10s\n' "$mode" "$small" "$big"
    for kib in $small $big; do [ "$kib" -gt "$highest" ] && highest=$kib; done
done
echo "  highest: $highest KiB (goal <= 8192)"

echo
echo "micro-benchmarks:"
"$MICRO" --benchmark_min_time=0.5 2>&1 | grep -E '^(BM_|Benchmark|-)'
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
