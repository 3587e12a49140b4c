// Choosing the timing method, timing one window, and finding every
// extremum that a period predicts over the data.
#include "extrema.h"
#include "extremautil.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// The options' own refusals (the method's curve included).
ExtremaStatus CheckOptions(const TimingOptions &options)
{
    if (options.minimumPerSide < 1) return ExtremaBadMinimumPerSide;
    if (options.polynomialDegree != 0 && (options.polynomialDegree < 2 || options.polynomialDegree > 4))
        return ExtremaBadDegree;
    if (options.trials < 0) return ExtremaBadTrials;
    if (options.method == TimingHarmonicCurve) {
        const HarmonicCurve &c = options.curve;
        if (!(c.period > 0) || !std::isfinite(c.period) || c.cosines.empty() || c.cosines.size() != c.sines.size())
            return ExtremaNoCurve;
    }
    return ExtremaOk;
}

ExtremaStatus CheckObservations(const double *t, const double *y, const double *sigma, int n)
{
    if (n < 0 || (n > 0 && (!t || !y))) return ExtremaBadObservations;
    if (!AllFinite(t, n) || !AllFinite(y, n) || !UsableUncertainties(sigma, n)) return ExtremaBadObservations;
    return ExtremaOk;
}

// The points of one window, copied out.
struct WindowPoints {
    std::vector<double> t, y, sigma;
    bool hasSigma = false;
    int Count() const { return (int)t.size(); }
    const double *Sigma() const { return hasSigma ? sigma.data() : nullptr; }
};

// Times the extremum in one window of validated points (all inside it).
ExtremumTiming TimeWindow(const WindowPoints &w, ExtremumKind kind, double centre, double width,
                          const TimingOptions &options, uint32_t seed)
{
    ExtremumTiming result;
    const int n = w.Count();
    result.points = n;
    if (n == 0) return Refused(result, ExtremaEmptyWindow);
    CountSides(w.t.data(), n, centre, result.before, result.after);
    if (result.before < options.minimumPerSide || result.after < options.minimumPerSide)
        return Refused(result, ExtremaTooFewPoints);
    const TimingMethod method = ChooseTimingMethod(w.t.data(), n, centre, width, options);
    switch (method) {
    case TimingKweeVanWoerden:
        result = TimeByKweeVanWoerden(w.t.data(), w.y.data(), n, kind, options.trials, seed);
        // A flat or rugged top gives the reflection no clear minimum; the
        // automatic choice then takes the polynomial.
        if (result.status == ExtremaNoSymmetry && options.method == TimingAutomatic)
            result = TimeByPolynomial(w.t.data(), w.y.data(), w.Sigma(), n, kind,
                                      ChoosePolynomialDegree(n, options), centre);
        break;
    case TimingHarmonicCurve:
        result = TimeByHarmonicCurve(w.t.data(), w.y.data(), w.Sigma(), n, options.curve, kind, centre, width / 2);
        break;
    default:
        result = TimeByPolynomial(w.t.data(), w.y.data(), w.Sigma(), n, kind, ChoosePolynomialDegree(n, options),
                                  centre);
        break;
    }
    if (result.status != ExtremaOk) return result;
    if (std::fabs(result.time - centre) > width / 2) return Refused(result, ExtremaOutsideWindow);
    if (result.before < options.minimumPerSide || result.after < options.minimumPerSide)
        return Refused(result, ExtremaTooFewPoints);
    return result;
}

// The observations with their order by time.
struct SortedObservations {
    const double *t, *y, *sigma;
    std::vector<int> order;      // indices in time order
    std::vector<double> times;   // t in that order
};

SortedObservations SortObservations(const double *t, const double *y, const double *sigma, int n)
{
    SortedObservations obs{t, y, sigma, std::vector<int>(n), std::vector<double>(n)};
    std::iota(obs.order.begin(), obs.order.end(), 0);
    std::stable_sort(obs.order.begin(), obs.order.end(), [&](int a, int b) { return t[a] < t[b]; });
    for (int i = 0; i < n; ++i) obs.times[i] = t[obs.order[i]];
    return obs;
}

// The observations inside [centre - width/2, centre + width/2].
WindowPoints SelectWindow(const SortedObservations &obs, double centre, double width)
{
    WindowPoints w;
    w.hasSigma = obs.sigma != nullptr;
    const auto lo = std::lower_bound(obs.times.begin(), obs.times.end(), centre - width / 2);
    const auto hi = std::upper_bound(obs.times.begin(), obs.times.end(), centre + width / 2);
    for (auto it = lo; it != hi; ++it) {
        const int i = obs.order[it - obs.times.begin()];
        w.t.push_back(obs.t[i]);
        w.y.push_back(obs.y[i]);
        if (obs.sigma) w.sigma.push_back(obs.sigma[i]);
    }
    return w;
}

// A seed of its own for each cycle, mixed from the options' seed
// (the finaliser of the SplitMix64 generator).
uint32_t CycleSeed(uint32_t seed, long cycle)
{
    uint64_t z = ((uint64_t)seed << 32) ^ (uint64_t)(int64_t)cycle;
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (uint32_t)z;
}

