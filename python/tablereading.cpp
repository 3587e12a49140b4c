// Light-curve files read by the lightcurves library into Python dicts.
#include "tablereading.h"

#include <pybind11/numpy.h>

#include "curveinput.h"
#include "lightcurves.h"
#include "runerror.h"
#include "table.h"
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

// Several bands at once: "all", names with commas between, or a list of
// names; refused beside one band, as the command line refuses it.
void ReadBandChoice(const py::handle &bands, ReadChoices &choices)
{
    if (bands.is_none())
        return;
    if (!choices.band.empty())
        Refuse("band and bands cannot be used together");
    std::vector<std::string> names;
    if (py::isinstance<py::str>(bands)) {
        const std::string text = bands.cast<std::string>();
        if (text == "all") {
            choices.allBands = true;
            return;
        }
        std::size_t start = 0;
        for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
            names.push_back(text.substr(start, comma - start));
        names.push_back(text.substr(start));
    } else if (PySequence_Check(bands.ptr()) != 0) {
        for (const py::handle name : py::reinterpret_borrow<py::sequence>(bands)) {
            if (!py::isinstance<py::str>(name))
                Refuse("bands must be \"all\", band names with commas between, or a list of band names");
            names.push_back(name.cast<std::string>());
        }
    } else {
        Refuse("bands must be \"all\", band names with commas between, or a list of band names");
    }
    for (const std::string &name : names)
        if (name.empty())
            Refuse("bands must be \"all\", band names with commas between, or a list of band names");
    if (names.empty())
        Refuse("bands must name at least one band");
    choices.bandList = names;
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
    ReadBandChoice(a.bands, choices);
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

// A path as the file system takes it (str, bytes or os.PathLike) and as
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
        Refuse("path must be a file name (str, bytes or os.PathLike) or, to join FITS files, a list of them");
    }
}

// One path, or the list of FITS files of one star to join.
std::vector<PathOf> PathsArgument(const py::handle &path)
{
    if (py::isinstance<py::list>(path) || py::isinstance<py::tuple>(path)) {
        std::vector<PathOf> paths;
        for (const py::handle one : py::reinterpret_borrow<py::sequence>(path))
            paths.push_back(PathArgument(one));
        if (paths.empty())
            Refuse("no file to read");
        return paths;
    }
    return {PathArgument(path)};
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A table whose header only the surveys' names explain: kalidor's own
// table reader would refuse it for want of a time or magnitude column.
bool OnlySurveyNamesExplain(const std::string &path)
{
    const std::string first = FirstLineOf(path.c_str());
    TableLayout layout;
    std::string missing;
    return !FindTableLayout(first, layout, missing) && FindSurveyTableLayout(first, "", layout, missing);
}

// True when the file is a table whose header names a star column (one of
// the usual names): kalidor analyses its stars in a survey run.
bool HasStarColumn(const std::string &path)
{
    if (InputFormOf(path, true) != TableForm)
        return false;
    std::string first = FirstLineOf(path.c_str());
    TableLayout layout;
    std::string missing;
    return FindSurveyTableLayout(first, "", layout, missing) && layout.header && layout.starColumn >= 0;
}

// True when kalidor's batch run reads the file through the light-curve
// readers with the surveys' names (FITS light curves, the surveys' tables,
// several bands at once) rather than with the names it always read.
bool TakesReaderPath(const std::string &path, const ReadChoices &choices)
{
    if (EndsWith(path, ".jud"))
        return false;
    const InputForm form = InputFormOf(path, true);
    if (form == FitsForm)
        return true;
    if (form != TableForm)
        return false;
    return SeveralBandsChosen(choices) || !IsTableFirstLine(FirstLineOf(path.c_str())) ||
           OnlySurveyNamesExplain(path);
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

LightCurveReading Read(const std::vector<PathOf> &paths, const ReadChoices &choices)
{
    std::vector<std::string> names;
    for (const PathOf &path : paths)
        names.push_back(path.bytes);
    py::gil_scoped_release release;
    try {
        return names.size() == 1 ? ReadLightCurves(names[0], choices) : ReadJoinedLightCurve(names, choices);
    } catch (const std::bad_alloc &) {
        LightCurveReading reading;
        reading.error.message = "out of memory";
        reading.error.runError = RunErrorOutOfMemory;
        return reading;
    }
}

py::object IndicesOf(const std::vector<int> &values)
{
    py::array_t<int> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return std::move(array);
}

py::dict DictOfCurve(const LightCurve &curve, const py::object &file, const std::string &inputForm)
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
    d["input_form"] = TextOrNone(inputForm);
    d["flux_column"] = TextOrNone(curve.fluxColumn);
    d["relative_flux"] = curve.relativeFlux;
    d["files_joined"] = curve.filesJoined;
    if (curve.bands.empty()) {
        d["bands"] = py::none();
        d["band_of"] = py::none();
    } else {
        py::list bands;
        for (const std::string &band : curve.bands)
            bands.append(TextOf(band));
        d["bands"] = bands;
        d["band_of"] = IndicesOf(curve.bandOf);
    }
    return d;
}

} // namespace

py::dict ReadTable(const py::handle &path, const ReadArguments &arguments)
{
    const std::vector<PathOf> paths = PathsArgument(path);
    ReadChoices choices = ChoicesOf(arguments);
    // A table with a star column is read as the survey run reads it, and
    // its report has no input form, as the survey run's records have none.
    // Joined files are FITS light curves, which take the readers' path.
    const bool survey = paths.size() == 1 && HasStarColumn(paths[0].bytes);
    const bool readerPath = !survey && (paths.size() > 1 || TakesReaderPath(paths[0].bytes, choices));
    choices.surveyColumns = survey || readerPath;
    const LightCurveReading reading = Read(paths, choices);
    if (ReadFailed(reading))
        RaiseReadError(reading.error);
    if (reading.curves.size() != 1)
        Refuse("the table holds " + std::to_string(reading.curves.size()) +
               " stars; read_stars gives one light curve a star");
    if (!reading.refusals[0].empty())
        Refuse(reading.refusals[0]);
    const LightCurve &curve = reading.curves[0];
    const std::string form = !readerPath ? "" : !curve.fluxColumn.empty() ? "fits" : "survey";
    // Joined files are named as the reader names them, one after the other.
    const py::object file = paths.size() > 1 ? TextOf(curve.file) : paths[0].given;
    return DictOfCurve(curve, file, form);
}

py::list ReadStars(const py::handle &path, const ReadArguments &arguments)
{
    const PathOf file = PathArgument(path);
    ReadChoices choices = ChoicesOf(arguments);
    choices.surveyColumns = true;
    const LightCurveReading reading = Read({file}, choices);
    if (ReadFailed(reading))
        RaiseReadError(reading.error);
    py::list stars;
    for (std::size_t i = 0; i < reading.curves.size(); ++i) {
        if (reading.refusals[i].empty()) {
            stars.append(DictOfCurve(reading.curves[i], file.given, ""));
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
