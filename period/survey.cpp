// The survey run: workers take the files in turn, read them and analyse
// their stars with the engine (one star a core); the main thread prints the
// records in input order as they are complete, so that memory holds only
// the stars under way and a few files read ahead.
#include "survey.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "batch.h"
#include "engine.h"
#include "kalidor.h"
#include "lightcurves.h"
#include "numformat.h"
#include "options.h"
#include "output.h"
#include "fileio.h"
#include "outputfile.h"
#include "report.h"
#include "reportwriter.h"
#include "runerror.h"
#include "spectrumkernels.h"
#include "table.h"

namespace {

// What one file gives: its stars, and for each a record and a catalogue row.
struct SurveyFile {
    std::string path;
    bool read = false;            // stars (or error) are known
    std::string error;            // the file could not be read
    std::vector<LightCurve> stars;
    std::vector<std::string> refusals; // one a star: why it cannot be analysed, or empty
    std::vector<std::string> records, rows;
    long starsWithNotes = 0;
    std::vector<std::vector<double>> periods, powers; // with --files
    std::size_t nextStar = 0;     // the next star a worker takes
    std::size_t starsDone = 0;
    long refused = 0;             // stars the engine refused
};

// The shared state of one survey run, guarded by its mutex.
struct Survey {
    std::vector<SurveyFile> files;
    std::size_t nextFile = 0;     // the next file a worker reads
    std::size_t printed = 0;      // files whose records are out
    std::size_t readAhead = 8;    // files read beyond the one printed next
    long starsWithNotes = 0;      // stars whose records carry notes
    AnalysisSettings settings;
    std::mutex lock;
    std::condition_variable changed;
};

bool FileComplete(const SurveyFile &f) { return f.read && f.starsDone == f.stars.size(); }

// A piece of work: a star of a file read already, or a file to read.
struct Work {
    std::size_t file;
    long star; // -1: read the file
};

bool NextWork(Survey &s, Work &work)
{
    std::unique_lock<std::mutex> guard(s.lock);
    for (;;) {
        for (std::size_t f = s.printed; f < s.nextFile; ++f) {
            SurveyFile &file = s.files[f];
            if (file.read && file.nextStar < file.stars.size()) {
                work = {f, static_cast<long>(file.nextStar++)};
                return true;
            }
        }
        if (s.nextFile < s.files.size() && s.nextFile < s.printed + s.readAhead) {
            work = {s.nextFile++, -1};
            return true;
        }
        if (s.nextFile >= s.files.size()) {
            bool starsLeft = false;
            for (std::size_t f = s.printed; f < s.files.size(); ++f)
                starsLeft = starsLeft || s.files[f].nextStar < s.files[f].stars.size() || !s.files[f].read;
            if (!starsLeft)
                return false;
        }
        s.changed.wait(guard);
    }
}

void ReadFileOf(Survey &s, std::size_t index)
{
    std::vector<LightCurve> stars;
    std::vector<std::string> refusals;
    std::string error;
    const std::string path = s.files[index].path;
    const bool ok = ReadSurveyFile(path, stars, refusals, error);
    std::lock_guard<std::mutex> guard(s.lock);
    SurveyFile &file = s.files[index];
    file.read = true;
    if (!ok) {
        file.error = error;
        return;
    }
    file.stars = std::move(stars);
    file.refusals = std::move(refusals);
    file.records.resize(file.stars.size());
    file.rows.resize(file.stars.size());
    if (Options.writeFiles) {
        file.periods.resize(file.stars.size());
        file.powers.resize(file.stars.size());
    }
}

void AnalyseStar(Survey &s, std::size_t index, std::size_t star)
{
    const LightCurve *curve;
    std::string refusal;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        curve = &s.files[index].stars[star];
        refusal = s.files[index].refusals[star];
    }
    std::vector<std::string> notes;
    std::vector<double> periods, powers;
    AnalysisHooks hooks;
    hooks.note = [&](const std::string &text) { notes.push_back(text); };
    if (Options.writeFiles)
        hooks.spectrum = [&](const double *p, const double *v, long count) {
            periods.insert(periods.end(), p, p + count);
            powers.insert(powers.end(), v, v + count);
        };
    AnalysisOutcome outcome;
    if (refusal.empty())
        outcome = AnalyseLightCurve(*curve, s.settings, hooks);
    else
        outcome.error = {"", refusal};
    std::string record, row;
    if (outcome.ok) {
        PeriodReport report = outcome.report;
        report.star = curve->name;
        // A star whose extrema cannot be timed keeps its period report.
        if (report.hasExtrema && !report.extrema.error.empty())
            notes.push_back("no times of extrema: " + report.extrema.error);
        report.notes = notes;
        record = JsonReportLine(report);
        row = CatalogueRow(report);
    } else {
        record = JsonErrorLine(curve->file, curve->name, outcome.error.english);
        row = CatalogueErrorRow(curve->file, curve->name, outcome.error.english);
    }
    std::lock_guard<std::mutex> guard(s.lock);
    SurveyFile &file = s.files[index];
    file.records[star] = std::move(record);
    file.rows[star] = std::move(row);
    if (!notes.empty())
        ++file.starsWithNotes;
    if (!outcome.ok)
        ++file.refused;
    if (Options.writeFiles) {
        file.periods[star] = std::move(periods);
        file.powers[star] = std::move(powers);
    }
    ++file.starsDone;
}

