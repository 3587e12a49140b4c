// The time of an extremum from the symmetry of its branches (Kwee and van
// Woerden 1956), with the published error and a Monte Carlo error from the
// points' own scatter.
#include "extrema.h"
#include "extremautil.h"

#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>

namespace {

// The points joined by straight lines, times counted from the first one,
// with the slope of each segment.
struct Polyline {
    double origin = 0;
    std::vector<double> t, y, slope;
};

void ComputeSlopes(Polyline &line)
{
    line.slope.resize(line.t.size() - 1);
    for (size_t i = 0; i + 1 < line.t.size(); ++i)
        line.slope[i] = (line.y[i + 1] - line.y[i]) / (line.t[i + 1] - line.t[i]);
}

// The magnitude of the polyline at x (the end values beyond the ends).
double PolylineAt(const Polyline &line, double x)
{
    const int last = (int)line.t.size() - 1;
    if (x <= line.t[0]) return line.y[0];
    if (x >= line.t[last]) return line.y[last];
    const int i = (int)(std::upper_bound(line.t.begin(), line.t.end(), x) - line.t.begin()) - 1;
    return line.y[i] + line.slope[i] * (x - line.t[i]);
}

// S(T): the sum over k = 1..pairs of the squared difference between the
// polyline at centre + k step and at centre - k step.  Two indices walk
// out from the centre's segment, one up and one down.
double ReflectionSum(const Polyline &line, double centre, double step, int pairs)
{
    const double *t = line.t.data(), *y = line.y.data(), *slope = line.slope.data();
    const int last = (int)line.t.size() - 1;
    int up = (int)(std::upper_bound(line.t.begin(), line.t.end(), centre) - line.t.begin()) - 1;
    up = std::max(0, std::min(last - 1, up));
    int down = up;
    double sum = 0;
    for (int k = 1; k <= pairs; ++k) {
        const double xUp = centre + k * step, xDown = centre - k * step;
        while (up < last - 1 && t[up + 1] < xUp) ++up;
        while (down > 0 && t[down] > xDown) --down;
        const double mUp = xUp >= t[last] ? y[last] : y[up] + slope[up] * (xUp - t[up]);
        const double mDown = xDown <= t[0] ? y[0] : y[down] + slope[down] * (xDown - t[down]);
        const double d = mUp - mDown;
        sum += d * d;
    }
    return sum;
}

// The scan and refinement of the trial time T on [low, high] with a fixed
// number of pairs: S on steps of 'step', then golden-section search
// between the neighbours of the smallest.
double SymmetryTime(const Polyline &line, double low, double high, double step, int pairs)
{
    double best = low, bestSum = ReflectionSum(line, low, step, pairs);
    const int steps = std::max(1, (int)std::ceil((high - low) / step));
    for (int i = 1; i <= steps; ++i) {
        const double x = std::min(high, low + i * step);
        const double s = ReflectionSum(line, x, step, pairs);
        if (s < bestSum) {
            bestSum = s;
            best = x;
        }
    }
    double a = std::max(low, best - step), b = std::min(high, best + step);
    auto sum = [&](double x) { return ReflectionSum(line, x, step, pairs); };
    return GoldenMinimum(sum, a, b, 1e-3 * step);
}

// One Kwee and van Woerden timing of the polyline: the time, the published
// error, the magnitude there and the pairs used.
struct KvwTime {
    double time, formulaError, magnitude;
    int pairs;
};

// The trial times on each side of the centre that the parabola of S is
// fitted to: S on a rugged curve of noisy points wanders from step to
// step, and nine trial times smooth that where three would not.
const int ParabolaSide = 4;

// The least-squares parabola S = a x^2 + b x + c through S(centre + k dt),
// k = -ParabolaSide..ParabolaSide, x = time - centre.
void FitParabolaOfS(const Polyline &line, double centre, double step, int pairs, double &a, double &b, double &c)
{
    double sum0 = 0, sum2 = 0, sum4 = 0, sumS = 0, sumXS = 0, sumX2S = 0;
    for (int k = -ParabolaSide; k <= ParabolaSide; ++k) {
        const double x = k * step, x2 = x * x;
        const double s = ReflectionSum(line, centre + x, step, pairs);
        sum0 += 1;
        sum2 += x2;
        sum4 += x2 * x2;
        sumS += s;
        sumXS += x * s;
        sumX2S += x2 * s;
    }
    b = sumXS / sum2;
    const double determinant = sum0 * sum4 - sum2 * sum2;
    a = (sum0 * sumX2S - sum2 * sumS) / determinant;
    c = (sum4 * sumS - sum2 * sumX2S) / determinant;
}

// The timing with 'pairs' pairs, starting from 'start': the parabola of S
// around the centre moves the centre to its vertex (within the parabola's
// own reach) until the move is below a hundredth of dt, four times at
// most; the last parabola gives the time and the published error.  False
// when S has no minimum or the time leaves +-reach of the start.
bool KvwNear(const Polyline &line, double start, double reach, int pairs, KvwTime &out)
{
    const int n = (int)line.t.size();
    const double step = (line.t.back() - line.t.front()) / (2.0 * (n - 1));
    double centre = start, a = 0, b = 0, c = 0;
    for (int iteration = 0; iteration < 4; ++iteration) {
        FitParabolaOfS(line, centre, step, pairs, a, b, c);
        if (!(a > 0)) return false;
        const double shift = -b / (2 * a);
        if (std::fabs(centre + shift - start) > reach) return false;
        out.time = centre + shift;
        if (std::fabs(shift) < 1e-2 * step) break;
        centre += std::max(-ParabolaSide * step, std::min(ParabolaSide * step, shift));
    }
    out.pairs = pairs;
    // Independent pairs: half the observations inside the reflected range.
    const double reflected = pairs * step;
    const auto lo = std::lower_bound(line.t.begin(), line.t.end(), out.time - reflected);
    const auto hi = std::upper_bound(line.t.begin(), line.t.end(), out.time + reflected);
    // (4AC - B^2) / 4A is the parabola's least value; S itself at the time
    // found stands for it, since a parabola fitted to a V-shaped S can dip
    // below zero there.
    const double z = (hi - lo) / 2.0;
    const double least = ReflectionSum(line, out.time, step, pairs);
    out.formulaError = z > 1 ? std::sqrt(least / (a * (z - 1))) : 0;
    out.magnitude = PolylineAt(line, out.time);
    return true;
}

// The full timing: the scan of the middle half of the span with pairs
// reaching a quarter of it, then the parabolas near the best time with as
// many pairs as the nearer end allows, leaving room for the parabola's
// trial times and a move of twice their reach.
bool KvwFull(const Polyline &line, KvwTime &out)
{
    const int n = (int)line.t.size();
    const double span = line.t.back() - line.t.front();
    const double step = span / (2.0 * (n - 1));
    const double quarter = span / 4;
    const int firstPairs = std::max(1, (int)std::floor(quarter / step + 1e-9));
    const double t1 = SymmetryTime(line, line.t.front() + quarter, line.t.back() - quarter, step, firstPairs);
    const double reach = 2 * ParabolaSide * step;
    const double room = std::min(t1 - line.t.front(), line.t.back() - t1) - reach - ParabolaSide * step;
    const int pairs = (int)std::floor(room / step + 1e-9);
    if (pairs < 2) return false;
    return KvwNear(line, t1, reach, pairs, out);
}

// The scatter of the points about the straight line through their two
// neighbours, each residual divided by its own noise factor
// sqrt(1 + w^2 + (1 - w)^2); residuals beyond four robust sigmas (1.4826
// times the median absolute residual) are left out of the rms.
double PointScatter(const Polyline &line)
{
    const int n = (int)line.t.size();
    std::vector<double> r;
    for (int i = 1; i + 1 < n; ++i) {
        const double w = (line.t[i + 1] - line.t[i]) / (line.t[i + 1] - line.t[i - 1]);
        const double expected = w * line.y[i - 1] + (1 - w) * line.y[i + 1];
        r.push_back((line.y[i] - expected) / std::sqrt(1 + w * w + (1 - w) * (1 - w)));
    }
    if (r.empty()) return 0;
    std::vector<double> absolute(r.size());
    for (size_t i = 0; i < r.size(); ++i) absolute[i] = std::fabs(r[i]);
    std::nth_element(absolute.begin(), absolute.begin() + absolute.size() / 2, absolute.end());
    const double robust = 1.4826 * absolute[absolute.size() / 2];
    long double sum = 0;
    int used = 0;
    for (double v : r)
        if (robust == 0 || std::fabs(v) <= 4 * robust) {
            sum += (long double)v * v;
            ++used;
        }
    return used > 0 ? std::sqrt((double)(sum / used)) : 0;
}

}  // namespace

