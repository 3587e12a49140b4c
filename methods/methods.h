// Period-search methods for light curves that are not sine waves: a fit of
// several harmonics, the multi-harmonic analysis of variance, phase
// dispersion minimisation and the box search for eclipses and transits,
// with their significance, an evaluator of a whole grid of trial
// frequencies over threads, and the fold's harmonic fit with the shape of
// the fitted light curve.
//
// Conventions of every function:
// - times t[0..n-1] are reduced Julian dates (days), in any order;
//   magnitudes y[0..n-1]; weights w[0..n-1] are 1/sigma^2, or all equal
//   when w is nullptr.  A weight of 0 leaves an observation out.
// - frequencies are in cycles per day.  The phases of every method are
//   counted from t[0], the first time as given (not the earliest): the
//   angle of an observation is theta = 2 pi f (t - t[0]) and its phase is
//   the fraction of f (t - t[0]).
// - the data are first taken into a MethodData value (PrepareMethodData):
//   the magnitudes minus their weighted mean and the totals every method
//   needs.  All functions are plain computations on values: no state of
//   their own, no printing; any number of threads may call them at once.
// - errors come back as MethodError values; a statistic that has no room
//   at a frequency (too few distinct phases, all angles coinciding) takes
//   its no-signal value: 0 for powers and the analysis of variance, 1 for
//   phase dispersion.
#pragma once
#include <string>
#include <vector>

enum MethodError {
    MethodOk,
    MethodTooFewObservations, // fewer than the method's parameters + 1 observations of positive weight
    MethodNotFinite,          // a time or magnitude that is not finite
    MethodBadWeight,          // a weight that is negative or not finite
    MethodBadOrder,           // harmonics outside 1..MaxHarmonics, bins outside 2..MaxPhaseBins
    MethodBadFrequency,       // a frequency that is not finite and positive
    MethodBadDurations,       // box durations outside (0, 0.5), none, or box bins outside 2..MaxBoxBins
    MethodBadThreads,         // a negative thread count
    MethodUnknownName,        // a method name that ParseMethod does not know
};

// A short English text for the error, e.g. "too few observations".
const char *MethodErrorText(MethodError error);

// --- the data -----------------------------------------------------------

// The observations as every method takes them.
struct MethodData {
    int n = 0;                  // observations
    int weighted = 0;           // observations of positive weight
    double origin = 0;          // t[0]: where the phases are counted from
    double earliest = 0, latest = 0; // the least and the greatest time
    std::vector<double> time;   // t as given
    std::vector<double> value;  // y minus the weighted mean
    std::vector<double> weight; // w, or 1 for every observation
    double weightTotal = 0;     // sum of w
    double mean = 0;            // the weighted mean magnitude
    double sumOfSquares = 0;    // sum of w (y - mean)^2
};

// Checks the observations and fills data.  MethodTooFewObservations when
// fewer than two observations have positive weight; MethodNotFinite,
// MethodBadWeight as above (also when the weights' total is not finite).
// data is left empty on an error.
MethodError PrepareMethodData(const double *t, const double *y, const double *w, int n, MethodData &data);

// --- harmonics: a constant plus H harmonics by least squares -------------

const int MaxHarmonics = 12;

// The trigonometric sums of one trial frequency from which the harmonic
// fit is computed, with theta_i = 2 pi f (t_i - t[0]) and the centred
// magnitudes yc_i of MethodData.value:
//   cosine[k] = sum w cos(k theta), sine[k] = sum w sin(k theta), k = 0..2H
//     (so cosine[0] = sum w and sine[0] = 0);
//   valueCosine[k] = sum w yc cos(k theta), valueSine[k] = sum w yc sin(k theta),
//     k = 0..H (valueCosine[0] = sum w yc, 0 up to rounding).
// A fast transform may supply these for a whole grid of frequencies; the
// entries beyond 2H (and H) are not read.
struct HarmonicSums {
    int harmonics = 0;
    double cosine[2 * MaxHarmonics + 1] = {};
    double sine[2 * MaxHarmonics + 1] = {};
    double valueCosine[MaxHarmonics + 1] = {};
    double valueSine[MaxHarmonics + 1] = {};
};

// The sums of frequency f with H harmonics straight from the data: one
// sin and one cos per observation, the higher harmonics by the angle-sum
// recurrence, summed in doubles over blocks of 128 observations and the
// blocks in extended precision.  The angle is the very double that
// the program's one-sine spectrum uses.  H outside 1..MaxHarmonics is
// taken as the nearest of them.
void ComputeHarmonicSums(const MethodData &data, double f, int harmonics, HarmonicSums &sums);

