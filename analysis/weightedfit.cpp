// Weighted means, the weighted power and amplitude of the spectrum, the
// weighted sine fit at one frequency and the errors of a peak from the
// covariance of the linearised fit.
#include "weightedfit.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>

#include <cmath>

namespace {

const long double TwoPi = 6.283185307179586476925286766559L;

// As in the spectrum pass: a fit whose orthogonalised cosine or sine keeps
// less than this share of the total weight has no room.
const double NoRoomShare = 1e-12;

// As in FitSine: normal equations this close to singular have no room.
const long double SingularShare = 1e-12L;

const double GoldenCut = 0.38196601125010515;
const double RefinementTolerance = 1e-10;
const int MostRefinementSteps = 200;

inline long double WeightOf(const double *w, int i) { return w == nullptr ? 1.0L : static_cast<long double>(w[i]); }

double PhaseAngle(double t, double reference, double frequency)
{
    return static_cast<double>((static_cast<long double>(t) - reference) * TwoPi * frequency);
}

long double Determinant3(const long double m[3][3])
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The orthonormalisation shared by the power and the amplitude: the
// coefficients c1, c2 of the magnitudes on the orthonormal cosine and sine,
// and the factors a1, a2, x that build those from the plain ones.
struct Orthonormal {
    bool room;
    double a1, a2, x, c1, c2;
};

Orthonormal Orthonormalise(const WeightedSpectrumSums &sums)
{
    Orthonormal o = {false, 0, 0, 0, 0, 0};
    const double w = sums.w;
    const double scc = sums.scc, sc = sums.sc, sss = sums.sss, ss = sums.ss;
    const double ssc = sums.ssc, syc = sums.syc, sys = sums.sys;
    const long double room1 = scc - static_cast<long double>(sc) * sc / w;
    if (!(room1 > NoRoomShare * w))
        return o;
    o.a1 = static_cast<double>(std::sqrt(1 / room1));
    o.x = static_cast<double>(ssc - static_cast<long double>(ss) * sc / w);
    const long double room2 =
        sss - static_cast<long double>(ss) * ss / w - static_cast<long double>(o.a1) * o.a1 * o.x * o.x;
    if (!(room2 > NoRoomShare * w))
        return o;
    o.a2 = static_cast<double>(std::sqrt(1 / room2));
    o.c1 = static_cast<double>(static_cast<long double>(o.a1) * syc);
    o.c2 = static_cast<double>(o.a2 * (sys - static_cast<long double>(o.a1) * o.c1 * o.x));
    o.room = true;
    return o;
}

} // namespace

double WeightedMean(const double *y, const double *w, int n)
{
    long double sum = 0, weight = 0;
    for (int i = 0; i < n; ++i) {
        const long double wi = WeightOf(w, i);
        sum += wi * y[i];
        weight += wi;
    }
    return static_cast<double>(sum / weight);
}

double CentreWeightedValues(const double *y, const double *w, int n, std::vector<double> &centred)
{
    long double sum = 0, weight = 0;
    for (int i = 0; i < n; ++i) {
        const long double wi = WeightOf(w, i);
        sum += wi * y[i];
        weight += wi;
    }
    const long double mean = sum / weight;
    centred.assign(y, y + n);
    long double sumOfSquares = 0;
    for (int i = 0; i < n; ++i) {
        centred[i] = static_cast<double>(centred[i] - mean);
        sumOfSquares += WeightOf(w, i) * centred[i] * centred[i];
    }
    return static_cast<double>(sumOfSquares);
}

double TimesVariance(const double *t, const double *w, int n)
{
    long double sum = 0, weight = 0;
    for (int i = 0; i < n; ++i) {
        const long double wi = WeightOf(w, i);
        sum += wi * t[i];
        weight += wi;
    }
    const long double mean = sum / weight;
    long double squares = 0;
    for (int i = 0; i < n; ++i)
        squares += WeightOf(w, i) * (t[i] - mean) * (t[i] - mean);
    return static_cast<double>(squares / weight);
}

double TimesSpread(const double *t, const double *w, int n) { return std::sqrt(TimesVariance(t, w, n)); }

