// The time of an extremum from a fitted curve: a low-order polynomial, or
// a given harmonic curve shifted in time.
#include "extrema.h"
#include "extremautil.h"

#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_poly.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>

namespace {

const double TwoPi = 6.283185307179586476925286766559;

// The value of sum c[k] u^k, k = 0..degree.
double PolynomialAt(const std::vector<double> &c, double u)
{
    double v = 0;
    for (int k = (int)c.size() - 1; k >= 0; --k) v = v * u + c[k];
    return v;
}

// The real roots of sum d[k] u^k inside [low, high].
std::vector<double> RealRootsInside(std::vector<double> d, double low, double high)
{
    while (d.size() > 1 && d.back() == 0) d.pop_back();
    std::vector<double> roots;
    if (d.size() == 2) {
        roots.push_back(-d[0] / d[1]);
    } else if (d.size() > 2) {
        const size_t m = d.size() - 1;
        std::vector<double> z(2 * m);
        gsl_poly_complex_workspace *w = gsl_poly_complex_workspace_alloc(d.size());
        const int failed = gsl_poly_complex_solve(d.data(), d.size(), w, z.data());
        gsl_poly_complex_workspace_free(w);
        if (failed) return {};
        for (size_t i = 0; i < m; ++i)
            if (std::fabs(z[2 * i + 1]) <= 1e-8 * (1 + std::fabs(z[2 * i]))) roots.push_back(z[2 * i]);
    }
    std::vector<double> inside;
    for (double r : roots)
        if (r >= low && r <= high) inside.push_back(r);
    return inside;
}

// The rms of Student's t with dof degrees of freedom (dof > 2): errors
// whose scatter is estimated from the same few points come out too small
// by this factor on average.
double StudentFactor(int dof) { return std::sqrt(dof / (dof - 2.0)); }

// Kind as a sign: +1 when the extremum is the largest magnitude.
double KindSign(ExtremumKind kind) { return kind == MinimumBrightness ? 1.0 : -1.0; }

// The curve's derivative in magnitudes per day.
double HarmonicCurveSlope(const HarmonicCurve &curve, double time)
{
    const double phase = (time - curve.epoch) / curve.period;
    double v = 0;
    for (size_t k = 0; k < curve.cosines.size(); ++k) {
        const double w = TwoPi * (k + 1);
        v += w * (-curve.cosines[k] * std::sin(w * phase) + curve.sines[k] * std::cos(w * phase));
    }
    return v / curve.period;
}

bool UsableCurve(const HarmonicCurve &curve)
{
    if (!(curve.period > 0) || !std::isfinite(curve.period) || !std::isfinite(curve.epoch)) return false;
    if (curve.cosines.empty() || curve.cosines.size() != curve.sines.size()) return false;
    for (size_t k = 0; k < curve.cosines.size(); ++k)
        if (!std::isfinite(curve.cosines[k]) || !std::isfinite(curve.sines[k])) return false;
    return std::isfinite(curve.constant);
}

// The weighted sum of squares of y - offset - curve(t - tau), the offset
// the weighted mean that minimises it (returned through 'offset').
double ShiftedCurveResiduals(const double *t, const double *y, const std::vector<double> &w, int n,
                             const HarmonicCurve &curve, double tau, double &offset)
{
    long double sw = 0, swr = 0;
    for (int i = 0; i < n; ++i) {
        sw += w[i];
        swr += w[i] * (y[i] - HarmonicCurveMagnitude(curve, t[i] - tau));
    }
    offset = (double)(swr / sw);
    long double sum = 0;
    for (int i = 0; i < n; ++i) {
        const double r = y[i] - offset - HarmonicCurveMagnitude(curve, t[i] - tau);
        sum += w[i] * r * r;
    }
    return (double)sum;
}

}  // namespace

