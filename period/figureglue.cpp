// kalidor's publication figures: the spectrum and phase data of the run
// put into the figures module's structs and written beside the .ven file.
#include "figureglue.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>

#include "analysis.h"
#include "kalidor.h"
#include "options.h"
#include "outputfile.h"
#include "runerror.h"
#include "textinput.h"

namespace {

bool FiguresWanted() { return !Options.plots.empty(); }

FigureFormat WantedFormat()
{
    FigureFormat format = FigurePng;
    FigureFormatOf(Options.plots, format);
    return format;
}

std::string FigureFileName(const char *kind) { return Stem + "-" + kind + FigureExtension(WantedFormat()); }

// The figure is drawn into a new file beside its name and put in its place
// only when complete, as the Julian-date and spectrum files are: a failed
// or interrupted drawing leaves the earlier figure as it was, and a link at
// the name is replaced, never written through.  The file is created before
// the drawing, so that a name that cannot be written stops with the same
// run-time error as the spectrum file would; a failure of the drawing
// itself is told on standard error and stops with a read/write fault (the
// new file is removed).
void WriteFigureFile(const std::string &name, const std::function<std::string(int fd)> &draw)
{
    RefuseOverwritingInput(name);
    const int fd = CreateReplacingOutputFile(name);
    const std::string failure = draw(fd);
    if (!failure.empty()) {
        std::fprintf(stderr, "kalidor: cannot write the figure %s\n", failure.c_str());
        std::fflush(stderr);
        RunError(RunErrorReadWriteFault);
    }
    FinishOutputFile(fd);
}

FigureSize WantedSize() { return {Options.plotWidth, Options.plotHeight}; }

double ObservedMagnitude(int i) { return Magnitudes[i] + MagnitudeSum / ObservationCount; }

// The peaks to mark, strongest first: local maxima of the powers at least
// two peak widths (2 / T in frequency, T the time span) from every stronger
// one, so that the side lobes of a peak are not taken for peaks of their
// own.  The strongest is always marked, the others only above the level,
// at most 'wanted' in all.
std::vector<SpectrumPeak> PeaksToMark(const std::vector<double> &periods, const std::vector<double> &powers,
                                      double level, int wanted)
{
    std::vector<SpectrumPeak> maxima;
    const std::size_t n = std::min(periods.size(), powers.size());
    for (std::size_t i = 0; i < n; ++i) {
        const bool left = i == 0 || powers[i] >= powers[i - 1];
        const bool right = i + 1 == n || powers[i] > powers[i + 1];
        if (left && right && powers[i] > 0)
            maxima.push_back({periods[i], powers[i]});
    }
    std::stable_sort(maxima.begin(), maxima.end(),
                     [](const SpectrumPeak &a, const SpectrumPeak &b) { return a.power > b.power; });
    const double separation = 2 / static_cast<long double>(TimeSpan());
    std::vector<SpectrumPeak> peaks;
    for (const SpectrumPeak &m : maxima) {
        if (peaks.size() >= static_cast<std::size_t>(wanted) || (!peaks.empty() && !(m.power > level)))
            break;
        const bool distinct = std::all_of(peaks.begin(), peaks.end(), [&](const SpectrumPeak &p) {
            return std::fabs(1 / m.period - 1 / p.period) >= separation;
        });
        if (distinct)
            peaks.push_back(m);
    }
    return peaks;
}

// Periods and powers of a file in the spectrum file's form, 'lines' lines.
void ReadSpectrumColumns(const std::string &name, long lines, std::vector<double> &periods,
                         std::vector<double> &powers)
{
    TextInput in;
    if (!OpenTextInput(in, name.c_str()))
        RunErrorFromErrno(errno);
    for (long k = 0; k < lines; ++k) {
        periods.push_back(ReadReal(in));
        powers.push_back(ReadReal(in));
        SkipLine(in);
    }
    CloseTextInput(in);
}

// STEM-phase.EXT of the observation list folded with period and epoch and,
// when 'curve' is set, the curve constant + cosine cos(2 pi phase) + sine
// sin(2 pi phase).
// STEM-phase.EXT of the observation list folded with period and epoch, and
// the curve constant + sum over k of cosines[k-1] cos(2 pi k phase) +
// sines[k-1] sin(2 pi k phase).
void WritePhaseFigureWithCurve(double period, double periodError, double epoch, double constant,
                               const std::vector<double> &cosines, const std::vector<double> &sines)
{
    PhaseFigure figure;
    figure.title = FigureTitle();
    for (int i = 1; i <= ObservationCount; ++i) {
        const double phase = PhaseOf(JulianDates[i], period, epoch);
        if (std::isfinite(phase)) {
            figure.phases.push_back(phase);
            figure.magnitudes.push_back(ObservedMagnitude(i));
        }
    }
    figure.hasCurve = true;
    figure.constant = constant;
    figure.cosines = cosines;
    figure.sines = sines;
    figure.period = period;
    figure.periodError = periodError;
    figure.epoch = epoch;
    const std::string name = FigureFileName("phase");
    WriteFigureFile(name, [&](int fd) { return WritePhaseFigureTo(figure, fd, name, WantedFormat(), WantedSize()); });
}

void WritePhaseFigureOf(double period, double periodError, double epoch, bool curve, double constant,
                        double cosine, double sine)
{
    if (curve) {
        WritePhaseFigureWithCurve(period, periodError, epoch, constant, {cosine}, {sine});
        return;
    }
    PhaseFigure figure;
    figure.title = FigureTitle();
    for (int i = 1; i <= ObservationCount; ++i) {
        const double phase = PhaseOf(JulianDates[i], period, epoch);
        if (std::isfinite(phase)) {
            figure.phases.push_back(phase);
            figure.magnitudes.push_back(ObservedMagnitude(i));
        }
    }
    figure.hasCurve = curve;
    figure.constant = constant;
    figure.cosines = {cosine};
    figure.sines = {sine};
    figure.period = period;
    figure.periodError = periodError;
    figure.epoch = epoch;
    const std::string name = FigureFileName("phase");
    WriteFigureFile(name, [&](int fd) { return WritePhaseFigureTo(figure, fd, name, WantedFormat(), WantedSize()); });
}

// A constant plus one sine at the period fitted to the observation list,
// phases counted from the epoch; false where no sine fits (a period of 0
// or too few distinct phases).
bool FitFold(double period, double epoch, SineFit &fit)
{
    const double frequency = 1 / period;
    return std::isfinite(frequency) && FitSine(JulianDates + 1, Magnitudes + 1, ObservationCount, frequency, epoch, fit);
}

double FoldPeriodError(const SineFit &fit, double period)
{
    return PeriodError(period, fit.residualRms, ObservationCount, fit.amplitude, TimeSpan());
}

} // namespace

