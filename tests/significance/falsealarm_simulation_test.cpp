// Do the false-alarm probabilities hold?  Pure Gaussian noise on the times
// of real observations, many runs: a peak reported at probability alpha
// must turn up in a share alpha of the runs, within the binomial 99 %
// interval.  Each test prints its table of shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "analysis.h"
#include "significance.h"
#include "simulation.h"
#include "weightedfit.h"

namespace {

using namespace simulation;

const double Alphas[] = {0.01, 0.05, 0.1, 0.5};

struct Sampling {
    const char *name;
    std::vector<double> t;
    double minimumPeriod, maximumPeriod;
};

// 300 of the dates of two real files: delta Cep 1995-96 (one season of
// nightly estimates) and SS Cyg 2007-09 (two seasons, visual and CCD).
std::vector<Sampling> RealSamplings(int count)
{
    return {{"delcep.dat", EveryFew(ObservationFileTimes("delcep.dat").t, count), 2, 10},
            {"sscyg-sample.csv", EveryFew(TableTimes("sscyg-sample.csv", ',').t, count), 5, 100}};
}

struct Shares {
    int runs;
    int below[4];  // runs with a probability below each alpha
    double Share(int a) const { return static_cast<double>(below[a]) / runs; }
};

void CountBelow(Shares &shares, double probability)
{
    for (int a = 0; a < 4; ++a)
        if (probability < Alphas[a])
            ++shares.below[a];
}

void PrintRow(const char *method, const Sampling &s, int n, const Shares &shares)
{
    std::printf("  %-10s %-17s N=%4d  %4.0f-%-4.0f d:", method, s.name, n, s.minimumPeriod, s.maximumPeriod);
    for (int a = 0; a < 4; ++a)
        std::printf("  <%.2f: %.3f", Alphas[a], shares.Share(a));
    std::printf("\n");
}

TEST(FalseAlarmSimulation, BaluevBoundHoldsOnRealSampling)
{
    // 1000 runs each.  As the batch run finds its strongest peak: the
    // highest power over a grid (here five points per peak width 1/span,
    // even in frequency, by the program's kernels), refined between the
    // grid neighbours.  The bound is about that continuous maximum.
    const int runs = 1000;
    for (const Sampling &s : RealSamplings(300)) {
        SCOPED_TRACE(s.name);
        const int n = static_cast<int>(s.t.size());
        const double fmin = 1 / s.maximumPeriod, fmax = 1 / s.minimumPeriod;
        const std::vector<double> periods = FrequencyGridPeriods(fmin, fmax, Span(s.t), 5);
        const long last = static_cast<long>(periods.size()) - 1;
        const double variance = TimesVariance(s.t.data(), nullptr, n);
        Generator generator(12345);
        Shares baluev = {runs, {}}, model = {runs, {}};
        std::vector<double> y(n), centred, powers;
        for (int r = 0; r < runs; ++r) {
            for (double &v : y)
                v = generator.Gauss(0.2);
            const double squares = CentreWeightedValues(y.data(), nullptr, n, centred);
            double highest = HighestGridPower(s.t.data(), centred.data(), n, squares, periods, powers);
            const long k = std::max_element(powers.begin(), powers.end()) - powers.begin();
            const double f = RefineWeightedPeak(s.t.data(), centred.data(), nullptr, n, squares,
                                                1 / periods[std::max(k - 1, 0L)], 1 / periods[std::min(k + 1, last)]);
            highest = std::max(highest, WeightedSpectrumPower(s.t.data(), centred.data(), nullptr, n, f, squares));
            CountBelow(baluev, BaluevFalseAlarmProbability(highest, n, fmin, fmax, variance));
            CountBelow(model, FalseAlarmProbability(highest, n, Span(s.t), s.minimumPeriod, s.maximumPeriod));
        }
        PrintRow("Baluev", s, n, baluev);
        PrintRow("old model", s, n, model);
        for (int a = 0; a < 4; ++a) {
            const ShareInterval interval = BinomialInterval99(Alphas[a], runs);
            SCOPED_TRACE(Alphas[a]);
            // The side that matters: noise must not reach a stated
            // probability more often than it says.
            EXPECT_LE(baluev.Share(a), interval.high);
            // Up to 0.1 the bound is tight: a run's highest peak crosses the
            // level once if at all, and the expected number of upcrossings
            // is the probability.  Towards 0.5 noise crosses a low level
            // several times in one run, each crossing counted, so the bound
            // exceeds the true probability and the share falls below alpha
            // (0.47 and 0.39 here): it is only held from being useless.
            // Over five seeds (5000 runs) the shares were 0.012, 0.051,
            // 0.094, 0.48 (delta Cep) and 0.011, 0.044, 0.089, 0.40 (SS Cyg):
            // at 0.05 SS Cyg's sampling leans to the safe side too.
            if (Alphas[a] <= 0.1)
                EXPECT_GE(baluev.Share(a), interval.low);
            else
                EXPECT_GE(baluev.Share(a), 0.6 * Alphas[a]);
        }
    }
}

TEST(FalseAlarmSimulation, BootstrapHoldsOnRealSampling)
{
    // 400 runs of 60 dates each, every run with its own bootstrap of 100
    // resamples over the same grid (three points per peak width: the
    // bootstrap compares like with like, so any grid will do), on two
    // threads.  With B = 100 the probabilities come in steps of 1/101, and
    // "below alpha" is exactly "at most alpha" for these four alphas.
    const int runs = 400, resamples = 100;
    for (const Sampling &s : RealSamplings(60)) {
        SCOPED_TRACE(s.name);
        const int n = static_cast<int>(s.t.size());
        const FixedGridSpectrum grid = PrepareFixedGrid(
            s.t, FrequencyGridPeriods(1 / s.maximumPeriod, 1 / s.minimumPeriod, Span(s.t), 3));
        const HighestPowerFunction highest = [&](const double *, const double *y, const double *, int,
                                                 double squares) { return HighestFixedGridPower(grid, y, squares); };
        Generator generator(77);
        Shares bootstrap = {runs, {}};
        std::vector<double> y(n), centred, maxima;
        for (int r = 0; r < runs; ++r) {
            for (double &v : y)
                v = generator.Gauss(0.2);
            const double squares = CentreWeightedValues(y.data(), nullptr, n, centred);
            ASSERT_TRUE(BootstrapHighestPowers(s.t.data(), y.data(), nullptr, n, resamples, 1000 + r, 2, highest, maxima));
            CountBelow(bootstrap, BootstrapFalseAlarmOf(maxima, HighestFixedGridPower(grid, centred.data(), squares)).probability);
        }
        PrintRow("bootstrap", s, n, bootstrap);
        for (int a = 0; a < 4; ++a) {
            const ShareInterval interval = BinomialInterval99(Alphas[a], runs);
            EXPECT_GE(bootstrap.Share(a), interval.low) << Alphas[a];
            EXPECT_LE(bootstrap.Share(a), interval.high) << Alphas[a];
        }
    }
}

} // namespace
