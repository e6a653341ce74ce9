#!/usr/bin/env bash
# segweld --batch --recursive on a synthetic archive of a million segment
# files: 365 day folders (2023/MM/DD) of 24 hourly slots, each slot with the
# eleven 8-segment channels, the 24 HRV segments, the prologue and the
# epilogue (981,120 segment files, 105,120 products, 998,640 files). Every
# file is a hard link to one of 114 templates (a file per segment of each
# channel) with real headers and small data fields (640 bytes), so that the first run, which joins the whole
# archive to make every output up to date, takes a minute or two and not the
# days that 2.3 TB of real-size data would.
#
# Then, with nothing left to join, warm caches and the default -j:
#   - the whole plan: wall time (hyperfine), peak memory (/usr/bin/time -v),
#     system calls (strace -c -f);
#   - one task of a 1000-way shard (--shard 0/1000): the same.
# Goals: the whole plan under 10 s and 256 MiB; the shard's stat and open
# calls under 1% of the whole plan's.
#
# Usage: bench/archive_bench.sh [BUILD_FOLDER [WORK_FOLDER]]   (default: build)
#   WORK_FOLDER is kept, and its archive reused by the next run with the same
#   DAYS and SLOTS (DAYS=365, SLOTS=24, SHARDS=1000 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
days=${DAYS:-365} slots=${SLOTS:-24} shards=${SHARDS:-1000}

scripts/install-packages hyperfine strace time
cmake --build "$build" --target segweld archive_tree >/dev/null
segweld=$(realpath "$build/bin/segweld")

if [ -n "${2:-}" ]; then
    work=$(realpath -m "$2")
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-archive-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi
archive=$work/archive out=$work/out
made=$work/made-$days-days-$slots-slots

if [ ! -e "$made" ]; then
    rm -rf "$work/archive" "$work/templates" "$out" "$work"/made-*
    echo "== Writing the archive"
    /usr/bin/time -f "   %e s" "$build/bin/archive_tree" "$work" "$days" "$slots"
    touch "$made"
fi
mkdir -p "$out"
echo "== The first run: joins what is not up to date ($(nproc) processors)"
/usr/bin/time -f "   %e s, peak %M KiB" "$segweld" --batch --recursive "$archive" "$out" 2>&1 |
    tail -n 2

whole=("$segweld" --batch --recursive "$archive" "$out")
shard=("${whole[@]}" --shard "0/$shards")

# "SECONDS PEAK_KIB" of one run, from GNU time.
time_and_peak() {
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
    cat "$work/time.txt"
}

# "STAT OPEN GETDENTS TOTAL": the calls of one run, from strace -c -f.
system_calls() {
    strace -c -f -o "$work/strace.txt" "$@" >/dev/null 2>&1
    # Columns: % time, seconds, usecs/call, calls, [errors,] syscall.
    awk '
        $NF ~ /^(stat|lstat|fstat|newfstatat|statx|fstatat64|stat64|lstat64|fstat64)$/ { stat += $4 }
        $NF ~ /^(open|openat|openat2|creat)$/ { open += $4 }
        $NF ~ /^getdents(64)?$/ { dents += $4 }
        $NF == "total" { total = $4 }
        END { print stat + 0, open + 0, dents + 0, total + 0 }' "$work/strace.txt"
}

measure() { # NAME COMMAND...
    local name=$1
    shift
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$work/hyperfine.json" \
        -n "$name" "$(printf '%q ' "$@")" >"$work/hyperfine.log" 2>&1 ||
        { cat "$work/hyperfine.log" >&2 && exit 1; }
    local mean sigma
    read -r mean sigma < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"][0]
print("%.2f %.2f" % (r["mean"], r["stddev"] or 0))' "$work/hyperfine.json")
    read -r _ peak < <(time_and_peak "$@")
    read -r stat open dents total < <(system_calls "$@")
    rows+=("$(printf '| %s | %s ± %s s | %d MiB | %d | %d | %d | %d |' "$name" "$mean" "$sigma" \
        $((peak / 1024)) "$stat" "$open" "$dents" "$total")")
    metadata+=($((stat + open)))
}

rows=() metadata=()
files=$(find "$archive" -type f | wc -l)
runs=3
measure "whole plan" "${whole[@]}"
runs=5
measure "shard 0/$shards" "${shard[@]}"

echo
echo "== $files files in $days day folders; $(nproc) processors; $("$segweld" --version)"
echo "| run | wall | peak memory | stat calls | open calls | getdents64 | all calls |"
echo "| --- | --- | --- | --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
python3 -c 'import sys; w, s = map(int, sys.argv[1:]); print(f"shard/whole stat+open calls: {100 * s / w:.2f} % (goal: under 1 %)")' \
    "${metadata[0]}" "${metadata[1]}"
echo "goals: whole plan under 10 s and 256 MiB"
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
