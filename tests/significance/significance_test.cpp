// The significance functions on cases whose answers are known: the parts
// of Baluev's bound, the bootstrap's counting and its independence of the
// threads, the noise window of the signal-to-noise ratio, and the runs and
// lag-1 checks of residuals.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "significance.h"
#include "simulation.h"
#include "weightedfit.h"

namespace {

using namespace simulation;

const double Pi = 3.14159265358979323846;

TEST(Baluev, PartsOfTheBound)
{
    // P_single = (1 - z)^((N - 3) / 2).
    EXPECT_DOUBLE_EQ(SingleFrequencyFalseAlarm(0.5, 23), std::pow(0.5, 10));
    EXPECT_DOUBLE_EQ(SingleFrequencyFalseAlarm(0.1, 5), 0.9);
    EXPECT_EQ(SingleFrequencyFalseAlarm(0, 100), 1);
    EXPECT_EQ(SingleFrequencyFalseAlarm(1, 100), 0);
    // tau at N = 5: gamma(4) = sqrt(1/2) Gamma(2) / Gamma(3/2), exponent 1/2,
    // sqrt(N_H z / 2) = sqrt(2 z); W = 0.5 sqrt(4 pi 100).
    const double gamma4 = std::sqrt(0.5) / (std::sqrt(Pi) / 2);
    const double w = 0.5 * std::sqrt(4 * Pi * 100);
    EXPECT_NEAR(BaluevUpcrossings(0.3, 5, 0.5, 100), gamma4 * w * std::sqrt(0.7) * std::sqrt(0.6), 1e-12);
    // Many observations: the bound of known noise, W sqrt(z') exp(-z') with
    // z' = N z / 2 (Baluev's chi-square case).
    const int n = 200000;
    const double z = 2 * 9.0 / n;
    EXPECT_NEAR(BaluevUpcrossings(z, n, 0.4, 2500) / (0.4 * std::sqrt(4 * Pi * 2500) * 3 * std::exp(-9.0)), 1, 1e-3);
}

TEST(Baluev, BoundGrowsWithTheBandAndFallsWithThePower)
{
    const double variance = 300.0 * 300 / 12;
    struct Case {
        double power, fmin, fmax;
        int n;
    };
    const Case cases[] = {{0.05, 0.1, 0.5, 300}, {0.2, 0.01, 0.2, 60}, {0.01, 0.1, 0.5, 3000}, {0.6, 0.1, 1, 12}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        const double fap = BaluevFalseAlarmProbability(c.power, c.n, c.fmin, c.fmax, variance);
        EXPECT_GE(fap, SingleFrequencyFalseAlarm(c.power, c.n));
        EXPECT_LT(BaluevFalseAlarmProbability(c.power * 1.2, c.n, c.fmin, c.fmax, variance), fap);
        EXPECT_GT(BaluevFalseAlarmProbability(c.power, c.n, c.fmin, 2 * c.fmax, variance), fap);
        // 1 - (1 - P) exp(-tau) exactly.
        const double tau = BaluevUpcrossings(c.power, c.n, c.fmax - c.fmin, variance);
        EXPECT_NEAR(fap, 1 - (1 - SingleFrequencyFalseAlarm(c.power, c.n)) * std::exp(-tau), 1e-14);
    }
    // Strong peaks keep their tiny probabilities instead of rounding to 0.
    const double tiny = BaluevFalseAlarmProbability(0.5, 1000, 0.1, 0.5, variance);
    EXPECT_GT(tiny, 0);
    EXPECT_LT(tiny, 1e-100);
    EXPECT_EQ(BaluevFalseAlarmProbability(0, 100, 0.1, 0.5, variance), 1);
    EXPECT_EQ(BaluevFalseAlarmProbability(0.5, 4, 0.1, 0.5, variance), 1);
    EXPECT_EQ(BaluevFalseAlarmProbability(1, 100, 0.1, 0.5, variance), 0);
}

TEST(Bootstrap, CountsTheResamplesThatReachThePower)
{
    const std::vector<double> maxima = {0.1, 0.3, 0.2, 0.3, 0.05, 0.4, 0.25, 0.15, 0.35, 0.12};
    struct Case {
        double power;
        long exceeding;
    };
    const Case cases[] = {{0.5, 0}, {0.4, 1}, {0.3, 4}, {0.01, 10}};
    for (const Case &c : cases) {
        const BootstrapFalseAlarm f = BootstrapFalseAlarmOf(maxima, c.power);
        EXPECT_EQ(f.exceeding, c.exceeding);
        EXPECT_EQ(f.resamples, 10);
        EXPECT_DOUBLE_EQ(f.probability, (1.0 + c.exceeding) / 11);
        EXPECT_DOUBLE_EQ(f.uncertainty, std::sqrt(f.probability * (1 - f.probability) / 10));
    }
}

// A light curve with a weight per estimate.
struct SmallCase {
    std::vector<double> t, y, w;
};
SmallCase MakeSmallCase()
{
    SmallCase c;
    Generator g(3);
    for (int i = 0; i < 80; ++i) {
        c.t.push_back(50000 + 200 * g.Uniform());
        c.y.push_back(5 + 0.1 * std::sin(c.t.back()) + g.Gauss(0.1));
        c.w.push_back(i % 4 == 0 ? 400 : 25);
    }
    return c;
}

TEST(Bootstrap, SameMaximaWhateverTheThreads)
{
    const SmallCase c = MakeSmallCase();
    const int n = static_cast<int>(c.t.size());
    const HighestPowerFunction highest = [](const double *t, const double *y, const double *w, int count,
                                            double squares) {
        // The weighted power at a few frequencies, straight from the sums.
        double best = 0;
        for (double f = 0.1; f < 0.5; f += 0.01)
            best = std::max(best, WeightedSpectrumPower(t, y, w, count, f, squares));
        return best;
    };
    for (const double *w : {static_cast<const double *>(nullptr), c.w.data()}) {
        std::vector<double> one, two, three, other;
        ASSERT_TRUE(BootstrapHighestPowers(c.t.data(), c.y.data(), w, n, 37, 99, 1, highest, one));
        ASSERT_TRUE(BootstrapHighestPowers(c.t.data(), c.y.data(), w, n, 37, 99, 2, highest, two));
        ASSERT_TRUE(BootstrapHighestPowers(c.t.data(), c.y.data(), w, n, 37, 99, 5, highest, three));
        ASSERT_TRUE(BootstrapHighestPowers(c.t.data(), c.y.data(), w, n, 37, 100, 2, highest, other));
        ASSERT_EQ(one.size(), 37u);
        EXPECT_EQ(one, two);
        EXPECT_EQ(one, three);
        EXPECT_NE(one, other);
        for (double m : one) {
            EXPECT_GT(m, 0);
            EXPECT_LT(m, 1);
        }
    }
    std::vector<double> maxima = {1};
    EXPECT_FALSE(BootstrapHighestPowers(c.t.data(), c.y.data(), nullptr, 4, 10, 1, 1, highest, maxima));
    EXPECT_TRUE(maxima.empty());
    EXPECT_FALSE(BootstrapHighestPowers(c.t.data(), c.y.data(), nullptr, n, 0, 1, 1, highest, maxima));
}

TEST(MonteCarlo, SameSpreadWhateverTheThreadsAndRefusesWhatItCannotDo)
{
    const SmallCase c = MakeSmallCase();
    const int n = static_cast<int>(c.t.size());
    std::vector<double> model(n), residual(n);
    for (int i = 0; i < n; ++i) {
        model[i] = 5 + 0.1 * std::sin(c.t[i]);
        residual[i] = c.y[i] - model[i];
    }
    const RefitFunction refit = [](const double *t, const double *y, const double *w, int count, double &f) {
        std::vector<double> centred;
        const double squares = CentreWeightedValues(y, w, count, centred);
        f = RefineWeightedPeak(t, centred.data(), w, count, squares, 1 / (2 * Pi) - 0.002, 1 / (2 * Pi) + 0.002);
        return true;
    };
    for (MonteCarloNoise noise : {RedrawnResiduals, GaussianErrors}) {
        MonteCarloPeriods one, three;
        MonteCarloSettings settings = {noise, 25, 5, 1, 3};
        ASSERT_TRUE(MonteCarloPeriodSpread(c.t.data(), model.data(), residual.data(), c.w.data(), n, settings, refit, one));
        settings.threads = 3;
        ASSERT_TRUE(MonteCarloPeriodSpread(c.t.data(), model.data(), residual.data(), c.w.data(), n, settings, refit, three));
        EXPECT_EQ(one.periods, three.periods);
        EXPECT_EQ(one.periods.size(), 25u);
        EXPECT_EQ(one.failed, 0);
        EXPECT_NEAR(one.meanPeriod, 2 * Pi, 0.05);
        EXPECT_GT(one.periodSpread, 0);
        EXPECT_GT(one.centralHalfWidth, 0);
    }
    MonteCarloPeriods result;
    const MonteCarloSettings gaussian = {GaussianErrors, 25, 5, 1, 3};
    EXPECT_FALSE(MonteCarloPeriodSpread(c.t.data(), model.data(), residual.data(), nullptr, n, gaussian, refit, result));
    const MonteCarloSettings redrawn = {RedrawnResiduals, 25, 5, 1, 3};
    EXPECT_FALSE(MonteCarloPeriodSpread(c.t.data(), model.data(), nullptr, nullptr, n, redrawn, refit, result));
    const RefitFunction failing = [](const double *, const double *, const double *, int, double &) { return false; };
    EXPECT_FALSE(MonteCarloPeriodSpread(c.t.data(), model.data(), residual.data(), nullptr, n, redrawn, failing, result));
    EXPECT_EQ(result.failed, 25);
}

TEST(SignalToNoise, WindowAroundThePeak)
{
    // Default: 1 c/d, or ten peak widths when the data span less than ten days.
    EXPECT_DOUBLE_EQ(DefaultNoiseWindow(300), 10.0 / 300);
    EXPECT_DOUBLE_EQ(DefaultNoiseWindow(10), 1);
    EXPECT_DOUBLE_EQ(DefaultNoiseWindow(4), 1);
    // Arrays: only the frequencies inside the window count, both ends in.
    const double f[] = {0.5, 1.0, 1.05, 1.5, 1.75, 0.95, 0.25};
    const double a[] = {2, 4, 6, 8, 100, 10, 100};
    double mean = 0;
    ASSERT_TRUE(MeanAmplitudeInWindow(f, a, 7, 1.0, 1.0, mean));
    EXPECT_DOUBLE_EQ(mean, 6);
    ASSERT_TRUE(MeanAmplitudeInWindow(f, a, 7, 1.0, 0.2, mean));
    EXPECT_DOUBLE_EQ(mean, 20.0 / 3);
    EXPECT_FALSE(MeanAmplitudeInWindow(f, a, 7, 5.0, 0.2, mean));
    // A function: the middles of equal parts; below frequency 0 left out.
    const AmplitudeFunction linear = [](double x) { return 3 * x; };
    ASSERT_TRUE(MeanAmplitudeInWindowOf(linear, 2, 1, 10, mean));
    EXPECT_NEAR(mean, 6, 1e-12);
    ASSERT_TRUE(MeanAmplitudeInWindowOf(linear, 0.1, 1, 100, mean));
    EXPECT_NEAR(mean, 3 * 0.3, 1e-12);  // the window 0..0.6
    EXPECT_FALSE(MeanAmplitudeInWindowOf(linear, -1, 1, 10, mean));
    EXPECT_DOUBLE_EQ(SignalToNoise(0.2, 0.05), 4);
    EXPECT_TRUE(std::isnan(SignalToNoise(0.2, 0)));
}

TEST(SignalToNoise, NoiseIsTheMeanAmplitudeOfWhiteNoise)
{
    // The amplitude spectrum of white noise is Rayleigh-distributed: its
    // mean is sqrt(pi / n) times the rms error unweighted, sqrt(pi / sum w)
    // weighted by w = 1/sigma^2.  Half the estimates have errors of 0.05 mag,
    // half of 0.2 mag; the noise in the default window is averaged over 20
    // realisations, so that the comparison holds to a few per cent.
    Generator g(8);
    const int n = 400, realisations = 20;
    const double amplitude = 0.05, period = 3.3;
    std::vector<double> t, sigma, w;
    for (int i = 0; i < n; ++i) {
        t.push_back(50000 + 150.0 * i / (n - 1) + 0.3 * g.Uniform());
        sigma.push_back(i % 2 == 0 ? 0.05 : 0.2);
        w.push_back(1 / (sigma.back() * sigma.back()));
    }
    double variances = 0, weight = 0;
    for (int i = 0; i < n; ++i) {
        variances += sigma[i] * sigma[i];
        weight += w[i];
    }
    const double expected[2] = {std::sqrt(Pi / n * variances / n), std::sqrt(Pi / weight)};
    double noise[2] = {0, 0}, signalToNoise[2] = {0, 0};
    for (int r = 0; r < realisations; ++r) {
        std::vector<double> y(n), centred, residual(n);
        for (int i = 0; i < n; ++i) {
            residual[i] = g.Gauss(sigma[i]);
            y[i] = amplitude * std::cos(2 * Pi * t[i] / period) + residual[i];
        }
        for (int k = 0; k < 2; ++k) {
            const double *weights = k == 0 ? nullptr : w.data();
            CentreWeightedValues(y.data(), weights, n, centred);
            const AmplitudeFunction residualAmplitude = [&](double f) {
                return AmplitudeOfSums(WeightedSumsAt(t.data(), residual.data(), weights, n, f));
            };
            double mean = 0;
            ASSERT_TRUE(MeanAmplitudeInWindowOf(residualAmplitude, 1 / period, DefaultNoiseWindow(150), 50, mean));
            noise[k] += mean / realisations;
            const double peak = AmplitudeOfSums(WeightedSumsAt(t.data(), centred.data(), weights, n, 1 / period));
            signalToNoise[k] += SignalToNoise(peak, mean) / realisations;
        }
    }
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "unweighted" : "weighted");
        EXPECT_NEAR(noise[k] / expected[k], 1, 0.06);
        EXPECT_NEAR(signalToNoise[k] / (amplitude / expected[k]), 1, 0.15);
    }
    // The weights show the sine twice as clearly.
    EXPECT_GT(signalToNoise[1], 1.8 * signalToNoise[0]);
}