double WeightedPowerOfSums(const WeightedSpectrumSums &sums, double sumOfSquares)
{
    const Orthonormal o = Orthonormalise(sums);
    if (!o.room)
        return 0;
    const double power = static_cast<double>(
        (static_cast<long double>(o.c1) * o.c1 + static_cast<long double>(o.c2) * o.c2) / sumOfSquares);
    return std::isfinite(power) ? power : 0;
}

double AmplitudeOfSums(const WeightedSpectrumSums &sums)
{
    const Orthonormal o = Orthonormalise(sums);
    if (!o.room)
        return 0;
    // The fit c1 u + c2 v written back in cos and sine: u = a1 (c - cbar),
    // v = a2 (s - sbar - a1 x u).
    const long double a1 = o.a1, a2 = o.a2;
    const long double cosine = a1 * o.c1 - a1 * a1 * a2 * o.x * o.c2;
    const long double sine = a2 * o.c2;
    const double amplitude = static_cast<double>(std::sqrt(cosine * cosine + sine * sine));
    return std::isfinite(amplitude) ? amplitude : 0;
}

WeightedSpectrumSums WeightedSumsAt(const double *t, const double *y, const double *w, int n, double frequency)
{
    long double sw = 0, scc = 0, sc = 0, sss = 0, ss = 0, ssc = 0, syc = 0, sys = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], t[0], frequency);
        const long double c = std::cos(angle), s = std::sin(angle), wi = WeightOf(w, i);
        sw += wi;
        scc += wi * c * c;
        sc += wi * c;
        sss += wi * s * s;
        ss += wi * s;
        ssc += wi * s * c;
        syc += wi * y[i] * c;
        sys += wi * y[i] * s;
    }
    return WeightedSpectrumSums{static_cast<double>(sw),  static_cast<double>(scc), static_cast<double>(sc),
                                static_cast<double>(sss), static_cast<double>(ss),  static_cast<double>(ssc),
                                static_cast<double>(syc), static_cast<double>(sys)};
}

double WeightedSpectrumPower(const double *t, const double *y, const double *w, int n, double frequency,
                             double sumOfSquares)
{
    return WeightedPowerOfSums(WeightedSumsAt(t, y, w, n, frequency), sumOfSquares);
}

double RefineWeightedPeak(const double *t, const double *y, const double *w, int n, double sumOfSquares, double low,
                          double high)
{
    auto power = [&](double f) { return WeightedSpectrumPower(t, y, w, n, f, sumOfSquares); };
    return GoldenSectionMaximum(power, 0.5 * (low + high), low, high);
}

double ErrorScale(double reducedChiSquare) { return reducedChiSquare > 1 ? std::sqrt(reducedChiSquare) : 1; }

FitQuality QualityOfFit(double chiSquare, int n, int parameters, bool weighted)
{
    FitQuality q;
    q.chiSquare = chiSquare;
    q.degreesOfFreedom = n - parameters;
    q.reducedChiSquare = q.degreesOfFreedom > 0 ? chiSquare / q.degreesOfFreedom : NAN;
    q.errorScale = weighted ? (std::isnan(q.reducedChiSquare) ? NAN : ErrorScale(q.reducedChiSquare))
                            : std::sqrt(q.reducedChiSquare);
    return q;
}

bool FitWeightedSine(const double *t, const double *y, const double *w, int n, double frequency, double reference,
                     SineFit &fit, FitQuality &quality)
{
    // With w == nullptr every weight is exactly 1, so each sum and product
    // below is the unweighted fit's own.
    long double sw = 0, sc = 0, ss = 0, scc = 0, scs = 0, sss = 0, sy = 0, syc = 0, sys = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], reference, frequency);
        const long double c = std::cos(angle), s = std::sin(angle), wi = WeightOf(w, i);
        sw += wi;
        sc += wi * c;
        ss += wi * s;
        scc += wi * c * c;
        scs += wi * c * s;
        sss += wi * s * s;
        sy += wi * y[i];
        syc += wi * y[i] * c;
        sys += wi * y[i] * s;
    }
    const long double normal[3][3] = {{sw, sc, ss}, {sc, scc, scs}, {ss, scs, sss}};
    const long double det = Determinant3(normal);
    if (!(std::fabs(det) > SingularShare * sw * scc * sss))
        return false;
    // Cramer's rule: each unknown replaces its column by the right-hand side.
    const long double right[3] = {sy, syc, sys};
    long double solution[3];
    for (int column = 0; column < 3; ++column) {
        long double m[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                m[r][c] = c == column ? right[r] : normal[r][c];
        solution[column] = Determinant3(m) / det;
    }
    fit.frequency = frequency;
    fit.reference = reference;
    fit.constant = static_cast<double>(solution[0]);
    fit.cosine = static_cast<double>(solution[1]);
    fit.sine = static_cast<double>(solution[2]);
    fit.amplitude = std::hypot(fit.cosine, fit.sine);
    long double squares = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], reference, frequency);
        const long double r = y[i] - (solution[0] + solution[1] * std::cos(angle) + solution[2] * std::sin(angle));
        squares += WeightOf(w, i) * r * r;
    }
    fit.residualRms = static_cast<double>(std::sqrt(squares / sw));
    quality = QualityOfFit(static_cast<double>(squares), n, 3, w != nullptr);
    return std::isfinite(fit.amplitude) && std::isfinite(fit.residualRms);
}

