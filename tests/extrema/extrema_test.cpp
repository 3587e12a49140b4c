// The extrema library: the timings of one extremum, the search over the
// data, the O-C fits and their table; simulations of made-up eclipsing
// binaries and Mira-like maxima that check the errors against the scatter;
// and the maxima of two real Miras.
#include "extrema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// --- made-up eclipsing binary ---------------------------------------------

// Minima at T0 + P0 E + Q E^2: the period grows by 2Q per cycle, dP/dt = 2Q / P0.
const double P0 = 0.8, T0 = 55000.0, Q = 5e-10;
const double Depth = 0.7, HalfDuration = 0.04, Noise = 0.012;

double TrueMinimum(long e) { return T0 + P0 * e + Q * (double)e * e; }
double TruePeriodChange() { return 2 * Q / P0; }

// A detached binary's primary eclipse with a rounded bottom, outside it 10 mag.
double EclipseMagnitude(double x)
{
    const double u = x / HalfDuration;
    return 10.0 + (std::fabs(u) < 1 ? Depth * std::pow(1 - u * u, 1.5) : 0.0);
}

struct EclipsingData {
    std::vector<double> t, y;
    std::vector<long> cycles;  // the minima observed on both branches
    std::vector<long> partial; // those seen on the descending branch only
};

// 'minima' nights over a minimum at random cycles 0..6000, each starting and
// ending at random distances from the minimum, with a cadence of 1.5 min
// +-50 %, a fifth of the points lost, now and then a cloud gap of a tenth
// of the eclipse, Gaussian noise of 0.012 mag; 'partial' nights that end
// before the minimum; half the nights followed by an out-of-eclipse run.
EclipsingData MakeEclipsingData(unsigned seed, int minima, int partial)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> noise(0, Noise);
    EclipsingData d;
    std::vector<long> cycles;
    while ((int)cycles.size() < minima + partial) {
        const long e = (long)(uniform(rng) * 6000);
        bool near = false;
        for (long c : cycles) near = near || std::labs(c - e) < 3;
        if (!near) cycles.push_back(e);
    }
    for (size_t k = 0; k < cycles.size(); ++k) {
        const long e = cycles[k];
        const bool isPartial = (int)k >= minima;
        const double minimum = TrueMinimum(e);
        const double start = -HalfDuration * (0.9 + 0.7 * uniform(rng));
        const double end = isPartial ? -0.3 * HalfDuration : HalfDuration * (0.9 + 0.7 * uniform(rng));
        double gapStart = 1e9, gapEnd = -1e9;
        if (uniform(rng) < 0.3) {
            gapStart = start + (end - start) * uniform(rng);
            gapEnd = gapStart + 0.2 * HalfDuration;
        }
        for (double x = start; x <= end; x += 0.0015 * (0.5 + uniform(rng))) {
            if (uniform(rng) < 0.2 || (x > gapStart && x < gapEnd)) continue;
            d.t.push_back(minimum + x);
            d.y.push_back(EclipseMagnitude(x) + noise(rng));
        }
        (isPartial ? d.partial : d.cycles).push_back(e);
        if (uniform(rng) < 0.5) {
            const double phase = 0.25 + 0.5 * uniform(rng);
            for (double x = 0; x < 0.1; x += 0.003) {
                d.t.push_back(minimum + phase * P0 + x);
                d.y.push_back(10.0 + noise(rng));
            }
        }
    }
    return d;
}

ExtremaSearch SearchMinima(const EclipsingData &d, const TimingOptions &options)
{
    return FindExtrema(d.t.data(), d.y.data(), nullptr, (int)d.t.size(), MinimumBrightness, P0, true, T0, options);
}

double Rms(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v) s += x * x;
    return std::sqrt(s / v.size());
}

double Mean(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v) s += x;
    return s / v.size();
}

double Sd(const std::vector<double> &v)
{
    const double m = Mean(v);
    double s = 0;
    for (double x : v) s += (x - m) * (x - m);
    return std::sqrt(s / (v.size() - 1));
}

// --- a Mira-like maximum ------------------------------------------------

// Brighter by 1.8 mag at phase 0 with a second harmonic that makes the rise
// steeper than the decline.
HarmonicCurve MiraCurve()
{
    HarmonicCurve c;
    c.period = 400;
    c.epoch = 50000;
    c.constant = 9.5;
    c.cosines = {-1.8, -0.35 * std::cos(0.8)};
    c.sines = {0, -0.35 * std::sin(0.8)};
    return c;
}

