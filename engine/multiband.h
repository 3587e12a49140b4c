// The analysis of a light curve of several bands at once: one period for
// every band together, each band with its own mean, amplitude and phase.
// The power of a trial frequency is the sum over the bands of each band's
// reduction of its sum of squares by its own floating-mean sine fit, over
// the sum of the bands' sums of squares about their own means; one band
// gives the very power of the one-band spectrum.
#pragma once
#include <vector>

#include "engine.h"
#include "spectrumkernels.h"

// True when the curve carries its estimates' bands (LightCurve::bands).
bool HasSeveralBands(const LightCurve &curve);

// The analysis of AnalyseLightCurve for a curve with bands: the same
// checks, grid, notes and hooks, the multi-band power as the spectrum, each
// peak's amplitude and epoch from one sine fitted to all bands after each
// band's mean is taken off, and the report's 'bands' filled at the
// strongest period.  Refused besides: estimates whose band index is not
// one of the bands; prewhitening is left out with a note.
AnalysisOutcome AnalyseSeveralBands(const LightCurve &curve, const AnalysisSettings &settings,
                                    const AnalysisHooks &hooks);

// The bands of a multi-band power: each band's prepared observations
// (centred on the band's own mean) and its sum of squares.
struct BandTerms {
    std::vector<SpectrumTerms> terms;
    std::vector<double> sumOfSquares;
    double totalSumOfSquares = 0;
};
// The multi-band power at one frequency (0 when no band has any spread).
double MultiBandPower(const BandTerms &bands, double frequency);
// The multi-band powers of count trial periods, over 'threads' threads.
void MultiBandPowers(const BandTerms &bands, const double *periods, long count, int threads, double *powers);
void ReleaseBandTerms(BandTerms &bands);
