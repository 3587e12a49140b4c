// kalidor's command-line options: a small GNU-style reader that fills the
// module-level Options before the run starts.
#include "options.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "methods.h"
#include "numparse.h"
#include "runerror.h"
#include "timescale.h"

RunOptions Options;

namespace {

const char *const Usage =
    "Usage: kalidor [OPTION]... FILE\n"
    "       kalidor --periods MIN:MAX [OPTION]... FILE...   (a survey run)\n"
    "Input:\n"
    "  --band NAME             use the estimates of this band of a table\n"
    "  --heliocentric RA DEC   convert the times to heliocentric Julian dates\n"
    "  --barycentric RA DEC    convert the times to barycentric dynamical time\n"
    "  --flux sap|pdcsap       flux column of FITS light curves (default pdcsap)\n"
    "  --flux-units mag|relative  FITS fluxes as magnitudes (default) or over their median\n"
    "  --bands all|A,B,...     analyse several bands of a table at once, one period for all\n"
    "  --join                  read several FITS files of one star (sectors) as one light curve\n"
    "Batch run (asks nothing, prints a report):\n"
    "  --periods MIN:MAX       trial periods in days\n"
    "  --grid frequency|period trial periods even in frequency (default) or in period\n"
    "  --oversample S          points per peak width of the frequency grid (default 10)\n"
    "  --transform auto|exact|fast  the sums of the frequency grid (default: the cheaper)\n"
    "  --intervals K           number of intervals of the period grid (default: from the data)\n"
    "  --peaks M               report the M strongest peaks (default 5)\n"
    "  --prewhiten M|auto[:M]  find M periods in turn (auto: while S/N >= 4 and FAP < 0.01)\n"
    "  --weights auto|errors|none  weight by 1/sigma^2 of the uncertainties (default auto)\n"
    "  --fap baluev|model|bootstrap:B  false-alarm probabilities (default baluev)\n"
    "  --errors formula|montecarlo:R  also period errors from R resampled refits\n"
    "  --noise-window W        full width (c/d) of the S/N noise window (default: automatic)\n"
    "  --seed N                seed of the bootstrap and Monte Carlo draws (default 1)\n"
    "  --window                also write the spectral window to STEM.win\n"
    "  --report text|json|jsonl  form of the report (default text; jsonl for many stars)\n"
    "  --fold P|best           also fold at period P or at the strongest one\n"
    "  --threads N             threads of a large pass, or stars at once in a survey run\n"
    "  --method NAME           dcdft (default), harmonics:H, aov:H, pdm:B or bls\n"
    "  --durations LIST        box durations of bls, shares of the period: A,B,... or FROM:TO:STEP\n"
    "  --fold-harmonics H      harmonics fitted at the fold's period (default: the method's)\n"
    "Times of extrema (batch and survey runs):\n"
    "  --minima, --maxima      time each minimum (maximum) of the light, O-C to STEM.oc\n"
    "  --period P              their period (default: the ephemeris's or the strongest)\n"
    "  --ephemeris EPOCH:PERIOD  O-C against this ephemeris (default: the first extremum)\n"
    "  --extrema-window SHARE  window around each extremum, share of the period (0.25)\n"
    "Survey run (several files, or a table with a star column):\n"
    "  --star-column NAME      the column that names the star of each row\n"
    "  --catalogue FILE        also write one CSV row a star to FILE\n"
    "  --files                 also write each star's STEM.jud and STEM.ven\n"
    "Figures:\n"
    "  --plots png|svg|pdf     write STEM-spectrum and STEM-phase figures\n"
    "  --plot-size WxH         size of the figures (default 1600x1000)\n"
    "Without OPTIONs kalidor asks for the periods; 'kalidor --help' explains FILE.\n";

[[noreturn]] void RefuseOption(const std::string &message)
{
    std::fprintf(stderr, "kalidor: %s\n%s", message.c_str(), Usage);
    std::fflush(stderr);
    EndProgram(1);
}

bool ReadWholeText(const std::string &text, long &value)
{
    const IntParse parse = ParseInt(text);
    value = parse.value;
    return parse.position == 0 && !text.empty();
}

bool ReadRealText(const std::string &text, double &value)
{
    const RealParse parse = ParseReal(text);
    value = parse.value;
    return parse.position == 0 && !text.empty() && std::isfinite(value);
}

long PositiveWhole(const std::string &option, const std::string &text, long least)
{
    long value = 0;
    if (!ReadWholeText(text, value) || value < least)
        RefuseOption("invalid value '" + text + "' for " + option);
    return value;
}

void ReadPeriodRange(const std::string &text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos ||
        !ReadRealText(text.substr(0, colon), Options.minimumPeriod) ||
        !ReadRealText(text.substr(colon + 1), Options.maximumPeriod))
        RefuseOption("invalid value '" + text + "' for --periods (MIN:MAX in days)");
    Options.batch = true;
}

