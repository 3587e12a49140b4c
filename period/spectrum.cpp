// The period spectrum: a least-squares fit of a constant plus a sine at every
// trial period, made exact for unevenly spaced times by orthonormalising
// cosine and sine against the constant and each other over the actual times.
#include <algorithm>
#include <cmath>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analysis.h"
#include "fastspectrum.h"
#include "fastspectrumthreads.h"
#include "fileio.h"
#include "numformat.h"
#include "outputfile.h"
#include "runerror.h"
#include "kernelterms.h"
#include "spectrumpass.h"

// The spectrum file is written through a buffer of whole lines.
struct SpectrumWriter {
    int fd;
    char buffer[49 * 1024];
    std::size_t used;
};

namespace {

void FlushSpectrum(SpectrumWriter &out)
{
    WriteOrStop(out.fd, out.buffer, out.used);
    out.used = 0;
}

// One line: the period and the power in the 23-character scientific form,
// separated by two blanks.
void AppendSpectrumLine(SpectrumWriter &out, double period, double power)
{
    if (out.used + 49 > sizeof out.buffer)
        FlushSpectrum(out);
    char *line = out.buffer + out.used;
    WriteScientific(period, line);
    line[23] = ' ';
    line[24] = ' ';
    WriteScientific(power, line + 25);
    line[48] = '\n';
    out.used += 49;
}

} // namespace

SpectrumWriter *OpenSpectrumWriter(const std::string &name)
{
    SpectrumWriter *out = new SpectrumWriter;
    out->fd = CreateOutputFile(name);
    out->used = 0;
    return out;
}

void AppendSpectrumLines(SpectrumWriter *out, const double *periods, const double *values, long count)
{
    for (long j = 0; j < count; ++j)
        AppendSpectrumLine(*out, periods[j], values[j]);
}

void CloseSpectrumWriter(SpectrumWriter *out)
{
    FlushSpectrum(*out);
    FinishOutputFile(out->fd);
    delete out;
}

namespace {

// Centred magnitudes all below this in size would have squares, and power
// sums, where doubles lose their digits or vanish (a spectrum of zeros).
const double TinyMagnitudes = 1e-100;

// Divides tiny centred magnitudes by the largest of them, so that the
// largest is 1: the power is the same for any scale.  Magnitudes of
// ordinary size are left exactly as they are.
void ScaleTinyMagnitudes()
{
    const double largest = std::fmax(-LeastCentred, GreatestCentred);
    if (!(largest > 0 && largest < TinyMagnitudes))
        return;
    for (int i = 1; i <= ObservationCount; ++i)
        Magnitudes[i] = Magnitudes[i] / largest;
    LeastCentred = LeastCentred / largest;
    GreatestCentred = GreatestCentred / largest;
}

} // namespace

void CentreMagnitudes(double mean)
{
    LeastCentred = 0;
    GreatestCentred = 0;
    for (int i = 1; i <= ObservationCount; ++i) {
        Magnitudes[i] = Magnitudes[i] - mean;
        if (Magnitudes[i] < LeastCentred)
            LeastCentred = Magnitudes[i];
        if (Magnitudes[i] > GreatestCentred)
            GreatestCentred = Magnitudes[i];
    }
    ScaleTinyMagnitudes();
    SumOfSquares = 0;
    for (int i = 1; i <= ObservationCount; ++i)
        SumOfSquares = SumOfSquares + static_cast<long double>(Magnitudes[i]) * Magnitudes[i];
}

namespace {

// The run's prepared observations: the dialogue keeps one set, as it keeps
// one observation list.
SpectrumTerms dialogueTerms;
int spectrumThreads = 0;
bool kernelRequested = false;

// The kernel named by KALIDOR_SPECTRUM_KERNEL, or the widest one when it is
// not set; a name of no kernel ends the program.
SpectrumKernel RequestedSpectrumKernel()
{
    const char *name = std::getenv("KALIDOR_SPECTRUM_KERNEL");
    if (name == nullptr || *name == 0)
        return SpectrumKernelAvx512;
    SpectrumKernel kernel;
    if (SpectrumKernelNamed(name, kernel))
        return kernel;
    std::fprintf(stderr, "KALIDOR_SPECTRUM_KERNEL=%s names no spectrum kernel (plain, avx2, avx512)\n", name);
    EndProgram(1);
}

} // namespace

SpectrumKernel ActiveSpectrumKernel()
{
    if (!kernelRequested) {
        kernelRequested = true;
        if (!SpectrumKernelChosen())
            SetSpectrumKernel(RequestedSpectrumKernel());
    }
    return SpectrumKernelInUse();
}

void PrepareSpectrumTerms(const double *t, const double *y, int n)
{
    ActiveSpectrumKernel();
    try {
        PrepareSpectrumTerms(dialogueTerms, t, y, n);
    } catch (const std::bad_alloc &) {
        RunError(RunErrorOutOfMemory);
    }
}

SpectrumSums PreparedSpectrumSums(double frequency)
{
    SpectrumSums sums;
    SpectrumSumsOf(dialogueTerms, &frequency, 1, &sums);
    return sums;
}

void PreparedSpectrumSumsOf(const double *frequencies, int count, SpectrumSums *sums)
{
    SpectrumSumsOf(dialogueTerms, frequencies, count, sums);
}

