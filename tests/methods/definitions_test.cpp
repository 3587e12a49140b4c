// Each statistic of the library against a straightforward implementation
// of its published definition, at sampled periods, weighted and not; the
// one-harmonic power against the program's own one-sine spectrum; the
// harmonic fit and the shape of the fitted curve against direct
// computation.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "fastspectrum.h"
#include "methods.h"
#include "straightforward.h"

namespace {

MethodData Prepared(const Observations &obs)
{
    MethodData data;
    EXPECT_EQ(PrepareMethodData(obs.t.data(), obs.y.data(), WeightsOf(obs), static_cast<int>(obs.t.size()), data),
              MethodOk);
    return data;
}

// Trial frequencies from fmin to fmax at random, reproducibly.
std::vector<double> SampledFrequencies(unsigned seed, double fmin, double fmax, int count)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(fmin, fmax);
    std::vector<double> frequencies;
    for (int j = 0; j < count; ++j)
        frequencies.push_back(uniform(random));
    return frequencies;
}

void ExpectRelative(double actual, double expected, double tolerance, const std::string &what)
{
    EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected)) << what;
}

struct DataCase {
    const char *name;
    Observations obs;
    double trueFrequency; // a frequency of the signal, sampled beside the random ones
};

std::vector<DataCase> DataCases()
{
    std::mt19937_64 random(21);
    std::vector<DataCase> cases;
    cases.push_back({"pulsator", Pulsator(3, 5.366, false), 1 / 5.366});
    cases.push_back({"weighted pulsator", Pulsator(4, 0.61, true), 1 / 0.61});
    cases.push_back({"eclipsing binary", EclipsingBinary(5, 2.8367, 53010.21, 0.02), 1 / 2.8367});
    cases.push_back({"weighted noise", Noise(random, 120, 300, true), 0.3});
    Observations delcep = DeltaCepheiTable();
    delcep.t.resize(600);
    delcep.y.resize(600);
    cases.push_back({"delta Cep excerpt", delcep, 1 / 5.366});
    return cases;
}

std::vector<double> FrequenciesOf(const DataCase &c, unsigned seed)
{
    std::vector<double> frequencies = SampledFrequencies(seed, 0.05, 3, 12);
    frequencies.push_back(c.trueFrequency);
    frequencies.push_back(2 * c.trueFrequency);
    return frequencies;
}

TEST(MethodDefinitions, HarmonicPowerIsTheShareOfVarianceOfTheLeastSquaresFit)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int h : {1, 2, 3, 5})
            for (double f : FrequenciesOf(c, 7))
                ExpectRelative(HarmonicPower(data, f, h), StraightHarmonicPower(c.obs, f, h), 1e-9,
                               std::string(c.name) + " H=" + std::to_string(h) + " f=" + std::to_string(f));
    }
}

TEST(MethodDefinitions, OneHarmonicIsThePowerOfTheProgramsSpectrum)
{
    for (const DataCase &c : DataCases()) {
        if (!c.obs.w.empty())
            continue;
        const int n = static_cast<int>(c.obs.t.size());
        double mean = 0;
        for (double y : c.obs.y)
            mean += y;
        mean /= n;
        std::vector<double> centred;
        long double sumOfSquares = 0;
        for (double y : c.obs.y) {
            centred.push_back(y - mean);
            sumOfSquares += static_cast<long double>(centred.back()) * centred.back();
        }
        const MethodData data = Prepared(c.obs);
        for (double f : SampledFrequencies(8, 0.02, 5, 200)) {
            const double program = ReferenceSpectrumPower(c.obs.t.data(), centred.data(), n, f,
                                                          static_cast<double>(sumOfSquares));
            EXPECT_NEAR(HarmonicPower(data, f, 1), program, 1e-12) << c.name << " f=" << f;
        }
    }
}

