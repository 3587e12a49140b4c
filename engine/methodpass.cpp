// The pass of a period-search method over the grid of trial periods, its
// peaks refined and described, and the fold's harmonic shape.
#include "methodpass.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "nufft.h"

namespace {

// Grid points evaluated at once: large enough for the threads to share,
// small enough that the chunk's arrays stay a few hundred kilobytes.
const long ChunkPoints = 16384;
// With the fast transform: enough that one transform serves many points
// (the transform bounds its own memory).
const long FastChunkPoints = 262144;

// The false alarm whose statistic the report gives as its level.
const double LevelFalseAlarm = 0.05;

// Two refined peaks closer than this many times 1 / span in frequency are one.
const double SamePeakHalfWidths = 0.5;

// Grid peaks collected for each peak reported: the candidates from which
// the distinct ones are chosen.
const int CandidatesPerPeak = 8;

// A method without harmonics of its own folds with this many.
const int DefaultFoldHarmonics = 3;

bool IsDcdftName(const std::string &name) { return name.empty() || name == "dcdft"; }

double GridPointFrequency(const PeriodGrid &grid, long k) { return GridFrequency(grid, k); }

// The value fed to the peak collector and the refinement: the higher the
// better for every method, and positive where a method finds more than
// noise alone would (the collector keeps only positive peaks): 1 - theta
// for phase dispersion.
double Goodness(const MethodChoice &choice, double statistic)
{
    return MethodLowIsBest(choice.kind) ? 1 - statistic : statistic;
}

double WindowAt(const MethodData &data, double f)
{
    HarmonicSums sums;
    ComputeHarmonicSums(data, f, 1, sums);
    return (sums.cosine[1] * sums.cosine[1] + sums.sine[1] * sums.sine[1]) / (data.weightTotal * data.weightTotal);
}

struct Band {
    double fmin, fmax, timeSpread;
};

double PeakFalseAlarm(const MethodData &data, const MethodChoice &choice, const Band &band, double f, double statistic)
{
    switch (choice.kind) {
    case MethodHarmonics:
        return AovBandFalseAlarm(AovOfHarmonicPower(statistic, data.weighted, choice.order), data.weighted,
                                 choice.order, band.fmin, band.fmax, band.timeSpread);
    case MethodAov:
        return AovBandFalseAlarm(statistic, data.weighted, choice.order, band.fmin, band.fmax, band.timeSpread);
    case MethodPdm:
        return PdmFalseAlarm(PdmAt(data, f, choice.order), data.weighted);
    default:
        return NAN;
    }
}

const char *FalseAlarmKind(MethodKind kind)
{
    switch (kind) {
    case MethodHarmonics:
    case MethodAov:
        return "over the band (F distribution, effective number of frequencies)";
    case MethodPdm:
        return "single frequency (beta distribution)";
    default:
        return "none";
    }
}

void AddBox(const MethodData &data, const MethodChoice &choice, double f, PeakReport &p)
{
    const BoxFit box = BoxSearch(data, f, choice.box);
    p.hasBox = true;
    p.boxDepth = box.depth;
    p.boxDuration = box.duration;
    p.boxMidTime = box.midTime;
}

// A refined local maximum of the statistic.
struct Candidate {
    double frequency, goodness;
};

// The best 'wanted' candidates, best first, leaving out each one closer
// than half the frequency resolution 1 / span to a better one: the
// statistics of phase bins and boxes are ragged, so that one peak of the
// spectrum holds many local maxima of the grid.
std::vector<Candidate> DistinctCandidates(std::vector<Candidate> candidates, double span, int wanted)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.goodness > b.goodness; });
    const double closest = SamePeakHalfWidths / span;
    std::vector<Candidate> kept;
    for (const Candidate &c : candidates) {
        if (static_cast<int>(kept.size()) >= wanted)
            break;
        bool distinct = true;
        for (const Candidate &k : kept)
            if (std::fabs(k.frequency - c.frequency) < closest)
                distinct = false;
        if (distinct)
            kept.push_back(c);
    }
    return kept;
}

// Whether the pass takes the harmonics' sums from the fast transform: the
// harmonic fit and the analysis of variance only.
bool FastMethodPass(const MethodData &data, const MethodChoice &choice, const AnalysisSettings &settings,
                    const PeriodGrid &grid)
{
    return (choice.kind == MethodHarmonics || choice.kind == MethodAov) &&
           FastTransformChosen(settings.transform, grid, data.weighted);
}

