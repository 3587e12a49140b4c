// The readers' counts and the making of a curve, taken into the report.
#include "inputforms.h"

void DescribeReadInput(const LightCurve &curve, PeriodReport &report)
{
    report.skippedFlagged = curve.skippedFlagged;
    report.skippedNonPositiveFlux = curve.skippedNonPositiveFlux;
    report.filesJoined = curve.filesJoined;
    report.fluxColumn = curve.fluxColumn;
    report.relativeFlux = curve.relativeFlux;
}

void DescribeCurveData(const LightCurve &curve, int n, double earliest, double latest, double mean,
                       const PeriodGrid &grid, PeriodReport &report)
{
    report.file = curve.file;
    report.band = curve.band;
    report.timeScale = curve.timeScale;
    report.observations = n;
    report.first = earliest;
    report.last = latest;
    report.span = latest - earliest;
    report.meanMagnitude = mean;
    report.skippedLimits = curve.skippedLimits;
    report.skippedOtherBands = curve.skippedOtherBands;
    report.skippedEmpty = curve.skippedEmpty;
    report.grid.minimumPeriod = grid.minimum;
    report.grid.maximumPeriod = grid.maximum;
    report.grid.intervals = grid.intervals;
    report.grid.step = grid.step;
}
