#!/bin/bash
# The print job end to end: kalidor hands its spool file to /usr/bin/lpr at
# the end.  A stand-in lpr is put at /usr/bin/lpr inside a private mount
# namespace (an overlay over /usr/bin), so the machine's own lpr is never
# touched.  It records its arguments, one environment variable and the job.
# Usage: print_job.sh KALIDOR BANDPNG
set -u
kalidor=$1
bandpng=$2

if [ -z "${PRINT_JOB_IN_NAMESPACE:-}" ]; then
    if ! unshare -m true 2>/dev/null; then
        echo "SKIP: no private mount namespace here (needs root)"
        exit 77
    fi
    exec env PRINT_JOB_IN_NAMESPACE=1 unshare -m "$0" "$@"
fi

work=$(mktemp -d /tmp/print_job.XXXXXX)
trap 'cd /; umount -l /usr/bin 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mount --make-rprivate / || exit 1
mkdir -p "$work/upper" "$work/overlay-work" "$work/record"
cat > "$work/upper/lpr" <<LPR
#!/bin/sh
record=$work/record
printf '%s\n' "\$#" "\$@" > "\$record/args"
printf '%s\n' "\${PRINT_JOB_MARK:-}" > "\$record/env"
cp "\$1" "\$record/job"
exit \${PRINT_JOB_STATUS:-0}
LPR
chmod +x "$work/upper/lpr"
mount -t overlay overlay -o "lowerdir=/usr/bin,upperdir=$work/upper,workdir=$work/overlay-work" /usr/bin || {
    echo "SKIP: overlay mounts are not available"
    exit 77
}

# Twelve observations with a clear period, as reduced Julian dates.
cd "$work" || exit 1
awk 'BEGIN { for (i = 0; i < 12; i++) printf "%.4f   %.3f\n", 48000 + i * 1.37, 10 + sin(i * 1.37 * 6.2831853 / 2.5) }' > star.jud

# Waits (at most 60 s) until out.txt holds more yes/no questions than the
# number given: the question after a picture is written only once its hard
# copy is finished.
await_questions_beyond() {
    local tries=0
    while [ "$(grep -o '(a/n)?' out.txt 2>/dev/null | wc -l)" -le "$1" ] && [ $tries -lt 600 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# Runs kalidor with the answers given as arguments, one line each.  After a
# "p" answer the rest waits until the copy is finished, so that no key is
# pending during the printer copy however slow the machine.  Sets 'pid' and
# 'status'.
run_kalidor() {
    rm -rf "$work/record"/*
    : > out.txt
    {
        local answered=0
        for line in "$@"; do
            printf '%s\n' "$line"
            case $line in
                p | P) await_questions_beyond "$answered" ;;
                a | n) answered=$((answered + 1)) ;;
            esac
        done
    } | KALIDOR_DISPLAY=offscreen "$kalidor" star.jud > out.txt 2> err.txt &
    pid=$!
    wait $pid
    status=$?
}

answers_with() { # hard-copy answer for the plot, for the fold
    printf '%s\n' 2 5 50 "$1" n a 2.5 48000 "$2" n
}

# Two printer copies: one job, both copies back to back, handed over once.
mapfile -t answers < <(answers_with p p)
PRINT_JOB_MARK=inherited run_kalidor "${answers[@]}"
[ "$status" -eq 0 ] || fail "two copies: status $status"
spool=/tmp/$pid.lst
[ -f "$work/record/args" ] || fail "two copies: lpr was not started"
[ "$(cat "$work/record/args" 2>/dev/null)" = "$(printf '1\n%s' "$spool")" ] ||
    fail "two copies: lpr arguments: $(cat "$work/record/args" 2>/dev/null)"
[ "$(cat "$work/record/env" 2>/dev/null)" = inherited ] || fail "two copies: environment not passed"
[ ! -e "$spool" ] || fail "two copies: spool file left after lpr status 0"

# The printer form decodes to the same pictures as the file form.
"$bandpng" -p "$work/record/job" printed > /dev/null || fail "two copies: job does not decode"
[ -f printed-1.png ] && [ -f printed-2.png ] && [ ! -f printed-3.png ] || fail "two copies: not exactly two copies"
mapfile -t answers < <(answers_with f1 f2)
run_kalidor "${answers[@]}"
"$bandpng" star.prn filed > /dev/null || fail "file form does not decode"
cmp -s printed-1.png filed-1.png || fail "printed spectrum differs from the file form"
cmp -s printed-2.png filed-2.png || fail "printed phase diagram differs from the file form"
[ -z "$(ls "$work/record")" ] || fail "file copies only: lpr was started"
[ ! -e "/tmp/$pid.lst" ] || fail "file copies only: spool file left"

[ ! -s err.txt ] || fail "two copies: standard error: $(cat err.txt)"
cp out.txt printed-out.txt

# The spool file stays where it is said to stay: one line on standard
# error names it; standard output is that of a run without trouble.
kept_job_is_named() { # case, what the line says happened
    [ "$(wc -l < err.txt)" -eq 1 ] && grep -q "$2.*the print job stays in /tmp/$pid.lst\$" err.txt ||
        fail "$1: standard error: $(cat err.txt)"
    cmp -s out.txt printed-out.txt || fail "$1: standard output differs"
}

# The spooler fails: the spool file stays for the user.
mapfile -t answers < <(answers_with p "")
PRINT_JOB_STATUS=3 run_kalidor "${answers[@]}"
[ -f "$work/record/job" ] || fail "failing lpr: not started"
[ -f "/tmp/$pid.lst" ] || fail "failing lpr: spool file removed"
cmp -s "$work/record/job" "/tmp/$pid.lst" || fail "failing lpr: spool file differs from the job"
kept_job_is_named "failing lpr" "ended with status 3"
rm -f "/tmp/$pid.lst"

# A run-time error after a printer copy still hands the job over.
run_kalidor 2 5 50 p n a x
[ "$status" -eq 106 ] || fail "run-time error: status $status"
[ -f "$work/record/job" ] || fail "run-time error: job not handed over"
[ ! -e "/tmp/$pid.lst" ] || fail "run-time error: spool file left"
"$bandpng" -p "$work/record/job" after-error > /dev/null && [ -f after-error-1.png ] ||
    fail "run-time error: job does not decode"

# No spooler at all: the child cannot execute it, and the file stays.
rm -f /usr/bin/lpr
[ ! -e /usr/bin/lpr ] || fail "no lpr: cannot hide the spooler"
mapfile -t answers < <(answers_with p "")
run_kalidor "${answers[@]}"
[ "$status" -eq 0 ] || fail "no lpr: status $status"
[ -f "/tmp/$pid.lst" ] || fail "no lpr: spool file removed"
kept_job_is_named "no lpr" "cannot run /usr/bin/lpr"
rm -f "/tmp/$pid.lst"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "print job checks passed"
