// The analysis of one light curve: checks, the spectrum pass, the peaks
// refined with their fits, errors and significance, prewhitening, the
// spectral window and the fold.  Everything lives in one Analysis value on
// the caller's stack, so that light curves may be analysed side by side.
#include "engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "extremastep.h"
#include "methodpass.h"
#include "nufft.h"
#include "significance.h"
#include "inputforms.h"
#include "multiband.h"
#include "spectrumpass.h"
#include "weightedfit.h"

namespace {

// Grid points wanted across the narrowest peak when K is chosen, and the
// fewest that still find a peak reliably.
const double ChosenPointsPerPeak = 10;
const double FewestPointsPerPeak = 3;

// Two refined peaks closer than this (relative in frequency) are one.
const double SamePeakShare = 1e-7;

// Centred magnitudes all below this in size would have squares, and power
// sums, where doubles lose their digits or vanish (a spectrum of zeros).
const double TinyMagnitudes = 1e-100;

std::string Decimal(double value, const char *format = "%.6g")
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Whole(long value) { return std::to_string(value); }

// One analysis under way: the light curve's times, its centred magnitudes
// prepared for the kernels, and what the hooks want.
struct Analysis {
    const LightCurve &curve;
    const AnalysisSettings &settings;
    const AnalysisHooks &hooks;
    int n;
    const double *t;
    double earliest, latest, span;
    double mean;
    std::vector<double> centred;
    double sumOfSquares;
    SpectrumTerms terms;
    PeriodGrid grid;
    long intervals;
    FrequencyGrid frequencyGrid; // the same grid as the transform takes it
    bool fast;                   // the grid's sums by the fast transform
    std::vector<double> weights; // 1/sigma^2 of each estimate, or empty
    const double *w;             // weights.data(), nullptr when unweighted
    double timesVariance;        // of the (weighted) times, for Baluev's bound
    std::vector<double> bootstrapMaxima; // the highest powers of the resamples
};

// The residuals' or resamples' terms live as long as they are used.
struct ResidualTerms {
    SpectrumTerms terms;
    ~ResidualTerms() { ReleaseSpectrumTerms(terms); }
};

void Note(const Analysis &a, const std::string &text)
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

void FindTimeRange(Analysis &a)
{
    a.earliest = a.latest = a.n > 0 ? a.t[0] : 0;
    for (int i = 1; i < a.n; ++i) {
        a.earliest = std::fmin(a.earliest, a.t[i]);
        a.latest = std::fmax(a.latest, a.t[i]);
    }
    a.span = a.latest - a.earliest;
}

double MiddleTime(const Analysis &a) { return a.earliest + a.span / 2; }

long IntervalsOfRun(const Analysis &a, GridReport &grid)
{
    return PeriodGridIntervals(a.settings, a.span, grid, a.hooks);
}

// The magnitudes minus their mean; centred values all tiny are divided by
// the largest of them (the power and the phases do not depend on the scale).
// The sum of squares rounds to a double at every step, as the dialogue's.
void CentreMagnitudes(Analysis &a)
{
    const std::vector<double> &y = a.curve.magnitude;
    a.centred.resize(static_cast<std::size_t>(a.n));
    double least = 0, greatest = 0;
    for (int i = 0; i < a.n; ++i) {
        a.centred[i] = y[i] - a.mean;
        least = std::fmin(least, a.centred[i]);
        greatest = std::fmax(greatest, a.centred[i]);
    }
    const double largest = std::fmax(-least, greatest);
    if (largest > 0 && largest < TinyMagnitudes)
        for (double &v : a.centred)
            v = v / largest;
    a.sumOfSquares = 0;
    if (a.w != nullptr) {
        long double sum = 0;
        for (int i = 0; i < a.n; ++i)
            sum += static_cast<long double>(a.w[i]) * a.centred[i] * a.centred[i];
        a.sumOfSquares = static_cast<double>(sum);
        return;
    }
    for (double v : a.centred)
        a.sumOfSquares = a.sumOfSquares + static_cast<long double>(v) * v;
}

// The weights the settings ask for: 1/sigma^2 when every estimate has a
// positive finite uncertainty.  False and the refusal when they are
// demanded but cannot be had.
bool ChooseWeights(Analysis &a, AnalysisOutcome &outcome)
{
    a.w = nullptr;
    const std::vector<double> &sigma = a.curve.uncertainty;
    if (a.settings.weights == WeightsNone)
        return true;
    std::size_t unusable = 0;
    for (double e : sigma)
        if (!(e > 0 && std::isfinite(e)))
            ++unusable;
    if (sigma.empty() || unusable > 0) {
        const std::string why = sigma.empty() ? "the estimates have no uncertainties"
                                              : Whole(static_cast<long>(unusable)) + " of " + Whole(a.n) +
                                                    " estimates have no positive uncertainty";
        if (a.settings.weights == WeightsFromErrors)
            return Refused(outcome, "Odhady nemaji pouzitelne nejistoty: vahy nelze pouzit.",
                           "--weights errors: " + why);
        if (!sigma.empty())
            Note(a, "note: equal weights: " + why);
        return true;
    }
    a.weights.resize(sigma.size());
    for (std::size_t i = 0; i < sigma.size(); ++i)
        a.weights[i] = 1 / (sigma[i] * sigma[i]);
    a.w = a.weights.data();
    return true;
}

double MeanMagnitude(const LightCurve &curve)
{
    double sum = 0;
    for (double m : curve.magnitude)
        sum += m;
    return sum / static_cast<int>(curve.magnitude.size());
}

void NoteMaximumBeyondSpan(const Analysis &a)
{
    if (a.settings.maximumPeriod > a.span)
        Note(a, "note: the maximum period exceeds the time span of the estimates (" + Decimal(a.span, "%.2f") +
                    " d)");
}

void NoteCoarseGrid(const Analysis &a)
{
    std::string english, czech;
    if (a.settings.grid == GridEvenInFrequency) {
        if (a.settings.oversample < FewestPointsPerPeak)
            Note(a, "warning: " + Decimal(a.settings.oversample, "%.3g") +
                        " points per peak width; the strongest period may be missed (10 are safe)");
        return;
    }
    if (CoarseGridWarning(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals, a.span, english, czech))
        Note(a, english);
}

// The grid even in frequency for the settings' points per peak width, or
// for fewer when that would pass MaxIntervals; false and the refusal when
// the range gives no grid.
bool MakeFrequencyGridOf(Analysis &a, GridReport &grid, AnalysisOutcome &outcome)
{
    const double pmin = a.settings.minimumPeriod, pmax = a.settings.maximumPeriod;
    double oversample = a.settings.oversample;
    if (!(oversample > 0) || !std::isfinite(oversample))
        return Refused(outcome, "Pocet bodu na sirku vrcholu musi byt kladny.",
                       "the points per peak width must be positive");
    FrequencyGrid f = MakeFrequencyGrid(pmin, pmax, a.span, oversample);
    grid.intervalsCapped = false;
    if (f.status == NufftGridTooLarge || (f.status == NufftOk && f.intervals > MaxIntervals)) {
        const long double wanted = static_cast<long double>(oversample) * a.span * (1 / static_cast<long double>(pmin) - 1 / static_cast<long double>(pmax));
        oversample = static_cast<double>(oversample * (MaxIntervals - 1) / wanted);
        Note(a, "the grid for " + Decimal(a.settings.oversample, "%.3g") + " points per peak width would need " +
                    Decimal(static_cast<double>(wanted), "%.0f") + " frequencies; using " +
                    Decimal(oversample, "%.3g") + " points per peak width");
        f = MakeFrequencyGrid(pmin, pmax, a.span, oversample);
        grid.intervalsCapped = true;
    }
    if (f.status != NufftOk)
        return Refused(outcome, "Pro tento rozsah period nelze sestavit mrizku frekvenci.",
                       std::string("no frequency grid for this period range: ") + NufftStatusText(f.status));
    a.frequencyGrid = f;
    a.grid = MakeEvenFrequencyGrid(f.first, f.step, f.intervals);
    a.intervals = f.intervals;
    grid.intervalsChosen = true;
    grid.evenInFrequency = true;
    grid.oversample = oversample;
    grid.frequencyStep = f.step;
    return true;
}

void DescribeData(const Analysis &a, PeriodReport &r)
{
    DescribeCurveData(a.curve, a.n, a.earliest, a.latest, a.mean, a.grid, r);
}

int PassThreads(const Analysis &a)
{
    return SpectrumThreadsFor(a.settings.threads, a.n, std::max(a.grid.intervals + 1, 0L));
}

// The chunks of a pass over the grid with the powers of the prepared
// observations y (and their window when asked), by the exact kernels or
// the fast transform.  The transform gives its frequencies in increasing
// order: the chunks take them backwards, in increasing period.
template <typename Visit>
void GridPass(const Analysis &a, const SpectrumTerms &terms, const double *y, const double *w, double sumOfSquares,
              int threads, bool window, Visit visit)
{
    if (!a.fast) {
        ForEachGridChunk(terms, sumOfSquares, a.grid, threads, window, visit);
        return;
    }
    std::vector<double> powers, windows;
    const NufftStatus status =
        ComputeFastPowers(a.t, y, w, a.n, a.frequencyGrid, sumOfSquares, threads, powers, window ? &windows : nullptr);
    if (status == NufftOutOfMemory)
        throw std::bad_alloc();
    if (status != NufftOk) {
        // Nothing the checks let through fails here; should it, the exact
        // kernels take the same grid.
        ForEachGridChunk(terms, sumOfSquares, a.grid, threads, window, visit);
        return;
    }
    const long points = a.grid.intervals + 1;
    const long chunk = std::min(4096L, points);
    std::vector<double> periods(static_cast<std::size_t>(chunk)), p(periods.size()), wv(window ? periods.size() : 0);
    for (long first = 0; first < points; first += chunk) {
        const long count = std::min(chunk, points - first);
        for (long j = 0; j < count; ++j) {
            const std::size_t at = static_cast<std::size_t>(j), from = static_cast<std::size_t>(a.grid.intervals - first - j);
            periods[at] = GridPeriod(a.grid, first + j);
            p[at] = powers[from];
            if (window)
                wv[at] = windows[from];
        }
        visit(GridChunk{first, count, periods.data(), p.data(), window ? wv.data() : nullptr});
    }
}

// The spectrum pass: every power to the hooks and the strongest peaks
// collected on the way.
std::vector<GridPeak> SpectrumPass(Analysis &a)
{
    const long points = std::max(a.grid.intervals + 1, 0L);
    PeakCollector collector;
    StartPeakCollector(collector, a.settings.peaks);
    long done = 0;
    if (a.hooks.passBegins)
        a.hooks.passBegins(points);
    GridPass(a, a.terms, a.centred.data(), a.w, a.sumOfSquares, PassThreads(a), a.settings.window,
             [&](const GridChunk &c) {
        for (long j = 0; j < c.count; ++j)
            FeedPower(collector, c.powers[j]);
        if (a.hooks.spectrum)
            a.hooks.spectrum(c.periods, c.powers, c.count);
        if (c.window && a.hooks.window)
            a.hooks.window(c.periods, c.window, c.count);
        done += c.count;
        if (a.hooks.progress)
            a.hooks.progress(done, points);
    });
    return FinishPeakCollector(collector);
}

bool SeenBefore(const std::vector<PeakReport> &peaks, double frequency)
{
    for (const PeakReport &p : peaks)
        if (std::fabs(p.frequency - frequency) <= SamePeakShare * frequency)
            return true;
    return false;
}

// The frequency of greatest power between the grid neighbours of point k
// over the prepared observations.
double RefinedFrequency(const Analysis &a, const SpectrumTerms &terms, double sumOfSquares, long k)
{
    return RefinePeakFrequency([&](double f) { return PreparedPower(terms, f, sumOfSquares); }, a.grid, k);
}

// The false-alarm probability of a peak of this power found after
// 'sinesBefore' sines were fitted, by the settings' method.
double FalseAlarmOf(const Analysis &a, double power, int sinesBefore, const PeriodReport &r)
{
    switch (a.settings.falseAlarm) {
    case FalseAlarmModel:
        return FalseAlarmProbability(power, a.n, r.span, r.grid.minimumPeriod, r.grid.maximumPeriod);
    case FalseAlarmBootstrap:
        if (!a.bootstrapMaxima.empty())
            return BootstrapFalseAlarmOf(a.bootstrapMaxima, power).probability;
        break;
    case FalseAlarmBaluev:
        break;
    }
    return BaluevFalseAlarmProbability(power, a.n - 3 * sinesBefore, 1 / a.grid.maximum, 1 / a.grid.minimum,
                                       a.timesVariance);
}

// The mean amplitude of the spectrum of 'residual' (centred, weighted as the
// analysis) in the noise window around the frequency; NaN without room.
double NoiseAmplitudeNear(const Analysis &a, const std::vector<double> &residual, double frequency)
{
    std::vector<double> centred;
    CentreWeightedValues(residual.data(), a.w, a.n, centred);
    ResidualTerms prepared;
    PrepareWeightedSpectrumTerms(prepared.terms, a.t, centred.data(), a.w, a.n);
    const double width = a.settings.noiseWidth > 0 ? a.settings.noiseWidth : DefaultNoiseWindow(a.span);
    const AmplitudeFunction amplitude = [&](double f) {
        SpectrumSums sums;
        SpectrumSumsOf(prepared.terms, &f, 1, &sums);
        return AmplitudeOfSums({prepared.terms.weightSum, sums.scc, sums.sc, sums.sss, sums.ss, sums.ssc, sums.syc,
                                sums.sys});
    };
    double mean = NAN;
    if (!MeanAmplitudeInWindowOf(amplitude, frequency, width, 200, mean))
        return NAN;
    return mean;
}

// y minus one fitted sine.
std::vector<double> LessSine(const Analysis &a, const double *y, const SineFit &fit)
{
    std::vector<double> rest(y, y + a.n);
    const long double twoPi = 6.283185307179586476925286766559L;
    for (int i = 0; i < a.n; ++i) {
        const double angle = static_cast<double>((static_cast<long double>(a.t[i]) - fit.reference) * twoPi *
                                                 fit.frequency);
        rest[i] -= fit.constant + fit.cosine * std::cos(angle) + fit.sine * std::sin(angle);
    }
    return rest;
}

// The spread of the period over Monte Carlo refits of the light curve:
// the fitted sine plus its residuals redrawn, refined within one peak width.
double MonteCarloPeriodError(const Analysis &a, const SineFit &fit, const std::vector<double> &residual)
{
    std::vector<double> model(a.centred);
    for (int i = 0; i < a.n; ++i)
        model[i] -= residual[i];
    const double halfWidth = 0.5 / a.span;
    const RefitFunction refit = [&](const double *t, const double *y, const double *w, int n, double &frequency) {
        std::vector<double> centred;
        const double sumOfSquares = CentreWeightedValues(y, w, n, centred);
        frequency = RefineWeightedPeak(t, centred.data(), w, n, sumOfSquares, fit.frequency - halfWidth,
                                       fit.frequency + halfWidth);
        return std::isfinite(frequency) && frequency > 0;
    };
    MonteCarloSettings settings{RedrawnResiduals, a.settings.monteCarloRealisations, a.settings.seed,
                                std::max(1, a.settings.threads), 3};
    MonteCarloPeriods result;
    if (!MonteCarloPeriodSpread(a.t, model.data(), residual.data(), a.w, a.n, settings, refit, result))
        return NAN;
    return result.periodSpread;
}

// A peak at a refined frequency: power, significance, and the sine fit
// that gives amplitude, epoch, the period's error from the fit's
// covariance and the signal-to-noise.
PeakReport DescribePeak(const Analysis &a, double frequency, const PeriodReport &r)
{
    PeakReport p;
    p.frequency = frequency;
    p.period = 1 / frequency;
    p.power = PreparedPower(a.terms, frequency, a.sumOfSquares);
    p.falseAlarmProbability = FalseAlarmOf(a, p.power, 0, r);
    SineFit fit;
    FitQuality quality;
    if (FitWeightedSine(a.t, a.centred.data(), a.w, a.n, frequency, a.earliest, fit, quality)) {
        p.amplitude = fit.amplitude;
        p.residualRms = fit.residualRms;
        p.epochOfMaximum = EpochOfMaximum(fit, MiddleTime(a));
        PeakErrors errors;
        if (SinePeakErrors(a.t, a.centred.data(), a.w, a.n, fit, errors))
            p.periodError = errors.periodError;
        else
            p.periodError = PeriodErrorFromTimeSpread(p.period, fit.residualRms, a.n, fit.amplitude,
                                                      TimesSpread(a.t, a.w, a.n));
        if (a.w != nullptr)
            p.reducedChiSquare = quality.reducedChiSquare;
        const std::vector<double> residual = LessSine(a, a.centred.data(), fit);
        p.signalToNoise = SignalToNoise(fit.amplitude, NoiseAmplitudeNear(a, residual, frequency));
        if (a.settings.monteCarloRealisations > 0)
            p.monteCarloPeriodError = MonteCarloPeriodError(a, fit, residual);
    } else {
        p.amplitude = p.residualRms = p.epochOfMaximum = p.periodError = NAN;
    }
    return p;
}

// Whether the residuals of the strongest sine go together in time order,
// where the formal errors are too small.
void CheckStrongestResiduals(const Analysis &a, PeriodReport &r)
{
    if (r.peaks.empty())
        return;
    SineFit fit;
    FitQuality quality;
    if (!FitWeightedSine(a.t, a.centred.data(), a.w, a.n, r.peaks[0].frequency, a.earliest, fit, quality))
        return;
    const std::vector<double> residual = LessSine(a, a.centred.data(), fit);
    const ResidualCorrelation c = CheckResidualCorrelation(a.t, residual.data(), a.w, a.n, 2.33);
    r.residualsCorrelated = c.correlated;
    r.residualErrorFactor = c.errorFactor;
    if (c.correlated)
        Note(a, "warning: the residuals of the strongest sine are correlated (runs test z = " +
                    Decimal(c.runs.z, "%.2f") + ", lag-1 correlation " + Decimal(c.lagOne, "%.2f") +
                    "); the period errors of the formula are about " + Decimal(c.errorFactor, "%.2g") +
                    " times too small");
}

// The highest powers of resampled magnitudes over the grid, for the
// bootstrap's false alarms.
void BootstrapMaxima(Analysis &a)
{
    const Analysis &analysis = a;
    const HighestPowerFunction highest = [&analysis](const double *t, const double *y, const double *w, int n,
                                                     double sumOfSquares) {
        ResidualTerms prepared;
        PrepareWeightedSpectrumTerms(prepared.terms, t, y, w, n);
        double best = 0;
        GridPass(analysis, prepared.terms, y, w, sumOfSquares, 1, false, [&](const GridChunk &c) {
            for (long j = 0; j < c.count; ++j)
                best = std::fmax(best, c.powers[j]);
        });
        return best;
    };
    const int threads = a.settings.threads > 0 ? a.settings.threads : UsableCores();
    BootstrapHighestPowers(a.t, a.centred.data(), a.w, a.n, a.settings.bootstrapResamples, a.settings.seed, threads,
                           highest, a.bootstrapMaxima);
}

void DescribePeaks(const Analysis &a, const std::vector<GridPeak> &peaks, PeriodReport &r)
{
    for (const GridPeak &g : peaks) {
        const double f = RefinedFrequency(a, a.terms, a.sumOfSquares, g.index);
        if (!SeenBefore(r.peaks, f))
            r.peaks.push_back(DescribePeak(a, f, r));
    }
}

// The strongest peak of the spectrum of the prepared observations.
std::vector<GridPeak> StrongestPeakOnGrid(const Analysis &a, const SpectrumTerms &terms, const double *y,
                                          const double *w, double sumOfSquares, int threads)
{
    PeakCollector collector;
    StartPeakCollector(collector, 1);
    GridPass(a, terms, y, w, sumOfSquares, threads, false, [&](const GridChunk &c) {
        for (long j = 0; j < c.count; ++j)
            FeedPower(collector, c.powers[j]);
    });
    return FinishPeakCollector(collector);
}

// Finds settings.prewhiten frequencies in turn: the strongest peak of the
// residuals' spectrum, then all frequencies refined together against the
// magnitudes.  The steps report the values of the last joint fit.
// The reason to stop automatic prewhitening before step 'step' with this
// peak, or empty to go on.
std::string ReasonToStop(const Analysis &a, int step, double signalToNoise, double falseAlarm)
{
    if (!(signalToNoise >= a.settings.autoSignalToNoise))
        return "the peak of step " + Whole(step) + " has S/N " + Decimal(signalToNoise, "%.2f") + ", below " +
               Decimal(a.settings.autoSignalToNoise, "%.3g");
    if (!(falseAlarm < a.settings.autoFalseAlarm))
        return "the peak of step " + Whole(step) + " has a false-alarm probability of " +
               Decimal(falseAlarm, "%.3g") + ", not below " + Decimal(a.settings.autoFalseAlarm, "%.3g");
    return "";
}

void Prewhiten(const Analysis &a, PeriodReport &r)
{
    const int n = a.n;
    const double *y = a.centred.data();
    const double reference = MiddleTime(a);
    std::vector<SineComponent> components;
    std::vector<double> residual(a.centred), centred;
    double constant = 0;
    ResidualTerms prepared;
    for (int step = 1; step <= a.settings.prewhiten; ++step) {
        const double sumOfSquares = a.w != nullptr ? CentreWeightedValues(residual.data(), a.w, n, centred)
                                                   : CentreValues(residual.data(), n, centred);
        PrepareWeightedSpectrumTerms(prepared.terms, a.t, centred.data(), a.w, n);
        double f = 0;
        if (step == 1 && !r.peaks.empty()) {
            // The first residuals are the magnitudes: their spectrum is the pass's.
            f = r.peaks[0].frequency;
        } else {
            const std::vector<GridPeak> peaks =
                StrongestPeakOnGrid(a, prepared.terms, centred.data(), a.w, sumOfSquares, PassThreads(a));
            if (peaks.empty()) {
                Note(a, "prewhitening: the residuals of step " + Whole(step) + " have no peak; stopped");
                break;
            }
            f = RefinedFrequency(a, prepared.terms, sumOfSquares, peaks[0].index);
        }
        SineFit fit;
        FitQuality quality;
        if (!FitWeightedSine(a.t, centred.data(), a.w, n, f, reference, fit, quality)) {
            Note(a, "prewhitening: no sine fits the residuals of step " + Whole(step) + "; stopped");
            break;
        }
        const double power = PreparedPower(prepared.terms, f, sumOfSquares);
        const double falseAlarm = FalseAlarmOf(a, power, step - 1, r);
        const double signalToNoise =
            SignalToNoise(fit.amplitude, NoiseAmplitudeNear(a, LessSine(a, centred.data(), fit), f));
        if (a.settings.prewhitenAutomatic) {
            const std::string reason = ReasonToStop(a, step, signalToNoise, falseAlarm);
            if (!reason.empty()) {
                r.prewhiteningStopped = reason;
                break;
            }
        }
        std::vector<SineComponent> trial = components;
        trial.push_back(SineComponent{f, fit.cosine, fit.sine, NAN, NAN});
        double trialConstant = constant, rms = 0;
        if (!FitWeightedSinesTogether(a.t, y, a.w, n, reference, trial, trialConstant, rms, quality)) {
            Note(a, "prewhitening: the joint fit of step " + Whole(step) + " failed; stopped");
            if (a.settings.prewhitenAutomatic)
                r.prewhiteningStopped = "the joint fit of step " + Whole(step) + " failed";
            break;
        }
        components = trial;
        constant = trialConstant;
        SinesResiduals(a.t, y, n, reference, components, constant, residual);
        PrewhiteningStep s;
        s.power = power;
        s.falseAlarmProbability = falseAlarm;
        s.signalToNoise = signalToNoise;
        s.residualRms = rms;
        r.prewhitening.push_back(s);
    }
    if (a.settings.prewhitenAutomatic && r.prewhiteningStopped.empty())
        r.prewhiteningStopped = "the limit of " + Whole(a.settings.prewhiten) + " periods";
    for (std::size_t j = 0; j < r.prewhitening.size(); ++j) {
        const SineComponent &c = components[j];
        PrewhiteningStep &s = r.prewhitening[j];
        s.frequency = c.frequency;
        s.period = 1 / c.frequency;
        s.periodError = c.frequencyError * s.period * s.period;
        s.amplitude = std::hypot(c.cosine, c.sine);
        s.amplitudeError = c.amplitudeError;
        const SineFit one = {c.frequency, reference, constant, c.cosine, c.sine, s.amplitude, 0};
        s.epochOfMaximum = EpochOfMaximum(one, reference);
    }
}

void Fold(const Analysis &a, PeriodReport &r)
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
    FitQuality quality;
    if (!FitWeightedSine(a.t, a.centred.data(), a.w, a.n, 1 / period, a.earliest, fit, quality)) {
        Note(a, "--fold: no sine fits the data at the period " + Decimal(period, "%.10g"));
        return;
    }
    r.hasFold = true;
    r.fold.period = period;
    r.fold.epoch = EpochOfMaximum(fit, MiddleTime(a));
    r.fold.amplitude = fit.amplitude;
    r.fold.meanMagnitude = a.mean + fit.constant;
    r.fold.residualRms = fit.residualRms;
}