// Times every window that the ephemeris predicts over the observations,
// into search.found, search.skipped and search.emptyWindows (cleared first).
void TimeEveryWindow(const SortedObservations &obs, ExtremumKind kind, double epoch, double period, double width,
                     const TimingOptions &options, ExtremaSearch &search)
{
    search.found.clear();
    search.skipped.clear();
    search.emptyWindows = 0;
    // The windows are settled without the Monte Carlo trials, which then
    // run once on the final window.
    TimingOptions settling = options;
    settling.trials = 0;
    for (const PredictedExtremum &p : PredictExtrema(epoch, period, obs.times.front(), obs.times.back())) {
        const uint32_t seed = CycleSeed(options.seed, p.cycle);
        double centre = p.time;
        WindowPoints w = SelectWindow(obs, centre, width);
        if (w.Count() == 0) {
            ++search.emptyWindows;
            continue;
        }
        ExtremumTiming timing = TimeWindow(w, kind, centre, width, settling, seed);
        if (timing.status == ExtremaOk && std::fabs(timing.time - p.time) > width / 2)
            timing.status = ExtremaOutsideWindow;
        // Centre the window on the time found and time again, twice at most;
        // a later window that fails leaves the last good time.
        double goodCentre = centre;
        for (int pass = 0; pass < 2 && timing.status == ExtremaOk; ++pass) {
            if (std::fabs(timing.time - centre) <= 0.01 * width) break;
            centre = timing.time;
            const WindowPoints moved = SelectWindow(obs, centre, width);
            ExtremumTiming again = TimeWindow(moved, kind, centre, width, settling, seed);
            if (again.status != ExtremaOk) break;
            timing = again;
            w = moved;
            goodCentre = centre;
            if (std::fabs(again.time - p.time) > width / 2) timing.status = ExtremaOutsideWindow;
        }
        if (timing.status == ExtremaOk && timing.method == TimingKweeVanWoerden && options.trials > 0)
            timing = TimeWindow(w, kind, goodCentre, width, options, seed);
        if (timing.status == ExtremaOk)
            search.found.push_back({p.cycle, p.time, timing});
        else
            search.skipped.push_back({p.cycle, p.time, timing.status, timing.before, timing.after});
    }
    std::stable_sort(search.found.begin(), search.found.end(),
                     [](const FoundExtremum &a, const FoundExtremum &b) { return a.timing.time < b.timing.time; });
}

// The unweighted straight line time = epoch + period * cycle through the
// times found; false below two cycles.
bool LineThroughTimes(const std::vector<FoundExtremum> &found, double &epoch, double &period)
{
    const size_t n = found.size();
    if (n < 2) return false;
    long double me = 0, mt = 0;
    for (const FoundExtremum &f : found) {
        me += f.cycle;
        mt += f.timing.time;
    }
    me /= n;
    mt /= n;
    long double see = 0, set = 0;
    for (const FoundExtremum &f : found) {
        see += (f.cycle - me) * (f.cycle - me);
        set += (f.cycle - me) * (f.timing.time - mt);
    }
    if (!(see > 0)) return false;
    period = (double)(set / see);
    epoch = (double)(mt - period * me);
    return period > 0 && std::isfinite(period) && std::isfinite(epoch);
}

}  // namespace

int ChoosePolynomialDegree(int n, const TimingOptions &options)
{
    if (options.polynomialDegree != 0) return options.polynomialDegree;
    return n >= 10 ? 3 : 2;
}

TimingMethod ChooseTimingMethod(const double *t, int n, double centre, double width, const TimingOptions &options)
{
    if (options.method != TimingAutomatic) return options.method;
    int before, after;
    CountSides(t, n, centre, before, after);
    if (before < options.kvwMinimumPerSide || after < options.kvwMinimumPerSide) return TimingPolynomial;
    std::vector<double> sorted(t, t + n);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 1; i < n; ++i)
        if (sorted[i] - sorted[i - 1] > options.kvwLargestGap * width) return TimingPolynomial;
    return TimingKweeVanWoerden;
}

ExtremumTiming TimeExtremum(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                            double centre, double width, const TimingOptions &options)
{
    ExtremumTiming result;
    ExtremaStatus status = CheckOptions(options);
    if (status == ExtremaOk && !(width > 0 && std::isfinite(width))) status = ExtremaBadWindow;
    if (status == ExtremaOk) status = CheckObservations(t, y, sigma, n);
    if (status == ExtremaOk && !std::isfinite(centre)) status = ExtremaBadObservations;
    if (status != ExtremaOk) return Refused(result, status);
    const WindowPoints w = SelectWindow(SortObservations(t, y, sigma, n), centre, width);
    return TimeWindow(w, kind, centre, width, options, options.seed);
}

