// The engine's pass of a period-search method other than the one-sine
// spectrum (harmonics:H, aov:H, pdm:B, bls) over the analysis' grid of
// trial periods, and the fold's fit of several harmonics with the shape of
// the fitted light curve.  Plain functions over the light curve and the
// settings; no state, no printing.
#pragma once
#include <functional>
#include <string>

#include "engine.h"
#include "methods.h"

// Whether a pass over grid takes its sums from the fast transform: only on
// a grid even in frequency; always with TransformFast, never with
// TransformExact, and with TransformAutomatic when it is the cheaper for
// this many observations and grid points.
bool FastTransformChosen(TransformChoice transform, const PeriodGrid &grid, long observations);

// True when settings.method names a method other than the one-sine
// spectrum ("" and "dcdft" are the one-sine spectrum), or durations are
// given (which only the method pass can refuse when they come without bls).
bool UsesMethodPass(const AnalysisSettings &settings);

// Reads settings.method and settings.durations into choice ("" as dcdft).
// False and the refusal (Czech and English) for an unknown name, an order
// out of range, durations outside (0, 0.5), or durations without bls.
bool MethodChoiceOfSettings(const AnalysisSettings &settings, MethodChoice &choice, EngineError &error);

// The magnitudes are weighted with weights[0..n-1] (1 / sigma^2, the
// analysis' own) or all alike when weights is nullptr.
// The method's statistic at the grid's frequency GridFrequency(grid, k),
// for every grid point k = 0..K, computed in chunks over settings.threads
// and handed to hooks.spectrum (periods and statistics, the spectrum
// file's form) with hooks.passBegins and hooks.progress as the one-sine
// pass calls them; hooks.window gets the spectral window when
// settings.window.  The strongest 8 x settings.peaks grid peaks (for
// phase dispersion the least theta) are refined between their grid
// neighbours by golden-section search on the statistic, and the best
// settings.peaks of them at least 0.5 / span apart in frequency (one peak
// of a ragged statistic holds many local maxima) go into report.peaks,
// best first:
// describePeak gives each peak's sine fit at its refined frequency, and
// the pass sets the power (the method's statistic), the false-alarm
// probability of the method and, for bls, the best box.  report.method,
// statistic, lowIsBest, falseAlarmKind, falseAlarmMethod
// ("f_distribution_band", "beta_single_frequency" or "none") and significanceLevel (the
// statistic of a 5 % false alarm over the band where the method has one,
// NaN otherwise) are set.  False and the refusal when the method is not
// usable (see MethodChoiceOfSettings); then no hook was called.
// harmonics and aov take the statistics of the grid from the fast
// transform when FastTransformChosen says so (report.grid.transform says
// which).  Phase dispersion tests the alternate cycles of its best peak
// (report.alternateCycles) and, when they differ, puts the least theta
// near twice that period first.
bool RunMethodPass(const LightCurve &curve, const double *weights, const AnalysisSettings &settings,
                   const AnalysisHooks &hooks, const PeriodGrid &grid, const std::function<PeakReport(double frequency)> &describePeak,
                   PeriodReport &report, EngineError &error);

// The harmonics of the fold's fit: settings.foldHarmonics when given, else
// 1 for the one-sine spectrum, H for harmonics:H and aov:H, and 3 for pdm
// and bls (a method without harmonics of its own).  0 for an unusable
// method.
int FoldHarmonicsOf(const AnalysisSettings &settings);

// True when the fold's report gains the harmonic shape: more than one
// harmonic, or a method other than the one-sine spectrum.
bool WantsFoldShape(const AnalysisSettings &settings);

// The thresholds of the method's statistic for a 5 % false alarm over the
// band fmin..fmax (K observations, time spread of MethodData): the AOV
// theta for aov:H, the harmonic power for harmonics:H (through the AOV
// statistic); NaN for the methods without a band probability.
double MethodSignificanceLevel(const MethodChoice &choice, int observations, double fmin, double fmax,
                               double timeSpread);

// Fits FoldHarmonicsOf(settings) harmonics to the light curve's magnitudes
// at fold.period and fills the shape of fold (hasShape and the fields
// below it), the curve's coefficients counted in phase from fold.epoch.
// False, with fold unchanged, when no such fit is possible (too few
// observations for the harmonics, phases that do not hold them apart).
bool DescribeFoldShape(const LightCurve &curve, const double *weights, const AnalysisSettings &settings,
                       FoldReport &fold);
