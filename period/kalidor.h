// kalidor: the period-analysis program.  The run keeps one set of values
// for its whole life; they live here as module-level state so that the
// dialogue, the readers, the spectrum and the pictures share them.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "analysis.h"
#include "dates.h"
#include "engine.h"
#include "textinput.h"

const int MaxObservations = 1000000;

// Names derived from the first command-line parameter.
extern std::string InputName;
extern std::string Stem;
extern std::string JulianDateFileName;
extern std::string SpectrumFileName;

// The period range and the number of intervals last entered.
extern double MinimumPeriod;
extern double MaximumPeriod;
extern long Intervals;

// The observation list, indexed from 1 in file order: reduced Julian dates
// and magnitudes (centred in place once the spectrum starts).
extern double JulianDates[MaxObservations + 1];
extern double Magnitudes[MaxObservations + 1];
extern int ObservationCount;
extern double MagnitudeSum;

// Produced once by CentreMagnitudes.
extern double LeastCentred;
extern double GreatestCentred;
extern double SumOfSquares;

// Results of the most recent spectrum pass.
struct SpectrumResult {
    double maximumPower;
    double periodOfMaximum;
    double threshold;
};
extern SpectrumResult Spectrum;

// --- text helpers -------------------------------------------------------
// The characters before the first '.' of name (empty without a '.').
std::string FileStem(const std::string &name);
// The characters from the first '.' of name to its end (all without one).
std::string FileExtension(const std::string &name);
// x as a three-decimal fixed-point text, cut 'decimals' characters after
// its point.
std::string FormatFixed(double x, int decimals);
// True when the three-decimal text of the finite x keeps its point and all
// three decimals within the 255 characters of a text, so that FormatFixed
// writes x faithfully (to its three decimals).
bool FitsFormatFixed(double x);
// x as a three-decimal fixed-point text, cut before its point.
std::string FormatWhole(double x);

// --- observations -------------------------------------------------------
// (JulianDateOf and the date fields: dates.h.)
// Reads the observation file, writes the Julian-date file and the messages
// of the conversion; ends the program on a rejected record.
void ReadObservationFile(const std::string &inputName, const std::string &julianDateName);
// Reads a Julian-date file (reduced Julian date and magnitude per line).
void ReadJulianDateFile(const std::string &inputName);
// True when both names exist and denote the same file.
bool IsSameFile(const std::string &a, const std::string &b);
// Ends the run with a message (status 1) when outputName is the input file,
// which creating it would empty.
void RefuseOverwritingInput(const std::string &outputName);

// --- tables and time scales ---------------------------------------------
// True when the file is a table of a database export (see IsTableFirstLine).
bool IsTableFile(const std::string &inputName);
// Reads the estimates of one band of a table (the --band option's, or the
// one with the most estimates) into the observation list, fills Input,
// writes the Julian-date file and the summary line; refuses (status 1) a
// row that cannot be read, too many estimates and a second conversion.
void ReadTableFile(const std::string &inputName, const std::string &julianDateName);
// Creates the Julian-date file for the observation list (refused when it
// is the input file); it replaces an earlier file only when complete.
int CreateJulianDateFile(const std::string &julianDateName);
// Writes the observation list into the file of CreateJulianDateFile and
// completes it.
void WriteJulianDateLines(int fd);
// The refusals of reading: record (line) 'record' cannot be read, more
// records than MaxObservations, a file without any (status 1).
[[noreturn]] void RejectRecord(long record);
[[noreturn]] void RefuseTooManyRecords();
[[noreturn]] void RefuseEmptyFile();
// A reduced Julian date (UTC) on the time scale the options ask for (as it
// is without --heliocentric or --barycentric); sets Input.timeScale.
double ConvertedTime(double reduced);
// ConvertedTime for every observation of the list.
void ConvertAllTimes();
// Refuses a time conversion of times already on the scale 'scale' (not "JD").
void RefuseSecondConversion(const std::string &scale);
// The dialogue line naming the time scale, when it is not plain JD.
void TellTimeScale();

// --- the light-curve readers' forms --------------------------------------
// The files of one star given together with --join (empty otherwise).
extern std::vector<std::string> JoinedInputs;
// The curve the readers gave, its form ("fits" or "survey"; empty when the
// dialogue's own readers read the input), and the uncertainties of a table
// the dialogue's own reader read (empty when it has none).
extern LightCurve ReaderCurve;
extern std::string ReaderForm;
extern std::vector<double> TableUncertainties;
// True when the input is of a form only the readers take: FITS light
// curves, several files joined, a table whose header only the survey
// column names explain, or any table read with several bands (--bands).
// A ".jud" name keeps its own reader.
bool TakesReaderPath(const std::string &inputName);
// Reads such an input into the observation list, fills Input, tells the
// summary line and writes the Julian-date file; refuses what the readers
// refuse (the readers' English text; in Czech after "Soubor nelze nacist").
void ReadThroughReaders(const std::string &inputName);
// Adds to the batch run's light curve what the observation list cannot
// hold: uncertainties, each estimate's band and the readers' counts.
void AddReadersValues(LightCurve &curve);

