// The Python module kalidor: the analysis engine for numpy arrays.  The
// reports come back as the command line's JSON report parsed by Python's
// json module, so a dict holds the very keys and the very doubles of
// kalidor --report json on the same data.  The GIL is released while the
// engine computes; a long computation on the main thread still answers
// Ctrl-C.
#include <chrono>
#include <memory>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "curveinput.h"
#include "engine.h"
#include "manyanalyses.h"
#include "reportwriter.h"
#include "tablereading.h"

namespace py = pybind11;

namespace {

// How often a computation with the GIL released looks for Ctrl-C.
const int SignalPollMilliseconds = 100;

// The warning category of the engine's notes (a maximum period beyond the
// span of the data, a grid too coarse for the peaks).
PyObject *AnalysisWarning = nullptr;

// Thrown from a hook once Python has an exception to raise (Ctrl-C): the
// exception stays set on this thread until the GIL is taken back.
struct PythonErrorPending {};

bool OnMainThread()
{
    const py::module_ threading = py::module_::import("threading");
    return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

// When a computation with the GIL released last asked for signals, and
// whether it may (only the main thread gets them).
struct SignalWatch {
    bool mainThread;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

// Asks Python, at most every SignalPollMilliseconds and only on the main
// thread, whether a signal handler raised (Ctrl-C); called with the GIL
// released, it takes the GIL for the question.
bool SignalRaised(SignalWatch &watch)
{
    if (!watch.mainThread)
        return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - watch.last < std::chrono::milliseconds(SignalPollMilliseconds))
        return false;
    watch.last = now;
    py::gil_scoped_acquire acquire;
    return PyErr_CheckSignals() != 0;
}

py::object ParsedJson(const std::string &text) { return py::module_::import("json").attr("loads")(text); }

void WarnOfNotes(const std::vector<std::string> &notes)
{
    for (const std::string &note : notes)
        if (PyErr_WarnEx(AnalysisWarning, note.c_str(), 1) != 0)
            throw py::error_already_set();
}

// A numpy array that owns the vector's numbers.
py::array_t<double> ArrayOwning(std::vector<double> &&values)
{
    std::unique_ptr<std::vector<double>> owned(new std::vector<double>(std::move(values)));
    py::capsule free(owned.get(), [](void *p) { delete static_cast<std::vector<double> *>(p); });
    std::vector<double> *numbers = owned.release();
    return py::array_t<double>(static_cast<py::ssize_t>(numbers->size()), numbers->data(), free);
}

std::vector<std::string> Joined(std::vector<std::string> names, const std::vector<std::string> &more)
{
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

// The names of a light curve's arguments but the arrays, which come first.
std::vector<std::string> CurveKeywords()
{
    std::vector<std::string> names;
    for (const std::string &name : CurveNames)
        if (name != "time" && name != "mag" && name != "err")
            names.push_back(name);
    return names;
}

py::object Analyze(const py::args &args, const py::kwargs &kwargs)
{
    const NamedArguments a = ArgumentsByName("analyze", args, kwargs, {"time", "mag", "err"},
                                             Joined(SettingNames, CurveKeywords()), {"time", "mag", "periods"});
    const CurveArguments read = CurveOfNamed(a);
    const LightCurve &curve = read.curve;
    const AnalysisSettings settings = SettingsOfArguments(SettingArgumentsOf(a));
    SignalWatch watch{OnMainThread()};
    AnalysisOutcome outcome;
    std::vector<std::string> notes;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        AnalysisHooks hooks;
        hooks.note = [&notes](const std::string &text) { notes.push_back(text); };
        hooks.progress = [&watch](long, long) {
            if (SignalRaised(watch))
                throw PythonErrorPending();
        };
        try {
            outcome = AnalyseLightCurve(curve, settings, hooks);
        } catch (const PythonErrorPending &) {
            interrupted = true;
        }
    }
    if (interrupted)
        throw py::error_already_set();
    if (!outcome.ok)
        throw py::value_error(outcome.error.english);
    // As the batch run, which refuses times of extrema that cannot be had.
    if (outcome.report.hasExtrema && !outcome.report.extrema.error.empty())
        throw py::value_error(outcome.report.extrema.error);
    WarnOfNotes(notes);
    PeriodReport report = outcome.report;
    report.star = curve.name;
    report.readerForm = read.inputForm;
    return ParsedJson(JsonReportLine(report));
}

// The settings that shape a spectrum; the others are analyze's alone.
const std::vector<std::string> SpectrumSettingNames = {"periods", "grid",    "oversample", "transform",
                                                       "intervals", "weights", "threads"};

py::tuple Spectrum(const py::args &args, const py::kwargs &kwargs)
{
    const NamedArguments a = ArgumentsByName("spectrum", args, kwargs, {"time", "mag", "err"}, SpectrumSettingNames,
                                             {"time", "mag", "periods"});
    const LightCurve curve = CurveOfNamed(a).curve;
    const AnalysisSettings settings = SettingsOfArguments(SettingArgumentsOf(a));
    SignalWatch watch{OnMainThread()};
    std::vector<double> trialPeriods, powers;
    EngineError error;
    bool ok = false, interrupted = false;
    {
        py::gil_scoped_release release;
        const GridChunkVisit visit = [&](const double *p, const double *v, long count) {
            trialPeriods.insert(trialPeriods.end(), p, p + count);
            powers.insert(powers.end(), v, v + count);
            if (SignalRaised(watch))
                throw PythonErrorPending();
        };
        try {
            ok = ComputeLightCurveSpectrum(curve, settings, visit, error);
        } catch (const PythonErrorPending &) {
            interrupted = true;
        } catch (const std::bad_alloc &) {
            error = {"", "out of memory"};
        }
    }
    if (interrupted)
        throw py::error_already_set();
    if (!ok)
        throw py::value_error(error.english);
    return py::make_tuple(ArrayOwning(std::move(trialPeriods)), ArrayOwning(std::move(powers)));
}

py::list AnalyzeMany(const py::args &args, const py::kwargs &kwargs)
{
    const NamedArguments a = ArgumentsByName("analyze_many", args, kwargs, {"light_curves"},
                                             Joined(SettingNames, {"json_lines"}), {"light_curves", "periods"});
    const py::object jsonLines = ArgumentOr(a, "json_lines", py::bool_(false));
    if (!py::isinstance<py::bool_>(jsonLines))
        throw py::value_error("json_lines must be True or False");
    const py::object curves = a.at("light_curves");
    if (py::isinstance<py::str>(curves) || py::isinstance<py::dict>(curves) || !py::isinstance<py::iterable>(curves))
        throw py::value_error("analyze_many takes a list of light curves (dicts or tuples of arrays)");
    std::vector<LightCurve> list;
    std::vector<std::string> refusals;
    for (const py::handle entry : py::reinterpret_borrow<py::iterable>(curves)) {
        CurveEntry read = CurveOfEntry(entry, list.size());
        list.push_back(std::move(read.curve));
        refusals.push_back(std::move(read.refusal));
    }
    // threads: the light curves analysed at once, each pass on one thread.
    const AnalysisSettings settings = SettingsOfArguments(SettingArgumentsOf(a));
    SignalWatch watch{OnMainThread()};
    std::vector<std::string> records;
    bool complete;
    {
        py::gil_scoped_release release;
        complete = AnalyseLightCurves(list, refusals, settings, settings.threads,
                                      [&watch] { return SignalRaised(watch); }, SignalPollMilliseconds, records);
    }
    if (!complete)
        throw py::error_already_set();
    py::list reports;
    const bool texts = jsonLines.cast<bool>();
    for (const std::string &record : records) {
        if (record.empty())
            throw std::bad_alloc();
        reports.append(texts ? py::object(py::str(record)) : ParsedJson(record));
    }
    return reports;
}

py::dict ReadTableOf(py::handle path, py::object band, py::object bands, py::object heliocentric,
                     py::object barycentric, py::object flux, py::object fluxUnits, py::object maximumEstimates)
{
    ReadArguments arguments;
    arguments.band = band;
    arguments.bands = bands;
    arguments.heliocentric = heliocentric;
    arguments.barycentric = barycentric;
    arguments.flux = flux;
    arguments.fluxUnits = fluxUnits;
    arguments.maximumEstimates = maximumEstimates;
    return ReadTable(path, arguments);
}

py::list ReadStarsOf(py::handle path, py::object band, py::object bands, py::object starColumn,
                     py::object heliocentric, py::object barycentric, py::object flux, py::object fluxUnits,
                     py::object maximumEstimates)
{
    ReadArguments arguments;
    arguments.band = band;
    arguments.bands = bands;
    arguments.starColumn = starColumn;
    arguments.heliocentric = heliocentric;
    arguments.barycentric = barycentric;
    arguments.flux = flux;
    arguments.fluxUnits = fluxUnits;
    arguments.maximumEstimates = maximumEstimates;
    return ReadStars(path, arguments);
}

const char *const ModuleDoc = R"(Period analysis of variable-star light curves.

The functions take numpy arrays (or sequences of numbers) of times in days,
usually reduced Julian dates (JD - 2400000) as kalidor's files hold them, and
of magnitudes, and give plain Python values: a report is a dict with exactly
the keys and numbers of ``kalidor --report json`` on the same data.  The
engine computes with the GIL released, so Python threads (and Dask's threaded
workers) analyse side by side.  Data or settings the engine refuses raise
ValueError with the command line's message.

    >>> import numpy, kalidor
    >>> t = numpy.linspace(50000, 50030, 300)
    >>> m = 10 + 0.3 * numpy.sin(2 * numpy.pi * t / 2.5)
    >>> report = kalidor.analyze(t, m, periods=(1, 10))
    >>> round(report["peaks"][0]["period"], 3)
    2.5
)";

const char *const AnalyzeDoc = R"(analyze(time, mag, err=None, *, periods, grid=None, oversample=10.0, transform='auto', intervals=None, peaks=5, prewhiten=0, weights='auto', fap='baluev', errors='formula', noise_window=None, seed=1, window=False, fold=None, minima=False, maxima=False, period=None, ephemeris=None, extrema_window=None, threads=0, method='dcdft', durations=None, fold_harmonics=None, time_scale='JD', band=None, name=None, file=None, skipped=None, input_form=None, flux_column=None, relative_flux=False, files_joined=1, bands=None, band_of=None)
--

Analyse one light curve; return its period report as a dict.

The dict has exactly the keys and values of kalidor --periods MIN:MAX
--report json with the same options on the same estimates (the same
doubles to the last bit): file, band, time_scale, observations, first,
last, span, mean_magnitude, skipped, grid, significance_level, peaks and
what the options add (prewhitening, fold, extrema ...); "star" as well
when a name is given.  Numbers that no fit could give are None.

The light curve:
time, mag     one-dimensional arrays of equal length: times in days (any
              order; kalidor's files hold JD - 2400000) and magnitudes;
              integer dtypes are converted, strided arrays are fine;
              strings, booleans and more dimensions are refused.
err           the uncertainties, one a time, or None.
time_scale    "JD", "HJD" or "BJD_TDB": what the times are, for the report.
band, name    the band and the star's name, for the report.
file          the input file's name, for the report (default "").
skipped       {"limits": L, "other_bands": B, "empty": E, "flagged": F,
              "non_positive_flux": N}: rows a reader left out, for the report.
input_form, flux_column, relative_flux, files_joined   how a reader made the
              curve (a FITS light curve, a survey's table), for the report.
bands, band_of  several bands at once: the bands' names and each estimate's
              band as an index into them; one period for all bands, each
              with its own mean, amplitude and phase.
read_table gives every one of these.

The settings, each the command line's option of the same name:
periods       (MIN, MAX): the range of trial periods in days (required).
grid          "frequency" (evenly spaced in frequency) or "period"; None:
              "period" when intervals are given, else "frequency".
oversample    grid points per peak width of the frequency grid.
transform     "auto", "exact" or "fast": what takes the frequency grid's sums.
intervals     the intervals K of the period grid (K + 1 trial periods);
              None chooses ten grid points across the narrowest peak.
peaks         the strongest peaks reported (at least 1).
prewhiten     periods found in turn (0: none), or "auto" / "auto:M": while
              the next peak has S/N >= 4 and a false alarm below 0.01.
weights       "auto" (1/err^2 when every estimate has an uncertainty),
              "errors" or "none".
fap           "baluev", "model", "bootstrap" or "bootstrap:B" (B resamples).
errors        "formula" or "montecarlo:R": also period errors of R refits.
noise_window  the full width (c/d) of the S/N noise window; None: automatic.
seed          of the bootstrap and Monte Carlo draws.
window        also compute the spectral window (no file is written).
fold          None, a period in days, or "best" (the strongest peak).
minima, maxima  time each minimum (or maximum) of the light, with its O-C.
period        the extrema's period; None: the ephemeris's or the strongest.
ephemeris     (EPOCH, PERIOD) of the O-C; None: the first extremum's.
extrema_window  the window around each extremum, a share of the period
              (None: 0.25).
threads       threads of a large spectrum pass; 0 chooses.
method        "dcdft" (the one-sine spectrum), "harmonics:H", "aov:H", "pdm:B"
              or "bls" (a box search for eclipses and transits).
durations     bls: the box durations, shares of the period (0 to 0.5).
fold_harmonics  harmonics fitted at the fold's period; None: the method's.

The engine's notes (a maximum period beyond the span of the data, a grid
too coarse for the peaks, residuals that are correlated ...) are issued as
kalidor.AnalysisWarning; the command line writes them on standard error.
Refused data or settings (fewer than 5 estimates, NaN, arrays of different
lengths, MIN not below MAX ...) raise ValueError with the command line's
message; so do times of extrema that were asked for and cannot be had.
)";

const char *const SpectrumDoc = R"(spectrum(time, mag, err=None, *, periods, grid=None, oversample=10.0, transform='auto', intervals=None, weights='auto', threads=0)
--

The power spectrum of a light curve: return (periods, powers).

Two numpy arrays over the grid that analyze searches with the same
settings: the trial periods from MIN to MAX and the powers of the
magnitudes centred on their mean (weighted by 1/err^2 as analyze weighs
them), the numbers of the spectrum file (STEM.ven) that the command line
writes for the same data and options.  No file is written.  The arguments
and refusals are those of analyze.
)";

