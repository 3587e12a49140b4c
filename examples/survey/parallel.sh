#!/bin/sh
# A survey over many files with GNU parallel: the file list is cut into
# groups of GROUP files, one kalidor survey run a group, as many at once as
# there are cores (or on other machines with parallel's --sshloginfile);
# --keep-order writes the groups' records in the list's order, so that the
# catalogue is the one a single survey run would print.
# Usage: parallel.sh LIST PERIODS [GROUP] > catalogue.jsonl
#   LIST     a file naming one light-curve file a line
#   PERIODS  MIN:MAX in days
# More options for kalidor can be given in KALIDOR_OPTIONS.
set -e
list=$1
periods=$2
group=${3:-500}
[ -r "$list" ] && [ -n "$periods" ] || { echo "usage: parallel.sh LIST PERIODS [GROUP]" >&2; exit 2; }
kalidor=${KALIDOR:-kalidor}
# Each run analyses its group on one core; kalidor's status 1 (some stars
# refused, each with its record) does not stop the survey.
parallel --keep-order --max-args "$group" --arg-file "$list" \
    "$kalidor --periods $periods --threads 1 --report jsonl $KALIDOR_OPTIONS {} || [ \$? -eq 1 ]"
