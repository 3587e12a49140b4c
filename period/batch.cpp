// The batch run: the dialogue's reading without questions, then the
// engine's analysis of the observation list, with the spectrum (and window)
// files written as the pass goes and the period report on standard output.
#include "batch.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine.h"
#include "fileio.h"
#include "figureglue.h"
#include "kalidor.h"
#include "options.h"
#include "output.h"
#include "outputfile.h"
#include "report.h"
#include "reportwriter.h"
#include "runerror.h"
#include "survey.h"

namespace {

void Note(const std::string &text)
{
    std::fprintf(stderr, "kalidor: %s\n", text.c_str());
    std::fflush(stderr);
}

// The observation list as the engine takes it, with what reading found out.
LightCurve CurveOfObservations()
{
    LightCurve curve;
    curve.file = InputName;
    curve.band = Input.band;
    curve.timeScale = Input.timeScale;
    curve.time.assign(JulianDates + 1, JulianDates + 1 + ObservationCount);
    curve.magnitude.assign(Magnitudes + 1, Magnitudes + 1 + ObservationCount);
    curve.skippedLimits = Input.skippedLimits;
    curve.skippedOtherBands = Input.skippedOtherBands;
    curve.skippedEmpty = Input.skippedEmpty;
    AddReadersValues(curve);
    return curve;
}

// The spectrum and window files of the run, opened when the pass begins.
struct BatchFiles {
    SpectrumWriter *spectrum = nullptr;
    SpectrumWriter *window = nullptr;
    std::string windowName;
};

AnalysisHooks HooksOfRun(BatchFiles &files)
{
    AnalysisHooks hooks;
    hooks.note = Note;
    hooks.passBegins = [&files](long points) {
        RefuseOverwritingInput(SpectrumFileName);
        if (Options.window)
            RefuseOverwritingInput(files.windowName);
        files.spectrum = OpenSpectrumWriter(SpectrumFileName);
        if (Options.window)
            files.window = OpenSpectrumWriter(files.windowName);
        BeginSpectrumProgress(points, ObservationCount);
    };
    hooks.spectrum = [&files](const double *periods, const double *powers, long count) {
        AppendSpectrumLines(files.spectrum, periods, powers, count);
    };
    hooks.window = [&files](const double *periods, const double *values, long count) {
        AppendSpectrumLines(files.window, periods, values, count);
    };
    hooks.progress = [](long done, long) { ShowSpectrumProgress(done); };
    return hooks;
}

void CloseBatchFiles(BatchFiles &files)
{
    EndSpectrumProgress();
    if (files.spectrum != nullptr)
        CloseSpectrumWriter(files.spectrum);
    if (files.window != nullptr)
        CloseSpectrumWriter(files.window);
}

// STEM.oc: the O-C table of the times of extrema, written through a
// replacement so that a failed run leaves the earlier table as it was.
void WriteOCTableFile(const ExtremaReport &extrema)
{
    const std::string name = Stem + ".oc";
    RefuseOverwritingInput(name);
    const std::string table = FormatOCTable(extrema.oc);
    const int fd = CreateOutputFile(name);
    WriteOrStop(fd, table.data(), table.size());
    FinishOutputFile(fd);
}

// The times of extrema asked for: refused when none could be timed or no
// O-C fit is possible; else STEM.oc and, with --plots, STEM-oc.EXT.
void WriteExtremaFiles(const PeriodReport &report)
{
    if (!report.hasExtrema)
        return;
    if (!report.extrema.error.empty())
        Refuse("Casy extremu nelze urcit.", report.extrema.error);
    WriteOCTableFile(report.extrema);
    WriteOCFigureFile(report.extrema);
}

// Several files with --join and a report of one star: the files are the
// sectors of one star, joined (a survey run's --join is its own rule).
bool IsJoinedRun(int argc)
{
    return Options.join && argc > 2 && Options.report != JsonLinesReport && Options.catalogue.empty() &&
           Options.starColumn.empty();
}

} // namespace

