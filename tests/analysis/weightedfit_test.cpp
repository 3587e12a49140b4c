// The weighted power and fits against straightforward least squares solved
// here, and against today's unweighted spectrum and fits.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis.h"
#include "fastspectrum.h"
#include "weightedfit.h"

namespace {

const double Pi = 3.14159265358979323846;

struct Curve {
    std::vector<double> t, y, w;
};

// Uneven times over a few seasons, a sine with noise whose error differs
// from one estimate to the next (precise ones among rough ones).
Curve MadeUpCurve(int n, unsigned seed, double period, double amplitude)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    Curve c;
    for (int i = 0; i < n; ++i) {
        const double t = 51000 + 700 * uniform(generator) + (i % 3 == 0 ? 365 : 0);
        const double sigma = i % 7 == 0 ? 0.01 : 0.1 + 0.2 * uniform(generator);
        c.t.push_back(t);
        c.y.push_back(9.2 + amplitude * std::sin(2 * Pi * t / period) + sigma * gauss(generator));
        c.w.push_back(1 / (sigma * sigma));
    }
    return c;
}

// The weighted least-squares fit of constant + cosine + sine, solved here by
// Gaussian elimination of the 3 x 3 normal equations in extended
// precision: 1 - chi^2(f) / chi^2 of the constant alone.
long double StraightforwardWeightedPower(const Curve &c, double frequency)
{
    const int n = static_cast<int>(c.t.size());
    long double a[3][4] = {};
    for (int i = 0; i < n; ++i) {
        const long double angle = 2 * 3.14159265358979323846264338327950288L * frequency * (c.t[i] - c.t[0]);
        const long double g[3] = {1, std::cos(angle), std::sin(angle)};
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k)
                a[r][k] += c.w[i] * g[r] * g[k];
            a[r][3] += c.w[i] * g[r] * c.y[i];
        }
    }
    for (int p = 0; p < 3; ++p)
        for (int r = p + 1; r < 3; ++r) {
            const long double factor = a[r][p] / a[p][p];
            for (int k = p; k < 4; ++k)
                a[r][k] -= factor * a[p][k];
        }
    long double x[3];
    for (int r = 2; r >= 0; --r) {
        long double s = a[r][3];
        for (int k = r + 1; k < 3; ++k)
            s -= a[r][k] * x[k];
        x[r] = s / a[r][r];
    }
    long double weight = 0, mean = 0;
    for (int i = 0; i < n; ++i) {
        weight += c.w[i];
        mean += c.w[i] * c.y[i];
    }
    mean /= weight;
    long double fitted = 0, constant = 0;
    for (int i = 0; i < n; ++i) {
        const long double angle = 2 * 3.14159265358979323846264338327950288L * frequency * (c.t[i] - c.t[0]);
        const long double r = c.y[i] - (x[0] + x[1] * std::cos(angle) + x[2] * std::sin(angle));
        fitted += c.w[i] * r * r;
        constant += c.w[i] * (c.y[i] - mean) * (c.y[i] - mean);
    }
    return 1 - fitted / constant;
}

TEST(WeightedPower, EqualsAStraightforwardWeightedSineFit)
{
    struct Case {
        int n;
        unsigned seed;
        double period, amplitude;
    };
    const Case cases[] = {{40, 1, 3.3, 0.2}, {300, 2, 17.5, 0.05}, {1000, 3, 0.61, 0.4}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.n);
        const Curve c = MadeUpCurve(k.n, k.seed, k.period, k.amplitude);
        std::vector<double> centred;
        const double squares = CentreWeightedValues(c.y.data(), c.w.data(), k.n, centred);
        double largest = 0;
        // Sampled periods from a quarter day to a year, the true one, a
        // one-day alias and a peak's neighbour among them.
        std::vector<double> periods = {k.period, 1 / (1 / k.period + 1), k.period * 1.001};
        for (int j = 0; j < 200; ++j)
            periods.push_back(0.25 * std::pow(1460.0, j / 199.0));
        for (double p : periods) {
            const double power = WeightedSpectrumPower(c.t.data(), centred.data(), c.w.data(), k.n, 1 / p, squares);
            largest = std::fmax(largest, std::fabs(power - static_cast<double>(StraightforwardWeightedPower(c, 1 / p))));
        }
        EXPECT_LE(largest, 1e-12);
        // The peak is where the sine is, and strong.
        EXPECT_GT(WeightedSpectrumPower(c.t.data(), centred.data(), c.w.data(), k.n, 1 / k.period, squares), 0.3);
    }
}

