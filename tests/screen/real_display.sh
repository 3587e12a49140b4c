#!/bin/sh
# The screen in a real window: starts Xvfb on a free display, opens the
# screen in a window, compares a screenshot with the frame buffer, then
# types a line into the window and another on standard input and checks
# that both are read.  Every wait is bounded.
# Usage: real_display.sh SCREEN_PROBE XWD_CHECK
probe=$1
checker=$2
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIPPED: Xvfb is not installed, so the real-display check did not run"
    exit 0
fi
for tool in xwd xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAILED: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 1
    fi
done

work=$(mktemp -d) || exit 1
xvfb=""
shown=""
cleanup() {
    exec 3>&- 2>/dev/null
    [ -n "$shown" ] && kill "$shown" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    [ -n "$xvfb" ] && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    for f in out err xvfb.log; do
        [ -s "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; }
    done
    exit 1
}
# wait_for SECONDS COMMAND...: retries the command every tenth of a second.
wait_for() {
    tries=$(($1 * 10))
    shift
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

# Xvfb picks a free display number itself and writes it to descriptor 4.
Xvfb -displayfd 4 -screen 0 1600x1200x24 -nolisten tcp 4>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
wait_for 15 test -s "$work/display" || fail "Xvfb did not start"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
unset WAYLAND_DISPLAY

# Standard input is a pipe held open by this script, so that the program
# waits for input instead of meeting its end.
mkfifo "$work/in"
KALIDOR_DISPLAY=window timeout 60 "$probe" window <"$work/in" >"$work/out" 2>"$work/err" &
shown=$!
exec 3>"$work/in"
wait_for 15 grep -q '^ready$' "$work/out" || fail "the program did not draw its picture"
grep -qx 'GraphResult 0 window' "$work/out" || fail "the screen did not open in a window"

window=$(timeout 10 xdotool search --sync --name '^kalidor$' | head -n 1)
[ -n "$window" ] || fail "no window named kalidor"

# The window may need a moment to show its picture.
shot_matches() {
    xwd -silent -id "$window" -out "$work/shot.xwd" 2>>"$work/err" &&
        "$checker" "$work/shot.xwd" >"$work/scale" 2>"$work/check"
}
if ! wait_for 10 shot_matches; then
    cat "$work/check"
    fail "the screenshot does not show the frame buffer"
fi
grep -qx 'scale 2' "$work/scale" || fail "expected the window scaled by 2 on a 1600x1200 screen, got: $(cat "$work/scale")"

# A line typed into the window, with a character taken back.
timeout 10 xdotool windowfocus --sync "$window" || fail "could not focus the window"
timeout 10 xdotool type --delay 30 'f12x' || fail "xdotool type failed"
timeout 10 xdotool key BackSpace || fail "xdotool key failed"
timeout 10 xdotool type --delay 30 '3 ok' || fail "xdotool type failed"
timeout 10 xdotool key Return || fail "xdotool key failed"
wait_for 10 grep -q '^line:' "$work/out" || fail "the line typed into the window was not read"
grep -qx 'line:f123 ok' "$work/out" || fail "wrong line read from the window"

# A line on standard input while the window is shown.
echo "from the terminal" >&3
wait_for 10 grep -qx 'line:from the terminal' "$work/out" || fail "the line on standard input was not read"
exec 3>&-
wait "$shown"
status=$?
shown=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "window picture and line input checked"
