"""The module against the command line on the same estimates: analyze gives
the keys, their order and the very doubles of kalidor --report json, spectrum
the numbers of the .ven file, and analyze_many the records of a survey run.
"""
import json
import warnings

import numpy
import pytest

import kalidor
from conftest import copy_data, read_julian_dates, run_kalidor, write_julian_dates

# (file, command-line options, analyze's keyword arguments)
BATCH_CASES = [
    ("tcas.jud", ["--periods", "100:1000"], dict(periods=(100, 1000))),
    ("tcas.jud", ["--periods", "100:1000", "--intervals", "900", "--peaks", "3", "--prewhiten", "2",
                  "--fold", "best"],
     dict(periods=(100, 1000), intervals=900, peaks=3, prewhiten=2, fold="best")),
    ("sori.jud", ["--periods", "200:800", "--window", "--fold", "420", "--peaks", "1"],
     dict(periods=(200, 800), window=True, fold=420, peaks=1)),
    ("sori.jud", ["--periods", "0.5:3", "--intervals", "2000", "--prewhiten", "3", "--threads", "2"],
     dict(periods=(0.5, 3), intervals=2000, prewhiten=3, threads=2)),
    # A maximum period beyond the span and a grid too coarse: the notes.
    ("tcas.jud", ["--periods", "300:9000", "--intervals", "10"], dict(periods=(300, 9000), intervals=10)),
    ("tcas.jud", ["--periods", "100:1000", "--grid", "period"], dict(periods=(100, 1000), grid="period")),
    ("sori.jud", ["--periods", "100:1000", "--grid", "frequency", "--oversample", "4", "--transform", "exact",
                  "--fap", "model", "--noise-window", "0.002"],
     dict(periods=(100, 1000), grid="frequency", oversample=4, transform="exact", fap="model",
          noise_window=0.002)),
    ("sori.jud", ["--periods", "100:1000", "--transform", "fast", "--prewhiten", "auto:3", "--weights", "none"],
     dict(periods=(100, 1000), transform="fast", prewhiten="auto:3", weights="none")),
    ("tcas.jud", ["--periods", "100:1000", "--fap", "bootstrap:40", "--errors", "montecarlo:20", "--seed", "7"],
     dict(periods=(100, 1000), fap="bootstrap:40", errors="montecarlo:20", seed=7)),
    ("sori.jud", ["--periods", "100:1000", "--maxima"], dict(periods=(100, 1000), maxima=True)),
    ("tcas.jud", ["--periods", "100:1000", "--minima", "--period", "445", "--extrema-window", "0.3"],
     dict(periods=(100, 1000), minima=True, period=445, extrema_window=0.3)),
    ("tcas.jud", ["--periods", "100:1000", "--maxima", "--ephemeris", "48548.5:437.4"],
     dict(periods=(100, 1000), maxima=True, ephemeris=(48548.5, 437.4))),
    ("tcas.jud", ["--periods", "100:1000", "--method", "harmonics:2", "--fold", "best", "--fold-harmonics", "3"],
     dict(periods=(100, 1000), method="harmonics:2", fold="best", fold_harmonics=3)),
    ("sori.jud", ["--periods", "100:1000", "--method", "aov:3"], dict(periods=(100, 1000), method="aov:3")),
    ("sori.jud", ["--periods", "100:1000", "--method", "pdm:10"], dict(periods=(100, 1000), method="pdm:10")),
    ("tcas.jud", ["--periods", "100:1000", "--method", "bls", "--durations", "0.05:0.2:0.05"],
     dict(periods=(100, 1000), method="bls", durations=[0.05, 0.1, 0.15000000000000002, 0.2])),
    ("tcas.jud", ["--periods", "100:1000", "--method", "dcdft"], dict(periods=(100, 1000), method="dcdft")),
]


def first_difference(ours, theirs):
    """The first line where two texts differ (pytest's own diff of long texts takes minutes)."""
    a, b = ours.splitlines(), theirs.splitlines()
    for number, (x, y) in enumerate(zip(a, b), 1):
        if x != y:
            return "line %d: %r against %r" % (number, x, y)
    return "" if len(a) == len(b) else "%d lines against %d" % (len(a), len(b))


def exact_text(value):
    """The JSON text of a value: keys in order and every double in full."""
    return json.dumps(value)


@pytest.mark.parametrize("name, options, settings", BATCH_CASES)
def test_analyze_gives_the_json_report_of_the_command_line(tmp_path, name, options, settings):
    path = copy_data(name, tmp_path)
    status, out, err = run_kalidor(options + ["--report", "json", name], tmp_path)
    assert status == 0, err
    times, magnitudes = read_julian_dates(path)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        report = kalidor.analyze(times, magnitudes, file=name, **settings)
    assert exact_text(report) == exact_text(json.loads(out))
    # The notes the batch run writes on standard error come as warnings.
    notes = [line[len("kalidor: "):] for line in err.splitlines()]
    assert [str(w.message) for w in caught] == notes
    assert all(w.category is kalidor.AnalysisWarning for w in caught)


def test_the_notes_case_has_notes(tmp_path):
    copy_data("tcas.jud", tmp_path)
    status, out, err = run_kalidor(["--periods", "300:9000", "--intervals", "10", "tcas.jud"], tmp_path)
    assert status == 0 and "note: the maximum period exceeds" in err and "warning: 10 intervals" in err


