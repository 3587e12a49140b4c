// Sine fits at a fixed frequency, the errors and significance of a peak,
// and the spectral window.
#include <cmath>

#include "analysis.h"

namespace {

const long double TwoPi = 6.283185307179586476925286766559L;

// A fit whose normal equations are this close to singular (relative to the
// product of their diagonal) has no room: the phases nearly coincide.
const long double SingularShare = 1e-12L;

double PhaseAngle(double t, double reference, double frequency)
{
    return static_cast<double>((static_cast<long double>(t) - reference) * TwoPi * frequency);
}

long double Determinant3(const long double m[3][3])
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

} // namespace

bool FitSine(const double *t, const double *y, int n, double frequency, double reference, SineFit &fit)
{
    long double sc = 0, ss = 0, scc = 0, scs = 0, sss = 0, sy = 0, syc = 0, sys = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = PhaseAngle(t[i], reference, frequency);
        const long double c = std::cos(angle), s = std::sin(angle);
        sc += c;
        ss += s;
        scc += c * c;
        scs += c * s;
        sss += s * s;
        sy += y[i];
        syc += y[i] * c;
        sys += y[i] * s;
    }
    const long double normal[3][3] = {{static_cast<long double>(n), sc, ss}, {sc, scc, scs}, {ss, scs, sss}};
    const long double det = Determinant3(normal);
    if (!(std::fabs(det) > SingularShare * n * scc * sss))
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
        squares += r * r;
    }
    fit.residualRms = static_cast<double>(std::sqrt(squares / n));
    return std::isfinite(fit.amplitude) && std::isfinite(fit.residualRms);
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
