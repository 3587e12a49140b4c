// The choice between the transform and the exact kernels, from one-core
// timings on this project's development machine (nufft_bench prints the
// measurements these constants were fitted to).
#include <algorithm>
#include <cmath>

#include "nufft.h"
#include "type1.h"

namespace {

// Seconds per term n * (K + 1) of the exact kernels.
const double ExactSecondsPerTerm = 2.0e-9;
// The transform: a fixed part, a part per observation and one per FFT cell
// and binary digit of the FFT size.
const double FastFixedSeconds = 5e-5;
const double FastSecondsPerObservation = 4e-7;
const double FastSecondsPerCellDigit = 5e-10;

} // namespace

double EstimatedExactSeconds(long n, long frequencies)
{
    return ExactSecondsPerTerm * static_cast<double>(std::max(n, 0L)) * static_cast<double>(std::max(frequencies, 0L));
}

double EstimatedFastSeconds(long n, long frequencies)
{
    const long k = std::max(frequencies, 1L) - 1;
    const double cells = static_cast<double>(MakeType1Layout(k / 2, k - k / 2).cells);
    return FastFixedSeconds + FastSecondsPerObservation * static_cast<double>(std::max(n, 0L)) +
           FastSecondsPerCellDigit * cells * std::log2(cells);
}

bool FastTransformIsCheaper(long n, long frequencies)
{
    return EstimatedFastSeconds(n, frequencies) < EstimatedExactSeconds(n, frequencies);
}
