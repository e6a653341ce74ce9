#!/usr/bin/env bash
# The real program's dialog, used with the keyboard alone as a person would
# (the access keys, and Enter in a path box), joins a product on a file
# system without unnamed files while the copy of segment 2 hangs, as a read
# of a network share that stopped answering does. However the join then
# ends, nothing is left in the output folder:
#   term, hup   the signal ends the process as it would have (143, 129);
#   display     the X server goes away (GTK ends the process with 1);
#   close       Close answers at once, leaving the hung read behind (0);
#   stop        Stop answers at once, the dialog stays, then Close (0).
# Each case runs on an X server of its own, which the "display" case stops.
#
#   dialog_program_test.sh SEGWELD SEGWELD_SAMPLE IO_FAULT_SHIM
set -euo pipefail
program=$1 sample=$2 shim=$3
work=$(mktemp -d)
server='' pid=''
trap 'kill $pid $server 2>/dev/null || true; rm -rf "$work"' EXIT
"$sample" "$work/product" >/dev/null
first=$(find "$work/product" -name '*-000001___-*')
failures=0

mkfifo "$work/display"
start_server() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    server=$!
    local number
    read -r -t 30 number <"$work/display"
    export DISPLAY=:$number
}

run_case() {
    local case=$1 expected=$2 status=0
    rm -rf "$work/out" && mkdir "$work/out"
    start_server
    SEGWELD_TEST_NO_UNNAMED_FILES=1 SEGWELD_TEST_STALL_COPIES=-000002___ \
        LD_PRELOAD=$shim ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
        "$program" &
    pid=$!
    local window
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^segweld$' | head -n 1)
    for _ in 1 2 3 4 5; do  # a window just mapped may refuse the focus for a moment
        xdotool windowfocus --sync "$window" 2>/dev/null && break
        sleep 0.5
    done
    xdotool key alt+f && xdotool type --delay 2 "$first"
    xdotool key alt+o && xdotool type --delay 2 "$work/out"
    if [ "$case" = term ]; then xdotool key Return; else xdotool key alt+r; fi
    for _ in $(seq 300); do  # the join has made its temporary and hangs in segment 2
        [ -n "$(ls -A "$work/out")" ] && break
        sleep 0.1
    done
    local made
    made=$(ls -A "$work/out")
    case $case in
        term) kill -TERM "$pid" ;;
        hup) kill -HUP "$pid" ;;
        display) kill "$server" ;;
        close) xdotool key alt+c ;;
        stop)
            xdotool key alt+t
            sleep 2
            kill -0 "$pid" || made="$made; the dialog went away on Stop"
            xdotool key alt+c
            ;;
    esac
    timeout 30 tail --pid="$pid" -f /dev/null || true
    wait "$pid" || status=$?
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    local left
    left=$(ls -A "$work/out")
    echo "$case: made ${made:-nothing} during the join; exit status $status; left ${left:-nothing}"
    if [ "$status" -ne "$expected" ] || [ -n "$left" ] || [[ $made != .segweld-* ]]; then
        failures=$((failures + 1))
    fi
}

run_case term 143
run_case hup 129
run_case display 1
run_case close 0
run_case stop 0
[ "$failures" -eq 0 ]
