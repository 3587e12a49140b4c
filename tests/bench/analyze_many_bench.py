"""The Python module's bench (make bench): kalidor.analyze_many on made-up
stars of 500 estimates (a month of observations, sines of periods from 0.5
to 50 days with noise, as the survey bench makes them) over every core,
against kalidor's survey run over the same stars as Julian-date files, with
the periods 0.5 to 50 days, five peaks and the default grid.  The stars go
in four blocks, each timed by both in turn, so that the load of a shared
machine falls on both alike; both must print the very same records.  Then
one long analysis on one Python thread against two at once: with the GIL
released, two take about as long as one on two cores.

The module is to be within 10 % of the command line; the bench ends with
status 1 when it is not, or when the records differ.

Usage: analyze_many_bench.py KALIDOR [STARS]   (default 10000 stars)
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import warnings

import numpy

import kalidor

ESTIMATES = 500
SPAN_DAYS = 30.0
PERIODS = (0.5, 50.0)
BLOCKS = 4
TARGET = 1.10


def write_star(folder, i):
    """Star i as a Julian-date file (4 and 3 decimals) and as the arrays of
    that file's numbers."""
    random = numpy.random.default_rng(i + 1)
    period = 0.5 * 100.0 ** random.uniform()
    amplitude = 0.05 + 0.45 * random.uniform()
    times = numpy.sort(55000 + SPAN_DAYS * random.uniform(size=ESTIMATES))
    magnitudes = 12 + amplitude * numpy.sin(2 * math.pi * times / period) + random.normal(0, 0.03, ESTIMATES)
    text = "".join("%.4f   %.3f\n" % (t, m) for t, m in zip(times, magnitudes))
    name = os.path.join(folder, "s%d.jud" % i)
    with open(name, "w") as out:
        out.write(text)
    numbers = numpy.array(text.split(), dtype=float)
    return dict(time=numbers[0::2].copy(), mag=numbers[1::2].copy(), file=name)


def time_survey_run(program, names, folder):
    out_name = os.path.join(folder, "survey.jsonl")
    with open(out_name, "wb") as out:
        start = time.perf_counter()
        status = subprocess.run([program, "--periods", "%g:%g" % PERIODS, "--peaks", "5"] + names,
                                stdout=out, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        seconds = time.perf_counter() - start
    with open(out_name) as records:
        return seconds, status, records.read()


def time_analyze_many(curves):
    start = time.perf_counter()
    records = kalidor.analyze_many(curves, periods=PERIODS, peaks=5, threads=0, json_lines=True)
    return time.perf_counter() - start, "".join(records)


def compare_with_survey_run(program, stars):
    folder = tempfile.mkdtemp(prefix="kalidor-python-bench-")
    try:
        curves = [write_star(folder, i) for i in range(stars)]
        survey_seconds = module_seconds = 0.0
        same = True
        size = (stars + BLOCKS - 1) // BLOCKS
        for first in range(0, stars, size):
            block = curves[first:first + size]
            seconds, status, records = time_survey_run(program, [c["file"] for c in block], folder)
            survey_seconds += seconds
            if status != 0:
                print("  the survey run ended with status %d" % status)
                same = False
            seconds, texts = time_analyze_many(block)
            module_seconds += seconds
            same = same and texts == records
        return survey_seconds, module_seconds, same
    finally:
        shutil.rmtree(folder)


def time_threads(count, times, magnitudes):
    """Seconds for count Python threads, each analysing the star once."""
    def work():
        kalidor.analyze(times, magnitudes, periods=(0.05, 10), grid="period", intervals=400000, threads=1)

    warnings.simplefilter("ignore", kalidor.AnalysisWarning)  # a coarse grid, on purpose
    workers = [threading.Thread(target=work) for _ in range(count)]
    start = time.perf_counter()
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    return time.perf_counter() - start


def main(arguments):
    if not 1 <= len(arguments) <= 2:
        print("usage: analyze_many_bench.py KALIDOR [STARS]", file=sys.stderr)
        return 2
    program = arguments[0]
    stars = int(arguments[1]) if len(arguments) > 1 else 10000
    cores = len(os.sched_getaffinity(0))
    print("Python module: analyze_many on %d stars of %d estimates over %.0f days, periods 0.5 to 50 d, "
          "5 peaks, default grid, %d cores, against the survey run" % (stars, ESTIMATES, SPAN_DAYS, cores))
    survey_seconds, module_seconds, same = compare_with_survey_run(program, stars)
    ratio = module_seconds / survey_seconds
    print("%24s %10s %12s" % ("", "seconds", "stars/s"))
    print("%24s %10.2f %12.1f" % ("kalidor survey run", survey_seconds, stars / survey_seconds))
    print("%24s %10.2f %12.1f" % ("kalidor.analyze_many", module_seconds, stars / module_seconds))
    verdict = "within" if ratio <= TARGET else "NOT within"
    print("analyze_many takes %.3f times the survey run's time: %s 10 %%" % (ratio, verdict))
    if not same:
        print("the records of analyze_many differ from the survey run's")

    times, magnitudes = (numpy.sort(50000 + 60 * numpy.random.default_rng(3).uniform(size=1000)),
                         numpy.random.default_rng(4).normal(10, 0.1, 1000))
    one = min(time_threads(1, times, magnitudes) for _ in range(2))
    two = min(time_threads(2, times, magnitudes) for _ in range(2))
    print("One long analyze on one Python thread: %.2f s; two on two threads at once: %.2f s (%.2f times)"
          % (one, two, two / one))
    return 0 if ratio <= TARGET and same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
