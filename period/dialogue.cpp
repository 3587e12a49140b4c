// The dialogue of one kalidor run, from the help test to the last fold.
#include <cmath>
#include <cstdio>

#include "batch.h"
#include "figureglue.h"
#include "kalidor.h"
#include "numformat.h"
#include "options.h"
#include "output.h"
#include "runerror.h"

std::string InputName, Stem, JulianDateFileName, SpectrumFileName;
double MinimumPeriod, MaximumPeriod;
long Intervals;
double JulianDates[MaxObservations + 1];
double Magnitudes[MaxObservations + 1];
int ObservationCount;
double MagnitudeSum;
double LeastCentred, GreatestCentred, SumOfSquares;
SpectrumResult Spectrum;

namespace {

const char *const Banner[] = {"Kalidor - verze 1.4 (22. rijna 1993)", "Autor Kibo Varsk"};

const char *const HelpText[] = {
    "",
    "Priklad pouziti:  C:\\OS\\KIBO>  kalidor.exe betalyr.dat",
    "Vstupni  soubor  betalyr.dat  obsahuje na kazdem radku",
    "postupne  datum  (mezi rokem  1901  a  1999), cas (UT)",
    "a hvezdnou velikost  (ci odhadni stupen). Tyto polozky",
    "jsou oddelene jednou nebo vice mezerami. Jejich format",
    "ukazuje priklad:",
    "",
    "900812  23.56  12.67",
    "",
    "znamena odhad z 12. srpna 1990 (23 h 56 min UT), pricemz",
    "hvezda mela 12,67 magnitudy",
    "",
    "Zmackni ENTER ...",
};

bool IsHelpRequest(int argc, char **argv)
{
    if (argc < 2)
        return true;
    const std::string parameter = argv[1];
    return parameter.empty() || parameter.find('?') != std::string::npos || parameter == "--help";
}

[[noreturn]] void ShowHelp()
{
    for (const char *line : Banner)
        WriteLine(line);
    for (const char *line : HelpText)
        WriteLine(line);
    ReadLine(StandardInput);
    EndProgram(1);
}

// A typed number too large for a double (1e999) counts as a text that is
// not a number, so that no infinity enters the computation or the texts.
double AskReal(const std::string &prompt)
{
    WriteText(prompt);
    const double value = ReadReal(StandardInput);
    if (!std::isfinite(value))
        RunError(RunErrorInvalidNumber);
    SkipLine(StandardInput);
    return value;
}

long AskWhole(const char *prompt)
{
    WriteText(prompt);
    const long value = ReadInteger(StandardInput);
    SkipLine(StandardInput);
    return value;
}

bool AskYes(const char *prompt)
{
    WriteText(prompt);
    return IsYes(ReadLine(StandardInput, 255));
}

void WarnIfMaximumExceedsSpan()
{
    if (!(MaximumPeriod > TimeSpan()))
        return;
    WriteLine();
    WriteLine("Poznamka: Maximalni perioda prevysuje interval mezi");
    WriteLine("prvnim a poslednim odhadem (" + FormatFixed(TimeSpan(), 2) + ") dne.");
    WriteLine();
}

void AskPeriodRange()
{
    MinimumPeriod = AskReal("Minimalni perioda (ve dnech):   ");
    MaximumPeriod = AskReal("Maximalni perioda (ve dnech):   ");
}

// A number of intervals beyond MaxIntervals is refused as soon as it is
// typed, before a file is written.
void AskIntervals()
{
    Intervals = AskWhole("Pocet intervalu:                ");
    RefuseIntervalsBeyondMaximum(Intervals);
}

} // namespace

double TimeSpan() { return JulianDates[ObservationCount] - JulianDates[1]; }

void SetInputName(const std::string &name)
{
    InputName = name;
    Stem = FileStem(InputName);
    JulianDateFileName = Stem + ".jud";
    SpectrumFileName = Stem + ".ven";
}

void RefuseIntervalsBeyondMaximum(long intervals)
{
    EngineError error;
    if (!CheckIntervalsAllowed(intervals, error))
        Refuse(error.czech, error.english);
}

// The data must leave room for a fit and a significance level: at least
// five observations, magnitudes that differ, a time span above 0.
void RefuseUnusableData()
{
    EngineError error;
    if (!CheckUsableData(JulianDates + 1, Magnitudes + 1, ObservationCount, TimeSpan(), error))
        Refuse(error.czech, error.english);
}