// Magnitudes centred as the program centres them (the double mean of the
// double sum), with their sum of squares.
double CentreAsTheProgram(std::vector<double> &y)
{
    double sum = 0;
    for (double v : y)
        sum += v;
    const double mean = sum / static_cast<double>(y.size());
    double squares = 0;
    for (double &v : y) {
        v = v - mean;
        squares = static_cast<double>(squares + static_cast<long double>(v) * v);
    }
    return squares;
}

TEST(WeightedPower, EqualWeightsGiveTodaysSpectrumFile)
{
    // tcas.ven is the spectrum the program writes for tcas.jud, periods 1 to
    // 10 d in 100 intervals.
    std::vector<double> t, y;
    std::ifstream jud(std::string(TEST_DATA_FOLDER) + "/tcas.jud");
    double a, b;
    while (jud >> a >> b) {
        t.push_back(a);
        y.push_back(b);
    }
    ASSERT_EQ(t.size(), 335u);
    const int n = static_cast<int>(t.size());
    const double squares = CentreAsTheProgram(y);
    const std::vector<double> ones(n, 1.0), sevens(n, 7.25);
    std::ifstream ven(std::string(TEST_DATA_FOLDER) + "/tcas.ven");
    std::string line;
    int lines = 0;
    double largest = 0;
    while (std::getline(ven, line)) {
        const double period = std::strtod(line.c_str(), nullptr), power = std::strtod(line.c_str() + 25, nullptr);
        const double f = static_cast<double>(1 / static_cast<long double>(period));
        for (const double *w : {static_cast<const double *>(nullptr), ones.data()})
            largest = std::fmax(largest, std::fabs(WeightedSpectrumPower(t.data(), y.data(), w, n, f, squares) - power));
        // Weights that are all the same are no weights: the power does not
        // depend on their scale.
        largest = std::fmax(largest, std::fabs(WeightedSpectrumPower(t.data(), y.data(), sevens.data(), n, f,
                                                                     7.25 * squares) - power));
        ++lines;
    }
    EXPECT_EQ(lines, 101);
    EXPECT_LE(largest, 1e-12);
}

TEST(WeightedPower, OfThePassSumsIsThePassPowerToTheBit)
{
    const Curve c = MadeUpCurve(500, 9, 4.4, 0.3);
    std::vector<double> centred;
    const int n = 500;
    const double squares = CentreWeightedValues(c.y.data(), nullptr, n, centred);
    PrepareSpectrumTerms(c.t.data(), centred.data(), n);
    int compared = 0;
    for (int j = 0; j <= 400; ++j) {
        const double f = 0.001 + j * 0.0125;
        const SpectrumSums s = PreparedSpectrumSums(f);
        const WeightedSpectrumSums w = {static_cast<double>(n), s.scc, s.sc, s.sss, s.ss, s.ssc, s.syc, s.sys};
        ASSERT_EQ(WeightedPowerOfSums(w, squares), SpectrumPowerOfSums(s, n, squares)) << f;
        ++compared;
    }
    EXPECT_EQ(compared, 401);
    // All angles alike: no room for a sine, power 0 as in the pass.
    const WeightedSpectrumSums flat = {3, 3, 3, 0, 0, 0, 0.5, 0};
    EXPECT_EQ(WeightedPowerOfSums(flat, 1), 0);
}

