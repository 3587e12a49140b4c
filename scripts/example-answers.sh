#!/bin/sh
# Prints the answers of the README's example, one a line, as they are typed
# to kalidor: the "you type" column of the table between the README's
# "example answers" marks.  The tests and make pictures feed exactly these.
# Usage: example-answers.sh            (or: example-answers.sh | make run)
top=$(cd "$(dirname "$0")/.." && pwd)
answers=$(awk -F'|' '
    /<!-- example answers/ { inside = 1; row = 0; next }
    /<!-- end of example answers/ { inside = 0 }
    inside && /^\|/ && ++row > 2 { a = $3; gsub(/[ `]/, "", a); print a }
' "$top/README.md")
if [ -z "$answers" ]; then
    echo "example-answers.sh: no example answers in $top/README.md" >&2
    exit 1
fi
printf '%s\n' "$answers"
