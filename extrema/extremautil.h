// Small helpers shared by the extrema module's sources (not part of its
// interface).
#pragma once
#include "extrema.h"

#include <cmath>
#include <vector>

// The result with the status set (the values left as they are).
inline ExtremumTiming Refused(ExtremumTiming result, ExtremaStatus status)
{
    result.status = status;
    return result;
}

// True when every one of v[0..n-1] is finite; true also for a null v.
bool AllFinite(const double *v, int n);

// True when sigma is null or every sigma[i] is finite and positive.
bool UsableUncertainties(const double *sigma, int n);

// The points sorted by time, the times counted from 'origin', equal times
// merged into one point with the mean magnitude.
void SortedDistinct(const double *t, const double *y, int n, double origin, std::vector<double> &times,
                    std::vector<double> &magnitudes);

// How many of t[0..n-1] lie before and after 'time' (a time equal to it
// counts on neither side).
void CountSides(const double *t, int n, double time, int &before, int &after);

// The sample standard deviation (n - 1 in the denominator); 0 below two values.
double StandardDeviation(const std::vector<double> &values);

// The minimum of f on [a, b] by golden-section search to within tolerance.
template <class Function>
double GoldenMinimum(Function f, double a, double b, double tolerance)
{
    const double g = 0.61803398874989484820;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < 200 && b - a > tolerance; ++i) {
        if (fc < fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    return fc < fd ? c : d;
}
