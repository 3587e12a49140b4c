#!/bin/sh
# A survey over many files as a Slurm job array: task I of N analyses the
# I-th of N consecutive slices of the file list with one kalidor survey run
# over the task's cores, into OUTPUT/part-I.jsonl.  When every task is done,
# the parts in the order of I are the catalogue of a single survey run:
#   ls OUTPUT/part-*.jsonl | sort -t- -k2 -n | xargs cat > catalogue.jsonl
# Submit as, for example:
#   sbatch --array=0-99 --cpus-per-task=8 slurm.sh LIST 0.5:50 OUTPUT
# More options for kalidor can be given in KALIDOR_OPTIONS.
#SBATCH --job-name=kalidor-survey
set -e
list=$1
periods=$2
output=$3
[ -r "$list" ] && [ -n "$periods" ] && [ -n "$output" ] ||
    { echo "usage: slurm.sh LIST PERIODS OUTPUT" >&2; exit 2; }
task=${SLURM_ARRAY_TASK_ID:?not started by sbatch --array}
tasks=${SLURM_ARRAY_TASK_COUNT:?not started by sbatch --array}
cores=${SLURM_CPUS_PER_TASK:-1}
kalidor=${KALIDOR:-kalidor}
total=$(wc -l < "$list")
slice=$(( (total + tasks - 1) / tasks ))
first=$(( task * slice + 1 ))
last=$(( first + slice - 1 ))
mkdir -p "$output"
files=$(sed -n "${first},${last}p" "$list")
[ -n "$files" ] || { : > "$output/part-$task.jsonl"; exit 0; }
# Status 1 means some stars were refused; their records say why.
# shellcheck disable=SC2086
$kalidor --periods "$periods" --threads "$cores" --report jsonl $KALIDOR_OPTIONS $files \
    > "$output/part-$task.jsonl" || [ $? -eq 1 ]
