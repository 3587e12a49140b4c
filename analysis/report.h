// The period report of a batch run: what the data are, the grid searched,
// the strongest peaks, the periods found by prewhitening and the fold.  One
// plain struct, filled by the batch run and read by the report writers and
// the figures.  Times are reduced Julian dates (Julian date - 2400000) in
// the input's time scale; periods and spans in days; magnitudes as read
// (not centred).
#pragma once
#include <cmath>
#include <string>
#include <vector>

#include "extrema.h"

// One peak of the spectrum, strongest first in PeriodReport::peaks.
struct PeakReport {
    double period;                // refined to the maximum of the power, days
    double periodError;           // least-squares error of the period, days
    double frequency;             // 1 / period, cycles per day
    double power;                 // the power at the refined period (0..1)
    double falseAlarmProbability; // from the model of the 95 % level
    double amplitude;             // semi-amplitude of the fitted sine, magnitudes
    double epochOfMaximum;        // greatest brightness of the fit nearest the middle of the data
    double residualRms;           // scatter about constant + sine at this period
    // The best box of a box search at this period (hasBox only for bls).
    bool hasBox = false;
    double boxDepth = 0;          // magnitudes fainter inside the box than out of it
    double boxDuration = 0;       // days
    double boxMidTime = 0;        // middle of the box nearest the middle of the data
    double signalToNoise = NAN;   // amplitude over the residual spectrum's mean amplitude near the peak
    double reducedChiSquare = NAN; // of the weighted sine fit (weighted runs)
    double monteCarloPeriodError = NAN; // spread of the period over refits of resampled light curves
};

// One step of prewhitening: the frequency found in step j after all j
// frequencies were refined together against the original magnitudes.
struct PrewhiteningStep {
    double period;                // days
    double periodError;           // from the covariance of the joint fit
    double frequency;             // 1 / period
    double amplitude;             // semi-amplitude, magnitudes
    double amplitudeError;
    double epochOfMaximum;        // greatest brightness of this sine nearest the middle
    double power;                 // of the peak in the residual spectrum where it was found
    double falseAlarmProbability; // of that peak
    double residualRms;           // scatter of the residuals after the joint fit of step j
    double signalToNoise = NAN;   // of the peak where it was found
};

// The phase curve at one period.  The fitted curve is
// meanMagnitude - amplitude * cos(2 pi (t - epoch) / period): the epoch is
// a time of greatest brightness, so phase 0 is the maximum of the light.
// The observations themselves are folded with the same period and epoch.
struct FoldReport {
    double period;
    double epoch;
    double amplitude;
    double meanMagnitude;         // the constant of the fit
    double residualRms;

    // The shape of a fit of 'harmonics' harmonics at the period (hasShape
    // when more than one harmonic or a method other than the one-sine
    // spectrum was asked for).  The curve is
    // shapeConstant + sum_k shapeCosines[k-1] cos(2 pi k phase) + shapeSines[k-1] sin(2 pi k phase),
    // phase = (t - epoch) / period, magnitudes as read.  The phase
    // differences are given in both conventions: the sine one
    // y = A0 + sum A_k sin(k omega t + phi_k) and the cosine one
    // y = A0 + sum A_k cos(k omega t + psi_k).
    bool hasShape = false;
    int harmonics = 0;
    double fullAmplitude = 0;     // greatest minus least magnitude of the fitted curve
    double epochOfMaximum = 0;    // greatest brightness of the fitted curve nearest the middle of the data
    double epochOfMinimum = 0;    // least brightness nearest the middle of the data
    double riseTime = 0;          // minimum to maximum brightness, share of the period
    double r21 = 0, r31 = 0;      // A2 / A1, A3 / A1 (NaN without those harmonics)
    double phi21Sine = 0, phi31Sine = 0;     // phi2 - 2 phi1, phi3 - 3 phi1, 0..2 pi
    double phi21Cosine = 0, phi31Cosine = 0; // the same in the cosine convention
    double shapeResidualRms = 0;  // scatter about the harmonic fit
    double shapeConstant = 0;
    std::vector<double> shapeCosines = {}, shapeSines = {};
};

// The evenly spaced grid of trial periods, as in the spectrum file.
struct GridReport {
    double minimumPeriod = 0;
    double maximumPeriod = 0;
    long intervals = 0;           // K; the grid has K + 1 periods
    double step = 0;              // (max - min) / K
    bool intervalsChosen = false; // K was chosen from the data, not given
    bool intervalsCapped = false; // the chosen K hit the largest K allowed
    // A grid even in frequency (the batch run's default): its points per
    // peak width 1/T, frequency step and the transform that took the sums
    // ("exact" kernels or the "fast" transform).
    bool evenInFrequency = false;
    double oversample = 0;
    double frequencyStep = 0;
    std::string transform;
};