// --- real data ------------------------------------------------------------

void ReadJulianDateFile(const std::string &name, std::vector<double> &t, std::vector<double> &y)
{
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    double a, b;
    while (in >> a >> b) {
        t.push_back(a);
        y.push_back(b);
    }
}

}  // namespace

// --- one extremum ---------------------------------------------------------

// Noise-free symmetric dips and bumps, evenly and unevenly sampled, the
// centre anywhere in the window: Kwee and van Woerden find the centre.
TEST(KweeVanWoerden, FindsTheCentreOfSymmetry)
{
    struct Case {
        const char *name;
        ExtremumKind kind;
        double centre;     // of the dip, relative to the window's middle
        bool uneven;
    } cases[] = {
        {"even, centred", MinimumBrightness, 0.0, false},
        {"even, off centre", MinimumBrightness, 0.011, false},
        {"uneven, off centre", MinimumBrightness, -0.017, true},
        {"uneven bump", MaximumBrightness, 0.006, true},
    };
    for (const Case &c : cases) {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> u(0.3, 1.7);
        std::vector<double> t, y;
        for (double x = -0.1; x <= 0.1; x += c.uneven ? 0.002 * u(rng) : 0.002) {
            t.push_back(60000 + x);
            const double m = EclipseMagnitude(x - c.centre);
            y.push_back(c.kind == MinimumBrightness ? m : 20 - m);
        }
        const ExtremumTiming r = TimeByKweeVanWoerden(t.data(), y.data(), (int)t.size(), c.kind, 50, 1);
        ASSERT_EQ(r.status, ExtremaOk) << c.name;
        EXPECT_NEAR(r.time, 60000 + c.centre, 1e-5) << c.name;
        EXPECT_EQ(r.method, TimingKweeVanWoerden);
        EXPECT_LT(r.error, 5e-5) << c.name;
    }
}

TEST(KweeVanWoerden, RefusesTooFewPointsAndTheOtherKind)
{
    std::vector<double> t, y;
    for (double x = -0.05; x <= 0.05; x += 0.002) {
        t.push_back(x);
        y.push_back(EclipseMagnitude(x));
    }
    EXPECT_EQ(TimeByKweeVanWoerden(t.data(), y.data(), (int)t.size(), MaximumBrightness, 0, 1).status,
              ExtremaWrongKind);
    EXPECT_EQ(TimeByKweeVanWoerden(t.data(), y.data(), 4, MinimumBrightness, 0, 1).status, ExtremaTooFewPoints);
    EXPECT_EQ(TimeByKweeVanWoerden(t.data(), y.data(), (int)t.size(), MinimumBrightness, -1, 1).status,
              ExtremaBadTrials);
}

// The polynomial's extremum of an exact polynomial light curve, and its
// refusals.
TEST(Polynomial, FindsTheExtremumOfTheAskedKind)
{
    std::vector<double> t, y;
    // Brightest (smallest magnitude) at 100.3; a cubic term for asymmetry;
    // a local maximum of magnitude lies outside the points.
    for (int i = 0; i <= 12; ++i) {
        const double x = 90 + 2 * i, d = x - 100.3;
        t.push_back(x);
        y.push_back(8 + 0.01 * d * d + 0.0002 * d * d * d);
    }
    for (int degree : {3, 4}) {
        const ExtremumTiming r =
            TimeByPolynomial(t.data(), y.data(), nullptr, (int)t.size(), MaximumBrightness, degree, 101);
        ASSERT_EQ(r.status, ExtremaOk) << degree;
        EXPECT_NEAR(r.time, 100.3, 1e-6) << degree;
        EXPECT_NEAR(r.magnitude, 8, 1e-9);
        EXPECT_EQ(r.errorSource, ErrorFromCovariance);
    }
    EXPECT_EQ(TimeByPolynomial(t.data(), y.data(), nullptr, (int)t.size(), MinimumBrightness, 2, 101).status,
              ExtremaNoExtremumInWindow);
    EXPECT_EQ(TimeByPolynomial(t.data(), y.data(), nullptr, (int)t.size(), MaximumBrightness, 5, 101).status,
              ExtremaBadDegree);
    EXPECT_EQ(TimeByPolynomial(t.data(), y.data(), nullptr, 6, MaximumBrightness, 3, 101).status,
              ExtremaTooFewPoints);
    std::vector<double> sigma(t.size(), 0.05);
    sigma[3] = 0;
    EXPECT_EQ(TimeByPolynomial(t.data(), y.data(), sigma.data(), (int)t.size(), MaximumBrightness, 3, 101).status,
              ExtremaBadObservations);
}

