// What the method modules share and callers do not see: the angle and
// phase of an observation, the small linear algebra of the harmonic fit
// and the blocks of a grid on threads.
#pragma once
#include <functional>

#include "methods.h"

// 2 pi in extended precision, the constant of the program's spectrum.
const long double MethodTwoPi = 6.283185307179586476925286766559L;

// A fitted function whose part orthogonal to the earlier ones has less than
// this share of the weights' total left has no room: its values over the
// observations coincide with a combination of the others up to rounding.
const double NoRoomShare = 1e-12;

// theta = 2 pi f (t - origin), rounded to double exactly as the one-sine
// spectrum rounds it.
inline double ObservationAngle(double t, double origin, double f)
{
    return static_cast<double>((static_cast<long double>(t) - origin) * MethodTwoPi * f);
}

// The phase of time t, the fraction of f (t - origin), 0 <= phase < 1.
// The cycles are counted in extended precision and the whole ones taken
// off in doubles, which spares the slow rounding modes of extended
// conversions.
double ObservationPhase(double t, double origin, double f);

// The normal equations of a constant plus H harmonics from the sums: the
// matrix (2H + 1 square, row-major, columns 1, cos theta, sin theta,
// cos 2 theta, ...) and the right-hand side.
const int MaxHarmonicColumns = 2 * MaxHarmonics + 1;
void HarmonicNormalEquations(const HarmonicSums &sums, long double *matrix, long double *rhs);

// HarmonicPowerOfSums with the least room a column must keep given as a
// share of the weights' total; roomy tells whether every column kept it
// (the power is 0 when not).
double HarmonicPowerWithRoom(const HarmonicSums &sums, double sumOfSquares, double leastShare, bool &roomy);

// Replaces the lower triangle of the m x m symmetric matrix by its
// Cholesky factor L (A = L L^T).  False when a column has no room: its
// pivot is not above 'least'.
bool CholeskyFactor(long double *matrix, int m, long double least);
// Solves L z = rhs in place (forward substitution).
void ForwardSubstitute(const long double *factor, int m, long double *rhs);
// Solves L^T x = z in place (back substitution).
void BackSubstitute(const long double *factor, int m, long double *rhs);

// Calls block(from, to) for contiguous blocks covering 0 .. count - 1, side
// by side on 'threads' threads (0: as many as the machine runs at once;
// never more than count); a block whose thread the system refuses is
// computed by the caller.  Returns when every block is done.
void RunBlocksOnThreads(long count, int threads, const std::function<void(long from, long to)> &block);
