// Times of minimum and maximum brightness, O-C diagrams and period change.
//
// Conventions of the whole module:
// - Times t[0..n-1] are reduced Julian dates (Julian date - 2400000) in
//   days, in any order; magnitudes y[0..n-1] grow toward faint light, so a
//   minimum of brightness is a maximum of magnitude.  Uncertainties
//   sigma[0..n-1] (magnitudes) are optional: a null pointer means none.
// - The functions keep no state, print nothing and never stop the program:
//   every result carries an ExtremaStatus, and ExtremaStatusText gives its
//   English text.  Random numbers (the Monte Carlo error of Kwee and van
//   Woerden's method) come from a generator seeded from the options, so
//   equal inputs give equal results.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// --- kinds, methods, outcomes -------------------------------------------

// Which extremum of the light is timed.  MinimumBrightness is the faintest
// light (an eclipse, a Mira's minimum: the largest magnitude);
// MaximumBrightness the brightest (the smallest magnitude).
enum ExtremumKind { MinimumBrightness, MaximumBrightness };

enum TimingMethod {
    TimingAutomatic,        // Kwee and van Woerden for well-covered extrema, else the polynomial
    TimingKweeVanWoerden,   // the symmetry of the branches (Kwee and van Woerden 1956)
    TimingPolynomial,       // the extremum of a low-order polynomial
    TimingHarmonicCurve     // a given harmonic curve shifted in time
};

// Which of a timing's two errors is its main one.
enum ErrorSource {
    ErrorFromScatter,       // Monte Carlo: the timing repeated on the points plus noise of their own scatter
    ErrorFromFormula,       // Kwee and van Woerden's published formula
    ErrorFromCovariance     // the least-squares covariance, scaled by the fit's reduced chi-square
};

enum ExtremaStatus {
    ExtremaOk,
    ExtremaNoPeriod,            // the period is missing, not positive or not finite
    ExtremaBadEpoch,            // the epoch is not finite
    ExtremaTooManyCycles,       // the data span more than MaximumPredicted periods
    ExtremaBadObservations,     // a time, magnitude or uncertainty is not finite (or an uncertainty not positive)
    ExtremaBadWindow,           // the window share is not in (0, 1]
    ExtremaBadDegree,           // a forced polynomial degree other than 2, 3 or 4
    ExtremaBadMinimumPerSide,   // fewer than one observation asked for on each side
    ExtremaBadTrials,           // a negative number of Monte Carlo trials
    ExtremaNoCurve,             // the harmonic-curve method without a curve
    ExtremaEmptyWindow,         // no observation inside the window
    ExtremaTooFewPoints,        // too few observations on one side of the extremum
    ExtremaNoSymmetry,          // the reflected branches give no time of symmetry
    ExtremaWrongKind,           // the window holds the other kind of extremum
    ExtremaNoExtremumInWindow,  // the fitted curve has no extremum of the kind inside the window
    ExtremaOutsideWindow,       // the timed extremum lies outside its window
    ExtremaNoneTimed,           // not one extremum of the data could be timed
    ExtremaSingleExtremum,      // one extremum: no O-C fit
    ExtremaOneCycle,            // every extremum in the same cycle: no O-C fit
    ExtremaBadTimeError,        // an extremum's time error is not a positive finite number
    ExtremaBadLevel,            // the significance level is not in (0, 1)
    ExtremaTooFewForQuadratic   // fewer than three cycles: no quadratic O-C fit
};

// The English text of a status ("" for ExtremaOk).
const char *ExtremaStatusText(ExtremaStatus status);

// Short names for reports and the O-C table: "automatic", "kvw",
// "polynomial", "harmonic"; "scatter", "formula", "covariance";
// "minimum brightness", "maximum brightness".
const char *TimingMethodName(TimingMethod method);
const char *ErrorSourceName(ErrorSource source);
const char *ExtremumKindName(ExtremumKind kind);

// --- timing one extremum --------------------------------------------------

// The time of one extremum and its errors.
struct ExtremumTiming {
    ExtremaStatus status = ExtremaOk;
    TimingMethod method = TimingAutomatic;  // the method that gave the time
    double time = 0;            // reduced Julian date
    double error = 0;           // the main error, days
    ErrorSource errorSource = ErrorFromScatter;
    // Kwee and van Woerden: their formula's error; polynomial and harmonic
    // curve: the covariance error before the Student factor.
    double formulaError = 0;
    // Kwee and van Woerden: the Monte Carlo error from the scatter; 0 when
    // no trials were run.  Other methods: 0.
    double scatterError = 0;
    double magnitude = 0;       // the light curve's magnitude at the extremum
    double noise = 0;           // magnitudes: the points' scatter (KvW) or the rms of the fit's residuals
    int points = 0;             // observations used
    int before = 0, after = 0;  // observations before and after 'time' among them
    int degree = 0;             // the polynomial's degree; 0 for the other methods
};

