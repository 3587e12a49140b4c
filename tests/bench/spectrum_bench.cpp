// Measures the largest spectrum pass of the dialogue (1000 observations,
// 32766 intervals) with every kernel against two yardsticks, side by side in
// one run: the x87 reference pass and a straightforward double pass (one sin
// and one cos call per term).  Every pass is timed the same way, the best of
// the same number of runs.  Then the fraction of the core's peak, the time
// per term at 10^4 and 10^5 observations, a pass over every core, the
// formatting and read-back of the spectrum file, the writing of a
// Julian-date file of a million records and the peak memory of the real
// program.
//
//   spectrum_bench [repeats]
//
// Exit status 1 when the fast powers differ from the reference by more than
// 1e-12, the strongest period differs, or the kernels' or threads' spectrum
// files differ; the timings are only reported.
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

#include "bench_observations.h"
#include "fastspectrum.h"
#include "fastspectrumthreads.h"
#include "straightpass.h"
#include "numformat.h"
#include "textinput.h"

namespace {

const int BenchObservations = 1000;
const long BenchIntervals = 32766;
const double BenchMinimumPeriod = 0.2;
const double BenchMaximumPeriod = 40;
const double AllowedDifference = 1e-12;

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct PassTiming {
    double seconds;
    SpectrumResult result;
};

enum PassKind { ReferencePass, StraightforwardPass, KernelPass };

// The best of 'repeats' runs of one pass over the bench observations.
PassTiming TimePass(PassKind kind, const std::string &fileName, int repeats)
{
    const double *t = JulianDates + 1, *y = Magnitudes + 1;
    const int n = ObservationCount;
    PassTiming best = {1e30, {0, 0, 0}};
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        SpectrumResult result;
        if (kind == ReferencePass)
            result = ReferenceComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, fileName);
        else if (kind == StraightforwardPass)
            result = StraightforwardSpectrum(t, y, n, SumOfSquares, BenchMinimumPeriod, BenchMaximumPeriod,
                                             BenchIntervals, fileName);
        else
            result = ComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, fileName);
        const double seconds = Seconds(start);
        if (seconds < best.seconds)
            best = {seconds, result};
    }
    return best;
}

// The clock of this core under load: a chain of dependent integer
// additions, one per cycle, best of several runs.
double MeasuredClockHz()
{
    double best = 1e30;
    const long rounds = 20000000;
    for (int r = 0; r < 7; ++r) {
        long x = 0;
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < rounds; ++i)
            asm volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                         "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                         : "+r"(x));
        best = std::min(best, Seconds(start));
    }
    return 10.0 * rounds / best;
}

// Floating-point operations per term of the kernels, counted in their
// source (a fused multiply-add counts two): the angle 12, its sine and
// cosine 39, the seven sums 12.
const double KernelFlopsPerTerm = 63;
// Double-precision operations per cycle of one core: two 512-bit fused
// multiply-add units, or two multipliers and two adders of 512 bits.
const double CorePeakFlopsPerCycle = 32;

// Observations for the larger passes: as MakeBenchObservations, in vectors.
struct BenchSeries {
    std::vector<double> t, y;
    double sumOfSquares;
};

BenchSeries MakeSeries(int n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / 3.0);
    std::normal_distribution<double> noise(0, 0.15);
    BenchSeries s;
    double t = 47003.5684, sum = 0;
    for (int i = 0; i < n; ++i) {
        s.t.push_back(t);
        s.y.push_back(0.4 * std::sin(2 * M_PI * t / 7.3) + noise(random));
        sum += s.y.back();
        t += gap(random) * 1000.0 / n + 0.0001;
    }
    s.sumOfSquares = 0;
    for (double &m : s.y) {
        m -= sum / n;
        s.sumOfSquares += m * m;
    }
    return s;
}

// Seconds per term of the powers alone (no file) of 'points' trial
// periods over the series, on one thread, best of 'repeats'.
double SecondsPerTerm(const BenchSeries &s, long points, int repeats)
{
    std::vector<double> periods(static_cast<std::size_t>(points)), powers(periods.size());
    for (long k = 0; k < points; ++k)
        periods[k] = BenchMinimumPeriod + (BenchMaximumPeriod - BenchMinimumPeriod) * k / (points - 1);
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        PrepareSpectrumTerms(s.t.data(), s.y.data(), static_cast<int>(s.t.size()));
        PreparedSpectrumPowers(periods.data(), points, s.sumOfSquares, 1, powers.data());
        best = std::min(best, Seconds(start));
    }
    return best / (static_cast<double>(points) * static_cast<double>(s.t.size()));
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
    if (pa.size() != pb.size() || pa.empty())
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
        dup2(out, 2); // the coarse-grid warning is not the bench's
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

