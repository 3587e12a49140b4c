// Reading tables whose band column holds a distinct name on every row (an
// export with a unique field where the band should be): the time must grow
// in proportion to the rows, so the rows a second stay about the same from
// the smallest table to the largest.  The largest, 200,000 rows, must be
// read in under 2 s of processor time (the machine's other work does not
// count); the bench ends with status 1 when it is not, so that counting that
// compares every band with every other (hours for such a table) fails
// make bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "lightcurves.h"
#include "table.h"

namespace {

const long LargestTable = 200000;
const double TargetSeconds = 2.0;

std::string TableName(long rows, bool header)
{
    return "/tmp/bands_bench." + std::to_string(getpid()) + "." + std::to_string(rows) + (header ? "h" : "d") + ".csv";
}

// A table of 'rows' estimates, band B<i> on row i: with a header naming the
// band column, or in the download order with the band as fifth field.
std::string MakeTable(long rows, bool header)
{
    const std::string name = TableName(rows, header);
    std::ofstream out(name, std::ios::trunc);
    if (header)
        out << "JD,Magnitude,Uncertainty,Band\n";
    char line[96];
    for (long i = 0; i < rows; ++i) {
        if (header)
            std::snprintf(line, sizeof line, "%.5f,%.3f,0.01,B%ld\n", 2450000.5 + 0.01 * i, 10 + (i % 100) * 0.01, i);
        else
            std::snprintf(line, sizeof line, "%.5f,%.3f,0.01,,B%ld\n", 2450000.5 + 0.01 * i, 10 + (i % 100) * 0.01, i);
        out << line;
    }
    return name;
}

void ReadTableOfDistinctBands(benchmark::State &state, bool header)
{
    const long rows = state.range(0);
    const std::string name = MakeTable(rows, header);
    for (auto _ : state) {
        const LightCurveReading reading = ReadLightCurves(name, ReadChoices());
        if (ReadFailed(reading) || reading.curves[0].band != "B0")
            state.SkipWithError("the table was not read as it should be");
        benchmark::DoNotOptimize(reading);
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
    std::remove(name.c_str());
}

void ReadHeaderTable(benchmark::State &state) { ReadTableOfDistinctBands(state, true); }
void ReadDownloadOrderTable(benchmark::State &state) { ReadTableOfDistinctBands(state, false); }

// The count alone, as kalidor's table input takes it.
void CountDistinctBands(benchmark::State &state)
{
    const long rows = state.range(0);
    std::vector<std::string> bands;
    for (long i = 0; i < rows; ++i)
        bands.push_back("B" + std::to_string(i));
    for (auto _ : state) {
        BandTally tally;
        for (const std::string &band : bands)
            CountBand(tally, band);
        benchmark::DoNotOptimize(MostEstimatedBand(tally));
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

// The console report, and whether the largest table was read in time.
struct TargetReporter : benchmark::ConsoleReporter {
    bool missed = false;
    TargetReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const std::string name = run.benchmark_name();
            if (name.rfind("Read", 0) != 0 || name.find("/" + std::to_string(LargestTable)) == std::string::npos ||
                run.run_type != Run::RT_Iteration)
                continue;
            const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (seconds >= TargetSeconds) {
                std::fprintf(stderr, "%s: %.2f s of processor time, over the target of %.0f s\n", name.c_str(),
                             seconds, TargetSeconds);
                missed = true;
            }
        }
    }
};

} // namespace

BENCHMARK(ReadHeaderTable)->RangeMultiplier(2)->Range(25000, LargestTable)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadDownloadOrderTable)->Arg(LargestTable)->Unit(benchmark::kMillisecond);
BENCHMARK(CountDistinctBands)->RangeMultiplier(2)->Range(25000, LargestTable)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.missed ? 1 : 0;
}
