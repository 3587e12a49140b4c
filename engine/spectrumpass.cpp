// The power of one trial frequency from the sums of the kernels (the
// weighted fit's own formula, analysis/weightedfit.h), the power of one
// frequency over prepared observations and the spectral window.
#include "spectrumpass.h"

#include <cmath>

#include "weightedfit.h"

double SpectrumPowerOfSums(const SpectrumSums &sums, int n, double sumOfSquares)
{
    return WeightedPowerOfSums(sums, n, sumOfSquares);
}

double WeightedPowerOfSums(const SpectrumSums &sums, double weightSum, double sumOfSquares)
{
    return WeightedPowerOfSums(
        WeightedSpectrumSums{weightSum, sums.scc, sums.sc, sums.sss, sums.ss, sums.ssc, sums.syc, sums.sys},
        sumOfSquares);
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
