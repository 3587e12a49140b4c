// The methods at work: made-up eclipsing binaries found at their period by
// the box search and phase dispersion where one sine finds half of it, the
// real Cepheids kept with the tests, the grid evaluator over threads, what the weights
// and the order of the observations may and may not change, and the
// method names and errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
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

std::vector<double> FrequencyGrid(double shortestPeriod, double longestPeriod, double step)
{
    std::vector<double> frequencies;
    for (double f = 1 / longestPeriod; f <= 1 / shortestPeriod; f += step)
        frequencies.push_back(f);
    return frequencies;
}

MethodChoice ChoiceOf(const std::string &name)
{
    MethodChoice choice;
    EXPECT_EQ(ParseMethod(name, choice), MethodOk) << name;
    return choice;
}

// The period of the best value of the method over the grid.
double BestPeriod(const MethodData &data, const MethodChoice &choice, const std::vector<double> &frequencies)
{
    std::vector<double> values(frequencies.size());
    EXPECT_EQ(EvaluateGrid(data, choice, frequencies.data(), static_cast<long>(frequencies.size()), 2, values.data()),
              MethodOk);
    const auto best = MethodLowIsBest(choice.kind) ? std::min_element(values.begin(), values.end())
                                                 : std::max_element(values.begin(), values.end());
    return 1 / frequencies[static_cast<std::size_t>(best - values.begin())];
}

TEST(MethodSearch, EclipsingBinariesAtTheirPeriodWhereOneSineFindsHalf)
{
    struct BinaryCase {
        unsigned seed;
        double period, epoch, noise;
    };
    const BinaryCase binaries[] = {
        {1, 2.8367, 53004.91, 0.02},
        {2, 1.7431, 53011.37, 0.03},
        {3, 4.1123, 53002.05, 0.02},
    };
    MethodChoice bls = ChoiceOf("bls");
    bls.box.durations = {0.05, 0.1, 0.15};
    bls.box.bins = 100;
    for (const BinaryCase &b : binaries) {
        const Observations obs = EclipsingBinary(b.seed, b.period, b.epoch, b.noise);
        ASSERT_GT(obs.t.size(), 200u);
        ASSERT_LT(obs.t.size(), 500u);
        const MethodData data = Prepared(obs);
        const std::string what = "P=" + std::to_string(b.period);
        // Half, once and twice the period, finely enough for the narrow
        // peaks of two seasons.
        const std::vector<double> frequencies = FrequencyGrid(0.4 * b.period, 2.2 * b.period, 5e-5);
        EXPECT_NEAR(BestPeriod(data, bls, frequencies), b.period, 1e-3 * b.period) << what;
        EXPECT_NEAR(BestPeriod(data, ChoiceOf("pdm:20"), frequencies), b.period, 1e-3 * b.period) << what;
        // Bins as wide as the eclipses blur them more than folding at half
        // the period, which lays the secondary eclipse over the primary;
        // the even and odd cycles there differ as no random split of the
        // cycles does, and those at the period itself do not.
        EXPECT_NEAR(BestPeriod(data, ChoiceOf("pdm:10"), frequencies), b.period / 2, 1e-3 * b.period) << what;
        EXPECT_EQ(PdmAlternateCycles(data, 2 / b.period, 10, 199, 1).probability, 1.0 / 200) << what;
        EXPECT_GT(PdmAlternateCycles(data, 1 / b.period, 10, 199, 1).probability, 0.05) << what;
        EXPECT_NEAR(BestPeriod(data, ChoiceOf("dcdft"), frequencies), b.period / 2, 1e-3 * b.period) << what;
        // The box lies on the primary eclipse: its middle within a tenth
        // of the eclipse's width of a primary minimum, near the middle of
        // the data, and about as deep as the eclipse's mean depth.
        const BoxFit fit = BoxSearch(data, 1 / b.period, bls.box);
        const double cycles = (fit.midTime - b.epoch) / b.period;
        EXPECT_NEAR(cycles, std::round(cycles), 0.01) << what;
        EXPECT_NEAR(fit.midTime, (data.earliest + data.latest) / 2, b.period / 2) << what;
        EXPECT_GT(fit.depth, 0.3) << what;
        EXPECT_LT(fit.depth, 0.5) << what;
        EXPECT_LE(fit.durationShare, 0.1) << what;
        EXPECT_NEAR(fit.duration, fit.durationShare * b.period, 1e-9) << what;
    }
}

