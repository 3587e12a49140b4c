// Phase dispersion minimisation (Stellingwerf 1978) with two covers of
// phase bins, and its significance from the beta distribution
// (Schwarzenberg-Czerny 1997).
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gsl/gsl_cdf.h>

#include "methodsinternal.h"

namespace {

// The weighted sums of one phase bin.
struct PhaseBin {
    int count = 0;
    double weight = 0, weightedSum = 0, mean = 0;
};

// The weight of bin j of the first cover that also lies in bin j (same)
// or bin j + 1 (next, modulo B) of the second: every observation lies in
// one of the two, since the second cover's bin j starts half a bin before
// the first cover's.
struct CoverOverlap {
    double same = 0, next = 0;
};

// The bins of both covers of a phase times B (0 <= scaled < B): 'first' of
// the first cover, 0..B-1, and 'second' of the cover shifted by half a bin,
// B..2B-1 (its bin 0 spans the phase 1 - 1/(2B) .. 1/(2B)).
void CoverBinsOf(double scaled, int bins, int &first, int &second)
{
    first = std::min(std::max(static_cast<int>(scaled), 0), bins - 1);
    int shifted = std::max(static_cast<int>(scaled + 0.5), 0);
    if (shifted >= bins)
        shifted -= bins;
    second = bins + shifted;
}

} // namespace

PdmValue PdmAt(const MethodData &data, double f, int bins)
{
    PdmValue result;
    if (bins < 2 || bins > MaxPhaseBins)
        return result;
    // Bins 0..B-1 are the first cover, B..2B-1 the one shifted by half a
    // bin.  The first pass takes the bins' means, the second the squares
    // about them, which keeps the digits that one pass of sums of squares
    // would lose to cancellation.
    std::vector<PhaseBin> bin(2 * static_cast<std::size_t>(bins));
    std::vector<CoverOverlap> overlap(static_cast<std::size_t>(bins));
    std::vector<int> firstOf(data.n, -1), secondOf(data.n, -1);
    for (int i = 0; i < data.n; ++i) {
        const double w = data.weight[i];
        if (w == 0)
            continue;
        int first = 0, second = 0;
        CoverBinsOf(ObservationPhase(data.time[i], data.origin, f) * bins, bins, first, second);
        firstOf[i] = first;
        secondOf[i] = second;
        for (PhaseBin *b : {&bin[first], &bin[second]}) {
            ++b->count;
            b->weight += w;
            b->weightedSum += w * data.value[i];
        }
        (second - bins == first ? overlap[first].same : overlap[first].next) += w;
    }
    long counted = 0;
    for (int j = 0; j < 2 * bins; ++j) {
        PhaseBin &b = bin[j];
        if (b.count == 0)
            continue;
        ++(j < bins ? result.firstCover : result.secondCover);
        counted += b.count;
        b.mean = b.weightedSum / b.weight;
    }
    long double within = 0;
    for (int i = 0; i < data.n; ++i) {
        if (firstOf[i] < 0)
            continue;
        const double a = data.value[i] - bin[firstOf[i]].mean, b = data.value[i] - bin[secondOf[i]].mean;
        within += data.weight[i] * (a * a + b * b);
    }
    long double coincide = 0;
    for (int j = 0; j < bins; ++j) {
        const int after = j + 1 < bins ? j + 1 : 0;
        if (overlap[j].same > 0)
            coincide += static_cast<long double>(overlap[j].same) * overlap[j].same / (bin[j].weight * bin[bins + j].weight);
        if (overlap[j].next > 0)
            coincide += static_cast<long double>(overlap[j].next) * overlap[j].next /
                        (bin[j].weight * bin[bins + after].weight);
    }
    result.overlap = static_cast<double>(coincide);
    result.filledBins = result.firstCover + result.secondCover;
    const long degrees = counted - result.filledBins;
    if (degrees <= 0 || !(data.sumOfSquares > 0))
        return result;
    const long double theta = within / degrees / (static_cast<long double>(data.sumOfSquares) / (data.weighted - 1));
    result.theta = std::isfinite(theta) ? static_cast<double>(theta) : 1;
    return result;
}

double PdmTheta(const MethodData &data, double f, int bins) { return PdmAt(data, f, bins).theta; }

