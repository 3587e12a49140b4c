"""What the module refuses, and how: ValueError with the engine's message (the
command line's text) or with the argument at fault, never a crash; and what
it takes in other forms than contiguous float64 arrays, with the numbers of
the plain form.
"""
import json
import warnings

import numpy
import pytest

import kalidor
from conftest import read_julian_dates, run_kalidor, write_julian_dates

T = numpy.linspace(50000.0, 50030.0, 40)
M = 10 + 0.3 * numpy.sin(2 * numpy.pi * T / 3.7)
P = (1, 10)

# (case, arguments, keyword arguments, the message or its start)
ARRAY_REFUSALS = [
    ("different lengths", (T, M[:-1]), {}, "the times do not match the magnitudes in number"),
    ("uncertainties of another length", (T, M, M[:5]), {}, "the uncertainties do not match the estimates in number"),
    ("empty arrays", (numpy.array([]), numpy.array([])), {}, "too few estimates: the spectrum needs at least 5"),
    ("empty lists", ([], []), {}, "too few estimates: the spectrum needs at least 5"),
    ("four estimates", (T[:4], M[:4]), {}, "too few estimates: the spectrum needs at least 5"),
    ("a NaN magnitude", (T, numpy.where(T == T[7], numpy.nan, M)), {},
     "the time or magnitude of estimate 8 is not a finite number"),
    ("a NaN time", (numpy.where(T == T[0], numpy.nan, T), M), {},
     "the time or magnitude of estimate 1 is not a finite number"),
    ("an infinite magnitude", (T, numpy.where(T == T[39], numpy.inf, M)), {},
     "the time or magnitude of estimate 40 is not a finite number"),
    ("equal magnitudes", (T, numpy.full(40, 9.5)), {}, "all estimates have the same magnitude"),
    ("one time only", (numpy.full(40, 50000.0), M), {}, "the last estimate is not later than the first"),
    ("huge magnitudes", (T, M * 1e300), {}, "the magnitudes are too large: no spectrum can be computed"),
    ("strings", (T.astype(str), M), {}, "time must hold numbers, not strings"),
    ("a text", ("50000 50001", M), {}, "time must be an array of numbers, not a text"),
    ("bytes", (T, M.astype("S")), {}, "mag must hold numbers, not strings"),
    ("booleans", (T, M > 10), {}, "mag must hold numbers, not booleans"),
    ("complex numbers", (T, M + 1j), {}, "mag must hold numbers, not complex numbers"),
    ("Python objects", (T, numpy.array([None] * 40)), {}, "mag must hold numbers, not Python objects"),
    ("a list with None", (T, [1.0, None, 2.0, 3.0, 4.0]), {}, "mag must hold numbers, not Python objects"),
    ("ragged lists", ([[1, 2], [3]], M), {}, "time must be a one-dimensional array of numbers"),
    ("dates", (numpy.array(["2020-01-01"] * 40, dtype="datetime64[D]"), M), {}, "time must hold numbers, not dates"),
    ("two dimensions", (T.reshape(4, 10), M), {}, "time must be one-dimensional, not of 2 dimensions"),
    ("a column", (T, M.reshape(40, 1)), {}, "mag must be one-dimensional, not of 2 dimensions"),
    ("a single number", (50000.0, M), {}, "time must be one-dimensional, not of 0 dimensions"),
    ("None for the times", (None, M), {}, "time must be an array of numbers, not None"),
    ("strings for the uncertainties", (T, M, ["a"] * 40), {}, "err must hold numbers, not strings"),
]

