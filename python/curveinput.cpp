// Python arguments into the engine's light curve and settings.
#include "curveinput.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <pybind11/numpy.h>

#include "methods.h"

namespace py = pybind11;

namespace {

[[noreturn]] void Refuse(const std::string &message) { throw py::value_error(message); }

// The dtype kinds that hold numbers a light curve can take: signed and
// unsigned integers and floating point.
bool IsNumberKind(char kind) { return kind == 'i' || kind == 'u' || kind == 'f'; }

std::string KindName(char kind)
{
    switch (kind) {
    case 'U':
    case 'S':
        return "strings";
    case 'b':
        return "booleans";
    case 'c':
        return "complex numbers";
    case 'O':
        return "Python objects";
    case 'M':
    case 'm':
        return "dates or time differences (give days as numbers)";
    default:
        return std::string("values of dtype kind '") + kind + "'";
    }
}

// The array numpy makes of the value (numpy.asarray), or a refusal when it
// makes none (ragged lists, objects numpy cannot take).
py::array ArrayOf(const py::handle &values, const std::string &what)
{
    py::array array = py::array::ensure(values);
    if (!array)
        Refuse(what + " must be a one-dimensional array of numbers");
    return array;
}

std::string Text(const py::handle &value, const std::string &what)
{
    if (!py::isinstance<py::str>(value))
        Refuse(what + " must be a text (str)");
    return value.cast<std::string>();
}

std::string OptionalText(const py::handle &value, const std::string &what)
{
    return value.is_none() ? std::string() : Text(value, what);
}

double FiniteNumber(const py::handle &value, const std::string &what)
{
    if (py::isinstance<py::bool_>(value) || PyNumber_Check(value.ptr()) == 0 || PyComplex_Check(value.ptr()))
        Refuse(what + " must be a number");
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        Refuse(what + " must be a number");
    }
    if (!std::isfinite(number))
        Refuse(what + " must be a finite number");
    return number;
}

// A dict or any other collections.abc.Mapping.
bool IsMapping(const py::handle &value)
{
    return py::isinstance<py::dict>(value) ||
           py::isinstance(value, py::module_::import("collections.abc").attr("Mapping"));
}

void ReadSkipped(const py::handle &skipped, LightCurve &curve)
{
    if (skipped.is_none())
        return;
    if (!IsMapping(skipped))
        Refuse("skipped must be None or a mapping with the keys limits, other_bands and empty");
    const py::dict counts(py::reinterpret_borrow<py::object>(skipped));
    for (const auto &item : counts) {
        const std::string key = py::isinstance<py::str>(item.first) ? item.first.cast<std::string>() : "";
        const long value = WholeArgument(item.second, "skipped[\"" + key + "\"]", 0);
        if (key == "limits")
            curve.skippedLimits = value;
        else if (key == "other_bands")
            curve.skippedOtherBands = value;
        else if (key == "empty")
            curve.skippedEmpty = value;
        else if (key == "flagged")
            curve.skippedFlagged = value;
        else if (key == "non_positive_flux")
            curve.skippedNonPositiveFlux = value;
        else
            Refuse("skipped has an unknown key " + py::repr(item.first).cast<std::string>() +
                   " (limits, other_bands, empty, flagged or non_positive_flux)");
    }
}

const char *const TimeScales[] = {"JD", "HJD", "BJD_TDB"};

std::string TimeScaleOf(const py::handle &value)
{
    const std::string scale = Text(value, "time_scale");
    for (const char *known : TimeScales)
        if (scale == known)
            return scale;
    Refuse("time_scale must be \"JD\", \"HJD\" or \"BJD_TDB\", not \"" + scale + "\"");
}

// The value under 'key' of a mapping entry, or None.
py::object ItemOr(const py::dict &entry, const char *key)
{
    return entry.contains(key) ? py::reinterpret_borrow<py::object>(entry[key]) : py::object(py::none());
}

// A star the reader refused, as read_stars gives it: {"file", "name", "error"}.
CurveEntry RefusedOfMapping(const py::dict &entry)
{
    for (const auto &item : entry) {
        const std::string key = py::isinstance<py::str>(item.first) ? item.first.cast<std::string>() : "";
        if (key != "file" && key != "name" && key != "error")
            Refuse("unknown key " + py::repr(item.first).cast<std::string>() +
                   " beside \"error\" (file, name)");
    }
    CurveEntry refused;
    refused.refusal = Text(entry["error"], "error");
    if (refused.refusal.empty())
        Refuse("error must not be empty");
    refused.curve.file = OptionalText(ItemOr(entry, "file"), "file");
    refused.curve.name = OptionalText(ItemOr(entry, "name"), "name");
    return refused;
}

