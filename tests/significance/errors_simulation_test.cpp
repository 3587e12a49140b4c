// Are the errors of a period true?  A sine of known period with seeded
// noise, many realisations: the spread of the recovered periods must match
// the median reported error (0.7 to 1.4 times).  On a made-up star with a
// few precise CCD estimates among many visual ones, on the times of real
// observations of uneven spread, for the joint fit of two sines, for the
// Monte Carlo driver, and with correlated residuals, where the formal
// error is too small and the residual check must say so.
#include <gtest/gtest.h>

#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis.h"
#include "significance.h"
#include "simulation.h"
#include "weightedfit.h"

namespace {

using namespace simulation;

const double Pi = 3.14159265358979323846;

double Spread(const std::vector<double> &values)
{
    return gsl_stats_sd(values.data(), 1, values.size());
}

double Median(std::vector<double> values)
{
    gsl_sort(values.data(), 1, values.size());
    return gsl_stats_median_from_sorted_data(values.data(), 1, values.size());
}

// The peak of y nearest f0, refined as the batch run refines a peak
// between grid points (here within a third of a peak width 1/span of f0),
// the sine fitted there and the period error of its covariance.  The local
// peak, as the error is about: a jump to an alias peak (another count of
// cycles across a gap) is a different failure that no least-squares error
// describes.
struct Recovered {
    double period, error;
    SineFit fit;
};

Recovered RecoverNear(const std::vector<double> &t, const std::vector<double> &y, const double *w, double f0)
{
    const int n = static_cast<int>(t.size());
    const double span = Span(t);
    std::vector<double> centred;
    const double squares = CentreWeightedValues(y.data(), w, n, centred);
    const double f = RefineWeightedPeak(t.data(), centred.data(), w, n, squares, f0 - 0.3 / span, f0 + 0.3 / span);
    Recovered r = {1 / f, NAN, {}};
    FitQuality quality;
    PeakErrors errors;
    if (FitWeightedSine(t.data(), y.data(), w, n, f, t[0], r.fit, quality) &&
        SinePeakErrors(t.data(), y.data(), w, n, r.fit, errors))
        r.error = errors.periodError;
    return r;
}

TEST(ErrorSimulation, WeightedStarOfFewCcdAmongManyVisualEstimates)
{
    // 300 visual estimates (0.2 mag) and 20 CCD ones (0.005 mag) on random
    // nights over 400 days; a sine of 0.05 mag.  Each realisation searches
    // the band 2-10 d (five grid points per peak width), refines the highest
    // peak and takes its error from the covariance: without weights, with
    // the true errors' weights, and with errors all stated half their true
    // size (weights four times too large), where the reduced chi-square of
    // about 4 must raise the errors back.
    const double period = 5.366, amplitude = 0.05, span = 400;
    Generator g(31);
    std::vector<double> t, sigma, w, overweighted;
    for (int i = 0; i < 320; ++i) {
        t.push_back(50000 + std::floor(span * g.Uniform()) + 0.75 + 0.15 * g.Uniform());
        sigma.push_back(i % 16 == 0 ? 0.005 : 0.2);
        w.push_back(1 / (sigma.back() * sigma.back()));
        overweighted.push_back(4 * w.back());
    }
    const int n = static_cast<int>(t.size());
    const std::vector<double> periods = FrequencyGridPeriods(0.1, 0.5, span, 5);
    const long last = static_cast<long>(periods.size()) - 1;
    // Weights of one scale or another give the same powers.
    const FixedGridSpectrum grid[2] = {PrepareFixedGrid(t, periods), PrepareFixedGrid(t, periods, w.data())};
    const double *weights[3] = {nullptr, w.data(), overweighted.data()};
    const char *names[3] = {"unweighted", "weighted", "errors stated half"};
    const int realisations = 300;
    std::vector<double> found[3], errors[3];
    int nearTruth[3] = {0, 0, 0};
    for (int r = 0; r < realisations; ++r) {
        std::vector<double> y(n);
        for (int i = 0; i < n; ++i)
            y[i] = 8 + amplitude * std::cos(2 * Pi * (t[i] - 50001.3) / period) + g.Gauss(sigma[i]);
        for (int k = 0; k < 3; ++k) {
            std::vector<double> centred;
            const double squares = CentreWeightedValues(y.data(), weights[k], n, centred);
            long peak = 0;
            HighestFixedGridPower(grid[k == 0 ? 0 : 1], centred.data(), squares, &peak);
            const double f = RefineWeightedPeak(t.data(), centred.data(), weights[k], n, squares,
                                                1 / periods[std::max(peak - 1, 0L)],
                                                1 / periods[std::min(peak + 1, last)]);
            SineFit fit;
            FitQuality quality;
            PeakErrors e;
            ASSERT_TRUE(FitWeightedSine(t.data(), y.data(), weights[k], n, f, t[0], fit, quality));
            ASSERT_TRUE(SinePeakErrors(t.data(), y.data(), weights[k], n, fit, e));
            found[k].push_back(1 / f);
            errors[k].push_back(e.periodError);
            if (std::fabs(f - 1 / period) < 0.5 / span)
                ++nearTruth[k];
        }
    }
    double ratio[3];
    for (int k = 0; k < 3; ++k) {
        ratio[k] = Spread(found[k]) / Median(errors[k]);
        std::printf("  %-18s true peak in %d of %d, spread / error %.3g\n", names[k], nearTruth[k], realisations,
                    ratio[k]);
    }
    // Weighted: the true period every time, errors that match the scatter,
    // also when the stated errors are too small.
    for (int k = 1; k < 3; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(nearTruth[k], realisations);
        EXPECT_GE(ratio[k], 0.7);
        EXPECT_LE(ratio[k], 1.4);
    }
    // Unweighted: the visual noise hides the sine in many realisations,
    // and the errors say nothing of the periods it then reports.
    EXPECT_LT(nearTruth[0], 0.9 * realisations);
    EXPECT_GT(ratio[0], 1.4);
    // And where it finds the sine it is far less precise: its errors are
    // several times the weighted runs' scatter.
    EXPECT_GT(Median(errors[0]), 3 * Spread(found[1]));
}

struct Injection {
    const char *name;
    RealTimes times;
    double period;
    bool weighted;     // noise of the file's errors (visual 0.2 mag), weights 1/sigma^2
};

TEST(ErrorSimulation, InjectionIntoRealSamplingOfUnevenSpread)
{
    // A sine of 0.3 mag with 0.2 mag of noise on the times of real files.
    // sqrt(12) std(t) / span is 1.01 for T Cas, 0.98 for delta Cep 2004-06,
    // 1.33 for SS Cyg (CCD runs crowd both seasons' ends) and 0.45 for SS
    // Cyg's B estimates (most of them in a few weeks): the old formula, with
    // the span, is off by that factor; the covariance is not.
    const Injection cases[] = {
        {"tcas.jud", JulianDateFileTimes("tcas.jud"), 37.3, false},
        {"delcep.tsv", TableTimes("delcep.tsv", '\t'), 5.366, false},
        {"sscyg-sample.csv", TableTimes("sscyg-sample.csv", ','), 13.7, false},
        {"sscyg-sample.csv B", TableTimes("sscyg-sample.csv", ',', "B"), 13.7, false},
        {"sscyg-sample.csv weighted", TableTimes("sscyg-sample.csv", ','), 13.7, true},
    };
    const int realisations = 100;
    for (const Injection &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> &t = c.times.t;
        const int n = static_cast<int>(t.size());
        const double span = Span(t);
        std::vector<double> sigma(n, 0.2), w(n);
        for (int i = 0; i < n; ++i) {
            if (c.weighted && c.times.sigma[i] > 0)
                sigma[i] = c.times.sigma[i];
            w[i] = 1 / (sigma[i] * sigma[i]);
        }
        const double *weights = c.weighted ? w.data() : nullptr;
        Generator g(2718);
        std::vector<double> periods, errors, spanErrors;
        for (int r = 0; r < realisations; ++r) {
            std::vector<double> y(n);
            for (int i = 0; i < n; ++i)
                y[i] = 10 + 0.3 * std::sin(2 * Pi * t[i] / c.period + 1) + g.Gauss(sigma[i]);
            const Recovered found = RecoverNear(t, y, weights, 1 / c.period);
            ASSERT_TRUE(std::isfinite(found.error));
            periods.push_back(found.period);
            errors.push_back(found.error);
            spanErrors.push_back(PeriodError(found.period, found.fit.residualRms, n, found.fit.amplitude, span));
        }
        const double ratio = Spread(periods) / Median(errors), spanRatio = Spread(periods) / Median(spanErrors);
        std::printf("  %-26s N=%4d  sqrt(12) std(t) / span %.2f  spread / error %.3f (with the span %.3f)\n",
                    c.name, n, std::sqrt(12.0) * TimesSpread(t.data(), weights, n) / span, ratio, spanRatio);
        EXPECT_GE(ratio, 0.7);
        EXPECT_LE(ratio, 1.4);
        if (std::string(c.name) == "sscyg-sample.csv B") {
            EXPECT_GT(spanRatio, 1.4);  // the old formula's error is far too small here
        }
    }
}

TEST(ErrorSimulation, JointFitOfTwoSinesOnRealSampling)
{
    // The prewhitening rows: two sines fitted together, frequencies
    // included, phases counted from the (weighted) mean time; each one's
    // error from the joint covariance.  Every fit must converge.
    struct Case {
        const char *name;
        RealTimes times;
        double p1, p2;
        bool weighted;
    };
    const Case cases[] = {
        {"tcas.jud", JulianDateFileTimes("tcas.jud"), 37.3, 61.9, false},
        {"sscyg-sample.csv weighted", TableTimes("sscyg-sample.csv", ','), 13.7, 4.1, true},
    };
    const int realisations = 120;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> &t = c.times.t;
        const int n = static_cast<int>(t.size());
        std::vector<double> sigma(n, 0.2), w(n);
        for (int i = 0; i < n; ++i) {
            if (c.weighted && c.times.sigma[i] > 0)
                sigma[i] = c.times.sigma[i];
            w[i] = 1 / (sigma[i] * sigma[i]);
        }
        const double *weights = c.weighted ? w.data() : nullptr;
        const double reference = WeightedMean(t.data(), weights, n);
        Generator g(161);
        std::vector<double> periods[2], errors[2];
        int failed = 0;
        for (int r = 0; r < realisations; ++r) {
            std::vector<double> y(n);
            for (int i = 0; i < n; ++i)
                y[i] = 10 + 0.3 * std::cos(2 * Pi * (t[i] - reference) / c.p1) +
                       0.15 * std::sin(2 * Pi * (t[i] - reference) / c.p2) + g.Gauss(sigma[i]);
            std::vector<SineComponent> components = {{1 / c.p1, 0.3, 0, NAN, NAN}, {1 / c.p2, 0, 0.15, NAN, NAN}};
            double constant = 10, rms = 0;
            FitQuality quality;
            if (!FitWeightedSinesTogether(t.data(), y.data(), weights, n, reference, components, constant, rms,
                                          quality)) {
                ++failed;
                continue;
            }
            for (int j = 0; j < 2; ++j) {
                const double p = 1 / components[j].frequency;
                periods[j].push_back(p);
                errors[j].push_back(components[j].frequencyError * p * p);
            }
        }
        EXPECT_EQ(failed, 0);
        for (int j = 0; j < 2; ++j) {
            const double ratio = Spread(periods[j]) / Median(errors[j]);
            std::printf("  %-26s sine %d: spread / error %.3f\n", c.name, j + 1, ratio);
            EXPECT_GE(ratio, 0.7) << j;
            EXPECT_LE(ratio, 1.4) << j;
        }
    }
}