ExtremumTiming TimeByPolynomial(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                                int degree, double centre)
{
    ExtremumTiming result;
    result.method = TimingPolynomial;
    result.errorSource = ErrorFromCovariance;
    result.degree = degree;
    result.points = std::max(n, 0);
    if (degree < 2 || degree > 4) return Refused(result, ExtremaBadDegree);
    if (n <= 0) return Refused(result, ExtremaEmptyWindow);
    if (!AllFinite(t, n) || !AllFinite(y, n) || !std::isfinite(centre) || !UsableUncertainties(sigma, n))
        return Refused(result, ExtremaBadObservations);
    std::vector<double> distinct(t, t + n);
    std::sort(distinct.begin(), distinct.end());
    const int distinctTimes = (int)(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
    const int p = degree + 1;
    if (n < p + 3 || distinctTimes < p + 1) return Refused(result, ExtremaTooFewPoints);

    double scale = 0;
    for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(t[i] - centre));
    gsl_matrix *x = gsl_matrix_alloc(n, p);
    gsl_vector *w = gsl_vector_alloc(n), *yv = gsl_vector_alloc(n), *c = gsl_vector_alloc(p);
    gsl_matrix *cov = gsl_matrix_alloc(p, p);
    double low = 1, high = -1;
    for (int i = 0; i < n; ++i) {
        const double u = (t[i] - centre) / scale;
        low = std::min(low, u);
        high = std::max(high, u);
        double power = 1;
        for (int k = 0; k < p; ++k, power *= u) gsl_matrix_set(x, i, k, power);
        gsl_vector_set(w, i, sigma ? 1 / (sigma[i] * sigma[i]) : 1.0);
        gsl_vector_set(yv, i, y[i]);
    }
    double chiSquare = 0;
    gsl_multifit_linear_workspace *work = gsl_multifit_linear_alloc(n, p);
    gsl_multifit_wlinear(x, w, yv, c, cov, &chiSquare, work);
    gsl_multifit_linear_free(work);

    std::vector<double> coefficients(p), slope(p - 1);
    for (int k = 0; k < p; ++k) coefficients[k] = gsl_vector_get(c, k);
    for (int k = 1; k < p; ++k) slope[k - 1] = k * coefficients[k];
    const double sign = KindSign(kind);
    bool found = false;
    double best = 0, bestValue = 0, bestCurvature = 0;
    for (double u : RealRootsInside(slope, low, high)) {
        double curvature = 0, power = 1;
        for (int k = 2; k < p; ++k, power *= u) curvature += k * (k - 1) * coefficients[k] * power;
        if (!(sign * curvature < 0)) continue;  // a maximum of magnitude for a minimum of brightness
        const double value = PolynomialAt(coefficients, u);
        if (!found || sign * value > sign * bestValue) {
            found = true;
            best = u;
            bestValue = value;
            bestCurvature = curvature;
        }
    }
    if (found) {
        // sigma_u^2 = g' C g / p''^2, g_k = k u^(k-1), C scaled by chi2 / dof.
        const double dof = n - p;
        const double factor = chiSquare / dof;
        std::vector<double> g(p, 0.0);
        double power = 1;
        for (int k = 1; k < p; ++k, power *= best) g[k] = k * power;
        long double variance = 0;
        for (int j = 0; j < p; ++j)
            for (int k = 0; k < p; ++k) variance += g[j] * gsl_matrix_get(cov, j, k) * g[k];
        variance *= factor / ((long double)bestCurvature * bestCurvature);
        result.time = centre + scale * best;
        result.formulaError = scale * std::sqrt((double)std::max(variance, 0.0L));
        result.error = result.formulaError * StudentFactor(n - p);
        result.magnitude = bestValue;
        long double rss = 0;
        for (int i = 0; i < n; ++i) {
            const double r = y[i] - PolynomialAt(coefficients, (t[i] - centre) / scale);
            rss += (long double)r * r;
        }
        result.noise = std::sqrt((double)(rss / dof));
        CountSides(t, n, result.time, result.before, result.after);
    }
    gsl_matrix_free(x);
    gsl_matrix_free(cov);
    gsl_vector_free(w);
    gsl_vector_free(yv);
    gsl_vector_free(c);
    return found ? result : Refused(result, ExtremaNoExtremumInWindow);
}

double HarmonicCurveMagnitude(const HarmonicCurve &curve, double time)
{
    const double phase = (time - curve.epoch) / curve.period;
    double v = curve.constant;
    for (size_t k = 0; k < curve.cosines.size() && k < curve.sines.size(); ++k) {
        const double w = TwoPi * (k + 1);
        v += curve.cosines[k] * std::cos(w * phase) + curve.sines[k] * std::sin(w * phase);
    }
    return v;
}

