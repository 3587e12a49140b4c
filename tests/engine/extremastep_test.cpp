// The engine's times of extrema: which period places the windows, the
// refusal without a period, relative fluxes timed as light, and reports of
// extrema that the text writer prints.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "engine.h"
#include "extremastep.h"
#include "writtenreport.h"

namespace {

// A star whose light has a minimum (its magnitude a maximum) at
// 50000.5 + 7 E: a cosine of 0.4 mag plus noise, 1500 times over 140 days.
LightCurve CosineStar(bool asRelativeFlux)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> when(0, 140);
    std::normal_distribution<double> noise(0, 0.01);
    LightCurve curve;
    curve.file = "cosine";
    for (int i = 0; i < 1500; ++i) {
        const double t = 50000 + when(random);
        const double magnitude = 10 + 0.4 * std::cos(2 * M_PI * (t - 50000.5) / 7) + noise(random);
        curve.time.push_back(t);
        curve.magnitude.push_back(asRelativeFlux ? std::pow(10, -0.4 * (magnitude - 10)) : magnitude);
    }
    curve.relativeFlux = asRelativeFlux;
    return curve;
}

AnalysisSettings ExtremaSettings()
{
    AnalysisSettings s;
    s.minimumPeriod = 3;
    s.maximumPeriod = 20;
    s.extrema = true;
    return s;
}

TEST(ExtremaStep, WindowsPeriodComesFromTheOptionThenTheEphemerisThenTheStrongestPeak)
{
    const struct {
        double period;
        bool ephemeris;
        double expected;
        const char *source;
    } cases[] = {{7.001, true, 7.001, "given"}, {0, true, 6.999, "ephemeris"}, {0, false, 7, "strongest peak"}};
    for (const auto &c : cases) {
        AnalysisSettings s = ExtremaSettings();
        s.extremaPeriod = c.period;
        s.ephemerisGiven = c.ephemeris;
        s.ephemerisEpoch = 50000.5;
        s.ephemerisPeriod = 6.999;
        const AnalysisOutcome outcome = AnalyseLightCurve(CosineStar(false), s);
        ASSERT_TRUE(outcome.ok) << outcome.error.english;
        const ExtremaReport &x = outcome.report.extrema;
        ASSERT_TRUE(outcome.report.hasExtrema);
        EXPECT_EQ(x.error, "") << c.source;
        EXPECT_EQ(x.periodSource, c.source);
        EXPECT_NEAR(x.period, c.expected, c.ephemeris ? 1e-12 : 0.01);
        EXPECT_EQ(x.oc.ephemeris.period, c.ephemeris ? 6.999 : x.period);
        ASSERT_GE(x.oc.rows.size(), 18u);
        for (const OCRow &row : x.oc.rows)
            EXPECT_NEAR(std::remainder(row.time - 50000.5, 7), 0, 4 * row.error + 1e-3);
        EXPECT_EQ(x.oc.linear.status, ExtremaOk);
        EXPECT_NEAR(x.oc.linear.period, 7, 3 * x.oc.linear.periodError);
    }
}

TEST(ExtremaStep, WithoutAPeriodTheReportSaysSoAndStands)
{
    PeriodReport report;
    AddExtremaReport(CosineStar(false), ExtremaSettings(), report);
    EXPECT_TRUE(report.hasExtrema);
    EXPECT_EQ(report.extrema.error, "no period: timing extrema needs a period greater than zero");
    EXPECT_TRUE(report.extrema.oc.rows.empty());
}

TEST(ExtremaStep, RelativeFluxesHaveTheirMinimaOfLightWhereMagnitudesHaveThem)
{
    AnalysisSettings s = ExtremaSettings();
    s.extremaPeriod = 7;
    for (bool maxima : {false, true}) {
        s.maxima = maxima;
        const AnalysisOutcome magnitudes = AnalyseLightCurve(CosineStar(false), s);
        const AnalysisOutcome fluxes = AnalyseLightCurve(CosineStar(true), s);
        ASSERT_TRUE(magnitudes.ok && fluxes.ok);
        const std::vector<OCRow> &a = magnitudes.report.extrema.oc.rows, &b = fluxes.report.extrema.oc.rows;
        ASSERT_EQ(a.size(), b.size());
        ASSERT_FALSE(a.empty());
        const double offset = maxima ? 3.5 : 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_NEAR(a[i].time, b[i].time, 3 * (a[i].error + b[i].error));
            EXPECT_NEAR(std::remainder(a[i].time - 50000.5 - offset, 7), 0, 4 * a[i].error + 1e-3);
        }
    }
}

TEST(ExtremaStep, TextReportEndsWithTheExtremaAndTheirFits)
{
    AnalysisSettings s = ExtremaSettings();
    s.extremaPeriod = 7;
    const AnalysisOutcome outcome = AnalyseLightCurve(CosineStar(false), s);
    ASSERT_TRUE(outcome.ok);
    const std::string text = WrittenTextReport(outcome.report);
    for (const char *part : {"\nTimes of minimum brightness:\n  Period:          7 d (given)\n",
                             "  Window:          0.25 of the period (1.75 d)\n",
                             "\nLinear ephemeris fitted to the O-C:\n", "\nQuadratic ephemeris fitted to the O-C:\n",
                             "  F test:          F = "})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

} // namespace
