"""The GIL is released while the engine computes: another Python thread runs
all through a long analysis; analyses side by side give the reports they
give one at a time; Ctrl-C ends a long computation on the main thread.
"""
import _thread
import json
import threading
import time

import numpy
import pytest

import kalidor
from conftest import made_up_star

# The grids here are coarse on purpose: their notes are beside the point.
pytestmark = pytest.mark.filterwarnings("ignore::kalidor.AnalysisWarning")

# A pass of the exact kernels over about 5e8 terms: half a second to a few
# seconds on one core.
LONG = dict(periods=(0.05, 10), grid="period", intervals=500000, threads=1)
# Far longer than any test waits: only an interruption ends it soon.
ENDLESS = dict(periods=(0.01, 10), grid="period", intervals=kalidor.MAX_INTERVALS, threads=1)


def long_star(estimates=1000):
    return made_up_star(7, estimates=estimates, span=60.0)


def ticks_while(call):
    """Runs call on another thread and counts how often this thread gets to
    run between its start and its end, a tenth of the call inside each (far
    more than the interpreter's switch interval of 5 ms, in which this
    thread may run before the call takes a GIL that it would keep)."""
    inside = {}

    def work():
        inside["start"] = time.monotonic()
        call()
        inside["end"] = time.monotonic()

    worker = threading.Thread(target=work)
    ticks = []
    worker.start()
    while worker.is_alive():
        ticks.append(time.monotonic())
    worker.join()
    length = inside["end"] - inside["start"]
    assert length > 0.2, "the call was too short to tell"
    return sum(1 for tick in ticks if inside["start"] + length / 10 < tick < inside["end"] - length / 10)


@pytest.mark.parametrize("function", ["analyze", "spectrum", "analyze_many"])
def test_python_runs_while_the_engine_computes(function):
    times, magnitudes = long_star()
    calls = {
        "analyze": lambda: kalidor.analyze(times, magnitudes, **LONG),
        "spectrum": lambda: kalidor.spectrum(times, magnitudes, **LONG),
        "analyze_many": lambda: kalidor.analyze_many(
            [(times, magnitudes)] * 2, threads=1, **{k: v for k, v in LONG.items() if k != "threads"}),
    }
    # Held by the engine, the GIL would let this thread run not once.
    assert ticks_while(calls[function]) > 1000


def test_threads_analysing_side_by_side_get_their_own_reports():
    stars = [made_up_star(seed, estimates=300) for seed in range(8)]
    alone = [json.dumps(kalidor.analyze(t, m, periods=(0.5, 50), threads=1)) for t, m in stars]
    together = [None] * len(stars)

    def analyse(i):
        t, m = stars[i]
        together[i] = json.dumps(kalidor.analyze(t, m, periods=(0.5, 50), threads=1))

    workers = [threading.Thread(target=analyse, args=(i,)) for i in range(len(stars))]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert together == alone
    many = kalidor.analyze_many(stars, periods=(0.5, 50), threads=3)
    # The survey run's records carry the notes that analyze gives as warnings.
    assert all(r.pop("notes") for r in many)
    assert [json.dumps(r) for r in many] == alone


def interrupt_soon():
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    return timer


@pytest.mark.parametrize("function", ["analyze", "spectrum", "analyze_many"])
def test_ctrl_c_ends_a_long_computation(function):
    times, magnitudes = long_star(2000)
    timer = interrupt_soon()
    try:
        with pytest.raises(KeyboardInterrupt):
            if function == "analyze":
                kalidor.analyze(times, magnitudes, **ENDLESS)
            elif function == "spectrum":
                kalidor.spectrum(times, magnitudes, **ENDLESS)
            else:
                settings = {k: v for k, v in ENDLESS.items() if k != "threads"}
                kalidor.analyze_many([(times, magnitudes)] * 10, threads=2, **settings)
    finally:
        timer.cancel()
    # The module goes on working.
    short = kalidor.analyze(times[:50], magnitudes[:50], periods=(0.2, 1))
    assert short["observations"] == 50
