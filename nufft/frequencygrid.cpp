// The even frequency grid: every frequency a multiple of one power-of-2
// quantum, so that first + k * step is a double without rounding.
#include <cfloat>
#include <cmath>

#include "nufft.h"

namespace {

// A first frequency or a step of fewer quanta would be rounded by more
// than 1e-6 of itself.
const long double FewestQuanta = 524288; // 2^19

bool FiniteAbove0(double x)
{
    return std::isfinite(x) && x > 0;
}

FrequencyGrid RefusedGrid(NufftStatus status)
{
    return {status, 0, 0, 0};
}

} // namespace

const char *NufftStatusText(NufftStatus status)
{
    switch (status) {
    case NufftOk:
        return "ok";
    case NufftBadPeriods:
        return "bad period range";
    case NufftBadSpan:
        return "bad time span";
    case NufftBadOversample:
        return "bad oversampling";
    case NufftStepTooFine:
        return "frequency step too fine for double precision";
    case NufftGridTooLarge:
        return "too many frequencies";
    case NufftBadGrid:
        return "bad frequency grid";
    case NufftBadObservations:
        return "bad observations";
    case NufftOutOfMemory:
        return "out of memory";
    case NufftFftFailed:
        return "no FFT plan";
    }
    return "unknown status";
}

FrequencyGrid MakeFrequencyGrid(double pmin, double pmax, double span, double oversample)
{
    if (!FiniteAbove0(pmin) || !std::isfinite(pmax) || pmax < pmin)
        return RefusedGrid(NufftBadPeriods);
    if (!FiniteAbove0(span))
        return RefusedGrid(NufftBadSpan);
    if (!FiniteAbove0(oversample))
        return RefusedGrid(NufftBadOversample);
    const long double lowest = 1 / static_cast<long double>(pmax);
    const long double highest = 1 / static_cast<long double>(pmin);
    const long double wantedStep = 1 / (static_cast<long double>(oversample) * span);
    if (!std::isfinite(static_cast<double>(highest + wantedStep)) || !(wantedStep > 0))
        return RefusedGrid(NufftBadOversample);
    // Every frequency of the grid stays below highest + step, below 2^E.
    int e = 0;
    std::frexp((highest + wantedStep) * (1 + 1e-9L), &e);
    const long double quantum = std::ldexp(1.0L, e - 53);
    // Periods of some 10^290 days and more: the quanta would be subnormal.
    if (quantum < DBL_MIN)
        return RefusedGrid(NufftBadPeriods);
    const long double first = std::nearbyint(lowest / quantum);
    const long double last = std::nearbyint(highest / quantum);
    const long double step = std::nearbyint(wantedStep / quantum);
    if (first < FewestQuanta)
        return RefusedGrid(NufftBadPeriods);
    if (step < FewestQuanta)
        return RefusedGrid(NufftStepTooFine);
    const long double intervals = last > first ? std::ceil((last - first) / step) : 0;
    if (intervals + 1 > MaxGridFrequencies)
        return RefusedGrid(NufftGridTooLarge);
    // first + K * step < 2^53 quanta by the choice of E: each f_k is exact.
    const FrequencyGrid grid = {NufftOk, static_cast<double>(first * quantum), static_cast<double>(step * quantum),
                                static_cast<long>(intervals)};
    if (!std::isfinite(GridFrequency(grid, grid.intervals)))
        return RefusedGrid(NufftBadPeriods);
    return grid;
}

long GridFrequencyCount(const FrequencyGrid &grid)
{
    return grid.status == NufftOk ? grid.intervals + 1 : 0;
}

double GridFrequency(const FrequencyGrid &grid, long k)
{
    return grid.first + static_cast<double>(k) * grid.step;
}

std::vector<double> GridPeriods(const FrequencyGrid &grid)
{
    const long count = GridFrequencyCount(grid);
    std::vector<double> periods(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i)
        periods[static_cast<std::size_t>(i)] =
            static_cast<double>(1 / static_cast<long double>(GridFrequency(grid, grid.intervals - i)));
    return periods;
}