const char *const AnalyzeManyDoc = R"(analyze_many(light_curves, *, periods, grid=None, oversample=10.0, transform='auto', intervals=None, peaks=5, prewhiten=0, weights='auto', fap='baluev', errors='formula', noise_window=None, seed=1, window=False, fold=None, minima=False, maxima=False, period=None, ephemeris=None, extrema_window=None, threads=0, method='dcdft', durations=None, fold_harmonics=None, json_lines=False)
--

Analyse many light curves over several threads; return one record each.

light_curves  a list (or any iterable) of light curves, each a dict with the
              keys of analyze's arguments (time, mag and optionally err,
              time_scale, band, name, file, skipped), such as read_table
              and read_stars give, or a tuple (time, mag) or (time, mag, err).
threads       how many light curves are analysed at once, each on one
              thread (0: every usable core).
json_lines    True gives each record as the text the survey run prints
              (one JSON Lines record ending in a line feed) instead of a dict.
The other settings are analyze's, the same for every light curve.

The records come in the order of the light curves.  Each is the record
that kalidor's survey run prints for the star: analyze's dict, with "star"
(the name, when given) and "notes" (the engine's notes, when there are
any), and without "input_form", which survey records do not have.  A light curve the engine refuses gets {"file": ..., "star": ...,
"error": ...} instead, and so does a star that read_stars gives as
refused; the others are analysed all the same.  An entry that is no light
curve at all (not a dict or tuple, strings for numbers, 2-D arrays) raises
ValueError naming its index before anything is computed.
)";