// Kwee and van Woerden (1956): the time about which the two branches of
// the light curve are most symmetric.  The points (sorted; equal times
// averaged) are joined by straight lines; for a trial time T the sum
// S(T) of the squared differences between the curve at T + k*dt and at
// T - k*dt, k = 1..K, with dt half the mean spacing of the points, measures
// the asymmetry.  T is searched first in the middle half of the points'
// span with K reaching a quarter of the span; then, with K as large as the
// nearer end allows, the parabola S = A x^2 + B x + C (x = time - T) is
// fitted by least squares to S at T + j*dt, j = -4..4 (on noisy points S
// is rugged from step to step, and nine trial times smooth that), and T
// moves to its vertex until it settles.  The time is T - B / 2A, and the
// published error is
//     sigma^2 = (4AC - B^2) / (4 A^2 (Z - 1)),
// with the parabola's least value (4AC - B^2) / 4A taken as S at that time
// (a parabola fitted to a V-shaped S can dip below zero), and Z the number
// of independent pairs: half the observations within the reflected range
// (Kwee and van Woerden's N/4 for interpolated points twice as dense as
// the observations).  That error is known to come out too small; the main
// error is therefore the Monte Carlo error: the timing is repeated
// 'trials' times on the points with Gaussian noise of their own scatter
// added (the scatter about the straight line through each point's two
// neighbours, outliers beyond four robust sigmas left out), and the
// standard deviation of those times is taken.  With trials = 0 the
// formula's error is the main one.  The method is unweighted: uncertainties
// are not used.  Needs at least five distinct times; the middle of the
// curve must be fainter than its mean for MinimumBrightness (brighter for
// MaximumBrightness), else ExtremaWrongKind; ExtremaNoSymmetry when S has
// no minimum near the best trial time.
ExtremumTiming TimeByKweeVanWoerden(const double *t, const double *y, int n, ExtremumKind kind, int trials,
                                    uint32_t seed);

// A polynomial of the given degree (2, 3 or 4) in (t - centre) fitted by
// least squares (weights 1 / sigma^2 when sigma is given), and the time of
// its extremum of the asked kind inside the span of the points: the real
// root of its derivative where the second derivative has the right sign
// (positive for MaximumBrightness), the most extreme one when there are
// several.  The error is propagated from the fit's covariance, scaled by
// the reduced chi-square: sigma_t^2 = g' C g / p''(t)^2 with g the
// gradient of p'(t) in the coefficients (formulaError); because the
// scatter comes from the same few points, the main error is that times
// sqrt(v / (v - 2)), the rms of Student's t with v = n - degree - 1
// degrees of freedom.  Needs degree + 4 points or more (v >= 3).
ExtremumTiming TimeByPolynomial(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                                int degree, double centre);

// A light curve over phase: magnitude = constant + sum over k = 1..K of
// cosines[k-1] cos(2 pi k phase) + sines[k-1] sin(2 pi k phase), phase =
// (time - epoch) / period.  The same form as the phase figure's curve.
struct HarmonicCurve {
    double period = 0;
    double epoch = 0;
    double constant = 0;
    std::vector<double> cosines, sines;  // of equal length
};

// The curve's magnitude at a time.
double HarmonicCurveMagnitude(const HarmonicCurve &curve, double time);

// The time nearest 'near' at which the curve has its extremum of the kind
// (its faintest point for MinimumBrightness), found on 2000 phases and
// refined by golden-section search.
double HarmonicCurveExtremum(const HarmonicCurve &curve, ExtremumKind kind, double near);

// The curve shifted in time by tau and in magnitude by an offset, both
// fitted to the points by least squares (tau first on 81 trial shifts
// within +-halfWidth, then Gauss-Newton); the time is the curve's extremum
// nearest 'centre' moved by tau.  Error from the covariance scaled by the
// reduced chi-square (formulaError), times sqrt(v / (v - 2)) with
// v = n - 2 as for the polynomial.  Needs five points or more and a curve
// with at least one harmonic and a positive period.
ExtremumTiming TimeByHarmonicCurve(const double *t, const double *y, const double *sigma, int n,
                                   const HarmonicCurve &curve, ExtremumKind kind, double centre, double halfWidth);

// --- choosing the method and the window ---------------------------------