// The share of the weighted variance that a constant plus the harmonics
// of the sums explain, 0..1, for data of weighted sum of squares
// sumOfSquares (MethodData.sumOfSquares).  The columns 1, cos theta,
// sin theta, cos 2 theta, ... are orthogonalised in this order (Cholesky
// factor of the normal matrix, in extended precision); a column whose
// orthogonal part has less than 1e-12 of the weights' total left makes the
// power 0, as the one-sine spectrum does (and so does H outside
// 1..MaxHarmonics).  For H = 1 this is the power of the program's spectrum
// to rounding (1e-12).
double HarmonicPowerOfSums(const HarmonicSums &sums, double sumOfSquares);

// The power of H harmonics at frequency f: ComputeHarmonicSums then
// HarmonicPowerOfSums.
double HarmonicPower(const MethodData &data, double f, int harmonics);

// --- analysis of variance with H harmonics -------------------------------

// The multi-harmonic analysis-of-variance statistic of Schwarzenberg-
// Czerny (1996) at frequency f:
//   Theta = (K - 2H - 1) / (2H) * E / (S - E),
// K the observations of positive weight, S = MethodData.sumOfSquares and E
// the part of S explained by the orthogonal projection of the centred
// magnitudes onto the 2H + 1 functions exp(i j theta), j = -H..H (the
// constant and H harmonics).  The projection is built as in the paper:
// polynomials in z = exp(i theta) orthogonal over the observations by the
// Szego recurrence, onto which yc z^H is projected.  Without a signal and
// with Gaussian errors of the weights' sigmas, Theta follows the F
// distribution of 2H and K - 2H - 1 degrees of freedom.  0 where the
// projection has no room, K <= 2H + 1 or H is outside 1..MaxHarmonics;
// S - E is taken as at least 1e-15 S, so that a fit exact to rounding
// gives a large finite Theta.
double AovStatistic(const MethodData &data, double f, int harmonics);

// The same statistic from a harmonic power p (share of variance
// explained) over K observations: (K - 2H - 1) / (2H) * p / (1 - p), so
// that harmonic powers from supplied sums give the statistic of a whole
// grid as well.
double AovOfHarmonicPower(double power, int observations, int harmonics);

// The probability that noise alone gives Theta or more at one given
// frequency: the upper tail of F(2H, K - 2H - 1).  1 when K <= 2H + 1.
double AovFalseAlarm(double theta, int observations, int harmonics);

// --- phase dispersion minimisation --------------------------------------

const int MaxPhaseBins = 1000;

// The phase dispersion statistic of Stellingwerf (1978) at frequency f
// with B phase bins and two covers: the bins [j/B, (j+1)/B) and the same
// bins shifted by half a bin, [(j-1/2)/B, (j+1/2)/B), so that every
// observation lies in one bin of each cover.  With the weighted mean m_j of
// each bin and the n_j observations in it,
//   s^2 = sum over the bins of both covers of sum_i w_i (y_i - m_j)^2
//         / (sum_j n_j - M),
//   sigma^2 = sum_i w_i (y_i - mean)^2 / (K - 1),
//   theta = s^2 / sigma^2,
// M the bins (of both covers) that hold an observation, K the observations
// of positive weight (only those are counted in n_j).  Near 0 at a good
// period, about 1 without a signal: low is good.  1 where s^2 has no
// degrees of freedom (sum n_j = M) and for B outside 2..MaxPhaseBins.
struct PdmValue {
    double theta = 1;
    int filledBins = 0;              // M
    int firstCover = 0, secondCover = 0; // the filled bins of each cover
    // sum over bins j of the first and l of the second cover of
    // W_jl^2 / (W_j W_l), W the weight in a bin and W_jl in both: how much
    // the two covers' bins coincide (the number of bins when they do).
    double overlap = 0;
};
PdmValue PdmAt(const MethodData &data, double f, int bins);
double PdmTheta(const MethodData &data, double f, int bins);

// The probability that noise alone gives theta or less at one given
// frequency (Gaussian errors of the weights' sigmas), from the beta
// distribution of Schwarzenberg-Czerny (1997).  For one cover of B filled
// bins the between-bin share Q / S of the sum of squares follows
// Beta((B - 1) / 2, (K - B) / 2) exactly.  With two covers Q is the mean of
// the covers' between-bin sums, whose mean m and variance v are known from
// the bins:
//   m = (B1 + B2 - 2) / 2,  v = m + overlap - 1,
// (B1, B2 the covers' filled bins), and Q / S is taken as c X with
// X ~ Beta(nu / 2, (K - 1 - nu) / 2), c = v / (2 m), nu = 2 m^2 / v, which
// has the exact mean and variance of Q / S (and is the exact law for one
// cover).  Since Q / S = 1 - theta (K - M / 2) / (K - 1),
//   P = P(X >= (1 - theta (K - M / 2) / (K - 1)) / c).
// 1 when the covers have fewer than two filled bins or K - 1 <= nu.
double PdmFalseAlarm(const PdmValue &value, int observations);