ExtremumTiming TimeByKweeVanWoerden(const double *t, const double *y, int n, ExtremumKind kind, int trials,
                                    uint32_t seed)
{
    ExtremumTiming result;
    result.method = TimingKweeVanWoerden;
    if (trials < 0) return Refused(result, ExtremaBadTrials);
    if (n <= 0) return Refused(result, ExtremaEmptyWindow);
    if (!AllFinite(t, n) || !AllFinite(y, n)) return Refused(result, ExtremaBadObservations);

    Polyline line;
    line.origin = *std::min_element(t, t + n);
    SortedDistinct(t, y, n, line.origin, line.t, line.y);
    result.points = n;
    if (line.t.size() < 5) return Refused(result, ExtremaTooFewPoints);
    ComputeSlopes(line);

    KvwTime found;
    if (!KvwFull(line, found)) return Refused(result, ExtremaNoSymmetry);

    // The middle must be the asked kind of extremum: fainter than the mean
    // for a minimum of brightness.
    long double mean = 0;
    for (double v : line.y) mean += v;
    mean /= line.y.size();
    const bool fainter = found.magnitude > (double)mean;
    if (fainter != (kind == MinimumBrightness)) return Refused(result, ExtremaWrongKind);

    result.time = line.origin + found.time;
    result.formulaError = found.formulaError;
    result.magnitude = found.magnitude;
    result.noise = PointScatter(line);
    CountSides(t, n, result.time, result.before, result.after);

    // Monte Carlo: the same timing on the points with noise of their scatter.
    std::vector<double> times;
    if (trials > 0 && result.noise > 0) {
        gsl_rng *rng = gsl_rng_alloc(gsl_rng_mt19937);
        gsl_rng_set(rng, seed);
        // The trials keep the pairs and search widely enough for their own
        // spread, as far as the ends allow.
        const double step = (line.t.back() - line.t.front()) / (2.0 * (line.t.size() - 1));
        const double room = std::min(found.time - line.t.front(), line.t.back() - found.time) -
                            (found.pairs + ParabolaSide) * step;
        const double reach = std::max(step, std::min(room, std::max(2 * ParabolaSide * step, 6 * found.formulaError)));
        Polyline noisy = line;
        for (int k = 0; k < trials; ++k) {
            for (size_t i = 0; i < line.y.size(); ++i) noisy.y[i] = line.y[i] + gsl_ran_gaussian(rng, result.noise);
            ComputeSlopes(noisy);
            KvwTime again;
            if (KvwNear(noisy, found.time, reach, found.pairs, again)) times.push_back(again.time);
        }
        gsl_rng_free(rng);
    }
    if (trials > 0 && result.noise > 0 && (int)times.size() * 2 >= trials) {
        result.scatterError = StandardDeviation(times);
        result.error = result.scatterError;
        result.errorSource = ErrorFromScatter;
    } else {
        result.error = result.formulaError;
        result.errorSource = ErrorFromFormula;
    }
    return result;
}