TEST(HarmonicCurve, ShiftedCurveGivesTheShiftedExtremum)
{
    const HarmonicCurve curve = MiraCurve();
    const double maximum = HarmonicCurveExtremum(curve, MaximumBrightness, 50000);
    const double minimum = HarmonicCurveExtremum(curve, MinimumBrightness, 50000);
    EXPECT_LT(HarmonicCurveMagnitude(curve, maximum), HarmonicCurveMagnitude(curve, maximum + 1));
    EXPECT_LT(HarmonicCurveMagnitude(curve, maximum), HarmonicCurveMagnitude(curve, maximum - 1));
    EXPECT_GT(HarmonicCurveMagnitude(curve, minimum), HarmonicCurveMagnitude(curve, minimum + 1));
    std::vector<double> t, y;
    for (double x = maximum - 40; x <= maximum + 40; x += 7) {
        t.push_back(x);
        y.push_back(HarmonicCurveMagnitude(curve, x - 6.5) + 0.2);  // 6.5 days late, 0.2 mag fainter
    }
    const ExtremumTiming r =
        TimeByHarmonicCurve(t.data(), y.data(), nullptr, (int)t.size(), curve, MaximumBrightness, maximum, 50);
    ASSERT_EQ(r.status, ExtremaOk);
    EXPECT_NEAR(r.time, maximum + 6.5, 1e-6);
    HarmonicCurve none;
    EXPECT_EQ(TimeByHarmonicCurve(t.data(), y.data(), nullptr, (int)t.size(), none, MaximumBrightness, maximum, 50)
                  .status,
              ExtremaNoCurve);
}

// The refusals of timing one window, with their texts.
TEST(TimeExtremum, Refusals)
{
    std::vector<double> t, y;
    for (int i = 0; i <= 50; ++i) {
        const double x = -0.05 + 0.002 * i;
        t.push_back(100 + x);
        y.push_back(EclipseMagnitude(x));
    }
    const int n = (int)t.size();
    TimingOptions options;
    struct Case {
        const char *name;
        double centre, width;
        TimingOptions options;
        ExtremaStatus expected;
    } cases[] = {
        {"a window without points", 101, 0.2, options, ExtremaEmptyWindow},
        {"only two points after the centre", 100.047, 0.2, options, ExtremaTooFewPoints},
        {"no width", 100, 0, options, ExtremaBadWindow},
        {"degree 1", 100, 0.2, [] { TimingOptions o; o.polynomialDegree = 1; return o; }(), ExtremaBadDegree},
        {"no point asked on a side", 100, 0.2, [] { TimingOptions o; o.minimumPerSide = 0; return o; }(),
         ExtremaBadMinimumPerSide},
        {"harmonic without a curve", 100, 0.2,
         [] { TimingOptions o; o.method = TimingHarmonicCurve; return o; }(), ExtremaNoCurve},
    };
    for (const Case &c : cases) {
        const ExtremumTiming r = TimeExtremum(t.data(), y.data(), nullptr, n, MinimumBrightness, c.centre, c.width,
                                              c.options);
        EXPECT_EQ(r.status, c.expected) << c.name;
        EXPECT_STRNE(ExtremaStatusText(r.status), "") << c.name;
    }
    EXPECT_STREQ(ExtremaStatusText(ExtremaEmptyWindow), "the window around the extremum holds no observations");
    const ExtremumTiming late = TimeExtremum(t.data(), y.data(), nullptr, n, MinimumBrightness, 100.047, 0.2, options);
    EXPECT_EQ(late.after, 2);
    EXPECT_EQ(late.before, 49);
    y[5] = NAN;
    EXPECT_EQ(TimeExtremum(t.data(), y.data(), nullptr, n, MinimumBrightness, 100, 0.2, options).status,
              ExtremaBadObservations);
}

