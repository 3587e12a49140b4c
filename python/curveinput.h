// What the Python functions are given, turned into the engine's values:
// arrays of numbers into a LightCurve, the keyword arguments into
// AnalysisSettings.  Every refusal is a Python ValueError (thrown as
// pybind11::value_error) whose text says which argument is wrong and why;
// nothing here releases the GIL, so every function is called with it held.
#pragma once
#include <map>
#include <pybind11/pybind11.h>
#include <string>
#include <vector>

#include "engine.h"

// The numbers of a one-dimensional array or sequence: numpy arrays of any
// integer or floating dtype (converted to double), contiguous or strided,
// and lists or tuples of numbers.  Refused: more than one dimension or a
// single number, strings, booleans, complex numbers and Python objects.
// 'what' names the argument in the message ("time").
std::vector<double> NumbersOfArray(const pybind11::handle &values, const std::string &what);

// The arguments that describe a light curve, by name: time and mag
// (required), err, time_scale ("JD", "HJD" or "BJD_TDB"), band, name, file,
// skipped (None or a mapping of the counts limits, other_bands, empty,
// flagged and non_positive_flux), what the readers tell of its making
// (input_form, flux_column, relative_flux, files_joined) and, for several
// bands at once, bands (their names) and band_of (each estimate's band as
// an index into them).  read_table gives every one of them.
extern const std::vector<std::string> CurveNames;

// The light curve of the named arguments (see CurveNames), and its input
// form for the batch run's report ("fits", "survey", or empty).  Anything
// not given takes the value a plain file would give.  The lengths of time,
// mag and err are not compared here: the engine refuses arrays of
// different lengths with its own message.
struct CurveArguments {
    LightCurve curve;
    std::string inputForm;
};
typedef std::map<std::string, pybind11::object> NamedArguments;
CurveArguments CurveOfNamed(const NamedArguments &arguments);

// The named argument, or 'otherwise' when it was not given.
pybind11::object ArgumentOr(const NamedArguments &arguments, const std::string &name, pybind11::object otherwise);

// One entry of analyze_many's list: a mapping with the keys of CurveNames
// (read_table's dicts), or a tuple or list (time, mag)
// or (time, mag, err); or a star the reader refused, {"error": TEXT} with
// optionally file and name, as read_stars gives it: then refusal is TEXT
// and the curve holds only the file and the name.  Refusals begin with
// "light curve INDEX: ".
struct CurveEntry {
    LightCurve curve;
    std::string refusal; // empty: a light curve to analyse
};
CurveEntry CurveOfEntry(const pybind11::handle &entry, std::size_t index);

// The keyword arguments of the settings, each a Python value; the defaults
// are those of analyze (and of the command line).
struct SettingArguments {
    pybind11::object periods = pybind11::none();
    pybind11::object grid = pybind11::none();             // "frequency", "period", or None: period with intervals
    pybind11::object oversample = pybind11::float_(10.0);
    pybind11::object transform = pybind11::str("auto");   // "auto", "exact" or "fast"
    pybind11::object intervals = pybind11::none();        // of the period grid; None: from the data
    pybind11::object peaks = pybind11::int_(5);
    pybind11::object prewhiten = pybind11::int_(0);       // M, "auto" or "auto:M"
    pybind11::object weights = pybind11::str("auto");     // "auto", "errors" or "none"
    pybind11::object fap = pybind11::str("baluev");       // "baluev", "model", "bootstrap" or "bootstrap:B"
    pybind11::object errors = pybind11::str("formula");   // "formula" or "montecarlo:R"
    pybind11::object noiseWindow = pybind11::none();      // c/d; None: automatic
    pybind11::object seed = pybind11::int_(1);
    pybind11::object window = pybind11::bool_(false);
    pybind11::object fold = pybind11::none();             // None, a period or "best"
    pybind11::object minima = pybind11::bool_(false);
    pybind11::object maxima = pybind11::bool_(false);
    pybind11::object period = pybind11::none();           // of the extrema; None: the ephemeris's or the best
    pybind11::object ephemeris = pybind11::none();        // (EPOCH, PERIOD) or None
    pybind11::object extremaWindow = pybind11::none();    // share of the period; None: 0.25
    pybind11::object threads = pybind11::int_(0);
    pybind11::object method = pybind11::str("dcdft");    // "dcdft", "harmonics:H", "aov:H", "pdm:B" or "bls"
    pybind11::object durations = pybind11::none();        // bls: box durations, shares of the period
    pybind11::object foldHarmonics = pybind11::none();    // harmonics at the fold's period; None: the method's
};

// The settings of the keyword arguments, checked as the command line checks
// its options: periods a pair (MIN, MAX) of finite numbers; the grid named,
// or even in period when intervals (at least 1) are given, else even in
// frequency; oversample above 0; peaks at least 1; prewhiten at least 0,
// "auto" (up to 10 periods) or "auto:M"; weights, fap and errors among
// their names ("bootstrap:B" B resamples, "montecarlo:R" at least 2
// refits); noise_window None or above 0; seed at least 0; fold None, a
// positive period or "best"; minima or maxima, not both, and period,
// ephemeris (EPOCH, PERIOD) and extrema_window (0 to 1) only with one of
// them; threads at least 0 (0: automatic); method a name ParseMethod of
// the methods library reads, durations (bls only) a sequence of shares
// of the period inside (0, 0.5), fold_harmonics None or 1 to MaxHarmonics.
// That MIN is positive and below MAX is the engine's refusal, as it is for
// the command line.
AnalysisSettings SettingsOfArguments(const SettingArguments &arguments);

// The arguments of a call of 'function' by their names: the positional
// ones in the order of 'positional', then the keywords, each of which must
// be in 'positional' or 'keywordOnly'; 'required' must be there.  An
// unknown, repeated or missing argument raises TypeError as Python's own
// functions do.
NamedArguments ArgumentsByName(const std::string &function, const pybind11::args &args,
                               const pybind11::kwargs &kwargs, const std::vector<std::string> &positional,
                               const std::vector<std::string> &keywordOnly, const std::vector<std::string> &required);

// The names of the settings in SettingArguments, as the Python functions
// take them, and the settings of those among the named arguments (the
// others keep their defaults).
extern const std::vector<std::string> SettingNames;
SettingArguments SettingArgumentsOf(const NamedArguments &arguments);

// A whole number of at least 'least' (Python int or numpy integer, not a
// bool), for 'what'.
long WholeArgument(const pybind11::handle &value, const std::string &what, long least);
