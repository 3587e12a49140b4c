// The observations as the methods take them, the error texts and the
// significance of an extreme value over a band of frequencies.
#include <algorithm>
#include <cmath>

#include "methodsinternal.h"

const char *MethodErrorText(MethodError error)
{
    switch (error) {
    case MethodOk:
        return "no error";
    case MethodTooFewObservations:
        return "too few observations";
    case MethodNotFinite:
        return "a time or magnitude is not a finite number";
    case MethodBadWeight:
        return "a weight is negative or not finite";
    case MethodBadOrder:
        return "the number of harmonics or phase bins is out of range";
    case MethodBadFrequency:
        return "a frequency is not finite and positive";
    case MethodBadDurations:
        return "the box durations or box bins are out of range";
    case MethodBadThreads:
        return "the number of threads is negative";
    case MethodUnknownName:
        return "unknown method";
    }
    return "unknown error";
}

namespace {

MethodError CheckObservations(const double *t, const double *y, const double *w, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(t[i]) || !std::isfinite(y[i]))
            return MethodNotFinite;
        if (w != nullptr && !(std::isfinite(w[i]) && w[i] >= 0))
            return MethodBadWeight;
    }
    return MethodOk;
}

} // namespace

MethodError PrepareMethodData(const double *t, const double *y, const double *w, int n, MethodData &data)
{
    data = MethodData();
    if (n < 2 || t == nullptr || y == nullptr)
        return MethodTooFewObservations;
    const MethodError error = CheckObservations(t, y, w, n);
    if (error != MethodOk)
        return error;
    MethodData prepared;
    prepared.n = n;
    prepared.origin = t[0];
    prepared.time.assign(t, t + n);
    prepared.weight.assign(n, 1.0);
    if (w != nullptr)
        prepared.weight.assign(w, w + n);
    long double weightTotal = 0, weightedSum = 0;
    for (int i = 0; i < n; ++i) {
        weightTotal += prepared.weight[i];
        weightedSum += static_cast<long double>(prepared.weight[i]) * y[i];
        if (prepared.weight[i] > 0)
            ++prepared.weighted;
    }
    if (prepared.weighted < 2)
        return MethodTooFewObservations;
    if (!std::isfinite(static_cast<double>(weightTotal)))
        return MethodBadWeight;
    prepared.weightTotal = static_cast<double>(weightTotal);
    prepared.mean = static_cast<double>(weightedSum / weightTotal);
    prepared.earliest = *std::min_element(t, t + n);
    prepared.latest = *std::max_element(t, t + n);
    prepared.value.resize(n);
    long double sumOfSquares = 0;
    for (int i = 0; i < n; ++i) {
        prepared.value[i] = static_cast<double>(static_cast<long double>(y[i]) - prepared.mean);
        sumOfSquares += static_cast<long double>(prepared.weight[i]) * prepared.value[i] * prepared.value[i];
    }
    prepared.sumOfSquares = static_cast<double>(sumOfSquares);
    data = std::move(prepared);
    return MethodOk;
}

double ObservationPhase(double t, double origin, double f)
{
    const long double cycles = (static_cast<long double>(t) - origin) * f;
    const double whole = std::floor(static_cast<double>(cycles));
    // Rounding the cycles to double may have crossed a whole number.
    double phase = static_cast<double>(cycles - whole);
    if (phase < 0)
        phase += 1;
    if (phase >= 1)
        phase -= 1;
    return phase >= 0 && phase < 1 ? phase : 0;
}

double TimeSpread(const MethodData &data)
{
    long double weightedTime = 0;
    for (int i = 0; i < data.n; ++i)
        weightedTime += data.weight[i] * (static_cast<long double>(data.time[i]) - data.origin);
    const long double mean = weightedTime / data.weightTotal;
    long double squares = 0;
    for (int i = 0; i < data.n; ++i) {
        const long double d = static_cast<long double>(data.time[i]) - data.origin - mean;
        squares += data.weight[i] * d * d;
    }
    return static_cast<double>(std::sqrt(squares / data.weightTotal));
}

double BandFalseAlarm(double singleFalseAlarm, double effectiveFrequencies)
{
    if (!(singleFalseAlarm < 1))
        return 1;
    const double p = std::max(singleFalseAlarm, 0.0);
    const double m = effectiveFrequencies > 1 ? effectiveFrequencies : 1;
    return -std::expm1(m * std::log1p(-p));
}