// The alternate-cycle test of a phase-dispersion period: whether the
// observations of even and odd cycles at frequency f differ beyond what
// cycle-to-cycle scatter gives.  A light curve of two unequal halves (an
// eclipsing binary's primary and secondary eclipse) folded at half its
// period lays one half over the other; splitting each of the B bins of
// both covers by the parity of the cycle (floor((t - origin) f)) then
// removes far more of the within-bin sum of squares than splitting the
// cycles at random.  The test compares the parity split's within-bin sum
// of squares with that of 'splits' random splits of the cycles into two
// groups (mt19937_64 from seed, one bit a cycle) and returns
//   P = (1 + number of random splits doing as well or better) / (1 + splits),
// the chance that cycles in no particular order split so well: a star of
// period 1 / f gives P uniform whatever its cycle-to-cycle changes (a
// Mira's unequal maxima), and a light curve of period 2 / f gives P at its
// least, 1 / (1 + splits).  P is 1 with fewer than two cycles, for B
// outside 2..MaxPhaseBins, or for splits < 1.
struct AlternateCycles {
    double probability = 1;
    int cycles = 0; // the cycles the observations span
    int splits = 0; // the random splits compared
};
AlternateCycles PdmAlternateCycles(const MethodData &data, double f, int bins, int splits, unsigned long long seed);

// --- box least squares ---------------------------------------------------

const int MaxBoxBins = 100000;

// The box search of Kovacs, Zucker and Mazeh (2002).  Durations are given
// as fractions q of the period (0 < q < 0.5), so that one grid of
// durations serves every trial period; the phases are counted into 'bins'
// equal phase bins (0: 5 bins per smallest duration, at least 50 and at
// most 5000), and a box of duration q covers max(1, round(q bins))
// consecutive bins (across phase 1 as well).  Each box needs at least
// minimumInBox observations of positive weight in it.
struct BoxOptions {
    std::vector<double> durations = {0.01, 0.02, 0.03, 0.05, 0.075, 0.1, 0.15, 0.2};
    int bins = 0;
    int minimumInBox = 3;
};

// The best box at one frequency.  With the weights normalised to sum 1 and
// the centred magnitudes yc, a box of weight r = sum_box w and sum
// s = sum_box w yc explains the weighted sum of squares
//   D = W s^2 / (r (1 - r))   (W = MethodData.weightTotal)
// of a model that is one level inside the box and another outside it.  The
// box is the one of greatest D among those fainter inside than outside
// (s > 0: an eclipse or a transit is a dip of brightness).
//   power = D / MethodData.sumOfSquares: the share of the variance the box
//     explains, 0..1, comparable with the harmonic power; the method's
//     statistic.
//   signalResidue = sqrt(s^2 / (r (1 - r))): the signal residue SR of the
//     paper (magnitudes).
//   deltaChiSquare = D: the fall of chi-square against a constant when the
//     weights are 1/sigma^2.
//   depth = s / (r (1 - r)): mean magnitude in the box minus mean out of
//     it, magnitudes, > 0.
//   durationShare = covered bins / bins; duration = durationShare / f days.
//   ingressPhase: the phase of the box's start, counted from t[0], 0..1.
//   midTime: the reduced Julian date of the middle of the box nearest the
//     middle of the data, (earliest + latest) / 2.
// All zero but the frequency (power 0) when no box qualifies.
struct BoxFit {
    double frequency = 0;
    double power = 0, signalResidue = 0, deltaChiSquare = 0;
    double depth = 0;
    double durationShare = 0, duration = 0;
    double ingressPhase = 0, midTime = 0;
    int inBox = 0; // observations of positive weight in the box
};

// Checks the options: MethodBadDurations when a duration is outside
// (0, 0.5) or there is none, or bins is not 0 nor in 2..MaxBoxBins.
MethodError CheckBoxOptions(const BoxOptions &options);
// The bins the box search uses for these options (a count outside
// 2..MaxBoxBins taken as the nearest of them).
int BoxBins(const BoxOptions &options);
// The best box at frequency f.  Assumes CheckBoxOptions gave MethodOk.
BoxFit BoxSearch(const MethodData &data, double f, const BoxOptions &options);
double BoxPower(const MethodData &data, double f, const BoxOptions &options);

