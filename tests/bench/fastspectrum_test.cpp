// The fast spectrum kernels against the straightforward reference pass:
// every grid point of several data sets, on every kernel this processor can
// run (the plain one always), and whole passes with their spectrum files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "fastspectrum.h"
#include "fastspectrumthreads.h"

namespace {

const double AllowedDifference = 1e-12;

struct Observations {
    std::vector<double> t, y;
    double sumOfSquares;
};

// Centres the magnitudes and takes their sum of squares, as the program does.
void Centre(Observations &obs)
{
    double mean = 0;
    for (double m : obs.y)
        mean += m;
    mean /= static_cast<double>(obs.y.size());
    obs.sumOfSquares = 0;
    for (double &m : obs.y) {
        m -= mean;
        obs.sumOfSquares += m * m;
    }
}

// n uneven times from 'start' with exponential gaps of the given mean (cut
// to whole days when asked), and a noisy variable of the given period.
Observations MakeObservations(int n, double start, double meanGap, bool wholeDays, double period, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::exponential_distribution<double> gap(1 / meanGap);
    std::normal_distribution<double> noise(0, 0.1);
    Observations obs;
    double t = start;
    for (int i = 0; i < n; ++i) {
        obs.t.push_back(t);
        obs.y.push_back(10 + 0.5 * std::sin(2 * M_PI * t / period) + noise(random));
        t += wholeDays ? std::floor(gap(random)) + 1 : gap(random) + 0.001;
    }
    Centre(obs);
    return obs;
}

// The kernels this processor can run, the plain one first.
std::vector<SpectrumKernel> RunnableKernels()
{
    std::vector<SpectrumKernel> kernels;
    for (int k = SpectrumKernelPlain; k <= WidestSpectrumKernel(); ++k)
        kernels.push_back(static_cast<SpectrumKernel>(k));
    return kernels;
}

// The trial frequencies of a pass, as the pass forms them.
std::vector<double> GridFrequencies(double pmin, double pmax, long intervals)
{
    std::vector<double> frequencies;
    const double step = static_cast<double>((static_cast<long double>(pmax) - pmin) / intervals);
    for (long k = 1; k <= intervals + 1; ++k) {
        const double period = static_cast<double>(pmin + static_cast<long double>(k - 1) * step);
        frequencies.push_back(static_cast<double>(1 / static_cast<long double>(period)));
    }
    return frequencies;
}

struct Comparison {
    double largestDifference;
    int referenceZeros;   // grid points where the reference has no room
    int zerosMissed;      // of those, points where the fast power is not 0
};

Comparison CompareGrid(const Observations &obs, const std::vector<double> &frequencies)
{
    Comparison c = {0, 0, 0};
    const int n = static_cast<int>(obs.t.size());
    PrepareSpectrumTerms(obs.t.data(), obs.y.data(), n);
    for (double f : frequencies) {
        const double reference = ReferenceSpectrumPower(obs.t.data(), obs.y.data(), n, f, obs.sumOfSquares);
        const double fast = SpectrumPowerOfSums(PreparedSpectrumSums(f), n, obs.sumOfSquares);
        c.largestDifference = std::max(c.largestDifference, std::fabs(fast - reference));
        if (reference == 0) {
            ++c.referenceZeros;
            if (fast != 0)
                ++c.zerosMissed;
        }
    }
    return c;
}

class FastSpectrum : public ::testing::Test {
protected:
    void TearDown() override { SetSpectrumKernel(WidestSpectrumKernel()); }
};

TEST_F(FastSpectrum, PowersMatchTheReferenceOnEveryKernel)
{
    struct Case {
        const char *name;
        int n;
        double start, meanGap;
        bool wholeDays;
        double pmin, pmax;
        long intervals;
        int leastZeros; // grid points that must have no room
    };
    const Case cases[] = {
        // The group sizes 2, 4 and 8 leave tails of every length.
        {"five observations", 5, 47003.5684, 3, false, 0.5, 20, 400, 0},
        {"seven observations", 7, 47003.5684, 2, false, 0.5, 20, 400, 0},
        {"thirteen observations", 13, 47003.5684, 4, false, 0.3, 30, 400, 0},
        {"a season of nights", 203, 49500.37, 1.2, false, 0.1, 15, 1500, 0},
        {"the most observations", 1000, 47003.5684, 3, false, 0.2, 40, 1200, 0},
        {"one short of the most", 999, 45001.25, 7, false, 1, 400, 600, 0},
        // Whole days: periods 1 and 0.5 day put every angle on a multiple of
        // 2 pi, 2 days on multiples of pi.
        {"whole days", 120, 48000, 2, true, 0.5, 3, 10, 3},
        // Times over 55 years and periods near 0.01 day: angles above 1e7,
        // where one unit of the angle shows in the power.
        {"huge angles", 1000, 30000.123, 20, false, 0.01, 0.0102, 500, 0},
        {"huge angles, few", 37, 30000.123, 500, false, 0.01, 0.0102, 1500, 0},
        // More observations than one cached block holds.
        {"several blocks", 20000, 40000.5, 1, false, 0.3, 30, 20, 0},
    };
    for (const Case &c : cases) {
        const Observations obs = MakeObservations(c.n, c.start, c.meanGap, c.wholeDays, 7.3, 1993);
        const std::vector<double> frequencies = GridFrequencies(c.pmin, c.pmax, c.intervals);
        for (SpectrumKernel kernel : RunnableKernels()) {
            ASSERT_EQ(SetSpectrumKernel(kernel), kernel);
            const Comparison result = CompareGrid(obs, frequencies);
            EXPECT_LE(result.largestDifference, AllowedDifference) << c.name << ", " << SpectrumKernelName(kernel);
            EXPECT_GE(result.referenceZeros, c.leastZeros) << c.name << ", " << SpectrumKernelName(kernel);
            EXPECT_EQ(result.zerosMissed, 0) << c.name << ", " << SpectrumKernelName(kernel);
        }
    }
}

TEST_F(FastSpectrum, CoincidingTimesAndPeriodsGiveNoPower)
{
    // Observations twice at the same instant (angle 0 in a lane of its own),
    // and angles that all coincide.
    Observations obs;
    const double times[] = {47000.0, 47000.0, 47001.0, 47003.0, 47003.0, 47004.0, 47010.0, 47011.0, 47020.0};
    for (double t : times) {
        obs.t.push_back(t);
        obs.y.push_back(std::fmod(t, 3.0));
    }
    Centre(obs);
    for (SpectrumKernel kernel : RunnableKernels()) {
        SetSpectrumKernel(kernel);
        const Comparison result = CompareGrid(obs, {1.0, 2.0, 1 / 3.0, 0.25, 0.7, 1 / 7.5});
        EXPECT_GE(result.referenceZeros, 2) << SpectrumKernelName(kernel);
        EXPECT_EQ(result.zerosMissed, 0) << SpectrumKernelName(kernel);
        EXPECT_LE(result.largestDifference, AllowedDifference) << SpectrumKernelName(kernel);
    }
}

TEST_F(FastSpectrum, PureSineHasPowerOneAtItsPeriod)
{
    Observations obs;
    for (double t : {0.3, 1.1, 2.7, 3.2, 4.9}) {
        obs.t.push_back(47000 + t);
        obs.y.push_back(3 + std::sin(2 * M_PI * (47000 + t) / 2 + 0.4));
    }
    Centre(obs);
    for (SpectrumKernel kernel : RunnableKernels()) {
        SetSpectrumKernel(kernel);
        PrepareSpectrumTerms(obs.t.data(), obs.y.data(), 5);
        EXPECT_NEAR(SpectrumPowerOfSums(PreparedSpectrumSums(0.5), 5, obs.sumOfSquares), 1, 1e-9)
            << SpectrumKernelName(kernel);
    }
}

// The observations of a Julian-date file or an observation file of the
// test data, at most 'limit' of them, centred.
Observations ReadTestObservations(const std::string &name, std::size_t limit)
{
    std::ifstream in(std::string(TEST_DATA_FOLDER) + "/" + name);
    const bool julian = name.find(".jud") != std::string::npos;
    Observations obs;
    std::string line;
    while (obs.t.size() < limit && std::getline(in, line)) {
        std::istringstream fields(line);
        double date, time = 0, magnitude;
        if (!(fields >> date) || (!julian && !(fields >> time)) || !(fields >> magnitude))
            continue;
        if (!julian) {
            const long yymmdd = std::lround(date);
            const double hours = std::floor(time);
            date = JulianDateOf(static_cast<int>(yymmdd % 100), static_cast<int>(yymmdd / 100 % 100),
                                1900 + static_cast<double>(yymmdd / 10000), static_cast<int>(hours),
                                static_cast<int>(std::lround((time - hours) * 100)));
        }
        obs.t.push_back(date);
        obs.y.push_back(magnitude);
    }
    Centre(obs);
    return obs;
}

TEST_F(FastSpectrum, ObservationsOfTheTestDataMatchTheReference)
{
    for (const char *name : {"tcas.jud", "sori.jud", "delcep.dat"}) {
        const Observations obs = ReadTestObservations(name, MaxObservations);
        ASSERT_GT(obs.t.size(), 300u) << name;
        const std::vector<double> frequencies = GridFrequencies(0.05, 100, 3000);
        for (SpectrumKernel kernel : RunnableKernels()) {
            SetSpectrumKernel(kernel);
            const Comparison result = CompareGrid(obs, frequencies);
            EXPECT_LE(result.largestDifference, AllowedDifference) << name << ", " << SpectrumKernelName(kernel);
            EXPECT_EQ(result.zerosMissed, 0) << name << ", " << SpectrumKernelName(kernel);
        }
    }
}

std::vector<std::string> FileLines(const std::string &name)
{
    std::vector<std::string> lines;
    std::ifstream in(name);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

TEST_F(FastSpectrum, PassWritesTheReferenceFile)
{
    const Observations obs = MakeObservations(611, 47003.5684, 4, false, 7.3, 7);
    ObservationCount = static_cast<int>(obs.t.size());
    for (int i = 0; i < ObservationCount; ++i) {
        JulianDates[i + 1] = obs.t[static_cast<std::size_t>(i)];
        Magnitudes[i + 1] = obs.y[static_cast<std::size_t>(i)];
    }
    SumOfSquares = obs.sumOfSquares;
    char folder[] = "/tmp/fastspectrum_test.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string referenceName = std::string(folder) + "/reference.ven";
    const std::string fastName = std::string(folder) + "/fast.ven";
    const long intervals = 1999;
    const SpectrumResult reference = ReferenceComputeSpectrum(0.5, 30, intervals, referenceName);
    const std::vector<std::string> referenceLines = FileLines(referenceName);
    ASSERT_EQ(referenceLines.size(), static_cast<std::size_t>(intervals + 1));
    for (SpectrumKernel kernel : RunnableKernels()) {
        SetSpectrumKernel(kernel);
        const SpectrumResult fast = ComputeSpectrum(0.5, 30, intervals, fastName);
        EXPECT_EQ(fast.periodOfMaximum, reference.periodOfMaximum) << SpectrumKernelName(kernel);
        EXPECT_NEAR(fast.maximumPower, reference.maximumPower, AllowedDifference) << SpectrumKernelName(kernel);
        const std::vector<std::string> fastLines = FileLines(fastName);
        ASSERT_EQ(fastLines.size(), referenceLines.size()) << SpectrumKernelName(kernel);
        double largest = 0;
        for (std::size_t k = 0; k < fastLines.size(); ++k) {
            ASSERT_EQ(fastLines[k].size(), 48u);
            ASSERT_EQ(fastLines[k].substr(0, 25), referenceLines[k].substr(0, 25)) << "line " << k + 1;
            largest = std::max(largest, std::fabs(std::strtod(fastLines[k].c_str() + 25, nullptr) -
                                                  std::strtod(referenceLines[k].c_str() + 25, nullptr)));
        }
        EXPECT_LE(largest, AllowedDifference) << SpectrumKernelName(kernel);
    }
    std::remove(referenceName.c_str());
    std::remove(fastName.c_str());
    rmdir(folder);
}

TEST_F(FastSpectrum, KernelChoiceNarrowsToTheProcessor)
{
    EXPECT_EQ(SetSpectrumKernel(SpectrumKernelPlain), SpectrumKernelPlain);
    EXPECT_EQ(ActiveSpectrumKernel(), SpectrumKernelPlain);
    EXPECT_EQ(SetSpectrumKernel(SpectrumKernelAvx512), WidestSpectrumKernel());
    EXPECT_EQ(ActiveSpectrumKernel(), WidestSpectrumKernel());
}

std::string FileBytes(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A spectrum file written by ComputeSpectrumOf into a fresh folder.
class SpectrumFiles : public FastSpectrum {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(folder), nullptr); }
    void TearDown() override
    {
        std::remove(Name().c_str());
        rmdir(folder);
        SetSpectrumThreads(0);
        FastSpectrum::TearDown();
    }
    std::string Name() const { return std::string(folder) + "/pass.ven"; }
    std::string Pass(const Observations &obs, double pmin, double pmax, long intervals)
    {
        ComputeSpectrumOf(obs.t.data(), obs.y.data(), static_cast<int>(obs.t.size()), obs.sumOfSquares, pmin, pmax,
                          intervals, Name());
        return FileBytes(Name());
    }
    char folder[32] = "/tmp/fastspectrum_test.XXXXXX";
};

struct PassCase {
    const char *name;
    Observations obs;
    double pmin, pmax;
    long intervals;
};

// Real files (one of them longer than the dialogue's old limit of 1000) and
// made-up extremes: dates over a whole century with periods of 0.05 to 1
// day, and whole-day times where some periods leave no room for a fit.
std::vector<PassCase> PassCases()
{
    return {
        {"delcep.dat", ReadTestObservations("delcep.dat", 100000), 0.5, 30, 2000},
        {"sori.jud", ReadTestObservations("sori.jud", 100000), 10, 1000, 1500},
        {"a century", MakeObservations(700, 15020.25, 52, false, 0.3127, 11), 0.05, 1, 3000},
        {"whole days", MakeObservations(300, 48000, 2, true, 3.7, 5), 0.5, 3, 500},
    };
}

TEST_F(SpectrumFiles, EveryKernelWritesTheSameBytes)
{
    for (const PassCase &c : PassCases()) {
        SetSpectrumKernel(SpectrumKernelPlain);
        const std::string plain = Pass(c.obs, c.pmin, c.pmax, c.intervals);
        ASSERT_EQ(plain.size(), static_cast<std::size_t>(c.intervals + 1) * 49) << c.name;
        for (SpectrumKernel kernel : RunnableKernels()) {
            SetSpectrumKernel(kernel);
            EXPECT_TRUE(Pass(c.obs, c.pmin, c.pmax, c.intervals) == plain)
                << c.name << ", " << SpectrumKernelName(kernel);
        }
        // And the powers stay those of the reference.
        const std::vector<double> frequencies = GridFrequencies(c.pmin, c.pmax, c.intervals);
        const int n = static_cast<int>(c.obs.t.size());
        double largest = 0;
        for (long k = 0; k <= c.intervals; k += 7) {
            const double power = std::strtod(plain.c_str() + k * 49 + 25, nullptr);
            largest = std::max(largest, std::fabs(power - ReferenceSpectrumPower(c.obs.t.data(), c.obs.y.data(), n,
                                                                                  frequencies[k], c.obs.sumOfSquares)));
        }
        EXPECT_LE(largest, AllowedDifference) << c.name;
    }
}

TEST_F(SpectrumFiles, ThreadsWriteTheSameBytes)
{
    for (const PassCase &c : PassCases()) {
        SetSpectrumThreads(1);
        const std::string single = Pass(c.obs, c.pmin, c.pmax, c.intervals);
        for (int threads : {2, 3}) {
            SetSpectrumThreads(threads);
            EXPECT_TRUE(Pass(c.obs, c.pmin, c.pmax, c.intervals) == single) << c.name << ", " << threads << " threads";
        }
    }
}

TEST(FastSpectrumThreads, LargePassesUseEveryCore)
{
    const struct {
        int setting, n;
        long points;
        bool everyCore;
        int threads;
    } cases[] = {
        {0, 1000, 100000, false, 1},       // 10^8 terms: one thread
        {0, 1000, 100001, true, 0},        // beyond: every core
        {0, 1000000, 200, true, 0},
        {3, 5, 10, false, 3},              // a set number holds for any pass
    };
    for (const auto &c : cases) {
        SetSpectrumThreads(c.setting);
        const int threads = SpectrumPassThreads(c.n, c.points);
        cpu_set_t usable;
        ASSERT_EQ(sched_getaffinity(0, sizeof usable, &usable), 0);
        if (c.everyCore)
            EXPECT_EQ(threads, CPU_COUNT(&usable)) << c.n << " x " << c.points;
        else
            EXPECT_EQ(threads, c.threads) << c.n << " x " << c.points;
    }
    SetSpectrumThreads(0);
}

TEST(FastSpectrumEnvironment, NamedKernelIsUsedFromTheStart)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Each case runs in a fresh process, where no kernel was chosen yet.
    const struct {
        const char *name;
        SpectrumKernel kernel;
    } cases[] = {{"plain", SpectrumKernelPlain}, {"avx2", SpectrumKernelAvx2}, {"avx512", SpectrumKernelAvx512}};
    for (const auto &c : cases) {
        const SpectrumKernel expected = std::min(c.kernel, WidestSpectrumKernel());
        EXPECT_EXIT(
            {
                setenv("KALIDOR_SPECTRUM_KERNEL", c.name, 1);
                std::exit(ActiveSpectrumKernel() == expected ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << c.name;
    }
}

TEST(FastSpectrumEnvironment, NameOfNoKernelIsRefused)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char *name : {"unknown", "AVX2", "avx"}) {
        EXPECT_EXIT(
            {
                setenv("KALIDOR_SPECTRUM_KERNEL", name, 1);
                ActiveSpectrumKernel();
                std::exit(0);
            },
            ::testing::ExitedWithCode(1), "names no spectrum kernel")
            << name;
    }
}

} // namespace