TEST(ErrorSimulation, MonteCarloSpreadMatchesTheScatter)
{
    // One light curve on SS Cyg's B times: the Monte Carlo spread of the
    // refitted period (residuals redrawn; Gaussian noise of the errors)
    // against the scatter over independent realisations and against the
    // covariance's error.
    const RealTimes times = TableTimes("sscyg-sample.csv", ',', "B");
    const std::vector<double> &t = times.t;
    const int n = static_cast<int>(t.size());
    const double span = Span(t), period = 13.7;
    std::vector<double> w(n, 1 / 0.04);
    Generator g(5);
    auto lightCurve = [&]() {
        std::vector<double> y(n);
        for (int i = 0; i < n; ++i)
            y[i] = 10 + 0.3 * std::sin(2 * Pi * t[i] / period + 1) + g.Gauss(0.2);
        return y;
    };
    std::vector<double> scatter;
    for (int r = 0; r < 150; ++r)
        scatter.push_back(RecoverNear(t, lightCurve(), nullptr, 1 / period).period);
    const std::vector<double> y = lightCurve();
    const Recovered fitted = RecoverNear(t, y, nullptr, 1 / period);
    std::vector<double> model(n), residual(n);
    for (int i = 0; i < n; ++i) {
        const double angle = 2 * Pi * fitted.fit.frequency * (t[i] - fitted.fit.reference);
        model[i] = fitted.fit.constant + fitted.fit.cosine * std::cos(angle) + fitted.fit.sine * std::sin(angle);
        residual[i] = y[i] - model[i];
    }
    const RefitFunction refit = [&](const double *times, const double *values, const double *weights, int count,
                                    double &f) {
        std::vector<double> centred;
        const double squares = CentreWeightedValues(values, weights, count, centred);
        f = RefineWeightedPeak(times, centred.data(), weights, count, squares, fitted.fit.frequency - 0.3 / span,
                               fitted.fit.frequency + 0.3 / span);
        return true;
    };
    for (MonteCarloNoise noise : {RedrawnResiduals, GaussianErrors}) {
        MonteCarloPeriods result;
        const MonteCarloSettings settings = {noise, 200, 42, 2, 3};
        ASSERT_TRUE(MonteCarloPeriodSpread(t.data(), model.data(), residual.data(),
                                           noise == GaussianErrors ? w.data() : nullptr, n, settings, refit, result));
        std::printf("  %s: Monte Carlo spread %.4g d, central half-width %.4g d, scatter %.4g d, error %.4g d\n",
                    noise == RedrawnResiduals ? "residuals redrawn" : "Gaussian errors  ", result.periodSpread,
                    result.centralHalfWidth, Spread(scatter), fitted.error);
        EXPECT_EQ(result.failed, 0);
        EXPECT_NEAR(result.meanPeriod, fitted.period, 0.3 * result.periodSpread);
        for (double spread : {result.periodSpread, result.centralHalfWidth})
            for (double truth : {Spread(scatter), fitted.error}) {
                EXPECT_GE(spread / truth, 0.7);
                EXPECT_LE(spread / truth, 1.4);
            }
    }
}

