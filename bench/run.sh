#!/usr/bin/env bash
# Throughput of tsnarrow against the best a program could do on the same
# machine, its peak memory, and the micro-benchmarks.
#
#   bash bench/run.sh [BUILD_DIR]      (make bench builds BUILD_DIR first)
#
# Two streams from tsgen are put in the page cache: the default four-program
# stream (188-byte packets; program 0x0400 holds about a quarter of them) and
# an eight-program one with timestamps and version changes, more PSI and a
# smaller program (192-byte packets; program 0x0408, about 7%). For each in
# turn, the cases are timed in alternating rounds (the order turns each round):
#
#   dd       dd if=IN of=OUT bs=1M               copying the whole file
#   cat      cat IN > /dev/null                  reading it
#   scan     bare_io scan                        reading it, looking at every PID
#   filter   bare_io filter ... PIDS             the least a PID filter can do
#   null     bare_io null ... PIDS 0x1FFF        the same, nulls in place
#   extract  tsnarrow IN PROGRAM OUT
#   extract_e tsnarrow -e IN PROGRAM OUT
#   report   tsnarrow IN > /dev/null
#   extract_c, report_c   the same with --check, against extract and report
#   extract_E tsnarrow -E IN PROGRAM OUT      the programme now and next too
#   report_E tsnarrow -E IN > /dev/null
#   extract_S tsnarrow --split IN PROGRAM OUT one file per programme, against extract_E
#   extract_J tsnarrow -E --json DOC IN PROGRAM OUT   the JSON document too, against extract_E
#
# Both streams carry the EIT of tsgen -E on PID 0x0012: present/following
# sections of every service (the present events change half way) among a
# flood of schedule sections, 3% of the packets.
# bare_io (bench/bare_io.cpp) is given the PIDs that the tool's output holds.
# Each case starts after a sync. The cases that write a whole gigabyte (dd,
# null, extract_e) are the noisiest: on a virtual machine, memory the guest
# has just freed may cost a host fault per page when it is written again, so
# the spread (min-max) is printed beside the median. The figures are medians
# over the rounds; the ratios compare medians of the
# same run, since the machine may be busy. Environment: RUNS (rounds, default
# 9), SIZE (tsgen size, default 1G), TMPDIR (where the streams are written).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build-bench}
RUNS=${RUNS:-9}
SIZE=${SIZE:-1G}
TOOL=$BUILD/tsnarrow
TSGEN=$BUILD/tools/tsgen
BARE=$BUILD/bench/bare_io
MICRO=$BUILD/bench/tsnarrow_bench

for binary in "$TOOL" "$TSGEN" "$BARE" "$MICRO"; do
    if [ ! -x "$binary" ]; then
        echo "bench: $binary is missing; run 'make bench'" >&2
        exit 1
    fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tsnarrow-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
OUT=$WORK/out.ts
SMALL=$WORK/small.ts

# name, tsgen options, framing, program
STREAMS="main alt"
declare -A TSGEN_OPTIONS=([main]="-E" [alt]="-p 8 -t -c -E")
declare -A FRAMING=([main]=188 [alt]=192)
declare -A PROGRAM=([main]=0x0400 [alt]=0x0408)
declare -A PIDS

for s in $STREAMS; do
    # shellcheck disable=SC2086
    "$TSGEN" -s "$SIZE" ${TSGEN_OPTIONS[$s]} "$WORK/$s.ts" >/dev/null
done
"$TSGEN" -E -s 1M "$SMALL" >/dev/null
# Written back now rather than by the flusher half a minute into the rounds.
sync
declare -A BYTES
for s in $STREAMS; do BYTES[$s]=$(stat -c %s "$WORK/$s.ts"); done
if [ "$(df -k --output=avail "$WORK" | tail -1)" -lt $((BYTES[main] / 1024 + 65536)) ]; then
    echo "bench: not enough room in $WORK for a copy of the stream" >&2
    exit 1
