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
