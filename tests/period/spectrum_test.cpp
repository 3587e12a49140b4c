// The spectrum against a plainly written least-squares fit, the spectrum
// file of a pass, and the significance threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "kalidor.h"
#include "run_kalidor.h"

namespace {

const double Pi = 3.14159265358979323846;

// The share of the variance of y that a constant plus a sine of frequency f
// explains, by solving the 3x3 normal equations of the fit
// y = a + b cos(2 pi f t) + c sin(2 pi f t) with Gaussian elimination.
double FittedShare(const std::vector<double> &t, const std::vector<double> &y, double f)
{
    long double m[3][4] = {};
    long double sumY = 0, sumYY = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double angle = 2 * Pi * f * (t[i] - t[0]);
        const long double row[3] = {1, std::cos(angle), std::sin(angle)};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += row[r] * row[c];
            m[r][3] += row[r] * y[i];
        }
        sumY += y[i];
        sumYY += static_cast<long double>(y[i]) * y[i];
    }
    const long double rhs[3] = {m[0][3], m[1][3], m[2][3]};
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        for (int c = 0; c < 4; ++c)
            std::swap(m[col][c], m[pivot][c]);
        for (int r = col + 1; r < 3; ++r) {
            const long double factor = m[r][col] / m[col][col];
            for (int c = col; c < 4; ++c)
                m[r][c] -= factor * m[col][c];
        }
    }
    long double beta[3];
    for (int r = 2; r >= 0; --r) {
        long double v = m[r][3];
        for (int c = r + 1; c < 3; ++c)
            v -= m[r][c] * beta[c];
        beta[r] = v / m[r][r];
    }
    // Sum of squares of the fit about the mean.
    const long double explained = beta[0] * rhs[0] + beta[1] * rhs[1] + beta[2] * rhs[2] - sumY * sumY / t.size();
    return static_cast<double>(explained / (sumYY - sumY * sumY / t.size()));
}

// Subtracts the mean; returns the sum of squares.
double Centre(std::vector<double> &y)
{
    double mean = 0;
    for (double v : y)
        mean += v;
    mean /= y.size();
    double s = 0;
    for (double &v : y) {
        v -= mean;
        s += v * v;
    }
    return s;
}

} // namespace

TEST(SpectrumPower, AgreesWithTheNormalEquationsOnUnevenTimes)
{
    std::mt19937 random(20231);
    std::uniform_real_distribution<double> day(48000, 48700);
    std::uniform_real_distribution<double> noise(-0.2, 0.2);
    std::uniform_real_distribution<double> frequency(1.0 / 30, 1.2);
    for (int n : {5, 12, 40, 300}) {
        std::vector<double> t(n), y(n);
        for (int i = 0; i < n; ++i) {
            t[i] = day(random);
            y[i] = 11.5 + 0.3 * std::sin(2 * Pi * t[i] / 3.7 + 1) + noise(random);
        }
        const double s = Centre(y);
        for (int k = 0; k < 200; ++k) {
            const double f = frequency(random);
            const double power = SpectrumPower(t.data(), y.data(), n, f, s);
            EXPECT_NEAR(power, FittedShare(t, y, f), 1e-9) << "n " << n << " f " << f;
            EXPECT_GE(power, 0.0);
            EXPECT_LE(power, 1.0 + 1e-12);
        }
    }
}

TEST(SpectrumPower, PureSineGivesPowerOneAtItsPeriod)
{
    std::vector<double> t = {48000.0, 48000.37, 48001.21, 48002.9, 48004.45};
    std::vector<double> y;
    for (double ti : t)
        y.push_back(3 + std::sin(2 * Pi * ti / 2 + 0.4));
    const double s = Centre(y);
    EXPECT_NEAR(SpectrumPower(t.data(), y.data(), 5, 0.5, s), 1.0, 1e-9);
    EXPECT_LT(SpectrumPower(t.data(), y.data(), 5, 1 / 3.1, s), 0.999);
}

TEST(SpectrumPower, CoincidingAnglesGivePowerZero)
{
    // Whole days apart: at the periods 1 and 0.5 day every angle is a whole
    // turn, at 2 days the sine vanishes at every time.
    std::vector<double> t = {48000.5, 48001.5, 48003.5, 48004.5, 48007.5, 48010.5};
    std::vector<double> y = {12.1, 12.6, 11.9, 12.3, 12.8, 12.0};
    const double s = Centre(y);
    struct Case {
        const double *t;
        int n;
        double frequency;
    };
    const double same[5] = {48000.25, 48000.25, 48000.25, 48000.25, 48000.25};
    const Case cases[] = {
        {t.data(), 6, 1.0}, {t.data(), 6, 2.0}, {t.data(), 6, 0.5}, {t.data(), 6, 3.0},
        {same, 5, 0.3},     // one moment repeated
        {t.data(), 1, 0.3}, // one observation
    };
    for (const Case &c : cases) {
        const double power = SpectrumPower(c.t, y.data(), c.n, c.frequency, s);
        EXPECT_EQ(power, 0.0) << "n " << c.n << " f " << c.frequency;
    }
}

