// The period spectrum: a least-squares fit of a constant plus a sine at every
// trial period, made exact for unevenly spaced times by orthonormalising
// cosine and sine against the constant and each other over the actual times.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis.h"
#include "fastspectrumterms.h"
#include "numformat.h"
#include "fileio.h"
#include "outputfile.h"

namespace {

// A fit whose orthogonalised cosine or sine has less than this share of the
// observations' count left is taken as having no room: the angles coincide
// (modulo 2 pi) and what is left is rounding noise.
const double NoRoomShare = 1e-12;

// The spectrum file is written through a buffer of whole lines.
struct SpectrumWriter {
    int fd;
    char buffer[49 * 1024];
    std::size_t used;
};

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

SpectrumWriter spectrumWriter;

// Opens a spectrum-form file, written beside the earlier one and put in its
// place only when complete.
SpectrumWriter &OpenSpectrumWriter(const std::string &name)
{
    spectrumWriter.fd = CreateOutputFile(name);
    spectrumWriter.used = 0;
    return spectrumWriter;
}

void CloseSpectrumWriter(SpectrumWriter &out)
{
    FlushSpectrum(out);
    FinishOutputFile(out.fd);
}

} // namespace

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

double SpectrumPowerOfSums(const SpectrumSums &sums, int n, double sumOfSquares)
{
    const double scc = sums.scc, sc = sums.sc, sss = sums.sss, ss = sums.ss;
    const double ssc = sums.ssc, syc = sums.syc, sys = sums.sys;
    const long double room1 = scc - static_cast<long double>(sc) * sc / n;
    if (!(room1 > NoRoomShare * n))
        return 0;
    const double a1 = static_cast<double>(std::sqrt(1 / room1));
    const double x = static_cast<double>(ssc - static_cast<long double>(ss) * sc / n);
    const long double room2 = sss - static_cast<long double>(ss) * ss / n - static_cast<long double>(a1) * a1 * x * x;
    if (!(room2 > NoRoomShare * n))
        return 0;
    const double a2 = static_cast<double>(std::sqrt(1 / room2));
    const double c1 = static_cast<double>(static_cast<long double>(a1) * syc);
    const double c2 = static_cast<double>(a2 * (sys - static_cast<long double>(a1) * c1 * x));
    const double power = static_cast<double>((static_cast<long double>(c1) * c1 + static_cast<long double>(c2) * c2) /
                                             sumOfSquares);
    return std::isfinite(power) ? power : 0;
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
    return SpectrumPowerOfSums(PreparedSpectrumSums(frequency), n, sumOfSquares);
}

namespace {

// Notes one point of the pass: the first largest power is kept.
void AddSpectrumPoint(SpectrumWriter &out, SpectrumResult &result, double period, double power)
{
    if (power > result.maximumPower) {
        result.maximumPower = power;
        result.periodOfMaximum = period;
    }
    AppendSpectrumLine(out, period, power);
}

// One pass over the K + 1 periods from pmin to pmax, the powers taken by
// the fast kernels (in chunks of periods, over threads for a large pass) or
// by the reference.
SpectrumResult SpectrumPass(const double *t, const double *y, int n, double sumOfSquares, double pmin, double pmax,
                            long intervals, const std::string &spectrumName, bool reference)
{
    SpectrumWriter &out = OpenSpectrumWriter(spectrumName);
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
    const long points = std::max(grid.intervals + 1, 0L);
    const int threads = SpectrumPassThreads(n, points);
    const long chunk = std::min(SpectrumChunkPoints(threads), points);
    std::vector<double> periods(static_cast<std::size_t>(chunk)), powers(static_cast<std::size_t>(chunk));
    for (long first = 0; first < points; first += chunk) {
        const long count = std::min(chunk, points - first);
        for (long j = 0; j < count; ++j)
            periods[static_cast<std::size_t>(j)] = GridPeriod(grid, first + j);
        PreparedSpectrumPowers(periods.data(), count, sumOfSquares, threads, powers.data());
        visit(periods.data(), powers.data(), count);
    }
}

void WriteGridFile(const std::string &name, const PeriodGrid &grid, double (*value)(double frequency))
{
    SpectrumWriter &out = OpenSpectrumWriter(name);
    for (long k = 0; k <= grid.intervals; ++k) {
        const double period = GridPeriod(grid, k);
        AppendSpectrumLine(out, period, value(static_cast<double>(1 / static_cast<long double>(period))));
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

double SignificanceThreshold(int n, double firstDate, double lastDate, double pmin, double pmax)
{
    const long double span = static_cast<long double>(lastDate) - firstDate;
    const long double frequencies = 2.0L * (n - 3) * span * (1 / static_cast<long double>(pmin) - 1 / static_cast<long double>(pmax)) / 3 / (n - 4);
    const long double z0 = -std::log(1 - std::exp(std::log(0.95L) / frequencies));
    const long double z = (n - 3) * z0 / (n - 4) + 1;
    long double w = z;
    for (int i = 0; i < 10; ++i)
        w = z - std::exp(-w);
    return static_cast<double>(1 - std::exp(2 * w / (3 - n)));
}