std::string KeyList()
{
    std::string list;
    for (const std::string &key : CurveNames)
        list += (list.empty() ? "" : ", ") + key;
    return list;
}

CurveEntry CurveOfMapping(const py::dict &entry)
{
    if (entry.contains("error"))
        return RefusedOfMapping(entry);
    NamedArguments named;
    for (const auto &item : entry) {
        const std::string key = py::isinstance<py::str>(item.first) ? item.first.cast<std::string>() : "";
        bool known = false;
        for (const std::string &name : CurveNames)
            known = known || key == name;
        if (!known)
            Refuse("unknown key " + py::repr(item.first).cast<std::string>() + " (" + KeyList() + ")");
        named[key] = py::reinterpret_borrow<py::object>(item.second);
    }
    if (!entry.contains("time") || !entry.contains("mag"))
        Refuse("a light curve needs the keys time and mag");
    CurveEntry read;
    read.curve = CurveOfNamed(named).curve;
    return read;
}

CurveEntry CurveOfSequence(const py::sequence &entry)
{
    const std::size_t size = py::len(entry);
    if (size != 2 && size != 3)
        Refuse("a light curve as a tuple is (time, mag) or (time, mag, err)");
    NamedArguments named;
    named["time"] = entry[0];
    named["mag"] = entry[1];
    if (size == 3)
        named["err"] = entry[2];
    CurveEntry read;
    read.curve = CurveOfNamed(named).curve;
    return read;
}

// The bands of an analysis of several bands at once: their names and each
// estimate's band as an index into them (a whole number of a numpy
// integer dtype or a list of whole numbers).
void ReadBands(const py::handle &bands, const py::handle &bandOf, LightCurve &curve)
{
    if (bands.is_none() && bandOf.is_none())
        return;
    if (bands.is_none() || bandOf.is_none())
        Refuse("bands and band_of go together (read_table gives both with bands=...)");
    if (py::isinstance<py::str>(bands) || PySequence_Check(bands.ptr()) == 0)
        Refuse("bands must be a list of band names");
    for (const py::handle name : py::reinterpret_borrow<py::sequence>(bands))
        curve.bands.push_back(Text(name, "each of bands"));
    const py::array array = ArrayOf(bandOf, "band_of");
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u')
        Refuse("band_of must hold whole numbers (indices into bands), not " + KindName(kind));
    if (array.ndim() != 1)
        Refuse("band_of must be one-dimensional");
    using Indices = py::array_t<long long, py::array::c_style | py::array::forcecast>;
    const Indices indices = Indices::ensure(array);
    for (py::ssize_t i = 0; i < indices.size(); ++i) {
        const long long index = indices.data()[i];
        if (index < 0 || index >= static_cast<long long>(curve.bands.size()))
            Refuse("band_of[" + std::to_string(i) + "] is no index into bands");
        curve.bandOf.push_back(static_cast<int>(index));
    }
    if (curve.bandOf.size() != curve.time.size())
        Refuse("band_of must hold one band a time");
}

// What the readers tell of the curve beside the arrays: the form it was
// read in ("fits" or "survey", for the batch run's report), its FITS flux
// column, whether it holds relative fluxes and how many files it joins.
void ReadMaking(const NamedArguments &a, CurveArguments &read)
{
    const py::object none = py::none();
    const py::object form = ArgumentOr(a, "input_form", none);
    read.inputForm = OptionalText(form, "input_form");
    if (!read.inputForm.empty() && read.inputForm != "fits" && read.inputForm != "survey")
        Refuse("input_form must be None, \"fits\" or \"survey\"");
    read.curve.fluxColumn = OptionalText(ArgumentOr(a, "flux_column", none), "flux_column");
    const py::object relative = ArgumentOr(a, "relative_flux", py::bool_(false));
    if (!py::isinstance<py::bool_>(relative))
        Refuse("relative_flux must be True or False");
    read.curve.relativeFlux = relative.cast<bool>();
    read.curve.filesJoined = static_cast<int>(WholeArgument(ArgumentOr(a, "files_joined", py::int_(1)),
                                                            "files_joined", 1));
}

} // namespace