struct TimingOptions {
    TimingMethod method = TimingAutomatic;
    // The window's full width as a share of the period, centred on each
    // predicted extremum: 0.25 (+-1/8 period) covers an eclipse of a
    // detached binary with some light outside it, and the part of a Mira's
    // maximum that a cubic follows, with about ten points of 10-day means.
    double windowShare = 0.25;
    // An extremum is timed only when at least this many observations lie on
    // each side of it inside the window.
    int minimumPerSide = 3;
    // The polynomial's degree, 2 to 4; 0: automatic, 3 with ten points or
    // more (a Mira's rise is steeper than its decline, and the cubic follows
    // that), else 2.
    int polynomialDegree = 0;
    // The automatic choice takes Kwee and van Woerden when each side of the
    // window's centre holds at least kvwMinimumPerSide observations and no
    // gap between successive observations is wider than kvwLargestGap times
    // the window's width; otherwise, and when the reflection finds no time
    // of symmetry (ExtremaNoSymmetry: a flat or rugged top), the polynomial.
    int kvwMinimumPerSide = 8;
    double kvwLargestGap = 0.15;
    // Monte Carlo trials of Kwee and van Woerden's error, and the seed.
    int trials = 200;
    uint32_t seed = 1;
    // The curve of TimingHarmonicCurve (its period need not be the search's).
    HarmonicCurve curve;
};

// The method the automatic rule takes for the observations t[0..n-1] of one
// window of full width 'width' centred on 'centre'; the forced method when
// options.method is not TimingAutomatic.
TimingMethod ChooseTimingMethod(const double *t, int n, double centre, double width, const TimingOptions &options);

// The polynomial degree for n points under the options.
int ChoosePolynomialDegree(int n, const TimingOptions &options);

// Times one extremum from the observations inside [centre - width/2,
// centre + width/2]: the options are checked, the points selected, each
// side of the centre must hold options.minimumPerSide of them, the method
// is chosen and run, and the time found must lie inside the window with
// options.minimumPerSide points on each side of it.  Statuses:
// ExtremaEmptyWindow, ExtremaTooFewPoints (before/after say how many),
// ExtremaOutsideWindow and those of the methods.
ExtremumTiming TimeExtremum(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                            double centre, double width, const TimingOptions &options);

// --- finding the extrema over the data ----------------------------------

// One predicted extremum: its cycle number and time.
struct PredictedExtremum {
    long cycle;
    double time;
};

// The extrema epoch + E * period that lie in [first, last], in order.
// Empty when the period is not positive or when there would be more than
// MaximumPredicted of them.
const long MaximumPredicted = 1000000;
std::vector<PredictedExtremum> PredictExtrema(double epoch, double period, double first, double last);

// The epoch of an extremum from the data themselves: the observations are
// folded with the period, the mean magnitude of the points within
// +-width/2 in phase is taken at 1000 phases (at least three points each),
// and the faintest (MinimumBrightness) or brightest of them gives the
// phase; the epoch returned is the time of that phase nearest the first
// observation.  ExtremaNoPeriod, ExtremaBadObservations,
// ExtremaBadWindow (width not in (0, 1]) or ExtremaEmptyWindow (no phase
// with three points) when it cannot.
ExtremaStatus EpochFromData(const double *t, const double *y, int n, double period, ExtremumKind kind, double width,
                            double &epoch);

struct FoundExtremum {
    long cycle;             // from the search's epoch
    double predicted;       // the predicted time
    ExtremumTiming timing;
};

struct SkippedExtremum {
    long cycle;
    double predicted;
    ExtremaStatus reason;   // why it was not timed
    // Observations before and after the window's centre when too few lay
    // there; before and after the time found when that time was refused;
    // as the method left them otherwise.
    int before, after;
};

struct ExtremaSearch {
    ExtremaStatus status = ExtremaOk;
    ExtremumKind kind = MinimumBrightness;
    double period = 0, epoch = 0;
    bool epochFromData = false;
    double window = 0;                   // full width in days
    // The ephemeris that placed the windows: the search's own, or the line
    // through the first pass's times (see FindExtrema).
    double windowEpoch = 0, windowPeriod = 0;
    std::vector<FoundExtremum> found;    // in time order
    std::vector<SkippedExtremum> skipped;
    long emptyWindows = 0;               // predicted extrema without one observation in their window
};

// Times every extremum of the kind that the period and epoch predict
// within the data's span (the epoch from EpochFromData with width
// options.windowShare / 2 when hasEpoch is false).  Each window is centred
// on the predicted time; when the time found lies off the centre the window
// is centred on it and the extremum timed again (twice at most), and a time
// that leaves the first window is refused (ExtremaOutsideWindow).  A
// period known only roughly lets the windows drift off the extrema over
// many cycles, so the windows are then placed once more from the straight
// line through the times found against their cycles (when at least two
// cycles were timed and the line's period is within 10 % of the given
// one); that second pass is kept when it times no fewer extrema.  The
// cycle numbers stay those of the given epoch and period.
// Extrema whose windows hold observations but give no time are listed in
// 'skipped' with the reason; windows without observations are only
// counted.  Status: the refusals of the options and observations,
// ExtremaNoneTimed when nothing could be timed.  The Monte Carlo seed of
// each extremum is mixed from options.seed and its cycle.
ExtremaSearch FindExtrema(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                          double period, bool hasEpoch, double epoch, const TimingOptions &options);