const char *const ReadTableDoc = R"(read_table(path, band=None, *, bands=None, heliocentric=None, barycentric=None, flux='pdcsap', flux_units='mag', max_estimates=None)
--

Read the light curve of one file; return it as a dict for analyze.

The file is read as kalidor's batch run reads it: an observation file (date
YYMMDD or YYYYMMDD, UT time hh.mm, magnitude), a Julian-date file (a name
ending in .jud), a table of an observer database or a sky survey (JD,
magnitude, band ...; the band with most estimates unless band is given;
limits, other bands and flagged rows skipped), a spreadsheet export, or a
FITS light curve (TIME and PDCSAP_FLUX or SAP_FLUX).  A list of FITS files
of one star (sectors) is joined into one light curve, each file's fluxes
over its own median.  The dict has the keys of analyze's arguments:

time        reduced Julian dates (JD - 2400000) in the order of the file
mag         the magnitudes (with flux_units="relative": flux / median flux)
err         the uncertainties (NaN where a row has none), or None
time_scale  "JD", "HJD" or "BJD_TDB"
band, name  the band (or bands) used and the star's name, or None
file        the path as given
skipped     rows left out: limits, other_bands, empty, flagged and
            non_positive_flux
input_form  "fits" or "survey" for the forms the batch run reads through the
            light-curve readers, else None
