// The multi-harmonic analysis of variance of Schwarzenberg-Czerny (1996):
// the centred magnitudes are projected onto the constant and H harmonics
// through polynomials in z = exp(i theta) that are orthogonal over the
// observations, built one degree at a time by the Szego recurrence.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gsl/gsl_cdf.h>

#include "methodsinternal.h"

namespace {

// The share of the sum of squares left unexplained is taken as at least
// this, so that a fit exact to rounding gives a large finite statistic.
const long double LeastUnexplainedShare = 1e-15L;

// The sums over the observations are taken in doubles over blocks of this
// many and the block sums in extended precision.
const int SumBlock = 128;

// Complex values over the observations, kept as real and imaginary parts.
struct ComplexValues {
    std::vector<double> re, im;
    explicit ComplexValues(int n, double real = 0) : re(n, real), im(n, 0) {}
};

// The part of the weighted sum of squares of the centred magnitudes x that
// the functions exp(i j theta), j = -H..H, explain; -1 when the projection
// has no room.  The fit of real x onto the 2H + 1 complex exponentials is
// real (the set is closed under conjugation) and equals the real fit of a
// constant plus H harmonics; multiplied by z^H the exponentials become the
// polynomials of degree 0..2H in z, which the recurrence orthogonalises:
//   phi_0 = 1, phi_{m+1}(z) = z phi_m(z) - alpha_m z^m conj(phi_m(z)),
//   alpha_m = <z phi_m, 1> / <phi_m, phi_m>,
// with <f, g> = sum w f conj(g) over the observations (|z| = 1, so that
// z^m conj(phi_m(z)) is the reversed polynomial phi_m^*).  The data x z^H
// are projected onto each phi_m in turn.
long double ExplainedByExponentials(const MethodData &data, double f, int harmonics)
{
    const int n = data.n;
    ComplexValues z(n), phi(n, 1), zm(n, 1), d(n);
    for (int i = 0; i < n; ++i) {
        const double angle = ObservationAngle(data.time[i], data.origin, f);
        z.re[i] = std::cos(angle);
        z.im[i] = std::sin(angle);
        long double pr = 1, pi = 0;
        for (int k = 0; k < harmonics; ++k) {
            const long double next = pr * z.re[i] - pi * z.im[i];
            pi = pr * z.im[i] + pi * z.re[i];
            pr = next;
        }
        d.re[i] = static_cast<double>(data.value[i] * pr);
        d.im[i] = static_cast<double>(data.value[i] * pi);
    }
    const long double least = NoRoomShare * static_cast<long double>(data.weightTotal);
    long double explained = 0;
    for (int m = 0; m <= 2 * harmonics; ++m) {
        long double norm = 0, projectionRe = 0, projectionIm = 0, shiftedRe = 0, shiftedIm = 0;
        for (int first = 0; first < n; first += SumBlock) {
            const int last = std::min(first + SumBlock, n);
            double blockNorm = 0, blockProjectionRe = 0, blockProjectionIm = 0, blockShiftedRe = 0, blockShiftedIm = 0;
            for (int i = first; i < last; ++i) {
                const double w = data.weight[i], pr = phi.re[i], pi = phi.im[i];
                blockNorm += w * (pr * pr + pi * pi);
                // d conj(phi) and z phi
                blockProjectionRe += w * (d.re[i] * pr + d.im[i] * pi);
                blockProjectionIm += w * (d.im[i] * pr - d.re[i] * pi);
                blockShiftedRe += w * (z.re[i] * pr - z.im[i] * pi);
                blockShiftedIm += w * (z.re[i] * pi + z.im[i] * pr);
            }
            norm += blockNorm;
            projectionRe += blockProjectionRe;
            projectionIm += blockProjectionIm;
            shiftedRe += blockShiftedRe;
            shiftedIm += blockShiftedIm;
        }
        if (!(norm > least))
            return -1;
        explained += (projectionRe * projectionRe + projectionIm * projectionIm) / norm;
        if (m == 2 * harmonics)
            break;
        const double alphaRe = static_cast<double>(shiftedRe / norm), alphaIm = static_cast<double>(shiftedIm / norm);
        for (int i = 0; i < n; ++i) {
            const double pr = phi.re[i], pi = phi.im[i], zr = z.re[i], zi = z.im[i];
            // alpha z^m conj(phi)
            const double ar = alphaRe * zm.re[i] - alphaIm * zm.im[i], ai = alphaRe * zm.im[i] + alphaIm * zm.re[i];
            const double reversedRe = ar * pr + ai * pi, reversedIm = ai * pr - ar * pi;
            phi.re[i] = zr * pr - zi * pi - reversedRe;
            phi.im[i] = zr * pi + zi * pr - reversedIm;
            const double nextRe = zm.re[i] * zr - zm.im[i] * zi;
            zm.im[i] = zm.re[i] * zi + zm.im[i] * zr;
            zm.re[i] = nextRe;
        }
    }
    return explained;
}

// (K - 2H - 1) / (2H) * explained / unexplained, the unexplained share
// kept at least LeastUnexplainedShare.
double AovRatio(long double explainedShare, int observations, int harmonics)
{
    const long double unexplained = std::max(1 - explainedShare, LeastUnexplainedShare);
    const long double theta = static_cast<long double>(observations - 2 * harmonics - 1) / (2 * harmonics) *
                              explainedShare / unexplained;
    return static_cast<double>(theta);
}

} // namespace