// Sums that a fast transform would supply, built here from their
// definitions, give the power of the direct path.
TEST(MethodDefinitions, HarmonicPowerOfSuppliedSums)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int h : {1, 3, 4}) {
            for (double f : FrequenciesOf(c, 9)) {
                HarmonicSums sums;
                sums.harmonics = h;
                for (int k = 0; k <= 2 * h; ++k) {
                    long double sc = 0, ss = 0, syc = 0, sys = 0;
                    for (int i = 0; i < data.n; ++i) {
                        const long double theta =
                            2 * M_PI * static_cast<long double>(f) * (static_cast<long double>(data.time[i]) - data.time[0]);
                        sc += data.weight[i] * std::cos(k * theta);
                        ss += data.weight[i] * std::sin(k * theta);
                        syc += data.weight[i] * data.value[i] * std::cos(k * theta);
                        sys += data.weight[i] * data.value[i] * std::sin(k * theta);
                    }
                    sums.cosine[k] = static_cast<double>(sc);
                    sums.sine[k] = static_cast<double>(ss);
                    if (k <= h) {
                        sums.valueCosine[k] = static_cast<double>(syc);
                        sums.valueSine[k] = static_cast<double>(sys);
                    }
                }
                ExpectRelative(HarmonicPowerOfSums(sums, data.sumOfSquares), HarmonicPower(data, f, h), 1e-9,
                               std::string(c.name) + " H=" + std::to_string(h));
            }
        }
    }
}

TEST(MethodDefinitions, AnalysisOfVarianceIsTheFRatioOfTheHarmonicFit)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int h : {1, 2, 3, 6}) {
            for (double f : FrequenciesOf(c, 10)) {
                const double expected = StraightAov(c.obs, f, h);
                const std::string what = std::string(c.name) + " H=" + std::to_string(h) + " f=" + std::to_string(f);
                ExpectRelative(AovStatistic(data, f, h), expected, 1e-9, what);
                ExpectRelative(AovOfHarmonicPower(HarmonicPower(data, f, h), data.weighted, h), expected, 1e-9, what);
            }
        }
    }
}

TEST(MethodDefinitions, PhaseDispersionOfTwoCoversOfBins)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int bins : {2, 5, 10, 17}) {
            for (double f : FrequenciesOf(c, 11)) {
                int filled = 0;
                const double expected = StraightPdm(c.obs, f, bins, filled);
                const PdmValue value = PdmAt(data, f, bins);
                const std::string what = std::string(c.name) + " B=" + std::to_string(bins) + " f=" + std::to_string(f);
                ExpectRelative(value.theta, expected, 1e-9, what);
                EXPECT_EQ(value.filledBins, filled) << what;
            }
        }
    }
}

TEST(MethodDefinitions, AlternateCyclesOfPhaseDispersion)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int bins : {3, 10}) {
            std::vector<double> frequencies = SampledFrequencies(31, 0.05, 3, 2);
            frequencies.push_back(c.trueFrequency);
            frequencies.push_back(2 * c.trueFrequency);
            for (double f : frequencies) {
                const std::string what = std::string(c.name) + " B=" + std::to_string(bins) + " f=" + std::to_string(f);
                const AlternateCycles test = PdmAlternateCycles(data, f, bins, 39, 5);
                EXPECT_EQ(test.probability, StraightAlternateCycles(c.obs, f, bins, 39, 5)) << what;
                EXPECT_EQ(test.splits, 39) << what;
            }
        }
    }
}

