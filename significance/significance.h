// How far a period found in the spectrum can be trusted: the false-alarm
// probability of a peak (Baluev's analytic bound and a bootstrap of the
// magnitudes over the searched grid), the signal-to-noise ratio of a peak
// against the residual amplitude spectrum, Monte Carlo errors of a period,
// and tests of the residuals for correlation, where least-squares errors
// are known to be too small.
//
// Times t are days, frequencies cycles per day.  The power is the
// program's: the share of the (weighted) sum of squares of the centred
// magnitudes that a constant plus a sine explains, 0..1 (the floating-mean
// periodogram; with weights the generalised one of Zechmeister and Kuerster
// 2009).  Weights w are 1/sigma^2 of the estimates, or w == nullptr for
// equal ones.
//
// Plain functions: no state of their own, nothing printed.  The drivers
// that run several threads call the given function from all of them at
// once; it must then be safe to call that way and must not throw.  Their
// results depend on the seed alone, never on the number of threads.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

// --- Baluev's false-alarm probability -------------------------------------
//
// Baluev, R. V. (2008), "Assessing the statistical significance of
// periodogram peaks", MNRAS 385, 1279.  For N observations, the floating-
// mean model has d_H = 1 parameter under the null hypothesis and d_K = 3
// with the sine; N_H = N - 1 and N_K = N - 3.  For a power z (0..1):
//
//   P_single(z) = (1 - z)^(N_K / 2)
//       the probability that noise alone exceeds z at one given frequency
//       (the exact F-distribution result for Gaussian noise);
//   tau(z) = gamma(N_H) W (1 - z)^((N_K - 1) / 2) sqrt(N_H z / 2)
//       the expected number of upcrossings of the level z by the
//       periodogram within the band (Rice's formula), where
//       gamma(N) = sqrt(2 / N) Gamma(N / 2) / Gamma((N - 1) / 2),
//       W = (fmax - fmin) T_eff,  T_eff = sqrt(4 pi D_t),
//       D_t = the (weighted) variance of the times, TimesVariance;
//   FAP(z) <= 1 - (1 - P_single(z)) exp(-tau(z)).
//
// The bound is for the highest peak anywhere in the band fmin..fmax; a
// search over a grid of it, or a peak refined between grid points, is
// covered.  It is tight for small probabilities (below about 0.1) and too
// large (conservative) towards 0.5 and above.

// P_single: 1 for z <= 0, 0 for z >= 1; n >= 4.
double SingleFrequencyFalseAlarm(double power, int n);

// tau(z) for the band width fmax - fmin and the times' variance.
double BaluevUpcrossings(double power, int n, double bandWidth, double timesVariance);

// The bound on the false-alarm probability of a peak of this power over
// the band minimumFrequency..maximumFrequency (a period search over
// pmin..pmax searches 1/pmax..1/pmin), 0..1.  1 when n < 5 or the power
// is not above 0.  For the peaks in the residuals after k sines were fitted
// together, pass n - 3k: the formulas depend on N only through N_H and N_K.
double BaluevFalseAlarmProbability(double power, int n, double minimumFrequency, double maximumFrequency,
                                   double timesVariance);

// --- bootstrap false-alarm probability ------------------------------------

// The highest power over the searched grid of the light curve t, y, w
// (y centred on its weighted mean, sumOfSquares = sum w y^2; w may be
// nullptr): what the spectrum pass finds as its strongest peak.
typedef std::function<double(const double *t, const double *y, const double *w, int n, double sumOfSquares)>
    HighestPowerFunction;

// B = resamples light curves with the magnitudes (each with its weight)
// drawn at random with replacement onto the same times; maxima (resized
// to B) gets the highest power of each, resample b in place b.  Resample b
// draws from a generator seeded from (seed, b) alone, so the maxima are
// the same whatever the number of threads (at least 1; the resamples are
// shared out among them).  False, maxima empty, when n < 5 or B < 1.
bool BootstrapHighestPowers(const double *t, const double *y, const double *w, int n, int resamples,
                            std::uint64_t seed, int threads, const HighestPowerFunction &highestPower,
                            std::vector<double> &maxima);

// The bootstrap false-alarm probability of a peak of this power: the share
// of resamples whose highest power reaches it, counted as
// p = (1 + exceeding) / (1 + B) (Davison and Hinkley 1997), which is never 0
// and never claims more than B resamples can show; its binomial
// uncertainty is sqrt(p (1 - p) / B).
struct BootstrapFalseAlarm {
    double probability;
    double uncertainty;
    long exceeding;              // resamples with a highest power >= the power
    long resamples;              // B
};
BootstrapFalseAlarm BootstrapFalseAlarmOf(const std::vector<double> &maxima, double power);

// --- signal-to-noise ratio --------------------------------------------------

// The default full width of the window around a peak in which the noise is
// measured: 1 cycle per day or 10 peak widths 1/span, whichever is
// narrower.
double DefaultNoiseWindow(double span);

