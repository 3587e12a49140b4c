// Measures the largest spectrum pass that kalidor allows (1000 observations,
// 32766 intervals) with the fast kernels against the straightforward
// reference pass, side by side in one run, and checks that both give the
// same powers.  Also measures the formatting of the spectrum file, its
// read-back as the plot reads it, the writing of a Julian-date file of a
// million records, and the peak memory of the real program.
//
//   spectrum_bench [repeats]
//
// Exit status 1 when the fast powers differ from the reference by more than
// 1e-12 or the strongest period differs; the timings are only reported.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "fastspectrum.h"
#include "numformat.h"
#include "textinput.h"

namespace {

const int BenchObservations = MaxObservations;
const long BenchIntervals = 32766;
const double BenchMinimumPeriod = 0.2;
const double BenchMaximumPeriod = 40;
const double AllowedDifference = 1e-12;

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Uneven times over about eight years (gaps of a few hours to weeks, as
// nightly observing gives) and a noisy variable of period 7.3 days.
void MakeObservations(int n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / 3.0);
    std::normal_distribution<double> noise(0, 0.15);
    double t = 47003.5684;
    MagnitudeSum = 0;
    for (int i = 1; i <= n; ++i) {
        JulianDates[i] = t;
        Magnitudes[i] = 11.7 + 0.4 * std::sin(2 * M_PI * t / 7.3) + noise(random);
        MagnitudeSum += Magnitudes[i];
        t += gap(random) + 0.01;
    }
    ObservationCount = n;
    CentreMagnitudes(MagnitudeSum / n);
}

struct PassTiming {
    double seconds;
    SpectrumResult result;
};

PassTiming TimePass(bool reference, const std::string &fileName, int repeats)
{
    PassTiming best = {1e30, {0, 0, 0}};
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const SpectrumResult result =
            reference ? ReferenceComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, fileName)
                      : ComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, fileName);
        const double seconds = Seconds(start);
        if (seconds < best.seconds)
            best = {seconds, result};
    }
    return best;
}

std::vector<double> ReadPowers(const std::string &fileName)
{
    std::vector<double> powers;
    FILE *in = std::fopen(fileName.c_str(), "r");
    if (in == nullptr)
        return powers;
    double period, power;
    while (std::fscanf(in, "%lf %lf", &period, &power) == 2)
        powers.push_back(power);
    std::fclose(in);
    return powers;
}

std::string FileContents(const std::string &fileName)
{
    std::string text;
    FILE *in = std::fopen(fileName.c_str(), "rb");
    if (in == nullptr)
        return text;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        text.append(buffer, n);
    std::fclose(in);
    return text;
}

// The largest difference between the powers of two spectrum files, or
// infinity when their lengths differ.
double LargestPowerDifference(const std::string &a, const std::string &b)
{
    const std::vector<double> pa = ReadPowers(a), pb = ReadPowers(b);
    if (pa.size() != pb.size() || pa.size() != static_cast<std::size_t>(BenchIntervals + 1))
        return INFINITY;
    double largest = 0;
    for (std::size_t i = 0; i < pa.size(); ++i)
        largest = std::max(largest, std::fabs(pa[i] - pb[i]));
    return largest;
}

// The formatting and writing of K + 1 lines alone, as the pass writes them.
double TimeWriting(const std::string &fileName)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> text(static_cast<std::size_t>(BenchIntervals + 1) * 49);
    const double step = (BenchMaximumPeriod - BenchMinimumPeriod) / BenchIntervals;
    for (long k = 0; k <= BenchIntervals; ++k) {
        char *line = text.data() + k * 49;
        WriteScientific(BenchMinimumPeriod + k * step, line);
        line[23] = ' ';
        line[24] = ' ';
        WriteScientific(0.001 * static_cast<double>(k % 997), line + 25);
        line[48] = '\n';
    }
    const int fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        std::perror(fileName.c_str());
    if (fd >= 0)
        close(fd);
    return Seconds(start);
}