// The terms of the analysis are freed however it ends.
struct PreparedAnalysis {
    Analysis &a;
    ~PreparedAnalysis() { ReleaseSpectrumTerms(a.terms); }
};

bool CheckCurveShape(const LightCurve &curve, AnalysisOutcome &outcome)
{
    if (!curve.uncertainty.empty() && curve.uncertainty.size() != curve.time.size())
        return Refused(outcome, "Pocet nejistot neodpovida poctu odhadu.",
                       "the uncertainties do not match the estimates in number");
    if (curve.time.size() != curve.magnitude.size())
        return Refused(outcome, "Pocet casu neodpovida poctu odhadu.", "the times do not match the magnitudes in number");
    if (curve.time.size() > static_cast<std::size_t>(2147483647 - 64))
        return Refused(outcome, "Prilis mnoho odhadu.", "too many estimates");
    for (std::size_t i = 0; i < curve.time.size(); ++i)
        if (!std::isfinite(curve.time[i]) || !std::isfinite(curve.magnitude[i]))
            return Refused(outcome, "Cas nebo velikost odhadu " + Whole(static_cast<long>(i + 1)) +
                                        " neni konecne cislo.",
                           "the time or magnitude of estimate " + Whole(static_cast<long>(i + 1)) +
                               " is not a finite number");
    return true;
}