SETTING_REFUSALS = [
    ("minimum not below maximum", dict(periods=(5, 5)), "the minimum period must be less than the maximum"),
    ("minimum not positive", dict(periods=(0, 5)), "the minimum period must be positive"),
    ("negative minimum", dict(periods=(-1, 5)), "the minimum period must be positive"),
    ("a NaN period", dict(periods=(numpy.nan, 5)), "the minimum period must be a finite number"),
    ("an infinite period", dict(periods=(1, numpy.inf)), "the maximum period must be a finite number"),
    ("periods as a text", dict(periods="1:10"), "periods must be a pair (MIN, MAX)"),
    ("three periods", dict(periods=(1, 2, 3)), "periods must be a pair (MIN, MAX)"),
    ("periods of texts", dict(periods=("1", "10")), "the minimum period must be a number"),
    ("no intervals", dict(periods=P, intervals=0), "intervals must be a whole number from 1"),
    ("fractional intervals", dict(periods=P, intervals=10.5), "intervals must be a whole number"),
    ("too many intervals", dict(periods=P, intervals=kalidor.MAX_INTERVALS + 1), "at most 10000000 intervals"),
    ("no peaks", dict(periods=P, peaks=0), "peaks must be a whole number from 1"),
    ("negative prewhitening", dict(periods=P, prewhiten=-1), "prewhiten must be a whole number from 0"),
    ("a fold of zero", dict(periods=P, fold=0), "fold must be a positive period in days"),
    ("a fold by name", dict(periods=P, fold="strongest"), 'fold must be None, a period in days or "best"'),
    ("a window of 1", dict(periods=P, window=1), "window must be True or False"),
    ("a grid by another name", dict(periods=P, grid="log"), 'grid must be "frequency", "period" or None'),
    ("no oversampling", dict(periods=P, oversample=0), "oversample must be above 0"),
    ("a transform by another name", dict(periods=P, transform="fft"), 'transform must be "auto", "exact" or "fast"'),
    ("prewhitening by another name", dict(periods=P, prewhiten="all"), 'prewhiten must be a whole number, "auto"'),
    ("automatic prewhitening of none", dict(periods=P, prewhiten="auto:0"), "prewhiten: the count of auto:N"),
    ("weights by another name", dict(periods=P, weights="sigma"), 'weights must be "auto", "errors" or "none"'),
    ("a false alarm by another name", dict(periods=P, fap="exact"), 'fap must be "baluev", "model", "bootstrap"'),
    ("a bootstrap of no draws", dict(periods=P, fap="bootstrap:0"), "fap: the count of bootstrap:N"),
    ("a bootstrap of a fraction", dict(periods=P, fap="bootstrap:2.5"), "fap: the count of bootstrap:N"),
    ("one Monte Carlo refit", dict(periods=P, errors="montecarlo:1"), "errors: the count of montecarlo:N"),
    ("errors by another name", dict(periods=P, errors="bootstrap"), 'errors must be "formula" or "montecarlo:R"'),
    ("a noise window of zero", dict(periods=P, noise_window=0), "noise_window must be above 0"),
    ("a negative seed", dict(periods=P, seed=-1), "seed must be a whole number from 0"),
    ("minima and maxima", dict(periods=P, minima=True, maxima=True), "minima and maxima exclude each other"),
    ("a period without extrema", dict(periods=P, period=3), "period, ephemeris and extrema_window need"),
    ("an extrema window without extrema", dict(periods=P, extrema_window=0.2), "period, ephemeris and extrema"),
    ("an ephemeris of one number", dict(periods=P, maxima=True, ephemeris=50000),
     "ephemeris must be a pair (EPOCH, PERIOD)"),
    ("an ephemeris of no period", dict(periods=P, maxima=True, ephemeris=(50000, 0)),
     "the ephemeris's period must be above 0"),
    ("an extrema window beyond 1", dict(periods=P, minima=True, extrema_window=1.5),
     "extrema_window must be a share of the period above 0 and at most 1"),
    ("minima of a number", dict(periods=P, minima=1), "minima must be True or False"),
    ("a method by another name", dict(periods=P, method="lomb"), 'method must be "dcdft", "harmonics:H" with H 1'),
    ("too many harmonics", dict(periods=P, method="harmonics:13"), 'method must be "dcdft", "harmonics:H"'),
    ("durations without a box search", dict(periods=P, durations=[0.1]), 'durations need method="bls"'),
    ("a duration of half the period", dict(periods=P, method="bls", durations=[0.1, 0.5]),
     "durations must be shares of the period between 0 and 0.5"),
    ("no durations", dict(periods=P, method="bls", durations=[]),
     "durations must be shares of the period between 0 and 0.5"),
    ("fold harmonics of none", dict(periods=P, fold="best", fold_harmonics=0), "fold_harmonics must be a whole"),
    ("too many fold harmonics", dict(periods=P, fold="best", fold_harmonics=13), "fold_harmonics must be 1 to 12"),
    ("negative threads", dict(periods=P, threads=-1), "threads must be a whole number from 0"),
    ("a time scale", dict(periods=P, time_scale="UTC"), 'time_scale must be "JD", "HJD" or "BJD_TDB"'),
    ("a band of a number", dict(periods=P, band=5), "band must be a text (str)"),
    ("skipped of a list", dict(periods=P, skipped=[1, 2, 3]), "skipped must be None or a mapping"),
    ("skipped with a wrong key", dict(periods=P, skipped=dict(limit=1)), "skipped has an unknown key 'limit'"),
    ("negative skipped", dict(periods=P, skipped=dict(limits=-1)), 'skipped["limits"] must be a whole number'),
]