// --- significance over a band of frequencies ----------------------------

// The weighted standard deviation of the times, sqrt(sum w (t - tm)^2 /
// sum w), tm their weighted mean: the time scale that sets how fast the
// statistics change with frequency.
double TimeSpread(const MethodData &data);

// The effective number of independent frequencies M of a search for the
// largest analysis-of-variance statistic Theta over the band fmin..fmax,
// from the expected number of upcrossings of the level (the Rice formula,
// as Baluev (2008) uses it for one sine), so that the band's false-alarm
// probability is 1 - (1 - p)^M, p = AovFalseAlarm(Theta, K, H).  With d =
// 2H, the level u of a chi-square of d degrees of freedom with the same
// upper tail p, and the harmonics' mean square rate
// lambda = sigma_t^2 (H + 1) (2H + 1) / 6 (sigma_t = TimeSpread, per unit
// angular frequency),
//   tau = 2 pi (fmax - fmin) sqrt(lambda / (2 pi)) u^((d - 1) / 2) e^(-u/2)
//         / (2^(d/2 - 1) Gamma(d/2)),
//   M = max(1, tau / p).
// For H = 1 and many observations tau is Baluev's W e^-z sqrt(z).  M grows
// slowly with the level (as sqrt(u)).  The simulation in the tests shows
// band levels of 1, 5 and 20 % reached at those rates; far from the tail
// (50 %) the probability is conservative (too large).
double AovEffectiveFrequencies(double theta, int observations, int harmonics, double fmin, double fmax,
                               double timeSpread);

// The probability that the largest Theta over the band reaches theta:
// 1 - (1 - p)^M with M = AovEffectiveFrequencies.
double AovBandFalseAlarm(double theta, int observations, int harmonics, double fmin, double fmax,
                         double timeSpread);

// 1 - (1 - p)^M: the probability that the most extreme of M independent
// values reaches the value whose one-frequency probability is p (M below 1
// taken as 1).
double BandFalseAlarm(double singleFalseAlarm, double effectiveFrequencies);

// --- methods by name and the grid evaluator ------------------------------

enum MethodKind {
    MethodDcdft,     // one sine: the power of the program's spectrum (harmonics with H = 1)
    MethodHarmonics, // harmonics:H
    MethodAov,       // aov:H
    MethodPdm,       // pdm:B
    MethodBls,       // bls
};

struct MethodChoice {
    MethodKind kind = MethodDcdft;
    int order = 1;   // H for dcdft (1), harmonics and aov; B for pdm; 0 for bls
    BoxOptions box;  // for bls
};

// Reads "dcdft", "harmonics:H", "aov:H", "pdm:B" or "bls" (H in
// 1..MaxHarmonics, B in 2..MaxPhaseBins, written as plain digits) into
// choice, with the default box options.  MethodUnknownName or MethodBadOrder.
MethodError ParseMethod(const std::string &name, MethodChoice &choice);
// The name ParseMethod reads, e.g. "aov:3".
std::string MethodName(const MethodChoice &choice);
// The name of the statistic: "power", "theta_aov", "theta_pdm" or "bls_power".
const char *MethodStatisticName(MethodKind kind);
// True for the statistic whose best value is the least (phase dispersion).
bool MethodLowIsBest(MethodKind kind);
// The harmonics of the method's fit: H for dcdft, harmonics and aov, 0 for
// the others.
int MethodHarmonicsOf(const MethodChoice &choice);
// Checks the order and the box options of choice.
MethodError CheckMethodChoice(const MethodChoice &choice);

// The method's statistic at frequency f.  Assumes CheckMethodChoice gave
// MethodOk and f > 0.
double MethodStatistic(const MethodData &data, const MethodChoice &choice, double f);

// values[j] = MethodStatistic(data, choice, frequencies[j]), j = 0..count-1,
// the frequencies split into 'threads' contiguous blocks computed side by
// side (0: as many threads as the machine runs at once; never more threads
// than frequencies).  Each value is the same double whatever the threads.
// MethodBadThreads, MethodBadFrequency or the error of CheckMethodChoice,
// and then values are not written.
MethodError EvaluateGrid(const MethodData &data, const MethodChoice &choice, const double *frequencies, long count,
                         int threads, double *values);