TEST(ErrorSimulation, CorrelatedResidualsAreCaughtAndTheirFactorHolds)
{
    // Four estimates a night for 100 nights, a sine of 12.5 d.  White noise
    // of 0.05 mag, and noise of the same size that follows the previous
    // estimate's with correlation 0.7 (an observer's drift, the sky of a
    // night): the formal error is then too small by about
    // sqrt((1 + 0.7) / (1 - 0.7)) = 2.4, and the check must tell.
    std::vector<double> t;
    for (int night = 0; night < 100; ++night)
        for (int k = 0; k < 4; ++k)
            t.push_back(50000 + night + 0.1 * k);
    const int n = static_cast<int>(t.size());
    const double period = 12.5, correlations[] = {0, 0.7};
    for (double rho : correlations) {
        SCOPED_TRACE(rho);
        Generator g(9);
        const int realisations = 200;
        std::vector<double> periods, errors, corrected;
        int flagged = 0;
        for (int r = 0; r < realisations; ++r) {
            std::vector<double> y(n), residual(n);
            double noise = g.Gauss(0.05);
            for (int i = 0; i < n; ++i) {
                if (i > 0)
                    noise = rho * noise + std::sqrt(1 - rho * rho) * g.Gauss(0.05);
                y[i] = 7 + 0.2 * std::cos(2 * Pi * t[i] / period) + noise;
            }
            const Recovered found = RecoverNear(t, y, nullptr, 1 / period);
            for (int i = 0; i < n; ++i) {
                const double angle = 2 * Pi * found.fit.frequency * (t[i] - found.fit.reference);
                residual[i] = y[i] - (found.fit.constant + found.fit.cosine * std::cos(angle) +
                                      found.fit.sine * std::sin(angle));
            }
            const ResidualCorrelation check = CheckResidualCorrelation(t.data(), residual.data(), nullptr, n, 2.33);
            flagged += check.correlated;
            periods.push_back(found.period);
            errors.push_back(found.error);
            corrected.push_back(found.error * check.errorFactor);
        }
        const double ratio = Spread(periods) / Median(errors), correctedRatio = Spread(periods) / Median(corrected);
        std::printf("  correlation %.1f: flagged in %d of %d, spread / error %.3f, with the factor %.3f\n", rho,
                    flagged, realisations, ratio, correctedRatio);
        if (rho == 0) {
            EXPECT_LE(flagged, 0.05 * realisations);
            EXPECT_GE(ratio, 0.7);
            EXPECT_LE(ratio, 1.4);
        } else {
            EXPECT_EQ(flagged, realisations);
            EXPECT_GT(ratio, 1.8);
        }
        EXPECT_GE(correctedRatio, 0.7);
        EXPECT_LE(correctedRatio, 1.4);
    }
}

} // namespace