double PhaseOf(double date, double period, double epoch)
{
    const long double cycles = (static_cast<long double>(date) - epoch) / period;
    const double phase = static_cast<double>(cycles - std::floor(cycles));
    if (!std::isfinite(phase))
        return NAN; // a period of 0 folds nothing
    return phase < 1 ? phase : 0;
}

std::string FigureTitle() { return Input.band.empty() ? InputName : InputName + ", band " + Input.band; }

void WriteSpectrumFigureFile(std::vector<double> periods, std::vector<double> powers, double level,
                             std::vector<SpectrumPeak> peaks, std::vector<double> windowPowers,
                             const std::string &valueTitle)
{
    if (!FiguresWanted())
        return;
    SpectrumFigure figure;
    figure.valueTitle = valueTitle;
    figure.title = FigureTitle();
    // A grid of millions of points is moved, not copied.
    figure.periods = std::move(periods);
    figure.powers = std::move(powers);
    figure.level = level;
    figure.peaks = std::move(peaks);
    figure.windowPowers = std::move(windowPowers);
    const std::string name = FigureFileName("spectrum");
    WriteFigureFile(name,
                    [&](int fd) { return WriteSpectrumFigureTo(figure, fd, name, WantedFormat(), WantedSize()); });
}

void WritePhaseFigureFile(double period, double periodError, double epoch)
{
    if (!FiguresWanted())
        return;
    // The fit is made to the centred magnitudes; the curve adds their mean back.
    SineFit fit;
    if (!FitFold(period, epoch, fit)) {
        WritePhaseFigureOf(period, periodError, epoch, false, 0, 0, 0);
        return;
    }
    if (!(periodError > 0))
        periodError = FoldPeriodError(fit, period);
    WritePhaseFigureOf(period, periodError, epoch, true, fit.constant + MagnitudeSum / ObservationCount, fit.cosine,
                       fit.sine);
}