std::vector<double> NumbersOfArray(const py::handle &values, const std::string &what)
{
    if (values.is_none())
        Refuse(what + " must be an array of numbers, not None");
    if (py::isinstance<py::str>(values) || py::isinstance<py::bytes>(values))
        Refuse(what + " must be an array of numbers, not a text");
    const py::array array = ArrayOf(values, what);
    const char kind = array.dtype().kind();
    if (!IsNumberKind(kind))
        Refuse(what + " must hold numbers, not " + KindName(kind));
    if (array.ndim() != 1)
        Refuse(what + " must be one-dimensional, not of " + std::to_string(array.ndim()) + " dimensions");
    using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const Doubles numbers = Doubles::ensure(array);
    if (!numbers)
        Refuse(what + " cannot be converted to floating-point numbers");
    const std::size_t count = static_cast<std::size_t>(numbers.size());
    std::vector<double> copy(count);
    if (count > 0)
        std::memcpy(copy.data(), numbers.data(), count * sizeof(double));
    return copy;
}

const std::vector<std::string> CurveNames = {"time",          "mag",         "err",          "time_scale",
                                             "band",          "name",        "file",         "skipped",
                                             "input_form",    "flux_column", "relative_flux", "files_joined",
                                             "bands",         "band_of"};

CurveArguments CurveOfNamed(const NamedArguments &a)
{
    const py::object none = py::none();
    CurveArguments read;
    LightCurve &curve = read.curve;
    curve.time = NumbersOfArray(ArgumentOr(a, "time", none), "time");
    curve.magnitude = NumbersOfArray(ArgumentOr(a, "mag", none), "mag");
    const py::object err = ArgumentOr(a, "err", none);
    if (!err.is_none())
        curve.uncertainty = NumbersOfArray(err, "err");
    curve.timeScale = TimeScaleOf(ArgumentOr(a, "time_scale", py::str("JD")));
    curve.band = OptionalText(ArgumentOr(a, "band", none), "band");
    curve.name = OptionalText(ArgumentOr(a, "name", none), "name");
    curve.file = OptionalText(ArgumentOr(a, "file", none), "file");
    ReadSkipped(ArgumentOr(a, "skipped", none), curve);
    ReadMaking(a, read);
    ReadBands(ArgumentOr(a, "bands", none), ArgumentOr(a, "band_of", none), curve);
    return read;
}

CurveEntry CurveOfEntry(const py::handle &entry, std::size_t index)
{
    try {
        if (py::isinstance<py::dict>(entry))
            return CurveOfMapping(py::reinterpret_borrow<py::dict>(entry));
        if (IsMapping(entry))
            return CurveOfMapping(py::dict(py::reinterpret_borrow<py::object>(entry)));
        if (py::isinstance<py::tuple>(entry) || py::isinstance<py::list>(entry))
            return CurveOfSequence(py::reinterpret_borrow<py::sequence>(entry));
        Refuse("a light curve must be a dict or a tuple (time, mag[, err]), not " +
               py::str(entry.get_type().attr("__name__")).cast<std::string>());
    } catch (const py::value_error &refusal) {
        Refuse("light curve " + std::to_string(index) + ": " + refusal.what());
    }
}

long WholeArgument(const py::handle &value, const std::string &what, long least)
{
    if (py::isinstance<py::bool_>(value) || PyIndex_Check(value.ptr()) == 0)
        Refuse(what + " must be a whole number");
    int overflow = 0;
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) {
        PyErr_Clear();
        Refuse(what + " must be a whole number");
    }
    const long number = PyLong_AsLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || number < least || number > 2147483647L)
        Refuse(what + " must be a whole number from " + std::to_string(least) + " to 2147483647");
    return number;
}

