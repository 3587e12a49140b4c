// The analysis's last step: the times of the light curve's minima or
// maxima and their O-C against an ephemeris, with the linear and quadratic
// fits of the O-C.
#pragma once
#include "engine.h"

// Times the extrema that settings.extrema asks for and fills
// report.extrema (report.hasExtrema set).  The windows' period is
// settings.extremaPeriod when positive, else the ephemeris's when given,
// else the strongest peak of the report (the peaks must be described
// first); the windows are placed from the ephemeris's epoch when given,
// else from the data.  The O-C is taken against the given ephemeris, or
// against the period and the first extremum's time.  Relative fluxes are
// timed as their negatives, so that a minimum of brightness stays a
// minimum of the light.  Nothing is refused here: when no period is known,
// no extremum could be timed or no O-C fit is possible, report.extrema.error
// says why (the library's English texts) and the period report stands.
void AddExtremaReport(const LightCurve &curve, const AnalysisSettings &settings, PeriodReport &report);
