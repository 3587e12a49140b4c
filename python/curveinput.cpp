// Python arguments into the engine's light curve and settings.
#include "curveinput.h"

#include <cmath>
#include <cstring>
#include <pybind11/numpy.h>

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

const char *const EntryKeys[] = {"time", "mag", "err", "time_scale", "band", "name", "file", "skipped"};

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

CurveEntry CurveOfMapping(const py::dict &entry)
{
    if (entry.contains("error"))
        return RefusedOfMapping(entry);
    for (const auto &item : entry) {
        bool known = false;
        for (const char *key : EntryKeys)
            known = known || (py::isinstance<py::str>(item.first) && item.first.cast<std::string>() == key);
        if (!known)
            Refuse("unknown key " + py::repr(item.first).cast<std::string>() +
                   " (time, mag, err, time_scale, band, name, file, skipped)");
    }
    if (!entry.contains("time") || !entry.contains("mag"))
        Refuse("a light curve needs the keys time and mag");
    const py::object scale = entry.contains("time_scale") ? py::reinterpret_borrow<py::object>(entry["time_scale"])
                                                          : py::object(py::str("JD"));
    return {CurveOfArrays(entry["time"], entry["mag"], ItemOr(entry, "err"), scale, ItemOr(entry, "band"),
                          ItemOr(entry, "name"), ItemOr(entry, "file"), ItemOr(entry, "skipped")),
            std::string()};
}

CurveEntry CurveOfSequence(const py::sequence &entry)
{
    const std::size_t size = py::len(entry);
    if (size != 2 && size != 3)
        Refuse("a light curve as a tuple is (time, mag) or (time, mag, err)");
    return {CurveOfArrays(entry[0], entry[1], size == 3 ? py::object(entry[2]) : py::object(py::none()),
                          py::str("JD"), py::none(), py::none(), py::none(), py::none()),
            std::string()};
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

LightCurve CurveOfArrays(const py::handle &time, const py::handle &magnitude, const py::handle &err,
                         const py::handle &timeScale, const py::handle &band, const py::handle &name,
                         const py::handle &file, const py::handle &skipped)
{
    LightCurve curve;
    curve.time = NumbersOfArray(time, "time");
    curve.magnitude = NumbersOfArray(magnitude, "mag");
    if (!err.is_none())
        curve.uncertainty = NumbersOfArray(err, "err");
    curve.timeScale = TimeScaleOf(timeScale);
    curve.band = OptionalText(band, "band");
    curve.name = OptionalText(name, "name");
    curve.file = OptionalText(file, "file");
    ReadSkipped(skipped, curve);
    return curve;
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

AnalysisSettings SettingsOfArguments(const py::handle &periods, const py::handle &intervals,
                                     const py::handle &peaks, const py::handle &prewhiten,
                                     const py::handle &window, const py::handle &fold, const py::handle &threads)
{
    AnalysisSettings settings;
    if (py::isinstance<py::str>(periods) || PySequence_Check(periods.ptr()) == 0 || py::len(periods) != 2)
        Refuse("periods must be a pair (MIN, MAX) of trial periods in days");
    const py::sequence range = py::reinterpret_borrow<py::sequence>(periods);
    settings.minimumPeriod = FiniteNumber(range[0], "the minimum period");
    settings.maximumPeriod = FiniteNumber(range[1], "the maximum period");
    settings.intervals = intervals.is_none() ? 0 : WholeArgument(intervals, "intervals", 1);
    settings.peaks = static_cast<int>(WholeArgument(peaks, "peaks", 1));
    settings.prewhiten = static_cast<int>(WholeArgument(prewhiten, "prewhiten", 0));
    if (!py::isinstance<py::bool_>(window))
        Refuse("window must be True or False");
    settings.window = window.cast<bool>();
    if (!fold.is_none()) {
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
    settings.threads = static_cast<int>(WholeArgument(threads, "threads", 0));
    return settings;
}
