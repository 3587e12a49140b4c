// Light-curve files read by the lightcurves library into Python dicts.
#include "tablereading.h"

#include <pybind11/numpy.h>

#include "curveinput.h"
#include "lightcurves.h"
#include "runerror.h"
#include "timescale.h"

namespace py = pybind11;

namespace {

[[noreturn]] void Refuse(const std::string &message) { throw py::value_error(message); }

// A text of the readers (names and bands as the file has them, maybe not
// UTF-8) as a str; what is not UTF-8 becomes U+FFFD, as in the JSON report.
py::object TextOf(const std::string &text)
{
    return py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text.data(), static_cast<py::ssize_t>(text.size()), "replace"));
}

py::object TextOrNone(const std::string &text) { return text.empty() ? py::object(py::none()) : TextOf(text); }

py::array_t<double> ArrayOf(const std::vector<double> &values)
{
    py::array_t<double> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

// The right ascension (hours) or declination (degrees) of a conversion: a
// number, or a text sexagesimal or decimal as the command line reads it.
double Coordinate(const py::handle &value, bool rightAscension, const std::string &option)
{
    double result = 0;
    const char *what = rightAscension ? "right ascension" : "declination";
    if (py::isinstance<py::str>(value)) {
        const std::string text = value.cast<std::string>();
        const bool read = rightAscension ? ReadRightAscension(text, result) : ReadDeclination(text, result);
        if (!read)
            Refuse(option + ": invalid " + what + " '" + text + "'");
        return result;
    }
    if (py::isinstance<py::bool_>(value) || PyNumber_Check(value.ptr()) == 0)
        Refuse(option + ": the " + what + " must be a number or a text");
    result = py::reinterpret_borrow<py::object>(value).cast<double>();
    const bool inRange = rightAscension ? result >= 0 && result < 24 : result >= -90 && result <= 90;
    if (!inRange)
        Refuse(option + ": the " + what + (rightAscension ? " must be 0 to 24 hours" : " must be -90 to 90 degrees"));
    return result;
}

void ReadConversion(const py::handle &position, const char *option, TimeConversionChoice choice,
                    ReadChoices &choices)
{
    if (position.is_none())
        return;
    if (choices.timeConversion != ConvertNoTimes)
        Refuse("heliocentric and barycentric exclude each other");
    if (py::isinstance<py::str>(position) || PySequence_Check(position.ptr()) == 0 || py::len(position) != 2)
        Refuse(std::string(option) + " must be (RA, DEC): hours and degrees, numbers or texts");
    const py::sequence pair = py::reinterpret_borrow<py::sequence>(position);
    choices.starHours = Coordinate(pair[0], true, option);
    choices.starDegrees = Coordinate(pair[1], false, option);
    choices.timeConversion = choice;
}

std::string OptionalText(const py::handle &value, const char *what)
{
    if (value.is_none())
        return std::string();
    if (!py::isinstance<py::str>(value))
        Refuse(std::string(what) + " must be a text (str)");
    return value.cast<std::string>();
}

ReadChoices ChoicesOf(const ReadArguments &a)
{
    ReadChoices choices;
    choices.band = OptionalText(a.band, "band");
    choices.starColumn = OptionalText(a.starColumn, "star_column");
    ReadConversion(a.heliocentric, "heliocentric", ConvertToHeliocentric, choices);
    ReadConversion(a.barycentric, "barycentric", ConvertToBarycentric, choices);
    if (!py::isinstance<py::bool_>(a.surveyColumns))
        Refuse("survey_columns must be True or False");
    choices.surveyColumns = a.surveyColumns.cast<bool>();
    const std::string flux = OptionalText(a.flux, "flux");
    if (flux != "pdcsap" && flux != "sap")
        Refuse("flux must be \"pdcsap\" or \"sap\"");
    choices.flux = flux == "sap" ? SapFlux : PdcsapFlux;
    const std::string units = OptionalText(a.fluxUnits, "flux_units");
    if (units != "mag" && units != "relative")
        Refuse("flux_units must be \"mag\" or \"relative\"");
    choices.fluxUnits = units == "relative" ? FluxRelative : FluxToMagnitudes;
    if (a.maximumEstimates && !a.maximumEstimates.is_none())
        choices.maximumEstimates = WholeArgument(a.maximumEstimates, "max_estimates", 1);
    return choices;
}

// The path as the file system takes it (str, bytes or os.PathLike) and as
// given, for the reports.
struct PathOf {
    std::string bytes;
    py::object given;
};

PathOf PathArgument(const py::handle &path)
{
    const py::module_ os = py::module_::import("os");
    try {
        const py::object given = os.attr("fspath")(path);
        return {os.attr("fsencode")(given).cast<std::string>(), os.attr("fsdecode")(given)};
    } catch (const py::error_already_set &) {
        Refuse("path must be a file name (str, bytes or os.PathLike)");
    }
}

[[noreturn]] void RaiseReadError(const ReadError &error)
{
    PyObject *type = PyExc_ValueError;
    if (error.runError == RunErrorFileNotFound || error.runError == RunErrorPathNotFound)
        type = PyExc_FileNotFoundError;
    else if (error.runError == RunErrorAccessDenied)
        type = PyExc_PermissionError;
    else if (error.runError == RunErrorOutOfMemory)
        type = PyExc_MemoryError;
    else if (error.runError != 0 && error.runError != RunErrorInvalidNumber)
        type = PyExc_OSError;
    PyErr_SetObject(type, TextOf(error.message).ptr());
    throw py::error_already_set();
}

LightCurveReading Read(const PathOf &path, const ReadChoices &choices)
{
    py::gil_scoped_release release;
    try {
        return ReadLightCurves(path.bytes, choices);
    } catch (const std::bad_alloc &) {
        LightCurveReading reading;
        reading.error.message = "out of memory";
        reading.error.runError = RunErrorOutOfMemory;
        return reading;
    }
}

py::dict DictOfCurve(const LightCurve &curve, const py::object &file)
{
    py::dict d;
    d["time"] = ArrayOf(curve.time);
    d["mag"] = ArrayOf(curve.magnitude);
    d["err"] = curve.uncertainty.empty() ? py::object(py::none()) : py::object(ArrayOf(curve.uncertainty));
    d["time_scale"] = TextOf(curve.timeScale);
    d["band"] = TextOrNone(curve.band);
    d["name"] = TextOrNone(curve.name);
    d["file"] = file;
    py::dict skipped;
    skipped["limits"] = curve.skippedLimits;
    skipped["other_bands"] = curve.skippedOtherBands;
    skipped["empty"] = curve.skippedEmpty;
    skipped["flagged"] = curve.skippedFlagged;
    skipped["non_positive_flux"] = curve.skippedNonPositiveFlux;
    d["skipped"] = skipped;
    return d;
}

} // namespace