// The statistics of grid points first .. first + count - 1 (periods
// increasing, so frequencies decreasing) from the fast transform of their
// frequencies in increasing order.
void FastChunk(const MethodData &data, const MethodChoice &choice, const AnalysisSettings &settings,
               const PeriodGrid &grid, long first, long count, double *values)
{
    FastHarmonicGrid(data, choice, GridFrequency(grid, first + count - 1), grid.frequencyStep, count - 1,
                     settings.threads, values);
    std::reverse(values, values + count);
}

// The statistic of every grid point to the hooks, the best peaks collected.
std::vector<GridPeak> EvaluatePass(const MethodData &data, const MethodChoice &choice, const AnalysisSettings &settings,
                                   const AnalysisHooks &hooks, const PeriodGrid &grid, bool fast)
{
    const long points = std::max(grid.intervals + 1, 0L);
    const long chunk = std::min(fast ? FastChunkPoints : ChunkPoints, points);
    std::vector<double> periods(static_cast<std::size_t>(chunk)), frequencies(periods.size()),
        values(periods.size()), windows(settings.window ? periods.size() : 0);
    PeakCollector collector;
    StartPeakCollector(collector, settings.peaks > 0 ? CandidatesPerPeak * settings.peaks : 0);
    if (hooks.passBegins)
        hooks.passBegins(points);
    for (long first = 0; first < points; first += chunk) {
        const long count = std::min(chunk, points - first);
        for (long j = 0; j < count; ++j) {
            periods[j] = GridPeriod(grid, first + j);
            frequencies[j] = GridPointFrequency(grid, first + j);
        }
        if (fast)
            FastChunk(data, choice, settings, grid, first, count, values.data());
        else
            EvaluateGrid(data, choice, frequencies.data(), count, settings.threads, values.data());
        for (long j = 0; j < count; ++j)
            FeedPower(collector, Goodness(choice, values[j]));
        if (hooks.spectrum)
            hooks.spectrum(periods.data(), values.data(), count);
        if (settings.window && hooks.window) {
            for (long j = 0; j < count; ++j)
                windows[j] = WindowAt(data, frequencies[j]);
            hooks.window(periods.data(), windows.data(), count);
        }
        if (hooks.progress)
            hooks.progress(first + count, points);
    }
    return FinishPeakCollector(collector);
}

// theta, or the harmonic power, of the AOV statistic of a band false alarm
// of LevelFalseAlarm: the band probability falls with theta, so bisection
// in log theta between a level surely too low and one surely too high.
double AovLevel(int observations, int harmonics, const Band &band)
{
    double low = 1e-6, high = 1e6;
    if (AovBandFalseAlarm(high, observations, harmonics, band.fmin, band.fmax, band.timeSpread) > LevelFalseAlarm)
        return NAN;
    for (int step = 0; step < 200 && high - low > 1e-12 * high; ++step) {
        const double middle = std::sqrt(low * high);
        if (AovBandFalseAlarm(middle, observations, harmonics, band.fmin, band.fmax, band.timeSpread) >
            LevelFalseAlarm)
            low = middle;
        else
            high = middle;
    }
    return high;
}

bool PrepareCurve(const LightCurve &curve, const double *weights, MethodData &data)
{
    const int n = static_cast<int>(curve.time.size());
    return PrepareMethodData(curve.time.data(), curve.magnitude.data(), weights, n, data) == MethodOk;
}

const char *FalseAlarmCode(MethodKind kind)
{
    switch (kind) {
    case MethodHarmonics:
    case MethodAov:
        return "f_distribution_band";
    case MethodPdm:
        return "beta_single_frequency";
    default:
        return "none";
    }
}

// The random splits of phase dispersion's alternate-cycle test, and the
// chance below which the period is doubled: that of no random split doing
// as well as the even and odd cycles.
const int AlternateCycleSplits = 199;
const double DoublingProbability = 1.0 / (AlternateCycleSplits + 1);

// The grid point nearest frequency f (clamped to the grid).
long NearestGridPoint(const PeriodGrid &grid, double f)
{
    const double k = grid.evenInFrequency ? grid.intervals - (f - grid.firstFrequency) / grid.frequencyStep
                                          : (1 / f - grid.minimum) / grid.step;
    if (!(k > 0))
        return 0;
    return k >= grid.intervals ? grid.intervals : std::lround(k);
}