TEST(WeightedSineFit, AgreesWithTheStraightforwardFitAndTodaysFit)
{
    const Curve c = MadeUpCurve(250, 4, 6.1, 0.25);
    const int n = 250;
    std::vector<double> centred;
    const double squares = CentreWeightedValues(c.y.data(), c.w.data(), n, centred);
    for (double period : {6.1, 2.9, 41.0}) {
        SCOPED_TRACE(period);
        SineFit weighted;
        FitQuality quality;
        ASSERT_TRUE(FitWeightedSine(c.t.data(), c.y.data(), c.w.data(), n, 1 / period, c.t[0], weighted, quality));
        // The amplitude of the weighted sums is that of the fit, and the
        // fit's chi-square is the power's complement.
        const WeightedSpectrumSums sums = WeightedSumsAt(c.t.data(), centred.data(), c.w.data(), n, 1 / period);
        EXPECT_NEAR(AmplitudeOfSums(sums), weighted.amplitude, 1e-12);
        EXPECT_NEAR(quality.chiSquare / squares,
                    1 - WeightedSpectrumPower(c.t.data(), centred.data(), c.w.data(), n, 1 / period, squares), 1e-12);
        EXPECT_EQ(quality.degreesOfFreedom, n - 3);
        // Equal weights give today's fit; their scale changes nothing.
        SineFit plain, even;
        ASSERT_TRUE(FitSine(c.t.data(), c.y.data(), n, 1 / period, c.t[0], plain));
        const std::vector<double> equal(n, 400.0);
        ASSERT_TRUE(FitWeightedSine(c.t.data(), c.y.data(), equal.data(), n, 1 / period, c.t[0], even, quality));
        for (auto pair : {std::make_pair(even.constant, plain.constant), std::make_pair(even.cosine, plain.cosine),
                          std::make_pair(even.sine, plain.sine), std::make_pair(even.residualRms, plain.residualRms)})
            EXPECT_NEAR(pair.first, pair.second, 1e-12);
        // The weighted fit differs from the plain one: the weights matter.
        EXPECT_GT(std::fabs(weighted.constant - plain.constant) + std::fabs(weighted.cosine - plain.cosine), 1e-6);
    }
}

TEST(WeightedSineFit, ErrorScaleFollowsTheReducedChiSquare)
{
    struct Case {
        double chiSquare;
        int n, parameters;
        bool weighted;
        double reduced, scale;
    };
    const Case cases[] = {
        {50, 103, 3, true, 0.5, 1},          // uncertainties too large: trusted as given
        {400, 104, 4, true, 4, 2},           // too small: errors doubled
        {25, 28, 3, false, 1, 1},            // no weights: always the scatter
        {4, 104, 4, false, 0.04, 0.2},
    };
    for (const Case &c : cases) {
        const FitQuality q = QualityOfFit(c.chiSquare, c.n, c.parameters, c.weighted);
        EXPECT_EQ(q.degreesOfFreedom, c.n - c.parameters);
        EXPECT_DOUBLE_EQ(q.reducedChiSquare, c.reduced);
        EXPECT_DOUBLE_EQ(q.errorScale, c.scale);
    }
    EXPECT_TRUE(std::isnan(QualityOfFit(1, 3, 3, true).reducedChiSquare));
}

TEST(WeightedJointFit, EqualWeightsGiveTodaysJointFit)
{
    const Curve c = MadeUpCurve(400, 5, 3.7, 0.3);
    const int n = 400;
    for (const std::vector<double> &w : {std::vector<double>(n, 1.0), std::vector<double>(n, 1 / 0.01)}) {
        std::vector<SineComponent> plain = {{1 / 3.7 * 1.00002, 0.01, 0.25, NAN, NAN}}, weighted = plain;
        double plainConstant = 9, weightedConstant = 9, plainRms = 0, weightedRms = 0;
        FitQuality quality;
        ASSERT_TRUE(FitSinesTogether(c.t.data(), c.y.data(), n, c.t[0], plain, plainConstant, plainRms));
        ASSERT_TRUE(FitWeightedSinesTogether(c.t.data(), c.y.data(), w.data(), n, c.t[0], weighted, weightedConstant,
                                             weightedRms, quality));
        EXPECT_NEAR(weighted[0].frequency, plain[0].frequency, 1e-12);
        EXPECT_NEAR(weighted[0].cosine, plain[0].cosine, 1e-9);
        EXPECT_NEAR(weighted[0].sine, plain[0].sine, 1e-9);
        EXPECT_NEAR(weightedConstant, plainConstant, 1e-9);
        EXPECT_NEAR(weightedRms, plainRms, 1e-12);
        EXPECT_EQ(quality.degreesOfFreedom, n - 4);
        // The weighted errors are the formal ones, raised by the scatter only
        // where that is larger than the given errors; the plain ones always
        // follow the scatter.  Unit weights are errors of 1 mag, far above
        // this scatter, so they stand as given; errors of 0.1 mag are below it.
        EXPECT_NEAR(weighted[0].frequencyError / plain[0].frequencyError,
                    quality.errorScale / std::sqrt(quality.reducedChiSquare), 1e-6);
        if (w[0] == 1.0)
            EXPECT_LT(quality.reducedChiSquare, 0.1);
        else
            EXPECT_GT(quality.reducedChiSquare, 1.0);
    }
}

