// The straightforward double-precision pass that the bench measures the
// kernels against: one sin and one cos call per term, double sums.
#pragma once
#include <string>

#include "kalidor.h"

// Writes the spectrum file of the K + 1 periods from pmin to pmax as
// ComputeSpectrum does, with the times t[0..n-1], the centred magnitudes
// y[0..n-1] and their sum of squares.
SpectrumResult StraightforwardSpectrum(const double *t, const double *y, int n, double sumOfSquares, double pmin,
                                       double pmax, long intervals, const std::string &spectrumName);