namespace {

bool Flag(const py::handle &value, const std::string &what)
{
    if (!py::isinstance<py::bool_>(value))
        Refuse(what + " must be True or False");
    return value.cast<bool>();
}

double PositiveNumber(const py::handle &value, const std::string &what)
{
    const double number = FiniteNumber(value, what);
    if (!(number > 0))
        Refuse(what + " must be above 0");
    return number;
}

// A text among 'choices' (for the message, as the Python values read).
std::string Choice(const py::handle &value, const std::string &what, const std::vector<std::string> &choices,
                   const std::string &told)
{
    if (py::isinstance<py::str>(value))
        for (const std::string &choice : choices)
            if (value.cast<std::string>() == choice)
                return choice;
    Refuse(what + " must be " + told);
}

// "NAME:N" with a whole N of at least 'least', as the command line writes
// a choice with its count; true and N when the text is NAME:N.
bool CountedChoice(const py::handle &value, const std::string &name, long least, const std::string &what,
                   long &count)
{
    if (!py::isinstance<py::str>(value))
        return false;
    const std::string text = value.cast<std::string>();
    if (text.compare(0, name.size() + 1, name + ":") != 0)
        return false;
    const std::string digits = text.substr(name.size() + 1);
    char *end = nullptr;
    errno = 0;
    const long number = digits.empty() || !std::isdigit(static_cast<unsigned char>(digits[0]))
                            ? -1
                            : std::strtol(digits.c_str(), &end, 10);
    if (number < least || errno != 0 || *end != '\0' || number > 2147483647L)
        Refuse(what + ": the count of " + name + ":N must be a whole number from " + std::to_string(least));
    count = number;
    return true;
}

void ReadPeriodRange(const py::handle &periods, AnalysisSettings &settings)
{
    if (py::isinstance<py::str>(periods) || PySequence_Check(periods.ptr()) == 0 || py::len(periods) != 2)
        Refuse("periods must be a pair (MIN, MAX) of trial periods in days");
    const py::sequence range = py::reinterpret_borrow<py::sequence>(periods);
    settings.minimumPeriod = FiniteNumber(range[0], "the minimum period");
    settings.maximumPeriod = FiniteNumber(range[1], "the maximum period");
}

// The grid as the command line chooses it: the one named, else even in
// period when the intervals are given, else even in frequency.
void ReadGrid(const SettingArguments &a, AnalysisSettings &settings)
{
    settings.intervals = a.intervals.is_none() ? 0 : WholeArgument(a.intervals, "intervals", 1);
    if (a.grid.is_none())
        settings.grid = settings.intervals > 0 ? GridEvenInPeriod : GridEvenInFrequency;
    else
        settings.grid = Choice(a.grid, "grid", {"frequency", "period"}, "\"frequency\", \"period\" or None") ==
                                "period"
                            ? GridEvenInPeriod
                            : GridEvenInFrequency;
    settings.oversample = PositiveNumber(a.oversample, "oversample");
    const std::string transform =
        Choice(a.transform, "transform", {"auto", "exact", "fast"}, "\"auto\", \"exact\" or \"fast\"");
    settings.transform = transform == "exact" ? TransformExact : transform == "fast" ? TransformFast
                                                                                      : TransformAutomatic;
}

// prewhiten: a whole number, or "auto" (up to 10 periods) or "auto:M".
void ReadPrewhitening(const py::handle &prewhiten, AnalysisSettings &settings)
{
    long count = 0;
    if (py::isinstance<py::str>(prewhiten) && prewhiten.cast<std::string>() == "auto") {
        settings.prewhitenAutomatic = true;
        settings.prewhiten = 10;
    } else if (CountedChoice(prewhiten, "auto", 1, "prewhiten", count)) {
        settings.prewhitenAutomatic = true;
        settings.prewhiten = static_cast<int>(count);
    } else if (py::isinstance<py::str>(prewhiten)) {
        Refuse("prewhiten must be a whole number, \"auto\" or \"auto:M\"");
    } else {
        settings.prewhiten = static_cast<int>(WholeArgument(prewhiten, "prewhiten", 0));
    }
}

void ReadStatistics(const SettingArguments &a, AnalysisSettings &settings)
{
    const std::string weights =
        Choice(a.weights, "weights", {"auto", "errors", "none"}, "\"auto\", \"errors\" or \"none\"");
    settings.weights = weights == "errors" ? WeightsFromErrors : weights == "none" ? WeightsNone : WeightsAutomatic;
    long count = 0;
    if (py::isinstance<py::str>(a.fap) && a.fap.cast<std::string>() == "baluev")
        settings.falseAlarm = FalseAlarmBaluev;
    else if (py::isinstance<py::str>(a.fap) && a.fap.cast<std::string>() == "model")
        settings.falseAlarm = FalseAlarmModel;
    else if (py::isinstance<py::str>(a.fap) && a.fap.cast<std::string>() == "bootstrap")
        settings.falseAlarm = FalseAlarmBootstrap;
    else if (CountedChoice(a.fap, "bootstrap", 1, "fap", count)) {
        settings.falseAlarm = FalseAlarmBootstrap;
        settings.bootstrapResamples = static_cast<int>(count);
    } else
        Refuse("fap must be \"baluev\", \"model\", \"bootstrap\" or \"bootstrap:B\"");
    if (py::isinstance<py::str>(a.errors) && a.errors.cast<std::string>() == "formula")
        settings.monteCarloRealisations = 0;
    else if (CountedChoice(a.errors, "montecarlo", 2, "errors", count))
        settings.monteCarloRealisations = static_cast<int>(count);
    else
        Refuse("errors must be \"formula\" or \"montecarlo:R\"");
    settings.noiseWidth = a.noiseWindow.is_none() ? 0 : PositiveNumber(a.noiseWindow, "noise_window");
    settings.seed = static_cast<unsigned long>(WholeArgument(a.seed, "seed", 0));
}

void ReadFold(const py::handle &fold, AnalysisSettings &settings)
{
    if (fold.is_none())
        return;
    settings.fold = true;
    if (py::isinstance<py::str>(fold)) {
        if (fold.cast<std::string>() != "best")
            Refuse("fold must be None, a period in days or \"best\"");
        settings.foldAtBest = true;
    } else {
        settings.foldPeriod = FiniteNumber(fold, "fold");
        if (!(settings.foldPeriod > 0))
            Refuse("fold must be a positive period in days");
    }
}

// The times of extrema, with the command line's rules: minima or maxima,
// not both, and their period, ephemeris and window only with one of them.
void ReadExtrema(const SettingArguments &a, AnalysisSettings &settings)
{
    const bool minima = Flag(a.minima, "minima"), maxima = Flag(a.maxima, "maxima");
    if (minima && maxima)
        Refuse("minima and maxima exclude each other");
    settings.extrema = minima || maxima;
    settings.maxima = maxima;
    if (!settings.extrema && (!a.period.is_none() || !a.ephemeris.is_none() || !a.extremaWindow.is_none()))
        Refuse("period, ephemeris and extrema_window need minima=True or maxima=True");
    if (!a.period.is_none())
        settings.extremaPeriod = PositiveNumber(a.period, "period");
    if (!a.ephemeris.is_none()) {
        if (py::isinstance<py::str>(a.ephemeris) || PySequence_Check(a.ephemeris.ptr()) == 0 ||
            py::len(a.ephemeris) != 2)
            Refuse("ephemeris must be a pair (EPOCH, PERIOD): a reduced Julian date and a period in days");
        const py::sequence pair = py::reinterpret_borrow<py::sequence>(a.ephemeris);
        settings.ephemerisGiven = true;
        settings.ephemerisEpoch = FiniteNumber(pair[0], "the ephemeris's epoch");
        settings.ephemerisPeriod = PositiveNumber(pair[1], "the ephemeris's period");
    }
    if (!a.extremaWindow.is_none()) {
        settings.extremaWindow = PositiveNumber(a.extremaWindow, "extrema_window");
        if (settings.extremaWindow > 1)
            Refuse("extrema_window must be a share of the period above 0 and at most 1");
    }
}

// The search method and its box durations, with the command line's rules.
void ReadMethod(const SettingArguments &a, AnalysisSettings &settings)
{
    if (!py::isinstance<py::str>(a.method))
        Refuse("method must be a text: \"dcdft\", \"harmonics:H\", \"aov:H\", \"pdm:B\" or \"bls\"");
    const std::string name = a.method.cast<std::string>();
    MethodChoice choice;
    if (ParseMethod(name, choice) != MethodOk)
        Refuse("method must be \"dcdft\", \"harmonics:H\" with H 1 to " + std::to_string(MaxHarmonics) +
               ", \"aov:H\", \"pdm:B\" with B 2 to " + std::to_string(MaxPhaseBins) + ", or \"bls\", not \"" +
               name + "\"");
    // The command line passes the method as written; "dcdft" is its default.
    settings.method = name == "dcdft" ? std::string() : name;
    if (!a.durations.is_none()) {
        if (choice.kind != MethodBls)
            Refuse("durations need method=\"bls\"");
        BoxOptions box;
        box.durations = NumbersOfArray(a.durations, "durations");
        if (CheckBoxOptions(box) != MethodOk)
            Refuse("durations must be shares of the period between 0 and 0.5");
        settings.durations = box.durations;
    }
    if (!a.foldHarmonics.is_none()) {
        settings.foldHarmonics = static_cast<int>(WholeArgument(a.foldHarmonics, "fold_harmonics", 1));
        if (settings.foldHarmonics > MaxHarmonics)
            Refuse("fold_harmonics must be 1 to " + std::to_string(MaxHarmonics));
    }
}

} // namespace

