// The analysis of several bands at once.  Each band's estimates are centred
// on their own mean and prepared for the kernels on their own; a trial
// frequency's sums are taken band by band, and the bands' reductions of
// their sums of squares are added.
#include "multiband.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "inputforms.h"
#include "spectrumpass.h"

namespace {

// Two refined peaks closer than this (relative in frequency) are one.
const double SamePeakShare = 1e-7;

std::string Decimal(double value, const char *format)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The estimates of one band, and all estimates with each band's mean off.
struct BandData {
    std::vector<std::vector<double>> t, y; // a band's times and centred magnitudes
    std::vector<double> mean;
    std::vector<double> allCentred;        // every estimate minus its band's mean, in input order
};

struct SeveralBands {
    const LightCurve &curve;
    const AnalysisSettings &settings;
    const AnalysisHooks &hooks;
    int n = 0;
    double earliest = 0, latest = 0, span = 0;
    BandData data;
    BandTerms bands;
    SpectrumTerms all; // every estimate, for the spectral window
    PeriodGrid grid{};
    long intervals = 0;
    SeveralBands(const LightCurve &c, const AnalysisSettings &s, const AnalysisHooks &h)
        : curve(c), settings(s), hooks(h)
    {
    }
    ~SeveralBands()
    {
        ReleaseBandTerms(bands);
        ReleaseSpectrumTerms(all);
    }
};

void Note(const SeveralBands &a, const std::string &text)
{
    if (a.hooks.note)
        a.hooks.note(text);
}

bool Refused(AnalysisOutcome &outcome, const std::string &czech, const std::string &english)
{
    outcome.ok = false;
    outcome.error = EngineError{czech, english};
    return false;
}

bool CheckBandIndexes(const LightCurve &curve, AnalysisOutcome &outcome)
{
    if (curve.bandOf.size() != curve.time.size() || curve.time.size() != curve.magnitude.size() ||
        (!curve.uncertainty.empty() && curve.uncertainty.size() != curve.time.size()))
        return Refused(outcome, "Pocet pasem neodpovida poctu odhadu.", "the bands do not match the estimates in number");
    for (std::size_t i = 0; i < curve.bandOf.size(); ++i) {
        const int b = curve.bandOf[i];
        if (b < 0 || static_cast<std::size_t>(b) >= curve.bands.size())
            return Refused(outcome, "Odhad " + std::to_string(i + 1) + " nema platne pasmo.",
                           "estimate " + std::to_string(i + 1) + " has no valid band");
        if (!std::isfinite(curve.time[i]) || !std::isfinite(curve.magnitude[i]))
            return Refused(outcome, "Cas nebo velikost odhadu " + std::to_string(i + 1) + " neni konecne cislo.",
                           "the time or magnitude of estimate " + std::to_string(i + 1) + " is not a finite number");
    }
    return true;
}

void SplitBands(SeveralBands &a)
{
    const std::size_t count = a.curve.bands.size();
    BandData &d = a.data;
    d.t.assign(count, {});
    d.y.assign(count, {});
    d.mean.assign(count, 0);
    for (int i = 0; i < a.n; ++i) {
        const int b = a.curve.bandOf[i];
        d.t[b].push_back(a.curve.time[i]);
        d.y[b].push_back(a.curve.magnitude[i]);
    }
    a.bands.terms.assign(count, SpectrumTerms{});
    a.bands.sumOfSquares.assign(count, 0);
    a.bands.totalSumOfSquares = 0;
    for (std::size_t b = 0; b < count; ++b) {
        std::vector<double> centred;
        const int m = static_cast<int>(d.y[b].size());
        a.bands.sumOfSquares[b] = m > 0 ? CentreValues(d.y[b].data(), m, centred) : 0;
        double sum = 0;
        for (double v : d.y[b])
            sum += v;
        d.mean[b] = m > 0 ? sum / m : NAN;
        d.y[b] = centred;
        a.bands.totalSumOfSquares += a.bands.sumOfSquares[b];
        if (m > 0)
            PrepareSpectrumTerms(a.bands.terms[b], d.t[b].data(), d.y[b].data(), m);
    }
    d.allCentred.resize(static_cast<std::size_t>(a.n));
    for (int i = 0; i < a.n; ++i)
        d.allCentred[i] = a.curve.magnitude[i] - d.mean[a.curve.bandOf[i]];
}

bool Prepare(SeveralBands &a, AnalysisOutcome &outcome)
{
    if (!CheckBandIndexes(a.curve, outcome))
        return false;
    EngineError error;
    if (!CheckIntervalsAllowed(a.settings.intervals, error))
        return Refused(outcome, error.czech, error.english);
    a.n = static_cast<int>(a.curve.time.size());
    a.earliest = a.latest = a.n > 0 ? a.curve.time[0] : 0;
    for (double t : a.curve.time) {
        a.earliest = std::fmin(a.earliest, t);
        a.latest = std::fmax(a.latest, t);
    }
    a.span = a.latest - a.earliest;
    if (!CheckUsableData(a.curve.time.data(), a.curve.magnitude.data(), a.n, a.span, error))
        return Refused(outcome, error.czech, error.english);
    a.intervals = PeriodGridIntervals(a.settings, a.span, outcome.report.grid, a.hooks);
    if (!CheckUsableRange(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals, error))
        return Refused(outcome, error.czech, error.english);
    if (a.settings.maximumPeriod > a.span)
        Note(a, "note: the maximum period exceeds the time span of the estimates (" + Decimal(a.span, "%.2f") +
                    " d)");
    std::string english, czech;
    if (CoarseGridWarning(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals, a.span, english, czech))
        Note(a, english);
    SplitBands(a);
    if (!std::isfinite(a.bands.totalSumOfSquares))
        return Refused(outcome, "Hvezdne velikosti jsou prilis velke: spektrum nelze spocitat.",
                       "the magnitudes are too large: no spectrum can be computed");
    if (!(a.bands.totalSumOfSquares > 0))
        return Refused(outcome, "V kazdem pasmu maji vsechny odhady stejnou velikost: spektrum nelze spocitat.",
                       "every band's estimates have one magnitude: no spectrum can be computed");
    a.grid = MakePeriodGrid(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals);
    if (a.settings.window)
        PrepareSpectrumTerms(a.all, a.curve.time.data(), a.data.allCentred.data(), a.n);
    return true;
}

std::vector<GridPeak> Pass(SeveralBands &a)
{
    const long points = std::max(a.grid.intervals + 1, 0L);
    const int threads = SpectrumThreadsFor(a.settings.threads, a.n, points);
    const long chunk = std::max(std::min(SpectrumChunkPoints(threads), points), 1L);
    std::vector<double> periods(chunk), powers(chunk), windows(a.settings.window ? chunk : 0);
    std::vector<SpectrumSums> sums(a.settings.window ? chunk : 0);
    PeakCollector collector;
    StartPeakCollector(collector, a.settings.peaks);
    if (a.hooks.passBegins)
        a.hooks.passBegins(points);
    for (long first = 0; first < points; first += chunk) {
        const long count = std::min(chunk, points - first);
        for (long j = 0; j < count; ++j)
            periods[j] = GridPeriod(a.grid, first + j);
        MultiBandPowers(a.bands, periods.data(), count, threads, powers.data());
        for (long j = 0; j < count; ++j)
            FeedPower(collector, powers[j]);
        if (a.hooks.spectrum)
            a.hooks.spectrum(periods.data(), powers.data(), count);
        if (a.settings.window) {
            SpectrumSumsOfPeriods(a.all, periods.data(), count, threads, sums.data());
            for (long j = 0; j < count; ++j)
                windows[j] = WindowOfSums(sums[j], a.all.weightSum);
            if (a.hooks.window)
                a.hooks.window(periods.data(), windows.data(), count);
        }
        if (a.hooks.progress)
            a.hooks.progress(first + count, points);
    }
    return FinishPeakCollector(collector);
}

double MiddleTime(const SeveralBands &a) { return a.earliest + a.span / 2; }

PeakReport DescribePeak(const SeveralBands &a, double frequency, const PeriodReport &r)
{
    PeakReport p;
    p.frequency = frequency;
    p.period = 1 / frequency;
    p.power = MultiBandPower(a.bands, frequency);
    p.falseAlarmProbability = FalseAlarmProbability(p.power, a.n, r.span, r.grid.minimumPeriod, r.grid.maximumPeriod);
    SineFit fit;
    if (FitSine(a.curve.time.data(), a.data.allCentred.data(), a.n, frequency, a.earliest, fit)) {
        p.amplitude = fit.amplitude;
        p.residualRms = fit.residualRms;
        p.epochOfMaximum = EpochOfMaximum(fit, MiddleTime(a));
        p.periodError = PeriodError(p.period, fit.residualRms, a.n, fit.amplitude, r.span);
    } else {
        p.amplitude = p.residualRms = p.epochOfMaximum = p.periodError = NAN;
    }
    return p;
}

void DescribeBands(const SeveralBands &a, PeriodReport &r)
{
    const double frequency = r.peaks.empty() ? NAN : r.peaks[0].frequency;
    for (std::size_t b = 0; b < a.curve.bands.size(); ++b) {
        BandReport band{a.curve.bands[b], static_cast<long>(a.data.t[b].size()), a.data.mean[b], NAN, NAN};
        SineFit fit;
        if (std::isfinite(frequency) &&
            FitSine(a.data.t[b].data(), a.data.y[b].data(), static_cast<int>(a.data.t[b].size()), frequency,
                    a.earliest, fit)) {
            band.amplitude = fit.amplitude;
            band.epochOfMaximum = EpochOfMaximum(fit, MiddleTime(a));
        }
        r.bands.push_back(band);
    }
}

void Fold(const SeveralBands &a, PeriodReport &r)
{
    double period = a.settings.foldPeriod;
    if (a.settings.foldAtBest) {
        if (r.peaks.empty()) {
            Note(a, "--fold best: the spectrum has no peak to fold with");
            return;
        }
        period = r.peaks[0].period;
    }
    SineFit fit;
    if (!FitSine(a.curve.time.data(), a.data.allCentred.data(), a.n, 1 / period, a.earliest, fit)) {
        Note(a, "--fold: no sine fits the data at the period " + Decimal(period, "%.10g"));
        return;
    }
    r.hasFold = true;
    r.fold.period = period;
    r.fold.epoch = EpochOfMaximum(fit, MiddleTime(a));
    r.fold.amplitude = fit.amplitude;
    r.fold.meanMagnitude = r.meanMagnitude + fit.constant;
    r.fold.residualRms = fit.residualRms;
}

void DescribeData(const SeveralBands &a, PeriodReport &r)
{
    double sum = 0;
    for (double m : a.curve.magnitude)
        sum += m;
    DescribeCurveData(a.curve, a.n, a.earliest, a.latest, sum / a.n, a.grid, r);
    DescribeReadInput(a.curve, r);
}

void Run(SeveralBands &a, AnalysisOutcome &outcome)
{
    PeriodReport &r = outcome.report;
    const std::vector<GridPeak> peaks = Pass(a);
    DescribeData(a, r);
    r.significanceLevel =
        SignificanceThreshold(a.n, a.earliest, a.latest, a.settings.minimumPeriod, a.settings.maximumPeriod);
    for (const GridPeak &g : peaks) {
        const double f =
            RefinePeakFrequency([&](double frequency) { return MultiBandPower(a.bands, frequency); }, a.grid, g.index);
        bool seen = false;
        for (const PeakReport &p : r.peaks)
            seen = seen || std::fabs(p.frequency - f) <= SamePeakShare * f;
        if (!seen)
            r.peaks.push_back(DescribePeak(a, f, r));
    }
    DescribeBands(a, r);
    if (a.settings.prewhiten > 0)
        Note(a, "prewhitening is not done with several bands at once");
    if (a.settings.fold)
        Fold(a, r);
    outcome.ok = true;
}

} // namespace

