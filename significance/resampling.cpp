// The drivers that remake a light curve many times: the bootstrap of the
// highest power and the Monte Carlo spread of a refitted period.  Each
// remade curve draws from its own generator, seeded from the run's seed and
// its own number, so that the threads may take the work in any share.
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>
#include <gsl/gsl_sort.h>
#include <gsl/gsl_statistics_double.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "significance.h"
#include "weightedfit.h"

namespace {

// SplitMix64 (Steele, Lea and Flood 2014): well-mixed, different seeds for
// neighbouring task numbers.
std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t task)
{
    std::uint64_t z = seed + (task + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Runs work(task, generator) for tasks 0..count-1 on 'threads' threads,
// each thread taking a contiguous block of tasks; the generator is seeded
// afresh for each task.
template <typename Work> void RunSeededTasks(int count, int threads, std::uint64_t seed, const Work &work)
{
    threads = std::max(1, std::min(threads, count));
    auto block = [&](int first, int last) {
        gsl_rng *generator = gsl_rng_alloc(gsl_rng_mt19937);
        for (int task = first; task < last; ++task) {
            // The 32 bits that MT19937 takes from the seed; 0 would be
            // replaced by GSL's default seed.
            unsigned long s = static_cast<unsigned long>(MixSeed(seed, task) & 0xFFFFFFFFULL);
            gsl_rng_set(generator, s == 0 ? 1 : s);
            work(task, generator);
        }
        gsl_rng_free(generator);
    };
    if (threads == 1) {
        block(0, count);
        return;
    }
    std::vector<std::thread> pool;
    for (int k = 0; k < threads; ++k) {
        const int first = static_cast<int>(static_cast<long long>(count) * k / threads);
        const int last = static_cast<int>(static_cast<long long>(count) * (k + 1) / threads);
        pool.emplace_back(block, first, last);
    }
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace

bool BootstrapHighestPowers(const double *t, const double *y, const double *w, int n, int resamples,
                            std::uint64_t seed, int threads, const HighestPowerFunction &highestPower,
                            std::vector<double> &maxima)
{
    maxima.clear();
    if (n < 5 || resamples < 1)
        return false;
    maxima.assign(resamples, 0.0);
    RunSeededTasks(resamples, threads, seed, [&](int b, gsl_rng *generator) {
        std::vector<double> drawn(n), drawnWeight(w == nullptr ? 0 : n), centred;
        for (int i = 0; i < n; ++i) {
            const unsigned long j = gsl_rng_uniform_int(generator, static_cast<unsigned long>(n));
            drawn[i] = y[j];
            if (w != nullptr)
                drawnWeight[i] = w[j];
        }
        const double *weight = w == nullptr ? nullptr : drawnWeight.data();
        const double sumOfSquares = CentreWeightedValues(drawn.data(), weight, n, centred);
        maxima[b] = highestPower(t, centred.data(), weight, n, sumOfSquares);
    });
    return true;
}

BootstrapFalseAlarm BootstrapFalseAlarmOf(const std::vector<double> &maxima, double power)
{
    BootstrapFalseAlarm result;
    result.resamples = static_cast<long>(maxima.size());
    result.exceeding = static_cast<long>(std::count_if(maxima.begin(), maxima.end(), [&](double m) { return m >= power; }));
    result.probability = (1.0 + result.exceeding) / (1.0 + result.resamples);
    result.uncertainty = result.resamples > 0
                             ? std::sqrt(result.probability * (1 - result.probability) / result.resamples)
                             : NAN;
    return result;
}

bool MonteCarloPeriodSpread(const double *t, const double *model, const double *residual, const double *w, int n,
                            const MonteCarloSettings &settings, const RefitFunction &refit,
                            MonteCarloPeriods &result)
{
    result.periods.clear();
    result.failed = 0;
    result.meanPeriod = result.periodSpread = result.centralHalfWidth = NAN;
    const int count = settings.realisations;
    if (n <= settings.fittedParameters || count < 2 || (settings.noise == GaussianErrors && w == nullptr) ||
        (settings.noise == RedrawnResiduals && residual == nullptr))
        return false;
    // The residuals on the scale of unit weight, made up for the fitted
    // parameters, and each observation's own scale.
    const double inflation = std::sqrt(static_cast<double>(n) / (n - settings.fittedParameters));
    std::vector<double> unitResidual(n), scale(n);
    for (int i = 0; i < n; ++i) {
        scale[i] = w == nullptr ? 1 : 1 / std::sqrt(w[i]);
        unitResidual[i] = residual == nullptr ? 0 : residual[i] / scale[i] * inflation;
    }
    std::vector<double> frequency(count, NAN);
    std::vector<char> fitted(count, 0);
    RunSeededTasks(count, settings.threads, settings.seed, [&](int r, gsl_rng *generator) {
        std::vector<double> y(n);
        for (int i = 0; i < n; ++i) {
            const double noise =
                settings.noise == GaussianErrors
                    ? gsl_ran_gaussian_ziggurat(generator, 1.0)
                    : unitResidual[gsl_rng_uniform_int(generator, static_cast<unsigned long>(n))];
            y[i] = model[i] + noise * scale[i];
        }
        fitted[r] = refit(t, y.data(), w, n, frequency[r]) && frequency[r] > 0;
    });
    for (int r = 0; r < count; ++r) {
        if (fitted[r])
            result.periods.push_back(1 / frequency[r]);
        else
            ++result.failed;
    }
    const std::size_t m = result.periods.size();
    if (m < 2)
        return false;
    result.meanPeriod = gsl_stats_mean(result.periods.data(), 1, m);
    result.periodSpread = gsl_stats_sd_m(result.periods.data(), 1, m, result.meanPeriod);
    std::vector<double> sorted = result.periods;
    gsl_sort(sorted.data(), 1, m);
    result.centralHalfWidth = 0.5 * (gsl_stats_quantile_from_sorted_data(sorted.data(), 1, m, 0.841344746) -
                                     gsl_stats_quantile_from_sorted_data(sorted.data(), 1, m, 0.158655254));
    return true;
}
