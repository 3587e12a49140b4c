// The transform's sums against a straightforward loop with exact phases, its
// powers against the program's exact kernels on every real file and on a
// century of made-up observations up to 100 cycles per day, the same
// results on any number of threads, and the refusals of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fastspectrum.h"
#include "nufft.h"

namespace {

const double AllowedPowerDifference = 1e-10;
// The sums are held to this share of sum |w| (or sum |w y|).
const double AllowedSumShare = 1e-12;

struct Observations {
    std::vector<double> t, y, w; // w empty: all weights 1
    double sumOfSquares;
};

const double *WeightsOf(const Observations &obs)
{
    return obs.w.empty() ? nullptr : obs.w.data();
}

double SpanOf(const Observations &obs)
{
    const auto range = std::minmax_element(obs.t.begin(), obs.t.end());
    return *range.second - *range.first;
}

// Centres the magnitudes (weighted mean) and takes sum w y^2.
void Centre(Observations &obs)
{
    long double mean = 0, total = 0;
    for (std::size_t i = 0; i < obs.y.size(); ++i) {
        const double w = obs.w.empty() ? 1 : obs.w[i];
        mean += w * static_cast<long double>(obs.y[i]);
        total += w;
    }
    mean /= total;
    long double squares = 0;
    for (std::size_t i = 0; i < obs.y.size(); ++i) {
        obs.y[i] = static_cast<double>(obs.y[i] - mean);
        squares += (obs.w.empty() ? 1 : obs.w[i]) * static_cast<long double>(obs.y[i]) * obs.y[i];
    }
    obs.sumOfSquares = static_cast<double>(squares);
}

// A real file of tests/data: a Julian-date file (reduced date, magnitude),
// or a table of Julian dates (tab- or comma-separated; limits written
// "<m" or ">m" and, for a table with bands, bands other than V and Vis.
// left out).
Observations ReadObservations(const std::string &name)
{
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    EXPECT_TRUE(in.good()) << name;
    const bool table = name.find(".jud") == std::string::npos;
    Observations obs;
    std::string line;
    while (std::getline(in, line)) {
        if (!table) {
            std::istringstream fields(line);
            double t = 0, m = 0;
            if (fields >> t >> m) {
                obs.t.push_back(t);
                obs.y.push_back(m);
            }
            continue;
        }
        std::replace(line.begin(), line.end(), ',', '\t');
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 2 || fields[1].empty() || fields[1][0] == '<' || fields[1][0] == '>')
            continue;
        if (fields.size() >= 5 && fields[4] != "V" && fields[4] != "Vis.")
            continue;
        obs.t.push_back(std::stod(fields[0]) - 2400000);
        obs.y.push_back(std::stod(fields[1]));
    }
    Centre(obs);
    return obs;
}

// n times with exponential gaps of the given mean from 'start' (shuffled when
// asked, so that t[0] is not the earliest), a sine of the given frequency
// and amplitude with noise, and weights from 0 to 3 when asked.
Observations MakeObservations(long n, double start, double meanGap, double frequency, double amplitude, double noise,
                              bool shuffled, bool weighted, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / meanGap);
    std::normal_distribution<double> scatter(0, noise);
    std::uniform_real_distribution<double> weight(0, 3);
    Observations obs;
    double t = start;
    for (long i = 0; i < n; ++i) {
        obs.t.push_back(t);
        obs.y.push_back(amplitude * std::sin(2 * M_PI * frequency * t + 0.3) + scatter(random));
        if (weighted)
            obs.w.push_back(weight(random));
        t += gap(random);
    }
    if (shuffled) {
        std::vector<std::size_t> order(obs.t.size());
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        Observations mixed = obs;
        for (std::size_t i = 0; i < order.size(); ++i) {
            mixed.t[i] = obs.t[order[i]];
            mixed.y[i] = obs.y[order[i]];
            if (weighted)
                mixed.w[i] = obs.w[order[i]];
        }
        obs = mixed;
    }
    Centre(obs);
    return obs;
}

// n observations in three nights of six hours, spread over 1000 days.
Observations MakeClusteredObservations(long n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> hour(0, 0.25);
    std::normal_distribution<double> scatter(0, 0.2);
    Observations obs;
    const double nights[] = {51000.1, 51400.7, 52000.3};
    for (long i = 0; i < n; ++i) {
        const double t = nights[i % 3] + hour(random);
        obs.t.push_back(t);
        obs.y.push_back(std::sin(2 * M_PI * t / 0.37) + scatter(random));
    }
    Centre(obs);
    return obs;
}

