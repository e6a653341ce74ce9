#!/usr/bin/env bash
# The default number of workers follows the CPUs the process may use. Counts
# the threads of a running `segweld --watch` (the watch itself and one per
# worker) started under taskset and inside a cgroup with a CPU quota, against
# the same watch with -j given.
# Usage: default_workers_test.sh SEGWELD WORK_FOLDER
set -euo pipefail
segweld=$1 work=$2
rm -rf "$work" && mkdir -p "$work/in" "$work/out"
fail() { echo "FAIL: $*" >&2 && exit 1; }

cgroup=""
cleanup() { [ -z "$cgroup" ] || rmdir "$cgroup" 2>/dev/null || true; }
trap cleanup EXIT

# The threads of segweld --watch started as "PREFIX... segweld --watch IN OUT
# OPTION...", counted once it has looked at its folder.
threads() { # [PREFIX...] -- [OPTION...]
    local prefix=() pid count
    while [ "$1" != -- ]; do prefix+=("$1") && shift; done
    shift
    : >"$work/log"  # emptied before the start: the last watch's lines must not count
    "${prefix[@]}" "$segweld" --watch "$work/in" "$work/out" "$@" 2>"$work/log" &
    pid=$!
    for _ in $(seq 100); do
        grep -q "waiting or being joined" "$work/log" && break
        sleep 0.1
    done
    grep -q "waiting or being joined" "$work/log" ||
        { kill "$pid"; fail "the watch did not start: $(cat "$work/log")"; }
    count=$(ls "/proc/$pid/task" | wc -l)
    kill -TERM "$pid"
    wait "$pid" || fail "the watch ended with status $?"
    echo "$count"
}

expect() { # WHAT EXPECTED [PREFIX...]
    local what=$1 expected=$2 got
    shift 2
    got=$(threads "$@" --)
    [ "$got" -eq "$expected" ] || fail "$what: $got threads, expected $expected"
    echo "ok: $what: $got threads"
}

one=$(threads -- -j 1)
two=$(threads -- -j 2)
[ "$two" -eq $((one + 1)) ] || fail "-j 2 gives $two threads and -j 1 $one: workers are not counted"

expect "taskset -c 0" "$one" taskset -c 0
if taskset -c 0,1 true 2>/dev/null && [ "$(taskset -c 0,1 nproc)" -eq 2 ]; then
    expect "taskset -c 0,1" "$two" taskset -c 0,1
fi

# A child cgroup with a quota of 1.5 CPUs, which makes one worker: cgroup v2
# where the root hands the cpu controller down, else the cgroup v1 cpu
# hierarchy. Skipped where neither can be made (no root, a read-only /sys).
if grep -qw cpu /sys/fs/cgroup/cgroup.subtree_control 2>/dev/null &&
    mkdir "/sys/fs/cgroup/segweld-test-$$" 2>/dev/null; then
    cgroup=/sys/fs/cgroup/segweld-test-$$
    echo "150000 100000" >"$cgroup/cpu.max"
elif [ -f /sys/fs/cgroup/cpu/cpu.cfs_quota_us ] &&
    mkdir "/sys/fs/cgroup/cpu/segweld-test-$$" 2>/dev/null; then
    cgroup=/sys/fs/cgroup/cpu/segweld-test-$$
    echo 100000 >"$cgroup/cpu.cfs_period_us"
    echo 150000 >"$cgroup/cpu.cfs_quota_us"
fi
if [ -n "$cgroup" ]; then
    # shellcheck disable=SC2016  # expanded by the inner shell
    expect "a cgroup with a quota of 1.5 CPUs" "$one" \
        sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$cgroup"
else
    echo "skipped: no cgroup with a CPU quota can be made here"
fi