// Real Cepheids, delta Cep from observers' estimates and eta Aql from a
// survey's saturated photometry: the multi-harmonic methods find their
// period, not a harmonic of it.
TEST(MethodSearch, CepheidsAtTheirPeriod)
{
    struct CepheidCase {
        const char *star;
        Observations obs;
        std::size_t observations;
        double longestPeriod, step, period;
    } cepheids[] = {{"delta Cep", DeltaCepheiTable(), 4254, 12, 2.5e-4, 5.366},
                    {"eta Aql", EtaAquilaeSurveyRows(), 299, 20, 1e-4, 7.177}};
    for (const CepheidCase &c : cepheids) {
        ASSERT_EQ(c.obs.t.size(), c.observations) << c.star;
        const MethodData data = Prepared(c.obs);
        const std::vector<double> frequencies = FrequencyGrid(1.5, c.longestPeriod, c.step);
        for (const char *name : {"harmonics:3", "aov:3"})
            EXPECT_NEAR(BestPeriod(data, ChoiceOf(name), frequencies), c.period, 0.01) << c.star << " " << name;
    }
}

TEST(MethodSearch, DeltaCepheiHasTheShapeOfAClassicalCepheid)
{
    const MethodData data = Prepared(DeltaCepheiTable());
    HarmonicFit fit;
    ASSERT_EQ(FitHarmonics(data, 1 / 5.366, 3, fit), MethodOk);
    const LightCurveShape shape = DescribeLightCurve(fit, 53500);
    std::printf("delta Cep, 3 harmonics at 5.366 d: amplitude %.3f mag, rise time %.3f, R21 %.3f, phi21 %.3f rad, "
                "R31 %.3f, phi31 %.3f rad (sine convention); phi21 %.3f, phi31 %.3f rad (cosine convention)\n",
                shape.fullAmplitude, shape.riseTime, shape.r21, shape.phi21, shape.r31, shape.phi31, shape.phi21Cosine,
                shape.phi31Cosine);
    // A classical Cepheid: R21 about 0.4; phi21 about 4.5 rad in the cosine
    // convention, 4.5 - pi/2 in the sine convention (a light curve that
    // brightens fast has phi21 near pi there: the sawtooth's is pi).
    EXPECT_NEAR(shape.r21, 0.4, 0.1);
    EXPECT_NEAR(shape.phi21Cosine, 4.5, 0.3);
    EXPECT_NEAR(shape.phi21, 4.5 - M_PI / 2, 0.3);
    EXPECT_LT(shape.riseTime, 0.35); // a Cepheid brightens faster than it fades
    EXPECT_GT(shape.fullAmplitude, 0.4);
    EXPECT_LT(shape.fullAmplitude, 1.0);
}

std::vector<MethodChoice> EveryChoice()
{
    std::vector<MethodChoice> choices;
    for (const char *name : {"dcdft", "harmonics:1", "harmonics:4", "aov:1", "aov:3", "pdm:7", "pdm:10", "bls"})
        choices.push_back(ChoiceOf(name));
    return choices;
}

TEST(MethodSearch, GridValuesDoNotDependOnTheThreads)
{
    const Observations obs = Pulsator(8, 0.732, true);
    const MethodData data = Prepared(obs);
    const std::vector<double> frequencies = FrequencyGrid(0.3, 10, 3e-3);
    for (const MethodChoice &choice : EveryChoice()) {
        std::vector<double> one(frequencies.size());
        ASSERT_EQ(EvaluateGrid(data, choice, frequencies.data(), static_cast<long>(frequencies.size()), 1, one.data()),
                  MethodOk);
        for (std::size_t j = 0; j < frequencies.size(); j += 97)
            EXPECT_EQ(one[j], MethodStatistic(data, choice, frequencies[j])) << MethodName(choice);
        for (int threads : {0, 2, 3, 7}) {
            std::vector<double> many(frequencies.size(), -1);
            ASSERT_EQ(EvaluateGrid(data, choice, frequencies.data(), static_cast<long>(frequencies.size()), threads,
                                   many.data()),
                      MethodOk);
            EXPECT_EQ(many, one) << MethodName(choice) << " threads=" << threads;
        }
    }
}