TEST(Residuals, RunsTestOfSignsInTimeOrder)
{
    struct Case {
        std::vector<double> r;
        long runs, above, below;
        double z;
    };
    // n1 = n2 = 3: E R = 4, Var R = 2*9*(18-6)/(36*5) = 1.2.
    const Case cases[] = {
        {{1, 2, -1, -2, 3, -3}, 4, 3, 3, 0},
        {{1, -1, 1, -1, 1, -1}, 6, 3, 3, 2 / std::sqrt(1.2)},
        {{1, 1, 1, -1, -1, -1}, 2, 3, 3, -2 / std::sqrt(1.2)},
        {{1, 0, 1, -1, 0, -1, 1, -1}, 4, 3, 3, 0},  // zeros left out
    };
    for (const Case &c : cases) {
        const int n = static_cast<int>(c.r.size());
        // Times given backwards with the residuals reversed: the test follows the times.
        std::vector<double> t, r;
        for (int i = n - 1; i >= 0; --i) {
            t.push_back(100.0 + i);
            r.push_back(c.r[i]);
        }
        const RunsOfSigns runs = RunsTestOfSigns(t.data(), r.data(), n);
        EXPECT_EQ(runs.runs, c.runs);
        EXPECT_EQ(runs.above, c.above);
        EXPECT_EQ(runs.below, c.below);
        EXPECT_DOUBLE_EQ(runs.expectedRuns, 4);
        EXPECT_NEAR(runs.z, c.z, 1e-12);
    }
    const double t[] = {1, 2, 3}, r[] = {1, 2, 3};
    EXPECT_TRUE(std::isnan(RunsTestOfSigns(t, r, 3).z));
}

