#!/bin/sh
# Runs scripts/run-example.sh without a display: with the README's example
# answers the run ends with status 0 after the phase diagram, the fold
# prompts offer the period and epoch that the README tells to type, and both
# stored pictures are rendered; a declined fold ends quietly; input that ends
# at a number prompt is reported with kalidor's status.
# Usage: example_run.sh BUILD-DIRECTORY
build=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $case_name: $*"
    echo "  stdout:"; sed 's/^/    /' "$work/out"
    echo "  stderr:"; sed 's/^/    /' "$work/err"
    failures=$((failures + 1))
}

# run NAME EXPECTED-STATUS ANSWERS [ENVIRONMENT-SETTINGS]: runs the example
# in a fresh folder with ANSWERS on standard input.
run() {
    case_name=$1 status=$2 input=$3
    shift 3
    folder=$work/$case_name
    printf '%s\n' "$input" | env -u DISPLAY -u WAYLAND_DISPLAY -u KALIDOR_DISPLAY "$@" \
        sh "$top/scripts/run-example.sh" "$build" "$folder" >"$work/out" 2>"$work/err"
    got=$?
    [ "$got" -eq "$status" ] || fail "status $got (expected $status)"
}

has() { grep -qF -- "$1" "$work/out" || fail "no line with: $1"; }

answers=$(sh "$top/scripts/example-answers.sh") || exit 1
period=$(printf '%s\n' "$answers" | sed -n 7p)
epoch=$(printf '%s\n' "$answers" | sed -n 8p)
headless="No display: DISPLAY and WAYLAND_DISPLAY are unset and this is no text console."

run readme 0 "$answers"
[ "$(head -n 1 "$work/out")" = "$headless" ] || fail "no display notice first"
has "Perioda (nalezene maximum: $period dne):  Zakladni epocha (prvni odhad: $epoch):  "
has "Seskladat pro jinou periodu (a/n)?  "
has "  $folder/example-1.png"
has "  $folder/example-2.png"
[ -s "$folder/example-2.png" ] && [ ! -e "$folder/example-3.png" ] || fail "not two PNG images"
grep -qv "^kalidor: Varovani: pri " "$work/err" && fail "stderr has more than the coarse-grid warning"

run declined 0 "1
20
2000

n
n"
has "No picture was stored"
grep -qv "^kalidor: Varovani: pri " "$work/err" && fail "stderr has more than the coarse-grid warning"

run input_ends 106 "1
20
2000

n
a"
grep -q "kalidor stopped with status 106" "$work/err" || fail "status not reported"

# A desktop named (though out of reach): no notice and no images.
run desktop 0 "$answers" DISPLAY=:nowhere
grep -q "No display" "$work/out" && fail "display notice with a desktop"
[ -e "$folder/example-1.png" ] && fail "images rendered with a desktop"

[ "$failures" -eq 0 ]