// The statistic of harmonics:H or aov:H at every frequency of an even
// grid, values[k] at f_k = first + k step, k = 0..K (K = intervals), from
// sums taken at once by the non-uniform fast Fourier transform: the sums
// of cos j theta and sin j theta up to j = 2H and those of the magnitudes
// up to j = H are the transform's sums of the grids j f_k (grid j has the
// first frequency j first and the step j step; grid j gives the sums of j
// and 2j, so grids 1..H and the odd j between H and 2H serve).  Where the
// harmonics' columns have less than 5 % of the weight left after
// orthogonalisation, the transform's error of the sums (some 1e-13 of the
// weight) would be magnified; there the value is MethodStatistic itself.
// So every value is within about 1e-9 of MethodStatistic (aov elsewhere
// from the harmonic power by AovOfHarmonicPower).  The grid is taken in
// blocks of at most 2^18 / (the multiples) frequencies (at least 4096), so
// that memory stays some 12 MB of sums and the transform's grids of one
// block.  MethodBadOrder for another method;
// MethodBadFrequency for a grid that is not finite and positive; false in
// 'transformed' (and the values computed straight, by EvaluateGrid) when
// the transform refuses the grid or lacks memory.
MethodError FastHarmonicGrid(const MethodData &data, const MethodChoice &choice, double first, double step,
                             long intervals, int threads, double *values, bool *transformed = nullptr);

// --- the fold: a constant plus H harmonics and the curve's shape ---------

// The harmonic fit at frequency f in the sine convention
//   y(t) = A0 + sum_{k=1..H} A_k sin(k omega (t - T0) + phi_k),
// omega = 2 pi f, T0 = t[0] (MethodData.origin, the phases' origin), A_k
// >= 0, phi_k in [0, 2 pi).  The same fit in cosines and sines:
//   y(t) = A0 + sum a_k cos(k omega (t - T0)) + b_k sin(k omega (t - T0)),
// a_k = A_k sin phi_k, b_k = A_k cos phi_k.
struct HarmonicFit {
    double frequency = 0;
    double reference = 0; // T0
    int harmonics = 0;
    double constant = 0;                   // A0, magnitudes
    double cosine[MaxHarmonics + 1] = {};  // a_k, k = 1..H (index 0 unused)
    double sine[MaxHarmonics + 1] = {};    // b_k
    double amplitude[MaxHarmonics + 1] = {}; // A_k
    double phase[MaxHarmonics + 1] = {};   // phi_k, radians
    double residualRms = 0;                // sqrt(sum w r^2 / sum w)
};

// Fits a constant plus H harmonics at frequency f by weighted least
// squares.  MethodBadOrder, MethodBadFrequency, MethodTooFewObservations
// (fewer than 2H + 2 observations of positive weight, or no room: the
// harmonics not independent over the observations' phases).
MethodError FitHarmonics(const MethodData &data, double f, int harmonics, HarmonicFit &fit);

// The fitted magnitude at time t.
double HarmonicFitValue(const HarmonicFit &fit, double t);

// The shape of a fitted light curve.  Brightness is the least magnitude.
//   fullAmplitude: greatest minus least magnitude of the fitted curve,
//     both found on a grid of 200 H phases and refined by golden-section
//     search to 1e-10 in phase;
//   brightest, faintest: those magnitudes;
//   epochOfMaximum, epochOfMinimum: reduced Julian dates of maximum
//     brightness (least magnitude) and of minimum brightness nearest the
//     time 'near';
//   riseTime: from minimum to maximum brightness as a share of the period,
//     0..1;
//   r21 = A2/A1, r31 = A3/A1, phi21 = phi2 - 2 phi1, phi31 = phi3 - 3 phi1,
//     both phase differences in [0, 2 pi), in the sine convention of
//     HarmonicFit (they do not depend on T0); NaN where the fit has fewer
//     harmonics or A1 = 0;
//   phi21Cosine, phi31Cosine: the same phase differences in the cosine
//     convention y = A0 + sum A_k cos(k omega (t - T0) + psi_k), which many
//     catalogues of pulsators use: psi_k = phi_k - pi/2, so
//     phi21Cosine = phi21 + pi/2 and phi31Cosine = phi31 + pi (mod 2 pi).
struct LightCurveShape {
    double fullAmplitude = 0, brightest = 0, faintest = 0;
    double epochOfMaximum = 0, epochOfMinimum = 0;
    double riseTime = 0;
    double r21 = 0, r31 = 0, phi21 = 0, phi31 = 0;
    double phi21Cosine = 0, phi31Cosine = 0;
};
// Every value is NaN for a fit of no harmonics or no frequency (a
// HarmonicFit that FitHarmonics did not fill).
LightCurveShape DescribeLightCurve(const HarmonicFit &fit, double near);