// An observation of weight 0 counts as none; weights of any common scale,
// a shift of all magnitudes and the order of the observations after the
// first (which sets the phases' origin) change nothing.
TEST(MethodSearch, WeightsScaleShiftAndOrder)
{
    const Observations obs = Pulsator(9, 1.913, true);
    const int n = static_cast<int>(obs.t.size());
    Observations dropped = obs, zeroWeight = obs, scaled = obs, shifted = obs, shuffled = obs;
    dropped.t.erase(dropped.t.begin() + 5);
    dropped.y.erase(dropped.y.begin() + 5);
    dropped.w.erase(dropped.w.begin() + 5);
    zeroWeight.w[5] = 0;
    for (int i = 0; i < n; ++i) {
        scaled.w[i] *= 7.25;
        shifted.y[i] += 3.5;
    }
    std::vector<int> order(n - 1);
    for (int i = 0; i < n - 1; ++i)
        order[i] = i + 1;
    std::shuffle(order.begin(), order.end(), std::mt19937_64(4));
    for (int i = 0; i < n - 1; ++i) {
        shuffled.t[i + 1] = obs.t[order[i]];
        shuffled.y[i + 1] = obs.y[order[i]];
        shuffled.w[i + 1] = obs.w[order[i]];
    }
    const MethodData whole = Prepared(obs), withoutOne = Prepared(dropped);
    const struct {
        const char *name;
        const MethodData &reference;
        MethodData data;
    } variants[] = {{"zero weight", withoutOne, Prepared(zeroWeight)},
                    {"scaled weights", whole, Prepared(scaled)},
                    {"shifted magnitudes", whole, Prepared(shifted)},
                    {"shuffled", whole, Prepared(shuffled)}};
    for (const MethodChoice &choice : EveryChoice()) {
        for (double f : {0.1237, 1 / 1.913, 0.8811, 2.302}) {
            for (const auto &v : variants) {
                const double expected = MethodStatistic(v.reference, choice, f);
                EXPECT_NEAR(MethodStatistic(v.data, choice, f), expected, 1e-9 * std::fabs(expected))
                    << MethodName(choice) << " " << v.name << " f=" << f;
            }
        }
    }
    HarmonicFit a, b;
    ASSERT_EQ(FitHarmonics(whole, 1 / 1.913, 3, a), MethodOk);
    ASSERT_EQ(FitHarmonics(Prepared(shifted), 1 / 1.913, 3, b), MethodOk);
    EXPECT_NEAR(b.constant - a.constant, 3.5, 1e-9);
    EXPECT_NEAR(b.amplitude[2], a.amplitude[2], 1e-9);
}

TEST(MethodSearch, MethodNames)
{
    struct NameCase {
        const char *name;
        MethodError error;
        MethodKind kind;
        int order;
    };
    const NameCase cases[] = {
        {"dcdft", MethodOk, MethodDcdft, 1},
        {"harmonics:3", MethodOk, MethodHarmonics, 3},
        {"harmonics:12", MethodOk, MethodHarmonics, 12},
        {"aov:1", MethodOk, MethodAov, 1},
        {"pdm:10", MethodOk, MethodPdm, 10},
        {"pdm:2", MethodOk, MethodPdm, 2},
        {"bls", MethodOk, MethodBls, 0},
        {"harmonics:0", MethodBadOrder, MethodDcdft, 1},
        {"harmonics:13", MethodBadOrder, MethodDcdft, 1},
        {"aov:", MethodBadOrder, MethodDcdft, 1},
        {"aov:3x", MethodBadOrder, MethodDcdft, 1},
        {"aov:+3", MethodBadOrder, MethodDcdft, 1},
        {"pdm:1", MethodBadOrder, MethodDcdft, 1},
        {"pdm:1001", MethodBadOrder, MethodDcdft, 1},
        {"pdm:99999999999", MethodBadOrder, MethodDcdft, 1},
        {"harmonics", MethodUnknownName, MethodDcdft, 1},
        {"bls:3", MethodUnknownName, MethodDcdft, 1},
        {"AOV:3", MethodUnknownName, MethodDcdft, 1},
        {"", MethodUnknownName, MethodDcdft, 1},
    };
    for (const NameCase &c : cases) {
        MethodChoice choice;
        EXPECT_EQ(ParseMethod(c.name, choice), c.error) << c.name;
        EXPECT_EQ(choice.kind, c.kind) << c.name;
        EXPECT_EQ(choice.order, c.order) << c.name;
        if (c.error == MethodOk) {
            EXPECT_EQ(MethodName(choice), c.name);
        }
    }
    EXPECT_TRUE(MethodLowIsBest(MethodPdm));
    EXPECT_FALSE(MethodLowIsBest(MethodAov));
    EXPECT_STREQ(MethodStatisticName(MethodPdm), "theta_pdm");
}