// The statistics of a whole even grid from the fast transform's sums are
// those of the sums straight from the data, also at the frequencies where
// a cadence of whole days leaves the harmonics little room (1 c/d and its
// fractions), where the sums are taken straight.
TEST(MethodDefinitions, HarmonicGridFromTheFastTransform)
{
    std::vector<DataCase> cases = DataCases();
    Observations nightly;
    std::mt19937_64 random(17);
    std::normal_distribution<double> noise(0, 0.05);
    for (int night = 0; night < 150; ++night)
        if (night % 3 != 1) {
            nightly.t.push_back(51000.5 + night);
            nightly.y.push_back(9 + 0.2 * std::sin(2 * M_PI * night / 3.7) + noise(random));
        }
    cases.push_back({"whole nights", nightly, 1 / 3.7});
    struct GridCase {
        double first, step;
        long intervals;
    } grids[] = {{0.05, 1.0 / 4096, 4000}, {0.4, 1.0 / 1024, 1100}, {0.9, 1.0 / 8192, 1600}};
    for (const DataCase &c : cases) {
        const MethodData data = Prepared(c.obs);
        for (const char *name : {"harmonics:1", "harmonics:3", "aov:2", "aov:6", "harmonics:12"}) {
            MethodChoice choice;
            ASSERT_EQ(ParseMethod(name, choice), MethodOk);
            for (const GridCase &g : grids) {
                std::vector<double> values(static_cast<std::size_t>(g.intervals) + 1);
                bool transformed = false;
                ASSERT_EQ(FastHarmonicGrid(data, choice, g.first, g.step, g.intervals, 2, values.data(), &transformed),
                          MethodOk);
                EXPECT_TRUE(transformed);
                for (long k = 0; k <= g.intervals; k += 7) {
                    const double f = g.first + static_cast<double>(k) * g.step;
                    const double exact = MethodStatistic(data, choice, f);
                    const std::string what = std::string(c.name) + " " + name + " f=" + std::to_string(f);
                    EXPECT_NEAR(values[static_cast<std::size_t>(k)], exact, 1e-9 * std::fabs(exact) + 1e-12) << what;
                }
            }
        }
    }
    // The same doubles whatever the threads.
    const MethodData data = Prepared(cases.front().obs);
    MethodChoice choice;
    ASSERT_EQ(ParseMethod("aov:3", choice), MethodOk);
    std::vector<double> one(3001), many(3001);
    ASSERT_EQ(FastHarmonicGrid(data, choice, 0.05, 1.0 / 2048, 3000, 1, one.data()), MethodOk);
    for (int threads : {0, 3, 7}) {
        ASSERT_EQ(FastHarmonicGrid(data, choice, 0.05, 1.0 / 2048, 3000, threads, many.data()), MethodOk);
        EXPECT_EQ(many, one) << threads;
    }
    // A grid of several blocks (12 harmonics: 18 transforms, blocks of
    // 14563 frequencies) is the same as one taken at once.
    ASSERT_EQ(ParseMethod("harmonics:12", choice), MethodOk);
    std::vector<double> blocks(40001);
    ASSERT_EQ(FastHarmonicGrid(data, choice, 0.01, 1.0 / 16384, 40000, 2, blocks.data()), MethodOk);
    for (long k = 0; k <= 40000; k += 397) {
        const double f = 0.01 + static_cast<double>(k) / 16384;
        const double exact = MethodStatistic(data, choice, f);
        EXPECT_NEAR(blocks[static_cast<std::size_t>(k)], exact, 1e-9 * std::fabs(exact) + 1e-12) << f;
    }
    // Only the harmonic methods, on a usable grid.
    double value = -1;
    ASSERT_EQ(ParseMethod("pdm:10", choice), MethodOk);
    EXPECT_EQ(FastHarmonicGrid(data, choice, 0.1, 0.01, 0, 1, &value), MethodBadOrder);
    ASSERT_EQ(ParseMethod("harmonics:2", choice), MethodOk);
    for (double first : {0.0, -0.1, std::nan("")})
        EXPECT_EQ(FastHarmonicGrid(data, choice, first, 0.01, 0, 1, &value), MethodBadFrequency);
    EXPECT_EQ(FastHarmonicGrid(data, choice, 0.1, 0.0, 0, 1, &value), MethodBadFrequency);
    EXPECT_EQ(value, -1);
}

