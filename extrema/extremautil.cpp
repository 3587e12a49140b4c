// The status texts and names of the extrema module, and its small helpers.
#include "extrema.h"
#include "extremautil.h"

#include <algorithm>
#include <numeric>

const char *ExtremaStatusText(ExtremaStatus status)
{
    switch (status) {
    case ExtremaOk: return "";
    case ExtremaNoPeriod: return "no period: timing extrema needs a period greater than zero";
    case ExtremaBadEpoch: return "the epoch is not a finite number";
    case ExtremaTooManyCycles: return "the period is so short that the observations span more than a million cycles";
    case ExtremaBadObservations:
        return "an observation has a time, magnitude or uncertainty that is not a finite number, or an "
               "uncertainty that is not positive";
    case ExtremaBadWindow: return "the window must be a share of the period greater than 0 and at most 1";
    case ExtremaBadDegree: return "the polynomial degree must be 2, 3 or 4";
    case ExtremaBadMinimumPerSide: return "at least one observation must be asked for on each side of an extremum";
    case ExtremaBadTrials: return "the number of Monte Carlo trials must not be negative";
    case ExtremaNoCurve: return "the harmonic-curve method needs a curve with a period and at least one harmonic";
    case ExtremaEmptyWindow: return "the window around the extremum holds no observations";
    case ExtremaTooFewPoints: return "too few observations on one side of the extremum";
    case ExtremaNoSymmetry: return "the two branches of the light curve give no time of symmetry";
    case ExtremaWrongKind: return "the window holds the other kind of extremum";
    case ExtremaNoExtremumInWindow: return "the fitted curve has no extremum of the asked kind inside the window";
    case ExtremaOutsideWindow: return "the timed extremum lies outside its window";
    case ExtremaNoneTimed: return "no extremum of the observations could be timed";
    case ExtremaSingleExtremum: return "a single extremum: an O-C fit needs at least two";
    case ExtremaOneCycle: return "all extrema fall in one cycle: an O-C fit needs at least two cycles";
    case ExtremaBadTimeError: return "an extremum's time error is not a positive finite number";
    case ExtremaBadLevel: return "the significance level must lie between 0 and 1";
    case ExtremaTooFewForQuadratic: return "a quadratic O-C fit needs at least three cycles";
    }
    return "unknown status";
}

const char *TimingMethodName(TimingMethod method)
{
    switch (method) {
    case TimingAutomatic: return "automatic";
    case TimingKweeVanWoerden: return "kvw";
    case TimingPolynomial: return "polynomial";
    case TimingHarmonicCurve: return "harmonic";
    }
    return "unknown";
}

const char *ErrorSourceName(ErrorSource source)
{
    switch (source) {
    case ErrorFromScatter: return "scatter";
    case ErrorFromFormula: return "formula";
    case ErrorFromCovariance: return "covariance";
    }
    return "unknown";
}

const char *ExtremumKindName(ExtremumKind kind)
{
    return kind == MinimumBrightness ? "minimum brightness" : "maximum brightness";
}

bool AllFinite(const double *v, int n)
{
    if (!v) return true;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

bool UsableUncertainties(const double *sigma, int n)
{
    if (!sigma) return true;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(sigma[i]) || !(sigma[i] > 0)) return false;
    return true;
}

void SortedDistinct(const double *t, const double *y, int n, double origin, std::vector<double> &times,
                    std::vector<double> &magnitudes)
{
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t[a] < t[b]; });
    times.clear();
    magnitudes.clear();
    for (int i = 0; i < n;) {
        int j = i;
        long double sum = 0;
        while (j < n && t[order[j]] == t[order[i]]) sum += y[order[j++]];
        times.push_back(t[order[i]] - origin);
        magnitudes.push_back((double)(sum / (j - i)));
        i = j;
    }
}

void CountSides(const double *t, int n, double time, int &before, int &after)
{
    before = after = 0;
    for (int i = 0; i < n; ++i) {
        if (t[i] < time) ++before;
        if (t[i] > time) ++after;
    }
}

double StandardDeviation(const std::vector<double> &values)
{
    const size_t n = values.size();
    if (n < 2) return 0;
    long double mean = 0;
    for (double v : values) mean += v;
    mean /= n;
    long double sum = 0;
    for (double v : values) sum += (v - mean) * (v - mean);
    return std::sqrt((double)(sum / (n - 1)));
}