void ReadFold(const std::string &text)
{
    Options.fold = true;
    Options.foldAtBest = text == "best";
    if (!Options.foldAtBest && (!ReadRealText(text, Options.foldPeriod) || !(Options.foldPeriod > 0)))
        RefuseOption("invalid value '" + text + "' for --fold (a period in days, or best)");
}

void ReadExtremaPeriod(const std::string &text)
{
    if (!ReadRealText(text, Options.extremaPeriod) || !(Options.extremaPeriod > 0))
        RefuseOption("invalid value '" + text + "' for --period (a period in days)");
}

void ReadEphemeris(const std::string &text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || !ReadRealText(text.substr(0, colon), Options.ephemerisEpoch) ||
        !ReadRealText(text.substr(colon + 1), Options.ephemerisPeriod) || !(Options.ephemerisPeriod > 0))
        RefuseOption("invalid value '" + text +
                     "' for --ephemeris (EPOCH:PERIOD, a reduced Julian date and a period in days)");
    Options.ephemerisGiven = true;
}

void ReadExtremaWindow(const std::string &text)
{
    if (!ReadRealText(text, Options.extremaWindow) || !(Options.extremaWindow > 0 && Options.extremaWindow <= 1))
        RefuseOption("invalid value '" + text +
                     "' for --extrema-window (a share of the period greater than 0 and at most 1)");
    Options.extremaWindowGiven = true;
}

// The options of the times of extrema go together and with a batch run.
void CheckExtremaOptions()
{
    const bool timing = Options.minima || Options.maxima;
    if (Options.minima && Options.maxima)
        RefuseOption("--minima and --maxima exclude each other");
    if (!timing && (Options.extremaPeriod > 0 || Options.ephemerisGiven || Options.extremaWindowGiven))
        RefuseOption("--period, --ephemeris and --extrema-window need --minima or --maxima");
    if (timing && !Options.batch)
        RefuseOption("--minima and --maxima need a batch run (--periods)");
}

void ReadPlotSize(const std::string &text)
{
    const std::size_t x = text.find('x');
    long width = 0, height = 0;
    if (x == std::string::npos || !ReadWholeText(text.substr(0, x), width) ||
        !ReadWholeText(text.substr(x + 1), height) || width < 16 || height < 16 || width > 20000 ||
        height > 20000)
        RefuseOption("invalid value '" + text + "' for --plot-size (WxH, 16 to 20000 pixels)");
    Options.plotWidth = static_cast<int>(width);
    Options.plotHeight = static_cast<int>(height);
}

// "all", or band names with commas between (none of them empty).
void ReadBandList(const std::string &text)
{
    Options.allBands = text == "all";
    Options.bandList.clear();
    if (Options.allBands)
        return;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty())
            RefuseOption("invalid value '" + text + "' for --bands (all, or band names with commas between)");
        Options.bandList.push_back(name);
        if (comma == std::string::npos)
            return;
        start = comma + 1;
    }
}

void ReadMethod(const std::string &text)
{
    MethodChoice choice;
    if (ParseMethod(text, choice) != MethodOk)
        RefuseOption("invalid value '" + text + "' for --method (dcdft, harmonics:H with H 1 to " +
                     std::to_string(MaxHarmonics) + ", aov:H, pdm:B with B 2 to " + std::to_string(MaxPhaseBins) +
                     ", or bls)");
    Options.method = text;
}

// Durations as a list "0.02,0.05,0.1" or a range "FROM:TO:STEP" (TO
// included when a step lands on it), each inside (0, 0.5).
void ReadDurations(const std::string &text)
{
    const std::string refusal = "invalid value '" + text +
                                "' for --durations (shares of the period between 0 and 0.5: A,B,... or FROM:TO:STEP)";
    std::vector<double> durations;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::size_t second = text.find(':', colon + 1);
        double from = 0, to = 0, step = 0;
        if (second == std::string::npos || !ReadRealText(text.substr(0, colon), from) ||
            !ReadRealText(text.substr(colon + 1, second - colon - 1), to) ||
            !ReadRealText(text.substr(second + 1), step) || !(step > 0) || !(from <= to) ||
            (to - from) / step > 10000)
            RefuseOption(refusal);
        for (long k = 0; from + k * step <= to * (1 + 1e-12); ++k)
            durations.push_back(from + k * step);
    } else {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = text.find(',', start);
            double value = 0;
            if (!ReadRealText(text.substr(start, comma - start), value))
                RefuseOption(refusal);
            durations.push_back(value);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    BoxOptions box;
    box.durations = durations;
    if (CheckBoxOptions(box) != MethodOk)
        RefuseOption(refusal);
    Options.durations = durations;
}