@pytest.mark.parametrize("case, arguments, keywords, message", ARRAY_REFUSALS, ids=[c[0] for c in ARRAY_REFUSALS])
def test_bad_arrays_are_refused_with_the_message(case, arguments, keywords, message):
    with pytest.raises(ValueError) as refusal:
        kalidor.analyze(*arguments, periods=P, **keywords)
    assert str(refusal.value).startswith(message)
    if len(arguments) == 2:
        with pytest.raises(ValueError) as refusal:
            kalidor.spectrum(*arguments, periods=P)
        assert str(refusal.value).startswith(message)


@pytest.mark.parametrize("case, keywords, message", SETTING_REFUSALS, ids=[c[0] for c in SETTING_REFUSALS])
def test_bad_settings_are_refused_with_the_message(case, keywords, message):
    with pytest.raises(ValueError) as refusal:
        kalidor.analyze(T, M, **keywords)
    assert str(refusal.value).startswith(message)


@pytest.mark.parametrize("call, message", [
    (lambda: kalidor.analyze(T, M), "analyze() missing required argument: 'periods'"),
    (lambda: kalidor.analyze(T, M, None, (1, 10)), "analyze() takes at most 3 positional arguments but 4 were given"),
    (lambda: kalidor.analyze(T, M, periods=P, intervls=5), "analyze() got an unexpected keyword argument 'intervls'"),
    (lambda: kalidor.analyze(T, M, None, periods=P, err=None), "analyze() got multiple values for argument 'err'"),
    (lambda: kalidor.analyze(mag=M, periods=P), "analyze() missing required argument: 'time'"),
    (lambda: kalidor.spectrum(T, M, periods=P, peaks=3), "spectrum() got an unexpected keyword argument 'peaks'"),
    (lambda: kalidor.analyze_many([(T, M)], periods=P, name="X"),
     "analyze_many() got an unexpected keyword argument 'name'"),
])
def test_calls_that_do_not_fit_the_signature_raise_type_error(call, message):
    with pytest.raises(TypeError) as refusal:
        call()
    assert str(refusal.value) == message


def test_arguments_may_be_given_by_name():
    assert same(kalidor.analyze(time=T, mag=M, err=None, periods=P)) == same(kalidor.analyze(T, M, periods=P))
    periods, powers = kalidor.spectrum(mag=M, time=T, periods=P)
    assert periods.shape == powers.shape


# Data the command line refuses in a Julian-date file, and its message.
@pytest.mark.parametrize("times, magnitudes, options, settings", [
    ([1, 2, 3, 4], [5, 6, 5, 6], [], {}),
    (range(10), [7] * 10, [], {}),
    ([3] * 8, range(8), [], {}),
    (range(10), [5, 6] * 5, ["--weights", "errors"], dict(weights="errors")),
    (numpy.arange(0, 40, 0.5), numpy.sin(numpy.arange(0, 40, 0.5)) ** 8, ["--maxima", "--period", "0.3"],
     dict(maxima=True, period=0.3)),
])
def test_the_messages_are_those_of_the_command_line(tmp_path, times, magnitudes, options, settings):
    write_julian_dates(tmp_path / "bad.jud", times, magnitudes)
    status, _, err = run_kalidor(["--periods", "1:10"] + options + ["bad.jud"], tmp_path)
    assert status == 1
    times, magnitudes = read_julian_dates(tmp_path / "bad.jud")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kalidor.AnalysisWarning)
        with pytest.raises(ValueError) as refusal:
            kalidor.analyze(times, magnitudes, periods=(1, 10), **settings)
    assert err.endswith("kalidor: %s\n" % refusal.value)


def same(report):
    return json.dumps(report)


# Other forms of the same numbers give the same report as float64 arrays.
@pytest.mark.parametrize("case, time, mag", [
    ("lists", T.tolist(), M.tolist()),
    ("tuples", tuple(T), tuple(M)),
    ("strided arrays", numpy.repeat(T, 2)[::2], numpy.repeat(M, 3)[::3]),
    ("reversed views", T[::-1][::-1], M[::-1][::-1]),
    ("Fortran-ordered columns", numpy.asfortranarray(numpy.stack([T, T]).T)[:, 1], M),
    ("big-endian doubles", T.astype(">f8"), M.astype(">f8")),
    ("read-only arrays", numpy.frombuffer(T.tobytes()), numpy.frombuffer(M.tobytes())),
])
def test_other_forms_of_the_numbers_give_the_same_report(case, time, mag):
    assert same(kalidor.analyze(time, mag, periods=P)) == same(kalidor.analyze(T, M, periods=P))


