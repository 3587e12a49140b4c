// The engine on its own: what it refuses, what it makes of times in any
// order, and that light curves analysed side by side on several threads
// give the very reports they give one at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "reportwriter.h"
#include "lightcurves.h"
#include "spectrumkernels.h"

namespace {

// A made-up variable star: a sine of the given period and amplitude with
// Gaussian noise, at uneven times over 'span' days.
LightCurve MadeUpStar(unsigned seed, int n, double span, double period, double amplitude)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> when(0, span);
    std::normal_distribution<double> noise(0, 0.05);
    LightCurve curve;
    curve.file = "star" + std::to_string(seed);
    for (int i = 0; i < n; ++i) {
        const double t = 50000 + when(random);
        curve.time.push_back(t);
        curve.magnitude.push_back(10 + amplitude * std::sin(2 * M_PI * t / period) + noise(random));
    }
    return curve;
}

AnalysisSettings Settings(double pmin, double pmax)
{
    AnalysisSettings s;
    s.minimumPeriod = pmin;
    s.maximumPeriod = pmax;
    s.threads = 1;
    return s;
}

std::string Json(const AnalysisOutcome &outcome)
{
    return outcome.ok ? JsonReportLine(outcome.report) : "refused: " + outcome.error.english;
}

LightCurve CurveOf(std::vector<double> t, std::vector<double> y)
{
    LightCurve c;
    c.time = std::move(t);
    c.magnitude = std::move(y);
    return c;
}

TEST(Engine, RefusesAsTheBatchRunDoes)
{
    const std::vector<double> five = {1, 2, 3, 4, 5};
    const std::vector<double> varied = {1, 2, 1, 3, 2};
    struct Case {
        const char *what;
        LightCurve curve;
        double pmin, pmax;
        long intervals;
        const char *english;
    } cases[] = {
        {"four estimates", CurveOf({1, 2, 3, 4}, {1, 2, 1, 2}), 1, 2, 10,
         "too few estimates: the spectrum needs at least 5"},
        {"equal magnitudes", CurveOf(five, {3, 3, 3, 3, 3}), 1, 2, 10,
         "all estimates have the same magnitude: no spectrum can be computed"},
        {"one time", CurveOf({7, 7, 7, 7, 7}, varied), 1, 2, 10,
         "the last estimate is not later than the first: no spectrum can be computed"},
        {"no minimum", CurveOf(five, varied), 0, 2, 10, "the minimum period must be positive"},
        {"min above max", CurveOf(five, varied), 3, 2, 10, "the minimum period must be less than the maximum"},
        {"too many intervals", CurveOf(five, varied), 1, 2, MaxIntervals + 1, "at most 10000000 intervals"},
        {"huge magnitudes", CurveOf(five, {1e300, -1e300, 1e300, -1e300, 0}), 1, 2, 10,
         "the magnitudes are too large: no spectrum can be computed"},
        {"a time that is no number", CurveOf({1, 2, NAN, 4, 5}, varied), 1, 2, 10,
         "the time or magnitude of estimate 3 is not a finite number"},
        {"lengths differ", CurveOf({1, 2, 3, 4, 5, 6}, varied), 1, 2, 10,
         "the times do not match the magnitudes in number"},
    };
    for (const Case &c : cases) {
        AnalysisSettings s = Settings(c.pmin, c.pmax);
        s.intervals = c.intervals;
        const AnalysisOutcome outcome = AnalyseLightCurve(c.curve, s);
        EXPECT_FALSE(outcome.ok) << c.what;
        EXPECT_EQ(outcome.error.english, c.english) << c.what;
        EXPECT_FALSE(outcome.error.czech.empty()) << c.what;
    }
}

TEST(Engine, FindsTheStarsPeriodWithTheReportsFields)
{
    const LightCurve star = MadeUpStar(1, 300, 200, 5.3, 0.4);
    AnalysisSettings s = Settings(2, 10);
    s.prewhiten = 1;
    s.fold = s.foldAtBest = true;
    const AnalysisOutcome outcome = AnalyseLightCurve(star, s);
    ASSERT_TRUE(outcome.ok);
    const PeriodReport &r = outcome.report;
    ASSERT_FALSE(r.peaks.empty());
    EXPECT_NEAR(r.peaks[0].period, 5.3, 5 * r.peaks[0].periodError);
    EXPECT_NEAR(r.peaks[0].amplitude, 0.4, 0.02);
    EXPECT_LT(r.peaks[0].falseAlarmProbability, 1e-10);
    EXPECT_EQ(r.observations, 300);
    ASSERT_EQ(r.prewhitening.size(), 1u);
    EXPECT_TRUE(r.hasFold);
    EXPECT_EQ(r.fold.period, r.peaks[0].period);
}

