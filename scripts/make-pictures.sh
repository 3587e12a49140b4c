#!/bin/sh
# Renders the README's pictures: kalidor on the bundled example, fed the
# README's example answers, stores its spectrum plot and the phase diagram in
# slots 1 and 2 of a hard-copy file, and bandpng turns them into PNG images
# in docs/.
# Usage: make-pictures.sh BUILD-DIRECTORY
set -e
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sh "$top/scripts/example-answers.sh" > "$work/answers"
cp "$top/examples/example.dat" "$work/"
cd "$work"
KALIDOR_DISPLAY=offscreen "$build/bin/kalidor" example.dat < answers > /dev/null
"$build/bin/bandpng" -s 1 -o "$top/docs/spectrum.png" example.prn
"$build/bin/bandpng" -s 2 -o "$top/docs/phase.png" example.prn
echo "docs/spectrum.png and docs/phase.png"
