// The spectrum kernels: the sums of every trial frequency over the
// observations, taken several observations at once with the processor's
// vector units, chosen at run time.  Reentrant: the prepared observations
// are a value of the caller's, and any number of threads may use their own
// prepared observations at once.
#pragma once
#include <cstddef>

// The kernels that take the sums over the observations.  Plain runs on any
// x86-64 (two observations at a time); the others need the vector units of
// their name (four and eight observations at a time).  All three give the
// very same sums, so the spectrum does not depend on the processor.
enum SpectrumKernel {
    SpectrumKernelPlain,
    SpectrumKernelAvx2,
    SpectrumKernelAvx512,
};

// The widest kernel that this processor supports.
SpectrumKernel WidestSpectrumKernel();
// Uses the given kernel from now on, or the widest supported one below it;
// returns the kernel in use.  Meant for the start of a program, before any
// pass runs.
SpectrumKernel SetSpectrumKernel(SpectrumKernel kernel);
// The kernel in use: the widest one until SetSpectrumKernel chose another.
SpectrumKernel SpectrumKernelInUse();
// True once a kernel is in use (chosen, or taken by a pass).
bool SpectrumKernelChosen();
// "plain", "avx2" or "avx512".
const char *SpectrumKernelName(SpectrumKernel kernel);
// The kernel of that name; false for a name of no kernel.
bool SpectrumKernelNamed(const char *name, SpectrumKernel &kernel);

// The seven sums of one trial frequency over the observations.
struct SpectrumSums {
    double scc, sc, sss, ss, ssc, syc, sys;
};

// The power of one trial frequency from its sums over n observations: the
// cosine and the sine are orthonormalised against the constant and each
// other and the centred magnitudes projected on them.  0 where the fit has
// no room (all angles coinciding) or the result is not finite.
double SpectrumPowerOfSums(const SpectrumSums &sums, int n, double sumOfSquares);
// The same for weighted sums: weightSum is the sum of the weights (n when
// all are 1, which gives the very double of SpectrumPowerOfSums) and
// sumOfSquares the weighted sum of squares of the magnitudes centred on
// their weighted mean.
double WeightedPowerOfSums(const SpectrumSums &sums, double weightSum, double sumOfSquares);

// The observations of one light curve, prepared for the kernels (32 bytes
// per observation, aligned for the vector loads).  The angle of an
// observation at frequency f is the double nearest to the extended product
// E * f, where E = (t - t[0]) * 2 pi in extended precision; angleHigh +
// angleLow is E exactly.  weight is 1 for an observation and 0 for the
// padding past the last one, or the observation's own weight when the
// terms are weighted (then every sum is a weighted sum: sum w cos^2, sum w
// cos, ..., sum w y sin).  Start from SpectrumTerms{} and release with
// ReleaseSpectrumTerms; preparing again reuses the buffers.
struct SpectrumTerms {
    int count = 0;
    bool weighted = false;
    double weightSum = 0;    // the sum of the weights (count when not weighted)
    double largestAngle = 0; // the largest angleHigh in magnitude
    double *angleHigh = nullptr;
    double *angleLow = nullptr;
    double *magnitude = nullptr;
    double *weight = nullptr;
    std::size_t capacity = 0; // entries each buffer holds
};

// Takes the times t[0..n-1] (counted from t[0]) and the centred magnitudes
// y[0..n-1] into terms, growing its buffers when needed.  Throws
// std::bad_alloc when memory runs out (terms is then empty but valid).
void PrepareSpectrumTerms(SpectrumTerms &terms, const double *t, const double *y, int n);
// The same with weights w[0..n-1] (w = nullptr: unweighted, as above).
void PrepareWeightedSpectrumTerms(SpectrumTerms &terms, const double *t, const double *y, const double *w, int n);
// Frees the buffers; terms is empty afterwards.
void ReleaseSpectrumTerms(SpectrumTerms &terms);

// The sums of count trial frequencies over the prepared observations,
// taken by the kernel in use.  The observations are taken in blocks that
// stay in the cache while every frequency runs over them.
void SpectrumSumsOf(const SpectrumTerms &terms, const double *frequencies, int count, SpectrumSums *sums);
// The powers of count trial periods (frequency = 1 / period in extended
// precision), with the sum of squares of the centred magnitudes; the
// periods are split into 'threads' contiguous blocks computed side by
// side.  Each power is the same double whatever the number of threads.
void SpectrumPowersOf(const SpectrumTerms &terms, const double *periods, long count, double sumOfSquares,
                      int threads, double *powers);
// The threads of a pass of n observations over 'points' trial periods:
// 'requested' when above 0; otherwise every usable core for a pass of more
// than 10^8 terms and one thread for a smaller one.
int SpectrumThreadsFor(int requested, int n, long points);
// How many trial periods a pass hands SpectrumPowersOf at a time.
long SpectrumChunkPoints(int threads);
// The cores this process may run on.
int UsableCores();
// The sums of count trial periods (frequency 1 / period in extended
// precision) over 'threads' threads; the same sums whatever the count.
void SpectrumSumsOfPeriods(const SpectrumTerms &terms, const double *periods, long count, int threads,
                           SpectrumSums *sums);
// The same for count trial frequencies.
void SpectrumSumsOfFrequencies(const SpectrumTerms &terms, const double *frequencies, long count, int threads,
                               SpectrumSums *sums);
