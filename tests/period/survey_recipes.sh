#!/bin/sh
# The README's recipes for surveys beyond one machine give the catalogue of
# a single survey run: GNU parallel over groups of files, and a Slurm job
# array (its tasks started here one after the other, as sbatch would start
# them on the nodes).
# Usage: survey_recipes.sh KALIDOR EXAMPLES_SURVEY_FOLDER
set -e
kalidor=$1
recipes=$2
work=$(mktemp -d /tmp/kalidor-recipes-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Thirty made-up stars, one of them too short to analyse.
i=0
while [ $i -lt 30 ]; do
    awk -v seed=$i 'BEGIN { srand(seed + 1); p = 0.7 + seed * 0.21;
        for (k = 0; k < 150; k++) { t = 52000 + 40 * rand();
            printf "%.4f   %.3f\n", t, 12 + 0.3 * sin(2 * 3.14159265 * t / p) + 0.05 * (rand() - 0.5) } }' \
        > "star$i.jud"
    echo "star$i.jud" >> list
    i=$((i + 1))
done
printf '52000 1\n52001 2\n' > short.jud
echo short.jud >> list

status=0
"$kalidor" --periods 0.5:8 --threads 2 --report jsonl $(cat list) > single.jsonl || status=$?
[ $status -eq 1 ] || { echo "the single run ended with $status, not 1 (one star refused)" >&2; exit 1; }
[ "$(wc -l < single.jsonl)" -eq 31 ] || { echo "the single run wrote $(wc -l < single.jsonl) records" >&2; exit 1; }

if command -v parallel > /dev/null; then
    KALIDOR=$kalidor sh "$recipes/parallel.sh" list 0.5:8 7 > parallel.jsonl
    cmp single.jsonl parallel.jsonl || { echo "GNU parallel's catalogue differs" >&2; exit 1; }
    echo "GNU parallel: the same catalogue"
else
    echo "GNU parallel is not installed: its recipe is not tested" >&2
    exit 77
fi

task=0
while [ $task -lt 4 ]; do
    SLURM_ARRAY_TASK_ID=$task SLURM_ARRAY_TASK_COUNT=4 SLURM_CPUS_PER_TASK=2 KALIDOR=$kalidor \
        sh "$recipes/slurm.sh" list 0.5:8 parts
    task=$((task + 1))
done
ls parts/part-*.jsonl | sort -t- -k2 -n | xargs cat > slurm.jsonl
cmp single.jsonl slurm.jsonl || { echo "the job array's catalogue differs" >&2; exit 1; }
echo "Slurm job array: the same catalogue"