bool SinePeakErrors(const double *t, const double *y, const double *w, int n, const SineFit &fit, PeakErrors &errors)
{
    const int p = 4;
    if (n <= p || !(fit.frequency > 0))
        return false;
    // The frequency's column is taken about the weighted mean time: that
    // moves it by a multiple of the model's phase derivative, which lies in
    // the span of the cosine and sine columns, so the variances of the
    // frequency and the amplitude stay as they are while the matrix is far
    // better conditioned than with a reference at one end.
    long double weight = 0, timeSum = 0;
    for (int i = 0; i < n; ++i) {
        weight += WeightOf(w, i);
        timeSum += WeightOf(w, i) * t[i];
    }
    const long double middle = timeSum / weight;
    long double normal[p][p] = {};
    long double squares = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], fit.reference, fit.frequency);
        const long double c = std::cos(angle), s = std::sin(angle), wi = WeightOf(w, i);
        const long double g[p] = {1, TwoPi * (t[i] - middle) * (fit.sine * c - fit.cosine * s), c, s};
        for (int a = 0; a < p; ++a)
            for (int b = 0; b <= a; ++b)
                normal[a][b] += wi * g[a] * g[b];
        const long double r = y[i] - (fit.constant + fit.cosine * c + fit.sine * s);
        squares += wi * r * r;
    }
    gsl_set_error_handler_off();
    gsl_matrix *covariance = gsl_matrix_alloc(p, p);
    for (int a = 0; a < p; ++a)
        for (int b = 0; b <= a; ++b) {
            gsl_matrix_set(covariance, a, b, static_cast<double>(normal[a][b]));
            gsl_matrix_set(covariance, b, a, static_cast<double>(normal[a][b]));
        }
    const bool inverted = gsl_linalg_cholesky_decomp1(covariance) == GSL_SUCCESS &&
                          gsl_linalg_cholesky_invert(covariance) == GSL_SUCCESS;
    if (inverted) {
        errors.quality = QualityOfFit(static_cast<double>(squares), n, p, w != nullptr);
        const double scale = errors.quality.errorScale * errors.quality.errorScale;
        const double period = 1 / fit.frequency;
        errors.frequencyError = std::sqrt(scale * gsl_matrix_get(covariance, 1, 1));
        errors.periodError = errors.frequencyError * period * period;
        const double a = fit.cosine, b = fit.sine;
        const double varA = gsl_matrix_get(covariance, 2, 2), varB = gsl_matrix_get(covariance, 3, 3);
        const double covAB = gsl_matrix_get(covariance, 2, 3);
        errors.amplitudeError =
            fit.amplitude > 0
                ? std::sqrt(scale * std::fmax(a * a * varA + b * b * varB + 2 * a * b * covAB, 0.0)) / fit.amplitude
                : std::sqrt(scale * 0.5 * (varA + varB));
    }
    gsl_matrix_free(covariance);
    return inverted && std::isfinite(errors.frequencyError);
}

double PeriodErrorFromTimeSpread(double period, double residualRms, int n, double amplitude, double timeSpread)
{
    return PeriodError(period, residualRms, n, amplitude, static_cast<double>(std::sqrt(12.0L) * timeSpread));
}
