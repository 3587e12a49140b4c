// The analysis functions on made-up data whose answers are known exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis.h"
#include "kalidor.h"

namespace {

const double Pi = 3.14159265358979323846;

// The spectrum's power function, copied onto centred data of its own.
double Power(const double *t, const double *y, int n, double f, double s) { return SpectrumPower(t, y, n, f, s); }

// Uneven times, about one a night with irregular gaps and hours.
std::vector<double> UnevenTimes(int n)
{
    std::vector<double> t;
    for (int i = 0; t.size() < static_cast<std::size_t>(n); ++i)
        if (i % 7 != 3)
            t.push_back(48000 + i * 1.37 + 0.9 * (i * 0.6180339887 - std::floor(i * 0.6180339887)));
    return t;
}

TEST(FalseAlarm, IsFivePercentExactlyAtTheSignificanceLevel)
{
    struct Case {
        int n;
        double span, pmin, pmax;
    };
    const Case cases[] = {{100, 1000, 1, 10}, {20, 365.25, 2, 50}, {1000, 302.5, 1, 10}, {7, 40, 0.5, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        const double level = SignificanceThreshold(c.n, 0, c.span, c.pmin, c.pmax);
        EXPECT_NEAR(FalseAlarmProbability(level, c.n, c.span, c.pmin, c.pmax), 0.05, 1e-9);
        // Stronger peaks are less likely from noise, down to tiny values.
        EXPECT_LT(FalseAlarmProbability(level + (1 - level) / 2, c.n, c.span, c.pmin, c.pmax), 0.05);
        EXPECT_GT(FalseAlarmProbability(level / 2, c.n, c.span, c.pmin, c.pmax), 0.05);
    }
    EXPECT_GT(FalseAlarmProbability(0.3, 1000, 300, 1, 10), 0);
    EXPECT_LT(FalseAlarmProbability(0.3, 1000, 300, 1, 10), 1e-60);
    EXPECT_EQ(FalseAlarmProbability(0, 1000, 300, 1, 10), 1);
}

TEST(SineFit, RecoversAmplitudeConstantAndEpochOfMaximum)
{
    const std::vector<double> t = UnevenTimes(80);
    struct Case {
        double period, amplitude, epoch;
    };
    const Case cases[] = {{3.7, 0.4, 48010.2}, {0.83, 1.1, 48077.9}, {61, 0.05, 47990}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.period);
        std::vector<double> y;
        for (double ti : t)
            y.push_back(6.5 - c.amplitude * std::cos(2 * Pi * (ti - c.epoch) / c.period));
        SineFit fit;
        ASSERT_TRUE(FitSine(t.data(), y.data(), 80, 1 / c.period, t[0], fit));
        EXPECT_NEAR(fit.amplitude, c.amplitude, 1e-9);
        EXPECT_NEAR(fit.constant, 6.5, 1e-9);
        EXPECT_NEAR(fit.residualRms, 0, 1e-9);
        const double middle = (t.front() + t.back()) / 2;
        const double epoch = EpochOfMaximum(fit, middle);
        EXPECT_LE(std::fabs(epoch - middle), c.period / 2 + 1e-9);
        const double cycles = (epoch - c.epoch) / c.period;
        EXPECT_NEAR(cycles, std::round(cycles), 1e-8);
    }
    // Whole-day times at a period of one day: all phases coincide.
    const double days[] = {1, 2, 3, 4, 5, 6};
    const double m[] = {5, 6, 5, 6, 5, 7};
    SineFit fit;
    EXPECT_FALSE(FitSine(days, m, 6, 1.0, 1, fit));
}

TEST(Peaks, StrongestLocalMaximaInGridOrder)
{
    struct Case {
        std::vector<double> powers;
        int wanted;
        std::vector<long> indices;
    };
    const Case cases[] = {
        {{0.1, 0.5, 0.2, 0.7, 0.3}, 5, {3, 1}},
        {{0.9, 0.5, 0.2, 0.7, 0.8}, 5, {0, 4}},      // the ends count
        {{0.1, 0.5, 0.5, 0.2}, 5, {1}},              // a plateau is one peak, at its start
        {{0.1, 0.5, 0.2, 0.7, 0.3, 0.6, 0.1}, 2, {3, 5}},
        {{0.3, 0.6, 0.1, 0.6, 0.2}, 5, {1, 3}},      // equal powers keep grid order
        {{0, 0, 0}, 3, {}},
    };
    for (const Case &c : cases) {
        PeakCollector collector;
        StartPeakCollector(collector, c.wanted);
        for (double p : c.powers)
            FeedPower(collector, p);
        std::vector<long> found;
        for (const GridPeak &g : FinishPeakCollector(collector))
            found.push_back(g.index);
        EXPECT_EQ(found, c.indices);
    }
}

TEST(Peaks, RefinedBetweenGridPointsToTheTruePeriod)
{
    const std::vector<double> t = UnevenTimes(120);
    const double periods[] = {3.71234567, 2.345678, 7.0001};
    for (double period : periods) {
        SCOPED_TRACE(period);
        std::vector<double> y;
        for (double ti : t)
            y.push_back(0.3 * std::sin(2 * Pi * ti / period + 0.4));
        std::vector<double> centred;
        const double s = CentreValues(y.data(), 120, centred);
        const PeriodGrid grid = MakePeriodGrid(2, 10, 400);
        const std::vector<GridPeak> peaks = StrongestGridPeaks(Power, t.data(), centred.data(), 120, s, grid, 1);
        ASSERT_EQ(peaks.size(), 1u);
        EXPECT_NEAR(GridPeriod(grid, peaks[0].index), period, grid.step);
        const double f = RefinePeakFrequency(Power, t.data(), centred.data(), 120, s, grid, peaks[0].index);
        // The maximum of the power itself, and there the true period.
        const double h = 1e-7 * f;
        const double p0 = Power(t.data(), centred.data(), 120, f, s);
        EXPECT_GE(p0, Power(t.data(), centred.data(), 120, f + h, s));
        EXPECT_GE(p0, Power(t.data(), centred.data(), 120, f - h, s));
        EXPECT_NEAR(1 / f, period, 1e-8 * period);
    }
}

TEST(Window, IsOneWhereAllTimesAreInPhase)
{
    const double days[] = {10, 11, 13, 17, 30};
    EXPECT_NEAR(SpectralWindow(days, 5, 1.0), 1, 1e-12);
    EXPECT_NEAR(SpectralWindow(days, 5, 0.5), 0.04, 1e-12); // (1 - 1 - 1 - 1 + 1)^2 / 25
    EXPECT_LT(SpectralWindow(days, 5, 0.137), 1);
}

} // namespace