AnalysisSettings SettingsOfArguments(const SettingArguments &a)
{
    AnalysisSettings settings;
    ReadPeriodRange(a.periods, settings);
    ReadGrid(a, settings);
    settings.peaks = static_cast<int>(WholeArgument(a.peaks, "peaks", 1));
    ReadPrewhitening(a.prewhiten, settings);
    ReadStatistics(a, settings);
    settings.window = Flag(a.window, "window");
    ReadFold(a.fold, settings);
    ReadExtrema(a, settings);
    ReadMethod(a, settings);
    settings.threads = static_cast<int>(WholeArgument(a.threads, "threads", 0));
    return settings;
}

namespace {

struct NamedSetting {
    const char *name;
    py::object SettingArguments::*member;
};

const NamedSetting NamedSettings[] = {
    {"periods", &SettingArguments::periods},       {"grid", &SettingArguments::grid},
    {"oversample", &SettingArguments::oversample}, {"transform", &SettingArguments::transform},
    {"intervals", &SettingArguments::intervals},   {"peaks", &SettingArguments::peaks},
    {"prewhiten", &SettingArguments::prewhiten},   {"weights", &SettingArguments::weights},
    {"fap", &SettingArguments::fap},               {"errors", &SettingArguments::errors},
    {"noise_window", &SettingArguments::noiseWindow}, {"seed", &SettingArguments::seed},
    {"window", &SettingArguments::window},         {"fold", &SettingArguments::fold},
    {"minima", &SettingArguments::minima},         {"maxima", &SettingArguments::maxima},
    {"period", &SettingArguments::period},         {"ephemeris", &SettingArguments::ephemeris},
    {"extrema_window", &SettingArguments::extremaWindow}, {"threads", &SettingArguments::threads},
    {"method", &SettingArguments::method},         {"durations", &SettingArguments::durations},
    {"fold_harmonics", &SettingArguments::foldHarmonics},
};

std::vector<std::string> NamesOfSettings()
{
    std::vector<std::string> names;
    for (const NamedSetting &setting : NamedSettings)
        names.push_back(setting.name);
    return names;
}

[[noreturn]] void RefuseCall(const std::string &message) { throw py::type_error(message); }

bool Among(const std::vector<std::string> &names, const std::string &name)
{
    for (const std::string &known : names)
        if (known == name)
            return true;
    return false;
}

} // namespace

