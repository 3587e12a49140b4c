// What a batch run adds to the largest dialogue pass (1000 observations,
// 32766 intervals): the pass itself beside the peak search over the
// spectrum file, the refinement of five peaks and their sine fits, which
// should cost a small part of the pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "analysis.h"
#include "bench_observations.h"
#include "kalidor.h"

namespace {

const int BenchObservations = 1000;
const long BenchIntervals = 32766;
const double BenchMinimumPeriod = 0.5;
const double BenchMaximumPeriod = 40;

std::string SpectrumName() { return "/tmp/batch_bench." + std::to_string(getpid()) + ".ven"; }

void SpectrumPassOfTheDialogue(benchmark::State &state)
{
    MakeBenchObservations(BenchObservations, 3, 1.5);
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeSpectrum(BenchMinimumPeriod, BenchMaximumPeriod, BenchIntervals, SpectrumName()));
    std::remove(SpectrumName().c_str());
}

void PeaksOfTheBatchRun(benchmark::State &state)
{
    MakeBenchObservations(BenchObservations, 3, 1.5);
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