TEST(TimeExtremum, AutomaticChoiceFollowsTheCoverage)
{
    struct Case {
        const char *name;
        double spacing;
        double gapFrom, gapTo;  // observations left out, relative to the centre
        TimingMethod expected;
    } cases[] = {
        {"dense", 0.002, 0, 0, TimingKweeVanWoerden},
        {"sparse", 0.02, 0, 0, TimingPolynomial},
        {"dense with a wide gap", 0.002, 0.01, 0.05, TimingPolynomial},
    };
    TimingOptions options;
    for (const Case &c : cases) {
        std::vector<double> t;
        for (double x = -0.1; x <= 0.1; x += c.spacing)
            if (!(x > c.gapFrom && x < c.gapTo)) t.push_back(x);
        EXPECT_EQ(ChooseTimingMethod(t.data(), (int)t.size(), 0, 0.2, options), c.expected) << c.name;
    }
    options.method = TimingPolynomial;
    std::vector<double> t;
    for (double x = -0.1; x <= 0.1; x += 0.002) t.push_back(x);
    EXPECT_EQ(ChooseTimingMethod(t.data(), (int)t.size(), 0, 0.2, options), TimingPolynomial);
    EXPECT_EQ(ChoosePolynomialDegree(9, TimingOptions()), 2);
    EXPECT_EQ(ChoosePolynomialDegree(10, TimingOptions()), 3);
}

// --- the search -------------------------------------------------------------

TEST(FindExtrema, PredictedTimesAndTheDataEpoch)
{
    const std::vector<PredictedExtremum> p = PredictExtrema(10.0, 2.5, 11, 20);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].cycle, 1);
    EXPECT_DOUBLE_EQ(p[0].time, 12.5);
    EXPECT_EQ(p[3].cycle, 4);
    EXPECT_DOUBLE_EQ(p[3].time, 20);
    EXPECT_TRUE(PredictExtrema(10, 0, 11, 20).empty());

    const EclipsingData d = MakeEclipsingData(5, 20, 0);
    double epoch = 0;
    ASSERT_EQ(EpochFromData(d.t.data(), d.y.data(), (int)d.t.size(), P0, MinimumBrightness, 0.1, epoch), ExtremaOk);
    const double cycles = (epoch - T0) / P0;
    EXPECT_NEAR(cycles - std::round(cycles), 0, 0.02) << "the epoch falls on a primary minimum";
}

TEST(FindExtrema, Refusals)
{
    const EclipsingData d = MakeEclipsingData(6, 5, 0);
    const int n = (int)d.t.size();
    TimingOptions options;
    EXPECT_EQ(FindExtrema(d.t.data(), d.y.data(), nullptr, n, MinimumBrightness, 0, true, T0, options).status,
              ExtremaNoPeriod);
    EXPECT_EQ(FindExtrema(d.t.data(), d.y.data(), nullptr, n, MinimumBrightness, NAN, true, T0, options).status,
              ExtremaNoPeriod);
    EXPECT_STREQ(ExtremaStatusText(ExtremaNoPeriod), "no period: timing extrema needs a period greater than zero");
    // Windows half a period away from every minimum hold only the
    // out-of-eclipse runs or nothing: no minimum is timed.
    const ExtremaSearch off =
        FindExtrema(d.t.data(), d.y.data(), nullptr, n, MinimumBrightness, P0, true, T0 + 0.5 * P0, options);
    EXPECT_EQ(off.status, ExtremaNoneTimed);
    EXPECT_GT(off.emptyWindows, 1000);
    options.windowShare = 1.5;
    EXPECT_EQ(FindExtrema(d.t.data(), d.y.data(), nullptr, n, MinimumBrightness, P0, true, T0, options).status,
              ExtremaBadWindow);
}