// The period range must be a real range of positive periods, divided into
// at least one interval.
void RefuseUnusableRange()
{
    EngineError error;
    if (!CheckUsableRange(MinimumPeriod, MaximumPeriod, Intervals, error))
        Refuse(error.czech, error.english);
}


void ObtainObservations()
{
    if (TakesReaderPath(InputName)) {
        ReadThroughReaders(InputName);
        TellTimeScale();
        return;
    }
    const bool table = FileExtension(InputName) != ".jud" && IsTableFile(InputName);
    if (!table && !Options.band.empty())
        Refuse("Volba --band plati jen pro tabulky.", "--band applies to tables only");
    if (FileExtension(InputName) == ".jud") {
        ReadJulianDateFile(InputName);
        ConvertAllTimes();
    } else if (table) {
        ReadTableFile(InputName, JulianDateFileName);
    } else {
        ReadObservationFile(InputName, JulianDateFileName);
    }
    TellTimeScale();
}

void CentreObservations()
{
    CentreMagnitudes(MagnitudeSum / ObservationCount);
    if (!std::isfinite(SumOfSquares))
        Refuse("Hvezdne velikosti jsou prilis velke: spektrum nelze spocitat.",
               "the magnitudes are too large: no spectrum can be computed");
}

namespace {

void RunSpectrumPass()
{
    RefuseUnusableRange();
    WarnIfGridTooCoarse(MinimumPeriod, MaximumPeriod, Intervals, TimeSpan());
    RefuseOverwritingInput(SpectrumFileName);
    Spectrum = ComputeSpectrum(MinimumPeriod, MaximumPeriod, Intervals, SpectrumFileName);
    Spectrum.threshold = SignificanceThreshold(ObservationCount, JulianDates[1], JulianDates[ObservationCount],
                                               MinimumPeriod, MaximumPeriod);
    WriteFigureOfSpectrumPass();
    ShowSpectrumPicture();
}

[[noreturn]] void FoldLoop()
{
    for (;;) {
        const double period =
            AskReal("Perioda (nalezene maximum: " + FormatFixed(Spectrum.periodOfMaximum + 0.00005, 7) + " dne):  ");
        const double epoch = AskReal("Zakladni epocha (prvni odhad: " + FormatFixed(JulianDates[1] + 0.00005, 4) + "):  ");
        WritePhaseFigureFile(period, 0, epoch);
        ShowPhasePicture(period, epoch);
        if (!AskYes("Seskladat pro jinou periodu (a/n)?  "))
            EndProgram(0);
    }
}

} // namespace

bool IsYes(const std::string &answer) { return answer == "a"; }

void Refuse(const std::string &message)
{
    WriteLine(message);
    EndProgram(1);
}

bool BatchRun = false;
InputSummary Input;

void Refuse(const std::string &message, const std::string &englishMessage)
{
    if (!BatchRun)
        Refuse(message);
    std::fprintf(stderr, "kalidor: %s\n", englishMessage.c_str());
    std::fflush(stderr);
    EndProgram(1);
}

void Tell(const std::string &line)
{
    if (!BatchRun)
        WriteLine(line);
}

int RunDialogue(int argc, char **argv)
{
    if (IsHelpRequest(argc, argv))
        ShowHelp();
    for (const char *line : Banner)
        WriteLine(line);
    WriteLine();
    WriteLine();

    SetInputName(argv[1]);

    AskPeriodRange();
    AskIntervals();
    WriteLine();

    ObtainObservations();
    RefuseUnusableData();
    WarnIfMaximumExceedsSpan();

    WriteLine();
    WriteLine("Pocitam frekvencni spektrum ...");
    CentreObservations();

    for (;;) {
        RunSpectrumPass();
        if (!AskYes("Prejete si prepocitat pro jine periody (a/n)?  "))
            break;
        AskPeriodRange();
        WarnIfMaximumExceedsSpan();
        AskIntervals();
        WriteLine();
        WriteLine("Pocitam frekvencni spektrum ...");
    }

    WriteLine();
    if (!AskYes("Prejete si data seskladat do jedne periody (a/n)?  "))
        EndProgram(1);
    FoldLoop();
}