const std::vector<std::string> SettingNames = NamesOfSettings();

NamedArguments ArgumentsByName(const std::string &function, const py::args &args, const py::kwargs &kwargs,
                               const std::vector<std::string> &positional,
                               const std::vector<std::string> &keywordOnly, const std::vector<std::string> &required)
{
    NamedArguments named;
    if (args.size() > positional.size())
        RefuseCall(function + "() takes at most " + std::to_string(positional.size()) +
                   " positional arguments but " + std::to_string(args.size()) + " were given");
    for (std::size_t i = 0; i < args.size(); ++i)
        named[positional[i]] = py::reinterpret_borrow<py::object>(args[i]);
    for (const auto &item : kwargs) {
        const std::string name = item.first.cast<std::string>();
        if (!Among(positional, name) && !Among(keywordOnly, name))
            RefuseCall(function + "() got an unexpected keyword argument '" + name + "'");
        if (named.count(name) != 0)
            RefuseCall(function + "() got multiple values for argument '" + name + "'");
        named[name] = py::reinterpret_borrow<py::object>(item.second);
    }
    for (const std::string &name : required)
        if (named.count(name) == 0)
            RefuseCall(function + "() missing required argument: '" + name + "'");
    return named;
}

py::object ArgumentOr(const NamedArguments &arguments, const std::string &name, py::object otherwise)
{
    const auto found = arguments.find(name);
    return found == arguments.end() ? otherwise : found->second;
}

SettingArguments SettingArgumentsOf(const NamedArguments &arguments)
{
    SettingArguments settings;
    for (const NamedSetting &setting : NamedSettings) {
        const auto found = arguments.find(setting.name);
        if (found != arguments.end())
            settings.*setting.member = found->second;
    }
    return settings;
}
