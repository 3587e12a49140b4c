// Checks of the residuals of a fit for correlation in time order: the runs
// test of their signs and their lag-1 autocorrelation.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "significance.h"

namespace {

// The observation numbers in the order of their times (equal times in
// file order).
std::vector<int> TimeOrder(const double *t, int n)
{
    std::vector<int> order(std::max(n, 0));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t[a] < t[b]; });
    return order;
}

} // namespace

RunsOfSigns RunsTestOfSigns(const double *t, const double *residual, int n)
{
    RunsOfSigns result = {0, 0, 0, NAN, NAN};
    int previous = 0;
    for (int i : TimeOrder(t, n)) {
        const int sign = residual[i] > 0 ? 1 : residual[i] < 0 ? -1 : 0;
        if (sign == 0)
            continue;
        if (sign > 0)
            ++result.above;
        else
            ++result.below;
        if (sign != previous)
            ++result.runs;
        previous = sign;
    }
    const long double n1 = result.above, n2 = result.below, total = n1 + n2;
    if (n1 == 0 || n2 == 0)
        return result;
    result.expectedRuns = static_cast<double>(1 + 2 * n1 * n2 / total);
    const long double variance = 2 * n1 * n2 * (2 * n1 * n2 - total) / (total * total * (total - 1));
    result.z = variance > 0 ? static_cast<double>((result.runs - result.expectedRuns) / std::sqrt(variance)) : NAN;
    return result;
}

double LagOneAutocorrelation(const double *t, const double *residual, const double *w, int n)
{
    if (n < 3)
        return NAN;
    std::vector<double> r;
    r.reserve(n);
    for (int i : TimeOrder(t, n))
        r.push_back(w == nullptr ? residual[i] : residual[i] * std::sqrt(w[i]));
    long double mean = 0;
    for (double v : r)
        mean += v;
    mean /= n;
    long double squares = 0, products = 0;
    for (int i = 0; i < n; ++i) {
        squares += (r[i] - mean) * (r[i] - mean);
        if (i + 1 < n)
            products += (r[i] - mean) * (r[i + 1] - mean);
    }
    if (!(squares > 0))
        return NAN;
    return static_cast<double>(products / squares);
}

ResidualCorrelation CheckResidualCorrelation(const double *t, const double *residual, const double *w, int n,
                                             double zLimit)
{
    ResidualCorrelation result;
    result.runs = RunsTestOfSigns(t, residual, n);
    result.lagOne = LagOneAutocorrelation(t, residual, w, n);
    result.lagOneZ = std::isnan(result.lagOne) ? NAN : (result.lagOne + 1.0 / n) * std::sqrt(static_cast<double>(n));
    result.correlated = result.runs.z < -zLimit || result.lagOneZ > zLimit;
    result.errorFactor = result.lagOne > 0 && result.lagOne < 1 ? std::sqrt((1 + result.lagOne) / (1 - result.lagOne))
                                                               : result.lagOne >= 1 ? INFINITY : 1;
    return result;
}
