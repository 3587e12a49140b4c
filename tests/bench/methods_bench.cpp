// The speed of the period-search methods: one row per method, the
// statistic over 10,000 trial frequencies of 1000 made-up observations
// (uneven times, a noisy variable of 7.3 days), on one thread and on two,
// the harmonic methods also from the fast transform's sums; and the fold's
// harmonic fit with the shape of its curve.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine.h"
#include "methods.h"

namespace {

const int BenchObservations = 1000;
const long BenchFrequencies = 10000;

const MethodData &BenchData()
{
    static const MethodData data = [] {
        std::mt19937_64 random(3);
        std::exponential_distribution<double> gap(1 / 1.5);
        std::normal_distribution<double> noise(0, 0.15);
        std::vector<double> t, y;
        double time = 47003.5684;
        for (int i = 0; i < BenchObservations; ++i) {
            t.push_back(time);
            y.push_back(11.7 + 0.4 * std::sin(2 * M_PI * time / 7.3) + 0.15 * std::sin(4 * M_PI * time / 7.3) +
                        noise(random));
            time += gap(random) + 0.01;
        }
        MethodData prepared;
        PrepareMethodData(t.data(), y.data(), nullptr, BenchObservations, prepared);
        return prepared;
    }();
    return data;
}

// Periods 0.5 to 40 days, evenly in frequency.
const std::vector<double> &BenchGrid()
{
    static const std::vector<double> grid = [] {
        std::vector<double> frequencies;
        for (long j = 0; j < BenchFrequencies; ++j)
            frequencies.push_back(1 / 40.0 + (2 - 1 / 40.0) * j / (BenchFrequencies - 1));
        return frequencies;
    }();
    return grid;
}

void MethodOverTheGrid(benchmark::State &state, const char *name)
{
    MethodChoice choice;
    ParseMethod(name, choice);
    const std::vector<double> &grid = BenchGrid();
    std::vector<double> values(grid.size());
    for (auto _ : state) {
        EvaluateGrid(BenchData(), choice, grid.data(), static_cast<long>(grid.size()), static_cast<int>(state.range(0)),
                     values.data());
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(grid.size()));
}

// The same grid's statistic from the fast transform's sums.
void FastMethodOverTheGrid(benchmark::State &state, const char *name)
{
    MethodChoice choice;
    ParseMethod(name, choice);
    const std::vector<double> &grid = BenchGrid();
    std::vector<double> values(grid.size());
    const double step = (grid.back() - grid.front()) / static_cast<double>(grid.size() - 1);
    for (auto _ : state) {
        FastHarmonicGrid(BenchData(), choice, grid.front(), step, static_cast<long>(grid.size()) - 1,
                         static_cast<int>(state.range(0)), values.data());
        benchmark::DoNotOptimize(values.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(grid.size()));
}

void FoldWithHarmonics(benchmark::State &state)
{
    for (auto _ : state) {
        HarmonicFit fit;
        FitHarmonics(BenchData(), 1 / 7.3, static_cast<int>(state.range(0)), fit);
        benchmark::DoNotOptimize(DescribeLightCurve(fit, 48000));
    }
}

// The whole engine with a method: the pass over 10,000 intervals of 0.5 to
// 40 days, five peaks refined and described, the fold's harmonic shape.
void EngineWithMethod(benchmark::State &state, const char *name, bool fast = false)
{
    const MethodData &data = BenchData();
    LightCurve curve;
    for (int i = 0; i < data.n; ++i) {
        curve.time.push_back(data.time[i]);
        curve.magnitude.push_back(data.value[i] + data.mean);
    }
    AnalysisSettings settings;
    settings.minimumPeriod = 0.5;
    settings.maximumPeriod = 40;
    settings.intervals = BenchFrequencies;
    settings.method = name;
    settings.fold = settings.foldAtBest = true;
    settings.transform = TransformExact;
    if (fast) {
        // The even frequency grid of the same size, and its transform.
        settings.grid = GridEvenInFrequency;
        settings.oversample = (2 - 1 / 40.0) * (data.latest - data.earliest) / BenchFrequencies;
        settings.transform = TransformFast;
    }
    settings.threads = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(AnalyseLightCurve(curve, settings).report.peaks.data());
    state.SetItemsProcessed(state.iterations() * (BenchFrequencies + 1));
}

} // namespace

BENCHMARK_CAPTURE(EngineWithMethod, dcdft, "dcdft")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, harmonics3, "harmonics:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, aov3, "aov:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, harmonics3_fast, "harmonics:3", true)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, aov3_fast, "aov:3", true)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, pdm10, "pdm:10")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EngineWithMethod, bls, "bls")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(MethodOverTheGrid, dcdft, "dcdft")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MethodOverTheGrid, harmonics3, "harmonics:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MethodOverTheGrid, aov3, "aov:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FastMethodOverTheGrid, harmonics3, "harmonics:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FastMethodOverTheGrid, harmonics12, "harmonics:12")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FastMethodOverTheGrid, aov3, "aov:3")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MethodOverTheGrid, pdm10, "pdm:10")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MethodOverTheGrid, bls, "bls")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FoldWithHarmonics)->Arg(3)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