// Sets up the analysis up to the pass: checks, grid, centred magnitudes.
bool PrepareAnalysis(Analysis &a, AnalysisOutcome &outcome)
{
    if (!CheckCurveShape(a.curve, outcome))
        return false;
    EngineError error;
    if (!CheckIntervalsAllowed(a.settings.intervals, error))
        return Refused(outcome, error.czech, error.english);
    a.n = static_cast<int>(a.curve.time.size());
    a.t = a.curve.time.data();
    FindTimeRange(a);
    if (!CheckUsableData(a.t, a.curve.magnitude.data(), a.n, a.span, error))
        return Refused(outcome, error.czech, error.english);
    if (a.settings.grid == GridEvenInFrequency) {
        if (!CheckUsableRange(a.settings.minimumPeriod, a.settings.maximumPeriod, 1, error))
            return Refused(outcome, error.czech, error.english);
        if (!MakeFrequencyGridOf(a, outcome.report.grid, outcome))
            return false;
    } else {
        if (a.settings.transform == TransformFast)
            return Refused(outcome, "Rychla transformace potrebuje mrizku rovnomernou ve frekvenci.",
                           "the fast transform needs the grid even in frequency (--grid frequency)");
        a.intervals = IntervalsOfRun(a, outcome.report.grid);
        if (!CheckUsableRange(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals, error))
            return Refused(outcome, error.czech, error.english);
    }
    NoteMaximumBeyondSpan(a);
    NoteCoarseGrid(a);
    if (!ChooseWeights(a, outcome))
        return false;
    a.mean = a.w != nullptr ? WeightedMean(a.curve.magnitude.data(), a.w, a.n) : MeanMagnitude(a.curve);
    a.timesVariance = TimesVariance(a.t, a.w, a.n);
    CentreMagnitudes(a);
    if (!std::isfinite(a.sumOfSquares))
        return Refused(outcome, "Hvezdne velikosti jsou prilis velke: spektrum nelze spocitat.",
                       "the magnitudes are too large: no spectrum can be computed");
    if (!a.grid.evenInFrequency)
        a.grid = MakePeriodGrid(a.settings.minimumPeriod, a.settings.maximumPeriod, a.intervals);
    a.fast = FastTransformChosen(a.settings.transform, a.grid, a.n);
    outcome.report.grid.transform = a.fast ? "fast" : "exact";
    PrepareWeightedSpectrumTerms(a.terms, a.t, a.centred.data(), a.w, a.n);
    return true;
}

