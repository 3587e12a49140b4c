#!/bin/sh
# Starts kalidor on the bundled example observations in a folder of its own
# (BUILD-DIRECTORY/example unless another is named), so that the files it
# writes stay out of the sources.  Ends quietly after a normal run (status 0,
# or 1 after the fold is declined) and reports any other status, ending with
# it.  When kalidor has no display for its pictures, this is said at the
# start, and after the run the pictures stored as hard copies are rendered as
# PNG images and listed.
# Usage: run-example.sh [BUILD-DIRECTORY [RUN-FOLDER]]
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd) || exit 1
folder=${2:-${1:-build}/example}
kalidor=$build/bin/kalidor
bandpng=$build/bin/bandpng

# Why kalidor will draw off-screen, or nothing when it will show its
# pictures: the choice kalidor makes, from KALIDOR_DISPLAY, a desktop, or a
# virtual console on standard output with a usable graphics card.
offscreen_reason() {
    case "${KALIDOR_DISPLAY-}" in
        offscreen) echo "KALIDOR_DISPLAY=offscreen"; return ;;
        window | console) return ;;
    esac
    [ -n "${DISPLAY-}" ] || [ -n "${WAYLAND_DISPLAY-}" ] && return
    { terminal=$(tty <&3 2>/dev/null); } 3>&1
    case "$terminal" in
        /dev/console) ;;
        /dev/tty | /dev/tty*[!0-9]*) terminal="" ;;
        /dev/tty*) ;;
        *) terminal="" ;;
    esac
    if [ -n "$terminal" ]; then
        for card in /dev/dri/card[0-7]; do
            [ -r "$card" ] && [ -w "$card" ] && return
        done
    fi
    echo "DISPLAY and WAYLAND_DISPLAY are unset and this is no text console"
}

# Renders the pictures of the hard-copy file as FOLDER/example-N.png and
# names them.
render_hard_copies() {
    if [ ! -s "$folder/example.prn" ]; then
        echo "No picture was stored (answer f1, f2, ... at a picture to store it)."
        return
    fi
    "$bandpng" "$folder/example.prn" "$folder/example" || return
    echo "The stored pictures, as PNG images:"
    n=1
    while [ -e "$folder/example-$n.png" ]; do
        echo "  $folder/example-$n.png"
        n=$((n + 1))
    done
}

if [ ! -x "$kalidor" ] || [ ! -x "$bandpng" ]; then
    echo "run-example.sh: kalidor and bandpng are not built in $build" >&2
    exit 1
fi
mkdir -p "$folder" && cp "$top/examples/example.dat" "$folder/" || exit 1
# Only this run's pictures are rendered.
rm -f "$folder/example.prn" "$folder"/example-*.png

reason=$(offscreen_reason)
if [ -n "$reason" ]; then
    echo "No display: $reason."
    echo "kalidor draws its pictures off-screen.  Answer f1 at the spectrum plot and f2"
    echo "at the phase diagram to store them; after the run they are written as PNG images."
    echo
fi

(cd "$folder" && exec "$kalidor" example.dat)
status=$?
# Typed answers end their line at the terminal; piped ones do not.
[ -t 0 ] || echo

if [ -n "$reason" ]; then
    render_hard_copies
fi
case $status in
    0 | 1) exit 0 ;;
    106)
        echo "kalidor stopped with status 106: a number prompt got a text that is not" >&2
        echo "a number, or the input ended (the values in parentheses must be typed)." >&2
        ;;
    *) echo "kalidor stopped with status $status." >&2 ;;
esac
exit "$status"
