// Baluev's (2008) bound on the false-alarm probability of the highest peak
// of the floating-mean periodogram over a frequency band.
#include <gsl/gsl_sf_gamma.h>

#include <cmath>

#include "significance.h"

namespace {

const long double Pi = 3.14159265358979323846264338327950288L;

// gamma(N) = sqrt(2 / N) Gamma(N / 2) / Gamma((N - 1) / 2), by logarithms
// (GSL's, which keep no state, unlike lgamma's sign).
long double GammaFactor(int n)
{
    const long double logRatio = gsl_sf_lngamma(0.5 * n) - gsl_sf_lngamma(0.5 * (n - 1));
    return std::sqrt(2.0L / n) * std::exp(logRatio);
}

} // namespace

double SingleFrequencyFalseAlarm(double power, int n)
{
    if (!(power > 0))
        return 1;
    if (!(power < 1))
        return 0;
    return static_cast<double>(std::exp(0.5L * (n - 3) * std::log1p(-static_cast<long double>(power))));
}

double BaluevUpcrossings(double power, int n, double bandWidth, double timesVariance)
{
    if (!(power > 0) || !(power < 1))
        return 0;
    const int nullFree = n - 1, sineFree = n - 3;
    const long double width = bandWidth * std::sqrt(4 * Pi * timesVariance);
    const long double z = power;
    return static_cast<double>(GammaFactor(nullFree) * width * std::exp(0.5L * (sineFree - 1) * std::log1p(-z)) *
                               std::sqrt(nullFree * z / 2));
}

double BaluevFalseAlarmProbability(double power, int n, double minimumFrequency, double maximumFrequency,
                                   double timesVariance)
{
    if (n < 5 || !(power > 0))
        return 1;
    if (!(power < 1))
        return 0;
    const double single = SingleFrequencyFalseAlarm(power, n);
    const double band = std::fmax(maximumFrequency - minimumFrequency, 0.0);
    const long double tau = BaluevUpcrossings(power, n, band, timesVariance);
    // 1 - (1 - P) exp(-tau), kept accurate when both are tiny.
    const long double probability = -std::expm1(std::log1p(-static_cast<long double>(single)) - tau);
    if (!std::isfinite(static_cast<double>(probability)))
        return 1;
    return static_cast<double>(std::fmin(std::fmax(probability, 0.0L), 1.0L));
}