// Joined exports need not be in time order: the span is latest minus
// earliest, and the periods found are those of the sorted light curve.
TEST(Engine, TimesInAnyOrderGiveTheSortedCurvesPeriods)
{
    LightCurve sorted = MadeUpStar(2, 200, 150, 3.7, 0.3);
    std::vector<std::size_t> order(sorted.time.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sorted.time[a] < sorted.time[b]; });
    LightCurve inOrder = sorted, reversed = sorted;
    for (std::size_t i = 0; i < order.size(); ++i) {
        inOrder.time[i] = sorted.time[order[i]];
        inOrder.magnitude[i] = sorted.magnitude[order[i]];
        reversed.time[order.size() - 1 - i] = inOrder.time[i];
        reversed.magnitude[order.size() - 1 - i] = inOrder.magnitude[i];
    }
    const AnalysisOutcome a = AnalyseLightCurve(inOrder, Settings(1, 10));
    const AnalysisOutcome b = AnalyseLightCurve(reversed, Settings(1, 10));
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok) << b.error.english;
    EXPECT_EQ(a.report.span, b.report.span);
    EXPECT_EQ(a.report.first, b.report.first);
    EXPECT_EQ(a.report.grid.intervals, b.report.grid.intervals);
    ASSERT_EQ(a.report.peaks.size(), b.report.peaks.size());
    for (std::size_t i = 0; i < a.report.peaks.size(); ++i)
        EXPECT_NEAR(a.report.peaks[i].period, b.report.peaks[i].period, 1e-3 * a.report.peaks[i].periodError);
}

TEST(Engine, WindowOfTheKernelsIsTheStraightSum)
{
    const LightCurve star = MadeUpStar(3, 60, 3650, 300, 0.5);
    AnalysisSettings s = Settings(1, 1000);
    s.grid = GridEvenInPeriod;
    s.intervals = 2000;
    s.window = true;
    std::vector<double> periods, window;
    AnalysisHooks hooks;
    hooks.window = [&](const double *p, const double *v, long count) {
        periods.insert(periods.end(), p, p + count);
        window.insert(window.end(), v, v + count);
    };
    ASSERT_TRUE(AnalyseLightCurve(star, s, hooks).ok);
    ASSERT_EQ(window.size(), 2001u);
    for (std::size_t k = 0; k < window.size(); k += 97)
        EXPECT_NEAR(window[k], SpectralWindow(star.time.data(), 60, 1 / periods[k]), 1e-12) << periods[k];
}

TEST(Engine, ManyCurvesOnManyThreadsGiveTheReportsOfOneAtATime)
{
    const int stars = 24, threads = 6;
    std::vector<LightCurve> curves;
    for (int i = 0; i < stars; ++i)
        curves.push_back(MadeUpStar(100 + i, 150 + 10 * i, 80, 0.7 + 0.3 * i, 0.2));
    AnalysisSettings s = Settings(0.5, 10);
    s.prewhiten = 2;
    s.fold = s.foldAtBest = true;
    std::vector<std::string> alone(stars), together(stars);
    for (int i = 0; i < stars; ++i)
        alone[i] = Json(AnalyseLightCurve(curves[i], s));
    std::vector<std::thread> workers;
    for (int w = 0; w < threads; ++w)
        workers.emplace_back([&, w] {
            for (int i = w; i < stars; i += threads)
                together[i] = Json(AnalyseLightCurve(curves[i], s));
        });
    for (std::thread &worker : workers)
        worker.join();
    for (int i = 0; i < stars; ++i)
        EXPECT_EQ(together[i], alone[i]) << "star " << i;
}

TEST(Engine, ThreadsOfOnePassGiveTheSamePowers)
{
    const LightCurve star = MadeUpStar(4, 400, 300, 2.2, 0.3);
    std::vector<double> one, four;
    for (int threads : {1, 4}) {
        AnalysisSettings s = Settings(0.5, 5);
        s.threads = threads;
        std::vector<double> &powers = threads == 1 ? one : four;
        EngineError error;
        ASSERT_TRUE(ComputeLightCurveSpectrum(star, s, [&](const double *, const double *v, long count) {
            powers.insert(powers.end(), v, v + count);
        }, error));
    }
    EXPECT_EQ(one, four);
    EXPECT_GT(one.size(), 1000u);
}

} // namespace

