// Simulations through the engine, as the reports give them: false alarms
// of pure noise on the times of real files happen as often as stated, the
// reported period errors match the scatter of the periods found (peaks and
// prewhitening rows), and weights make a few precise estimates among many
// noisy ones count.  Seeded: the same draws every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine.h"

namespace {

std::vector<double> TimesOf(const std::string &name, std::size_t most)
{
    std::vector<double> times;
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    double t, m;
    while (in >> t >> m && times.size() < most)
        times.push_back(t);
    return times;
}

AnalysisSettings Settings(double pmin, double pmax, int peaks)
{
    AnalysisSettings s;
    s.minimumPeriod = pmin;
    s.maximumPeriod = pmax;
    s.peaks = peaks;
    s.threads = 1;
    return s;
}

// The binomial 99 % interval of the share of 'runs' draws with probability p.
bool InsideBinomialInterval(double share, double p, int runs)
{
    const double sd = std::sqrt(p * (1 - p) / runs);
    return share >= p - 2.576 * sd - 0.5 / runs && share <= p + 2.576 * sd + 0.5 / runs;
}

struct NoiseCase {
    const char *file;
    std::size_t dates;
    double pmin, pmax;
};

const double Alphas[] = {0.01, 0.05, 0.1, 0.5};

// The share of pure-noise runs whose strongest peak has a false alarm
// below each alpha.
std::vector<double> FalseAlarmShares(const NoiseCase &c, FalseAlarmMethod method, int resamples, int runs)
{
    const std::vector<double> times = TimesOf(c.file, c.dates);
    std::mt19937_64 random(17);
    std::normal_distribution<double> noise(0, 0.1);
    std::vector<double> shares(4, 0);
    for (int run = 0; run < runs; ++run) {
        LightCurve curve;
        curve.time = times;
        for (std::size_t i = 0; i < times.size(); ++i)
            curve.magnitude.push_back(10 + noise(random));
        AnalysisSettings s = Settings(c.pmin, c.pmax, 1);
        s.falseAlarm = method;
        s.bootstrapResamples = resamples;
        s.seed = static_cast<unsigned long>(run + 1);
        const AnalysisOutcome outcome = AnalyseLightCurve(curve, s);
        EXPECT_TRUE(outcome.ok) << outcome.error.english;
        if (!outcome.ok || outcome.report.peaks.empty())
            continue;
        for (int k = 0; k < 4; ++k)
            shares[k] += outcome.report.peaks[0].falseAlarmProbability < Alphas[k] ? 1.0 / runs : 0;
    }
    return shares;
}

// Baluev's bound, the report's default: at alpha up to 0.1 the share is
// the stated one (inside the binomial interval on both sides); at 0.5 the
// bound is conservative, so only its upper side is held to the interval.
TEST(StatisticsSimulation, BaluevFalseAlarmsHappenAsOftenAsStated)
{
    const NoiseCase cases[] = {{"tcas.jud", 335, 50, 1000}, {"sori.jud", 300, 30, 800}};
    const int runs = 600;
    for (const NoiseCase &c : cases) {
        const std::vector<double> shares = FalseAlarmShares(c, FalseAlarmBaluev, 0, runs);
        for (int k = 0; k < 4; ++k) {
            std::printf("%s alpha %.2f: share %.3f\n", c.file, Alphas[k], shares[k]);
            if (Alphas[k] < 0.5)
                EXPECT_TRUE(InsideBinomialInterval(shares[k], Alphas[k], runs)) << c.file << " " << Alphas[k];
            else
                EXPECT_TRUE(shares[k] <= Alphas[k] + 2.576 * std::sqrt(0.25 / runs)) << c.file;
        }
    }
}

TEST(StatisticsSimulation, BootstrapFalseAlarmsHappenAsOftenAsStated)
{
    const NoiseCase c = {"tcas.jud", 60, 50, 1000};
    const int runs = 250;
    const std::vector<double> shares = FalseAlarmShares(c, FalseAlarmBootstrap, 100, runs);
    for (int k = 0; k < 4; ++k) {
        std::printf("bootstrap alpha %.2f: share %.3f\n", Alphas[k], shares[k]);
        EXPECT_TRUE(InsideBinomialInterval(shares[k], Alphas[k], runs)) << Alphas[k];
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Spread(const std::vector<double> &v)
{
    double mean = 0, squares = 0;
    for (double x : v)
        mean += x / v.size();
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return std::sqrt(squares / (v.size() - 1));
}

// A sine of known period put into the times of real files of uneven
// spread: the periods found scatter as the peaks' and the prewhitening
// rows' errors say.
TEST(StatisticsSimulation, PeriodErrorsMatchTheScatterOnRealTimes)
{
    struct Case {
        const char *file;
        std::size_t dates;
        double period, pmin, pmax;
    } cases[] = {{"tcas.jud", 335, 437, 200, 800}, {"sori.jud", 1266, 23.7, 10, 60}};
    for (const Case &c : cases) {
        const std::vector<double> times = TimesOf(c.file, c.dates);
        std::mt19937_64 random(5);
        std::normal_distribution<double> noise(0, 0.3);
        std::vector<double> peaks, peakErrors, rows, rowErrors;
        for (int run = 0; run < 150; ++run) {
            LightCurve curve;
            curve.time = times;
            for (double t : times)
                curve.magnitude.push_back(10 + 0.5 * std::sin(2 * M_PI * t / c.period) + noise(random));
            AnalysisSettings s = Settings(c.pmin, c.pmax, 1);
            s.prewhiten = 1;
            s.falseAlarm = FalseAlarmModel;
            const AnalysisOutcome outcome = AnalyseLightCurve(curve, s);
            ASSERT_TRUE(outcome.ok);
            peaks.push_back(outcome.report.peaks[0].period);
            peakErrors.push_back(outcome.report.peaks[0].periodError);
            rows.push_back(outcome.report.prewhitening[0].period);
            rowErrors.push_back(outcome.report.prewhitening[0].periodError);
        }
        const double peakRatio = Spread(peaks) / Median(peakErrors), rowRatio = Spread(rows) / Median(rowErrors);
        std::printf("%s: scatter over error %.2f (peaks), %.2f (prewhitening)\n", c.file, peakRatio, rowRatio);
        EXPECT_GT(peakRatio, 0.7) << c.file;
        EXPECT_LT(peakRatio, 1.4) << c.file;
        EXPECT_GT(rowRatio, 0.7) << c.file;
        EXPECT_LT(rowRatio, 1.4) << c.file;
    }
}

// A few precise CCD estimates (0.01 mag) among many noisy visual ones (0.4
// mag), their errors given: the weighted run finds the period with errors
// that match its scatter; the unweighted one scatters far more.
TEST(StatisticsSimulation, WeightsLetPreciseEstimatesCount)
{
    std::mt19937_64 random(23);
    std::uniform_real_distribution<double> when(0, 400);
    std::normal_distribution<double> unit(0, 1);
    const double period = 6.37;
    std::vector<double> weighted, weightedErrors, plain;
    int weightedFound = 0, plainFound = 0;
    const int runs = 120;
    for (int run = 0; run < runs; ++run) {
        LightCurve curve;
        for (int i = 0; i < 230; ++i) {
            const double t = 52000 + when(random), sigma = i < 30 ? 0.01 : 0.4;
            curve.time.push_back(t);
            curve.magnitude.push_back(8 + 0.15 * std::sin(2 * M_PI * t / period) + sigma * unit(random));
            curve.uncertainty.push_back(sigma);
        }
        for (WeightChoice weights : {WeightsFromErrors, WeightsNone}) {
            AnalysisSettings s = Settings(2, 20, 1);
            s.weights = weights;
            const AnalysisOutcome outcome = AnalyseLightCurve(curve, s);
            ASSERT_TRUE(outcome.ok) << outcome.error.english;
            EXPECT_EQ(outcome.report.weighted, weights == WeightsFromErrors);
            const PeakReport &p = outcome.report.peaks[0];
            const bool found = std::fabs(p.period - period) < 0.05;
            if (weights == WeightsFromErrors) {
                weightedFound += found;
                weighted.push_back(p.period);
                weightedErrors.push_back(p.periodError);
            } else {
                plainFound += found;
                plain.push_back(p.period);
            }
        }
    }
    const double ratio = Spread(weighted) / Median(weightedErrors);
    std::printf("weighted: found %d of %d, scatter over error %.2f; unweighted: found %d, scatter %.3g d\n",
                weightedFound, runs, ratio, plainFound, Spread(plain));
    EXPECT_EQ(weightedFound, runs);
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.4);
    EXPECT_LT(plainFound, runs * 9 / 10);
}

} // namespace