double AovStatistic(const MethodData &data, double f, int harmonics)
{
    if (harmonics < 1 || harmonics > MaxHarmonics || data.weighted <= 2 * harmonics + 1 || !(data.sumOfSquares > 0))
        return 0;
    const long double explained = ExplainedByExponentials(data, f, harmonics);
    if (explained < 0)
        return 0;
    const double theta = AovRatio(explained / data.sumOfSquares, data.weighted, harmonics);
    return std::isfinite(theta) ? theta : 0;
}

double AovOfHarmonicPower(double power, int observations, int harmonics)
{
    if (observations <= 2 * harmonics + 1)
        return 0;
    return AovRatio(power, observations, harmonics);
}

double AovFalseAlarm(double theta, int observations, int harmonics)
{
    const int denominator = observations - 2 * harmonics - 1;
    if (denominator <= 0 || harmonics < 1)
        return 1;
    if (!(theta > 0))
        return 1;
    if (!std::isfinite(theta))
        return 0;
    return gsl_cdf_fdist_Q(theta, 2 * harmonics, denominator);
}

double AovEffectiveFrequencies(double theta, int observations, int harmonics, double fmin, double fmax,
                               double timeSpread)
{
    const double p = AovFalseAlarm(theta, observations, harmonics);
    if (!(p > 0) || p >= 1 || harmonics < 1)
        return 1;
    // The chi-square level of the same tail.  Where the quantile cannot be
    // had, so far out that the probability is negligible anyway, M = 1.
    const double d = 2 * harmonics;
    double u = p > 1e-300 ? gsl_cdf_chisq_Qinv(p, d) : 0;
    if (!(u > 0 && std::isfinite(u)))
        return 1;
    const double lambda = timeSpread * timeSpread * (harmonics + 1) * (2 * harmonics + 1) / 6;
    const double logDensity = (d - 1) / 2 * std::log(u) - u / 2 - (d / 2 - 1) * std::log(2.0) - std::lgamma(d / 2);
    const double bandwidth = static_cast<double>(MethodTwoPi) * std::fabs(fmax - fmin);
    const double logTau = std::log(bandwidth) + 0.5 * std::log(lambda / static_cast<double>(MethodTwoPi)) + logDensity;
    const double m = std::exp(logTau - std::log(p));
    return std::isfinite(m) && m > 1 ? m : 1;
}

double AovBandFalseAlarm(double theta, int observations, int harmonics, double fmin, double fmax,
                         double timeSpread)
{
    return BandFalseAlarm(AovFalseAlarm(theta, observations, harmonics),
                          AovEffectiveFrequencies(theta, observations, harmonics, fmin, fmax, timeSpread));
}