bool WriteTextFile(const std::string &name, const std::string &text);

const long BenchJulianDateLines = 1000000;

// The formatting and writing of a Julian-date file of a million records,
// each line made as the conversion makes it (date with four, magnitude with
// three characters after the point).
double TimeJulianDateLines(const std::string &fileName)
{
    const auto start = std::chrono::steady_clock::now();
    std::string text;
    text.reserve(static_cast<std::size_t>(BenchJulianDateLines) * 24);
    for (long k = 0; k < BenchJulianDateLines; ++k) {
        const double date = 47003.5684 + 0.0137 * static_cast<double>(k);
        const double magnitude = 11.7 + 0.001 * static_cast<double>(k % 997);
        text += FormatFixed(date, 4) + "   " + FormatFixed(magnitude, 3) + "\n";
    }
    if (!WriteTextFile(fileName, text))
        std::perror(fileName.c_str());
    return Seconds(start);
}

// Reads the spectrum file back the way the plot does.
double TimeReadBack(const std::string &fileName)
{
    const auto start = std::chrono::steady_clock::now();
    TextInput in;
    if (!OpenTextInput(in, fileName.c_str())) {
        std::perror(fileName.c_str());
        return INFINITY;
    }
    double sum = 0;
    for (long k = 0; k <= BenchIntervals; ++k) {
        sum += ReadReal(in);
        sum += ReadReal(in);
        SkipLine(in);
    }
    CloseTextInput(in);
    const double seconds = Seconds(start);
    if (!std::isfinite(sum))
        std::printf("read-back gave a value that is not finite\n");
    return seconds;
}

