#!/usr/bin/env bash
# The real program's dialog, driven with its access keys (Enter in a path box
# for one case), joins a product on a file system without unnamed files while
# the copy of segment 2 hangs, as a read of a network share that stopped
# answering does. However the join then ends, nothing is left behind: by
# SIGTERM or SIGHUP (the process ends by the signal), by the loss of the X
# server (GTK ends it with 1), by Close, or by Stop and then Close (0).
# Each case runs on an X server of its own.
#
#   dialog_program_test.sh SEGWELD SEGWELD_SAMPLE IO_FAULT_SHIM
set -euo pipefail
program=$1 sample=$2 shim=$3
work=$(mktemp -d)
server='' pid=''
trap 'kill $pid $server 2>/dev/null || true; rm -rf "$work"' EXIT
"$sample" "$work/product" >/dev/null
mkfifo "$work/display"
failures=0

run_case() {  # how the join ends, the exit status expected
    local status=0 made left window
    rm -rf "$work/out" && mkdir "$work/out"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    server=$!
    read -r -t 30 number <"$work/display"
    export DISPLAY=:$number
    SEGWELD_TEST_NO_UNNAMED_FILES=1 SEGWELD_TEST_STALL_COPIES=-000002___ LD_PRELOAD=$shim \
        ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 "$program" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^segweld$' | head -n 1)
    for _ in 1 2 3 4 5; do  # a window just mapped may refuse the focus for a moment
        xdotool windowfocus --sync "$window" 2>/dev/null && break
        sleep 0.5
    done
    xdotool key alt+f type --delay 2 "$(find "$work/product" -name '*-000001___-*')"
    xdotool key alt+o type --delay 2 "$work/out"
    if [ "$1" = term ]; then xdotool key Return; else xdotool key alt+r; fi
    for _ in $(seq 300); do  # until the join has made its temporary
        made=$(ls -A "$work/out") && [ -n "$made" ] && break
        sleep 0.1
    done
    case $1 in
        term) kill -TERM "$pid" ;;
        hup) kill -HUP "$pid" ;;
        display) kill "$server" ;;
        close) xdotool key alt+c ;;
        stop)  # the dialog stays after Stop
            xdotool key alt+t sleep 2
            kill -0 "$pid" || made="nothing that stayed open"
            xdotool key alt+c
            ;;
    esac
    timeout 30 tail --pid="$pid" -f /dev/null || true
    wait "$pid" 2>/dev/null || status=$?
    kill "$server" 2>/dev/null || true
    left=$(ls -A "$work/out")
    echo "$1: made ${made:-nothing} during the join; exit status $status; left ${left:-nothing}"
    [ "$status" -eq "$2" ] && [ -z "$left" ] && [[ $made == .segweld-* ]] || failures=$((failures + 1))
}

run_case term 143
run_case hup 129
run_case display 1
run_case close 0
run_case stop 0
[ "$failures" -eq 0 ]