AnalysisSettings SettingsOfOptions()
{
    AnalysisSettings settings;
    settings.minimumPeriod = Options.minimumPeriod;
    settings.maximumPeriod = Options.maximumPeriod;
    settings.intervals = Options.intervals;
    // A number of intervals asks for the grid even in period.
    settings.grid = Options.grid >= 0 ? static_cast<GridKind>(Options.grid)
                    : Options.intervals > 0 ? GridEvenInPeriod
                                            : GridEvenInFrequency;
    settings.oversample = Options.oversample;
    settings.transform = static_cast<TransformChoice>(Options.transform);
    settings.peaks = Options.peaks;
    settings.prewhiten = Options.prewhiten;
    settings.window = Options.window;
    settings.fold = Options.fold;
    settings.foldAtBest = Options.foldAtBest;
    settings.foldPeriod = Options.foldPeriod;
    settings.threads = Options.threads;
    settings.method = Options.method;
    settings.durations = Options.durations;
    settings.foldHarmonics = Options.foldHarmonics;
    settings.prewhitenAutomatic = Options.prewhitenAutomatic;
    settings.weights = static_cast<WeightChoice>(Options.weights);
    settings.falseAlarm = static_cast<FalseAlarmMethod>(Options.falseAlarm);
    settings.bootstrapResamples = Options.bootstrapResamples;
    settings.noiseWidth = Options.noiseWidth;
    settings.monteCarloRealisations = Options.monteCarlo;
    settings.seed = Options.seed;
    settings.extrema = Options.minima || Options.maxima;
    settings.maxima = Options.maxima;
    settings.extremaPeriod = Options.extremaPeriod;
    settings.ephemerisGiven = Options.ephemerisGiven;
    settings.ephemerisEpoch = Options.ephemerisEpoch;
    settings.ephemerisPeriod = Options.ephemerisPeriod;
    settings.extremaWindow = Options.extremaWindow;
    return settings;
}

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

void WarnIfGridTooCoarse(double pmin, double pmax, long intervals, double span)
{
    std::string english, czech;
    if (CoarseGridWarning(pmin, pmax, intervals, span, english, czech))
        Note(BatchRun ? english : czech);
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
    if (IsJoinedRun(argc)) {
        JoinedInputs.assign(argv + 1, argv + argc);
    } else if (Options.join && IsSurveyRun(argc, argv)) {
        std::fprintf(stderr, "kalidor: --join reads the FITS files of one star; a survey run (--report jsonl, "
                             "--catalogue, --star-column) takes every file as its own star\n");
        EndProgram(1);
    } else if (IsSurveyRun(argc, argv))
        RunSurvey(argc, argv);
    SetInputName(argv[1]);
    MinimumPeriod = Options.minimumPeriod;
    MaximumPeriod = Options.maximumPeriod;

    ObtainObservations();
    BatchFiles files;
    files.windowName = Stem + ".win";
    const AnalysisOutcome outcome = AnalyseLightCurve(CurveOfObservations(), SettingsOfOptions(), HooksOfRun(files));
    CloseBatchFiles(files);
    if (!outcome.ok)
        Refuse(outcome.error.czech, outcome.error.english);
    PeriodReport report = outcome.report;
    report.readerForm = ReaderForm;
    if (report.filesJoined > 1)
        Note("note: " + std::to_string(report.filesJoined) + " FITS files joined into one light curve (" +
             report.file + "), each over its own median flux");
    WriteExtremaFiles(report);
    report.spectrumFile = SpectrumFileName;
    if (Options.window)
        report.windowFile = files.windowName;

    // The figures draw the observation list centred, as the dialogue does.
    Intervals = report.grid.intervals;
    CentreObservations();
    WriteFiguresOfReport(report);

    WriteText(ReportText(report));
    EndProgram(0);
}
