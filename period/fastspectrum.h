// The fast spectrum pass: the sums of every trial frequency are taken over
// several observations at once with the processor's vector units, chosen at
// run time, so that the same program runs on any x86-64.  The straightforward
// pass (one sin and one cos call per term) stays as the reference that the
// fast one is measured and checked against.
#pragma once
#include <string>

#include "kalidor.h"

// The kernels that take the sums over the observations.  Plain runs on any
// x86-64 (two observations at a time); the others need the vector units of
// their name (four and eight observations at a time).  All three give the
// very same sums, so the spectrum file does not depend on the processor.
enum SpectrumKernel {
    SpectrumKernelPlain,
    SpectrumKernelAvx2,
    SpectrumKernelAvx512,
};

// The widest kernel that this processor supports.
SpectrumKernel WidestSpectrumKernel();
// Uses the given kernel from now on, or the widest supported one below it;
// returns the kernel in use.
SpectrumKernel SetSpectrumKernel(SpectrumKernel kernel);
// The kernel in use.  Until SetSpectrumKernel is called it is the widest one,
// or the one named by the environment variable KALIDOR_SPECTRUM_KERNEL
// ("plain", "avx2" or "avx512"; narrowed as SetSpectrumKernel does).  Any
// other non-empty value ends the program with a message on standard error
// and status 1.
SpectrumKernel ActiveSpectrumKernel();
// "plain", "avx2" or "avx512".
const char *SpectrumKernelName(SpectrumKernel kernel);

// The seven sums of one trial frequency over the observations.
struct SpectrumSums {
    double scc, sc, sss, ss, ssc, syc, sys;
};

// The power of one trial frequency from its sums over n observations: the
// cosine and the sine are orthonormalised against the constant and each
// other and the centred magnitudes projected on them.  0 where the fit has
// no room (all angles coinciding) or the result is not finite.
double SpectrumPowerOfSums(const SpectrumSums &sums, int n, double sumOfSquares);

// The straightforward power: one sin and one cos call per observation.
// Same arguments and result as SpectrumPower.
double ReferenceSpectrumPower(const double *t, const double *y, int n, double frequency, double sumOfSquares);

// The straightforward pass built on ReferenceSpectrumPower; writes the same
// spectrum file as ComputeSpectrum.
SpectrumResult ReferenceComputeSpectrum(double pmin, double pmax, long intervals, const std::string &spectrumName);
// The pass of ComputeSpectrum over any observations: times t[0..n-1],
// centred magnitudes y[0..n-1] and their sum of squares.
SpectrumResult ComputeSpectrumOf(const double *t, const double *y, int n, double sumOfSquares, double pmin,
                                 double pmax, long intervals, const std::string &spectrumName);

// Takes the times t[0..n-1] (counted from t[0]) and the centred magnitudes
// y[0..n-1], n >= 1, for PreparedSpectrumSums and PreparedSpectrumPowers.
// The buffers grow to the largest n so far; they are kept for the run.
void PrepareSpectrumTerms(const double *t, const double *y, int n);
// The sums of one trial frequency over the prepared observations, taken by
// the kernel in use.  The angles are the very doubles of the reference.
SpectrumSums PreparedSpectrumSums(double frequency);
// The sums of count trial frequencies over the prepared observations.  The
// observations are taken in blocks that stay in the cache while every
// frequency runs over them; the sums are those of PreparedSpectrumSums.
void PreparedSpectrumSumsOf(const double *frequencies, int count, SpectrumSums *sums);

// The threads for a pass of n observations and the given number of trial
// periods (see SetSpectrumThreads).
int SpectrumPassThreads(int n, long points);
// The powers of count trial periods over the prepared observations, with
// the sum of squares of the centred magnitudes; the periods are split into
// 'threads' contiguous blocks computed side by side.  Each power is the
// same double whatever the number of threads.
void PreparedSpectrumPowers(const double *periods, long count, double sumOfSquares, int threads, double *powers);
// How many trial periods a pass hands PreparedSpectrumPowers at a time.
long SpectrumChunkPoints(int threads);
