// The dialogue's spectrum pass over the engine's kernels: one set of
// prepared observations kept for the run, as the dialogue keeps its
// observation list.  The straightforward pass (one sin and one cos call per
// term) stays as the reference that the kernels are measured and checked
// against.
#pragma once
#include <string>

#include "kalidor.h"
#include "spectrumkernels.h"

// The kernel in use.  Until SetSpectrumKernel is called it is the widest one,
// or the one named by the environment variable KALIDOR_SPECTRUM_KERNEL
// ("plain", "avx2" or "avx512"; narrowed as SetSpectrumKernel does).  Any
// other non-empty value ends the program with a message on standard error
// and status 1.
SpectrumKernel ActiveSpectrumKernel();

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
// y[0..n-1], n >= 1, into the run's prepared observations for
// PreparedSpectrumSums and PreparedSpectrumPowers.
void PrepareSpectrumTerms(const double *t, const double *y, int n);
// The sums of one trial frequency over the prepared observations, taken by
// the kernel in use.
SpectrumSums PreparedSpectrumSums(double frequency);
// The sums of count trial frequencies over the prepared observations.
void PreparedSpectrumSumsOf(const double *frequencies, int count, SpectrumSums *sums);

// The threads for a pass of n observations and the given number of trial
// periods (see SetSpectrumThreads).
int SpectrumPassThreads(int n, long points);
// The powers of count trial periods over the prepared observations, with
// the sum of squares of the centred magnitudes; the periods are split into
// 'threads' contiguous blocks computed side by side.  Each power is the
// same double whatever the number of threads.
void PreparedSpectrumPowers(const double *periods, long count, double sumOfSquares, int threads, double *powers);
