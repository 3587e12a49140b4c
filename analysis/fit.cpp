// Sine fits at a fixed frequency, the errors and significance of a peak,
// and the spectral window.
#include <cmath>

#include "analysis.h"
#include "weightedfit.h"

namespace {

const long double TwoPi = 6.283185307179586476925286766559L;

double PhaseAngle(double t, double reference, double frequency)
{
    return static_cast<double>((static_cast<long double>(t) - reference) * TwoPi * frequency);
}

} // namespace

bool FitSine(const double *t, const double *y, int n, double frequency, double reference, SineFit &fit)
{
    // The weighted fit without weights does every sum and product of the
    // unweighted one: one code path for both.
    FitQuality quality;
    return FitWeightedSine(t, y, nullptr, n, frequency, reference, fit, quality);
}

double EpochOfMaximum(const SineFit &fit, double middle)
{
    // constant + A cos(angle - phase) is least at angle = phase + pi.
    const long double phase = std::atan2(static_cast<long double>(fit.sine), static_cast<long double>(fit.cosine));
    const long double period = 1 / static_cast<long double>(fit.frequency);
    const long double first = fit.reference + (phase + TwoPi / 2) / TwoPi * period;
    const long double cycles = std::round((middle - first) / period);
    return static_cast<double>(first + cycles * period);
}

double PeriodError(double period, double residualRms, int n, double amplitude, double span)
{
    const long double pi = TwoPi / 2;
    const long double sigmaFrequency =
        std::sqrt(6.0L) * residualRms / (pi * std::sqrt(static_cast<long double>(n)) * amplitude * span);
    return static_cast<double>(sigmaFrequency * period * period);
}

double FalseAlarmProbability(double power, int n, double span, double minimumPeriod, double maximumPeriod)
{
    if (n < 5 || !(power > 0))
        return 1;
    if (!(power < 1))
        return 0;
    // The 95 % level is 1 - exp(-2W / (n - 3)) with W + exp(-W) = Z,
    // Z = (n - 3) Z0 / (n - 4) + 1 and 0.95 = (1 - exp(-Z0))^M; here the
    // same chain runs backwards from the power to 1 - (1 - exp(-Z0))^M.
    const long double frequencies = 2.0L * (n - 3) * span *
                                    (1 / static_cast<long double>(minimumPeriod) - 1 / static_cast<long double>(maximumPeriod)) /
                                    3 / (n - 4);
    const long double w = -(n - 3) / 2.0L * std::log1p(-static_cast<long double>(power));
    const long double z = w + std::exp(-w);
    const long double z0 = (z - 1) * (n - 4) / (n - 3);
    if (!(z0 > 0) || !(frequencies > 0))
        return 1;
    const long double probability = -std::expm1(frequencies * std::log1p(-std::exp(-z0)));
    return static_cast<double>(std::fmin(std::fmax(probability, 0.0L), 1.0L));
}

double SpectralWindow(const double *t, int n, double frequency)
{
    long double sc = 0, ss = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], t[0], frequency);
        sc += std::cos(angle);
        ss += std::sin(angle);
    }
    return static_cast<double>((sc * sc + ss * ss) / (static_cast<long double>(n) * n));
}
