#!/usr/bin/env bash
# The real program's dialog, used with the keyboard as a person would, joins
# a product on a file system without unnamed files and is terminated in the
# middle of the copy: the process ends by the signal and its named temporary
# goes with it. (SIGTERM: a script's background jobs start with SIGINT ignored.)
#
#   dialog_interrupt_test.sh SEGWELD SEGWELD_SAMPLE IO_FAULT_SHIM
set -euo pipefail
program=$1 sample=$2 shim=$3
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
"$sample" "$work/product" >/dev/null
mkdir "$work/out"

SEGWELD_TEST_NO_UNNAMED_FILES=1 SEGWELD_TEST_SIGNAL_COPIES=-000002___ SEGWELD_TEST_SIGNAL=15 \
    LD_PRELOAD=$shim ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
    "$program" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^segweld$' | head -n 1)
for _ in 1 2 3 4 5; do  # a window just mapped may refuse the focus for a moment
    xdotool windowfocus --sync "$window" 2>/dev/null && break
    sleep 0.5
done
xdotool type --delay 2 "$(find "$work/product" -name '*-000001___-*')"
xdotool key Tab Tab
xdotool type --delay 2 "$work/out"
xdotool key Tab Tab space

status=0
timeout 30 tail --pid="$pid" -f /dev/null
wait "$pid" || status=$?
leftovers=$(ls -A "$work/out")
echo "exit status $status; left in the output folder: ${leftovers:-nothing}"
[ "$status" -eq 143 ] && [ -z "$leftovers" ]