// The refined peak of goodness nearest f: the best grid point within half
// a peak width (0.5 / span in frequency) of f, refined between its
// neighbours.
Candidate PeakNear(const std::function<double(double)> &goodness, const PeriodGrid &grid, double f, double span)
{
    const double halfWidth = SamePeakHalfWidths / span;
    const long low = NearestGridPoint(grid, f + halfWidth), high = NearestGridPoint(grid, f - halfWidth);
    long best = NearestGridPoint(grid, f);
    double bestGoodness = goodness(GridPointFrequency(grid, best));
    const long step = std::max(1L, (std::max(low, high) - std::min(low, high)) / 2000);
    for (long k = std::min(low, high); k <= std::max(low, high); k += step) {
        const double g = goodness(GridPointFrequency(grid, k));
        if (g > bestGoodness) {
            bestGoodness = g;
            best = k;
        }
    }
    const double refined = RefinePeakFrequency(goodness, grid, best);
    return {refined, goodness(refined)};
}

// Phase dispersion folds a light curve of two unequal halves best at half
// its period, one half over the other, when its bins are too wide for the
// narrow features that tell the halves apart.  The even and odd cycles at
// the best period then differ beyond chance; the strongest period becomes
// the peak at twice it, ahead of the others.
std::vector<Candidate> CheckAlternateCycles(const MethodData &data, const MethodChoice &choice,
                                            const AnalysisSettings &settings, const PeriodGrid &grid,
                                            const std::function<double(double)> &goodness,
                                            std::vector<Candidate> kept, AlternateCycleReport &report)
{
    const double f = kept.front().frequency, span = data.latest - data.earliest;
    const AlternateCycles test = PdmAlternateCycles(data, f, choice.order, AlternateCycleSplits, settings.seed);
    report.tested = true;
    report.period = 1 / f;
    report.probability = test.probability;
    report.cycles = test.cycles;
    report.splits = test.splits;
    if (test.probability > DoublingProbability)
        return kept;
    if (f / 2 < GridPointFrequency(grid, grid.intervals) * (1 - 1e-12)) {
        report.beyondRange = true;
        return kept;
    }
    report.doubled = true;
    const Candidate doubled = PeakNear(goodness, grid, f / 2, span);
    std::vector<Candidate> reordered{doubled};
    for (const Candidate &c : kept)
        if (static_cast<int>(reordered.size()) < settings.peaks &&
            std::fabs(c.frequency - doubled.frequency) >= SamePeakHalfWidths / span)
            reordered.push_back(c);
    return reordered;
}

} // namespace

bool FastTransformChosen(TransformChoice transform, const PeriodGrid &grid, long observations)
{
    if (!grid.evenInFrequency || transform == TransformExact)
        return false;
    return transform == TransformFast || FastTransformIsCheaper(observations, grid.intervals + 1);
}

bool UsesMethodPass(const AnalysisSettings &settings)
{
    // Durations without a box search are refused by the method pass.
    return !IsDcdftName(settings.method) || !settings.durations.empty();
}

bool MethodChoiceOfSettings(const AnalysisSettings &settings, MethodChoice &choice, EngineError &error)
{
    choice = MethodChoice();
    if (!IsDcdftName(settings.method) && ParseMethod(settings.method, choice) != MethodOk) {
        error = {"Neznama metoda '" + settings.method + "'.", "unknown method '" + settings.method +
                                                                   "' (dcdft, harmonics:H, aov:H, pdm:B or bls)"};
        return false;
    }
    if (!settings.durations.empty()) {
        if (choice.kind != MethodBls) {
            error = {"Delky zakryti plati jen pro metodu bls.", "box durations are for the method bls only"};
            return false;
        }
        choice.box.durations = settings.durations;
    }
    if (CheckMethodChoice(choice) != MethodOk) {
        error = {"Nepouzitelne delky zakryti.", "box durations must lie between 0 and 0.5 of the period"};
        return false;
    }
    return true;
}

double MethodSignificanceLevel(const MethodChoice &choice, int observations, double fmin, double fmax,
                               double timeSpread)
{
    const Band band{fmin, fmax, timeSpread};
    if (choice.kind == MethodAov)
        return AovLevel(observations, choice.order, band);
    if (choice.kind == MethodHarmonics) {
        const double theta = AovLevel(observations, choice.order, band);
        const double x = theta * 2 * choice.order / (observations - 2 * choice.order - 1);
        return x / (1 + x);
    }
    return NAN;
}

