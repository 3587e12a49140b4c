// The grid of trial periods, its peaks, and their refinement between grid
// points.
#include <algorithm>

#include "analysis.h"

namespace {

// 2 - golden ratio: the share of the bracket that golden-section search
// cuts off in each step.
const double GoldenCut = 0.38196601125010515;

// Stop refining when the bracket is this narrow relative to the frequency
// (a tenth of the 1e-9 asked of the period).
const double RefinementTolerance = 1e-10;
const int MostRefinementSteps = 200;


// Files a peak among the strongest ones; equal powers keep grid order.
void KeepPeak(PeakCollector &collector, long index, double power)
{
    if (!(power > 0))
        return;
    std::vector<GridPeak> &best = collector.best;
    if (static_cast<int>(best.size()) == collector.wanted && !(power > best.back().power))
        return;
    const auto place = std::upper_bound(best.begin(), best.end(), power,
                                        [](double p, const GridPeak &peak) { return p > peak.power; });
    best.insert(place, GridPeak{index, power});
    if (static_cast<int>(best.size()) > collector.wanted)
        best.pop_back();
}

} // namespace

PeriodGrid MakePeriodGrid(double minimum, double maximum, long intervals)
{
    const double step = static_cast<double>((static_cast<long double>(maximum) - minimum) / intervals);
    return PeriodGrid{minimum, maximum, intervals, step};
}

PeriodGrid MakeEvenFrequencyGrid(double first, double step, long intervals)
{
    PeriodGrid grid{0, 0, intervals, 0};
    grid.evenInFrequency = true;
    grid.firstFrequency = first;
    grid.frequencyStep = step;
    grid.minimum = GridPeriod(grid, 0);
    grid.maximum = GridPeriod(grid, intervals);
    return grid;
}

double GridFrequency(const PeriodGrid &grid, long k)
{
    if (grid.evenInFrequency)
        return static_cast<double>(grid.firstFrequency +
                                   static_cast<long double>(grid.intervals - k) * grid.frequencyStep);
    return static_cast<double>(1 / static_cast<long double>(GridPeriod(grid, k)));
}

double GridPeriod(const PeriodGrid &grid, long k)
{
    if (grid.evenInFrequency)
        return static_cast<double>(1 / static_cast<long double>(GridFrequency(grid, k)));
    return static_cast<double>(grid.minimum + static_cast<long double>(k) * grid.step);
}

void StartPeakCollector(PeakCollector &collector, int wanted)
{
    collector.wanted = std::max(wanted, 1);
    collector.count = 0;
    collector.before = collector.current = 0;
    collector.best.clear();
}

void FeedPower(PeakCollector &collector, double power)
{
    if (collector.count >= 1 && (collector.count == 1 || collector.current > collector.before) &&
        collector.current >= power)
        KeepPeak(collector, collector.count - 1, collector.current);
    collector.before = collector.current;
    collector.current = power;
    ++collector.count;
}

const std::vector<GridPeak> &FinishPeakCollector(PeakCollector &collector)
{
    if (collector.count >= 1 && (collector.count == 1 || collector.current > collector.before))
        KeepPeak(collector, collector.count - 1, collector.current);
    collector.count = 0;
    return collector.best;
}

double RefinePeakFrequency(const std::function<double(double frequency)> &power, const PeriodGrid &grid, long k)
{
    // Longer periods are lower frequencies.
    return GoldenSectionMaximum(power, GridFrequency(grid, k), GridFrequency(grid, std::min(k + 1, grid.intervals)),
                                GridFrequency(grid, std::max(k - 1, 0L)));
}

double GoldenSectionMaximum(const std::function<double(double frequency)> &power, double start, double low,
                            double high)
{
    double bestFrequency = start;
    double bestPower = power(start);
    double x1 = low + GoldenCut * (high - low), x2 = high - GoldenCut * (high - low);
    double p1 = power(x1), p2 = power(x2);
    for (int step = 0; step < MostRefinementSteps && high - low > RefinementTolerance * high; ++step) {
        if (p1 >= p2) {
            high = x2;
            x2 = x1;
            p2 = p1;
            x1 = low + GoldenCut * (high - low);
            p1 = power(x1);
        } else {
            low = x1;
            x1 = x2;
            p1 = p2;
            x2 = high - GoldenCut * (high - low);
            p2 = power(x2);
        }
    }
    if (p1 > bestPower) {
        bestPower = p1;
        bestFrequency = x1;
    }
    if (p2 > bestPower)
        bestFrequency = x2;
    return bestFrequency;
}

double RefinePeakFrequency(PowerFunction power, const double *t, const double *y, int n, double sumOfSquares,
                           const PeriodGrid &grid, long k)
{
    return RefinePeakFrequency([=](double f) { return power(t, y, n, f, sumOfSquares); }, grid, k);
}

double CentreValues(const double *y, int n, std::vector<double> &centred)
{
    long double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += y[i];
    const long double mean = sum / n;
    centred.assign(y, y + n);
    long double sumOfSquares = 0;
    for (double &v : centred) {
        v = static_cast<double>(v - mean);
        sumOfSquares += static_cast<long double>(v) * v;
    }
    return static_cast<double>(sumOfSquares);
}

std::vector<GridPeak> StrongestGridPeaks(PowerFunction power, const double *t, const double *y, int n,
                                         double sumOfSquares, const PeriodGrid &grid, int wanted)
{
    PeakCollector collector;
    StartPeakCollector(collector, wanted);
    for (long k = 0; k <= grid.intervals; ++k)
        FeedPower(collector, power(t, y, n, GridFrequency(grid, k), sumOfSquares));
    return FinishPeakCollector(collector);
}