// --- spectrum -----------------------------------------------------------
// Subtracts the mean from every magnitude; sets LeastCentred,
// GreatestCentred (both include 0) and SumOfSquares.  Centred magnitudes
// all below 1e-100 in size are then divided by the largest of them (the
// power and the phase diagram do not depend on the scale).
void CentreMagnitudes(double mean);
// The share of the variance of the centred magnitudes y[0..n-1] that a
// constant plus a sine of the given frequency explains, times t[0..n-1]
// counted from t[0]; 0 where the fit has no room (all angles coinciding).
double SpectrumPower(const double *t, const double *y, int n, double frequency, double sumOfSquares);
// One spectrum pass over the K + 1 periods from pmin to pmax: writes the
// spectrum file and returns the maximum power and its period.
SpectrumResult ComputeSpectrum(double pmin, double pmax, long intervals, const std::string &spectrumName);
// Hands the powers of the grid's trial periods over the observations t, y
// (centred, with their sum of squares) to visit, a chunk of periods at a
// time in grid order; the powers are those of ComputeSpectrum, taken by the
// kernels (over every core for a large grid).
typedef std::function<void(const double *periods, const double *powers, long count)> PowerChunkVisit;
void ForEachGridPowerChunk(const double *t, const double *y, int n, double sumOfSquares, const PeriodGrid &grid,
                           const PowerChunkVisit &visit);
// Writes a file in the spectrum file's form (period and value a line) with
// value(frequency) at every period of the grid; it replaces an earlier file
// only when complete.
void WriteGridFile(const std::string &name, const PeriodGrid &grid, double (*value)(double frequency));
// Progress of a pass over 'periods' trial periods, on standard error when
// that is a terminal and the pass is long; ShowSpectrumProgress after each
// period (1..periods), EndSpectrumProgress clears the line.
void BeginSpectrumProgress(long periods, int observations);
void ShowSpectrumProgress(long done);
void EndSpectrumProgress();
// A file in the spectrum file's form (period and value a line), written
// beside the earlier one and put in its place only when complete; the
// lines are added in grid order.
struct SpectrumWriter;
SpectrumWriter *OpenSpectrumWriter(const std::string &name);
void AppendSpectrumLines(SpectrumWriter *out, const double *periods, const double *values, long count);
void CloseSpectrumWriter(SpectrumWriter *out);

// --- dialogue and pictures ----------------------------------------------
bool IsYes(const std::string &answer);
int RunDialogue(int argc, char **argv);
// The picture step of a spectrum pass: beeps, plot, hard copy, text screen.
void ShowSpectrumPicture();
// The picture step of a fold: diagram, hard copy, text screen.
void ShowPhasePicture(double period, double epoch);
// Opens the graphics screen and draws the spectrum of the latest pass,
// reading the spectrum file back; the picture stays on the screen.
void DrawSpectrumPlot();
// Reopens the screen of the latest spectrum plot and draws the observations
// folded with the period and epoch over one and a half cycles.
void DrawPhaseDiagram(double period, double epoch);
// Ends the program with a message and status 1 (refused input).
[[noreturn]] void Refuse(const std::string &message);

// --- batch run ----------------------------------------------------------
// True for a run without questions (--periods): the dialogue's messages are
// not written, refusals go to standard error in English.
extern bool BatchRun;
// Refused input in either mode: the Czech message on standard output in
// the dialogue, "kalidor: " and the English one on standard error in a
// batch run; status 1.
[[noreturn]] void Refuse(const std::string &message, const std::string &englishMessage);
// A line of the dialogue that a batch run leaves out.
void Tell(const std::string &line = std::string());

// The steps the dialogue and the batch run share.
// Sets InputName and the names derived from it (Stem, the Julian-date and
// the spectrum file).
void SetInputName(const std::string &name);
// Reads the input named by InputName as its form asks (Julian-date file,
// table or observation file), converts its times as the options ask and
// names the time scale.
void ObtainObservations();
// Refuses data without room for a fit (fewer than 5 estimates, all equal,
// no time span).
void RefuseUnusableData();
// Refuses a period range that is not 0 < min < max, or fewer than 1 interval.
void RefuseUnusableRange();
// Refuses more intervals than MaxIntervals, before any file is written.
void RefuseIntervalsBeyondMaximum(long intervals);
// Centres the magnitudes on their mean; refuses magnitudes whose squares
// overflow.
void CentreObservations();
// The time from the first to the last observation in file order.
double TimeSpan();

// What reading the input found out, for the messages and the report.
struct InputSummary {
    std::string band;            // the band used; empty for a file without bands
    std::string timeScale = "JD"; // "JD" as read, "HJD" or "BJD_TDB" (converted or as named by a table)
    long skippedLimits = 0;       // rows of a table that give a limit (<, >), not an estimate
    long skippedOtherBands = 0;   // rows of a table of other bands
    long skippedEmpty = 0;        // rows of a table without a time or magnitude
};
extern InputSummary Input;