bool RunMethodPass(const LightCurve &curve, const double *weights, const AnalysisSettings &settings,
                   const AnalysisHooks &hooks, const PeriodGrid &grid, const std::function<PeakReport(double frequency)> &describePeak,
                   PeriodReport &report, EngineError &error)
{
    MethodChoice choice;
    if (!MethodChoiceOfSettings(settings, choice, error))
        return false;
    MethodData data;
    if (!PrepareCurve(curve, weights, data)) {
        error = {"Data nelze pouzit pro metodu.", "the data cannot be used by the method"};
        return false;
    }
    report.method = MethodName(choice);
    report.statistic = MethodStatisticName(choice.kind);
    report.lowIsBest = MethodLowIsBest(choice.kind);
    report.falseAlarmKind = FalseAlarmKind(choice.kind);
    report.falseAlarmMethod = FalseAlarmCode(choice.kind);
    const Band band{GridPointFrequency(grid, grid.intervals), GridPointFrequency(grid, 0), TimeSpread(data)};
    report.significanceLevel = MethodSignificanceLevel(choice, data.weighted, band.fmin, band.fmax, band.timeSpread);

    const bool fast = FastMethodPass(data, choice, settings, grid);
    report.grid.transform = fast ? "fast" : "exact";
    const std::vector<GridPeak> peaks = EvaluatePass(data, choice, settings, hooks, grid, fast);
    const auto goodness = [&](double f) { return Goodness(choice, MethodStatistic(data, choice, f)); };
    std::vector<Candidate> candidates;
    for (const GridPeak &g : peaks) {
        const double f = RefinePeakFrequency(goodness, grid, g.index);
        candidates.push_back({f, goodness(f)});
    }
    report.peaks.clear();
    std::vector<Candidate> kept = DistinctCandidates(candidates, data.latest - data.earliest, settings.peaks);
    report.alternateCycles = AlternateCycleReport();
    if (choice.kind == MethodPdm && !kept.empty())
        kept = CheckAlternateCycles(data, choice, settings, grid, goodness, kept, report.alternateCycles);
    for (const Candidate &c : kept) {
        PeakReport p = describePeak(c.frequency);
        p.power = MethodStatistic(data, choice, c.frequency);
        p.falseAlarmProbability = PeakFalseAlarm(data, choice, band, c.frequency, p.power);
        if (choice.kind == MethodBls)
            AddBox(data, choice, c.frequency, p);
        report.peaks.push_back(p);
    }
    return true;
}

int FoldHarmonicsOf(const AnalysisSettings &settings)
{
    if (settings.foldHarmonics > 0)
        return settings.foldHarmonics;
    MethodChoice choice;
    EngineError error;
    if (!MethodChoiceOfSettings(settings, choice, error))
        return 0;
    const int own = MethodHarmonicsOf(choice);
    return own > 0 ? own : DefaultFoldHarmonics;
}

bool WantsFoldShape(const AnalysisSettings &settings)
{
    return UsesMethodPass(settings) || settings.foldHarmonics > 1;
}

bool DescribeFoldShape(const LightCurve &curve, const double *weights, const AnalysisSettings &settings,
                       FoldReport &fold)
{
    const int harmonics = FoldHarmonicsOf(settings);
    MethodData data;
    HarmonicFit fit;
    if (harmonics < 1 || !PrepareCurve(curve, weights, data) || !(fold.period > 0) ||
        FitHarmonics(data, 1 / fold.period, harmonics, fit) != MethodOk)
        return false;
    const LightCurveShape shape = DescribeLightCurve(fit, (data.earliest + data.latest) / 2);
    fold.hasShape = true;
    fold.harmonics = harmonics;
    fold.fullAmplitude = shape.fullAmplitude;
    fold.epochOfMaximum = shape.epochOfMaximum;
    fold.epochOfMinimum = shape.epochOfMinimum;
    fold.riseTime = shape.riseTime;
    fold.r21 = shape.r21;
    fold.r31 = shape.r31;
    fold.phi21Sine = shape.phi21;
    fold.phi31Sine = shape.phi31;
    fold.phi21Cosine = shape.phi21Cosine;
    fold.phi31Cosine = shape.phi31Cosine;
    fold.shapeResidualRms = fit.residualRms;
    fold.shapeConstant = fit.constant;
    // The fit's angles count from its reference T0; the fold's phases from
    // its epoch: k omega (t - T0) = 2 pi k phase + delta_k.
    const long double cycles = (static_cast<long double>(fold.epoch) - fit.reference) / fold.period;
    const double shift = 2 * M_PI * static_cast<double>(cycles - std::floor(cycles));
    fold.shapeCosines.assign(static_cast<std::size_t>(harmonics), 0);
    fold.shapeSines.assign(static_cast<std::size_t>(harmonics), 0);
    for (int k = 1; k <= harmonics; ++k) {
        const double c = std::cos(k * shift), s = std::sin(k * shift);
        fold.shapeCosines[k - 1] = fit.cosine[k] * c + fit.sine[k] * s;
        fold.shapeSines[k - 1] = fit.sine[k] * c - fit.cosine[k] * s;
    }
    return true;
}
