#!/bin/sh
# Renders the README's pictures: kalidor on the bundled example, fed the
# README's example answers, stores its spectrum plot and the phase diagram in
# slots 1 and 2 of a hard-copy file, and bandpng turns them into PNG images
# in docs/; kalidor --plots on the real observations of delta Cep (a database
# export) writes the publication figures docs/delcep-spectrum.png and
# docs/delcep-phase.png.
# Usage: make-pictures.sh BUILD-DIRECTORY
set -e
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sh "$top/scripts/example-answers.sh" > "$work/answers"
cp "$top/examples/example.dat" "$top/examples/delcep.tsv" "$work/"
cd "$work"
KALIDOR_DISPLAY=offscreen "$build/bin/kalidor" example.dat < answers > /dev/null
"$build/bin/bandpng" -s 1 -o "$top/docs/spectrum.png" example.prn
"$build/bin/bandpng" -s 2 -o "$top/docs/phase.png" example.prn
echo "docs/spectrum.png and docs/phase.png"

# delta Cep: a batch run over 2 to 10 days, folded at the strongest
# period with the epoch of greatest brightness.
"$build/bin/kalidor" --periods 2:10 --fold best --plots png delcep.tsv > delcep.txt
cp delcep-spectrum.png delcep-phase.png "$top/docs/"
echo "docs/delcep-spectrum.png and docs/delcep-phase.png:" $(grep -A1 '^Fold' delcep.txt | tail -1)
