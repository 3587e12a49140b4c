// Spectra on an even frequency grid, with the sums of every grid frequency
// taken at once by a non-uniform fast Fourier transform of type 1 (the
// observations spread onto an oversampled even grid with the "exponential
// of semicircle" kernel of Barnett, Magland and af Klinteberg (2019), one
// FFT, and a division by the kernel's Fourier transform).  Plain functions:
// a value in, a value out, no state kept between calls, safe to call from
// several threads at once.  Times are in days, frequencies in cycles per
// day; the phase of an observation at frequency f is 2 pi f (t - t[0]).
#pragma once
#include <vector>

// What went wrong, as a value.
enum NufftStatus {
    NufftOk,
    NufftBadPeriods,      // pmin or pmax not finite, pmin <= 0, pmax < pmin, or 1/pmax below 2^-34 of the top frequency
    NufftBadSpan,         // the time span is not finite or not above 0
    NufftBadOversample,   // the oversampling is not finite or not above 0
    NufftStepTooFine,     // the frequency step falls near the double resolution of the frequencies
    NufftGridTooLarge,    // more than MaxGridFrequencies frequencies
    NufftBadGrid,         // a grid that MakeFrequencyGrid did not accept
    NufftBadObservations, // a count below 0, a null array, a time or magnitude not finite, a weight not finite or < 0
    NufftOutOfMemory,     // the oversampled grids could not be allocated
    NufftFftFailed,       // FFTW gave no plan
};

// A short English text for the status ("ok", "bad period range", ...).
const char *NufftStatusText(NufftStatus status);

// The largest number of frequencies of one grid.
const long MaxGridFrequencies = 500000000L;

// --- the even frequency grid ---------------------------------------------

// The K + 1 frequencies f_k = first + k * step, k = 0 .. K, of a period
// range.  Every f_k is a double exactly, and first + k * step computed in
// double is that double (no rounding anywhere), so that the transform and
// the exact kernels are handed the very same frequencies.
struct FrequencyGrid {
    NufftStatus status;
    double first;   // f_0, about 1 / pmax
    double step;    // about 1 / (oversample * span)
    long intervals; // K; the grid has K + 1 frequencies
};

// The grid of a period range pmin .. pmax (days) for observations spanning
// 'span' days, with 'oversample' points per peak width 1 / span (10 is the
// usual choice).  All frequencies are multiples of one quantum q, the unit
// in the last place of the doubles just below 2^E, where 2^E is the first
// power of 2 above 1 / pmin + 1 / (oversample * span):
//   first = 1 / pmax rounded to the nearest multiple of q,
//   step  = 1 / (oversample * span) rounded to the nearest multiple of q,
//   K     = the smallest k >= 0 with first + k * step >= 1 / pmin rounded
//           to the nearest multiple of q.
// So the first frequency is 1 / pmax within half a unit in the last place
// of the largest frequency, the last one is the first to reach 1 / pmin
// (its period is pmin or just below), and pmin = pmax gives one frequency.
// A step of fewer than 2^19 quanta (a relative rounding above 1e-6) is
// refused as NufftStepTooFine, a first frequency of fewer as
// NufftBadPeriods (pmax / pmin of about 2^33 and more).  On any status but NufftOk the other fields
// are 0.
FrequencyGrid MakeFrequencyGrid(double pmin, double pmax, double span, double oversample);

// The number of frequencies, K + 1 (0 for a refused grid).
long GridFrequencyCount(const FrequencyGrid &grid);
// The frequency f_k, 0 <= k <= K.
double GridFrequency(const FrequencyGrid &grid, long k);
// The periods 1 / f_k (each the double nearest to the quotient), in
// increasing order: entry i is the period of f_(K - i).  Empty for a
// refused grid.
std::vector<double> GridPeriods(const FrequencyGrid &grid);

// --- the sums and the power ----------------------------------------------

// The seven sums of one frequency over the observations, in the program's
// order: sum w cos^2, w cos, w sin^2, w sin, w sin cos, w y cos, w y sin.
struct GridSums {
    double scc, sc, sss, ss, ssc, syc, sys;
};

