// Reading light curves: the form of a file, the shared refusals and time
// conversion, and the joining of FITS sectors.
#include "lightcurves.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "numformat.h"
#include "readerparts.h"
#include "runerror.h"
#include "table.h"
#include "text.h"
#include "timescale.h"

const char *const EmptyFileText = "the file holds no estimate";
const char *const BandOnlyForTablesText = "--band applies to tables only";
const char *const BandsOnlyForTablesText = "--bands applies to tables only";

bool SeveralBandsChosen(const ReadChoices &choices) { return choices.allBands || !choices.bandList.empty(); }

namespace {

const char FitsSignature[] = "SIMPLE  =";

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// True when the file starts with the FITS signature.
bool HasFitsSignature(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char start[sizeof FitsSignature - 1];
    const bool fits = std::fread(start, 1, sizeof start, file) == sizeof start &&
                      std::memcmp(start, FitsSignature, sizeof start) == 0;
    std::fclose(file);
    return fits;
}

bool IsTableHeaderOrData(const std::string &firstLine, bool surveyColumns)
{
    if (IsTableFirstLine(firstLine))
        return true;
    if (!surveyColumns)
        return false;
    TableLayout layout;
    std::string missing;
    return FindSurveyTableLayout(firstLine, std::string(), layout, missing) && layout.header;
}

// Appends one sector's curve to the joined one.
void AppendCurve(LightCurve &joined, const LightCurve &part)
{
    joined.time.insert(joined.time.end(), part.time.begin(), part.time.end());
    joined.magnitude.insert(joined.magnitude.end(), part.magnitude.begin(), part.magnitude.end());
    if (part.uncertainty.empty())
        joined.uncertainty.insert(joined.uncertainty.end(), part.time.size(), std::nan(""));
    else
        joined.uncertainty.insert(joined.uncertainty.end(), part.uncertainty.begin(), part.uncertainty.end());
    joined.skippedLimits += part.skippedLimits;
    joined.skippedOtherBands += part.skippedOtherBands;
    joined.skippedEmpty += part.skippedEmpty;
    joined.skippedFlagged += part.skippedFlagged;
    joined.skippedNonPositiveFlux += part.skippedNonPositiveFlux;
}

} // namespace

std::string BadRecordText(long record) { return "bad data format on line " + IntegerText(record, 0); }

std::string TooManyEstimatesText(long maximum)
{
    return "too many estimates: at most " + IntegerText(maximum, 0) + " records";
}

ReadError Refusal(const std::string &message, const std::string &file, long line)
{
    ReadError error;
    error.message = message;
    error.file = file;
    error.line = line;
    return error;
}

ReadError FileSystemError(const char *verb, const std::string &file, int errnum)
{
    char buffer[256];
    // The GNU strerror_r: thread-safe, gives its text (maybe not in buffer).
    const char *reason = strerror_r(errnum, buffer, sizeof buffer);
    ReadError error = Refusal(std::string("cannot ") + verb + " " + file + ": " + reason, file);
    error.runError = RunErrorCodeOf(errnum);
    return error;
}

ReadError InvalidNumberError(const std::string &file, long line)
{
    ReadError error = Refusal("invalid numeric format on line " + IntegerText(line, 0), file, line);
    error.runError = RunErrorInvalidNumber;
    return error;
}

TimeConverter MakeTimeConverter(const ReadChoices &choices)
{
    TimeConverter converter;
    converter.choice = choices.timeConversion;
    if (converter.choice != ConvertNoTimes)
        StarDirection(choices.starHours, choices.starDegrees, converter.direction);
    return converter;
}

const char *ConvertedScaleName(TimeConversionChoice choice)
{
    return choice == ConvertToHeliocentric ? "HJD" : choice == ConvertToBarycentric ? "BJD_TDB" : "JD";
}

bool ConvertTime(const TimeConverter &converter, double reduced, double &converted, std::string &refusal)
{
    if (converter.choice == ConvertNoTimes) {
        converted = reduced;
        return true;
    }
    const int status = converter.choice == ConvertToHeliocentric
                           ? HeliocentricJulianDate(reduced, converter.direction, converted)
                           : BarycentricJulianDate(reduced, converter.direction, converted);
    if (status >= 0 && std::isfinite(converted))
        return true;
    refusal = "the time " + CutText(FixedText(reduced, 2, 3)) + " cannot be converted to " +
              ConvertedScaleName(converter.choice);
    return false;
}