void RunWorker(Survey &s)
{
    Work work;
    while (NextWork(s, work)) {
        if (work.star < 0)
            ReadFileOf(s, work.file);
        else
            AnalyseStar(s, work.file, static_cast<std::size_t>(work.star));
        s.changed.notify_all();
    }
}

// The stem of a star's own files: the file's stem, and the star's name
// (letters, digits, '-', '_' and '+' kept) for a table of many stars.
std::string StarStem(const SurveyFile &file, std::size_t star)
{
    std::string stem = FileStem(file.path);
    if (file.stars.size() > 1 || !file.stars[star].name.empty()) {
        std::string name;
        for (char c : file.stars[star].name)
            name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '+' ? c : '_';
        stem += "-" + name;
    }
    return stem;
}

void WriteStarFiles(const SurveyFile &file, std::size_t star)
{
    const LightCurve &curve = file.stars[star];
    const std::string stem = StarStem(file, star);
    SetInputName(file.path);
    // A Julian-date file read is its star's Julian-date file already.
    if (FileExtension(file.path) != ".jud" || stem != FileStem(file.path)) {
        RefuseOverwritingInput(stem + ".jud");
        const int fd = CreateOutputFile(stem + ".jud");
        std::string lines;
        for (std::size_t i = 0; i < curve.time.size(); ++i)
            lines += FormatFixed(curve.time[i], 4) + "   " + FormatFixed(curve.magnitude[i], 3) + "\n";
        WriteOrStop(fd, lines.data(), lines.size());
        FinishOutputFile(fd);
    }
    if (file.powers[star].empty())
        return;
    RefuseOverwritingInput(stem + ".ven");
    SpectrumWriter *out = OpenSpectrumWriter(stem + ".ven");
    AppendSpectrumLines(out, file.periods[star].data(), file.powers[star].data(),
                        static_cast<long>(file.powers[star].size()));
    CloseSpectrumWriter(out);
}

// Progress on standard error when it is a terminal: stars done, stars per
// second, time left (from the files still to read, one star each at least).
struct SurveyProgress {
    bool shown = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last;
    long stars = 0;
};

