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
#include "engine.h"
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

// The largest grid: 60 estimates over ten years, periods 1 to 1e9 days,
// 10,000,000 intervals, one thread; the engine's pass with and without the
// spectral window, which comes from the pass's own sums.
void PassOnTheLargestGrid(benchmark::State &state)
{
    MakeBenchObservations(60, 5, 60);
    LightCurve curve;
    curve.time.assign(JulianDates + 1, JulianDates + 61);
    for (int i = 1; i <= 60; ++i)
        curve.magnitude.push_back(Magnitudes[i] + 11.7);
    AnalysisSettings settings;
    settings.minimumPeriod = 1;
    settings.maximumPeriod = 1e9;
    settings.intervals = MaxIntervals;
    settings.threads = 1;
    settings.window = state.range(0) != 0;
    AnalysisHooks hooks;
    double last = 0;
    hooks.window = [&last](const double *, const double *values, long count) { last = values[count - 1]; };
    for (auto _ : state) {
        const AnalysisOutcome outcome = AnalyseLightCurve(curve, settings, hooks);
        benchmark::DoNotOptimize(outcome.report.peaks.data());
    }
    benchmark::DoNotOptimize(last);
    state.SetLabel(settings.window ? "pass and window" : "pass alone");
}

} // namespace

BENCHMARK(SpectrumPassOfTheDialogue)->Unit(benchmark::kMillisecond);
BENCHMARK(PeaksOfTheBatchRun)->Unit(benchmark::kMillisecond);
BENCHMARK(PassOnTheLargestGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