py::dict ReadTable(const py::handle &path, const ReadArguments &arguments)
{
    const PathOf file = PathArgument(path);
    const LightCurveReading reading = Read(file, ChoicesOf(arguments));
    if (ReadFailed(reading))
        RaiseReadError(reading.error);
    if (reading.curves.size() != 1)
        Refuse("the table holds " + std::to_string(reading.curves.size()) +
               " stars; read_stars gives one light curve a star");
    if (!reading.refusals[0].empty())
        Refuse(reading.refusals[0]);
    return DictOfCurve(reading.curves[0], file.given);
}

py::list ReadStars(const py::handle &path, const ReadArguments &arguments)
{
    const PathOf file = PathArgument(path);
    ReadChoices choices = ChoicesOf(arguments);
    choices.surveyColumns = true;
    const LightCurveReading reading = Read(file, choices);
    if (ReadFailed(reading))
        RaiseReadError(reading.error);
    py::list stars;
    for (std::size_t i = 0; i < reading.curves.size(); ++i) {
        if (reading.refusals[i].empty()) {
            stars.append(DictOfCurve(reading.curves[i], file.given));
            continue;
        }
        py::dict refused;
        refused["file"] = file.given;
        refused["name"] = TextOrNone(reading.curves[i].name);
        refused["error"] = TextOf(reading.refusals[i]);
        stars.append(refused);
    }
    return stars;
}
