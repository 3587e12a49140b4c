// Weighted analysis: the weighted mean and spread of times, the weighted
// power of the spectrum (the generalised floating-mean sine fit of
// Zechmeister and Kuerster 2009), weighted sine fits at one frequency and of
// several sines together, their reduced chi-square, and the errors of a
// peak's period from the fit's covariance.
//
// Weights w[0..n-1] are 1/sigma^2 of the estimates (sigma their given
// uncertainties).  Every function that takes w also takes w == nullptr:
// then all estimates weigh 1, the errors come from the scatter of the
// residuals, and the results are those of the unweighted functions of
// analysis.h (the same doubles where this header says so).  With weights
// the errors are the formal ones, (J^T W J)^-1, multiplied by
// sqrt(reduced chi-square) when that is above 1: the given uncertainties
// are trusted unless the residuals show them too small.
//
// Plain functions: they keep no state, so that several threads may call
// them at once.
#pragma once
#include <vector>

#include "analysis.h"

// --- weighted means and spreads -----------------------------------------

// sum w y / sum w over i = 0..n-1 (the plain mean for w == nullptr);
// n >= 1 and the weights positive.
double WeightedMean(const double *y, const double *w, int n);

// y minus their weighted mean into centred (resized to n); returns the
// weighted sum of squares of the centred values, sum w (y - mean)^2.
double CentreWeightedValues(const double *y, const double *w, int n, std::vector<double> &centred);

// The weighted variance of the times about their weighted mean,
// D = sum w (t - tbar)^2 / sum w (the plain population variance for
// w == nullptr).  For an even spread over a span T it is T^2 / 12.
double TimesVariance(const double *t, const double *w, int n);
// sqrt(TimesVariance): the times' standard deviation.
double TimesSpread(const double *t, const double *w, int n);

// --- weighted power -----------------------------------------------------

// The weighted sums of one trial frequency over n observations with angles
// theta_i = 2 pi f (t_i - t_0), c = cos theta, s = sin theta, and the
// magnitudes y centred on their weighted mean:
//   w = sum w,  scc = sum w c^2,  sc = sum w c,  sss = sum w s^2,
//   ss = sum w s,  ssc = sum w s c,  syc = sum w y c,  sys = sum w y s.
// With unit weights w = n and the other seven are the sums of the spectrum
// pass, in the same order.
struct WeightedSpectrumSums {
    double w, scc, sc, sss, ss, ssc, syc, sys;
};

// The weighted power of one trial frequency: the share of the weighted sum
// of squares sumOfSquares = sum w y^2 (of the centred y) that a constant
// plus a sine explains, 0..1.  Cosine and sine are orthonormalised against
// the constant and each other with the weights and the magnitudes
// projected on them, exactly as the spectrum pass does without weights: for
// sums.w = n and the pass's sums the result is the pass's power to the last
// bit.  0 where the fit has no room (all angles coinciding) or the result
// is not finite.
double WeightedPowerOfSums(const WeightedSpectrumSums &sums, double sumOfSquares);

// The semi-amplitude of the weighted fit of constant plus sine from the
// same sums, in magnitudes; 0 where the fit has no room.
double AmplitudeOfSums(const WeightedSpectrumSums &sums);

// The weighted sums of one frequency, straightforwardly: one sin and one
// cos per observation, angles from t[0] in extended precision, sums in
// extended precision.  y must be centred on its weighted mean.
WeightedSpectrumSums WeightedSumsAt(const double *t, const double *y, const double *w, int n, double frequency);

// WeightedPowerOfSums of WeightedSumsAt; with w == nullptr the spectrum
// pass's power to about 1e-15.
double WeightedSpectrumPower(const double *t, const double *y, const double *w, int n, double frequency,
                             double sumOfSquares);

// The frequency of greatest weighted power between low and high (cycles
// per day, low < high), found by golden-section search to 1e-10 relative.
// The bracket should hold one peak: a peak's grid neighbours, or
// f +- 1 / (2 span) about a peak at f.
double RefineWeightedPeak(const double *t, const double *y, const double *w, int n, double sumOfSquares,
                          double low, double high);

// --- weighted fits ------------------------------------------------------

// How well a least-squares fit of p parameters fits n observations.
struct FitQuality {
    double chiSquare;          // sum w r^2 of the residuals r (sum r^2 without weights)
    int degreesOfFreedom;      // n - p
    double reducedChiSquare;   // chiSquare / degreesOfFreedom
    double errorScale;         // the factor of the formal errors: see ErrorScale
};

// The factor that the formal errors of a weighted fit get:
// sqrt(reduced chi-square) when it is above 1, else 1.  (Without weights
// the errors always take the residuals' scatter, sqrt(reduced chi-square).)
double ErrorScale(double reducedChiSquare);

// The quality of a fit of 'parameters' parameters with chi-square
// chiSquare over n observations, weighted or not; for n <= parameters
// the reduced chi-square and the scale are NaN.
FitQuality QualityOfFit(double chiSquare, int n, int parameters, bool weighted);

// FitSine with weights: y = constant + cosine cos(2 pi f (t - reference)) +
// sine sin(...), minimising sum w r^2.  residualRms is
// sqrt(sum w r^2 / sum w).  With w == nullptr the fit is FitSine's, the
// same doubles.  quality has 3 parameters.  False when the fit has no room.
bool FitWeightedSine(const double *t, const double *y, const double *w, int n, double frequency, double reference,
                     SineFit &fit, FitQuality &quality);

// The errors of a sine found at a peak, from the covariance of the four
// parameters constant, frequency, cosine and sine of the linearised fit at
// the fitted values (the covariance a nonlinear fit would end with).
struct PeakErrors {
    double frequencyError;     // cycles per day
    double periodError;        // days: frequencyError * period^2
    double amplitudeError;     // of the semi-amplitude, magnitudes
    FitQuality quality;        // of the fit, with 4 parameters
};

// The errors of 'fit' (of FitWeightedSine or FitSine, over the same t, y,
// w).  Without weights the covariance is scaled by the residuals'
// variance chi-square / (n - 4); with weights by ErrorScale^2.  For even
// noise the period error is sigma_P = P^2 sqrt(6) rms / (pi sqrt(n) A
// sqrt(12) std(t)) to first order: the span of the old formula replaced by
// sqrt(12) times the spread of the times, which tells the two apart when
// the times bunch (a span of many empty years) or crowd at the ends.  False
// when n <= 4 or the covariance is singular.
bool SinePeakErrors(const double *t, const double *y, const double *w, int n, const SineFit &fit,
                    PeakErrors &errors);

// The first-order period error of a sine found from n unweighted
// observations with times spread timeSpread = std(t):
// sigma_P = P^2 sqrt(6) rms / (pi sqrt(n) A sqrt(12) timeSpread), which is
// PeriodError with its span replaced by sqrt(12) timeSpread.
double PeriodErrorFromTimeSpread(double period, double residualRms, int n, double amplitude, double timeSpread);

// FitSinesTogether with weights: minimises sum w r^2; residualRms is
// sqrt(sum w r^2 / sum w); the errors of the components are the
// covariance's, scaled as this header says at the top; quality has
// 1 + 3 * components parameters.  With w == nullptr the result is that of
// FitSinesTogether, the same doubles.
bool FitWeightedSinesTogether(const double *t, const double *y, const double *w, int n, double reference,
                              std::vector<SineComponent> &components, double &constant, double &residualRms,
                              FitQuality &quality);