namespace {

// The weighted sums of the kernels against a straightforward loop over the
// same angles, and weights of 1 giving the unweighted sums bit for bit.
TEST(EngineKernels, WeightedSumsAreTheStraightWeightedSums)
{
    const LightCurve star = MadeUpStar(5, 137, 400, 3.1, 0.3);
    const int n = 137;
    std::vector<double> y(star.magnitude), w(n), ones(n, 1.0);
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> weight(0.1, 40);
    for (int i = 0; i < n; ++i) {
        y[i] -= 10;
        w[i] = weight(random);
    }
    SpectrumTerms plain{}, weighted{}, unit{};
    PrepareSpectrumTerms(plain, star.time.data(), y.data(), n);
    PrepareWeightedSpectrumTerms(weighted, star.time.data(), y.data(), w.data(), n);
    PrepareWeightedSpectrumTerms(unit, star.time.data(), y.data(), ones.data(), n);
    const double frequencies[] = {0.01, 0.3226, 1.7, 13.9, 97.3};
    for (double f : frequencies) {
        SpectrumSums p, q, u;
        SpectrumSumsOf(plain, &f, 1, &p);
        SpectrumSumsOf(weighted, &f, 1, &q);
        SpectrumSumsOf(unit, &f, 1, &u);
        EXPECT_EQ(0, std::memcmp(&p, &u, sizeof p)) << f;
        long double s[7] = {};
        for (int i = 0; i < n; ++i) {
            const long double a = (static_cast<long double>(star.time[i]) - star.time[0]) * 2 * M_PIl * f;
            const long double c = std::cos(a), si = std::sin(a);
            const long double terms[7] = {w[i] * c * c, w[i] * c, w[i] * si * si, w[i] * si,
                                          w[i] * si * c, w[i] * y[i] * c, w[i] * y[i] * si};
            for (int k = 0; k < 7; ++k)
                s[k] += terms[k];
        }
        const double got[7] = {q.scc, q.sc, q.sss, q.ss, q.ssc, q.syc, q.sys};
        for (int k = 0; k < 7; ++k)
            EXPECT_NEAR(got[k], static_cast<double>(s[k]), 1e-9 * weighted.weightSum) << f << " sum " << k;
    }
    ReleaseSpectrumTerms(plain);
    ReleaseSpectrumTerms(weighted);
    ReleaseSpectrumTerms(unit);
}

} // namespace

