// Spectra on the even frequency grid: the exact kernels against the
// non-uniform FFT, side by side in one run on the same made-up light curves.
//
//   nufft_bench [repeats]
//
// Three jobs: 1000 estimates x 32,767 frequencies; a space-telescope sector
// (20,000 estimates at a 2-minute cadence, 100,001 frequencies); four years
// of long cadence (65,000 estimates at 30 minutes, 730,000 frequencies).
// Each row gives the one-core CPU seconds of both ways and the largest
// difference of the transform's powers from the exact kernels' (on the
// long-cadence job the exact kernels run on every 73rd frequency only and
// their time is scaled up).  Then the transform on two threads, rows that
// double n and K, the break-even of FastTransformIsCheaper against measured
// times, and, when Debian's python3-astropy is installed, its fast
// Lomb-Scargle on the sector job.
//
// Exit status 1 when a power differs by more than 1e-10; the timings are
// only reported.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "fastspectrum.h"
#include "nufft.h"

namespace {

const double AllowedPowerDifference = 1e-10;
const double Oversample = 10;

double ProcessSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Series {
    std::vector<double> t, y;
    double sumOfSquares;
};

double SpanOf(const Series &s)
{
    return s.t.back() - s.t.front();
}

// Magnitudes of a pulsating star (a 0.37-day sine with its harmonic) and
// noise, centred, for the given times.
Series SeriesAt(std::vector<double> t, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> noise(0, 0.05);
    Series s;
    s.t = std::move(t);
    long double sum = 0;
    for (double ti : s.t) {
        const double phase = 2 * M_PI * ti / 0.37;
        s.y.push_back(0.3 * std::sin(phase) + 0.08 * std::sin(2 * phase + 1) + noise(random));
        sum += s.y.back();
    }
    long double squares = 0;
    for (double &m : s.y) {
        m = static_cast<double>(m - sum / s.y.size());
        squares += static_cast<long double>(m) * m;
    }
    s.sumOfSquares = static_cast<double>(squares);
    return s;
}

// n estimates with exponential gaps of the given mean (nightly observing).
Series UnevenSeries(long n, double meanGap, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / meanGap);
    std::vector<double> t;
    double ti = 47003.5684;
    for (long i = 0; i < n; ++i) {
        t.push_back(ti);
        ti += gap(random) + 0.001;
    }
    return SeriesAt(t, seed);
}

// n estimates at an even cadence (days) with a gap of 'gapLength' cadences
// after every 'every' estimates (downlinks, quarters).
Series CadenceSeries(long n, double cadence, long every, long gapLength, unsigned seed)
{
    std::vector<double> t;
    long slot = 0;
    for (long i = 0; i < n; ++i) {
        if (i > 0 && i % every == 0)
            slot += gapLength;
        t.push_back(58000.25 + cadence * static_cast<double>(slot++));
    }
    return SeriesAt(t, seed);
}

// The grid from pmax with exactly 'count' frequencies for the series.
FrequencyGrid GridOfCount(const Series &s, double pmax, long count)
{
    const double span = SpanOf(s);
    const double top = 1 / pmax + (static_cast<double>(count) - 1.5) / (Oversample * span);
    return MakeFrequencyGrid(1 / top, pmax, span, Oversample);
}

// The transform's powers, best CPU time of 'repeats' runs.
double TimeFast(const Series &s, const FrequencyGrid &grid, int threads, int repeats, std::vector<double> &powers,
                bool wall = false)
{
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const double start = wall ? WallSeconds() : ProcessSeconds();
        const NufftStatus status = ComputeFastPowers(s.t.data(), s.y.data(), nullptr, static_cast<long>(s.t.size()),
                                                     grid, s.sumOfSquares, threads, powers);
        best = std::min(best, (wall ? WallSeconds() : ProcessSeconds()) - start);
        if (status != NufftOk) {
            std::printf("transform failed: %s\n", NufftStatusText(status));
            std::exit(1);
        }
    }
    return best;
}