TEST(MethodSearch, ErrorsComeBackAsValues)
{
    const double t[] = {1, 2, 3, 4, 5, 6}, y[] = {1, 2, 1, 2, 1, 2};
    const double nan = std::nan("");
    const double badTime[] = {1, 2, nan, 4, 5, 6}, badWeight[] = {1, 1, -1, 1, 1, 1};
    const double infiniteWeight[] = {1, 1, INFINITY, 1, 1, 1}, oneWeight[] = {0, 0, 0, 1, 0, 0};
    MethodData data;
    EXPECT_EQ(PrepareMethodData(badTime, y, nullptr, 6, data), MethodNotFinite);
    EXPECT_EQ(data.n, 0);
    EXPECT_EQ(PrepareMethodData(t, badTime, nullptr, 6, data), MethodNotFinite);
    EXPECT_EQ(PrepareMethodData(t, y, badWeight, 6, data), MethodBadWeight);
    EXPECT_EQ(PrepareMethodData(t, y, infiniteWeight, 6, data), MethodBadWeight);
    EXPECT_EQ(PrepareMethodData(t, y, oneWeight, 6, data), MethodTooFewObservations);
    EXPECT_EQ(PrepareMethodData(t, y, nullptr, 1, data), MethodTooFewObservations);
    ASSERT_EQ(PrepareMethodData(t, y, nullptr, 6, data), MethodOk);

    double values[2] = {-1, -1};
    const double frequencies[] = {0.3, 0.4}, badFrequencies[] = {0.3, -1};
    MethodChoice choice;
    EXPECT_EQ(EvaluateGrid(data, choice, frequencies, 2, -1, values), MethodBadThreads);
    EXPECT_EQ(EvaluateGrid(data, choice, badFrequencies, 2, 1, values), MethodBadFrequency);
    choice.kind = MethodAov;
    choice.order = 13;
    EXPECT_EQ(EvaluateGrid(data, choice, frequencies, 2, 1, values), MethodBadOrder);
    choice.kind = MethodBls;
    choice.box.durations = {0.1, 0.5};
    EXPECT_EQ(EvaluateGrid(data, choice, frequencies, 2, 1, values), MethodBadDurations);
    choice.box.durations.clear();
    EXPECT_EQ(CheckBoxOptions(choice.box), MethodBadDurations);
    choice.box.durations = {0.1};
    choice.box.bins = 1;
    EXPECT_EQ(CheckBoxOptions(choice.box), MethodBadDurations);
    EXPECT_EQ(values[0], -1);

    // Too few observations for the statistic: its no-signal value.
    EXPECT_EQ(AovStatistic(data, 0.3, 3), 0);
    EXPECT_EQ(AovFalseAlarm(5, 6, 3), 1);
    HarmonicFit fit;
    EXPECT_EQ(FitHarmonics(data, 0.3, 3, fit), MethodTooFewObservations);
    EXPECT_EQ(FitHarmonics(data, 0.3, 0, fit), MethodBadOrder);
    EXPECT_EQ(FitHarmonics(data, 0, 1, fit), MethodBadFrequency);
    // Whole-day times at one cycle a day: all angles coincide, no room.
    EXPECT_EQ(HarmonicPower(data, 1, 1), 0);
    EXPECT_EQ(AovStatistic(data, 1, 1), 0);
    EXPECT_EQ(FitHarmonics(data, 1, 1, fit), MethodTooFewObservations);
    EXPECT_EQ(PdmTheta(data, 1, 5), 1);
    // Constant magnitudes: nothing to explain.
    const double flat[] = {3, 3, 3, 3, 3, 3};
    ASSERT_EQ(PrepareMethodData(t, flat, nullptr, 6, data), MethodOk);
    EXPECT_EQ(HarmonicPower(data, 0.3, 1), 0);
    EXPECT_EQ(AovStatistic(data, 0.3, 1), 0);
    EXPECT_EQ(PdmTheta(data, 0.3, 2), 1);
    EXPECT_EQ(BoxPower(data, 0.3, BoxOptions()), 0);
    // No alternate cycles to compare: one cycle, bins or splits out of range.
    struct AlternateCase {
        double f;
        int bins, splits;
    } untestable[] = {{1e-4, 5, 9}, {0.3, 1, 9}, {0.3, MaxPhaseBins + 1, 9}, {0.3, 5, 0}, {0, 5, 9}, {-0.3, 5, 9}};
    for (const AlternateCase &a : untestable) {
        const AlternateCycles test = PdmAlternateCycles(data, a.f, a.bins, a.splits, 1);
        EXPECT_EQ(test.probability, 1) << a.f << " " << a.bins << " " << a.splits;
        EXPECT_EQ(test.splits, 0) << a.f << " " << a.bins << " " << a.splits;
    }
}

} // namespace
