// The batch run: the dialogue's reading and spectrum pass without questions,
// then the peaks refined, their errors and significance, prewhitening, the
// spectral window and the fold, reported on standard output.
#include "batch.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis.h"
#include "figureglue.h"
#include "kalidor.h"
#include "options.h"
#include "output.h"
#include "report.h"
#include "reportwriter.h"
#include "runerror.h"

namespace {

// Grid points wanted across the narrowest peak when K is chosen, and the
// fewest that still find a peak reliably.
const double ChosenPointsPerPeak = 10;
const double FewestPointsPerPeak = 3;

// Two refined peaks closer than this (relative in frequency) are one.
const double SamePeakShare = 1e-7;

void Note(const std::string &text)
{
    std::fprintf(stderr, "kalidor: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string Decimal(double value, const char *format = "%.6g")
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

const double *Times() { return JulianDates + 1; }
const double *Centred() { return Magnitudes + 1; }
double MiddleTime() { return JulianDates[1] + TimeSpan() / 2; }

// K for ten points across the narrowest peak, at most MaxIntervals.
long ChooseIntervals(GridReport &grid)
{
    const long double wanted = std::ceil(ChosenPointsPerPeak * static_cast<long double>(TimeSpan()) *
                                         (static_cast<long double>(MaximumPeriod) - MinimumPeriod) /
                                         (static_cast<long double>(MinimumPeriod) * MinimumPeriod));
    grid.intervalsChosen = true;
    if (!(wanted <= MaxIntervals)) {
        grid.intervalsCapped = true;
        Note("the grid for " + Decimal(ChosenPointsPerPeak, "%.0f") + " points per peak width would need " +
             Decimal(static_cast<double>(wanted), "%.0f") + " intervals; using the largest number, " +
             std::to_string(MaxIntervals));
        return MaxIntervals;
    }
    return wanted < 1 ? 1 : static_cast<long>(wanted);
}

long IntervalsOfRun(GridReport &grid)
{
    grid.intervalsChosen = false;
    grid.intervalsCapped = false;
    return Options.intervals == 0 ? ChooseIntervals(grid) : Options.intervals;
}

void NoteMaximumBeyondSpan()
{
    if (MaximumPeriod > TimeSpan())
        Note("note: the maximum period exceeds the time span of the estimates (" + Decimal(TimeSpan(), "%.2f") +
             " d)");
}

void DescribeData(PeriodReport &r, double mean)
{
    r.file = InputName;
    r.band = Input.band;
    r.timeScale = Input.timeScale;
    r.observations = ObservationCount;
    r.first = JulianDates[1];
    r.last = JulianDates[ObservationCount];
    r.span = TimeSpan();
    r.meanMagnitude = mean;
    r.skippedLimits = Input.skippedLimits;
    r.skippedOtherBands = Input.skippedOtherBands;
    r.skippedEmpty = Input.skippedEmpty;
}

// The powers of the spectrum file just written, fed in grid order.
void CollectSpectrumPeaks(PeakCollector &collector)
{
    std::FILE *in = std::fopen(SpectrumFileName.c_str(), "r");
    if (in == nullptr)
        RunErrorFromErrno(errno);
    char line[128];
    while (std::fgets(line, sizeof line, in) != nullptr)
        FeedPower(collector, std::strtod(line + 25, nullptr));
    std::fclose(in);
}

bool SeenBefore(const std::vector<PeakReport> &peaks, double frequency)
{
    for (const PeakReport &p : peaks)
        if (std::fabs(p.frequency - frequency) <= SamePeakShare * frequency)
            return true;
    return false;
}

// A peak at a refined frequency: power, significance, and the sine fit
// that gives amplitude, epoch and the period's error.
PeakReport DescribePeak(double frequency, const PeriodReport &r)
{
    const int n = ObservationCount;
    PeakReport p;
    p.frequency = frequency;
    p.period = 1 / frequency;
    p.power = SpectrumPower(Times(), Centred(), n, frequency, SumOfSquares);
    p.falseAlarmProbability =
        FalseAlarmProbability(p.power, n, r.span, r.grid.minimumPeriod, r.grid.maximumPeriod);
    SineFit fit;
    if (FitSine(Times(), Centred(), n, frequency, JulianDates[1], fit)) {
        p.amplitude = fit.amplitude;
        p.residualRms = fit.residualRms;
        p.epochOfMaximum = EpochOfMaximum(fit, MiddleTime());
        p.periodError = PeriodError(p.period, fit.residualRms, n, fit.amplitude, r.span);
    } else {
        p.amplitude = p.residualRms = p.epochOfMaximum = p.periodError = NAN;
    }
    return p;
}

void FindPeaks(PeriodReport &r, const PeriodGrid &grid)
{
    PeakCollector collector;
    StartPeakCollector(collector, Options.peaks);
    CollectSpectrumPeaks(collector);
    for (const GridPeak &g : FinishPeakCollector(collector)) {
        const double f = RefinePeakFrequency(SpectrumPower, Times(), Centred(), ObservationCount, SumOfSquares, grid,
                                             g.index);
        if (!SeenBefore(r.peaks, f))
            r.peaks.push_back(DescribePeak(f, r));
    }
}

// The report in the asked form, as one text, so that it goes to standard
// output through the writer that stops on a failed write.
std::string ReportText(const PeriodReport &report)
{
    char *buffer = nullptr;
    std::size_t length = 0;
    std::FILE *memory = open_memstream(&buffer, &length);
    if (memory == nullptr)
        RunError(RunErrorOutOfMemory);
    if (Options.report == JsonReport)
        WriteJsonReport(report, memory);
    else
        WriteTextReport(report, memory);
    std::fclose(memory);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}

double WindowAt(double frequency) { return SpectralWindow(Times(), ObservationCount, frequency); }

void WriteWindowFile(const std::string &name, const PeriodGrid &grid)
{
    RefuseOverwritingInput(name);
    WriteGridFile(name, grid, WindowAt);
}

// The strongest peak of the spectrum of the centred values y over the
// grid, the powers taken by the spectrum kernels in chunks (over every core
// for a large grid), as a pass takes them.
std::vector<GridPeak> StrongestPeakOnGrid(const double *y, double sumOfSquares, const PeriodGrid &grid)
{
    PeakCollector collector;
    StartPeakCollector(collector, 1);
    ForEachGridPowerChunk(Times(), y, ObservationCount, sumOfSquares, grid,
                          [&](const double *, const double *powers, long count) {
                              for (long j = 0; j < count; ++j)
                                  FeedPower(collector, powers[j]);
                          });
    return FinishPeakCollector(collector);
}

// Finds Options.prewhiten frequencies in turn: the strongest peak of the
// residuals' spectrum, then all frequencies refined together against the
// magnitudes.  The steps report the values of the last joint fit.
void Prewhiten(PeriodReport &r, const PeriodGrid &grid)
{
    const int n = ObservationCount;
    const double reference = MiddleTime();
    std::vector<SineComponent> components;
    std::vector<double> residual(Centred(), Centred() + n), centred;
    double constant = 0;
    for (int step = 1; step <= Options.prewhiten; ++step) {
        const double sumOfSquares = CentreValues(residual.data(), n, centred);
        double f = 0;
        if (step == 1 && !r.peaks.empty()) {
            // The first residuals are the magnitudes: their spectrum is the pass's.
            f = r.peaks[0].frequency;
        } else {
            const std::vector<GridPeak> peaks = StrongestPeakOnGrid(centred.data(), sumOfSquares, grid);
            if (peaks.empty()) {
                Note("prewhitening: the residuals of step " + std::to_string(step) + " have no peak; stopped");
                break;
            }
            f = RefinePeakFrequency(SpectrumPower, Times(), centred.data(), n, sumOfSquares, grid, peaks[0].index);
        }
        SineFit fit;
        if (!FitSine(Times(), centred.data(), n, f, reference, fit)) {
            Note("prewhitening: no sine fits the residuals of step " + std::to_string(step) + "; stopped");
            break;
        }
        std::vector<SineComponent> trial = components;
        trial.push_back(SineComponent{f, fit.cosine, fit.sine, NAN, NAN});
        double trialConstant = constant, rms = 0;
        if (!FitSinesTogether(Times(), Centred(), n, reference, trial, trialConstant, rms)) {
            Note("prewhitening: the joint fit of step " + std::to_string(step) + " failed; stopped");
            break;
        }
        components = trial;
        constant = trialConstant;
        SinesResiduals(Times(), Centred(), n, reference, components, constant, residual);
        PrewhiteningStep s;
        s.power = SpectrumPower(Times(), centred.data(), n, f, sumOfSquares);
        s.falseAlarmProbability = FalseAlarmProbability(s.power, n, r.span, grid.minimum, grid.maximum);
        s.residualRms = rms;
        r.prewhitening.push_back(s);
    }
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

void Fold(PeriodReport &r, double mean)
{
    double period = Options.foldPeriod;
    if (Options.foldAtBest) {
        if (r.peaks.empty()) {
            Note("--fold best: the spectrum has no peak to fold with");
            return;
        }
        period = r.peaks[0].period;
    }
    SineFit fit;
    if (!FitSine(Times(), Centred(), ObservationCount, 1 / period, JulianDates[1], fit)) {
        Note("--fold: no sine fits the data at the period " + Decimal(period, "%.10g"));
        return;
    }
    r.hasFold = true;
    r.fold.period = period;
    r.fold.epoch = EpochOfMaximum(fit, MiddleTime());
    r.fold.amplitude = fit.amplitude;
    r.fold.meanMagnitude = mean + fit.constant;
    r.fold.residualRms = fit.residualRms;
}

} // namespace

double PointsPerPeakWidth(double pmin, double pmax, long intervals, double span)
{
    const long double width = static_cast<long double>(pmin) * pmin / span;
    return static_cast<double>(width * intervals / (static_cast<long double>(pmax) - pmin));
}

void WarnIfGridTooCoarse(double pmin, double pmax, long intervals, double span)
{
    const double points = PointsPerPeakWidth(pmin, pmax, intervals, span);
    if (!(points < FewestPointsPerPeak))
        return;
    const std::string wanted = Decimal(std::ceil(ChosenPointsPerPeak / points * intervals), "%.0f");
    if (BatchRun)
        Note("warning: " + std::to_string(intervals) + " intervals give " + Decimal(points, "%.2g") +
             " points per peak width; the strongest period may be missed (about " + wanted + " intervals are safe)");
    else
        Note("Varovani: pri " + std::to_string(intervals) + " intervalech pripada na sirku vrcholu jen " +
             Decimal(points, "%.2g") + " bodu, nejsilnejsi perioda muze byt chybna (bezpecne je asi " + wanted +
             " intervalu).");
}

void RunBatch(int argc, char **argv)
{
    BatchRun = true;
    if (argc >= 2 && std::string(argv[1]) == "--help") {
        std::fputs(OptionsUsage(), stdout);
        EndProgram(0);
    }
    if (argc < 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "kalidor: a batch run (--periods) needs a FILE\n%s", OptionsUsage());
        EndProgram(1);
    }
    // Refused before any file is read or written.
    RefuseIntervalsBeyondMaximum(Options.intervals);
    SetInputName(argv[1]);
    MinimumPeriod = Options.minimumPeriod;
    MaximumPeriod = Options.maximumPeriod;

    ObtainObservations();
    RefuseUnusableData();
    PeriodReport report;
    Intervals = IntervalsOfRun(report.grid);
    RefuseUnusableRange();
    NoteMaximumBeyondSpan();
    WarnIfGridTooCoarse(MinimumPeriod, MaximumPeriod, Intervals, TimeSpan());
    const double mean = MagnitudeSum / ObservationCount;
    CentreObservations();

    RefuseOverwritingInput(SpectrumFileName);
    Spectrum = ComputeSpectrum(MinimumPeriod, MaximumPeriod, Intervals, SpectrumFileName);
    Spectrum.threshold = SignificanceThreshold(ObservationCount, JulianDates[1], JulianDates[ObservationCount],
                                               MinimumPeriod, MaximumPeriod);

    const PeriodGrid grid = MakePeriodGrid(MinimumPeriod, MaximumPeriod, Intervals);
    DescribeData(report, mean);
    report.grid.minimumPeriod = grid.minimum;
    report.grid.maximumPeriod = grid.maximum;
    report.grid.intervals = grid.intervals;
    report.grid.step = grid.step;
    report.significanceLevel = Spectrum.threshold;
    report.spectrumFile = SpectrumFileName;
    FindPeaks(report, grid);
    if (Options.window) {
        report.windowFile = Stem + ".win";
        WriteWindowFile(report.windowFile, grid);
    }
    if (Options.prewhiten > 0)
        Prewhiten(report, grid);
    if (Options.fold)
        Fold(report, mean);
    WriteFiguresOfReport(report);

    WriteText(ReportText(report));
    EndProgram(0);
}