TEST(SignificanceThreshold, WorkedValues)
{
    struct Case {
        int n;
        double first, last, pmin, pmax;
        double threshold, tolerance;
    };
    const Case cases[] = {
        {100, 48000, 49000, 1, 10, 0.194251, 5e-7},
        {20, 47000, 47365.25, 2, 50, 0.664340, 5e-7},
        {5, 48000, 48100, 1, 10, 0.99999993, 5e-9},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(SignificanceThreshold(c.n, c.first, c.last, c.pmin, c.pmax), c.threshold, c.tolerance) << c.n;
}

namespace {

// Periods (the first 23 characters) of the lines of a spectrum file; the
// lines must all have the 48-character form.
std::vector<std::string> SpectrumPeriods(const std::string &content)
{
    std::vector<std::string> periods;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        EXPECT_EQ(end - start, 48u) << content.substr(start, 60);
        periods.push_back(content.substr(start, 23));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return periods;
}

struct TemporaryDirectory {
    std::string path;
    TemporaryDirectory()
    {
        char name[] = "/tmp/kalidor-spectrum-XXXXXX";
        path = mkdtemp(name);
    }
    ~TemporaryDirectory() { std::filesystem::remove_all(path); }
};

void LoadObservations(const std::vector<double> &t, const std::vector<double> &m)
{
    ObservationCount = static_cast<int>(t.size());
    MagnitudeSum = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        JulianDates[i + 1] = t[i];
        Magnitudes[i + 1] = m[i];
        MagnitudeSum += m[i];
    }
    CentreMagnitudes(MagnitudeSum / ObservationCount);
}

} // namespace

TEST(ComputeSpectrum, OneLinePerGridPeriodAndEveryPassRewritesTheFile)
{
    TemporaryDirectory dir;
    const std::string name = dir.path + "/star.ven";
    std::vector<double> t, m;
    for (int i = 0; i < 9; ++i) {
        t.push_back(48000 + 0.73 * i * i);
        m.push_back(3 + std::sin(2 * Pi * t.back() / 2 + 0.4));
    }
    LoadObservations(t, m);
    EXPECT_LE(LeastCentred, 0.0);
    EXPECT_GE(GreatestCentred, 0.0);

    const SpectrumResult first = ComputeSpectrum(1, 3, 4, name);
    const std::vector<std::string> expected = {" 1.000000000000000E+000", " 1.500000000000000E+000",
                                               " 2.000000000000000E+000", " 2.500000000000000E+000",
                                               " 3.000000000000000E+000"};
    EXPECT_EQ(SpectrumPeriods(FileContent(name)), expected);
    EXPECT_EQ(first.periodOfMaximum, 2.0);
    EXPECT_NEAR(first.maximumPower, 1.0, 1e-9);

    // A second pass over a shorter grid leaves no line of the first, and
    // works on the same centred magnitudes.
    const SpectrumResult second = ComputeSpectrum(1.5, 2, 1, name);
    const std::vector<std::string> two = {" 1.500000000000000E+000", " 2.000000000000000E+000"};
    EXPECT_EQ(SpectrumPeriods(FileContent(name)), two);
    EXPECT_EQ(second.periodOfMaximum, 2.0);
}

TEST(ComputeSpectrum, DegenerateGridPointsWriteZeroNotNaN)
{
    TemporaryDirectory dir;
    const std::string name = dir.path + "/days.ven";
    LoadObservations({48000.5, 48001.5, 48002.5, 48004.5, 48007.5, 48010.5}, {12.1, 12.6, 11.9, 12.3, 12.8, 12.0});
    const SpectrumResult result = ComputeSpectrum(0.5, 2, 3, name);
    const std::string content = FileContent(name);
    EXPECT_EQ(content.find("nan"), std::string::npos) << content;
    EXPECT_EQ(content.find("NaN"), std::string::npos) << content;
    EXPECT_NE(content.find(" 5.000000000000000E-001   0.000000000000000E+000\n"), std::string::npos) << content;
    EXPECT_NE(content.find(" 1.000000000000000E+000   0.000000000000000E+000\n"), std::string::npos) << content;
    // The one point with room (1.5 days) is the maximum.
    EXPECT_EQ(result.periodOfMaximum, 1.5);
    EXPECT_GT(result.maximumPower, 0.0);
}

// Magnitudes of any tiny scale give the spectrum of ordinary ones: their
// squares would vanish in doubles, so they are scaled before the sums.
TEST(ComputeSpectrum, TinyMagnitudesGiveTheSpectrumOfOrdinaryOnes)
{
    TemporaryDirectory dir;
    const std::string name = dir.path + "/tiny.ven";
    std::vector<double> t, m;
    for (int i = 0; i < 12; ++i) {
        t.push_back(48000 + 0.61 * i + 0.05 * (i % 3));
        m.push_back(3 + std::sin(2 * Pi * t.back() / 1.7) + 0.1 * (i % 4));
    }
    LoadObservations(t, m);
    const SpectrumResult ordinary = ComputeSpectrum(1, 3, 40, name);
    for (double scale : {1e-160, 1e-200, 1e-300, 1e-310}) {
        std::vector<double> tiny = m;
        for (double &v : tiny)
            v *= scale;
        LoadObservations(t, tiny);
        const SpectrumResult result = ComputeSpectrum(1, 3, 40, name);
        EXPECT_EQ(result.periodOfMaximum, ordinary.periodOfMaximum) << scale;
        EXPECT_NEAR(result.maximumPower, ordinary.maximumPower, 1e-9) << scale;
    }
}