void ShowSurveyProgress(SurveyProgress &p, std::size_t filesDone, std::size_t files, bool end)
{
    if (!isatty(2))
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!end && p.shown && now - p.last < std::chrono::milliseconds(250))
        return;
    p.last = now;
    const double seconds = std::chrono::duration<double>(now - p.start).count();
    const double rate = seconds > 0 ? p.stars / seconds : 0;
    const double perFile = filesDone > 0 ? static_cast<double>(p.stars) / filesDone : 1;
    const double left = rate > 0 ? (files - filesDone) * perFile / rate : 0;
    std::fprintf(stderr, "\rkalidor: %ld stars done, %.1f stars/s, about %.0f s left   ", p.stars, rate, left);
    if (end)
        std::fputs("\n", stderr);
    std::fflush(stderr);
    p.shown = true;
}

// The catalogue file, written beside its name and put in place at the end.
struct Catalogue {
    int fd = -1;
};

void OpenCatalogue(Catalogue &c)
{
    if (Options.catalogue.empty())
        return;
    c.fd = CreateOutputFile(Options.catalogue);
    const std::string header = CatalogueHeader();
    WriteOrStop(c.fd, header.data(), header.size());
}

// Prints the records of every complete file at the front; returns the
// stars that were refused among them.
long PrintCompleteFiles(Survey &s, Catalogue &catalogue, SurveyProgress &progress)
{
    long refused = 0;
    for (;;) {
        SurveyFile done;
        {
            std::lock_guard<std::mutex> guard(s.lock);
            if (s.printed >= s.files.size() || !FileComplete(s.files[s.printed]))
                return refused;
            done = std::move(s.files[s.printed]);
            s.files[s.printed] = SurveyFile();
            ++s.printed;
        }
        s.changed.notify_all();
        s.starsWithNotes += done.starsWithNotes;
        std::string text, rows;
        if (!done.error.empty()) {
            ++refused;
            text = JsonErrorLine(done.path, "", done.error);
            rows = CatalogueErrorRow(done.path, "", done.error);
        }
        refused += done.refused;
        for (std::size_t i = 0; i < done.stars.size(); ++i) {
            text += done.records[i];
            rows += done.rows[i];
            if (Options.writeFiles)
                WriteStarFiles(done, i);
        }
        progress.stars += static_cast<long>(std::max<std::size_t>(done.stars.size(), 1));
        WriteText(text);
        if (catalogue.fd >= 0)
            WriteOrStop(catalogue.fd, rows.data(), rows.size());
    }
}

