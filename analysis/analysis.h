// Period analysis beyond the spectrum pass: peaks refined between grid
// points, sine fits with their errors, false-alarm probabilities, the
// spectral window and prewhitening.  Plain functions over the observation
// times t[0..n-1] and magnitudes y[0..n-1]; they keep no state of their own.
#pragma once
#include <functional>
#include <vector>

// The power of a constant plus a sine of one frequency (cycles per day)
// fitted to centred magnitudes y with sum of squares sumOfSquares: the
// share of the variance the sine explains, 0..1.  The spectrum pass's own
// power function has this form, so that refined peaks are maxima of the
// very function the spectrum file shows.
typedef double (*PowerFunction)(const double *t, const double *y, int n, double frequency, double sumOfSquares);

// --- grid and peaks -----------------------------------------------------

// The trial periods of a spectrum pass, K + 1 of them in increasing order:
// evenly spaced in period from minimum to maximum (the dialogue's grid), or
// evenly spaced in frequency, f_j = firstFrequency + j * frequencyStep for
// j = 0..K, point k being the frequency f_(K-k).
struct PeriodGrid {
    double minimum, maximum;   // the shortest and the longest period
    long intervals;            // K
    double step;               // the period step of a grid even in period
    bool evenInFrequency = false;
    double firstFrequency = 0; // the lowest frequency (cycles per day) of a grid even in frequency
    double frequencyStep = 0;
};
PeriodGrid MakePeriodGrid(double minimum, double maximum, long intervals);
// The grid of the K + 1 frequencies first + j * step, j = 0..K (first > 0).
PeriodGrid MakeEvenFrequencyGrid(double first, double step, long intervals);
// The period of grid point k, 0 <= k <= K, and its frequency: exactly the
// grid's frequency for a grid even in frequency, 1 / period in extended
// precision for one even in period.
double GridPeriod(const PeriodGrid &grid, long k);
double GridFrequency(const PeriodGrid &grid, long k);

// A local maximum of the powers on the grid.
struct GridPeak {
    long index;
    double power;
};

// Collects the strongest local maxima of powers fed in grid order, keeping
// at most 'wanted' of them: a point is a peak when its power is above the
// one before and not below the one after (the ends count against their one
// neighbour).  Memory stays at 'wanted' peaks however long the grid.
struct PeakCollector {
    int wanted;
    long count;                 // powers fed so far
    double before, current;     // the last two powers
    std::vector<GridPeak> best; // strongest first
};
void StartPeakCollector(PeakCollector &collector, int wanted);
void FeedPower(PeakCollector &collector, double power);
// Ends the grid; returns the peaks found, strongest first.
const std::vector<GridPeak> &FinishPeakCollector(PeakCollector &collector);

// The frequency of greatest power between the grid neighbours of peak index
// k (clamped to the grid), found by golden-section search on the power
// function to 1e-10 relative.
double RefinePeakFrequency(PowerFunction power, const double *t, const double *y, int n, double sumOfSquares,
                           const PeriodGrid &grid, long k);
// The same search on any power of frequency.
double RefinePeakFrequency(const std::function<double(double frequency)> &power, const PeriodGrid &grid, long k);
// The golden-section search of that refinement between low and high (to
// 1e-10 relative), starting from the power at 'start': the frequency of
// the greatest power it meets.
double GoldenSectionMaximum(const std::function<double(double frequency)> &power, double start, double low,
                            double high);

// y[0..n-1] minus their mean into centred (resized to n); returns the sum
// of squares of the centred values.
double CentreValues(const double *y, int n, std::vector<double> &centred);

// The strongest 'wanted' peaks of the powers of centred magnitudes y over
// the whole grid, strongest first.
std::vector<GridPeak> StrongestGridPeaks(PowerFunction power, const double *t, const double *y, int n,
                                         double sumOfSquares, const PeriodGrid &grid, int wanted);

// --- significance -------------------------------------------------------

// The probability that noise alone gives a peak of this power anywhere in
// the period range, from the significance model of the spectrum's 95 %
// level (a peak exactly at that level gives 0.05).  span = t[n-1] - t[0].
double FalseAlarmProbability(double power, int n, double span, double minimumPeriod, double maximumPeriod);

// --- sine fits ----------------------------------------------------------

// y = constant + cosine * cos(2 pi f (t - reference)) + sine * sin(...),
// fitted by linear least squares at a fixed frequency f.
struct SineFit {
    double frequency;
    double reference;    // the time origin of the phases
    double constant, cosine, sine;
    double amplitude;    // semi-amplitude, sqrt(cosine^2 + sine^2)
    double residualRms;  // sqrt(sum of squared residuals / n)
};
// False when the fit has no room (fewer than three distinct phases).
bool FitSine(const double *t, const double *y, int n, double frequency, double reference, SineFit &fit);

// The time of greatest brightness (least magnitude) of a fitted sine that
// lies nearest to 'middle'.
double EpochOfMaximum(const SineFit &fit, double middle);

// The least-squares error of a period found from n observations over a
// span, with the fit's semi-amplitude and residual rms:
// sigma_P = sigma_f P^2, sigma_f = sqrt(6) rms / (pi sqrt(n) A span).
// Right only for times spread evenly over the span; SinePeakErrors and
// PeriodErrorFromTimeSpread (weightedfit.h) hold for any spread.
double PeriodError(double period, double residualRms, int n, double amplitude, double span);

// The spectral window at one frequency: |sum of exp(2 pi i f t)|^2 / n^2,
// 1 at frequency 0 and wherever all times are in phase.
double SpectralWindow(const double *t, int n, double frequency);

// --- prewhitening -------------------------------------------------------

// One sine of a joint fit, with the errors the fit's covariance gives.
struct SineComponent {
    double frequency, cosine, sine;  // phases counted from the fit's reference time
    double frequencyError, amplitudeError;
};

// Fits a constant plus all components to y together by nonlinear least
// squares, refining frequencies, cosine and sine terms from the values
// given; on success replaces them, sets the errors, the constant and the
// residual rms and returns true.  False (components untouched) when the fit
// fails or has too few observations (n <= 1 + 3 * components).  Throws
// std::bad_alloc, as a failed allocation does, when the fit's matrices
// (n by 1 + 3 * components) do not fit in memory.
bool FitSinesTogether(const double *t, const double *y, int n, double reference,
                      std::vector<SineComponent> &components, double &constant, double &residualRms);
// residual[i] = y[i] minus the constant and all components at t[i]
// (phases counted from 'reference'), i = 0..n-1.
void SinesResiduals(const double *t, const double *y, int n, double reference,
                    const std::vector<SineComponent> &components, double constant, std::vector<double> &residual);