bool WriteTextFile(const std::string &name, const std::string &text)
{
    FILE *out = std::fopen(name.c_str(), "w");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

struct ProgramRun {
    bool ran;
    int status;
    double seconds;
    long peakKilobytes;
};

// Runs kalidor on a Julian-date file of the bench observations with the
// given number of intervals, off screen, answering the dialogue from a prepared file,
// and takes its peak resident memory from wait4.
ProgramRun RunKalidor(const std::string &folder, long intervals)
{
    ProgramRun run = {false, -1, 0, 0};
    std::string observations;
    char line[64];
    for (int i = 1; i <= ObservationCount; ++i) {
        std::snprintf(line, sizeof line, "%.4f  %.4f\n", JulianDates[i], Magnitudes[i] + 11.7);
        observations += line;
    }
    std::snprintf(line, sizeof line, "%g\n%g\n%ld\n\nn\nn\n", BenchMinimumPeriod, BenchMaximumPeriod, intervals);
    if (!WriteTextFile(folder + "/bench.jud", observations) || !WriteTextFile(folder + "/answers", line))
        return run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        return run;
    if (child == 0) {
        const int in = open((folder + "/answers").c_str(), O_RDONLY);
        const int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        setenv("KALIDOR_DISPLAY", "offscreen", 1);
        execl(KALIDOR_PROGRAM, "kalidor", "bench.jud", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = Seconds(start);
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) != 127;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKilobytes = usage.ru_maxrss;
    return run;
}

std::string MakeFolder()
{
    const char *temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && *temp != 0 ? temp : "/tmp") + "/spectrum_bench.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return name.data();
}

} // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string folder = MakeFolder();
    const std::string referenceFile = folder + "/reference.ven";
    const std::string fastFile = folder + "/fast.ven";

    MakeObservations(BenchObservations, 1993);
    std::printf("Largest spectrum pass: %d observations, %ld intervals (%ld trial periods %g to %g days)\n",
                BenchObservations, BenchIntervals, BenchIntervals + 1, BenchMinimumPeriod, BenchMaximumPeriod);
    std::printf("sums, powers, maximum and the spectrum file written; best of %d runs\n\n", repeats);

    const SpectrumKernel widest = WidestSpectrumKernel();
    SetSpectrumKernel(widest);
    const PassTiming reference = TimePass(true, referenceFile, repeats);
    const PassTiming fast = TimePass(false, fastFile, repeats);
    const double difference = LargestPowerDifference(referenceFile, fastFile);
    const bool sameMaximum = reference.result.periodOfMaximum == fast.result.periodOfMaximum;

    std::printf("reference pass (sin and cos per term)   %9.4f s\n", reference.seconds);
    std::printf("fast pass (%-6s kernel)                %9.4f s\n", SpectrumKernelName(widest), fast.seconds);
    std::printf("ratio reference / fast                  %9.1f   (target at least 10)\n",
                reference.seconds / fast.seconds);
    std::printf("largest power difference                %9.2e   (allowed %.0e)\n", difference, AllowedDifference);
    std::printf("strongest period reference / fast       %.10g / %.10g  %s\n", reference.result.periodOfMaximum,
                fast.result.periodOfMaximum, sameMaximum ? "same" : "DIFFERENT");
    bool agree = difference <= AllowedDifference && sameMaximum;

    for (int k = widest - 1; k >= SpectrumKernelPlain; --k) {
        const SpectrumKernel kernel = SetSpectrumKernel(static_cast<SpectrumKernel>(k));
        const std::string kernelFile = folder + "/" + SpectrumKernelName(kernel) + ".ven";
        const PassTiming narrower = TimePass(false, kernelFile, 1);
        const double kernelDifference = LargestPowerDifference(referenceFile, kernelFile);
        std::printf("fast pass (%-6s kernel)                %9.4f s   ratio %5.1f, largest difference %.2e\n",
                    SpectrumKernelName(kernel), narrower.seconds, reference.seconds / narrower.seconds,
                    kernelDifference);
        agree = agree && kernelDifference <= AllowedDifference &&
                narrower.result.periodOfMaximum == reference.result.periodOfMaximum;
    }
    SetSpectrumKernel(widest);

    double writing = 1e30, readBack = 1e30;
    for (int r = 0; r < repeats; ++r) {
        writing = std::min(writing, TimeWriting(folder + "/written.ven"));
        readBack = std::min(readBack, TimeReadBack(fastFile));
    }
    std::printf("\nformatting and writing %ld numbers    %9.4f s   (%.0f %% of the fast pass)\n",
                2 * (BenchIntervals + 1), writing, 100 * writing / fast.seconds);
    std::printf("plot read-back of %ld lines           %9.4f s   (%.0f %% of the fast pass)\n",
                BenchIntervals + 1, readBack, 100 * readBack / fast.seconds);

    double julianDates = 1e30;
    for (int r = 0; r < repeats; ++r)
        julianDates = std::min(julianDates, TimeJulianDateLines(folder + "/million.jud"));
    std::printf("Julian-date file of %ld records     %9.4f s   (target below 1 s)\n", BenchJulianDateLines,
                julianDates);

    const ProgramRun small = RunKalidor(folder, 100);
    const ProgramRun run = RunKalidor(folder, BenchIntervals);
    if (run.ran && small.ran) {
        std::printf("kalidor, whole run of the largest pass  %9.4f s   (0.30 s of it the three beeps)\n", run.seconds);
        std::printf("kalidor, peak resident memory, K = %ld%9ld KiB (exit status %d)\n", BenchIntervals,
                    run.peakKilobytes, run.status);
        std::printf("kalidor, peak resident memory, K = 100  %9ld KiB\n", small.peakKilobytes);
    } else {
        std::printf("kalidor could not be run (%s)\n", KALIDOR_PROGRAM);
    }

    const bool sameText = FileContents(referenceFile) == FileContents(fastFile);
    std::printf("spectrum files of both passes byte for byte: %s\n", sameText ? "identical" : "differ in the last digits");
    for (const char *name : {"reference.ven", "fast.ven", "avx2.ven", "plain.ven", "written.ven", "million.jud", "bench.jud",
                             "bench.ven", "answers"})
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());

    std::printf("\n%s\n", agree ? "fast powers agree with the reference" : "FAST POWERS DIFFER FROM THE REFERENCE");
    return agree ? 0 : 1;
}