// The six sums at frequency f, straightforwardly: each phase f (t - t[0])
// in quadruple precision (the product of two doubles is exact there), its
// whole cycles dropped, then cos and sin in extended precision.
struct ReferenceSums {
    long double c1 = 0, s1 = 0, c2 = 0, s2 = 0, yc = 0, ys = 0;
};

ReferenceSums StraightSums(const Observations &obs, double f)
{
    const long double twoPi = 6.283185307179586476925286766559L;
    ReferenceSums sums;
    for (std::size_t i = 0; i < obs.t.size(); ++i) {
        const __float128 cycles = static_cast<__float128>(f) * (static_cast<__float128>(obs.t[i]) - obs.t[0]);
        const __float128 turn = cycles - static_cast<__float128>(static_cast<long long>(cycles));
        const long double angle = twoPi * static_cast<long double>(turn);
        const long double w = obs.w.empty() ? 1 : obs.w[i];
        sums.c1 += w * std::cos(angle);
        sums.s1 += w * std::sin(angle);
        sums.c2 += w * std::cos(2 * angle);
        sums.s2 += w * std::sin(2 * angle);
        sums.yc += w * obs.y[i] * std::cos(angle);
        sums.ys += w * obs.y[i] * std::sin(angle);
    }
    return sums;
}

// The exact kernels' powers at the given frequencies (the program's fast
// pass: its sums of each frequency, then its power formula).
std::vector<double> ExactPowers(const Observations &obs, const std::vector<double> &frequencies)
{
    const int n = static_cast<int>(obs.t.size());
    PrepareSpectrumTerms(obs.t.data(), obs.y.data(), n);
    std::vector<double> powers(frequencies.size());
    const std::size_t batch = 4096;
    std::vector<SpectrumSums> sums(batch);
    for (std::size_t first = 0; first < frequencies.size(); first += batch) {
        const int count = static_cast<int>(std::min(batch, frequencies.size() - first));
        PreparedSpectrumSumsOf(frequencies.data() + first, count, sums.data());
        for (int j = 0; j < count; ++j)
            powers[first + static_cast<std::size_t>(j)] = SpectrumPowerOfSums(sums[static_cast<std::size_t>(j)], n,
                                                                              obs.sumOfSquares);
    }
    return powers;
}

// Grid indices to check: both ends, the middle and random ones.
std::vector<long> SampledIndices(long intervals, int randomCount, unsigned seed)
{
    std::vector<long> k;
    for (long i = 0; i < 4; ++i)
        k.insert(k.end(), {i, intervals - i, intervals / 2 - 2 + i});
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<long> any(0, intervals);
    for (int i = 0; i < randomCount; ++i)
        k.push_back(any(random));
    k.erase(std::remove_if(k.begin(), k.end(), [&](long i) { return i < 0 || i > intervals; }), k.end());
    return k;
}

struct SumsCase {
    const char *name;
    Observations obs;
    double pmin, pmax;
    int samples;
};

std::vector<SumsCase> SumsCases()
{
    std::vector<SumsCase> cases;
    cases.push_back({"nightly for 8 years", MakeObservations(3000, 47003.57, 1, 1 / 7.3, 0.4, 0.1, false, false, 1),
                     0.5, 100, 60});
    cases.push_back({"three nights", MakeClusteredObservations(600, 2), 0.05, 20, 60});
    cases.push_back({"shuffled and weighted", MakeObservations(2000, 50000.2, 2, 1 / 3.1, 0.3, 0.2, true, true, 3),
                     0.3, 50, 60});
    cases.push_back({"a century up to 100 per day",
                     MakeObservations(3000, 15020.31, 12.2, 99.7, 0.3, 0.05, false, false, 4), 0.01, 1.0 / 99, 40});
    cases.push_back({"one observation", MakeObservations(1, 50000.5, 1, 1, 0.3, 0.1, false, false, 5), 1, 10, 20});
    Observations same = MakeObservations(10, 50000.5, 1, 1, 0.3, 0.1, false, true, 6);
    std::fill(same.t.begin(), same.t.end(), 50000.5);
    cases.push_back({"equal times", same, 1, 10, 20});
    return cases;
}