// --- O-C and period change --------------------------------------------

// A linear ephemeris: extremum E at epoch + E * period.
struct Ephemeris {
    double epoch = 0, period = 0;
};

// The ephemeris of a search's own period and its first timed extremum;
// period 0 when the search timed none.
Ephemeris EphemerisFromFirst(const ExtremaSearch &search);

// One timed extremum for the O-C analysis.
struct OCInput {
    double time, error;     // days
    TimingMethod method;
};
std::vector<OCInput> OCInputsOf(const ExtremaSearch &search);

struct OCRow {
    long cycle;             // E = round((time - epoch) / period)
    double time, error;
    double oc;              // time - (epoch + E * period)
    TimingMethod method;
    double linearResidual;  // O-C minus the linear fit at E
    double quadraticResidual;  // minus the quadratic fit; 0 without one
};

// O-C = a + b E, weighted by 1 / error^2.
struct LinearOCFit {
    ExtremaStatus status = ExtremaOk;
    double a = 0, b = 0, aError = 0, bError = 0, covarianceAB = 0;
    double epoch = 0, epochError = 0;    // corrected: epoch + a
    double period = 0, periodError = 0;  // corrected: period + b
    double chiSquare = 0;
    int degreesOfFreedom = 0;
    double reducedChiSquare = 0;         // 0 without a degree of freedom
    // True when the reduced chi-square exceeds 1 and the errors above are
    // multiplied by its square root (the scatter is larger than the timing
    // errors say).
    bool errorsScaled = false;
};

// O-C = a + b E + c E^2, weighted.  The period at cycle E is
// period + b + 2 c E; it changes by 2c per cycle, so dP/dt = 2c / P days
// per day (P = period + b), times 86400 * 365.25 in seconds per year.
// The F test of the quadratic term: F = (chi2_linear - chi2_quadratic) /
// (chi2_quadratic / (n - 3)) against the F distribution with 1 and n - 3
// degrees of freedom; 'probability' is the chance of an F at least this
// large without a period change, and the change is significant when it is
// below 'level' (1 % unless asked otherwise).
struct QuadraticOCFit {
    ExtremaStatus status = ExtremaOk;
    double a = 0, b = 0, c = 0, aError = 0, bError = 0, cError = 0;
    double chiSquare = 0;
    int degreesOfFreedom = 0;
    double reducedChiSquare = 0;
    bool errorsScaled = false;           // as in the linear fit
    double periodChange = 0, periodChangeError = 0;                  // days per day
    double periodChangeSecondsPerYear = 0, periodChangeSecondsPerYearError = 0;
    bool hasFTest = false;               // false with fewer than four extrema
    double fValue = 0, probability = 1;
    double level = 0.01;
    bool significant = false;
};

struct OCAnalysis {
    ExtremaStatus status = ExtremaOk;
    Ephemeris ephemeris;
    std::vector<OCRow> rows;             // in time order
    LinearOCFit linear;
    QuadraticOCFit quadratic;            // its status says whether there is one
};

// The cycle numbers and O-C of the extrema against the ephemeris, and both
// fits.  Statuses: ExtremaBadLevel, ExtremaNoPeriod, ExtremaBadEpoch,
// ExtremaNoneTimed (no extremum), ExtremaBadObservations (a time not
// finite), ExtremaBadTimeError, ExtremaSingleExtremum (one extremum),
// ExtremaOneCycle; on a refusal the fits carry the same status.
// quadratic.status is ExtremaTooFewForQuadratic with fewer than three
// cycles, the linear fit then standing alone.
OCAnalysis AnalyseOC(const std::vector<OCInput> &extrema, const Ephemeris &ephemeris, double level = 0.01);

// The table file STEM.oc as text.  The first line names the columns:
//     "#      E           time      error         O-C method"
// then one line per extremum in time order, fields separated by one blank:
// E as a whole number right-aligned in 8 characters, the time (reduced
// Julian date) in 14 characters with 6 decimals, its error in 10 with 6
// decimals, O-C in 11 with 6 decimals and a sign, and the method's short
// name; every line ends with a line feed.
std::string FormatOCTable(const OCAnalysis &analysis);