namespace {

// A file of tests/data as the engine takes it: Julian-date files (reduced
// JD and magnitude) and the tab-separated export (full JD and magnitude).
LightCurve RealCurve(const std::string &name)
{
    // The observation file and the download layout go through the readers.
    if (name == "delcep.dat" || name == "sscyg-sample.csv") {
        ReadChoices choices;
        LightCurveReading reading = ReadLightCurves(std::string(TEST_DATA_FOLDER) + "/" + name, choices);
        EXPECT_FALSE(ReadFailed(reading)) << reading.error.message;
        return ReadFailed(reading) ? LightCurve() : reading.curves[0];
    }
    LightCurve curve;
    curve.file = name;
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    std::string line;
    while (std::getline(in, line)) {
        double t, m;
        char rest;
        if (std::sscanf(line.c_str(), "%lf %lf%c", &t, &m, &rest) < 2 || line.find('<') != std::string::npos)
            continue;
        curve.time.push_back(t > 2400000 ? t - 2400000 : t);
        curve.magnitude.push_back(m);
    }
    return curve;
}

struct RealCase {
    const char *file;
    double pmin, pmax;
};

const RealCase RealCases[] = {
    {"delcep.dat", 2, 10},
    {"sscyg-sample.csv", 0.5, 5},
    {"delcep.tsv", 1, 20},
    {"tcas.jud", 50, 1000},
    {"sori.jud", 30, 800},
    {"delcep.tsv", 0.1, 2},
};

// The fast transform's powers stay within 1e-10 of the exact kernels' at
// every point of the grid even in frequency.
TEST(EngineGrid, FastTransformPowersAreTheExactOnes)
{
    for (const RealCase &c : RealCases) {
        const LightCurve curve = RealCurve(c.file);
        ASSERT_GT(curve.time.size(), 100u) << c.file;
        std::vector<double> exact, fast, exactPeriods, fastPeriods;
        for (TransformChoice transform : {TransformExact, TransformFast}) {
            AnalysisSettings s = Settings(c.pmin, c.pmax);
            s.transform = transform;
            std::vector<double> &powers = transform == TransformExact ? exact : fast;
            std::vector<double> &periods = transform == TransformExact ? exactPeriods : fastPeriods;
            EngineError error;
            ASSERT_TRUE(ComputeLightCurveSpectrum(curve, s, [&](const double *p, const double *v, long count) {
                periods.insert(periods.end(), p, p + count);
                powers.insert(powers.end(), v, v + count);
            }, error)) << error.english;
        }
        ASSERT_EQ(exact.size(), fast.size());
        EXPECT_EQ(exactPeriods, fastPeriods);
        double largest = 0;
        for (std::size_t k = 0; k < exact.size(); ++k)
            largest = std::fmax(largest, std::fabs(exact[k] - fast[k]));
        EXPECT_LT(largest, 1e-10) << c.file << " over " << exact.size() << " frequencies";
        // Increasing periods over the range: the highest frequency is the
        // first of the grid at or beyond 1 / pmin.
        const double step = 1 / exactPeriods[0] - 1 / exactPeriods[1];
        EXPECT_LE(exactPeriods.front(), c.pmin);
        EXPECT_LT(1 / exactPeriods.front() - step, 1 / c.pmin);
        EXPECT_NEAR(exactPeriods.back(), c.pmax, 1e-6 * c.pmax);
        for (std::size_t k = 1; k < exactPeriods.size(); ++k)
            ASSERT_LT(exactPeriods[k - 1], exactPeriods[k]);
    }
}

// Peaks, errors, false alarms and prewhitening do not depend on the
// transform that took the grid's sums.
TEST(EngineGrid, ReportsAreTheSameWithBothTransforms)
{
    for (const RealCase &c : RealCases) {
        const LightCurve curve = RealCurve(c.file);
        PeriodReport reports[2];
        for (int fast = 0; fast < 2; ++fast) {
            AnalysisSettings s = Settings(c.pmin, c.pmax);
            s.transform = fast ? TransformFast : TransformExact;
            s.prewhiten = 2;
            const AnalysisOutcome outcome = AnalyseLightCurve(curve, s);
            ASSERT_TRUE(outcome.ok) << outcome.error.english;
            reports[fast] = outcome.report;
            EXPECT_EQ(outcome.report.grid.transform, fast ? "fast" : "exact");
        }
        ASSERT_EQ(reports[0].peaks.size(), reports[1].peaks.size()) << c.file;
        for (std::size_t i = 0; i < reports[0].peaks.size(); ++i) {
            const PeakReport &a = reports[0].peaks[i], &b = reports[1].peaks[i];
            EXPECT_NEAR(a.period, b.period, 1e-9 * a.period) << c.file << " peak " << i;
            EXPECT_NEAR(a.periodError, b.periodError, 1e-6 * a.periodError) << c.file;
            EXPECT_NEAR(a.falseAlarmProbability, b.falseAlarmProbability, 1e-6 * a.falseAlarmProbability + 1e-300);
        }
        ASSERT_EQ(reports[0].prewhitening.size(), reports[1].prewhitening.size()) << c.file;
        for (std::size_t i = 0; i < reports[0].prewhitening.size(); ++i)
            EXPECT_NEAR(reports[0].prewhitening[i].period, reports[1].prewhitening[i].period,
                        1e-9 * reports[0].prewhitening[i].period) << c.file;
    }
}

// The grid even in frequency has the asked points per peak width.
TEST(EngineGrid, FrequencyGridHasItsPointsPerPeakWidth)
{
    const LightCurve star = MadeUpStar(6, 300, 1000, 7.7, 0.3);
    struct Case {
        double pmin, pmax, oversample;
        bool capped;
    } cases[] = {{1, 100, 10, false}, {2, 20, 3.5, false}};
    for (const Case &c : cases) {
        AnalysisSettings s = Settings(c.pmin, c.pmax);
        s.oversample = c.oversample;
        s.peaks = 1;
        std::vector<std::string> notes;
        AnalysisHooks hooks;
        hooks.note = [&](const std::string &text) { notes.push_back(text); };
        const AnalysisOutcome outcome = AnalyseLightCurve(star, s, hooks);
        ASSERT_TRUE(outcome.ok) << outcome.error.english;
        const GridReport &g = outcome.report.grid;
        EXPECT_TRUE(g.evenInFrequency);
        EXPECT_EQ(g.intervalsCapped, c.capped) << c.pmin;
        if (!c.capped)
            EXPECT_NEAR(g.frequencyStep * g.oversample * outcome.report.span, 1, 1e-6) << c.pmin;
        else
            EXPECT_LE(g.intervals, MaxIntervals);
        EXPECT_EQ(notes.empty(), !c.capped) << c.pmin;
    }
}

// A refusal before the grid is made still gives an outcome whose every
// field has a value: it is copied and moved like any other, and the
// sanitizers flag a bool read before it was set.
TEST(Engine, RefusedOutcomeHasItsGridInitialised)
{
    for (const LightCurve &refused : {CurveOf({1, 2, 3}, {4, 5, 4}), CurveOf({1, 2, 3, 4, 5}, {7, 7, 7, 7, 7})}) {
        const AnalysisOutcome outcome = AnalyseLightCurve(refused, Settings(1, 10));
        ASSERT_FALSE(outcome.ok);
        const AnalysisOutcome copy = outcome;
        EXPECT_FALSE(copy.report.grid.intervalsChosen);
        EXPECT_FALSE(copy.report.grid.intervalsCapped);
        EXPECT_EQ(copy.report.grid.intervals, 0);
    }
}

} // namespace