// The options that take one value, and where the value goes.
void ApplyValue(const std::string &option, const std::string &value)
{
    if (option == "--band")
        Options.band = value;
    else if (option == "--periods")
        ReadPeriodRange(value);
    else if (option == "--intervals")
        Options.intervals = PositiveWhole(option, value, 1);
    else if (option == "--peaks")
        Options.peaks = static_cast<int>(PositiveWhole(option, value, 1));
    else if (option == "--prewhiten") {
        if (value == "auto" || value.compare(0, 5, "auto:") == 0) {
            Options.prewhitenAutomatic = true;
            Options.prewhiten = value == "auto" ? 10 : static_cast<int>(PositiveWhole(option, value.substr(5), 1));
        } else {
            Options.prewhiten = static_cast<int>(PositiveWhole(option, value, 1));
        }
    } else if (option == "--weights") {
        if (value != "auto" && value != "errors" && value != "none")
            RefuseOption("invalid value '" + value + "' for --weights (auto, errors or none)");
        Options.weights = value == "auto" ? 0 : value == "errors" ? 1 : 2;
    } else if (option == "--fap") {
        if (value == "baluev")
            Options.falseAlarm = 0;
        else if (value == "model")
            Options.falseAlarm = 1;
        else if (value.compare(0, 10, "bootstrap:") == 0) {
            Options.falseAlarm = 2;
            Options.bootstrapResamples = static_cast<int>(PositiveWhole(option, value.substr(10), 1));
        } else
            RefuseOption("invalid value '" + value + "' for --fap (baluev, model or bootstrap:B)");
    } else if (option == "--errors") {
        if (value == "formula")
            Options.monteCarlo = 0;
        else if (value.compare(0, 11, "montecarlo:") == 0)
            Options.monteCarlo = static_cast<int>(PositiveWhole(option, value.substr(11), 2));
        else
            RefuseOption("invalid value '" + value + "' for --errors (formula or montecarlo:R)");
    } else if (option == "--noise-window") {
        if (!ReadRealText(value, Options.noiseWidth) || !(Options.noiseWidth > 0))
            RefuseOption("invalid value '" + value + "' for --noise-window (cycles per day above 0)");
    } else if (option == "--seed")
        Options.seed = static_cast<unsigned long>(PositiveWhole(option, value, 0));
    else if (option == "--threads")
        Options.threads = static_cast<int>(PositiveWhole(option, value, 0));
    else if (option == "--fold")
        ReadFold(value);
    else if (option == "--method")
        ReadMethod(value);
    else if (option == "--durations")
        ReadDurations(value);
    else if (option == "--fold-harmonics") {
        Options.foldHarmonics = static_cast<int>(PositiveWhole(option, value, 1));
        if (Options.foldHarmonics > MaxHarmonics)
            RefuseOption("invalid value '" + value + "' for --fold-harmonics (1 to " + std::to_string(MaxHarmonics) +
                         ")");
    }
    else if (option == "--plot-size")
        ReadPlotSize(value);
    else if (option == "--grid") {
        if (value != "period" && value != "frequency")
            RefuseOption("invalid value '" + value + "' for --grid (frequency or period)");
        Options.grid = value == "period" ? 0 : 1;
    } else if (option == "--oversample") {
        if (!ReadRealText(value, Options.oversample) || !(Options.oversample > 0))
            RefuseOption("invalid value '" + value + "' for --oversample (points per peak width above 0)");
    } else if (option == "--transform") {
        if (value != "auto" && value != "exact" && value != "fast")
            RefuseOption("invalid value '" + value + "' for --transform (auto, exact or fast)");
        Options.transform = value == "auto" ? 0 : value == "exact" ? 1 : 2;
    } else if (option == "--period")
        ReadExtremaPeriod(value);
    else if (option == "--ephemeris")
        ReadEphemeris(value);
    else if (option == "--extrema-window")
        ReadExtremaWindow(value);
    else if (option == "--flux") {
        if (value != "sap" && value != "pdcsap")
            RefuseOption("invalid value '" + value + "' for --flux (sap or pdcsap)");
        Options.sapFlux = value == "sap";
    } else if (option == "--flux-units") {
        if (value != "mag" && value != "relative")
            RefuseOption("invalid value '" + value + "' for --flux-units (mag or relative)");
        Options.relativeFlux = value == "relative";
    } else if (option == "--bands")
        ReadBandList(value);
    else if (option == "--star-column")
        Options.starColumn = value;
    else if (option == "--catalogue")
        Options.catalogue = value;
    else if (option == "--report") {
        if (value != "text" && value != "json" && value != "jsonl")
            RefuseOption("invalid value '" + value + "' for --report (text or json)");
        Options.report = value == "json" ? JsonReport : value == "jsonl" ? JsonLinesReport : TextReport;
        Options.reportGiven = true;
    } else if (option == "--plots") {
        if (value != "png" && value != "svg" && value != "pdf")
            RefuseOption("invalid value '" + value + "' for --plots (png, svg or pdf)");
        Options.plots = value;
    }
}