double HarmonicCurveExtremum(const HarmonicCurve &curve, ExtremumKind kind, double near)
{
    const double sign = KindSign(kind);
    const int steps = 2000;
    auto value = [&](double phase) { return -sign * HarmonicCurveMagnitude(curve, curve.epoch + phase * curve.period); };
    int best = 0;
    for (int i = 1; i < steps; ++i)
        if (value((double)i / steps) < value((double)best / steps)) best = i;
    const double phase = GoldenMinimum(value, (best - 1.0) / steps, (best + 1.0) / steps, 1e-12);
    const double cycles = std::round((near - curve.epoch) / curve.period - phase);
    return curve.epoch + (phase + cycles) * curve.period;
}

ExtremumTiming TimeByHarmonicCurve(const double *t, const double *y, const double *sigma, int n,
                                   const HarmonicCurve &curve, ExtremumKind kind, double centre, double halfWidth)
{
    ExtremumTiming result;
    result.method = TimingHarmonicCurve;
    result.errorSource = ErrorFromCovariance;
    result.points = std::max(n, 0);
    if (!UsableCurve(curve)) return Refused(result, ExtremaNoCurve);
    if (n <= 0) return Refused(result, ExtremaEmptyWindow);
    if (!AllFinite(t, n) || !AllFinite(y, n) || !std::isfinite(centre) || !std::isfinite(halfWidth) ||
        !UsableUncertainties(sigma, n))
        return Refused(result, ExtremaBadObservations);
    if (n < 5) return Refused(result, ExtremaTooFewPoints);

    std::vector<double> w(n);
    for (int i = 0; i < n; ++i) w[i] = sigma ? 1 / (sigma[i] * sigma[i]) : 1.0;
    // The shift first on trial values, then by Gauss-Newton in (tau, offset).
    const int trialShifts = 81;
    double tau = 0, offset = 0, bestSum = INFINITY;
    for (int k = 0; k < trialShifts; ++k) {
        const double trial = -halfWidth + 2 * halfWidth * k / (trialShifts - 1);
        double trialOffset;
        const double sum = ShiftedCurveResiduals(t, y, w, n, curve, trial, trialOffset);
        if (sum < bestSum) {
            bestSum = sum;
            tau = trial;
            offset = trialOffset;
        }
    }
    double ss = 0, so = 0, oo = 0;  // J' W J: tau-tau, tau-offset, offset-offset
    for (int iteration = 0; iteration < 50; ++iteration) {
        double gs = 0, go = 0;
        ss = so = oo = 0;
        for (int i = 0; i < n; ++i) {
            const double r = y[i] - offset - HarmonicCurveMagnitude(curve, t[i] - tau);
            const double dTau = -HarmonicCurveSlope(curve, t[i] - tau);  // d model / d tau
            ss += w[i] * dTau * dTau;
            so += w[i] * dTau;
            oo += w[i];
            gs += w[i] * dTau * r;
            go += w[i] * r;
        }
        const double determinant = ss * oo - so * so;
        if (!(determinant > 0)) return Refused(result, ExtremaNoExtremumInWindow);
        const double dTau = (oo * gs - so * go) / determinant;
        const double dOffset = (ss * go - so * gs) / determinant;
        tau += dTau;
        offset += dOffset;
        if (std::fabs(dTau) < 1e-10 * curve.period) break;
    }
    const double determinant = ss * oo - so * so;
    const double chiSquare = ShiftedCurveResiduals(t, y, w, n, curve, tau, offset);
    const double factor = n > 2 ? chiSquare / (n - 2) : 0;
    result.time = HarmonicCurveExtremum(curve, kind, centre - tau) + tau;
    result.formulaError = std::sqrt(std::max(0.0, oo / determinant * factor));
    result.error = result.formulaError * StudentFactor(n - 2);
    result.magnitude = offset + HarmonicCurveMagnitude(curve, result.time - tau);
    long double rss = 0;
    for (int i = 0; i < n; ++i) {
        const double r = y[i] - offset - HarmonicCurveMagnitude(curve, t[i] - tau);
        rss += (long double)r * r;
    }
    result.noise = std::sqrt((double)(rss / (n - 2)));
    CountSides(t, n, result.time, result.before, result.after);
    if (std::fabs(result.time - centre) > halfWidth) return Refused(result, ExtremaOutsideWindow);
    return result;
}
