// What the readers found out about a light curve of the newer forms (FITS
// light curves, survey tables), taken into the period report.
#pragma once
#include "analysis.h"
#include "lightcurve.h"
#include "report.h"

// Copies the curve's flagged and non-positive-flux counts, the files it
// was joined from and its FITS flux column into the report.
void DescribeReadInput(const LightCurve &curve, PeriodReport &report);

// The report's description of the data and the grid: the curve's file,
// band, time scale and skipped counts, n estimates from 'earliest' to
// 'latest' with the given mean, and the grid searched.
void DescribeCurveData(const LightCurve &curve, int n, double earliest, double latest, double mean,
                       const PeriodGrid &grid, PeriodReport &report);