def scientific(value):
    """A number as the spectrum file writes it: 16 significant digits, three exponent digits."""
    mantissa, exponent = ("%.15E" % value).split("E")
    return "%s%sE%s%03d" % ("" if mantissa.startswith("-") else " ", mantissa, exponent[0], abs(int(exponent)))


@pytest.mark.parametrize("name, options, settings", [
    ("tcas.jud", ["--periods", "1:10", "--intervals", "100"], dict(periods=(1, 10), intervals=100)),
    ("sori.jud", ["--periods", "50:900"], dict(periods=(50, 900))),
    ("sori.jud", ["--periods", "50:900", "--transform", "exact", "--oversample", "3"],
     dict(periods=(50, 900), transform="exact", oversample=3)),
    ("sori.jud", ["--periods", "50:900", "--grid", "period"], dict(periods=(50, 900), grid="period")),
    ("sori.jud", ["--periods", "0.9:1.1", "--intervals", "30000", "--threads", "2"],
     dict(periods=(0.9, 1.1), intervals=30000, threads=2)),
])
def test_spectrum_gives_the_spectrum_file_of_the_command_line(tmp_path, name, options, settings):
    path = copy_data(name, tmp_path)
    status, _, err = run_kalidor(options + [name], tmp_path)
    assert status == 0, err
    periods, powers = kalidor.spectrum(*read_julian_dates(path), **settings)
    assert periods.dtype == numpy.float64 and powers.shape == periods.shape
    written = (tmp_path / name).with_suffix(".ven").read_text()
    ours = "".join("%s  %s\n" % (scientific(p), scientific(w)) for p, w in zip(periods, powers))
    assert first_difference(ours, written) == ""


def test_scientific_form_matches_the_file_writer():
    assert scientific(1.0) == " 1.000000000000000E+000"
    assert scientific(0.001918059476279072) == " 1.918059476279072E-003"
    assert scientific(-2.5e-120) == "-2.500000000000000E-120"


@pytest.mark.parametrize("options, settings", [
    (["--periods", "300:9000", "--peaks", "3", "--fold", "best"], dict(periods=(300, 9000), peaks=3, fold="best")),
    (["--periods", "100:1000", "--prewhiten", "auto", "--fap", "bootstrap:30", "--intervals", "3000"],
     dict(periods=(100, 1000), prewhiten="auto", fap="bootstrap:30", intervals=3000)),
    # The made-up star's extrema cannot be timed: its record keeps the
    # report with a note.
    (["--periods", "1:10", "--maxima", "--period", "0.3"], dict(periods=(1, 10), maxima=True, period=0.3)),
])
def test_analyze_many_gives_the_records_of_a_survey_run(tmp_path, options, settings):
    names = ["tcas.jud", "sori.jud"]
    for name in names:
        copy_data(name, tmp_path)
    write_julian_dates(tmp_path / "four.jud", [1, 2, 3, 4], [5, 6, 5, 6])
    write_julian_dates(tmp_path / "flat.jud", range(10), [7] * 10)
    steps = numpy.arange(0, 40, 0.5)
    write_julian_dates(tmp_path / "peaked.jud", steps, numpy.sin(steps) ** 8)
    names += ["four.jud", "flat.jud", "peaked.jud"]
    status, out, err = run_kalidor(options + ["--report", "jsonl"] + names, tmp_path)
    assert status == 1, err  # two stars refused
    curves = []
    for name in names:
        times, magnitudes = read_julian_dates(tmp_path / name)
        curves.append(dict(time=times, mag=magnitudes, file=name))
    texts = kalidor.analyze_many(curves, threads=2, json_lines=True, **settings)
    assert first_difference("".join(texts), out) == ""
    records = kalidor.analyze_many(curves, threads=1, **settings)
    assert [exact_text(r) for r in records] == [exact_text(json.loads(line)) for line in out.splitlines()]
    assert "notes" in records[0] and "error" in records[2] and "error" in records[3]


def test_analyze_many_takes_tuples_and_names(tmp_path):
    times, magnitudes = read_julian_dates(copy_data("tcas.jud", tmp_path))
    errors = numpy.linspace(0.05, 0.2, len(times))
    by_tuple, by_triple, named = kalidor.analyze_many(
        [(times, magnitudes), (times, magnitudes, errors), dict(time=times, mag=magnitudes, name="T Cas")],
        periods=(100, 1000))
    for record in (by_tuple, by_triple, named):
        record.pop("notes", None)
    assert by_triple == kalidor.analyze(times, magnitudes, errors, periods=(100, 1000))
    assert by_triple["weighted"] and not by_tuple["weighted"]
    assert named["star"] == "T Cas"
    del named["star"]
    assert named == by_tuple == kalidor.analyze(times, magnitudes, periods=(100, 1000))


def test_analyze_reports_what_the_reader_gave():
    times = numpy.linspace(50000, 50030, 50)
    report = kalidor.analyze(times, numpy.sin(times), periods=(1, 5), time_scale="HJD", band="V",
                             name="X Cyg", file="x.csv", skipped=dict(limits=3, other_bands=2, empty=1))
    assert (report["file"], report["star"], report["band"], report["time_scale"]) == ("x.csv", "X Cyg", "V", "HJD")
    assert report["skipped"] == {"limits": 3, "other_bands": 2, "empty": 1}
    assert list(report)[:4] == ["file", "star", "band", "time_scale"]
