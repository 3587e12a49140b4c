#!/bin/sh
# Renders the README's pictures: kalidor on the bundled example stores its
# spectrum plot and a phase diagram at the strongest period in a hard-copy
# file, and bandpng turns the two slots into PNG images in docs/; kalidor
# --plots on the real observations of delta Cep writes the publication
# figures docs/delcep-spectrum.png and docs/delcep-phase.png.
# Usage: make-pictures.sh BUILD-DIRECTORY
set -e
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$top/examples/example.dat" "$top/examples/delcep.dat" "$work/"
cd "$work"
export KALIDOR_DISPLAY=offscreen

# A first run only to learn the strongest period (the fold prompt's hint);
# the epoch is the first reduced Julian date of the file it writes.
printf '1\n20\n2000\n\nn\na\n' | "$build/bin/kalidor" example.dat > first.txt || true
period=$(sed -n 's/.*nalezene maximum: \([0-9.]*\) dne.*/\1/p' first.txt)
epoch=$(awk '{ print $1; exit }' example.jud)
[ -n "$period" ] && [ -n "$epoch" ] || { echo "no strongest period found" >&2; exit 1; }

printf '1\n20\n2000\nf1\nn\na\n%s\n%s\nf2\nn\n' "$period" "$epoch" | "$build/bin/kalidor" example.dat > /dev/null
"$build/bin/bandpng" -s 1 -o "$top/docs/spectrum.png" example.prn
"$build/bin/bandpng" -s 2 -o "$top/docs/phase.png" example.prn
echo "docs/spectrum.png and docs/phase.png: period $period, epoch $epoch"

# delta Cep: a batch run over 2 to 10 days, folded at the strongest
# period with the epoch of greatest brightness.
"$build/bin/kalidor" --periods 2:10 --fold best --plots png delcep.dat > delcep.txt
cp delcep-spectrum.png delcep-phase.png "$top/docs/"
echo "docs/delcep-spectrum.png and docs/delcep-phase.png:" $(grep -A1 '^Fold' delcep.txt | tail -1)
