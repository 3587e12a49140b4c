// Simulations that show the false-alarm probabilities true: on Gaussian
// noise without a signal, a level of probability p is reached in about the
// share p of the trials (within four binomial standard deviations), at one
// frequency and for the largest value over a band; and phase dispersion's
// alternate-cycle test on stars whose cycles differ only at random.
// Seeded, so every run draws the same trials.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "made_up.h"
#include "methods.h"

namespace {

MethodData Prepared(const Observations &obs)
{
    MethodData data;
    EXPECT_EQ(PrepareMethodData(obs.t.data(), obs.y.data(), WeightsOf(obs), static_cast<int>(obs.t.size()), data),
              MethodOk);
    return data;
}

// How often the probabilities fell below each level, against the level.
void ExpectRates(const std::vector<double> &probabilities, const std::vector<double> &levels, const char *what)
{
    const double trials = static_cast<double>(probabilities.size());
    for (double level : levels) {
        const double hits = static_cast<double>(
            std::count_if(probabilities.begin(), probabilities.end(), [level](double p) { return p < level; }));
        const double spread = std::sqrt(level * (1 - level) / trials);
        EXPECT_NEAR(hits / trials, level, 4 * spread) << what << " level " << level;
    }
}

TEST(MethodSimulation, AnalysisOfVarianceAtOneFrequency)
{
    struct Case {
        int harmonics;
        bool weighted;
    };
    for (const Case c : {Case{1, false}, Case{2, true}, Case{4, false}, Case{3, true}}) {
        std::mt19937_64 random(100 + c.harmonics);
        std::vector<double> probabilities;
        for (int trial = 0; trial < 3000; ++trial) {
            const MethodData data = Prepared(Noise(random, 40, 60, c.weighted));
            probabilities.push_back(AovFalseAlarm(AovStatistic(data, 0.4137, c.harmonics), data.weighted, c.harmonics));
        }
        ExpectRates(probabilities, {0.01, 0.05, 0.2, 0.5}, c.weighted ? "weighted" : "unweighted");
    }
}

TEST(MethodSimulation, PhaseDispersionAtOneFrequency)
{
    struct Case {
        int bins;
        bool weighted;
    };
    for (const Case c : {Case{3, false}, Case{5, true}, Case{10, false}, Case{20, true}}) {
        std::mt19937_64 random(200 + c.bins);
        std::vector<double> probabilities;
        for (int trial = 0; trial < 3000; ++trial) {
            const MethodData data = Prepared(Noise(random, 60, 40, c.weighted));
            probabilities.push_back(PdmFalseAlarm(PdmAt(data, 0.3719, c.bins), data.weighted));
        }
        ExpectRates(probabilities, {0.01, 0.05, 0.2, 0.5}, c.weighted ? "weighted" : "unweighted");
    }
}

// The largest statistic over a band searched on a grid fine enough to
// catch every peak (ten points per peak width 1 / (H span)).
TEST(MethodSimulation, AnalysisOfVarianceOverABand)
{
    const double span = 20, fmin = 0.05, fmax = 1.05;
    for (int harmonics : {1, 3}) {
        std::mt19937_64 random(300 + harmonics);
        std::vector<double> frequencies;
        for (double f = fmin; f <= fmax; f += 0.1 / (harmonics * span))
            frequencies.push_back(f);
        std::vector<double> values(frequencies.size());
        MethodChoice choice;
        choice.kind = MethodAov;
        choice.order = harmonics;
        std::vector<double> probabilities;
        for (int trial = 0; trial < 500; ++trial) {
            const MethodData data = Prepared(Noise(random, 40, span, harmonics == 3));
            ASSERT_EQ(EvaluateGrid(data, choice, frequencies.data(), static_cast<long>(frequencies.size()), 1,
                                   values.data()),
                      MethodOk);
            const double largest = *std::max_element(values.begin(), values.end());
            probabilities.push_back(AovBandFalseAlarm(largest, data.weighted, harmonics, fmin, fmax, TimeSpread(data)));
        }
        // The upcrossing count holds in the tail, where a search reports
        // its peaks; at 50 % the band's probability is conservative.
        ExpectRates(probabilities, {0.01, 0.05, 0.2}, harmonics == 3 ? "three harmonics" : "one harmonic");
    }
}

} // namespace

// The alternate-cycle test of phase dispersion on stars of the period
// tested whose cycles differ at random (each cycle's amplitude and mean
// drawn anew, as a Mira's): the probability is reached at the rate it
// promises, counting a probability at the level as reached, for it takes
// the values k / (splits + 1) only.
TEST(MethodSimulation, AlternateCyclesOfStarsWithUnequalCycles)
{
    std::mt19937_64 random(300);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    const int splits = 99, trials = 1500;
    std::vector<double> probabilities;
    for (int trial = 0; trial < trials; ++trial) {
        const double period = 0.7 + 3 * uniform(random);
        const int cycles = 30 + static_cast<int>(20 * uniform(random));
        std::vector<double> amplitude(static_cast<std::size_t>(cycles) + 1), mean(amplitude.size());
        for (std::size_t c = 0; c < amplitude.size(); ++c) {
            amplitude[c] = 0.5 * (1 + 0.3 * gauss(random));
            mean[c] = 0.1 * gauss(random);
        }
        Observations obs;
        for (int i = 0; i < 250; ++i) {
            const double t = 50000 + cycles * period * uniform(random);
            const double phase = (t - 50000) / period;
            const std::size_t c = static_cast<std::size_t>(phase);
            obs.t.push_back(t);
            obs.y.push_back(10 + mean[c] + amplitude[c] * std::sin(2 * M_PI * phase) + 0.05 * gauss(random));
        }
        const AlternateCycles test = PdmAlternateCycles(Prepared(obs), 1 / period, 10, splits, trial + 1);
        probabilities.push_back(test.probability);
    }
    for (int k : {1, 5, 20, 50}) {
        const double level = k / (splits + 1.0);
        const double hits = static_cast<double>(std::count_if(probabilities.begin(), probabilities.end(),
                                                              [level](double p) { return p <= level + 1e-12; }));
        const double spread = std::sqrt(level * (1 - level) / trials);
        EXPECT_NEAR(hits / trials, level, 4 * spread) << "level " << level;
    }
}