fi
for s in $STREAMS; do
    "$TOOL" "$WORK/$s.ts" "${PROGRAM[$s]}" "$OUT" >/dev/null
    PIDS[$s]=$("$BARE" pids "${FRAMING[$s]}" "$OUT" | tr '\n' ' ')
    rm -f "$OUT"
    cat "$WORK/$s.ts" >/dev/null
done

# The cases, each reading stream $1 and writing (when it writes a file) $OUT.
case_dd() { dd if="$WORK/$1.ts" of="$OUT" bs=1M 2>/dev/null; }
case_cat() { cat "$WORK/$1.ts" >/dev/null; }
case_scan() { "$BARE" scan "${FRAMING[$1]}" "$WORK/$1.ts"; }
# shellcheck disable=SC2086
case_filter() { "$BARE" filter "${FRAMING[$1]}" "$WORK/$1.ts" "$OUT" ${PIDS[$1]}; }
# shellcheck disable=SC2086
case_null() { "$BARE" null "${FRAMING[$1]}" "$WORK/$1.ts" "$OUT" ${PIDS[$1]} 0x1FFF; }
case_extract() { "$TOOL" "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
case_extract_e() { "$TOOL" -e "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
case_report() { "$TOOL" "$WORK/$1.ts" >/dev/null; }
case_extract_c() { "$TOOL" --check "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
case_report_c() { "$TOOL" --check "$WORK/$1.ts" >/dev/null; }
case_extract_E() { "$TOOL" -E "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
case_report_E() { "$TOOL" -E "$WORK/$1.ts" >/dev/null; }
case_extract_S() { "$TOOL" --split "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
case_extract_J() { "$TOOL" -E --json "$WORK/doc.json" "$WORK/$1.ts" "${PROGRAM[$1]}" "$OUT" >/dev/null; }
CASES=(dd cat filter extract scan null report extract_e extract_c report_c extract_E report_E extract_S extract_J)
# What a case leaves: the output, the parts of --split, the document.
clean_outputs() { rm -f "$OUT" "${OUT%.ts}"-*.ts "$WORK/doc.json"; }

now_ns() { date +%s%N; }

echo "tsnarrow throughput: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "input: ${BYTES[main]} bytes per stream ($SIZE from tsgen), $RUNS alternating rounds, load: $(cut -d' ' -f1-3 /proc/loadavg)"
for s in $STREAMS; do
    echo "  $s: tsgen ${TSGEN_OPTIONS[$s]:-(defaults)}, ${FRAMING[$s]}-byte packets, program ${PROGRAM[$s]}, PIDs ${PIDS[$s]}"
done

for s in $STREAMS; do
    for round in $(seq "$RUNS"); do
        for i in "${!CASES[@]}"; do
            name=${CASES[$(((i + round) % ${#CASES[@]}))]}
            start=$(now_ns)
            "case_$name" "$s"
            end=$(now_ns)
            clean_outputs
            sync  # whatever the case left to the flusher is done before the next one starts
            echo $((end - start)) >>"$WORK/$s.$name.ns"
        done
    done
done

median_ns() { sort -n "$WORK/$1.ns" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread_ms() { sort -n "$WORK/$1.ns" | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "(%.0f-%.0f)", lo / 1e6, hi / 1e6 }'; }
# MB/s (10^6 bytes per second) of the median time.
throughput() { awk -v b="${BYTES[${1%%.*}]}" -v ns="$(median_ns "$1")" 'BEGIN { printf "%.0f", b * 1000 / ns }'; }
ratio() { awk -v a="$(throughput "$1")" -v b="$(throughput "$2")" 'BEGIN { printf "%.2f", a / b }'; }

# case, its reference and the goal of the ratio (empty: for information).
declare -A REFERENCE=([dd]=dd [cat]=cat [scan]=cat [filter]=dd [null]=dd [extract]=filter [extract_e]=null [report]=cat
    [extract_c]=extract [report_c]=report [extract_E]=extract [report_E]=report [extract_S]=extract_E
    [extract_J]=extract_E)
declare -A GOAL=([extract]=0.9 [extract_e]=0.9 [report]=0.6 [extract_c]=0.9 [report_c]=0.9 [extract_E]=0.9
    [report_E]=0.9 [extract_S]=0.9 [extract_J]=0.98)
met=0
missed=0
for s in $STREAMS; do
    echo
    printf '%-10s %-10s %8s %13s %8s   %-8s %6s %s\n' "$s" "case" "ms" "(min-max)" "MB/s" "against" "ratio" "goal"
    for name in "${CASES[@]}"; do
        ref=${REFERENCE[$name]}
        verdict=""
        if [ -n "${GOAL[$name]:-}" ]; then
            if awk -v r="$(ratio "$s.$name" "$s.$ref")" -v g="${GOAL[$name]}" 'BEGIN { exit !(r >= g) }'; then
                verdict=">= ${GOAL[$name]} met"
                met=$((met + 1))
            else
                verdict=">= ${GOAL[$name]} MISSED"
                missed=$((missed + 1))
            fi
        fi
        printf '%-10s %-10s %8.0f %13s %8s   %-8s %6s %s\n' "" "$name" \
            "$(awk -v ns="$(median_ns "$s.$name")" 'BEGIN { print ns / 1e6 }')" "$(spread_ms "$s.$name")" \
            "$(throughput "$s.$name")" \
            "$ref" "$(ratio "$s.$name" "$s.$ref")" "$verdict"
    done
    echo "  extraction / dd copy: $(ratio "$s.extract" "$s.dd"), extraction -e / dd copy: $(ratio "$s.extract_e" "$s.dd")"
done
echo
echo "goals: $met met, $missed missed"

echo
echo "peak resident memory (/usr/bin/time -v), KiB:"
printf '  %-14s %10s %10s\n' "mode" "1 MiB" "$SIZE"
peak_kib() {
    /usr/bin/time -v -o "$WORK/time.txt" "$TOOL" "$@" >/dev/null
    clean_outputs
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt"
}
IN=$WORK/main.ts
highest=0
for mode in extract extract_e report extract_c report_c extract_E report_E extract_cS extract_cEJ report_cEJ; do
    case $mode in
        extract) small=$(peak_kib "$SMALL" 0x0400 "$OUT") big=$(peak_kib "$IN" 0x0400 "$OUT") ;;
        extract_e) small=$(peak_kib -e "$SMALL" 0x0400 "$OUT") big=$(peak_kib -e "$IN" 0x0400 "$OUT") ;;
        report) small=$(peak_kib "$SMALL") big=$(peak_kib "$IN") ;;
        extract_c) small=$(peak_kib -c "$SMALL" 0x0400 "$OUT") big=$(peak_kib -c "$IN" 0x0400 "$OUT") ;;
        report_c) small=$(peak_kib -c "$SMALL") big=$(peak_kib -c "$IN") ;;
        extract_E) small=$(peak_kib -E "$SMALL" 0x0400 "$OUT") big=$(peak_kib -E "$IN" 0x0400 "$OUT") ;;
        report_E) small=$(peak_kib -E "$SMALL") big=$(peak_kib -E "$IN") ;;
        extract_cS) small=$(peak_kib -c --split "$SMALL" 0x0400 "$OUT") big=$(peak_kib -c --split "$IN" 0x0400 "$OUT") ;;
        extract_cEJ)
            small=$(peak_kib -c -E --json "$WORK/doc.json" "$SMALL" 0x0400 "$OUT")
            big=$(peak_kib -c -E --json "$WORK/doc.json" "$IN" 0x0400 "$OUT")
            ;;
        report_cEJ) small=$(peak_kib -c -E --json "$WORK/doc.json" "$SMALL") big=$(peak_kib -c -E --json "$WORK/doc.json" "$IN") ;;
    esac
    printf '  %-14s %10s %10s\n' "$mode" "$small" "$big"
    for kib in $small $big; do [ "$kib" -gt "$highest" ] && highest=$kib; done
done
echo "  highest: $highest KiB (goal <= 8192)"

echo
echo "micro-benchmarks:"
"$MICRO" --benchmark_min_time=0.5 2>&1 | grep -E '^(BM_|Benchmark|-)'
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
