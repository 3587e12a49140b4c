#!/bin/sh
# Every drawing and palette operation ends the program with the message and
# status 1 when the forced display could not be opened or the screen was
# never opened; an off-screen screen draws and prints nothing extra.
# Usage: not_in_graphics.sh SCREEN_PROBE
probe=$1
message="Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# check ENVIRONMENT-SETTINGS -- PROBE-ARGUMENTS: expected status, stdout, stderr
check() {
    status=$1 out=$2 err=$3
    shift 3
    env -u DISPLAY -u WAYLAND_DISPLAY "$@" >"$work/out" 2>"$work/err" </dev/null
    got=$?
    printf '%s' "$out" >"$work/out.expected"
    printf '%s' "$err" >"$work/err.expected"
    if [ "$got" -ne "$status" ] || ! cmp -s "$work/out" "$work/out.expected" ||
        ! cmp -s "$work/err" "$work/err.expected"; then
        echo "FAILED: $*"
        echo "  status $got (expected $status)"
        echo "  stdout:"; sed 's/^/    /' "$work/out"
        echo "  stderr:"; sed 's/^/    /' "$work/err"
        failures=$((failures + 1))
    fi
}

nl='
'
for op in cleardevice setcolor setbkcolor line putpixel getpixel circle outtextxy; do
    check 1 "GraphResult -2$nl" "$message$nl" KALIDOR_DISPLAY=window "$probe" open "$op"
    check 1 "" "$message$nl" KALIDOR_DISPLAY=offscreen "$probe" closed "$op"
    check 0 "GraphResult 0${nl}survived$nl" "" KALIDOR_DISPLAY=offscreen "$probe" open "$op"
    # No display anywhere and standard output no terminal: off-screen.
    check 0 "GraphResult 0${nl}survived$nl" "" KALIDOR_DISPLAY= "$probe" open "$op"
done
# A desktop named but out of reach: forced, the window fails; guessed, the
# screen is drawn off-screen without a word.
check 1 "GraphResult -2$nl" "$message$nl" DISPLAY=:9731 KALIDOR_DISPLAY=window "$probe" open line
check 0 "GraphResult 0${nl}survived$nl" "" DISPLAY=:9731 "$probe" open line
# Opening alone ends nothing.
check 0 "GraphResult -2${nl}survived$nl" "" KALIDOR_DISPLAY=window "$probe" open none

[ "$failures" -eq 0 ] || exit 1
echo "all cases passed"