void PrintRatios(const char *name, double seconds, double reference, double straightforward, const char *target)
{
    std::printf("%-34s %8.4f s  %6.1f x  %6.1f x  %s\n", name, seconds, reference / seconds, straightforward / seconds,
                target);
}

} // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string folder = MakeFolder();
    const std::string referenceFile = folder + "/reference.ven";
    const std::string straightFile = folder + "/straight.ven";
    bool agree = true;

    // Times over about eight years: gaps of three days on average.
    MakeBenchObservations(BenchObservations, 1993, 3.0);
    // The real program first, while this process is small: a child's peak
    // memory counts what it shared with its parent before it ran kalidor.
    const ProgramRun small = RunKalidor(folder, 100);
    const ProgramRun run = RunKalidor(folder, BenchIntervals);
    std::printf("Largest spectrum pass: %d observations, %ld intervals (%ld trial periods %g to %g days)\n",
                BenchObservations, BenchIntervals, BenchIntervals + 1, BenchMinimumPeriod, BenchMaximumPeriod);
    std::printf("sums, powers, maximum and the spectrum file written; every pass the best of %d runs\n", repeats);
    std::printf("(timings on a shared machine are noisy: the best run is the one least disturbed)\n\n");
    std::printf("%-34s %10s  %8s  %8s\n", "pass", "time", "vs x87", "vs double");

    const PassTiming reference = TimePass(ReferencePass, referenceFile, repeats);
    const PassTiming straight = TimePass(StraightforwardPass, straightFile, repeats);
    PrintRatios("x87 reference (extended sin, cos)", reference.seconds, reference.seconds, straight.seconds, "");
    PrintRatios("straightforward double sin, cos", straight.seconds, reference.seconds, straight.seconds, "");

    const SpectrumKernel widest = WidestSpectrumKernel();
    std::string widestText;
    double widestSeconds = 0;
    for (int k = widest; k >= SpectrumKernelPlain; --k) {
        const SpectrumKernel kernel = SetSpectrumKernel(static_cast<SpectrumKernel>(k));
        const std::string kernelFile = folder + "/" + SpectrumKernelName(kernel) + ".ven";
        const PassTiming fast = TimePass(KernelPass, kernelFile, repeats);
        const std::string name = std::string(SpectrumKernelName(kernel)) + " kernel";
        const char *target = kernel == SpectrumKernelAvx512 ? "(target: at least 12 x the double pass)"
                             : kernel == SpectrumKernelAvx2 ? "(target: at least 8 x the double pass)"
                                                            : "";
        PrintRatios(name.c_str(), fast.seconds, reference.seconds, straight.seconds, target);
        const double difference = LargestPowerDifference(referenceFile, kernelFile);
        const bool sameMaximum = fast.result.periodOfMaximum == reference.result.periodOfMaximum;
        if (kernel == widest) {
            widestText = FileContents(kernelFile);
            widestSeconds = fast.seconds;
        } else if (FileContents(kernelFile) != widestText) {
            std::printf("  SPECTRUM FILE DIFFERS FROM THE %s KERNEL'S\n", SpectrumKernelName(widest));
            agree = false;
        }
        if (difference > AllowedDifference || !sameMaximum) {
            std::printf("  largest power difference %.2e, strongest period %.10g against %.10g\n", difference,
                        fast.result.periodOfMaximum, reference.result.periodOfMaximum);
            agree = false;
        }
    }
    SetSpectrumKernel(widest);
    std::printf("largest power difference from the x87 reference: %.2e (allowed %.0e); strongest period %.10g\n",
                LargestPowerDifference(referenceFile, folder + "/" + SpectrumKernelName(widest) + ".ven"),
                AllowedDifference, reference.result.periodOfMaximum);
    std::printf("spectrum files of all kernels byte for byte: %s\n", agree ? "identical" : "DIFFERENT");

    const double clock = MeasuredClockHz();
    const double terms = static_cast<double>(BenchObservations) * static_cast<double>(BenchIntervals + 1);
    std::printf("\n%s kernel: %.2f ns and %.1f cycles per term at the measured %.2f GHz; %.0f flops per term are\n"
                "%.0f %% of this core's peak of %.0f double-precision flops per cycle (whole pass, file included)\n",
                SpectrumKernelName(widest), 1e9 * widestSeconds / terms, widestSeconds * clock / terms, clock / 1e9,
                KernelFlopsPerTerm, 100 * KernelFlopsPerTerm * terms / widestSeconds / (clock * CorePeakFlopsPerCycle),
                CorePeakFlopsPerCycle);

    // More observations than the cache holds: time per term of the powers
    // alone, on one thread, with about the same number of terms (and so
    // the same exposure to a busy machine) at every N.
    std::printf("\npowers alone, one thread, %s kernel:\n", SpectrumKernelName(widest));
    const struct {
        int n;
        long points;
    } scales[] = {{1000, 32767}, {10000, 3277}, {100000, 328}};
    double basePerTerm = 0;
    for (const auto &scale : scales) {
        const double perTerm = SecondsPerTerm(MakeSeries(scale.n, 7), scale.points, repeats);
        if (basePerTerm == 0)
            basePerTerm = perTerm;
        std::printf("  N = %6d, %5ld periods: %.3f ns per term, %.2f x the time per term of N = 1000%s\n", scale.n,
                    scale.points, 1e9 * perTerm, perTerm / basePerTerm, scale.n > 1000 ? " (target at most 1.3)" : "");
    }

    // A pass beyond 10^8 terms: every core against one thread.
    {
        const BenchSeries s = MakeSeries(100000, 11);
        const long intervals = 1999;
        const int n = static_cast<int>(s.t.size());
        const int cores = SpectrumPassThreads(n, intervals + 1);
        double oneThread = 1e30, everyCore = 1e30;
        for (int r = 0; r < std::max(1, repeats / 2); ++r) {
            SetSpectrumThreads(1);
            auto start = std::chrono::steady_clock::now();
            ComputeSpectrumOf(s.t.data(), s.y.data(), n, s.sumOfSquares, BenchMinimumPeriod, BenchMaximumPeriod,
                              intervals, folder + "/one.ven");
            oneThread = std::min(oneThread, Seconds(start));
            SetSpectrumThreads(0);
            start = std::chrono::steady_clock::now();
            ComputeSpectrumOf(s.t.data(), s.y.data(), n, s.sumOfSquares, BenchMinimumPeriod, BenchMaximumPeriod,
                              intervals, folder + "/every.ven");
            everyCore = std::min(everyCore, Seconds(start));
        }
        const bool same = FileContents(folder + "/one.ven") == FileContents(folder + "/every.ven");
        agree = agree && same;
        std::printf("\npass of %d observations, %ld periods: one thread %.3f s, %d threads %.3f s (%.2f x); "
                    "spectrum files %s\n",
                    n, intervals + 1, oneThread, cores, everyCore, oneThread / everyCore,
                    same ? "identical" : "DIFFERENT");
    }

    double writing = 1e30, readBack = 1e30;
    for (int r = 0; r < repeats; ++r) {
        writing = std::min(writing, TimeWriting(folder + "/written.ven"));
        readBack = std::min(readBack, TimeReadBack(referenceFile));
    }
    std::printf("\nformatting and writing %ld numbers    %9.4f s   (%.0f %% of the %s pass)\n",
                2 * (BenchIntervals + 1), writing, 100 * writing / widestSeconds, SpectrumKernelName(widest));
    std::printf("plot read-back of %ld lines           %9.4f s\n", BenchIntervals + 1, readBack);

    double julianDates = 1e30;
    for (int r = 0; r < repeats; ++r)
        julianDates = std::min(julianDates, TimeJulianDateLines(folder + "/million.jud"));
    std::printf("Julian-date file of %ld records     %9.4f s   (target below 1 s)\n", BenchJulianDateLines,
                julianDates);

    if (run.ran && small.ran) {
        std::printf("kalidor, whole run of the largest pass  %9.4f s   (0.30 s of it the three beeps)\n", run.seconds);
        std::printf("kalidor, peak resident memory, K = %ld%9ld KiB (exit status %d)\n", BenchIntervals,
                    run.peakKilobytes, run.status);
        std::printf("kalidor, peak resident memory, K = 100  %9ld KiB\n", small.peakKilobytes);
    } else {
        std::printf("kalidor could not be run (%s)\n", KALIDOR_PROGRAM);
    }

    for (const char *name : {"reference.ven", "straight.ven", "avx512.ven", "avx2.ven", "plain.ven", "one.ven",
                             "every.ven", "written.ven", "million.jud", "bench.jud", "bench.ven", "answers"})
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());

    std::printf("\n%s\n", agree ? "fast powers agree with the reference; spectrum files identical"
                                 : "FAST POWERS OR SPECTRUM FILES DIFFER");
    return agree ? 0 : 1;
}