bool HasSeveralBands(const LightCurve &curve) { return !curve.bands.empty(); }

double MultiBandPower(const BandTerms &bands, double frequency)
{
    if (!(bands.totalSumOfSquares > 0))
        return 0;
    long double reduction = 0;
    for (std::size_t b = 0; b < bands.terms.size(); ++b)
        if (bands.terms[b].count > 0 && bands.sumOfSquares[b] > 0)
            reduction += static_cast<long double>(PreparedPower(bands.terms[b], frequency, bands.sumOfSquares[b])) *
                         bands.sumOfSquares[b];
    return static_cast<double>(reduction / bands.totalSumOfSquares);
}

void MultiBandPowers(const BandTerms &bands, const double *periods, long count, int threads, double *powers)
{
    std::vector<long double> reduction(static_cast<std::size_t>(count), 0.0L);
    std::vector<SpectrumSums> sums(static_cast<std::size_t>(count));
    for (std::size_t b = 0; b < bands.terms.size(); ++b) {
        if (bands.terms[b].count == 0 || !(bands.sumOfSquares[b] > 0))
            continue;
        SpectrumSumsOfPeriods(bands.terms[b], periods, count, threads, sums.data());
        for (long j = 0; j < count; ++j)
            reduction[j] += static_cast<long double>(
                                WeightedPowerOfSums(sums[j], bands.terms[b].weightSum, bands.sumOfSquares[b])) *
                            bands.sumOfSquares[b];
    }
    for (long j = 0; j < count; ++j)
        powers[j] = bands.totalSumOfSquares > 0 ? static_cast<double>(reduction[j] / bands.totalSumOfSquares) : 0;
}

void ReleaseBandTerms(BandTerms &bands)
{
    for (SpectrumTerms &terms : bands.terms)
        ReleaseSpectrumTerms(terms);
    bands.terms.clear();
}

AnalysisOutcome AnalyseSeveralBands(const LightCurve &curve, const AnalysisSettings &settings,
                                    const AnalysisHooks &hooks)
{
    AnalysisOutcome outcome;
    try {
        SeveralBands a{curve, settings, hooks};
        if (Prepare(a, outcome))
            Run(a, outcome);
    } catch (const std::bad_alloc &) {
        outcome = AnalysisOutcome();
        Refused(outcome, "Nedostatek pameti.", "out of memory");
    }
    return outcome;
}