std::vector<PredictedExtremum> PredictExtrema(double epoch, double period, double first, double last)
{
    std::vector<PredictedExtremum> predicted;
    if (!(period > 0) || !std::isfinite(period) || !std::isfinite(epoch) || !(last >= first)) return predicted;
    const double from = std::ceil((first - epoch) / period), to = std::floor((last - epoch) / period);
    if (!(to - from < MaximumPredicted)) return predicted;
    for (double e = from; e <= to; ++e) {
        const double time = (double)((long double)epoch + (long double)e * period);
        if (time >= first && time <= last) predicted.push_back({(long)e, time});
    }
    return predicted;
}

ExtremaStatus EpochFromData(const double *t, const double *y, int n, double period, ExtremumKind kind, double width,
                            double &epoch)
{
    if (!(period > 0) || !std::isfinite(period)) return ExtremaNoPeriod;
    if (CheckObservations(t, y, nullptr, n) != ExtremaOk) return ExtremaBadObservations;
    if (!(width > 0 && width <= 1)) return ExtremaBadWindow;
    if (n == 0) return ExtremaEmptyWindow;
    const double first = *std::min_element(t, t + n);
    // Phases in [0, 1), sorted, then repeated one cycle on to wrap around.
    std::vector<std::pair<double, double>> folded(n);
    for (int i = 0; i < n; ++i) {
        const long double cycles = ((long double)t[i] - first) / period;
        folded[i] = {(double)(cycles - std::floor(cycles)), y[i]};
    }
    std::sort(folded.begin(), folded.end());
    std::vector<double> phase(2 * n);
    std::vector<long double> sum(2 * n + 1, 0);
    for (int i = 0; i < 2 * n; ++i) {
        phase[i] = folded[i % n].first + (i >= n ? 1 : 0);
        sum[i + 1] = sum[i] + folded[i % n].second;
    }
    const int trials = 1000;
    const double sign = kind == MinimumBrightness ? 1 : -1;
    bool found = false;
    double bestPhase = 0, bestMean = 0;
    for (int k = 0; k < trials; ++k) {
        // Trial phases in [0.5, 1.5) see whole neighbourhoods in the doubled list.
        const double c = 0.5 + (double)k / trials;
        const int lo = (int)(std::lower_bound(phase.begin(), phase.end(), c - width / 2) - phase.begin());
        const int hi = (int)(std::upper_bound(phase.begin(), phase.end(), c + width / 2) - phase.begin());
        const int count = std::min(hi - lo, n);
        if (count < 3) continue;
        const double mean = (double)((sum[lo + count] - sum[lo]) / count);
        if (!found || sign * mean > sign * bestMean) {
            found = true;
            bestMean = mean;
            bestPhase = c - 1;
        }
    }
    if (!found) return ExtremaEmptyWindow;
    epoch = (double)((long double)first + (long double)bestPhase * period);
    return ExtremaOk;
}

ExtremaSearch FindExtrema(const double *t, const double *y, const double *sigma, int n, ExtremumKind kind,
                          double period, bool hasEpoch, double epoch, const TimingOptions &options)
{
    ExtremaSearch search;
    search.kind = kind;
    search.period = period;
    if (!(period > 0) || !std::isfinite(period)) {
        search.status = ExtremaNoPeriod;
        return search;
    }
    ExtremaStatus status = CheckOptions(options);
    if (status == ExtremaOk && !(options.windowShare > 0 && options.windowShare <= 1)) status = ExtremaBadWindow;
    if (status == ExtremaOk) status = CheckObservations(t, y, sigma, n);
    if (status == ExtremaOk && hasEpoch && !std::isfinite(epoch)) status = ExtremaBadEpoch;
    if (status == ExtremaOk && n == 0) status = ExtremaNoneTimed;
    if (status != ExtremaOk) {
        search.status = status;
        return search;
    }
    if (!hasEpoch) {
        status = EpochFromData(t, y, n, period, kind, options.windowShare / 2, epoch);
        if (status != ExtremaOk) {
            search.status = status == ExtremaEmptyWindow ? ExtremaNoneTimed : status;
            return search;
        }
    }
    search.epoch = epoch;
    search.epochFromData = !hasEpoch;
    const double width = options.windowShare * period;
    search.window = width;
    search.windowEpoch = epoch;
    search.windowPeriod = period;

    const SortedObservations obs = SortObservations(t, y, sigma, n);
    if (!((obs.times.back() - obs.times.front()) / period < MaximumPredicted)) {
        search.status = ExtremaTooManyCycles;
        return search;
    }

    TimeEveryWindow(obs, kind, epoch, period, width, options, search);
    // Once more with the windows placed from the line through the times
    // found, when that line is a sound ephemeris and finds no fewer.
    double lineEpoch, linePeriod;
    if (LineThroughTimes(search.found, lineEpoch, linePeriod) && std::fabs(linePeriod - period) < 0.1 * period) {
        ExtremaSearch again = search;
        TimeEveryWindow(obs, kind, lineEpoch, linePeriod, width, options, again);
        if (again.found.size() >= search.found.size()) {
            search = again;
            search.windowEpoch = lineEpoch;
            search.windowPeriod = linePeriod;
        }
    }
    if (search.found.empty()) search.status = ExtremaNoneTimed;
    return search;
}