// The power of one frequency from its sums: the cosine and the sine are
// orthonormalised against the constant and each other and the magnitudes
// projected on them; weightSum is the sum of the weights (the number of
// observations when all weights are 1) and sumOfSquares that of w y^2 of
// the centred magnitudes.  The very arithmetic of the program's spectrum
// pass: the same sums give the same double.  0 where the fit has no room
// (room below 1e-12 * weightSum) or the result is not finite.
double GridPowerOfSums(const GridSums &sums, double weightSum, double sumOfSquares);

// The sums of every grid frequency, with t' = t - t[0] and omega = 2 pi f_k:
//   c1 = sum w cos(omega t'),    s1 = sum w sin(omega t'),
//   c2 = sum w cos(2 omega t'),  s2 = sum w sin(2 omega t'),
//   yc = sum w y cos(omega t'),  ys = sum w y sin(omega t').
// Each vector has K + 1 entries, entry k for f_k.
struct FastSums {
    NufftStatus status;
    double weightSum; // sum w, in extended precision
    std::vector<double> c1, s1, c2, s2, yc, ys;
};

// The sums of every frequency of the grid for the times t[0..n-1] (in any
// order; phases count from t[0]), magnitudes y[0..n-1] and weights
// w[0..n-1] (nullptr: all 1), on 'threads' threads (below 1 counts as 1).
// Each of c1, s1, c2, s2 is within about 3e-14 * sum |w| of the exact sum,
// and yc, ys within 3e-14 * sum |w y| (the kernel's width, 14 cells, is
// chosen for that), for spans of centuries and frequencies of hundreds per
// day alike: the phases are reduced from the exact product of frequency and
// time, and the positions on the grid to a 1e-16 of a cell.  The result is
// the same to the last bit whatever the number of threads.  Memory: three
// complex grids of M = 2 (K + 1) to 2.5 (K + 1) cells (16 bytes a cell)
// beside the six result vectors, and some 150 bytes per observation.
// Time: of the order of n kernel evaluations times 28 and three FFTs of M
// cells (see EstimatedFastSeconds).  The FFT stage runs at most three
// threads (one FFT each).  On any status but NufftOk the vectors are empty.
FastSums ComputeFastSums(const double *t, const double *y, const double *w, long n, const FrequencyGrid &grid,
                         int threads);

// The seven sums of frequency k from the transform's sums: scc = (W + c2)/2,
// sss = (W - c2)/2, ssc = s2/2, sc = c1, ss = s1, syc = yc, sys = ys.
GridSums SumsAtGridFrequency(const FastSums &sums, long k);

// The seven sums of one frequency straightforwardly, one term at a time: the
// phases reduced as the transform reduces them, their sines, cosines and
// the sums in extended precision.  Costs n extended sine-cosine pairs.
GridSums DirectGridSums(const double *t, const double *y, const double *w, long n, double frequency);

// The power of every grid frequency (powers[k] for f_k, K + 1 entries) of
// centred magnitudes y with the given sum of squares (sum w y^2), by the
// transform and GridPowerOfSums.  Where the fit has little room (room below
// 1 % of the weight: a few frequencies at exact aliases of a strictly even
// cadence, or many for a handful of observations) the power would carry the
// transform's error of the sums (about 3e-14 of the weight) magnified by
// weight / room; there the sums are taken again by DirectGridSums, so that
// every power is within 1e-10 of the exact one.  powers is left empty on
// any status but NufftOk.  With window, also the spectral window of every
// grid frequency, |sum w exp(2 pi i f t)|^2 / (sum w)^2, from the same sums.
NufftStatus ComputeFastPowers(const double *t, const double *y, const double *w, long n, const FrequencyGrid &grid,
                              double sumOfSquares, int threads, std::vector<double> &powers,
                              std::vector<double> *window = nullptr);

// --- choosing between the transform and the exact kernels ---------------

// Whether the transform computes the powers of 'frequencies' frequencies of
// n observations faster than the exact kernels (cost about n * frequencies
// terms) on one core.  The break-even was measured with nufft_bench on an
// AMD EPYC with 512-bit vector units (the exact kernels' widest): the
// transform wins from about 80 to 100 observations on grids of 10^4 to 10^6
// frequencies, and from about 200 on grids of 1000.
bool FastTransformIsCheaper(long n, long frequencies);

// The estimated one-core seconds of each way, from the same measurements.
double EstimatedFastSeconds(long n, long frequencies);
double EstimatedExactSeconds(long n, long frequencies);