TEST(MethodDefinitions, BoxSearchOverEveryBoxOfEveryDuration)
{
    struct BoxCase {
        std::vector<double> durations;
        int bins, minimumInBox;
    };
    const BoxCase boxCases[] = {
        {{0.05, 0.1, 0.2}, 40, 3},
        {{0.01, 0.3}, 0, 1},
        {{0.1}, 7, 2},
    };
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (const BoxCase &b : boxCases) {
            BoxOptions options;
            options.durations = b.durations;
            options.bins = b.bins;
            options.minimumInBox = b.minimumInBox;
            ASSERT_EQ(CheckBoxOptions(options), MethodOk);
            for (double f : FrequenciesOf(c, 12)) {
                const StraightBox expected = StraightBoxSearch(c.obs, f, b.durations, BoxBins(options), b.minimumInBox);
                const BoxFit fit = BoxSearch(data, f, options);
                const std::string what = std::string(c.name) + " bins=" + std::to_string(b.bins) + " f=" + std::to_string(f);
                ExpectRelative(fit.power, expected.power, 1e-9, what);
                ExpectRelative(fit.signalResidue, expected.signalResidue, 1e-9, what);
                ExpectRelative(fit.depth, expected.depth, 1e-9, what);
                ExpectRelative(fit.deltaChiSquare, fit.power * data.sumOfSquares, 1e-12, what);
                EXPECT_EQ(fit.durationShare, expected.durationShare) << what;
                EXPECT_NEAR(fit.duration, expected.durationShare / f, 1e-12 / f) << what;
                EXPECT_EQ(fit.ingressPhase, expected.ingressPhase) << what;
                EXPECT_NEAR(fit.midTime, expected.midTime, 1e-8) << what;
                EXPECT_EQ(fit.inBox, expected.inBox) << what;
            }
        }
    }
}

TEST(MethodDefinitions, HarmonicFitCoefficientsAndResiduals)
{
    for (const DataCase &c : DataCases()) {
        const MethodData data = Prepared(c.obs);
        for (int h : {1, 3, 4}) {
            const double f = c.trueFrequency;
            const StraightFit expected = StraightHarmonicFit(c.obs, f, h);
            HarmonicFit fit;
            ASSERT_EQ(FitHarmonics(data, f, h, fit), MethodOk);
            const std::string what = std::string(c.name) + " H=" + std::to_string(h);
            EXPECT_EQ(fit.reference, c.obs.t[0]) << what;
            ExpectRelative(fit.constant, expected.coefficients[0], 1e-9, what);
            for (int k = 1; k <= h; ++k) {
                EXPECT_NEAR(fit.cosine[k], expected.coefficients[2 * k - 1], 1e-9 * fit.amplitude[1]) << what;
                EXPECT_NEAR(fit.sine[k], expected.coefficients[2 * k], 1e-9 * fit.amplitude[1]) << what;
            }
            ExpectRelative(fit.residualRms, std::sqrt(expected.residual / data.weightTotal), 1e-9, what);
        }
    }
}