// The mean of the residual amplitude spectrum amplitudes[0..count-1], at
// frequencies[0..count-1] (any order), over the window of full width
// 'width' centred on 'frequency' (both ends included): the noise against
// which a peak's amplitude is measured.  False when no frequency lies in
// the window.
bool MeanAmplitudeInWindow(const double *frequencies, const double *amplitudes, long count, double frequency,
                           double width, double &mean);

// The semi-amplitude of the sine fitted at one frequency to the residuals.
typedef std::function<double(double frequency)> AmplitudeFunction;

// The same mean with the residual amplitude spectrum taken at 'points'
// frequencies evenly spread over the window (the middles of equal parts of
// it), the part below frequency 0 left out.  Five points per peak width
// 1/span are plenty: points = 5 * width * span.  False when points < 1 or
// the window lies wholly at frequencies <= 0.
bool MeanAmplitudeInWindowOf(const AmplitudeFunction &amplitude, double frequency, double width, long points,
                             double &mean);

// amplitude / noise, NaN when the noise is not above 0.
double SignalToNoise(double amplitude, double noise);

// --- Monte Carlo errors of a period -----------------------------------------

// How the made-up light curves get their noise: the residuals of the fit
// drawn at random with replacement, or Gaussian noise of the given errors
// sigma = 1 / sqrt(w).
enum MonteCarloNoise { RedrawnResiduals, GaussianErrors };

// Refits one light curve t, y, w (w may be nullptr): sets the frequency it
// finds and returns true, or false when the fit fails.
typedef std::function<bool(const double *t, const double *y, const double *w, int n, double &frequency)>
    RefitFunction;

struct MonteCarloSettings {
    MonteCarloNoise noise;
    int realisations;            // R, at least 2
    std::uint64_t seed;
    int threads;                 // at least 1
    int fittedParameters;        // p of the fit whose residuals are redrawn
};

struct MonteCarloPeriods {
    std::vector<double> periods; // of the successful refits, in realisation order
    int failed;                  // refits that failed
    double meanPeriod;
    double periodSpread;         // the standard deviation of the periods
    double centralHalfWidth;     // half the distance of their 15.87 and 84.13 % points
};

// Makes R light curves y*_i = model_i + noise_i on the same times and
// refits each.  RedrawnResiduals: noise_i = r_j sqrt(w_j / w_i)
// sqrt(n / (n - p)) with j drawn at random (without weights
// r_j sqrt(n / (n - p))): each residual keeps its own error's scale and the
// factor makes up for the p fitted parameters; GaussianErrors (w needed):
// noise_i = N(0, 1) / sqrt(w_i).  Realisation r draws from a generator
// seeded from (seed, r) alone.  False when n <= p, R < 2, fewer than two
// refits succeed, RedrawnResiduals has no residuals or GaussianErrors no
// weights.
bool MonteCarloPeriodSpread(const double *t, const double *model, const double *residual, const double *w, int n,
                            const MonteCarloSettings &settings, const RefitFunction &refit,
                            MonteCarloPeriods &result);

// --- correlated residuals -----------------------------------------------------
//
// Least-squares errors assume independent residuals.  When neighbouring
// residuals in time order go together (an observer's nightly offset, an
// unmodelled slow change, a second period) the formal errors are too small.
// Two checks of the residuals in time order:
//   the runs test of their signs (Wald and Wolfowitz 1940): with n1 above
//   and n2 below zero (zeros left out), n = n1 + n2 and R runs,
//     E R = 1 + 2 n1 n2 / n,
//     Var R = 2 n1 n2 (2 n1 n2 - n) / (n^2 (n - 1)),  z = (R - E R) / sqrt(Var R);
//   too few runs (z far below 0) means correlated residuals;
//   the lag-1 autocorrelation of the residuals (scaled by sqrt(w) with
//   weights) about their mean, rho = sum (r_i - rbar)(r_i+1 - rbar) /
//   sum (r_i - rbar)^2, about N(-1/n, 1/n) for independent ones, z = (rho +
//   1/n) sqrt(n).

struct RunsOfSigns {
    long runs, above, below;
    double expectedRuns;
    double z;                    // NaN when above or below is 0
};
// The runs test of the residuals' signs, in the order of their times.
RunsOfSigns RunsTestOfSigns(const double *t, const double *residual, int n);

// The lag-1 autocorrelation of the residuals in the order of their times
// (scaled by sqrt(w) when w is given); NaN for n < 3 or equal residuals.
double LagOneAutocorrelation(const double *t, const double *residual, const double *w, int n);

struct ResidualCorrelation {
    RunsOfSigns runs;
    double lagOne;               // rho
    double lagOneZ;              // (rho + 1/n) sqrt(n)
    bool correlated;             // runs z < -zLimit or lagOneZ > zLimit
    // sqrt((1 + rho) / (1 - rho)) for rho > 0, else 1: about how many
    // times too small the formal errors are for residuals correlated from
    // one to the next like a first-order autoregressive process.
    double errorFactor;
};
// Both checks; zLimit 2.33 gives a false warning for about 1 % of
// independent residuals per check.
ResidualCorrelation CheckResidualCorrelation(const double *t, const double *residual, const double *w, int n,
                                             double zLimit);