std::string Number(double value)
{
    if (!std::isfinite(value))
        return "";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string Field(const std::string &text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

// True when the file is a table whose header names a star column (one of
// the usual names): its stars are analysed one by one.
bool HasStarColumn(const std::string &path)
{
    if (InputFormOf(path) != TableForm)
        return false;
    std::FILE *in = std::fopen(path.c_str(), "r");
    if (in == nullptr)
        return false;
    std::string first;
    for (int c; (c = std::fgetc(in)) != EOF && c != '\n' && first.size() < 65536;)
        first += static_cast<char>(c);
    std::fclose(in);
    if (!first.empty() && first.back() == '\r')
        first.pop_back();
    TableLayout layout;
    std::string missing;
    return FindSurveyTableLayout(first, Options.starColumn, layout, missing) && layout.header &&
           layout.starColumn >= 0;
}

bool IsSurveyRun(int argc, char **argv)
{
    return argc > 2 || !Options.starColumn.empty() || Options.report == JsonLinesReport ||
           !Options.catalogue.empty() || (argc == 2 && HasStarColumn(argv[1]));
}

namespace {

// With a method other than the one-sine spectrum the catalogue gains a last
// column that names it (the power column then holds its statistic).
std::string WithMethodColumn(std::string row)
{
    if (Options.method.empty() || Options.method == "dcdft")
        return row;
    row.insert(row.size() - 1, "," + Field(Options.method));
    return row;
}

} // namespace

std::string CatalogueHeader()
{
    return WithMethodColumn("star,file,band,observations,span,period,period_error,power,false_alarm_probability,"
                            "amplitude,epoch_of_maximum,error\n");
}

std::string CatalogueRow(const PeriodReport &r)
{
    std::string row = Field(r.star) + "," + Field(r.file) + "," + Field(r.band) + "," + std::to_string(r.observations) +
                      "," + Number(r.span) + ",";
    if (r.peaks.empty())
        return WithMethodColumn(row + ",,,,,,\n");
    const PeakReport &p = r.peaks[0];
    return WithMethodColumn(row + Number(p.period) + "," + Number(p.periodError) + "," + Number(p.power) + "," +
                            Number(p.falseAlarmProbability) + "," + Number(p.amplitude) + "," +
                            Number(p.epochOfMaximum) + ",\n");
}

std::string CatalogueErrorRow(const std::string &file, const std::string &star, const std::string &error)
{
    return WithMethodColumn(Field(star) + "," + Field(file) + ",,,,,,,,,," + Field(error) + "\n");
}

void RunSurvey(int argc, char **argv)
{
    if (!Options.plots.empty()) {
        std::fputs("kalidor: --plots draws the figures of one star; a survey run writes none\n", stderr);
        EndProgram(1);
    }
    Survey s;
    for (int i = 1; i < argc; ++i) {
        s.files.emplace_back();
        s.files.back().path = argv[i];
    }
    s.settings = SettingsOfOptions();
    s.settings.threads = 1;
    const int threads = Options.threads > 0 ? Options.threads : UsableCores();
    s.readAhead = static_cast<std::size_t>(4 * threads);
    Catalogue catalogue;
    OpenCatalogue(catalogue);

    std::vector<std::thread> workers;
    for (int w = 0; w < threads; ++w) {
        try {
            workers.emplace_back(RunWorker, std::ref(s));
        } catch (const std::system_error &) {
            break;
        }
    }
    if (workers.empty())
        RunWorker(s);
    SurveyProgress progress;
    long refused = 0;
    for (;;) {
        refused += PrintCompleteFiles(s, catalogue, progress);
        std::unique_lock<std::mutex> guard(s.lock);
        if (s.printed >= s.files.size())
            break;
        ShowSurveyProgress(progress, s.printed, s.files.size(), false);
        s.changed.wait_for(guard, std::chrono::milliseconds(200));
    }
    for (std::thread &worker : workers)
        worker.join();
    ShowSurveyProgress(progress, s.files.size(), s.files.size(), true);
    if (s.starsWithNotes > 0)
        std::fprintf(stderr, "kalidor: %ld of %ld stars have notes (in the \"notes\" of their records)\n",
                     s.starsWithNotes, progress.stars);
    if (catalogue.fd >= 0)
        FinishOutputFile(catalogue.fd);
    EndProgram(refused > 0 ? 1 : 0);
}

ReadChoices SurveyReadChoices()
{
    ReadChoices choices;
    choices.band = Options.band;
    choices.timeConversion = Options.timeConversion == HeliocentricTime  ? ConvertToHeliocentric
                             : Options.timeConversion == BarycentricTime ? ConvertToBarycentric
                                                                         : ConvertNoTimes;
    choices.starHours = Options.starHours;
    choices.starDegrees = Options.starDegrees;
    choices.starColumn = Options.starColumn;
    choices.flux = Options.sapFlux ? SapFlux : PdcsapFlux;
    choices.fluxUnits = Options.relativeFlux ? FluxRelative : FluxToMagnitudes;
    choices.allBands = Options.allBands;
    choices.bandList = Options.bandList;
    return choices;
}

bool ReadSurveyFile(const std::string &path, std::vector<LightCurve> &stars, std::vector<std::string> &refusals,
                    std::string &error)
{
    LightCurveReading reading = ReadLightCurves(path, SurveyReadChoices());
    if (ReadFailed(reading)) {
        error = reading.error.message;
        return false;
    }
    for (LightCurve &curve : reading.curves)
        curve.file = path;
    stars = std::move(reading.curves);
    refusals = std::move(reading.refusals);
    refusals.resize(stars.size());
    return true;
}
