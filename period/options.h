// kalidor's command-line options.  They come before the file name, GNU
// style ("--band=V" or "--band V"); "--" ends them.  Without options the
// program runs exactly as a plain "kalidor FILE".
#pragma once
#include <string>
#include <vector>

enum TimeConversion { NoTimeConversion, HeliocentricTime, BarycentricTime };

enum ReportForm { TextReport, JsonReport, JsonLinesReport };

struct RunOptions {
    // Input side.
    std::string band;                   // --band NAME; empty: the band with most estimates
    TimeConversion timeConversion = NoTimeConversion; // --heliocentric / --barycentric
    std::string rightAscension;         // RA text (hours), as typed
    std::string declination;            // DEC text (degrees), as typed
    double starHours = 0;               // RA and DEC as read from those texts
    double starDegrees = 0;
    bool sapFlux = false;               // --flux sap|pdcsap: FITS light curves' flux column (default pdcsap)
    bool relativeFlux = false;          // --flux-units mag|relative (default mag)
    bool allBands = false;              // --bands all
    std::vector<std::string> bandList;  // --bands A,B,...
    bool join = false;                  // --join: FITS files of one star read as one light curve

    // Batch run: present when --periods was given.
    bool batch = false;
    double minimumPeriod = 0;           // --periods MIN:MAX
    double maximumPeriod = 0;
    long intervals = 0;                 // --intervals K; 0: chosen from the data
    int grid = -1;                      // --grid period|frequency (GridKind); -1: frequency unless --intervals
    double oversample = 10;             // --oversample S: points per peak width of the frequency grid
    int transform = 0;                  // --transform auto|exact|fast (TransformChoice)
    int peaks = 5;                      // --peaks M
    int prewhiten = 0;                  // --prewhiten M|auto[:M]; 0: none
    bool prewhitenAutomatic = false;
    int weights = 0;                    // --weights auto|errors|none (WeightChoice)
    int falseAlarm = 0;                 // --fap baluev|model|bootstrap:B (FalseAlarmMethod)
    int bootstrapResamples = 1000;
    double noiseWidth = 0;              // --noise-window W (c/d); 0: automatic
    int monteCarlo = 0;                 // --errors formula|montecarlo:R
    unsigned long seed = 1;             // --seed N
    bool window = false;                // --window
    ReportForm report = TextReport;     // --report text|json|jsonl
    bool reportGiven = false;
    bool fold = false;                  // --fold P|best
    bool foldAtBest = false;
    double foldPeriod = 0;
    int threads = 0;                    // --threads N; 0: automatic
    std::string method;                 // --method NAME; empty: dcdft
    std::vector<double> durations;      // --durations LIST|FROM:TO:STEP (bls); empty: the default
    int foldHarmonics = 0;              // --fold-harmonics H; 0: from the method

    // Times of extrema and O-C (batch and survey runs).
    bool minima = false;                // --minima
    bool maxima = false;                // --maxima
    double extremaPeriod = 0;           // --period P; 0: the ephemeris's or the strongest peak's
    bool ephemerisGiven = false;        // --ephemeris EPOCH:PERIOD
    double ephemerisEpoch = 0;
    double ephemerisPeriod = 0;
    double extremaWindow = 0.25;        // --extrema-window SHARE of the period
    bool extremaWindowGiven = false;

    // Survey run: several files, or a table with a star column.
    std::string starColumn;             // --star-column NAME
    std::string catalogue;              // --catalogue FILE; empty: none
    bool writeFiles = false;            // --files: each star's .jud and .ven

    // Figures.
    std::string plots;                  // --plots png|svg|pdf; empty: none
    int plotWidth = 1600;               // --plot-size WxH
    int plotHeight = 1000;
};

extern RunOptions Options;

// Reads the options at the front of argv into Options and returns the index
// of the first parameter that is not an option (argc when there is none).
// "--help" and any parameter with a '?' are left in place for the help
// test.  An unknown option or an unusable value ends the program with a
// message and the usage on standard error, status 1.
int ParseOptions(int argc, char **argv);

// The usage lines of the options, as written after a refused option.
const char *OptionsUsage();