void RunAnalysis(Analysis &a, AnalysisOutcome &outcome)
{
    PeriodReport &r = outcome.report;
    const std::vector<GridPeak> peaks = UsesMethodPass(a.settings) ? std::vector<GridPeak>() : SpectrumPass(a);
    DescribeData(a, r);
    DescribeReadInput(a.curve, r);
    r.significanceLevel =
        SignificanceThreshold(a.n, a.earliest, a.latest, a.settings.minimumPeriod, a.settings.maximumPeriod);
    r.statisticsReported = true;
    r.weighted = a.w != nullptr;
    r.falseAlarmMethod = a.settings.falseAlarm == FalseAlarmModel       ? "model"
                         : a.settings.falseAlarm == FalseAlarmBootstrap ? "bootstrap"
                                                                        : "baluev";
    if (a.settings.falseAlarm == FalseAlarmBootstrap) {
        r.bootstrapResamples = a.settings.bootstrapResamples;
        BootstrapMaxima(a);
    }
    DescribePeaks(a, peaks, r);
    if (UsesMethodPass(a.settings) &&
        !RunMethodPass(a.curve, a.w, a.settings, a.hooks, a.grid, [&](double f) { return DescribePeak(a, f, r); },
                       r, outcome.error))
        return;
    CheckStrongestResiduals(a, r);
    if (a.settings.prewhiten > 0)
        Prewhiten(a, r);
    if (a.settings.fold)
        Fold(a, r);
    if (r.hasFold && WantsFoldShape(a.settings) && !DescribeFoldShape(a.curve, a.w, a.settings, r.fold))
        Note(a, "--fold-harmonics: no fit of " + Whole(FoldHarmonicsOf(a.settings)) + " harmonics at the period " +
                    Decimal(r.fold.period, "%.10g"));
    if (a.settings.extrema)
        AddExtremaReport(a.curve, a.settings, r);
    outcome.ok = true;
}

} // namespace

