"""What the Python tests share: the built module, the built kalidor, the real
observations of tests/data, and made-up stars written as Julian-date files.

CTest passes the places in the environment (PYTHONPATH for the module,
KALIDOR_PROGRAM, KALIDOR_TEST_DATA, KALIDOR_EXAMPLES); run by hand, the
defaults are those of a build in build/ beside the sources.
"""
import math
import os
import pathlib
import shutil
import subprocess
import sys

import numpy

SOURCES = pathlib.Path(__file__).resolve().parents[2]
BUILD = SOURCES / "build"
if not os.environ.get("PYTHONPATH"):
    sys.path.insert(0, str(BUILD / "python"))

PROGRAM = pathlib.Path(os.environ.get("KALIDOR_PROGRAM", BUILD / "bin" / "kalidor"))
TEST_DATA = pathlib.Path(os.environ.get("KALIDOR_TEST_DATA", SOURCES / "tests" / "data"))
EXAMPLES = pathlib.Path(os.environ.get("KALIDOR_EXAMPLES", SOURCES / "examples"))


def run_kalidor(arguments, folder):
    """Runs the built kalidor in folder; returns (status, stdout, stderr) as texts."""
    done = subprocess.run([str(PROGRAM)] + [str(a) for a in arguments], cwd=folder,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def read_julian_dates(path):
    """The times and magnitudes of a Julian-date file, each number read as
    the command line reads it (correctly rounded, like strtod)."""
    times, magnitudes = [], []
    for line in pathlib.Path(path).read_text().splitlines():
        fields = line.split()
        times.append(float(fields[0]))
        magnitudes.append(float(fields[1]))
    return numpy.array(times), numpy.array(magnitudes)


def copy_data(name, folder):
    """A real observation file of tests/data copied into folder (kalidor writes beside its input)."""
    shutil.copy(TEST_DATA / name, folder / name)
    return folder / name


def made_up_star(seed, estimates=120, span=30.0):
    """A made-up star: a sine of a period drawn evenly in log between 0.5 and
    50 days, 0.05 to 0.5 mag, with noise of 0.03 mag, at uneven times."""
    random = numpy.random.default_rng(seed)
    period = 0.5 * 100.0 ** random.uniform()
    amplitude = 0.05 + 0.45 * random.uniform()
    times = numpy.sort(55000 + span * random.uniform(size=estimates))
    magnitudes = 12 + amplitude * numpy.sin(2 * math.pi * times / period) + random.normal(0, 0.03, estimates)
    return times, magnitudes


def write_julian_dates(path, times, magnitudes):
    """A Julian-date file as kalidor writes one (4 and 3 decimals)."""
    with open(path, "w") as out:
        for t, m in zip(times, magnitudes):
            out.write("%.4f   %.3f\n" % (t, m))