// The times of the minima or maxima of the light curve and their O-C
// against an ephemeris, with the linear and quadratic fits.  When the
// extrema could not be timed or no O-C fit was possible, 'error' says why
// in English and the parts computed before stay as they were.
struct ExtremaReport {
    std::string error;            // empty when timed and fitted
    ExtremumKind kind = MinimumBrightness;
    double period = 0;            // the period that placed the windows, days
    std::string periodSource;     // "given", "ephemeris" or "strongest peak"
    double windowShare = 0;       // the window's full width as a share of the period
    bool ephemerisGiven = false;  // else the period and the first extremum's time
    ExtremaSearch search;         // the timings and the extrema skipped
    OCAnalysis oc;                // E, O-C and both fits
};

// One band of an analysis of several bands at once, at the strongest
// period: its estimates, its own mean and the semi-amplitude and epoch of
// its own sine fit.
struct BandReport {
    std::string band;
    long observations;
    double meanMagnitude;
    double amplitude;             // NaN when no sine fits the band alone
    double epochOfMaximum;
};

// Phase dispersion's alternate-cycle test at the period of the least
// theta: the chance that cycles in no particular order split into two
// groups as unlike as the even and the odd ones (see PdmAlternateCycles),
// and whether the strongest period reported is therefore twice that one.
struct AlternateCycleReport {
    bool tested = false;
    double period = 0;            // the period tested, days
    double probability = 1;
    int cycles = 0, splits = 0;
    bool doubled = false;         // the strongest period is about twice 'period'
    bool beyondRange = false;     // twice 'period' is longer than the longest trial period
};

struct PeriodReport {
    // The data.
    std::string file;             // the input file's name as given
    std::string star;             // the star's name in a survey table; empty otherwise
    std::string band;             // empty for input without bands
    std::string timeScale;        // "JD", "HJD" or "BJD_TDB"
    long observations;
    double first, last;           // earliest and latest time
    double span;                  // last - first
    double meanMagnitude;
    long skippedLimits, skippedOtherBands, skippedEmpty;
    // Inputs read by the light-curve readers in the forms of the space
    // telescopes and the surveys: the other skipped rows and how the curve
    // was made.  readerForm names the form ("fits" or "survey"; empty for
    // the forms kalidor always read), and the report writes these only
    // for such a form or when a count is not zero.
    std::string readerForm;
    long skippedFlagged = 0, skippedNonPositiveFlux = 0;
    int filesJoined = 1;
    std::string fluxColumn;       // FITS: "PDCSAP_FLUX" or "SAP_FLUX"
    bool relativeFlux = false;    // magnitudes are relative fluxes
    // Several bands at once (empty otherwise): each band's count, mean and
    // fit at the strongest period.
    std::vector<BandReport> bands;

    // The search.
    std::string method;           // empty for the one-sine spectrum; else e.g. "aov:3"
    std::string statistic;        // the method's statistic: "theta_aov", "theta_pdm", "bls_power", "power"
    bool lowIsBest = false;       // the least statistic is the best period (phase dispersion)
    std::string falseAlarmKind;   // how the peaks' false alarm is computed, with a method
    AlternateCycleReport alternateCycles; // phase dispersion only
    GridReport grid;
    double significanceLevel;     // the power of the 95 % level
    std::string spectrumFile;     // STEM.ven: period and power per grid point
    std::string windowFile;       // STEM.win, empty unless asked for

    std::vector<PeakReport> peaks;             // strongest first
    std::vector<PrewhiteningStep> prewhitening; // empty unless asked for
    bool hasFold = false;
    FoldReport fold;
    bool hasExtrema = false;      // times of extrema were asked for
    ExtremaReport extrema;

    // How the peaks were judged: "baluev", "model" or "bootstrap" (with its
    // resamples), whether the estimates were weighted by 1/sigma^2, why
    // automatic prewhitening stopped, and whether the residuals of the
    // strongest sine are correlated (the formal errors then too small by
    // about errorFactor).
    std::string falseAlarmMethod = "model";
    int bootstrapResamples = 0;
    bool weighted = false;
    std::string prewhiteningStopped;
    bool residualsCorrelated = false;
    double residualErrorFactor = 1;
    bool statisticsReported = false; // the keys above appear in the report

    // Notes and warnings of the analysis, kept in the report by a survey
    // run (a batch run writes them on standard error instead).
    std::vector<std::string> notes;
};
