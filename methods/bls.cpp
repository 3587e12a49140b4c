// The box search of Kovacs, Zucker and Mazeh (2002): at a trial frequency
// the observations are counted into equal phase bins, and every run of
// consecutive bins of each duration is tried as a box in which the star is
// fainter.  Runs are summed from cumulative sums over the bins taken
// twice, so that a box across phase 1 costs the same as any other.
#include <algorithm>
#include <cmath>
#include <vector>

#include "methodsinternal.h"

namespace {

// The bins per smallest duration when the options leave the bins open,
// and the range the count is kept in.
const int BinsPerDuration = 5;
const int LeastAutomaticBins = 50;
const int MostAutomaticBins = 5000;

// A box leaves at least this share of the weight outside it.
const double LeastOutsideShare = 1e-12;

// Cumulative sums over the bins repeated twice: entry j holds the sums of
// bins 0..j-1 (modulo the bin count).
struct CumulativeBins {
    std::vector<long> count;
    std::vector<long double> weight, weightedSum;
};

CumulativeBins BinPhases(const MethodData &data, double f, int bins)
{
    std::vector<long> count(bins, 0);
    std::vector<double> weight(bins, 0), weightedSum(bins, 0);
    for (int i = 0; i < data.n; ++i) {
        const double w = data.weight[i];
        if (w == 0)
            continue;
        const int b = std::min(static_cast<int>(ObservationPhase(data.time[i], data.origin, f) * bins), bins - 1);
        ++count[b];
        weight[b] += w;
        weightedSum[b] += w * data.value[i];
    }
    CumulativeBins cumulative;
    cumulative.count.assign(2 * bins + 1, 0);
    cumulative.weight.assign(2 * bins + 1, 0);
    cumulative.weightedSum.assign(2 * bins + 1, 0);
    for (int j = 0; j < 2 * bins; ++j) {
        cumulative.count[j + 1] = cumulative.count[j] + count[j % bins];
        cumulative.weight[j + 1] = cumulative.weight[j] + weight[j % bins];
        cumulative.weightedSum[j + 1] = cumulative.weightedSum[j] + weightedSum[j % bins];
    }
    return cumulative;
}

// The bins a box of duration share q covers.
int BoxWidthInBins(double q, int bins) { return std::max(1, static_cast<int>(std::lround(q * bins))); }

// The best box as bins: its start, width and sums.
struct BestBox {
    double explained = 0;
    int start = 0, width = 0;
    long count = 0;
    double share = 0, sum = 0; // r and s of the normalised weights
};

BestBox FindBestBox(const CumulativeBins &cumulative, int bins, const BoxOptions &options, long double weightTotal)
{
    BestBox best;
    for (double q : options.durations) {
        const int width = BoxWidthInBins(q, bins);
        if (width >= bins)
            continue;
        for (int start = 0; start < bins; ++start) {
            const int end = start + width;
            const long count = cumulative.count[end] - cumulative.count[start];
            if (count < options.minimumInBox)
                continue;
            // The differences of the extended sums are exact enough as
            // doubles, and the ratio is cheaper there.
            const double r = static_cast<double>((cumulative.weight[end] - cumulative.weight[start]) / weightTotal);
            const double s = static_cast<double>((cumulative.weightedSum[end] - cumulative.weightedSum[start]) / weightTotal);
            if (!(s > 0) || !(r > 0) || !(1 - r > LeastOutsideShare))
                continue;
            const double explained = static_cast<double>(weightTotal) * s * s / (r * (1 - r));
            if (explained > best.explained) {
                best.explained = explained;
                best.start = start;
                best.width = width;
                best.count = count;
                best.share = r;
                best.sum = s;
            }
        }
    }
    return best;
}

} // namespace

MethodError CheckBoxOptions(const BoxOptions &options)
{
    if (options.durations.empty())
        return MethodBadDurations;
    for (double q : options.durations)
        if (!(q > 0 && q < 0.5))
            return MethodBadDurations;
    if (options.bins != 0 && (options.bins < 2 || options.bins > MaxBoxBins))
        return MethodBadDurations;
    return MethodOk;
}

int BoxBins(const BoxOptions &options)
{
    if (options.bins > 0)
        return std::min(std::max(options.bins, 2), MaxBoxBins);
    double shortest = 0.5;
    for (double q : options.durations)
        if (q > 0)
            shortest = std::min(shortest, q);
    const double wanted = std::ceil(BinsPerDuration / shortest);
    return static_cast<int>(std::min(std::max(wanted, static_cast<double>(LeastAutomaticBins)),
                                     static_cast<double>(MostAutomaticBins)));
}

BoxFit BoxSearch(const MethodData &data, double f, const BoxOptions &options)
{
    BoxFit fit;
    fit.frequency = f;
    const int bins = BoxBins(options);
    const long double weightTotal = data.weightTotal;
    const BestBox best = FindBestBox(BinPhases(data, f, bins), bins, options, weightTotal);
    if (!(best.explained > 0) || !(data.sumOfSquares > 0))
        return fit;
    const long double r = best.share, s = best.sum;
    fit.power = static_cast<double>(best.explained / data.sumOfSquares);
    fit.signalResidue = static_cast<double>(std::sqrt(s * s / (r * (1 - r))));
    fit.deltaChiSquare = static_cast<double>(best.explained);
    fit.depth = static_cast<double>(s / (r * (1 - r)));
    fit.durationShare = static_cast<double>(static_cast<long double>(best.width) / bins);
    fit.duration = static_cast<double>(static_cast<long double>(best.width) / bins / f);
    fit.ingressPhase = static_cast<double>(static_cast<long double>(best.start) / bins);
    fit.inBox = static_cast<int>(best.count);
    // The middle of the box in phase, then the cycle whose middle lies
    // nearest the middle of the data.
    const long double middlePhase = (best.start + best.width / 2.0L) / bins;
    const long double middleOfData = (static_cast<long double>(data.earliest) + data.latest) / 2;
    const long double cycle = std::round((middleOfData - data.origin) * f - middlePhase);
    fit.midTime = static_cast<double>(data.origin + (middlePhase + cycle) / f);
    return fit;
}

double BoxPower(const MethodData &data, double f, const BoxOptions &options)
{
    return BoxSearch(data, f, options).power;
}