// A curve of known harmonics in the sine convention, its origin T0 away
// from the first time: the amplitudes and phase differences come back, and
// the extremes agree with a dense scan of the fitted curve.
TEST(MethodDefinitions, ShapeOfAKnownCurve)
{
    struct ShapeCase {
        double a1, p1, a2, p2, a3, p3;
    };
    const ShapeCase shapes[] = {
        {0.4, 1.0, 0.16, 0.3, 0.08, 5.0},  // a Cepheid: rises fast
        {0.3, 4.0, 0.0, 0.0, 0.0, 0.0},    // a sine: rise time one half
        {0.2, 2.5, 0.15, 6.0, 0.1, 3.1},
    };
    const double period = 3.217, t0 = 53000.37;
    std::mt19937_64 random(31);
    const std::vector<double> t = NightlyTimes(random, 1, 0.5);
    for (const ShapeCase &s : shapes) {
        Observations obs;
        obs.t = t;
        for (double ti : t) {
            const double theta = 2 * M_PI * (ti - t0) / period;
            obs.y.push_back(8 + s.a1 * std::sin(theta + s.p1) + s.a2 * std::sin(2 * theta + s.p2) +
                            s.a3 * std::sin(3 * theta + s.p3));
        }
        const MethodData data = Prepared(obs);
        HarmonicFit fit;
        ASSERT_EQ(FitHarmonics(data, 1 / period, 3, fit), MethodOk);
        const double near = 53100;
        const LightCurveShape shape = DescribeLightCurve(fit, near);
        EXPECT_NEAR(fit.amplitude[1], s.a1, 1e-9);
        if (s.a2 > 0) {
            EXPECT_NEAR(shape.r21, s.a2 / s.a1, 1e-9);
            EXPECT_NEAR(shape.r31, s.a3 / s.a1, 1e-9);
            EXPECT_NEAR(std::remainder(shape.phi21 - (s.p2 - 2 * s.p1), 2 * M_PI), 0, 1e-8);
            EXPECT_NEAR(std::remainder(shape.phi31 - (s.p3 - 3 * s.p1), 2 * M_PI), 0, 1e-8);
            // In cosines the same curve has the phases p_k - pi/2.
            EXPECT_NEAR(std::remainder(shape.phi21Cosine - ((s.p2 - M_PI / 2) - 2 * (s.p1 - M_PI / 2)), 2 * M_PI), 0,
                        1e-8);
            EXPECT_NEAR(std::remainder(shape.phi31Cosine - ((s.p3 - M_PI / 2) - 3 * (s.p1 - M_PI / 2)), 2 * M_PI), 0,
                        1e-8);
        }
        EXPECT_GE(shape.phi21, 0);
        EXPECT_LT(shape.phi21, 2 * M_PI);
        // A dense scan of the curve over one cycle: the refined extremes lie
        // beyond every scanned value, and near the scan's extremes.
        const int points = 100000;
        double least = 1e9, greatest = -1e9, phaseOfLeast = 0, phaseOfGreatest = 0;
        for (int j = 0; j < points; ++j) {
            const double value = HarmonicFitValue(fit, t0 + period * j / points);
            if (value < least) {
                least = value;
                phaseOfLeast = static_cast<double>(j) / points;
            }
            if (value > greatest) {
                greatest = value;
                phaseOfGreatest = static_cast<double>(j) / points;
            }
        }
        EXPECT_LE(shape.brightest, least + 1e-12);
        EXPECT_GE(shape.faintest, greatest - 1e-12);
        EXPECT_NEAR(shape.brightest, least, 1e-7);
        EXPECT_NEAR(shape.faintest, greatest, 1e-7);
        EXPECT_DOUBLE_EQ(shape.fullAmplitude, shape.faintest - shape.brightest);
        const double rise = phaseOfLeast - phaseOfGreatest;
        EXPECT_NEAR(std::remainder(shape.riseTime - (rise - std::floor(rise)), 1), 0, 2e-5);
        if (s.a2 == 0) {
            EXPECT_NEAR(shape.riseTime, 0.5, 1e-8);
        }
        EXPECT_NEAR(HarmonicFitValue(fit, shape.epochOfMaximum), shape.brightest, 1e-9);
        EXPECT_NEAR(HarmonicFitValue(fit, shape.epochOfMinimum), shape.faintest, 1e-9);
        EXPECT_LE(std::fabs(shape.epochOfMaximum - near), period / 2 + 1e-9);
        EXPECT_LE(std::fabs(shape.epochOfMinimum - near), period / 2 + 1e-9);
        // One harmonic has no second or third to compare with.
        HarmonicFit one;
        ASSERT_EQ(FitHarmonics(data, 1 / period, 1, one), MethodOk);
        const LightCurveShape oneShape = DescribeLightCurve(one, near);
        EXPECT_TRUE(std::isnan(oneShape.r21) && std::isnan(oneShape.phi21) && std::isnan(oneShape.r31) &&
                    std::isnan(oneShape.phi31Cosine));
        EXPECT_NEAR(oneShape.riseTime, 0.5, 1e-8);
    }
}

} // namespace