// One made-up binary: every minimum seen on both branches is timed within
// three of its own errors of the truth, the nights that end before the
// minimum are skipped as too few on one side, and the run repeats exactly.
TEST(FindExtrema, MadeUpEclipsingBinary)
{
    const EclipsingData d = MakeEclipsingData(1000, 30, 2);
    const ExtremaSearch s = SearchMinima(d, TimingOptions());
    ASSERT_EQ(s.status, ExtremaOk);
    ASSERT_EQ(s.found.size(), d.cycles.size());
    for (const FoundExtremum &f : s.found) {
        EXPECT_EQ(f.timing.method, TimingKweeVanWoerden);
        EXPECT_EQ(f.timing.errorSource, ErrorFromScatter);
        EXPECT_LT(std::fabs(f.timing.time - TrueMinimum(f.cycle)), 3 * f.timing.error) << "cycle " << f.cycle;
    }
    ASSERT_EQ(s.skipped.size(), d.partial.size());
    for (const SkippedExtremum &k : s.skipped) {
        EXPECT_EQ(k.reason, ExtremaTooFewPoints);
        EXPECT_LT(k.after, 3);
    }
    const ExtremaSearch again = SearchMinima(d, TimingOptions());
    for (size_t i = 0; i < s.found.size(); ++i) {
        EXPECT_EQ(again.found[i].timing.time, s.found[i].timing.time);
        EXPECT_EQ(again.found[i].timing.error, s.found[i].timing.error);
    }

    // The O-C of these minima: dP/dt within its error of the truth, and
    // the quadratic term significant.
    const OCAnalysis a = AnalyseOC(OCInputsOf(s), Ephemeris{T0, P0});
    ASSERT_EQ(a.status, ExtremaOk);
    ASSERT_EQ(a.quadratic.status, ExtremaOk);
    EXPECT_LT(std::fabs(a.quadratic.periodChange - TruePeriodChange()), a.quadratic.periodChangeError);
    EXPECT_TRUE(a.quadratic.hasFTest);
    EXPECT_TRUE(a.quadratic.significant);
    EXPECT_LT(a.quadratic.probability, 1e-6);
    EXPECT_NEAR(a.quadratic.periodChangeSecondsPerYear, a.quadratic.periodChange * 86400 * 365.25, 1e-12);
}

// Many made-up binaries: the minima's main errors and the errors of dP/dt
// against their scatter; the published error comes out smaller.
TEST(Simulation, EclipsingBinaryErrorsMatchTheScatter)
{
    TimingOptions options;
    options.trials = 50;
    std::vector<double> z, zFormula, change, changeError;
    for (unsigned r = 0; r < 60; ++r) {
        const EclipsingData d = MakeEclipsingData(2000 + r, 20, 0);
        const ExtremaSearch s = SearchMinima(d, options);
        ASSERT_EQ(s.found.size(), d.cycles.size());
        for (const FoundExtremum &f : s.found) {
            z.push_back((f.timing.time - TrueMinimum(f.cycle)) / f.timing.error);
            zFormula.push_back((f.timing.time - TrueMinimum(f.cycle)) / f.timing.formulaError);
        }
        const OCAnalysis a = AnalyseOC(OCInputsOf(s), Ephemeris{T0, P0});
        ASSERT_EQ(a.quadratic.status, ExtremaOk);
        change.push_back(a.quadratic.periodChange);
        changeError.push_back(a.quadratic.periodChangeError);
    }
    const double minimaRatio = Rms(z), formulaRatio = Rms(zFormula);
    const double changeRatio = Sd(change) / Mean(changeError);
    std::printf("minima: scatter / main error %.3f, / published error %.3f (%zu minima)\n", minimaRatio,
                formulaRatio, z.size());
    std::printf("dP/dt: scatter / mean error %.3f, mean %.4g, truth %.4g\n", changeRatio, Mean(change),
                TruePeriodChange());
    EXPECT_GT(minimaRatio, 0.7);
    EXPECT_LT(minimaRatio, 1.4);
    EXPECT_GT(changeRatio, 0.7);
    EXPECT_LT(changeRatio, 1.4);
    EXPECT_GT(formulaRatio, minimaRatio);
    EXPECT_LT(std::fabs(Mean(change) - TruePeriodChange()), 3 * Sd(change) / std::sqrt(change.size()));
}