std::string SecondConversionRefusal(const ReadChoices &choices, const std::string &scale)
{
    if (choices.timeConversion == ConvertNoTimes || scale == "JD")
        return std::string();
    return "the times of the file are " + scale + " already; a second conversion is refused";
}

void DropUnknownUncertainties(LightCurve &curve)
{
    for (double u : curve.uncertainty)
        if (!std::isnan(u))
            return;
    curve.uncertainty.clear();
}

bool ReadFailed(const LightCurveReading &reading) { return !reading.error.message.empty(); }

InputForm InputFormOf(const std::string &path, bool surveyColumns)
{
    if (HasFitsSignature(path))
        return FitsForm;
    if (EndsWith(path, ".jud"))
        return JulianDateFileForm;
    if (IsTableHeaderOrData(FirstLineOf(path.c_str()), surveyColumns))
        return TableForm;
    return ObservationFileForm;
}

LightCurveReading ReadLightCurves(const std::string &path, const ReadChoices &choices)
{
    LightCurveReading reading;
    const InputForm form = choices.form == FormFromContent ? InputFormOf(path, choices.surveyColumns) : choices.form;
    if (form != TableForm && !choices.band.empty()) {
        reading.error = Refusal(BandOnlyForTablesText, path);
        return reading;
    }
    if (form != TableForm && SeveralBandsChosen(choices)) {
        reading.error = Refusal(BandsOnlyForTablesText, path);
        return reading;
    }
    if (!choices.band.empty() && SeveralBandsChosen(choices)) {
        reading.error = Refusal("--band and --bands cannot be used together", path);
        return reading;
    }
    switch (form) {
    case JulianDateFileForm:
        ReadJulianDateLightCurve(path, choices, reading);
        break;
    case TableForm:
        ReadTableLightCurves(path, choices, reading);
        break;
    case FitsForm: {
        LightCurve curve;
        if (ReadFitsLightCurve(path, choices, curve, reading.error)) {
            reading.curves.push_back(curve);
            reading.refusals.emplace_back();
        }
        break;
    }
    default:
        ReadObservationLightCurve(path, choices, reading);
        break;
    }
    if (ReadFailed(reading)) {
        reading.curves.clear();
        reading.refusals.clear();
    }
    return reading;
}

LightCurveReading ReadJoinedLightCurve(const std::vector<std::string> &paths, const ReadChoices &choices)
{
    if (paths.size() == 1)
        return ReadLightCurves(paths[0], choices);
    LightCurveReading reading;
    if (paths.empty()) {
        reading.error = Refusal(EmptyFileText, std::string());
        return reading;
    }
    if (!choices.band.empty()) {
        reading.error = Refusal(BandOnlyForTablesText, paths[0]);
        return reading;
    }
    if (SeveralBandsChosen(choices)) {
        reading.error = Refusal(BandsOnlyForTablesText, paths[0]);
        return reading;
    }
    LightCurve joined;
    joined.filesJoined = 0;
    for (const std::string &path : paths) {
        if (choices.form != FitsForm && !HasFitsSignature(path)) {
            std::FILE *file = std::fopen(path.c_str(), "rb");
            if (file == nullptr) {
                reading.error = FileSystemError("open", path, errno);
                return reading;
            }
            std::fclose(file);
            reading.error = Refusal("only FITS light curves can be joined: " + path + " is none", path);
            return reading;
        }
        LightCurve part;
        if (!ReadFitsLightCurve(path, choices, part, reading.error))
            return reading;
        if (joined.filesJoined == 0) {
            joined.name = part.name;
            joined.file = path;
            joined.timeScale = part.timeScale;
            joined.fluxColumn = part.fluxColumn;
            joined.relativeFlux = part.relativeFlux;
        } else if (part.name != joined.name) {
            reading.error = Refusal("the FITS files hold different stars: " + joined.name + " in " + paths[0] + ", " +
                                        part.name + " in " + path,
                                    path);
            return reading;
        } else {
            joined.file += ", " + path;
        }
        AppendCurve(joined, part);
        ++joined.filesJoined;
        if (static_cast<long>(joined.time.size()) > choices.maximumEstimates) {
            reading.error = Refusal(TooManyEstimatesText(choices.maximumEstimates), path);
            return reading;
        }
    }
    DropUnknownUncertainties(joined);
    reading.curves.push_back(joined);
    reading.refusals.emplace_back();
    return reading;
}