long PeriodGridIntervals(const AnalysisSettings &settings, double span, GridReport &grid, const AnalysisHooks &hooks)
{
    grid.intervalsChosen = false;
    grid.intervalsCapped = false;
    if (settings.intervals != 0)
        return settings.intervals;
    const double pmin = settings.minimumPeriod, pmax = settings.maximumPeriod;
    const long double wanted = std::ceil(ChosenPointsPerPeak * static_cast<long double>(span) *
                                         (static_cast<long double>(pmax) - pmin) /
                                         (static_cast<long double>(pmin) * pmin));
    grid.intervalsChosen = true;
    if (!(wanted <= MaxIntervals)) {
        grid.intervalsCapped = true;
        if (hooks.note)
            hooks.note("the grid for " + Decimal(ChosenPointsPerPeak, "%.0f") + " points per peak width would need " +
                       Decimal(static_cast<double>(wanted), "%.0f") + " intervals; using the largest number, " +
                       Whole(MaxIntervals));
        return MaxIntervals;
    }
    return wanted < 1 ? 1 : static_cast<long>(wanted);
}

bool CheckIntervalsAllowed(long intervals, EngineError &error)
{
    if (intervals <= MaxIntervals)
        return true;
    error = {"Pocet intervalu smi byt nejvyse " + Whole(MaxIntervals) + ".", "at most " + Whole(MaxIntervals) +
                                                                                " intervals"};
    return false;
}

