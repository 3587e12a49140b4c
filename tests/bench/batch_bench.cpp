// What a batch run adds to the largest dialogue pass (1000 observations,
// 32766 intervals): the pass itself beside the peak search over the
// spectrum file, the refinement of five peaks and their sine fits, which
// should cost a small part of the pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

#include "analysis.h"
#include "kalidor.h"

namespace {

const int BenchObservations = 1000;
const long BenchIntervals = 32766;
const double BenchMinimumPeriod = 0.5;
const double BenchMaximumPeriod = 40;

std::string SpectrumName() { return "/tmp/batch_bench." + std::to_string(getpid()) + ".ven"; }

// Nightly observations over four years of a noisy variable of 7.3 days.
void MakeObservations()
{
    std::mt19937_64 random(3);
    std::exponential_distribution<double> gap(1 / 1.5);
    std::normal_distribution<double> noise(0, 0.15);
    double t = 47003.5684;
    MagnitudeSum = 0;
    for (int i = 1; i <= BenchObservations; ++i) {
        JulianDates[i] = t;
        Magnitudes[i] = 11.7 + 0.4 * std::sin(2 * M_PI * t / 7.3) + noise(random);
        MagnitudeSum += Magnitudes[i];
        t += gap(random) + 0.01;
    }
    ObservationCount = BenchObservations;
    CentreMagnitudes(MagnitudeSum / BenchObservations);
}

void SpectrumPassOfTheDialogue(benchmark::State &state)
{
    MakeObservations();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, SpectrumName()));
    std::remove(SpectrumName().c_str());
}

void PeaksOfTheBatchRun(benchmark::State &state)
{
    MakeObservations();
    ComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, SpectrumName());
    const PeriodGrid grid = MakePeriodGrid(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals);
    const double *t = JulianDates + 1, *y = Magnitudes + 1;
    for (auto _ : state) {
        PeakCollector collector;
        StartPeakCollector(collector, 5);
        std::FILE *in = std::fopen(SpectrumName().c_str(), "r");
        char line[128];
        while (std::fgets(line, sizeof line, in) != nullptr)
            FeedPower(collector, std::strtod(line + 25, nullptr));
        std::fclose(in);
        for (const GridPeak &peak : FinishPeakCollector(collector)) {
            const double f = RefinePeakFrequency(SpectrumPower, t, y, ObservationCount, SumOfSquares, grid, peak.index);
            SineFit fit;
            FitSine(t, y, ObservationCount, f, t[0], fit);
            benchmark::DoNotOptimize(fit);
        }
    }
    std::remove(SpectrumName().c_str());
}

} // namespace

BENCHMARK(SpectrumPassOfTheDialogue)->Unit(benchmark::kMillisecond);
BENCHMARK(PeaksOfTheBatchRun)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