flux_column, relative_flux, files_joined   what a FITS light curve was made of
bands, band_of  with bands=...: the bands taken and each estimate's band

so that analyze(**read_table(path), periods=(MIN, MAX)) gives the report of
kalidor --periods MIN:MAX --report json on the same file with the same
options, and "star" when the file names its star (a FITS file's OBJECT, a
star column).  A table with a star column is read as kalidor's survey run
reads it (it analyses such a table in a survey run), with input_form None.

bands       several bands of a table at once ("all", "V,B" or ["V", "B"]),
            analysed with one period for all; not with band.
heliocentric, barycentric   (RA, DEC) of the star, J2000: hours and degrees
            as numbers or as texts ("22:29:10.27", "+58:24:54.7"); the UTC
            times are converted to HJD or BJD_TDB as kalidor's
            --heliocentric and --barycentric convert them.
flux, flux_units  FITS light curves: "pdcsap" or "sap"; "mag" or "relative".
max_estimates  the most estimates taken (default 1,000,000).

A file the reader refuses raises ValueError with the command line's text
("bad data format on line 12", "the table has no estimates in the band V");
a file that cannot be opened raises FileNotFoundError, PermissionError or
OSError.  A table of several stars is refused: read_stars reads those.
)";

const char *const ReadStarsDoc = R"(read_stars(path, band=None, *, bands=None, star_column=None, heliocentric=None, barycentric=None, flux='pdcsap', flux_units='mag', max_estimates=None)
--