double PdmFalseAlarm(const PdmValue &value, int observations)
{
    if (value.firstCover < 2 || value.secondCover < 2 || !std::isfinite(value.theta))
        return 1;
    // Mean and variance of the mean between-bin sum of squares over the
    // covers, in units of the errors' variance.
    const double mean = (value.firstCover + value.secondCover - 2) / 2.0;
    const double variance = mean + value.overlap - 1;
    if (!(variance > 0))
        return 1;
    const double scale = variance / (2 * mean), freedom = 2 * mean * mean / variance;
    if (observations - 1 <= freedom)
        return 1;
    const double withinShare = value.theta * (observations - value.filledBins / 2.0) / (observations - 1);
    const double x = (1 - withinShare) / scale;
    if (x >= 1)
        return 0;
    if (x <= 0)
        return 1;
    return gsl_cdf_beta_Q(x, freedom / 2, (observations - 1 - freedom) / 2);
}

namespace {

// The within-bin sum of squares of both covers of B bins, each bin split
// into the cycles of group 0 and of group 1: bins of the observations'
// first and second cover and group of each cycle given.
double SplitWithin(const MethodData &data, const std::vector<int> &firstOf, const std::vector<int> &secondOf,
                   const std::vector<int> &cycleOf, const std::vector<unsigned char> &groupOf, int bins,
                   std::vector<PhaseBin> &split)
{
    split.assign(4 * static_cast<std::size_t>(bins), PhaseBin());
    for (int i = 0; i < data.n; ++i) {
        if (firstOf[i] < 0)
            continue;
        const int group = groupOf[static_cast<std::size_t>(cycleOf[i])];
        for (int b : {firstOf[i], secondOf[i]}) {
            PhaseBin &s = split[static_cast<std::size_t>(2 * b + group)];
            s.weight += data.weight[i];
            s.weightedSum += data.weight[i] * data.value[i];
        }
    }
    for (PhaseBin &s : split)
        if (s.weight > 0)
            s.mean = s.weightedSum / s.weight;
    long double within = 0;
    for (int i = 0; i < data.n; ++i) {
        if (firstOf[i] < 0)
            continue;
        const int group = groupOf[static_cast<std::size_t>(cycleOf[i])];
        const double a = data.value[i] - split[static_cast<std::size_t>(2 * firstOf[i] + group)].mean;
        const double b = data.value[i] - split[static_cast<std::size_t>(2 * secondOf[i] + group)].mean;
        within += data.weight[i] * (a * a + b * b);
    }
    return static_cast<double>(within);
}

} // namespace

AlternateCycles PdmAlternateCycles(const MethodData &data, double f, int bins, int splits, unsigned long long seed)
{
    AlternateCycles result;
    if (bins < 2 || bins > MaxPhaseBins || splits < 1 || !(f > 0) || data.n < 2)
        return result;
    // Cycles counted from the earliest observation's, so that they number
    // from 0 whatever the origin of the phases.
    const long double first = std::floor((static_cast<long double>(data.earliest) - data.origin) * f);
    const long double last = std::floor((static_cast<long double>(data.latest) - data.origin) * f);
    if (!(last - first < 1e7))
        return result;
    result.cycles = static_cast<int>(last - first) + 1;
    if (result.cycles < 2)
        return result;
    std::vector<int> firstOf(data.n, -1), secondOf(data.n, -1), cycleOf(data.n, 0);
    for (int i = 0; i < data.n; ++i) {
        if (data.weight[i] == 0)
            continue;
        // The phase and the cycle from one product, so that an observation
        // near a whole number of cycles lies in the bin of its own cycle.
        const long double cycles = (static_cast<long double>(data.time[i]) - data.origin) * f;
        const long double whole = std::floor(cycles);
        CoverBinsOf(static_cast<double>(cycles - whole) * bins, bins, firstOf[i], secondOf[i]);
        cycleOf[i] = static_cast<int>(std::min(std::max(whole - first, 0.0L), static_cast<long double>(result.cycles - 1)));
    }
    std::vector<PhaseBin> split;
    std::vector<unsigned char> groupOf(static_cast<std::size_t>(result.cycles));
    for (int c = 0; c < result.cycles; ++c)
        groupOf[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c % 2);
    const double parity = SplitWithin(data, firstOf, secondOf, cycleOf, groupOf, bins, split);
    std::mt19937_64 random(seed);
    int asGood = 0;
    for (int s = 0; s < splits; ++s) {
        for (unsigned char &g : groupOf)
            g = static_cast<unsigned char>(random() & 1);
        if (SplitWithin(data, firstOf, secondOf, cycleOf, groupOf, bins, split) <= parity)
            ++asGood;
    }
    result.splits = splits;
    result.probability = (1.0 + asGood) / (1.0 + splits);
    return result;
}