bool CheckUsableData(const double *t, const double *y, int n, double span, EngineError &error)
{
    (void)t;
    if (n < 5) {
        error = {"Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.",
                 "too few estimates: the spectrum needs at least 5"};
        return false;
    }
    bool allEqual = true;
    for (int i = 1; i < n; ++i)
        if (y[i] != y[0])
            allEqual = false;
    if (allEqual) {
        error = {"Vsechny odhady maji stejnou velikost: spektrum nelze spocitat.",
                 "all estimates have the same magnitude: no spectrum can be computed"};
        return false;
    }
    if (!(span > 0)) {
        error = {"Posledni odhad neni pozdeji nez prvni: spektrum nelze spocitat.",
                 "the last estimate is not later than the first: no spectrum can be computed"};
        return false;
    }
    if (!std::isfinite(span)) {
        error = {"Data odhadu jsou prilis vzdalena: spektrum nelze spocitat.",
                 "the dates of the estimates lie too far apart: no spectrum can be computed"};
        return false;
    }
    return true;
}

bool CheckUsableRange(double minimumPeriod, double maximumPeriod, long intervals, EngineError &error)
{
    if (!(minimumPeriod > 0))
        error = {"Minimalni perioda musi byt kladna.", "the minimum period must be positive"};
    else if (!(minimumPeriod < maximumPeriod))
        error = {"Minimalni perioda musi byt mensi nez maximalni.", "the minimum period must be less than the maximum"};
    else if (intervals < 1)
        error = {"Pocet intervalu musi byt alespon 1.", "the number of intervals must be at least 1"};
    else
        return true;
    return false;
}