Read every star of a file as kalidor's survey run reads it; return a list
of dicts for analyze_many.

A table with a star column (star_column, or the usual names such as Star,
Name or Object) gives one light curve a star, in the order the stars first
appear, each with its own band choice and skipped counts; any other file
gives a list of one.  The dicts are read_table's, with input_form None, as
the survey run's records have none.  A star whose rows cannot be used (no
estimates in the band, an unreadable row) is a dict {"file", "name",
"error"} in its place; analyze_many turns it into that star's error
record.  The other arguments and the refusals of the whole file are
read_table's.
)";

} // namespace

PYBIND11_MODULE(kalidor, m)
{
    py::options options;
    options.disable_function_signatures();
    m.doc() = ModuleDoc;
    AnalysisWarning = PyErr_NewExceptionWithDoc("kalidor.AnalysisWarning",
                                                "A note of the analysis: the result stands, but look at it twice.",
                                                PyExc_UserWarning, nullptr);
    if (AnalysisWarning == nullptr)
        throw py::error_already_set();
    m.attr("AnalysisWarning") = py::reinterpret_borrow<py::object>(AnalysisWarning);
    m.attr("MAX_INTERVALS") = MaxIntervals;

    const py::none none;
    m.def("analyze", &Analyze, AnalyzeDoc);
    m.def("spectrum", &Spectrum, SpectrumDoc);
    m.def("analyze_many", &AnalyzeMany, AnalyzeManyDoc);
    m.def("read_table", &ReadTableOf, ReadTableDoc, py::arg("path"), py::arg("band") = none, py::kw_only(),
          py::arg("bands") = none, py::arg("heliocentric") = none, py::arg("barycentric") = none,
          py::arg("flux") = "pdcsap", py::arg("flux_units") = "mag", py::arg("max_estimates") = none);
    m.def("read_stars", &ReadStarsOf, ReadStarsDoc, py::arg("path"), py::arg("band") = none, py::kw_only(),
          py::arg("bands") = none, py::arg("star_column") = none, py::arg("heliocentric") = none,
          py::arg("barycentric") = none, py::arg("flux") = "pdcsap", py::arg("flux_units") = "mag",
          py::arg("max_estimates") = none);
}
