#!/usr/bin/env bash
# Time slots: a day of MSG2 slots (96 slots of 114 files, segweld-sample with
# 8 lines a segment) through `segweld --batch -j 2` with and without --slots,
# outputs removed before each run, in alternating rounds whose order swaps
# every round (on a shared machine the spread between runs exceeds the
# difference sought; medians of ROUNDS rounds, default 20); both again once
# every output is up to date (hyperfine); then the same day through `segweld
# --watch --slots -j 2` (slot_watch_bench: the time from a slot's last file to
# its record, and the watch's resident memory), and DAYS days of slots in
# compressed time. TMPDIR=/dev/shm keeps the disk out of the batch figures.
# Usage: bench/slot_bench.sh [BUILD_FOLDER] [DAYS]   (default: build, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
days=${2:-7}

scripts/install-packages hyperfine
cmake --build "$build" --target segweld segweld-sample slot_watch_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-slot-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"
segweld=$(realpath "$build/bin/segweld")
for channel in VIS006 VIS008 IR_016 IR_039 WV_062 WV_073 IR_087 IR_097 IR_108 IR_120 IR_134 HRV; do
    "$build/bin/segweld-sample" --lines 8 --channel "$channel" --satellite MSG2 \
        --time 202401010000 --slots 96 "$work/in" >/dev/null
done
echo "Input: $(ls "$work/in" | wc -l) files, $(du -sh "$work/in" | cut -f1); $(nproc) processors"

for round in $(seq "${ROUNDS:-20}"); do
    order="plain slots"
    [ $((round % 2)) = 0 ] || order="slots plain"
    for mode in $order; do
        find "$work/out" -mindepth 1 -delete
        options=()
        [ "$mode" = slots ] && options=(--slots)
        /usr/bin/time -f "$mode %e" -a -o "$work/times" \
            "$segweld" --batch "${options[@]}" "$work/in" "$work/out" -j 2 2>/dev/null
    done
done
median() { grep "^$1 " "$work/times" | cut -d' ' -f2 | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
plain=$(median plain) slots=$(median slots)
awk -v p="$plain" -v s="$slots" 'BEGIN { printf "batch -j 2: %.3f s, batch --slots -j 2: %.3f s (medians): %+.1f%%\n", p, s, 100 * (s - p) / p }'

"$segweld" --batch --slots "$work/in" "$work/out" -j 2 2>/dev/null
hyperfine --warmup 2 --runs 20 \
    -n "batch, all up to date" "'$segweld' --batch '$work/in' '$work/out' -j 2" \
    -n "batch --slots, all up to date" "'$segweld' --batch --slots '$work/in' '$work/out' -j 2"

"$build/bin/slot_watch_bench" "$segweld" "$build/bin/segweld-sample" 1
"$build/bin/slot_watch_bench" "$segweld" "$build/bin/segweld-sample" "$days"