double PointsPerPeakWidth(double pmin, double pmax, long intervals, double span)
{
    const long double width = static_cast<long double>(pmin) * pmin / span;
    return static_cast<double>(width * intervals / (static_cast<long double>(pmax) - pmin));
}

bool CoarseGridWarning(double pmin, double pmax, long intervals, double span, std::string &english,
                       std::string &czech)
{
    const double points = PointsPerPeakWidth(pmin, pmax, intervals, span);
    if (!(points < FewestPointsPerPeak))
        return false;
    const std::string wanted = Decimal(std::ceil(ChosenPointsPerPeak / points * intervals), "%.0f");
    english = "warning: " + Whole(intervals) + " intervals give " + Decimal(points, "%.2g") +
              " points per peak width; the strongest period may be missed (about " + wanted + " intervals are safe)";
    czech = "Varovani: pri " + Whole(intervals) + " intervalech pripada na sirku vrcholu jen " +
            Decimal(points, "%.2g") + " bodu, nejsilnejsi perioda muze byt chybna (bezpecne je asi " + wanted +
            " intervalu).";
    return true;
}

double SignificanceThreshold(int n, double firstDate, double lastDate, double pmin, double pmax)
{
    const long double span = static_cast<long double>(lastDate) - firstDate;
    const long double frequencies = 2.0L * (n - 3) * span *
                                    (1 / static_cast<long double>(pmin) - 1 / static_cast<long double>(pmax)) / 3 /
                                    (n - 4);
    const long double z0 = -std::log(1 - std::exp(std::log(0.95L) / frequencies));
    const long double z = (n - 3) * z0 / (n - 4) + 1;
    long double w = z;
    for (int i = 0; i < 10; ++i)
        w = z - std::exp(-w);
    return static_cast<double>(1 - std::exp(2 * w / (3 - n)));
}

