// The engine with a period-search method other than the one-sine
// spectrum: the period each method finds on delta Cep and on made-up
// eclipsing binaries, the fold's harmonic shape, what the pass hands to
// the hooks, refusals, and the false alarm of the analysis of variance on
// noise.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine.h"
#include "made_up.h"
#include "methodpass.h"
#include "writtenreport.h"

namespace {

LightCurve CurveOf(const Observations &obs)
{
    LightCurve c;
    c.file = "made-up";
    c.time = obs.t;
    c.magnitude = obs.y;
    return c;
}

AnalysisSettings Settings(double pmin, double pmax, long intervals, const std::string &method)
{
    AnalysisSettings s;
    s.minimumPeriod = pmin;
    s.maximumPeriod = pmax;
    s.intervals = intervals;
    s.method = method;
    s.threads = 1;
    return s;
}

AnalysisOutcome Analyse(const LightCurve &curve, const AnalysisSettings &s)
{
    AnalysisOutcome outcome = AnalyseLightCurve(curve, s);
    EXPECT_TRUE(outcome.ok) << outcome.error.english;
    return outcome;
}

TEST(MethodPass, DeltaCepheiStrongestPeakAtItsPeriod)
{
    const LightCurve curve = CurveOf(DeltaCepheiTable());
    for (const char *method : {"harmonics:3", "aov:3", "pdm:10", "bls"}) {
        SCOPED_TRACE(method);
        AnalysisSettings s = Settings(1.5, 8, 800, method);
        s.peaks = 2;
        const AnalysisOutcome o = Analyse(curve, s);
        ASSERT_FALSE(o.report.peaks.empty());
        EXPECT_NEAR(o.report.peaks[0].period, 5.3663, 0.002);
        EXPECT_EQ(o.report.method, method);
    }
}

TEST(MethodPass, DeltaCepheiFoldShapeIsACepheid)
{
    const LightCurve curve = CurveOf(DeltaCepheiTable());
    struct Case {
        const char *method;
        int foldHarmonics;
    } cases[] = {{"aov:3", 0}, {"harmonics:3", 0}, {"dcdft", 3}, {"bls", 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method);
        AnalysisSettings s = Settings(4, 7, 1000, c.method);
        s.fold = s.foldAtBest = true;
        s.peaks = 1;
        s.foldHarmonics = c.foldHarmonics;
        const AnalysisOutcome o = Analyse(curve, s);
        const FoldReport &f = o.report.fold;
        ASSERT_TRUE(f.hasShape);
        EXPECT_EQ(f.harmonics, 3);
        EXPECT_NEAR(f.r21, 0.39, 0.03);
        EXPECT_NEAR(f.r31, 0.14, 0.03);
        EXPECT_NEAR(f.phi21Sine, 2.795, 0.05);
        EXPECT_NEAR(f.phi21Cosine, 4.366, 0.05);
        EXPECT_NEAR(std::remainder(f.phi21Cosine - f.phi21Sine - M_PI / 2, 2 * M_PI), 0, 1e-9);
        // A Cepheid rises in about a third of its period or less.
        EXPECT_GT(f.riseTime, 0.2);
        EXPECT_LT(f.riseTime, 0.4);
        EXPECT_GT(f.fullAmplitude, 0.4);
        EXPECT_LT(f.fullAmplitude, 0.7);
    }
}

// The fold's curve, counted in phase from the fold's epoch, is the very
// harmonic fit of the methods library at the observations' times.
TEST(MethodPass, FoldCurveInPhaseIsTheHarmonicFit)
{
    const Observations obs = Pulsator(7, 3.17, false);
    AnalysisSettings s = Settings(2, 5, 2000, "harmonics:3");
    s.fold = true;
    s.foldPeriod = 3.17;
    const AnalysisOutcome o = Analyse(CurveOf(obs), s);
    const FoldReport &f = o.report.fold;
    ASSERT_TRUE(f.hasShape);
    MethodData data;
    ASSERT_EQ(PrepareMethodData(obs.t.data(), obs.y.data(), nullptr, static_cast<int>(obs.t.size()), data),
              MethodOk);
    HarmonicFit fit;
    ASSERT_EQ(FitHarmonics(data, 1 / 3.17, 3, fit), MethodOk);
    for (std::size_t i = 0; i < obs.t.size(); i += 37) {
        const double phase = (obs.t[i] - f.epoch) / f.period;
        double value = f.shapeConstant;
        for (int k = 1; k <= 3; ++k)
            value += f.shapeCosines[k - 1] * std::cos(2 * M_PI * k * phase) +
                     f.shapeSines[k - 1] * std::sin(2 * M_PI * k * phase);
        EXPECT_NEAR(value, HarmonicFitValue(fit, obs.t[i]), 1e-9);
    }
    // The made-up pulsator: A2 / A1 = 0.15 / 0.35, phi21 = 0.3 - 2 (mod 2 pi).
    EXPECT_NEAR(f.r21, 0.15 / 0.35, 0.03);
    EXPECT_NEAR(f.phi21Sine, 0.3 - 2 + 2 * M_PI, 0.1);
}

// Flat light with 0.5 and 0.2 mag dips 0.1 in phase wide: the box search
// and phase dispersion of 20 bins find the true period, one sine half of
// it.  Phase dispersion of 10 bins finds half the period too: a bin of 0.1
// in phase is as wide as the eclipses, so at the true period each dip
// spreads over the bins it straddles, while at half the period both dips
// fall on one another into the same bins and the binned variance is hardly
// larger.
TEST(MethodPass, EclipsingBinariesAtTheirTruePeriod)
{
    struct Case {
        unsigned seed;
        double period;
    } binaries[] = {{11, 1.873}, {13, 3.291}};
    for (const Case &b : binaries) {
        const LightCurve curve = CurveOf(EclipsingBinary(b.seed, b.period, 53010.37, 0.02));
        for (const char *method : {"bls", "pdm:10", "pdm:20", "dcdft"}) {
            SCOPED_TRACE(std::string(method) + " at " + std::to_string(b.period));
            const std::string name = method;
            AnalysisSettings s = Settings(0.8, 4, 0, method);
            if (name == "bls")
                s.durations = {0.05, 0.08, 0.1, 0.15};
            const AnalysisOutcome o = Analyse(curve, s);
            ASSERT_FALSE(o.report.peaks.empty());
            const double found = o.report.peaks[0].period;
            const double expected = name == "dcdft" ? b.period / 2 : b.period;
            EXPECT_NEAR(found, expected, 1e-3 * expected);
            // Ten bins as wide as the eclipses fold best at half the
            // period, whose even and odd cycles then differ; twenty fold
            // best at the period itself.
            const AlternateCycleReport &a = o.report.alternateCycles;
            EXPECT_EQ(a.tested, name.compare(0, 3, "pdm") == 0);
            EXPECT_EQ(a.doubled, name == "pdm:10");
            if (name == "pdm:10") {
                EXPECT_NEAR(a.period, b.period / 2, 1e-3 * b.period);
                EXPECT_DOUBLE_EQ(a.probability, 1.0 / 200);
                EXPECT_EQ(a.splits, 199);
                // The half period's peak follows the doubled one.
                ASSERT_GE(o.report.peaks.size(), 2u);
                EXPECT_NEAR(o.report.peaks[1].period, b.period / 2, 1e-3 * b.period);
            }
        }
    }
}

// The harmonic methods on the even frequency grid take their sums from the
// fast transform when asked (or when cheaper) and find the same peaks; the
// folding methods have no transform and say so.
TEST(MethodPass, HarmonicMethodsOnTheFastTransform)
{
    const LightCurve curve = CurveOf(Pulsator(21, 0.6137, true));
    struct Case {
        const char *method;
        const char *fastTransform; // what the report says when the fast one is asked for
    } cases[] = {{"harmonics:3", "fast"}, {"aov:4", "fast"}, {"pdm:10", "exact"}, {"bls", "exact"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method);
        AnalysisSettings s = Settings(0.3, 3, 0, c.method);
        s.peaks = 3;
        s.transform = TransformExact;
        const AnalysisOutcome exact = Analyse(curve, s);
        s.transform = TransformFast;
        const AnalysisOutcome fast = Analyse(curve, s);
        EXPECT_EQ(exact.report.grid.transform, "exact");
        EXPECT_EQ(fast.report.grid.transform, c.fastTransform);
        ASSERT_EQ(fast.report.peaks.size(), exact.report.peaks.size());
        for (std::size_t k = 0; k < exact.report.peaks.size(); ++k) {
            EXPECT_NEAR(fast.report.peaks[k].period, exact.report.peaks[k].period, 1e-9 * exact.report.peaks[k].period);
            EXPECT_NEAR(fast.report.peaks[k].power, exact.report.peaks[k].power, 1e-9 * exact.report.peaks[k].power);
        }
    }
}

// Twice the period of the least theta beyond the longest trial period: the
// test is reported and the strongest period stays.
TEST(MethodPass, AlternateCyclesBeyondTheRange)
{
    const double period = 2.2;
    const LightCurve curve = CurveOf(EclipsingBinary(11, period, 53010.37, 0.02));
    const AnalysisOutcome o = Analyse(curve, Settings(0.8, 1.5, 0, "pdm:10"));
    const AlternateCycleReport &a = o.report.alternateCycles;
    EXPECT_TRUE(a.tested);
    EXPECT_TRUE(a.beyondRange);
    EXPECT_FALSE(a.doubled);
    EXPECT_NEAR(o.report.peaks.at(0).period, period / 2, 1e-3 * period);
    const std::string text = WrittenTextReport(o.report);
    EXPECT_NE(text.find("Alternate cycles:  differ at 1.1"), std::string::npos) << text;
    EXPECT_NE(text.find("twice that is beyond the longest trial period"), std::string::npos) << text;
}

// Stars whose cycles differ only by their own changes keep the period of
// the least theta: delta Cep and a Mira of unequal maxima (S Ori).  (How
// often chance alone doubles is the methods' simulation.)
TEST(MethodPass, AlternateCyclesAlikeForPulsators)
{
    const AnalysisOutcome cepheid = Analyse(CurveOf(DeltaCepheiTable()), Settings(3, 8, 0, "pdm:10"));
    EXPECT_FALSE(cepheid.report.alternateCycles.doubled);
    EXPECT_GT(cepheid.report.alternateCycles.probability, 0.05);
    EXPECT_NEAR(cepheid.report.peaks.at(0).period, 5.366, 0.01);
    const AnalysisOutcome mira = Analyse(CurveOf(JulianDateFile("sori.jud")), Settings(200, 700, 0, "pdm:10"));
    EXPECT_FALSE(mira.report.alternateCycles.doubled);
    EXPECT_NEAR(mira.report.peaks.at(0).period, 415, 20);
}

TEST(MethodPass, BoxOfAnEclipsingBinary)
{
    const double period = 2.414, epoch = 53010.37;
    const LightCurve curve = CurveOf(EclipsingBinary(12, period, epoch, 0.02));
    AnalysisSettings s = Settings(2, 3, 0, "bls");
    s.durations = {0.05, 0.08, 0.1, 0.12};
    const AnalysisOutcome o = Analyse(curve, s);
    const PeakReport &p = o.report.peaks.at(0);
    ASSERT_TRUE(p.hasBox);
    EXPECT_NEAR(p.boxDuration, 0.08 * period, 0.03 * period);
    EXPECT_GT(p.boxDepth, 0.25);
    EXPECT_LT(p.boxDepth, 0.5);
    // The box's middle is a primary eclipse.
    EXPECT_NEAR(PhaseDistance((p.boxMidTime - epoch) / period), 0, 0.02);
    EXPECT_TRUE(std::isnan(p.falseAlarmProbability));
}

// Each grid point's value is the method's statistic at its frequency, in the
// spectrum file's order, whatever the threads; phase dispersion's peaks
// are its least values.
TEST(MethodPass, HooksGetTheStatisticOfEveryGridPoint)
{
    const Observations obs = Pulsator(5, 1.71, false);
    const LightCurve curve = CurveOf(obs);
    MethodData data;
    ASSERT_EQ(PrepareMethodData(obs.t.data(), obs.y.data(), nullptr, static_cast<int>(obs.t.size()), data),
              MethodOk);
    for (const char *method : {"harmonics:2", "aov:4", "pdm:8", "bls"}) {
        SCOPED_TRACE(method);
        MethodChoice choice;
        ASSERT_EQ(ParseMethod(method, choice), MethodOk);
        std::string reports[2];
        for (int threads : {1, 2}) {
            AnalysisSettings s = Settings(1, 3, 4000, method);
            s.threads = threads;
            std::vector<double> periods, values;
            long begun = -1, last = 0;
            AnalysisHooks hooks;
            hooks.passBegins = [&](long points) { begun = points; };
            hooks.spectrum = [&](const double *p, const double *v, long count) {
                periods.insert(periods.end(), p, p + count);
                values.insert(values.end(), v, v + count);
            };
            hooks.progress = [&](long done, long) { last = done; };
            const AnalysisOutcome o = AnalyseLightCurve(curve, s, hooks);
            ASSERT_TRUE(o.ok);
            const long points = o.report.grid.intervals + 1;
            ASSERT_GT(points, 3000);
            ASSERT_EQ(begun, points);
            ASSERT_EQ(last, points);
            ASSERT_EQ(static_cast<long>(values.size()), points);
            // The grid's frequency is 1 / period to a rounding or two.
            for (std::size_t k = 0; k < values.size(); k += 397) {
                const double expected = MethodStatistic(data, choice, static_cast<double>(1.0L / periods[k]));
                EXPECT_NEAR(values[k], expected, 1e-7 * std::fabs(expected)) << k;
            }
            for (std::size_t j = 1; j < o.report.peaks.size(); ++j) {
                const double before = o.report.peaks[j - 1].power, now = o.report.peaks[j].power;
                if (MethodLowIsBest(choice.kind))
                    EXPECT_LE(before, now);
                else
                    EXPECT_GE(before, now);
            }
            reports[threads - 1] = JsonReportLine(o.report);
        }
        EXPECT_EQ(reports[0], reports[1]);
    }
}

// The spectrum alone with a method is the pass's own; the peaks of a
// ragged statistic are distinct peaks, not the local maxima of one.
TEST(MethodPass, SpectrumAloneAndDistinctPeaks)
{
    const LightCurve curve = CurveOf(DeltaCepheiTable());
    for (const char *method : {"bls", "pdm:10", "aov:2"}) {
        SCOPED_TRACE(method);
        const AnalysisSettings s = Settings(3, 8, 1500, method);
        std::vector<double> pass, alone;
        AnalysisHooks hooks;
        hooks.spectrum = [&](const double *, const double *v, long count) { pass.insert(pass.end(), v, v + count); };
        const AnalysisOutcome o = AnalyseLightCurve(curve, s, hooks);
        ASSERT_TRUE(o.ok);
        EngineError error;
        ASSERT_TRUE(ComputeLightCurveSpectrum(
            curve, s, [&](const double *, const double *v, long count) { alone.insert(alone.end(), v, v + count); },
            error));
        EXPECT_EQ(alone, pass);
        ASSERT_EQ(o.report.peaks.size(), 5u);
        const double resolution = 1 / o.report.span;
        for (std::size_t i = 0; i < o.report.peaks.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_GE(std::fabs(o.report.peaks[i].frequency - o.report.peaks[j].frequency), 0.5 * resolution);
    }
}

TEST(MethodPass, RefusedBeforeThePass)
{
    const LightCurve curve = CurveOf(Pulsator(5, 1.71, false));
    struct Case {
        const char *method;
        std::vector<double> durations;
        const char *english;
    } cases[] = {
        {"aov", {}, "unknown method 'aov' (dcdft, harmonics:H, aov:H, pdm:B or bls)"},
        {"harmonics:13", {}, "unknown method 'harmonics:13' (dcdft, harmonics:H, aov:H, pdm:B or bls)"},
        {"pdm:1", {}, "unknown method 'pdm:1' (dcdft, harmonics:H, aov:H, pdm:B or bls)"},
        {"aov:2", {0.1}, "box durations are for the method bls only"},
        {"", {0.1}, "box durations are for the method bls only"},
        {"bls", {0.1, 0.5}, "box durations must lie between 0 and 0.5 of the period"},
        {"bls", {0}, "box durations must lie between 0 and 0.5 of the period"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method);
        AnalysisSettings s = Settings(1, 3, 100, c.method);
        s.durations = c.durations;
        bool passBegan = false;
        AnalysisHooks hooks;
        hooks.passBegins = [&](long) { passBegan = true; };
        const AnalysisOutcome o = AnalyseLightCurve(curve, s, hooks);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.error.english, c.english);
        EXPECT_FALSE(o.error.czech.empty());
        EXPECT_FALSE(passBegan);
    }
}

// "dcdft" is the one-sine spectrum of a run without a method: the same
// report to the byte, without any of the methods' keys.
TEST(MethodPass, DcdftByNameIsTheDefault)
{
    const LightCurve curve = CurveOf(Pulsator(9, 2.3, false));
    AnalysisSettings s = Settings(1, 4, 3000, "");
    s.fold = s.foldAtBest = true;
    const std::string plain = JsonReportLine(Analyse(curve, s).report);
    s.method = "dcdft";
    EXPECT_EQ(JsonReportLine(Analyse(curve, s).report), plain);
    s.foldHarmonics = 1;
    EXPECT_EQ(JsonReportLine(Analyse(curve, s).report), plain);
    EXPECT_EQ(plain.find("\"method\""), std::string::npos);
    EXPECT_EQ(plain.find("\"shape\""), std::string::npos);
    s.foldHarmonics = 2;
    EXPECT_NE(JsonReportLine(Analyse(curve, s).report).find("\"shape\":{\"harmonics\":2,"), std::string::npos);
}

// The 5 % level of the analysis of variance is where the band's false
// alarm is 5 %; the harmonic power's is the same statistic as a share.
TEST(MethodPass, SignificanceLevelsAreTheFivePerCentFalseAlarm)
{
    struct Case {
        int n, harmonics;
        double fmin, fmax, spread;
    } cases[] = {{100, 1, 0.1, 2, 80}, {500, 3, 0.02, 1, 300}, {4000, 6, 0.1, 10, 1000}};
    for (const Case &c : cases) {
        MethodChoice aov, harmonics;
        aov.kind = MethodAov;
        harmonics.kind = MethodHarmonics;
        aov.order = harmonics.order = c.harmonics;
        const double theta = MethodSignificanceLevel(aov, c.n, c.fmin, c.fmax, c.spread);
        EXPECT_NEAR(AovBandFalseAlarm(theta, c.n, c.harmonics, c.fmin, c.fmax, c.spread), 0.05, 1e-6);
        const double power = MethodSignificanceLevel(harmonics, c.n, c.fmin, c.fmax, c.spread);
        EXPECT_NEAR(AovOfHarmonicPower(power, c.n, c.harmonics), theta, 1e-9 * theta);
        MethodChoice pdm;
        pdm.kind = MethodPdm;
        pdm.order = 10;
        EXPECT_TRUE(std::isnan(MethodSignificanceLevel(pdm, c.n, c.fmin, c.fmax, c.spread)));
    }
}

// Pure noise through the whole engine: the strongest refined aov:2 peak
// has a band false alarm below 5 % in about 5 % of the light curves, and
// below 20 % in about 20 % (seeded; binomial bounds of about 3 sigma).
TEST(MethodPass, AovFalseAlarmOfTheStrongestPeakOnNoise)
{
    std::mt19937_64 random(2024);
    const int curves = 300;
    int below5 = 0, below20 = 0;
    for (int c = 0; c < curves; ++c) {
        const LightCurve curve = CurveOf(Noise(random, 80, 50, false));
        AnalysisSettings s = Settings(2, 10, 0, "aov:2");
        s.peaks = 1;
        const AnalysisOutcome o = Analyse(curve, s);
        ASSERT_FALSE(o.report.peaks.empty());
        const double p = o.report.peaks[0].falseAlarmProbability;
        below5 += p < 0.05;
        below20 += p < 0.2;
    }
    EXPECT_NEAR(below5 / double(curves), 0.05, 0.04);
    EXPECT_NEAR(below20 / double(curves), 0.20, 0.07);
}

} // namespace