@pytest.mark.parametrize("dtype", ["int8", "int16", "int32", "int64", "uint16", "uint64", "float16", "float32",
                                   "longdouble"])
def test_integer_and_other_float_dtypes_are_converted(dtype):
    time = numpy.arange(50000, 50040).astype(dtype) if dtype not in ("int8", "int16", "float16") \
        else numpy.arange(0, 40).astype(dtype)
    mag = (numpy.arange(40) % 7).astype(dtype)
    assert same(kalidor.analyze(time, mag, periods=(2, 9))) == \
        same(kalidor.analyze(time.astype(float), mag.astype(float), periods=(2, 9)))


def test_numpy_scalars_serve_as_settings():
    report = kalidor.analyze(T, M, periods=numpy.array([1.0, 10.0]), intervals=numpy.int32(5000),
                             peaks=numpy.int64(2), fold=numpy.float32(3.5))
    assert report["grid"]["intervals"] == 5000 and len(report["peaks"]) == 2 and report["fold"]["period"] == 3.5


# analyze_many: entries that are no light curve stop the call, naming the
# entry; light curves the engine refuses get their error record.
@pytest.mark.parametrize("entries, message", [
    ([(T, M), "T Cas"], "light curve 1: a light curve must be a dict or a tuple"),
    ([(T, M), (T,)], "light curve 1: a light curve as a tuple is (time, mag) or (time, mag, err)"),
    ([dict(time=T)], "light curve 0: a light curve needs the keys time and mag"),
    ([dict(time=T, mag=M, magnitude=M)], "light curve 0: unknown key 'magnitude'"),
    ([(T, M), (T, M), (T.reshape(2, 20), M)], "light curve 2: time must be one-dimensional"),
    ([(T, M.astype(str))], "light curve 0: mag must hold numbers, not strings"),
    ([dict(time=T, mag=M, band=1)], "light curve 0: band must be a text (str)"),
    ("tcas.jud", "analyze_many takes a list of light curves"),
    (dict(time=T, mag=M), "analyze_many takes a list of light curves"),
    (5, "analyze_many takes a list of light curves"),
])
def test_analyze_many_refuses_what_is_no_light_curve(entries, message):
    with pytest.raises(ValueError) as refusal:
        kalidor.analyze_many(entries, periods=P)
    assert str(refusal.value).startswith(message)


def test_analyze_many_records_refused_light_curves_and_goes_on():
    good = dict(time=T, mag=M, file="good.jud")
    records = kalidor.analyze_many([
        dict(time=T[:3], mag=M[:3], file="short.jud", name="S"),
        good,
        dict(time=T, mag=numpy.where(T == T[2], numpy.nan, M), file="nan.jud"),
        (T, M[:-1]),
    ], periods=P, threads=2)
    assert records[0] == {"file": "short.jud", "star": "S", "error": "too few estimates: the spectrum needs at least 5"}
    assert same(records[1]) == same(kalidor.analyze(T, M, periods=P, file="good.jud"))
    assert records[2] == {"file": "nan.jud", "star": None,
                          "error": "the time or magnitude of estimate 3 is not a finite number"}
    assert records[3]["error"] == "the times do not match the magnitudes in number"
    assert kalidor.analyze_many([], periods=P) == []
    # A generator serves as the list.
    assert len(kalidor.analyze_many(((T, M) for _ in range(3)), periods=P)) == 3


def test_analyze_many_refuses_bad_settings_before_analysing():
    with pytest.raises(ValueError, match="the minimum period must be a finite number"):
        kalidor.analyze_many([(T, M)], periods=(numpy.nan, 3))
    with pytest.raises(ValueError, match="threads must be a whole number from 0"):
        kalidor.analyze_many([(T, M)], periods=P, threads=-2)
    # A range the engine refuses is every light curve's refusal.
    records = kalidor.analyze_many([(T, M), (T, M)], periods=(3, 1))
    assert [r["error"] for r in records] == ["the minimum period must be less than the maximum"] * 2
