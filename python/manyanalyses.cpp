// A pool of worker threads over a list of light curves: each worker takes
// the next curve not yet begun, so a slow star holds up one thread only.
#include "manyanalyses.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "reportwriter.h"
#include "spectrumkernels.h"

namespace {

// Thrown from the progress hook when the caller wants the analyses to stop.
struct Stopped {};

struct Pool {
    const std::vector<LightCurve> &curves;
    const std::vector<std::string> &refusals;
    const AnalysisSettings &settings;
    std::vector<std::string> &records;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable finished;
    std::size_t done = 0; // guarded by lock
};

std::string AnalyseOne(const LightCurve &curve, const AnalysisSettings &settings, const std::atomic<bool> &stop)
{
    std::vector<std::string> notes;
    AnalysisHooks hooks;
    hooks.note = [&notes](const std::string &text) { notes.push_back(text); };
    hooks.progress = [&stop](long, long) {
        if (stop.load(std::memory_order_relaxed))
            throw Stopped();
    };
    try {
        return RecordOfAnalysis(curve, AnalyseLightCurve(curve, settings, hooks), notes);
    } catch (const std::bad_alloc &) {
        return JsonErrorLine(curve.file, curve.name, "out of memory");
    }
}

void RunWorker(Pool &pool)
{
    for (;;) {
        if (pool.stop.load())
            return;
        const std::size_t i = pool.next.fetch_add(1);
        if (i >= pool.curves.size())
            return;
        try {
            const LightCurve &curve = pool.curves[i];
            if (!pool.refusals.empty() && !pool.refusals[i].empty())
                pool.records[i] = JsonErrorLine(curve.file, curve.name, pool.refusals[i]);
            else
                pool.records[i] = AnalyseOne(curve, pool.settings, pool.stop);
        } catch (const Stopped &) {
            return;
        } catch (const std::bad_alloc &) {
            pool.records[i].clear(); // no record: the caller tells of the lack of memory
        }
        std::lock_guard<std::mutex> guard(pool.lock);
        if (++pool.done == pool.curves.size())
            pool.finished.notify_all();
    }
}

// Waits for the workers, asking stopWanted between waits; true when every
// curve is done, false when stopped.
bool WaitForWorkers(Pool &pool, const std::function<bool()> &stopWanted, int pollMilliseconds)
{
    std::unique_lock<std::mutex> guard(pool.lock);
    while (pool.done < pool.curves.size()) {
        pool.finished.wait_for(guard, std::chrono::milliseconds(std::max(pollMilliseconds, 1)));
        if (pool.done >= pool.curves.size())
            break;
        guard.unlock();
        const bool stop = stopWanted && stopWanted();
        guard.lock();
        if (stop) {
            pool.stop = true;
            return false;
        }
    }
    return true;
}

} // namespace

std::string RecordOfAnalysis(const LightCurve &curve, const AnalysisOutcome &outcome,
                             const std::vector<std::string> &notes)
{
    if (!outcome.ok)
        return JsonErrorLine(curve.file, curve.name, outcome.error.english);
    PeriodReport report = outcome.report;
    report.star = curve.name;
    report.notes = notes;
    // A star whose extrema cannot be timed keeps its period report.
    if (report.hasExtrema && !report.extrema.error.empty())
        report.notes.push_back("no times of extrema: " + report.extrema.error);
    return JsonReportLine(report);
}

bool AnalyseLightCurves(const std::vector<LightCurve> &curves, const std::vector<std::string> &refusals,
                        AnalysisSettings settings, int threads, const std::function<bool()> &stopWanted,
                        int pollMilliseconds, std::vector<std::string> &records)
{
    settings.threads = 1;
    records.assign(curves.size(), std::string());
    if (curves.empty())
        return true;
    Pool pool{curves, refusals, settings, records, {0}, {false}, {}, {}, 0};
    const std::size_t wanted = std::min<std::size_t>(threads > 0 ? threads : UsableCores(), curves.size());
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < wanted; ++w) {
        try {
            workers.emplace_back(RunWorker, std::ref(pool));
        } catch (const std::system_error &) {
            break;
        }
    }
    if (workers.empty()) {
        RunWorker(pool);
        return true;
    }
    const bool complete = WaitForWorkers(pool, stopWanted, pollMilliseconds);
    for (std::thread &worker : workers)
        worker.join();
    return complete;
}