AnalysisOutcome AnalyseLightCurve(const LightCurve &curve, const AnalysisSettings &settings,
                                  const AnalysisHooks &hooks)
{
    if (HasSeveralBands(curve))
        return AnalyseSeveralBands(curve, settings, hooks);
    AnalysisOutcome outcome;
    Analysis a{curve, settings, hooks, 0, nullptr, 0, 0, 0, 0, {}, 0, SpectrumTerms{}, PeriodGrid{}, 0, {}, false,
               {}, nullptr, 0, {}};
    PreparedAnalysis prepared{a};
    try {
        if (PrepareAnalysis(a, outcome))
            RunAnalysis(a, outcome);
    } catch (const std::bad_alloc &) {
        outcome = AnalysisOutcome();
        Refused(outcome, "Nedostatek pameti.", "out of memory");
    }
    return outcome;
}

bool ComputeLightCurveSpectrum(const LightCurve &curve, const AnalysisSettings &settings, const GridChunkVisit &visit,
                               EngineError &error)
{
    AnalysisSettings spectrumOnly = settings;
    spectrumOnly.peaks = 0;
    spectrumOnly.prewhiten = 0;
    spectrumOnly.fold = false;
    AnalysisHooks hooks;
    hooks.spectrum = visit;
    AnalysisOutcome outcome;
    Analysis a{curve, spectrumOnly, hooks, 0, nullptr, 0, 0, 0, 0, {}, 0, SpectrumTerms{}, PeriodGrid{}, 0, {}, false,
               {}, nullptr, 0, {}};
    PreparedAnalysis prepared{a};
    try {
        if (!PrepareAnalysis(a, outcome)) {
            error = outcome.error;
            return false;
        }
        PeriodReport methodReport;
        if (UsesMethodPass(a.settings))
            return RunMethodPass(a.curve, a.w, a.settings, a.hooks, a.grid,
                                 [&](double f) { return DescribePeak(a, f, methodReport); }, methodReport, error);
        SpectrumPass(a);
    } catch (const std::bad_alloc &) {
        error = {"Nedostatek pameti.", "out of memory"};
        return false;
    }
    return true;
}