void SetSpectrumThreads(int n) { spectrumThreads = std::max(n, 0); }

int SpectrumPassThreads(int n, long points) { return SpectrumThreadsFor(spectrumThreads, n, points); }

void PreparedSpectrumPowers(const double *periods, long count, double sumOfSquares, int threads, double *powers)
{
    SpectrumPowersOf(dialogueTerms, periods, count, sumOfSquares, threads, powers);
}

double ReferenceSpectrumPower(const double *t, const double *y, int n, double frequency, double sumOfSquares)
{
    double scc = 0, sc = 0, sss = 0, ss = 0, ssc = 0, syc = 0, sys = 0;
    for (int i = 0; i < n; ++i) {
        const double angle = static_cast<double>((static_cast<long double>(t[i]) - t[0]) * SpectrumTwoPi * frequency);
        const double co = std::cos(angle);
        const double si = std::sin(angle);
        scc = scc + static_cast<long double>(co) * co;
        sc = sc + co;
        sss = sss + static_cast<long double>(si) * si;
        ss = ss + si;
        ssc = ssc + static_cast<long double>(si) * co;
        syc = syc + static_cast<long double>(y[i]) * co;
        sys = sys + static_cast<long double>(y[i]) * si;
    }
    return SpectrumPowerOfSums({scc, sc, sss, ss, ssc, syc, sys}, n, sumOfSquares);
}

double SpectrumPower(const double *t, const double *y, int n, double frequency, double sumOfSquares)
{
    PrepareSpectrumTerms(t, y, n);
    return PreparedPower(dialogueTerms, frequency, sumOfSquares);
}

namespace {

// Notes one point of the pass: the first largest power is kept.
void AddSpectrumPoint(SpectrumWriter *out, SpectrumResult &result, double period, double power)
{
    if (power > result.maximumPower) {
        result.maximumPower = power;
        result.periodOfMaximum = period;
    }
    AppendSpectrumLine(*out, period, power);
}

// One pass over the K + 1 periods from pmin to pmax, the powers taken by
// the fast kernels (in chunks of periods, over threads for a large pass) or
// by the reference.
SpectrumResult SpectrumPass(const double *t, const double *y, int n, double sumOfSquares, double pmin, double pmax,
                            long intervals, const std::string &spectrumName, bool reference)
{
    SpectrumWriter *out = OpenSpectrumWriter(spectrumName);
    const PeriodGrid grid = MakePeriodGrid(pmin, pmax, intervals);
    const long points = std::max(intervals + 1, 0L);
    SpectrumResult result = {0, 0, 0};
    BeginSpectrumProgress(points, n);
    if (reference) {
        for (long k = 0; k < points; ++k) {
            const double period = GridPeriod(grid, k);
            const double frequency = static_cast<double>(1 / static_cast<long double>(period));
            AddSpectrumPoint(out, result, period, ReferenceSpectrumPower(t, y, n, frequency, sumOfSquares));
            ShowSpectrumProgress(k + 1);
        }
    } else {
        long done = 0;
        ForEachGridPowerChunk(t, y, n, sumOfSquares, grid, [&](const double *periods, const double *powers, long count) {
            for (long j = 0; j < count; ++j)
                AddSpectrumPoint(out, result, periods[j], powers[j]);
            done += count;
            ShowSpectrumProgress(done);
        });
    }
    EndSpectrumProgress();
    CloseSpectrumWriter(out);
    return result;
}

} // namespace

void ForEachGridPowerChunk(const double *t, const double *y, int n, double sumOfSquares, const PeriodGrid &grid,
                           const PowerChunkVisit &visit)
{
    PrepareSpectrumTerms(t, y, n);
    const int threads = SpectrumPassThreads(n, std::max(grid.intervals + 1, 0L));
    ForEachGridChunk(dialogueTerms, sumOfSquares, grid, threads, false,
                     [&](const GridChunk &c) { visit(c.periods, c.powers, c.count); });
}

void WriteGridFile(const std::string &name, const PeriodGrid &grid, double (*value)(double frequency))
{
    SpectrumWriter *out = OpenSpectrumWriter(name);
    for (long k = 0; k <= grid.intervals; ++k) {
        const double period = GridPeriod(grid, k);
        AppendSpectrumLine(*out, period, value(static_cast<double>(1 / static_cast<long double>(period))));
    }
    CloseSpectrumWriter(out);
}

SpectrumResult ComputeSpectrum(double pmin, double pmax, long intervals, const std::string &spectrumName)
{
    return SpectrumPass(JulianDates + 1, Magnitudes + 1, ObservationCount, SumOfSquares, pmin, pmax, intervals,
                        spectrumName, false);
}

SpectrumResult ReferenceComputeSpectrum(double pmin, double pmax, long intervals, const std::string &spectrumName)
{
    return SpectrumPass(JulianDates + 1, Magnitudes + 1, ObservationCount, SumOfSquares, pmin, pmax, intervals,
                        spectrumName, true);
}

SpectrumResult ComputeSpectrumOf(const double *t, const double *y, int n, double sumOfSquares, double pmin,
                                 double pmax, long intervals, const std::string &spectrumName)
{
    return SpectrumPass(t, y, n, sumOfSquares, pmin, pmax, intervals, spectrumName, false);
}
