// A pass of the spectrum kernels over a grid of trial periods, chunk by
// chunk in grid order, and the power of one frequency over prepared
// observations.  Used by the engine and by the dialogue's own pass.
#pragma once
#include "analysis.h"
#include "spectrumkernels.h"

// What one chunk of a pass gives: count consecutive grid points with their
// periods, powers and (when asked) spectral window, each array of count.
struct GridChunk {
    long first;              // index of the chunk's first grid point
    long count;
    const double *periods;
    const double *powers;
    const double *window;    // nullptr unless the pass was asked for it
};

// Visits the chunks of a pass over the grid's K + 1 trial periods, the
// powers of the prepared observations with their sum of squares taken by
// the kernels over 'threads' threads (SpectrumThreadsFor gives a sensible
// count); with window, also the spectral window |sum exp(2 pi i f t)|^2 / n^2
// from the same sums.  visit is a template so that the pass costs no call
// through a pointer per chunk; it must not keep the arrays.
template <typename Visit>
void ForEachGridChunk(const SpectrumTerms &terms, double sumOfSquares, const PeriodGrid &grid, int threads,
                      bool window, Visit visit);

// The power at one frequency over the prepared observations: the very
// value a pass gives at the same frequency.
double PreparedPower(const SpectrumTerms &terms, double frequency, double sumOfSquares);

// The spectral window at one frequency from the sums of that frequency
// (weighted: |sum w exp(2 pi i f t)|^2 / (sum w)^2).
double WindowOfSums(const SpectrumSums &sums, double weightSum);

#include <algorithm>
#include <vector>

template <typename Visit>
void ForEachGridChunk(const SpectrumTerms &terms, double sumOfSquares, const PeriodGrid &grid, int threads,
                      bool window, Visit visit)
{
    const long points = std::max(grid.intervals + 1, 0L);
    const long chunk = std::min(SpectrumChunkPoints(threads), points);
    const std::size_t size = static_cast<std::size_t>(std::max(chunk, 0L));
    std::vector<double> periods(size), frequencies(size), powers(size), windows(window ? size : 0);
    std::vector<SpectrumSums> sums(size);
    for (long first = 0; first < points; first += chunk) {
        const long count = std::min(chunk, points - first);
        for (long j = 0; j < count; ++j) {
            periods[static_cast<std::size_t>(j)] = GridPeriod(grid, first + j);
            frequencies[static_cast<std::size_t>(j)] = GridFrequency(grid, first + j);
        }
        SpectrumSumsOfFrequencies(terms, frequencies.data(), count, threads, sums.data());
        for (long j = 0; j < count; ++j) {
            const std::size_t at = static_cast<std::size_t>(j);
            powers[at] = WeightedPowerOfSums(sums[at], terms.weightSum, sumOfSquares);
            if (window)
                windows[at] = WindowOfSums(sums[at], terms.weightSum);
        }
        visit(GridChunk{first, count, periods.data(), powers.data(), window ? windows.data() : nullptr});
    }
}
