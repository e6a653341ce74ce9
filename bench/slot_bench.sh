#!/usr/bin/env bash
# Time slots: a day of MSG2 slots (96 slots of 114 files, segweld-sample with
# 8 lines a segment) through `segweld --batch` with and without --slots
# (hyperfine, outputs removed before each run, -j 2), and both again once
# every output is up to date; then the same day through `segweld --watch
# --slots -j 2` (slot_watch_bench: the time from a slot's last file to its
# record, and the watch's resident memory after every slot), and a week of
# slots in compressed time.
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

hyperfine --warmup 1 --runs 10 \
    --prepare "find '$work/out' -mindepth 1 -delete; sync" \
    -n "batch -j 2" "'$segweld' --batch '$work/in' '$work/out' -j 2" \
    -n "batch --slots -j 2" "'$segweld' --batch --slots '$work/in' '$work/out' -j 2"

"$segweld" --batch --slots "$work/in" "$work/out" -j 2 2>/dev/null
hyperfine --warmup 2 --runs 20 \
    -n "batch, all up to date" "'$segweld' --batch '$work/in' '$work/out' -j 2" \
    -n "batch --slots, all up to date" "'$segweld' --batch --slots '$work/in' '$work/out' -j 2"

"$build/bin/slot_watch_bench" "$segweld" "$build/bin/segweld-sample" 1
"$build/bin/slot_watch_bench" "$segweld" "$build/bin/segweld-sample" "$days"