TEST(PeakErrors, AreTheJointFitsCovarianceAtItsOptimum)
{
    const Curve c = MadeUpCurve(300, 6, 8.8, 0.2);
    const int n = 300;
    for (const double *w : {static_cast<const double *>(nullptr), c.w.data()}) {
        SCOPED_TRACE(w == nullptr ? "unweighted" : "weighted");
        std::vector<SineComponent> components = {{1 / 8.8, 0, 0.2, NAN, NAN}};
        double constant = 9.2, rms = 0;
        FitQuality joint;
        ASSERT_TRUE(FitWeightedSinesTogether(c.t.data(), c.y.data(), w, n, c.t[100], components, constant, rms, joint));
        // The fixed-frequency fit at the joint fit's frequency, from another
        // reference time: the same sine, the same covariance.
        SineFit fit;
        FitQuality quality;
        ASSERT_TRUE(FitWeightedSine(c.t.data(), c.y.data(), w, n, components[0].frequency, c.t[0], fit, quality));
        PeakErrors errors;
        ASSERT_TRUE(SinePeakErrors(c.t.data(), c.y.data(), w, n, fit, errors));
        EXPECT_NEAR(errors.frequencyError / components[0].frequencyError, 1, 1e-6);
        EXPECT_NEAR(errors.amplitudeError / components[0].amplitudeError, 1, 1e-6);
        EXPECT_NEAR(errors.periodError, errors.frequencyError * 8.8 * 8.8, 0.01 * errors.periodError);
        EXPECT_EQ(errors.quality.degreesOfFreedom, n - 4);
        EXPECT_NEAR(errors.quality.chiSquare, joint.chiSquare, 1e-9 * joint.chiSquare);
    }
}

TEST(PeakErrors, FollowTheSpreadOfTheTimesNotTheSpan)
{
    // Even noise: the covariance's period error is the old formula with the
    // span replaced by sqrt(12) std(t).  Times crowded at both ends of the
    // span (spread above span / sqrt(12)) and bunched in one season with a
    // stray one years later (far below) tell the two formulas apart.
    struct Case {
        const char *name;
        double (*time)(int i, int n);
    };
    const Case cases[] = {
        {"even", [](int i, int n) { return 50000 + 400.0 * i / (n - 1); }},
        {"ends", [](int i, int n) { return 50000 + (i < n / 2 ? 0.1 * i : 400 - 0.1 * (n - i)); }},
        {"bunched", [](int i, int n) { return i == n - 1 ? 52000.0 : 50000 + 0.5 * i; }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const int n = 200;
        std::mt19937 generator(11);
        std::normal_distribution<double> gauss(0, 0.05);
        std::vector<double> t, y;
        for (int i = 0; i < n; ++i) {
            t.push_back(k.time(i, n) + 0.37 * std::sin(i * 1.7));
            y.push_back(7 + 0.4 * std::cos(2 * Pi * t.back() / 2.7) + gauss(generator));
        }
        SineFit fit;
        FitQuality quality;
        ASSERT_TRUE(FitWeightedSine(t.data(), y.data(), nullptr, n, 1 / 2.7, t[0], fit, quality));
        PeakErrors errors;
        ASSERT_TRUE(SinePeakErrors(t.data(), y.data(), nullptr, n, fit, errors));
        const double spread = TimesSpread(t.data(), nullptr, n);
        const double fromSpread = PeriodErrorFromTimeSpread(2.7, fit.residualRms, n, fit.amplitude, spread);
        EXPECT_NEAR(errors.periodError / fromSpread, 1, 0.1);
        const double span = t[n - 1] - t[0];
        const double fromSpan = PeriodError(2.7, fit.residualRms, n, fit.amplitude, span);
        EXPECT_NEAR(fromSpan / fromSpread, std::sqrt(12.0) * spread / span, 1e-12);
    }
    // The weighted spread of the times: the weights pull the mean.
    const double t[] = {0, 10, 10};
    const double w[] = {2, 1, 1};
    EXPECT_DOUBLE_EQ(TimesVariance(t, w, 3), 25);
    EXPECT_DOUBLE_EQ(TimesVariance(t, nullptr, 3), 200.0 / 9);
    EXPECT_DOUBLE_EQ(WeightedMean(t, w, 3), 5);
}

} // namespace