// Sparse Mira-like maxima (about ten points a window, 10-day spacing,
// 0.1 mag noise): the polynomial's and the shifted curve's errors against
// their scatter.
TEST(Simulation, SparseMaximaErrorsMatchTheScatter)
{
    const HarmonicCurve curve = MiraCurve();
    const double maximum = HarmonicCurveExtremum(curve, MaximumBrightness, 50000);
    for (TimingMethod method : {TimingPolynomial, TimingHarmonicCurve}) {
        TimingOptions options;
        options.method = method;
        options.curve = curve;
        std::vector<double> z;
        std::mt19937_64 rng(11);
        std::uniform_real_distribution<double> u(0, 1);
        std::normal_distribution<double> noise(0, 0.1);
        for (int r = 0; r < 1000; ++r) {
            const double truth = maximum + 20 * (u(rng) - 0.5);
            const double centre = truth + 10 * (u(rng) - 0.5);
            std::vector<double> t, y;
            for (double x = centre - 50 + 10 * u(rng); x <= centre + 50; x += 10 * (0.7 + 0.6 * u(rng))) {
                t.push_back(x);
                y.push_back(HarmonicCurveMagnitude(curve, x - (truth - maximum)) + noise(rng));
            }
            const ExtremumTiming e =
                TimeExtremum(t.data(), y.data(), nullptr, (int)t.size(), MaximumBrightness, centre, 100, options);
            ASSERT_EQ(e.status, ExtremaOk);
            z.push_back((e.time - truth) / e.error);
        }
        std::printf("%s: scatter / error %.3f\n", TimingMethodName(method), Rms(z));
        EXPECT_GT(Rms(z), 0.7) << TimingMethodName(method);
        EXPECT_LT(Rms(z), 1.4) << TimingMethodName(method);
    }
}

// --- O-C ----------------------------------------------------------------------

TEST(OC, ExactLinearEphemerisIsRecovered)
{
    // True ephemeris 1000.3 + 2.0004 E; the given one is 1000 + 2 E.
    std::vector<OCInput> in;
    for (long e : {0L, 3L, 10L, 11L, 25L})
        in.push_back({1000.3 + 2.0004 * e, 0.01, TimingPolynomial});
    const OCAnalysis a = AnalyseOC(in, Ephemeris{1000, 2});
    ASSERT_EQ(a.status, ExtremaOk);
    ASSERT_EQ(a.rows.size(), 5u);
    EXPECT_EQ(a.rows[2].cycle, 10);
    EXPECT_NEAR(a.rows[2].oc, 0.3 + 0.004, 1e-9);
    EXPECT_NEAR(a.linear.epoch, 1000.3, 1e-9);
    EXPECT_NEAR(a.linear.period, 2.0004, 1e-11);
    EXPECT_NEAR(a.linear.chiSquare, 0, 1e-12);
    EXPECT_FALSE(a.linear.errorsScaled);
    EXPECT_NEAR(a.quadratic.c, 0, 1e-12);
    EXPECT_FALSE(a.quadratic.significant);
}

TEST(OC, Refusals)
{
    const std::vector<OCInput> one = {{100, 0.01, TimingKweeVanWoerden}};
    const std::vector<OCInput> sameCycle = {{100, 0.01, TimingKweeVanWoerden}, {100.1, 0.01, TimingKweeVanWoerden}};
    const std::vector<OCInput> two = {{100, 0.01, TimingKweeVanWoerden}, {110, 0.01, TimingKweeVanWoerden}};
    const std::vector<OCInput> badError = {{100, 0.01, TimingKweeVanWoerden}, {110, 0, TimingKweeVanWoerden}};
    struct Case {
        const char *name;
        std::vector<OCInput> in;
        Ephemeris ephemeris;
        double level;
        ExtremaStatus expected;
    } cases[] = {
        {"a single extremum", one, {100, 10}, 0.01, ExtremaSingleExtremum},
        {"no extremum", {}, {100, 10}, 0.01, ExtremaNoneTimed},
        {"one cycle", sameCycle, {100, 10}, 0.01, ExtremaOneCycle},
        {"no period", two, {100, 0}, 0.01, ExtremaNoPeriod},
        {"a zero error", badError, {100, 10}, 0.01, ExtremaBadTimeError},
        {"level 1", two, {100, 10}, 1, ExtremaBadLevel},
    };
    for (const Case &c : cases) EXPECT_EQ(AnalyseOC(c.in, c.ephemeris, c.level).status, c.expected) << c.name;
    EXPECT_STREQ(ExtremaStatusText(ExtremaSingleExtremum), "a single extremum: an O-C fit needs at least two");
    const OCAnalysis a = AnalyseOC(two, {100, 10});
    EXPECT_EQ(a.status, ExtremaOk);
    EXPECT_EQ(a.quadratic.status, ExtremaTooFewForQuadratic);
}

