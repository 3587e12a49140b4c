// What the readers found out about a light curve of the newer forms (FITS
// light curves, survey tables), taken into the period report.
#pragma once
#include "lightcurve.h"
#include "report.h"

// Copies the curve's flagged and non-positive-flux counts, the files it
// was joined from and its FITS flux column into the report.
void DescribeReadInput(const LightCurve &curve, PeriodReport &report);