// RA (hours) and DEC (degrees) of a time conversion, sexagesimal or decimal.
void ReadStarPosition(const std::string &option)
{
    if (!ReadRightAscension(Options.rightAscension, Options.starHours))
        RefuseOption("invalid right ascension '" + Options.rightAscension + "' for " + option +
                     " (hours, 0 to 24: 22:29:10.27 or 22.486)");
    if (!ReadDeclination(Options.declination, Options.starDegrees))
        RefuseOption("invalid declination '" + Options.declination + "' for " + option +
                     " (degrees, -90 to 90: +58:24:54.7 or 58.415)");
}

bool TakesOneValue(const std::string &option)
{
    static const char *const names[] = {"--band",  "--periods", "--intervals", "--peaks",     "--prewhiten",
                                        "--fold",  "--report",  "--threads",   "--plots",     "--plot-size",
                                        "--star-column", "--catalogue", "--method", "--durations",
                                        "--fold-harmonics", "--grid", "--oversample", "--transform",
                                        "--weights", "--fap", "--errors", "--noise-window", "--seed", "--period",
                                        "--ephemeris", "--extrema-window", "--flux", "--flux-units", "--bands"};
    for (const char *name : names)
        if (option == name)
            return true;
    return false;
}

bool IsTimeConversion(const std::string &option)
{
    return option == "--heliocentric" || option == "--barycentric";
}

bool IsExistingFile(const std::string &name)
{
    struct stat s;
    return stat(name.c_str(), &s) == 0;
}

bool IsKnownOption(const std::string &option)
{
    return option == "--" || option == "--window" || option == "--files" || option == "--minima" ||
           option == "--maxima" || option == "--join" || IsTimeConversion(option) || TakesOneValue(option);
}

// A parameter that starts with "--" is an option.  "--help" and anything
// with a '?' are left for the help test, and so is a parameter that names
// no option but an existing file: such a file is read as before.  Other
// parameters, "-h" among them, are file names.
bool LooksLikeOption(const std::string &parameter)
{
    if (parameter.compare(0, 2, "--") != 0 || parameter == "--help" || parameter.find('?') != std::string::npos)
        return false;
    const std::string name = parameter.substr(0, parameter.find('='));
    return IsKnownOption(name) || !IsExistingFile(parameter);
}

} // namespace

int ParseOptions(int argc, char **argv)
{
    int i = 1;
    while (i < argc && LooksLikeOption(argv[i])) {
        std::string option = argv[i++];
        if (option == "--")
            break;
        std::string value;
        bool valueGiven = false;
        const std::size_t equals = option.find('=');
        if (option.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.erase(equals);
            valueGiven = true;
        }
        if (option == "--window" && !valueGiven) {
            Options.window = true;
        } else if (option == "--files" && !valueGiven) {
            Options.writeFiles = true;
        } else if (option == "--minima" && !valueGiven) {
            Options.minima = true;
        } else if (option == "--maxima" && !valueGiven) {
            Options.maxima = true;
        } else if (option == "--join" && !valueGiven) {
            Options.join = true;
        } else if (IsTimeConversion(option)) {
            // RA and DEC: "--barycentric RA DEC" or "--barycentric=RA,DEC".
            const std::size_t comma = value.find(',');
            if (valueGiven && comma != std::string::npos) {
                Options.rightAscension = value.substr(0, comma);
                Options.declination = value.substr(comma + 1);
            } else if (!valueGiven && i + 1 < argc) {
                Options.rightAscension = argv[i++];
                Options.declination = argv[i++];
            } else {
                RefuseOption("option '" + option + "' requires two values, RA and DEC");
            }
            Options.timeConversion = option == "--heliocentric" ? HeliocentricTime : BarycentricTime;
            ReadStarPosition(option);
        } else if (TakesOneValue(option)) {
            if (!valueGiven) {
                if (i >= argc)
                    RefuseOption("option '" + option + "' requires a value");
                value = argv[i++];
            }
            ApplyValue(option, value);
        } else {
            RefuseOption("unrecognized option '" + std::string(argv[i - 1]) + "'");
        }
    }
    if (!Options.band.empty() && (Options.allBands || !Options.bandList.empty()))
        RefuseOption("--band and --bands cannot be used together");
    if (Options.batch && !(Options.minimumPeriod > 0 && Options.minimumPeriod < Options.maximumPeriod))
        RefuseOption("--periods needs 0 < MIN < MAX");
    if (!Options.durations.empty() && Options.method != "bls")
        RefuseOption("--durations needs --method bls");
    CheckExtremaOptions();
    return i;
}

const char *OptionsUsage() { return Usage; }
