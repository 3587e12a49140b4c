// The statistic of the harmonic fit and of the analysis of variance over an
// even frequency grid from the sums of the non-uniform fast Fourier
// transform, one transform a multiple of the grid's frequencies.
#include <algorithm>
#include <cmath>
#include <vector>

#include "methodsinternal.h"
#include "nufft.h"

namespace {

// Below this share of the weight left to a harmonic's column the sums are
// taken straight from the data.
const double StraightRoomShare = 0.05;

// The grid is transformed in blocks of frequencies, so that the sums of
// all the multiples of a block stay some 2^18 frequencies (12 MB) however
// large the grid: the cost of a block beyond its FFTs is spreading the
// observations once a multiple.
const long SumsInMemory = 262144;
const long MinimumBlock = 4096;

// The multiples j of the grid whose transforms hold the sums of 1..2H:
// grid j gives j and 2j.
std::vector<int> MultiplesFor(int harmonics)
{
    std::vector<int> multiples;
    for (int j = 1; j <= 2 * harmonics; ++j)
        if (j <= harmonics || j % 2 == 1)
            multiples.push_back(j);
    return multiples;
}

// The sums of grid frequency k gathered from the transforms of the multiples.
void GatherSums(const std::vector<FastSums> &grids, const std::vector<int> &multiples, double weightTotal,
                int harmonics, long k, HarmonicSums &sums)
{
    sums = HarmonicSums();
    sums.harmonics = harmonics;
    sums.cosine[0] = weightTotal;
    for (std::size_t g = 0; g < multiples.size(); ++g) {
        const int j = multiples[g];
        const FastSums &s = grids[g];
        const std::size_t at = static_cast<std::size_t>(k);
        sums.cosine[j] = s.c1[at];
        sums.sine[j] = s.s1[at];
        if (2 * j <= 2 * harmonics) {
            sums.cosine[2 * j] = s.c2[at];
            sums.sine[2 * j] = s.s2[at];
        }
        if (j <= harmonics) {
            sums.valueCosine[j] = s.yc[at];
            sums.valueSine[j] = s.ys[at];
        }
    }
}

double StatisticOfPower(const MethodData &data, const MethodChoice &choice, double power)
{
    return choice.kind == MethodAov ? AovOfHarmonicPower(power, data.weighted, choice.order) : power;
}

// The statistics of grid frequencies from .. to - 1 from the transforms.
void StatisticsOfBlock(const MethodData &data, const MethodChoice &choice, const std::vector<FastSums> &grids,
                       const std::vector<int> &multiples, double first, double step, long from, long to,
                       double *values)
{
    for (long k = from; k < to; ++k) {
        HarmonicSums sums;
        GatherSums(grids, multiples, data.weightTotal, choice.order, k, sums);
        const double f = first + static_cast<double>(k) * step;
        bool roomy = false;
        const double power = HarmonicPowerWithRoom(sums, data.sumOfSquares, StraightRoomShare, roomy);
        values[k] = roomy ? StatisticOfPower(data, choice, power) : MethodStatistic(data, choice, f);
    }
}

} // namespace

MethodError FastHarmonicGrid(const MethodData &data, const MethodChoice &choice, double first, double step,
                             long intervals, int threads, double *values, bool *transformed)
{
    if (transformed != nullptr)
        *transformed = false;
    if (choice.kind != MethodHarmonics && choice.kind != MethodAov)
        return MethodBadOrder;
    if (const MethodError error = CheckMethodChoice(choice); error != MethodOk)
        return error;
    if (!std::isfinite(first) || !(first > 0) || !std::isfinite(step) || !(step > 0) || intervals < 0 ||
        !std::isfinite(first + static_cast<double>(intervals) * step))
        return MethodBadFrequency;
    const int harmonics = choice.order;
    const std::vector<int> multiples = MultiplesFor(harmonics);
    const long block = std::max(MinimumBlock, SumsInMemory / static_cast<long>(multiples.size()));
    for (long from = 0; from <= intervals; from += block) {
        const long last = std::min(intervals, from + block - 1);
        const double blockFirst = first + static_cast<double>(from) * step;
        std::vector<FastSums> grids;
        for (int j : multiples) {
            const FrequencyGrid grid = {NufftOk, j * blockFirst, j * step, last - from};
            grids.push_back(
                ComputeFastSums(data.time.data(), data.value.data(), data.weight.data(), data.n, grid, threads));
            if (grids.back().status != NufftOk) {
                std::vector<double> frequencies(static_cast<std::size_t>(intervals) + 1);
                for (long k = 0; k <= intervals; ++k)
                    frequencies[static_cast<std::size_t>(k)] = first + static_cast<double>(k) * step;
                return EvaluateGrid(data, choice, frequencies.data(), intervals + 1, threads, values);
            }
        }
        RunBlocksOnThreads(last - from + 1, threads, [&](long begin, long end) {
            StatisticsOfBlock(data, choice, grids, multiples, blockFirst, step, begin, end, values + from);
        });
    }
    if (transformed != nullptr)
        *transformed = true;
    return MethodOk;
}
