// Simulations that show the false-alarm probabilities true: on Gaussian
// noise without a signal, a level of probability p is reached in about the
// share p of the trials (within four binomial standard deviations), at one
// frequency and for the largest value over a band.  Seeded, so every run
// draws the same trials.
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