void WriteFigureOfSpectrumPass()
{
    if (!FiguresWanted())
        return;
    std::vector<double> periods, powers;
    ReadSpectrumColumns(SpectrumFileName, Intervals + 1, periods, powers);
    std::vector<SpectrumPeak> peaks = PeaksToMark(periods, powers, Spectrum.threshold, Options.peaks);
    WriteSpectrumFigureFile(std::move(periods), std::move(powers), Spectrum.threshold, std::move(peaks), {});
}

void WriteFiguresOfReport(const PeriodReport &report)
{
    if (!FiguresWanted())
        return;
    const long lines = report.grid.intervals + 1;
    std::vector<double> periods, powers, windowPeriods, windowPowers;
    ReadSpectrumColumns(report.spectrumFile, lines, periods, powers);
    if (!report.windowFile.empty())
        ReadSpectrumColumns(report.windowFile, lines, windowPeriods, windowPowers);
    // Phase dispersion is best where it is least: drawn as 1 - theta, so
    // that the best period is the highest point, and the axis says so.
    std::string valueTitle = "Power";
    double level = report.significanceLevel;
    if (!report.method.empty())
        valueTitle = report.lowIsBest ? "1 - " + report.statistic + " (" + report.method + ", low theta is best)"
                                      : report.statistic + " (" + report.method + ")";
    if (report.lowIsBest)
        for (double &value : powers)
            value = 1 - value;
    if (!std::isfinite(level) || report.lowIsBest)
        level = 0;
    std::vector<SpectrumPeak> peaks;
    for (const PeakReport &peak : report.peaks)
        peaks.push_back({peak.period, report.lowIsBest ? 1 - peak.power : peak.power});
    WriteSpectrumFigureFile(std::move(periods), std::move(powers), level, std::move(peaks), std::move(windowPowers),
                            valueTitle);
    if (!report.hasFold)
        return;
    // The report's curve, mean - amplitude cos(2 pi phase), has its maximum
    // of light at the epoch; the error is that of the peak folded at, or
    // the fit's own for another period.
    const FoldReport &fold = report.fold;
    double periodError = 0;
    for (const PeakReport &peak : report.peaks)
        if (peak.period == fold.period)
            periodError = peak.periodError;
    SineFit fit;
    if (!(periodError > 0) && FitFold(fold.period, fold.epoch, fit))
        periodError = FoldPeriodError(fit, fold.period);
    if (fold.hasShape) {
        WritePhaseFigureWithCurve(fold.period, periodError, fold.epoch, fold.shapeConstant, fold.shapeCosines,
                                  fold.shapeSines);
        return;
    }
    WritePhaseFigureOf(fold.period, periodError, fold.epoch, true, fold.meanMagnitude, -fold.amplitude, 0);
}

void WriteOCFigureFile(const ExtremaReport &extrema)
{
    if (!FiguresWanted() || extrema.oc.status != ExtremaOk)
        return;
    OCFigure figure;
    figure.title = FigureTitle() + ", " + ExtremumKindName(extrema.kind);
    for (const OCRow &row : extrema.oc.rows) {
        figure.cycles.push_back(static_cast<double>(row.cycle));
        figure.oc.push_back(row.oc);
        figure.errors.push_back(row.error);
    }
    figure.hasLinear = true;
    figure.linearA = extrema.oc.linear.a;
    figure.linearB = extrema.oc.linear.b;
    const QuadraticOCFit &quadratic = extrema.oc.quadratic;
    figure.hasQuadratic = quadratic.status == ExtremaOk;
    figure.quadraticA = quadratic.a;
    figure.quadraticB = quadratic.b;
    figure.quadraticC = quadratic.c;
    figure.periodChange = quadratic.periodChange;
    figure.periodChangeError = quadratic.periodChangeError;
    figure.hasFTest = figure.hasQuadratic && quadratic.hasFTest;
    figure.probability = quadratic.probability;
    const std::string name = FigureFileName("oc");
    WriteFigureFile(name, [&](int fd) { return WriteOCFigureTo(figure, fd, name, WantedFormat(), WantedSize()); });
}
