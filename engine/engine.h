// The analysis engine: one light curve in, one period report out.  The
// spectrum pass over a grid of trial periods, the strongest peaks refined
// with their sine fits, errors and significance, prewhitening, the spectral
// window and the fold.  Reentrant and thread-safe: it keeps no state, ends
// no program and prints nothing; refusals come back as values, notes and
// progress through the caller's hooks.  Any number of light curves may be
// analysed at once from several threads.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "analysis.h"
#include "lightcurve.h"
#include "report.h"

// The most intervals a spectrum pass takes: its file then holds 10,000,001
// lines of 49 bytes (about 490 MB).
const long MaxIntervals = 10000000;

// The trial periods: evenly spaced in period (the dialogue's grid, K
// intervals) or in frequency (oversample points per peak width 1/T).
enum GridKind { GridEvenInPeriod, GridEvenInFrequency };

// What takes the sums of a grid even in frequency: the exact kernels, the
// fast transform, or whichever is cheaper for the size.
enum TransformChoice { TransformAutomatic, TransformExact, TransformFast };

// Weights of the estimates: 1/sigma^2 when every estimate has a positive
// uncertainty (auto; otherwise equal weights and a note says why), always
// (errors: refused without usable uncertainties), or never.
enum WeightChoice { WeightsAutomatic, WeightsFromErrors, WeightsNone };

// The false-alarm probability of a peak: Baluev's (2008) bound over the
// band searched, the model of the dialogue's 95 % level, or a bootstrap of
// the magnitudes over the same grid.
enum FalseAlarmMethod { FalseAlarmBaluev, FalseAlarmModel, FalseAlarmBootstrap };

// What to compute.  Periods in days.
struct AnalysisSettings {
    double minimumPeriod = 0;
    double maximumPeriod = 0;
    GridKind grid = GridEvenInFrequency;
    double oversample = 10;      // points per peak width of a grid even in frequency
    TransformChoice transform = TransformAutomatic;
    long intervals = 0;          // K of a grid even in period; 0: chosen for ten points per peak width
    int peaks = 5;               // the strongest M peaks reported
    int prewhiten = 0;           // periods found in turn; 0: none
    bool window = false;         // the spectral window on the same grid
    bool fold = false;           // a fold at foldPeriod, or at the strongest peak
    bool foldAtBest = false;
    double foldPeriod = 0;
    int threads = 0;             // threads of a large pass; 0: automatic
    // The search method: empty or "dcdft" for the one-sine spectrum, or
    // "harmonics:H", "aov:H", "pdm:B", "bls" (see methodpass.h).
    std::string method;
    std::vector<double> durations; // box durations of bls, shares of the period; empty: the default set
    int foldHarmonics = 0;       // harmonics fitted at the fold's period; 0: 1 for dcdft, the method's otherwise

    WeightChoice weights = WeightsAutomatic;
    FalseAlarmMethod falseAlarm = FalseAlarmBaluev;
    int bootstrapResamples = 1000; // B of a bootstrap
    unsigned long seed = 1;        // of the bootstrap and Monte Carlo draws
    // Signal-to-noise: the peak's amplitude over the mean amplitude of the
    // residual spectrum within this full width (cycles per day) around it;
    // 0: 1 c/d or 10 peak widths, whichever is narrower.
    double noiseWidth = 0;
    // Prewhitening goes on while the next peak has S/N >= autoSignalToNoise
    // and a false alarm below autoFalseAlarm, up to 'prewhiten' periods.
    bool prewhitenAutomatic = false;
    double autoSignalToNoise = 4;
    double autoFalseAlarm = 0.01;
    int monteCarloRealisations = 0; // R refits for the peaks' Monte Carlo period errors; 0: none

    // Times of extrema and their O-C, after everything else.
    bool extrema = false;        // time the minima (or maxima) of brightness
    bool maxima = false;         // the maxima of brightness instead of the minima
    double extremaPeriod = 0;    // the windows' period; 0: the ephemeris's, else the strongest peak's
    bool ephemerisGiven = false; // O-C against ephemerisEpoch + E * ephemerisPeriod;
    double ephemerisEpoch = 0;   // else the period and the first extremum's time
    double ephemerisPeriod = 0;
    double extremaWindow = 0.25; // the window's full width as a share of the period
};

// A refusal: the Czech text of the dialogue and the English one of a batch
// run, both as the programs print them (without "kalidor: ").
struct EngineError {
    std::string czech;
    std::string english;
};

// A chunk of consecutive grid points in grid order: periods and values.
typedef std::function<void(const double *periods, const double *values, long count)> GridChunkVisit;

// The caller's hooks; each may be left empty.  They are called on the
// thread that called the engine, in the order the analysis runs.
struct AnalysisHooks {
    std::function<void(const std::string &english)> note; // notes and warnings of the run
    std::function<void(long points)> passBegins; // after every check, before the first power
    GridChunkVisit spectrum;  // the powers of the pass, every grid point once
    GridChunkVisit window;    // the spectral window, with settings.window
    std::function<void(long done, long total)> progress; // grid points of the pass done
};

// The outcome: ok and the report, or the refusal.
struct AnalysisOutcome {
    bool ok = false;
    EngineError error;
    PeriodReport report;
};

// Analyses the light curve with the settings.  The report's times are the
// light curve's; the span is latest minus earliest, so the times may come
// in any order; the phases of the spectrum count from the first time in
// input order.  Refused as the batch run refuses: fewer than 5 estimates,
// all magnitudes equal, no time span, a range that is not 0 < min < max,
// fewer than 1 or more than MaxIntervals intervals, magnitudes too large.
// A hook that throws ends the analysis with the exception.
AnalysisOutcome AnalyseLightCurve(const LightCurve &curve, const AnalysisSettings &settings,
                                  const AnalysisHooks &hooks = AnalysisHooks());

// The refusals of the data and of the range alone, in the order the
// analysis checks them; false and the error when refused.  The dialogue
// asks them at its own steps.
bool CheckUsableData(const double *t, const double *y, int n, double span, EngineError &error);
bool CheckUsableRange(double minimumPeriod, double maximumPeriod, long intervals, EngineError &error);
bool CheckIntervalsAllowed(long intervals, EngineError &error);

// K of a grid even in period: the settings' intervals, or ten points across
// the narrowest peak of data spanning 'span' days, at most MaxIntervals
// (told through hooks.note); grid says whether K was chosen or capped.
long PeriodGridIntervals(const AnalysisSettings &settings, double span, GridReport &grid,
                         const AnalysisHooks &hooks = AnalysisHooks());

// The grid points that fall on the narrowest peak of a spectrum (width
// about pmin^2 / span) with K intervals over pmin..pmax.
double PointsPerPeakWidth(double pmin, double pmax, long intervals, double span);
// The warning, in English and in Czech, of a grid of fewer than three points
// per peak width, where the strongest period may be missed; false when the
// grid is fine.
bool CoarseGridWarning(double pmin, double pmax, long intervals, double span, std::string &english,
                       std::string &czech);

// The power a peak must exceed to be significant at the 95 % level.
double SignificanceThreshold(int n, double firstDate, double lastDate, double pmin, double pmax);

// The spectrum alone: the powers of the light curve's magnitudes (centred
// on their mean) on the grid that AnalyseLightCurve would search, handed
// to visit chunk by chunk.  False and the error when refused.
bool ComputeLightCurveSpectrum(const LightCurve &curve, const AnalysisSettings &settings, const GridChunkVisit &visit,
                               EngineError &error);