TEST(FastSums, MatchTheStraightforwardSumsWithExactPhases)
{
    for (const SumsCase &c : SumsCases()) {
        const Observations &obs = c.obs;
        const double span = std::max(SpanOf(obs), 1.0);
        const FrequencyGrid grid = MakeFrequencyGrid(c.pmin, c.pmax, span, 10);
        ASSERT_EQ(grid.status, NufftOk) << c.name;
        const long n = static_cast<long>(obs.t.size());
        const FastSums sums = ComputeFastSums(obs.t.data(), obs.y.data(), WeightsOf(obs), n, grid, 1);
        ASSERT_EQ(sums.status, NufftOk) << c.name;
        ASSERT_EQ(static_cast<long>(sums.c1.size()), grid.intervals + 1) << c.name;
        long double weights = 0, values = 0;
        for (long i = 0; i < n; ++i) {
            const double w = obs.w.empty() ? 1 : obs.w[static_cast<std::size_t>(i)];
            weights += w;
            values += w * std::fabs(obs.y[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(sums.weightSum, static_cast<double>(weights)) << c.name;
        const double allowedW = AllowedSumShare * static_cast<double>(weights);
        const double allowedY = AllowedSumShare * static_cast<double>(values);
        for (long k : SampledIndices(grid.intervals, c.samples, 7)) {
            const ReferenceSums ref = StraightSums(obs, GridFrequency(grid, k));
            const std::size_t j = static_cast<std::size_t>(k);
            EXPECT_NEAR(sums.c1[j], ref.c1, allowedW) << c.name << " k " << k;
            EXPECT_NEAR(sums.s1[j], ref.s1, allowedW) << c.name << " k " << k;
            EXPECT_NEAR(sums.c2[j], ref.c2, allowedW) << c.name << " k " << k;
            EXPECT_NEAR(sums.s2[j], ref.s2, allowedW) << c.name << " k " << k;
            EXPECT_NEAR(sums.yc[j], ref.yc, allowedY) << c.name << " k " << k;
            EXPECT_NEAR(sums.ys[j], ref.ys, allowedY) << c.name << " k " << k;
        }
    }
}

TEST(FastSums, NoObservationsGiveZeroSums)
{
    const FrequencyGrid grid = MakeFrequencyGrid(1, 10, 100, 10);
    const FastSums sums = ComputeFastSums(nullptr, nullptr, nullptr, 0, grid, 2);
    ASSERT_EQ(sums.status, NufftOk);
    EXPECT_EQ(sums.weightSum, 0);
    for (const std::vector<double> *v : {&sums.c1, &sums.s1, &sums.c2, &sums.s2, &sums.yc, &sums.ys}) {
        ASSERT_EQ(static_cast<long>(v->size()), grid.intervals + 1);
        EXPECT_EQ(*std::max_element(v->begin(), v->end()), 0);
        EXPECT_EQ(*std::min_element(v->begin(), v->end()), 0);
    }
}

// The transform's powers of the grid (empty on failure).
std::vector<double> FastPowers(const Observations &obs, const FrequencyGrid &grid)
{
    std::vector<double> fast;
    const long n = static_cast<long>(obs.t.size());
    EXPECT_EQ(ComputeFastPowers(obs.t.data(), obs.y.data(), nullptr, n, grid, obs.sumOfSquares, 1, fast), NufftOk);
    return fast;
}

// The largest difference of the transform's powers from the exact kernels'
// at the grid indices given (all of them when 'indices' is empty).
double LargestPowerDifference(const Observations &obs, const FrequencyGrid &grid, const std::vector<double> &fast,
                              std::vector<long> indices)
{
    if (fast.empty())
        return INFINITY;
    if (indices.empty()) {
        indices.resize(fast.size());
        std::iota(indices.begin(), indices.end(), 0L);
    }
    std::vector<double> frequencies;
    for (long k : indices)
        frequencies.push_back(GridFrequency(grid, k));
    const std::vector<double> exact = ExactPowers(obs, frequencies);
    double largest = 0;
    for (std::size_t i = 0; i < indices.size(); ++i)
        largest = std::max(largest, std::fabs(fast[static_cast<std::size_t>(indices[i])] - exact[i]));
    return largest;
}

struct RealCase {
    const char *file;
    double pmin, pmax;
};

const RealCase RealCases[] = {
    {"delcep.tsv", 0.5, 50},
    {"sscyg-sample.csv", 0.3, 300},
    {"sori.jud", 0.5, 1000},
    {"tcas.jud", 0.5, 2000},
};

TEST(FastPowers, MatchTheExactKernelsEverywhereOnRealData)
{
    for (const RealCase &c : RealCases) {
        const Observations obs = ReadObservations(c.file);
        ASSERT_GT(obs.t.size(), 300u) << c.file;
        const FrequencyGrid grid = MakeFrequencyGrid(c.pmin, c.pmax, SpanOf(obs), 10);
        ASSERT_EQ(grid.status, NufftOk) << c.file;
        EXPECT_LE(LargestPowerDifference(obs, grid, FastPowers(obs, grid), {}), AllowedPowerDifference) << c.file;
    }
}

TEST(FastPowers, MatchTheExactKernelsOverACenturyUpTo100PerDay)
{
    // 65,000 observations over 100 years; a strong sine of 99.63 per day.
    const Observations obs = MakeObservations(65000, 15020.31, 36500.0 / 65000, 99.63, 0.3, 0.03, false, false, 11);
    ASSERT_GT(SpanOf(obs), 36000);
    const FrequencyGrid grid = MakeFrequencyGrid(0.01, 1.0 / 99, SpanOf(obs), 10);
    ASSERT_EQ(grid.status, NufftOk);
    const std::vector<double> fast = FastPowers(obs, grid);
    ASSERT_FALSE(fast.empty());
    const long strongest = std::max_element(fast.begin(), fast.end()) - fast.begin();
    EXPECT_NEAR(GridFrequency(grid, strongest), 99.63, 2 * grid.step);
    EXPECT_GT(fast[static_cast<std::size_t>(strongest)], 0.9);
    // Random points of the grid and the whole peak with its side lobes.
    std::vector<long> indices = SampledIndices(grid.intervals, 1500, 12);
    for (long k = strongest - 300; k <= strongest + 300; ++k)
        if (k >= 0 && k <= grid.intervals)
            indices.push_back(k);
    EXPECT_LE(LargestPowerDifference(obs, grid, fast, indices), AllowedPowerDifference);
}

TEST(FastPowers, AreExactWhereTheFitHasLittleRoom)
{
    // A strictly even 2-minute cadence: at 720 per day every phase is the
    // same, and near it the fit is all but degenerate.  The grid runs
    // through it at 1000 points per peak width.
    std::vector<double> t;
    for (int i = 0; i < 1500; ++i)
        t.push_back(58000.25 + i * (2.0 / 1440));
    Observations obs = MakeObservations(1500, 0, 1, 1 / 0.37, 0.3, 0.05, false, false, 51);
    obs.t = t;
    const FrequencyGrid grid = MakeFrequencyGrid(1 / 720.05, 1 / 719.95, SpanOf(obs), 1000);
    ASSERT_EQ(grid.status, NufftOk);
    const std::vector<double> fast = FastPowers(obs, grid);
    ASSERT_EQ(static_cast<long>(fast.size()), grid.intervals + 1);
    const double n = static_cast<double>(obs.t.size());
    double largest = 0;
    for (long k = 0; k <= grid.intervals; ++k) {
        const ReferenceSums r = StraightSums(obs, GridFrequency(grid, k));
        const GridSums sums = {static_cast<double>((n + r.c2) / 2), static_cast<double>(r.c1),
                               static_cast<double>((n - r.c2) / 2), static_cast<double>(r.s1),
                               static_cast<double>(r.s2 / 2),       static_cast<double>(r.yc),
                               static_cast<double>(r.ys)};
        largest = std::max(largest, std::fabs(fast[static_cast<std::size_t>(k)] -
                                              GridPowerOfSums(sums, n, obs.sumOfSquares)));
    }
    EXPECT_LE(largest, AllowedPowerDifference);
}

TEST(FastPowers, OfObservationsAllAtOneTimeAreNone)
{
    // No fit has room at any frequency: every power is 0, as the exact
    // kernels give, without summing term by term at every frequency.
    Observations obs = MakeObservations(5000, 0, 1, 1, 0.3, 0.1, false, false, 71);
    std::fill(obs.t.begin(), obs.t.end(), 51234.5678);
    const FrequencyGrid grid = MakeFrequencyGrid(0.1, 10, 100, 10);
    const std::vector<double> fast = FastPowers(obs, grid);
    ASSERT_EQ(static_cast<long>(fast.size()), grid.intervals + 1);
    EXPECT_EQ(*std::max_element(fast.begin(), fast.end()), 0);
    const std::vector<double> exact = ExactPowers(obs, {GridFrequency(grid, 0), GridFrequency(grid, grid.intervals)});
    EXPECT_EQ(exact[0], 0);
    EXPECT_EQ(exact[1], 0);
}

TEST(FastPowers, AreThePowersOfTheFastSums)
{
    // Uneven times: no fit here has the little room that makes the powers
    // take their sums again one term at a time.
    const Observations obs = MakeObservations(1500, 48000.1, 1.5, 1 / 5.37, 0.3, 0.1, true, true, 21);
    const FrequencyGrid grid = MakeFrequencyGrid(0.4, 40, SpanOf(obs), 10);
    const long n = static_cast<long>(obs.t.size());
    const FastSums sums = ComputeFastSums(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, 1);
    std::vector<double> powers;
    ASSERT_EQ(ComputeFastPowers(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, obs.sumOfSquares, 1, powers),
              NufftOk);
    ASSERT_EQ(powers.size(), sums.c1.size());
    for (std::size_t k = 0; k < powers.size(); ++k)
        ASSERT_EQ(powers[k], GridPowerOfSums(SumsAtGridFrequency(sums, static_cast<long>(k)), sums.weightSum,
                                             obs.sumOfSquares))
            << k;
}

TEST(GridPowerOfSums, IsTheProgramsPowerFormula)
{
    // Sums of real frequencies, then shaken and made degenerate: the two
    // formulas must give the very same double everywhere.
    const Observations obs = ReadObservations("sori.jud");
    const int n = static_cast<int>(obs.t.size());
    PrepareSpectrumTerms(obs.t.data(), obs.y.data(), n);
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> frequency(1e-5, 2), shake(-1e-6, 1e-6);
    for (int i = 0; i < 3000; ++i) {
        SpectrumSums s = PreparedSpectrumSums(frequency(random));
        if (i % 3 == 1)
            for (double *v : {&s.scc, &s.sc, &s.sss, &s.ss, &s.ssc})
                *v *= 1 + shake(random);
        if (i % 7 == 2) // all angles 0: no room for the fit
            s = {static_cast<double>(n), static_cast<double>(n), 0, 0, 0, s.syc, 0};
        if (i % 11 == 3)
            s.sys = std::numeric_limits<double>::quiet_NaN();
        const GridSums g = {s.scc, s.sc, s.sss, s.ss, s.ssc, s.syc, s.sys};
        const double program = SpectrumPowerOfSums(s, n, obs.sumOfSquares);
        const double ours = GridPowerOfSums(g, n, obs.sumOfSquares);
        ASSERT_TRUE(program == ours || (std::isnan(program) && std::isnan(ours))) << i;
    }
}

TEST(FastSums, AreTheSameToTheLastBitOnAnyNumberOfThreads)
{
    const Observations obs = MakeObservations(20000, 55000.3, 0.05, 1 / 0.37, 0.2, 0.05, true, true, 41);
    const FrequencyGrid grid = MakeFrequencyGrid(0.1, 30, SpanOf(obs), 10);
    const long n = static_cast<long>(obs.t.size());
    const FastSums one = ComputeFastSums(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, 1);
    ASSERT_EQ(one.status, NufftOk);
    std::vector<double> onePowers;
    ASSERT_EQ(ComputeFastPowers(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, obs.sumOfSquares, 1, onePowers),
              NufftOk);
    const std::size_t bytes = one.c1.size() * sizeof(double);
    for (int threads : {0, 2, 3, 4, 7}) {
        const FastSums many = ComputeFastSums(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, threads);
        ASSERT_EQ(many.status, NufftOk) << threads;
        EXPECT_EQ(many.weightSum, one.weightSum);
        EXPECT_EQ(std::memcmp(many.c1.data(), one.c1.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(many.s1.data(), one.s1.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(many.c2.data(), one.c2.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(many.s2.data(), one.s2.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(many.yc.data(), one.yc.data(), bytes), 0) << threads;
        EXPECT_EQ(std::memcmp(many.ys.data(), one.ys.data(), bytes), 0) << threads;
        std::vector<double> powers;
        ASSERT_EQ(ComputeFastPowers(obs.t.data(), obs.y.data(), obs.w.data(), n, grid, obs.sumOfSquares, threads,
                                    powers),
                  NufftOk);
        EXPECT_EQ(std::memcmp(powers.data(), onePowers.data(), bytes), 0) << threads;
    }
}

TEST(FastPowers, RunSideBySideFromSeveralThreads)
{
    // Three stars at once, each on its own thread, as a survey run does:
    // each gets what it gets alone.
    std::vector<Observations> stars;
    std::vector<FrequencyGrid> grids;
    for (unsigned star = 0; star < 3; ++star) {
        stars.push_back(MakeObservations(3000 + 500 * star, 50000.1 * (star + 1), 0.7, 1 / (2.1 + star), 0.3, 0.1,
                                         false, false, 61 + star));
        grids.push_back(MakeFrequencyGrid(0.2 + 0.1 * star, 30, SpanOf(stars.back()), 10));
    }
    std::vector<std::vector<double>> alone(3), together(3);
    for (std::size_t i = 0; i < 3; ++i)
        alone[i] = FastPowers(stars[i], grids[i]);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 3; ++i)
        threads.emplace_back([&, i] {
            const Observations &obs = stars[i];
            ComputeFastPowers(obs.t.data(), obs.y.data(), nullptr, static_cast<long>(obs.t.size()), grids[i],
                              obs.sumOfSquares, 1, together[i]);
        });
    for (std::thread &thread : threads)
        thread.join();
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_FALSE(alone[i].empty()) << i;
        EXPECT_TRUE(alone[i] == together[i]) << i;
    }
}

TEST(FastTransformIsCheaper, PicksTheExactKernelsForFewObservationsOnly)
{
    struct Case {
        long n, frequencies;
        bool fast;
    };
    const Case cases[] = {
        {1, 1000000, false},    {10, 32767, false}, {20, 100001, false}, {1000, 32767, true},
        {20000, 100001, true},  {65000, 730000, true}, {500, 1, false},   {1000000, 2, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FastTransformIsCheaper(c.n, c.frequencies), c.fast) << c.n << " x " << c.frequencies;
}

TEST(FastSums, RefuseBadInput)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const FrequencyGrid grid = MakeFrequencyGrid(1, 10, 100, 10);
    FrequencyGrid forged = grid;
    forged.step = 0;
    struct Case {
        const char *name;
        std::vector<double> t, y, w;
        long n;
        FrequencyGrid grid;
        NufftStatus status;
    };
    const std::vector<Case> cases = {
        {"time not a number", {1, nan, 3}, {0, 1, 0}, {}, 3, grid, NufftBadObservations},
        {"magnitude infinite", {1, 2, 3}, {0, inf, 0}, {}, 3, grid, NufftBadObservations},
        {"weight below 0", {1, 2, 3}, {0, 1, 0}, {1, -1, 1}, 3, grid, NufftBadObservations},
        {"weight not a number", {1, 2, 3}, {0, 1, 0}, {1, nan, 1}, 3, grid, NufftBadObservations},
        {"count below 0", {1, 2, 3}, {0, 1, 0}, {}, -1, grid, NufftBadObservations},
        {"no times", {}, {0, 1, 0}, {}, 3, grid, NufftBadObservations},
        {"refused grid", {1, 2, 3}, {0, 1, 0}, {}, 3, MakeFrequencyGrid(0, 1, 1, 1), NufftBadGrid},
        {"forged grid", {1, 2, 3}, {0, 1, 0}, {}, 3, forged, NufftBadGrid},
    };
    for (const Case &c : cases) {
        const double *t = c.t.empty() ? nullptr : c.t.data();
        const double *w = c.w.empty() ? nullptr : c.w.data();
        const FastSums sums = ComputeFastSums(t, c.y.data(), w, c.n, c.grid, 1);
        EXPECT_EQ(sums.status, c.status) << c.name;
        EXPECT_TRUE(sums.c1.empty() && sums.ys.empty()) << c.name;
        std::vector<double> powers = {1, 2};
        EXPECT_EQ(ComputeFastPowers(t, c.y.data(), w, c.n, c.grid, 1, 1, powers), c.status) << c.name;
        EXPECT_TRUE(powers.empty()) << c.name;
    }
}

} // namespace