// The exact kernels' powers of every 'stride'-th grid frequency (powers[i]
// for grid index i * stride), one thread; returns the CPU seconds scaled to
// the whole grid.
double TimeExact(const Series &s, const FrequencyGrid &grid, long stride, std::vector<double> &powers)
{
    const std::vector<double> all = GridPeriods(grid);
    std::vector<double> periods;
    for (long k = 0; k <= grid.intervals; k += stride)
        periods.push_back(all[static_cast<std::size_t>(grid.intervals - k)]);
    powers.assign(periods.size(), 0);
    const double start = ProcessSeconds();
    PrepareSpectrumTerms(s.t.data(), s.y.data(), static_cast<int>(s.t.size()));
    PreparedSpectrumPowers(periods.data(), static_cast<long>(periods.size()), s.sumOfSquares, 1, powers.data());
    const double seconds = ProcessSeconds() - start;
    return seconds * static_cast<double>(grid.intervals + 1) / static_cast<double>(periods.size());
}

double LargestDifference(const std::vector<double> &fast, const std::vector<double> &exact, long stride)
{
    double largest = 0;
    for (std::size_t i = 0; i < exact.size(); ++i)
        largest = std::max(largest, std::fabs(fast[i * static_cast<std::size_t>(stride)] - exact[i]));
    return largest;
}

struct Job {
    const char *name;
    Series series;
    double pmax;
    long frequencies;
    long exactStride;
};

bool failed = false;

void NoteError(double error)
{
    if (!(error <= AllowedPowerDifference))
        failed = true;
}

// The astropy script: reads times, magnitudes and frequencies (float64
// files), runs the fast method with a floating mean, writes the powers and
// prints its CPU seconds.
const char *AstropyScript = R"(
import sys, time
import numpy as np
from astropy.timeseries import LombScargle
t = np.fromfile(sys.argv[1]); y = np.fromfile(sys.argv[2]); f = np.fromfile(sys.argv[3])
ls = LombScargle(t, y, fit_mean=True, center_data=True, normalization='standard')
best = 1e30
for r in range(int(sys.argv[5])):
    start = time.process_time()
    p = ls.power(f, method='fast', assume_regular_frequency=True)
    best = min(best, time.process_time() - start)
p.astype(np.float64).tofile(sys.argv[4])
print(best)
)";

const char *Python = "/usr/bin/python3";

