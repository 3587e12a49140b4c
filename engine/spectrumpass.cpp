// The power of one trial frequency from the sums of the kernels: a
// least-squares fit of a constant plus a sine, made exact for unevenly
// spaced times by orthonormalising cosine and sine against the constant and
// each other over the actual times.
#include "spectrumpass.h"

#include <cmath>

namespace {

// A fit whose orthogonalised cosine or sine has less than this share of the
// observations' count left is taken as having no room: the angles coincide
// (modulo 2 pi) and what is left is rounding noise.
const double NoRoomShare = 1e-12;

} // namespace

double SpectrumPowerOfSums(const SpectrumSums &sums, int n, double sumOfSquares)
{
    return WeightedPowerOfSums(sums, n, sumOfSquares);
}

double WeightedPowerOfSums(const SpectrumSums &sums, double n, double sumOfSquares)
{
    const double scc = sums.scc, sc = sums.sc, sss = sums.sss, ss = sums.ss;
    const double ssc = sums.ssc, syc = sums.syc, sys = sums.sys;
    const long double room1 = scc - static_cast<long double>(sc) * sc / n;
    if (!(room1 > NoRoomShare * n))
        return 0;
    const double a1 = static_cast<double>(std::sqrt(1 / room1));
    const double x = static_cast<double>(ssc - static_cast<long double>(ss) * sc / n);
    const long double room2 = sss - static_cast<long double>(ss) * ss / n - static_cast<long double>(a1) * a1 * x * x;
    if (!(room2 > NoRoomShare * n))
        return 0;
    const double a2 = static_cast<double>(std::sqrt(1 / room2));
    const double c1 = static_cast<double>(static_cast<long double>(a1) * syc);
    const double c2 = static_cast<double>(a2 * (sys - static_cast<long double>(a1) * c1 * x));
    const double power = static_cast<double>((static_cast<long double>(c1) * c1 + static_cast<long double>(c2) * c2) /
                                             sumOfSquares);
    return std::isfinite(power) ? power : 0;
}

double PreparedPower(const SpectrumTerms &terms, double frequency, double sumOfSquares)
{
    SpectrumSums sums;
    SpectrumSumsOf(terms, &frequency, 1, &sums);
    return WeightedPowerOfSums(sums, terms.weightSum, sumOfSquares);
}

double WindowOfSums(const SpectrumSums &sums, double weightSum)
{
    const long double sc = sums.sc, ss = sums.ss;
    return static_cast<double>((sc * sc + ss * ss) / (static_cast<long double>(weightSum) * weightSum));
}