TEST(Residuals, LagOneAutocorrelationAndTheCheck)
{
    const double t[] = {1, 2, 3, 4, 5, 6};
    const double alternating[] = {1, -1, 1, -1, 1, -1};
    // mean 0: products -1 five times, squares 6.
    EXPECT_DOUBLE_EQ(LagOneAutocorrelation(t, alternating, nullptr, 6), -5.0 / 6);
    // Weights scale each residual by sqrt(w) before the correlation.
    const double r[] = {1, -2, 1, -2, 1, -2}, w[] = {4, 1, 4, 1, 4, 1};
    EXPECT_DOUBLE_EQ(LagOneAutocorrelation(t, r, w, 6), -5.0 / 6);
    EXPECT_TRUE(std::isnan(LagOneAutocorrelation(t, r, nullptr, 2)));
    // Independent residuals pass, a slow wave does not.
    Generator g(4);
    const int n = 500;
    std::vector<double> times(n), white(n), wave(n);
    for (int i = 0; i < n; ++i) {
        times[i] = i * 0.3;
        white[i] = g.Gauss(1);
        wave[i] = std::sin(i * 0.05) + 0.3 * g.Gauss(1);
    }
    const ResidualCorrelation independent = CheckResidualCorrelation(times.data(), white.data(), nullptr, n, 2.33);
    EXPECT_FALSE(independent.correlated);
    EXPECT_NEAR(independent.lagOne, 0, 3 / std::sqrt(n));
    const ResidualCorrelation slow = CheckResidualCorrelation(times.data(), wave.data(), nullptr, n, 2.33);
    EXPECT_TRUE(slow.correlated);
    EXPECT_LT(slow.runs.z, -10);
    EXPECT_GT(slow.lagOne, 0.8);
    EXPECT_NEAR(slow.errorFactor, std::sqrt((1 + slow.lagOne) / (1 - slow.lagOne)), 1e-12);
}

} // namespace