// O-C of Gaussian errors without a period change: the linear fit's period
// error matches the scatter, and the 1 % F test is passed 1 % of the time.
TEST(Simulation, OCFitsWithoutAPeriodChange)
{
    std::mt19937_64 rng(21);
    std::normal_distribution<double> gauss(0, 1);
    std::uniform_real_distribution<double> u(0.5, 2);
    const int runs = 4000;
    int significant = 0;
    std::vector<double> periodZ;
    for (int r = 0; r < runs; ++r) {
        std::vector<OCInput> in;
        for (int e = 0; e < 400; e += 20) {
            const double error = 0.002 * u(rng);
            in.push_back({3000 + 1.7 * e + error * gauss(rng), error, TimingKweeVanWoerden});
        }
        const OCAnalysis a = AnalyseOC(in, Ephemeris{3000, 1.7});
        ASSERT_TRUE(a.quadratic.hasFTest);
        significant += a.quadratic.significant;
        periodZ.push_back((a.linear.period - 1.7) / a.linear.periodError);
    }
    std::printf("F test at 1 %%: %d of %d significant; period scatter / error %.3f\n", significant, runs,
                Rms(periodZ));
    EXPECT_GE(significant, 22);  // 40 expected, sd 6.3
    EXPECT_LE(significant, 60);
    EXPECT_NEAR(Rms(periodZ), 1, 0.05);
}

TEST(OC, TableFormat)
{
    const std::vector<OCInput> in = {{55000.123456, 0.000321, TimingKweeVanWoerden},
                                     {55008.12, 0.0012, TimingPolynomial},
                                     {54990.5, 0.5, TimingHarmonicCurve}};
    const OCAnalysis a = AnalyseOC(in, Ephemeris{55000, 0.8});
    EXPECT_EQ(FormatOCTable(a),
              "#      E           time      error         O-C method\n"
              "     -12   54990.500000   0.500000   +0.100000 harmonic\n"
              "       0   55000.123456   0.000321   +0.123456 kvw\n"
              "      10   55008.120000   0.001200   +0.120000 polynomial\n");
}

// --- real Miras ---------------------------------------------------------------

// The brightness maxima of T Cas (10-day means, about 445 d) and S Ori
// (single estimates with seasonal gaps, about 420 d) against the linear
// ephemeris their own times give: residuals consistent with the errors,
// and a period change that the F test does not find significant.
TEST(RealMiras, MaximaAgainstTheirLinearEphemeris)
{
    struct Case {
        const char *file;
        double period;
        size_t atLeast;
    } cases[] = {{"tcas.jud", 445, 7}, {"sori.jud", 420, 4}};
    for (const Case &c : cases) {
        std::vector<double> t, y;
        ReadJulianDateFile(c.file, t, y);
        ASSERT_GT(t.size(), 300u) << c.file;
        const ExtremaSearch s = FindExtrema(t.data(), y.data(), nullptr, (int)t.size(), MaximumBrightness, c.period,
                                            false, 0, TimingOptions());
        ASSERT_EQ(s.status, ExtremaOk) << c.file;
        EXPECT_GE(s.found.size(), c.atLeast) << c.file;
        const OCAnalysis a = AnalyseOC(OCInputsOf(s), EphemerisFromFirst(s));
        ASSERT_EQ(a.status, ExtremaOk) << c.file;
        std::printf("%s: %zu maxima, %zu skipped; P = %.2f +- %.2f d; linear chi2/dof = %.2f (%d dof)%s; "
                    "dP/dt = %.4f +- %.4f, F = %.2f, p = %.3f: %s\n",
                    c.file, s.found.size(), s.skipped.size(), a.linear.period, a.linear.periodError,
                    a.linear.reducedChiSquare, a.linear.degreesOfFreedom,
                    a.linear.errorsScaled ? " (errors scaled)" : "", a.quadratic.periodChange,
                    a.quadratic.periodChangeError, a.quadratic.fValue, a.quadratic.probability,
                    a.quadratic.significant ? "significant" : "not significant");
        EXPECT_GT(a.linear.reducedChiSquare, 0.3) << c.file;
        EXPECT_LT(a.linear.reducedChiSquare, 2.0) << c.file;
        for (const OCRow &r : a.rows) EXPECT_LT(std::fabs(r.linearResidual), 3 * r.error) << c.file << " E " << r.cycle;
        ASSERT_TRUE(a.quadratic.hasFTest) << c.file;
        EXPECT_FALSE(a.quadratic.significant) << c.file;
        EXPECT_EQ(a.quadratic.significant, a.quadratic.probability < 0.01);
    }
}
