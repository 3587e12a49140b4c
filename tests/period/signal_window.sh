#!/bin/bash
# An ending signal while a picture is shown in a window: the program gives
# the screen back, removes its spool file and ends by the same signal, for
# a signal sent to it and for Ctrl+C typed into the window.
# Usage: signal_window.sh KALIDOR
set -u
kalidor=$1
for tool in Xvfb xdotool; do
    command -v "$tool" > /dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/signal_window.XXXXXX)
xvfb=""
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2> /dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null && wait "$xvfb" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4> "$work/display" 2> /dev/null &
xvfb=$!
for _ in $(seq 150); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=:$(head -n 1 "$work/display")
unset WAYLAND_DISPLAY
cd "$work" || exit 1
awk 'BEGIN { for (i = 0; i < 12; i++) printf "%.4f   %.3f\n", 48000 + i * 1.37, 10 + sin(i * 2.1) }' > star.jud

# signal name, expected status, how it is sent
for case in "TERM 143 kill" "INT 130 key"; do
    set -- $case
    rm -f in && mkfifo in
    exec 3<> in
    # A shell without job control starts it with SIGINT ignored; not so here.
    KALIDOR_DISPLAY=window env --default-signal=INT "$kalidor" star.jud < in > out.txt 2> err.txt &
    pid=$!
    printf '1\n10\n9\n' >&3
    window=""
    for _ in $(seq 300); do
        window=$(xdotool search --pid "$pid" --name '^kalidor$' 2> /dev/null | head -n 1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "$1: no window"
    [ -e "/tmp/$pid.lst" ] || fail "$1: no spool file while running"
    if [ "$3" = kill ]; then kill -"$1" "$pid"; else xdotool key --window "$window" ctrl+c; fi
    for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2> /dev/null && fail "$1: still running"
    wait "$pid"
    status=$?
    [ "$status" -eq "$2" ] || fail "$1: status $status"
    [ ! -e "/tmp/$pid.lst" ] || fail "$1: spool file left"
    rm -f "/tmp/$pid.lst"
    pid=""
    exec 3>&-
done
if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "signal checks passed"
