// The fold's fit of a constant plus H harmonics and the shape of the
// fitted light curve: full amplitude, epochs of maximum and minimum
// brightness, rise time and the Fourier parameters of pulsators.
#include <cmath>
#include <limits>

#include "methodsinternal.h"

namespace {

// The grid of phases per harmonic on which the extremes are looked for,
// and the precision in phase to which they are refined.
const int ShapeGridPerHarmonic = 200;
const double ShapePhasePrecision = 1e-10;

double WrapAngle(double angle)
{
    const double twoPi = static_cast<double>(MethodTwoPi);
    double wrapped = std::fmod(angle, twoPi);
    if (wrapped < 0)
        wrapped += twoPi;
    return wrapped < twoPi ? wrapped : 0;
}

// The fitted magnitude at a phase (cycles from T0).
double CurveAtPhase(const HarmonicFit &fit, double phase)
{
    long double value = fit.constant;
    for (int k = 1; k <= fit.harmonics; ++k) {
        const double angle = static_cast<double>(MethodTwoPi * k * phase);
        value += fit.cosine[k] * std::cos(angle) + fit.sine[k] * std::sin(angle);
    }
    return static_cast<double>(value);
}

// The phase of the least value of sign * curve within [low, high], by
// golden-section search.
double RefineExtreme(const HarmonicFit &fit, double sign, double low, double high)
{
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = low, b = high;
    double c = b - ratio * (b - a), d = a + ratio * (b - a);
    double fc = sign * CurveAtPhase(fit, c), fd = sign * CurveAtPhase(fit, d);
    while (b - a > ShapePhasePrecision) {
        if (fc < fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - ratio * (b - a);
            fc = sign * CurveAtPhase(fit, c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + ratio * (b - a);
            fd = sign * CurveAtPhase(fit, d);
        }
    }
    return (a + b) / 2;
}

// The phase (0..1) of the least value of sign * curve.
double ExtremePhase(const HarmonicFit &fit, double sign)
{
    const int points = ShapeGridPerHarmonic * fit.harmonics;
    int best = 0;
    double bestValue = sign * CurveAtPhase(fit, 0);
    for (int j = 1; j < points; ++j) {
        const double value = sign * CurveAtPhase(fit, static_cast<double>(j) / points);
        if (value < bestValue) {
            bestValue = value;
            best = j;
        }
    }
    const double step = 1.0 / points;
    const double phase = RefineExtreme(fit, sign, (best - 1) * step, (best + 1) * step);
    return phase - std::floor(phase);
}

// The time of the given phase (cycles from T0) nearest 'near'.
double EpochNearest(const HarmonicFit &fit, double phase, double near)
{
    const long double cycles = (static_cast<long double>(near) - fit.reference) * fit.frequency - phase;
    return static_cast<double>(fit.reference + (phase + std::round(cycles)) / fit.frequency);
}

} // namespace

MethodError FitHarmonics(const MethodData &data, double f, int harmonics, HarmonicFit &fit)
{
    if (harmonics < 1 || harmonics > MaxHarmonics)
        return MethodBadOrder;
    if (!(std::isfinite(f) && f > 0))
        return MethodBadFrequency;
    if (data.weighted < 2 * harmonics + 2)
        return MethodTooFewObservations;
    HarmonicSums sums;
    ComputeHarmonicSums(data, f, harmonics, sums);
    const int m = 2 * harmonics + 1;
    long double matrix[MaxHarmonicColumns * MaxHarmonicColumns], x[MaxHarmonicColumns];
    HarmonicNormalEquations(sums, matrix, x);
    if (!CholeskyFactor(matrix, m, NoRoomShare * static_cast<long double>(sums.cosine[0])))
        return MethodTooFewObservations;
    ForwardSubstitute(matrix, m, x);
    BackSubstitute(matrix, m, x);
    HarmonicFit result;
    result.frequency = f;
    result.reference = data.origin;
    result.harmonics = harmonics;
    result.constant = static_cast<double>(data.mean + x[0]);
    for (int k = 1; k <= harmonics; ++k) {
        result.cosine[k] = static_cast<double>(x[2 * k - 1]);
        result.sine[k] = static_cast<double>(x[2 * k]);
        result.amplitude[k] = std::hypot(result.cosine[k], result.sine[k]);
        result.phase[k] = WrapAngle(std::atan2(result.cosine[k], result.sine[k]));
    }
    long double squares = 0;
    for (int i = 0; i < data.n; ++i) {
        const long double residual = static_cast<long double>(data.value[i]) + data.mean -
                                     HarmonicFitValue(result, data.time[i]);
        squares += data.weight[i] * residual * residual;
    }
    result.residualRms = static_cast<double>(std::sqrt(squares / data.weightTotal));
    fit = result;
    return MethodOk;
}

double HarmonicFitValue(const HarmonicFit &fit, double t)
{
    const double angle = ObservationAngle(t, fit.reference, fit.frequency);
    long double value = fit.constant;
    for (int k = 1; k <= fit.harmonics; ++k)
        value += fit.cosine[k] * std::cos(k * angle) + fit.sine[k] * std::sin(k * angle);
    return static_cast<double>(value);
}

LightCurveShape DescribeLightCurve(const HarmonicFit &fit, double near)
{
    LightCurveShape shape;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (fit.harmonics < 1 || fit.harmonics > MaxHarmonics || !(fit.frequency > 0)) {
        shape.fullAmplitude = shape.brightest = shape.faintest = nan;
        shape.epochOfMaximum = shape.epochOfMinimum = shape.riseTime = nan;
        shape.r21 = shape.r31 = shape.phi21 = shape.phi31 = shape.phi21Cosine = shape.phi31Cosine = nan;
        return shape;
    }
    // Maximum brightness is the least magnitude, minimum the greatest.
    const double phaseOfMaximum = ExtremePhase(fit, 1);
    const double phaseOfMinimum = ExtremePhase(fit, -1);
    shape.brightest = CurveAtPhase(fit, phaseOfMaximum);
    shape.faintest = CurveAtPhase(fit, phaseOfMinimum);
    shape.fullAmplitude = shape.faintest - shape.brightest;
    shape.epochOfMaximum = EpochNearest(fit, phaseOfMaximum, near);
    shape.epochOfMinimum = EpochNearest(fit, phaseOfMinimum, near);
    const double rise = phaseOfMaximum - phaseOfMinimum;
    shape.riseTime = rise - std::floor(rise);
    const double a1 = fit.amplitude[1];
    const bool second = fit.harmonics >= 2 && a1 > 0, third = fit.harmonics >= 3 && a1 > 0;
    shape.r21 = second ? fit.amplitude[2] / a1 : nan;
    shape.phi21 = second ? WrapAngle(fit.phase[2] - 2 * fit.phase[1]) : nan;
    shape.r31 = third ? fit.amplitude[3] / a1 : nan;
    shape.phi31 = third ? WrapAngle(fit.phase[3] - 3 * fit.phase[1]) : nan;
    const double pi = static_cast<double>(MethodTwoPi / 2);
    shape.phi21Cosine = second ? WrapAngle(shape.phi21 + pi / 2) : nan;
    shape.phi31Cosine = third ? WrapAngle(shape.phi31 + pi) : nan;
    return shape;
}