bool AstropyInstalled()
{
    const std::string command = std::string(Python) + " -c 'import astropy.timeseries' > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool WriteDoubles(const std::string &name, const std::vector<double> &values)
{
    FILE *out = std::fopen(name.c_str(), "wb");
    if (!out)
        return false;
    const bool ok = std::fwrite(values.data(), sizeof(double), values.size(), out) == values.size();
    return std::fclose(out) == 0 && ok;
}

std::vector<double> ReadDoubles(const std::string &name)
{
    std::vector<double> values;
    FILE *in = std::fopen(name.c_str(), "rb");
    if (!in)
        return values;
    double v;
    while (std::fread(&v, sizeof v, 1, in) == 1)
        values.push_back(v);
    std::fclose(in);
    return values;
}

// Runs the astropy fast method on the job; false when it could not run.
bool TimeAstropy(const Series &s, const FrequencyGrid &grid, int repeats, double &seconds,
                 std::vector<double> &powers)
{
    char folder[] = "/tmp/nufft_bench.XXXXXX";
    if (!mkdtemp(folder))
        return false;
    const std::string base = folder;
    const std::string script = base + "/fast.py", times = base + "/t", values = base + "/y",
                      frequencies = base + "/f", result = base + "/p";
    std::vector<double> f;
    for (long k = 0; k <= grid.intervals; ++k)
        f.push_back(GridFrequency(grid, k));
    bool ok = WriteDoubles(times, s.t) && WriteDoubles(values, s.y) && WriteDoubles(frequencies, f);
    FILE *out = ok ? std::fopen(script.c_str(), "w") : nullptr;
    ok = out && std::fputs(AstropyScript, out) >= 0;
    if (out)
        ok = std::fclose(out) == 0 && ok;
    if (ok) {
        const std::string command = std::string(Python) + " " + script + " " + times + " " + values + " " +
                                    frequencies + " " + result + " " + std::to_string(repeats) + " 2>/dev/null";
        FILE *run = popen(command.c_str(), "r");
        ok = run && std::fscanf(run, "%lf", &seconds) == 1;
        if (run)
            ok = pclose(run) == 0 && ok;
        powers = ReadDoubles(result);
        ok = ok && powers.size() == f.size();
    }
    for (const std::string &name : {script, times, values, frequencies, result})
        unlink(name.c_str());
    rmdir(folder);
    return ok;
}

void PrintJobs(std::vector<Job> &jobs, int repeats)
{
    std::printf("One core, CPU seconds (best of %d for the transform).\n\n", repeats);
    std::printf("%-46s %12s %10s %10s %9s %12s\n", "job", "terms", "exact s", "fast s", "ratio", "max error");
    for (Job &job : jobs) {
        const FrequencyGrid grid = GridOfCount(job.series, job.pmax, job.frequencies);
        std::vector<double> fast, exact;
        const double fastSeconds = TimeFast(job.series, grid, 1, repeats, fast);
        const double exactSeconds = TimeExact(job.series, grid, job.exactStride, exact);
        const double error = LargestDifference(fast, exact, job.exactStride);
        NoteError(error);
        const double terms = static_cast<double>(job.series.t.size()) * static_cast<double>(grid.intervals + 1);
        std::printf("%-46s %12.3g %9.3f%s %10.4f %9.0f %12.2g\n", job.name, terms, exactSeconds,
                    job.exactStride > 1 ? "*" : " ", fastSeconds, exactSeconds / fastSeconds, error);
    }
    std::printf("* the exact kernels on every 73rd frequency, their time scaled to all\n");
}

void PrintThreads(const Job &job, int repeats)
{
    const FrequencyGrid grid = GridOfCount(job.series, job.pmax, job.frequencies);
    std::vector<double> one, two;
    const double oneSeconds = TimeFast(job.series, grid, 1, repeats, one, true);
    const double twoSeconds = TimeFast(job.series, grid, 2, repeats, two, true);
    std::printf("\nLong cadence, wall seconds: 1 thread %.4f, 2 threads %.4f (%s powers)\n", oneSeconds, twoSeconds,
                one == two ? "the same" : "DIFFERENT");
    if (one != two)
        failed = true;
}

// Doubling n at fixed K, then K at fixed n, from the sector job.
void PrintGrowth(int repeats)
{
    std::printf("\nCost growth of the transform (one core, CPU seconds; target: at most 2.2 per doubling)\n");
    std::printf("%10s %10s %10s %8s\n", "n", "K + 1", "fast s", "growth");
    double before = 0;
    for (long n = 10000; n <= 160000; n *= 2) {
        const Series s = CadenceSeries(n, 27.4 / n, n / 2, n / 40, 5);
        std::vector<double> powers;
        const double seconds = TimeFast(s, GridOfCount(s, 10, 100001), 1, repeats, powers);
        std::printf("%10ld %10ld %10.4f %8s\n", n, 100001L, seconds,
                    before > 0 ? std::to_string(seconds / before).substr(0, 4).c_str() : "");
        before = seconds;
    }
    before = 0;
    const Series s = CadenceSeries(20000, 2.0 / 1440, 10000, 500, 5);
    for (long count = 50001; count <= 1600001; count = 2 * count - 1) {
        std::vector<double> powers;
        const double seconds = TimeFast(s, GridOfCount(s, 10, count), 1, repeats, powers);
        std::printf("%10ld %10ld %10.4f %8s\n", 20000L, count, seconds,
                    before > 0 ? std::to_string(seconds / before).substr(0, 4).c_str() : "");
        before = seconds;
    }
}

// Small passes near the break-even: both ways measured, and the choice.
void PrintBreakEven(int repeats)
{
    std::printf("\nBreak-even (one core, CPU seconds): which way is faster, and which FastTransformIsCheaper picks\n");
    std::printf("%8s %9s %11s %11s %8s %8s %11s %11s %10s\n", "n", "K + 1", "exact s", "fast s", "faster", "chosen",
                "est exact", "est fast", "max error");
    for (long count : {1001L, 10001L, 100001L}) {
        for (long n : {5L, 10L, 20L, 40L, 80L, 160L}) {
            const Series s = UnevenSeries(n, 3, 7);
            const FrequencyGrid grid = GridOfCount(s, 100, count);
            std::vector<double> fast, exact;
            const double fastSeconds = TimeFast(s, grid, 1, repeats, fast);
            double exactSeconds = 1e30;
            for (int r = 0; r < repeats; ++r)
                exactSeconds = std::min(exactSeconds, TimeExact(s, grid, 1, exact));
            const double error = LargestDifference(fast, exact, 1);
            const long count = grid.intervals + 1;
            if (FastTransformIsCheaper(n, count))
                NoteError(error);
            const bool fastWins = fastSeconds < exactSeconds;
            std::printf("%8ld %9ld %11.6f %11.6f %8s %8s %11.6f %11.6f %10.2g\n", n, count, exactSeconds, fastSeconds,
                        fastWins ? "fast" : "exact", FastTransformIsCheaper(n, count) ? "fast" : "exact",
                        EstimatedExactSeconds(n, count), EstimatedFastSeconds(n, count), error);
        }
    }
    std::printf("(the error counts only where the transform is chosen: with a handful of observations every\n"
                " power is ill-conditioned, and the exact kernels' own angles, rounded to doubles, differ too)\n");
}

void PrintAstropy(const Job &job, int repeats)
{
    if (!AstropyInstalled()) {
        std::printf("\nDebian's python3-astropy is not installed: its fast Lomb-Scargle column is skipped.\n");
        return;
    }
    const FrequencyGrid grid = GridOfCount(job.series, job.pmax, job.frequencies);
    double seconds = 0;
    std::vector<double> theirs, fast, exact;
    if (!TimeAstropy(job.series, grid, repeats, seconds, theirs)) {
        std::printf("\nastropy's fast Lomb-Scargle did not run: its column is skipped.\n");
        return;
    }
    const double fastSeconds = TimeFast(job.series, grid, 1, repeats, fast);
    TimeExact(job.series, grid, 1, exact);
    std::printf("\nSector job against astropy's fast Lomb-Scargle (one core, CPU seconds, best of %d):\n", repeats);
    std::printf("  astropy fast %.4f s, max error %.2g; this transform %.4f s, max error %.2g\n", seconds,
                LargestDifference(theirs, exact, 1), fastSeconds, LargestDifference(fast, exact, 1));
}

} // namespace

int main(int argc, char **argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<Job> jobs;
    jobs.push_back({"1000 estimates x 32,767 frequencies", UnevenSeries(1000, 3, 1), 40, 32767, 1});
    jobs.push_back({"sector: 20,000 estimates x 100,001 frequencies",
                    CadenceSeries(20000, 2.0 / 1440, 10000, 500, 2), 10, 100001, 1});
    jobs.push_back({"long cadence: 65,000 x 730,000 frequencies",
                    CadenceSeries(65000, 1.0 / 48, 16250, 200, 3), 100, 730000, 73});
    PrintJobs(jobs, repeats);
    PrintThreads(jobs[2], repeats);
    PrintAstropy(jobs[1], repeats);
    PrintGrowth(repeats);
    PrintBreakEven(repeats);
    if (failed)
        std::printf("\nFAILED: a power differs from the exact kernels by more than %g, or threads differ\n",
                    AllowedPowerDifference);
    return failed ? 1 : 0;
}
