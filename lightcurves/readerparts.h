// What the readers of the light-curve library share: the refusal texts,
// errors of the file system, the time conversion, and each form's reader.
// Internal to the library.
#pragma once
#include <string>

#include "lightcurves.h"

// The refusal texts, as kalidor's batch run writes them.
std::string BadRecordText(long record);            // "bad data format on line N"
std::string TooManyEstimatesText(long maximum);    // "too many estimates: at most M records"
extern const char *const EmptyFileText;            // "the file holds no estimate"
extern const char *const BandOnlyForTablesText;    // "--band applies to tables only"
extern const char *const BandsOnlyForTablesText;   // "--bands applies to tables only"

// A refusal of input (run-time error 0) about 'file', at 'line' when not 0.
ReadError Refusal(const std::string &message, const std::string &file, long line = 0);
// A failed file operation: "cannot <verb> <file>: <reason>" with the
// run-time error code of the C library's error number.
ReadError FileSystemError(const char *verb, const std::string &file, int errnum);
// A number that cannot be read: run-time error 106 at 'line'.
ReadError InvalidNumberError(const std::string &file, long line);

// The time conversion the choices ask for, with the star's direction
// computed once.
struct TimeConverter {
    TimeConversionChoice choice = ConvertNoTimes;
    double direction[3] = {0, 0, 0};
};
TimeConverter MakeTimeConverter(const ReadChoices &choices);
// The time scale the conversion gives ("HJD", "BJD_TDB"; "JD" for none).
const char *ConvertedScaleName(TimeConversionChoice choice);
// The reduced Julian date (UTC) 'reduced' on the scale asked for; false
// with the refusal text when it cannot be converted.
bool ConvertTime(const TimeConverter &converter, double reduced, double &converted, std::string &refusal);
// The refusal of a conversion of times already on 'scale' ("HJD" or
// "BJD_TDB"); empty when there is none to refuse.
std::string SecondConversionRefusal(const ReadChoices &choices, const std::string &scale);

// Empties the uncertainties of a curve when none is known (all NaN).
void DropUnknownUncertainties(LightCurve &curve);

// Each form's reader; they fill 'reading' (its curves or its error).
void ReadObservationLightCurve(const std::string &path, const ReadChoices &choices, LightCurveReading &reading);
void ReadJulianDateLightCurve(const std::string &path, const ReadChoices &choices, LightCurveReading &reading);
void ReadTableLightCurves(const std::string &path, const ReadChoices &choices, LightCurveReading &reading);
// A FITS light curve read into 'curve' (a fresh one), its fluxes divided by
// this file's median; false with 'error' set when it is refused.
bool ReadFitsLightCurve(const std::string &path, const ReadChoices &choices, LightCurve &curve, ReadError &error);
