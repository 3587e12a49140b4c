// The time scale of the observations: conversion of UTC Julian dates to
// heliocentric or barycentric ones when an option asks for it.
#include <cmath>

#include "kalidor.h"
#include "options.h"
#include "timescale.h"

namespace {

const char *ScaleName(TimeConversion conversion)
{
    return conversion == HeliocentricTime ? "HJD" : conversion == BarycentricTime ? "BJD_TDB" : "JD";
}

} // namespace

double ConvertedTime(double reduced)
{
    if (Options.timeConversion == NoTimeConversion)
        return reduced;
    static double direction[3];
    static bool prepared = false;
    if (!prepared) {
        StarDirection(Options.starHours, Options.starDegrees, direction);
        prepared = true;
    }
    double converted = 0;
    const int status = Options.timeConversion == HeliocentricTime ? HeliocentricJulianDate(reduced, direction, converted)
                                                                  : BarycentricJulianDate(reduced, direction, converted);
    if (status < 0 || !std::isfinite(converted))
        Refuse("Cas " + FormatFixed(reduced, 4) + " nelze prevest na " + ScaleName(Options.timeConversion) + ".",
               "the time " + FormatFixed(reduced, 4) + " cannot be converted to " + ScaleName(Options.timeConversion));
    Input.timeScale = ScaleName(Options.timeConversion);
    return converted;
}

void ConvertAllTimes()
{
    for (int i = 1; i <= ObservationCount; ++i)
        JulianDates[i] = ConvertedTime(JulianDates[i]);
}

void RefuseSecondConversion(const std::string &scale)
{
    if (Options.timeConversion == NoTimeConversion || scale == "JD")
        return;
    Refuse("Casy v souboru jsou jiz " + scale + ": druhy prevod nelze provest.",
           "the times of the file are " + scale + " already; a second conversion is refused");
}

void TellTimeScale()
{
    if (Input.timeScale == "HJD")
        Tell("Casova skala: heliocentricka julianska data (HJD).");
    else if (Input.timeScale == "BJD_TDB")
        Tell("Casova skala: barycentricka julianska data v TDB (BJD_TDB).");
}
