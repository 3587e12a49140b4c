// The choice between the transform and the exact kernels, from one-core
// CPU times measured with nufft_bench on this project's development machine
// (an AMD EPYC whose exact kernels run 512 bits wide).
#include <algorithm>
#include <cmath>

#include "nufft.h"
#include "type1.h"

namespace {

// The exact kernels: seconds per term, the observations taken 32 at a time,
// and per frequency for its power.
const double ExactSecondsPerTerm = 1.1e-9;
const long ExactTermsAtOnce = 32;
const double ExactSecondsPerFrequency = 3e-8;
// The transform: a fixed part (planning and set-up), a part per observation
// (phases, sorting, spreading) and one per FFT cell and binary digit of the
// FFT size (the three FFTs, the deconvolution and the powers).
const double FastFixedSeconds = 1e-4;
const double FastSecondsPerObservation = 2.7e-7;
const double FastSecondsPerCellDigit = 3.6e-9;

} // namespace

double EstimatedExactSeconds(long n, long frequencies)
{
    const long blocks = (std::max(n, 1L) + ExactTermsAtOnce - 1) / ExactTermsAtOnce;
    const double terms = static_cast<double>(blocks * ExactTermsAtOnce);
    return static_cast<double>(std::max(frequencies, 0L)) * (ExactSecondsPerTerm * terms + ExactSecondsPerFrequency);
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
