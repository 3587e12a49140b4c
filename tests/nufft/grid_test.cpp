// The even frequency grid: which ranges it accepts, that its last frequency
// is the first to reach 1 / pmin, that every frequency is a double without
// rounding, and the periods in increasing order.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "nufft.h"

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

// The quantum that all frequencies of an accepted grid are multiples of.
long double Quantum(double pmin, double span, double oversample)
{
    int e = 0;
    std::frexp((1 / static_cast<long double>(pmin) + 1 / (static_cast<long double>(oversample) * span)) * (1 + 1e-9L), &e);
    return std::ldexp(1.0L, e - 53);
}

struct RefusedCase {
    const char *name;
    double pmin, pmax, span, oversample;
    NufftStatus status;
};

const RefusedCase RefusedCases[] = {
    {"pmin 0", 0, 10, 100, 10, NufftBadPeriods},
    {"pmin negative", -1, 10, 100, 10, NufftBadPeriods},
    {"pmax below pmin", 2, 1, 100, 10, NufftBadPeriods},
    {"pmin not a number", NaN, 10, 100, 10, NufftBadPeriods},
    {"pmax not a number", 1, NaN, 100, 10, NufftBadPeriods},
    {"pmax infinite", 1, Inf, 100, 10, NufftBadPeriods},
    {"period ratio beyond the resolution", 1e-6, 1e5, 100, 10, NufftBadPeriods},
    {"periods too long for normal doubles", 1e300, 1e300, 100, 1e300, NufftBadPeriods},
    {"span 0", 1, 10, 0, 10, NufftBadSpan},
    {"span negative", 1, 10, -5, 10, NufftBadSpan},
    {"span infinite", 1, 10, Inf, 10, NufftBadSpan},
    {"oversample 0", 1, 10, 100, 0, NufftBadOversample},
    {"oversample not a number", 1, 10, 100, NaN, NufftBadOversample},
    {"oversample 1e-310 overflows the step", 1, 10, 1e-5, 1e-310, NufftBadOversample},
    {"huge oversample, wide band", 0.01, 100, 36500, 1000, NufftGridTooLarge},
    {"oversample beyond the double resolution", 1, 1.0000001, 100, 1e14, NufftStepTooFine},
};

TEST(FrequencyGrid, RefusesRangesItCannotServe)
{
    for (const RefusedCase &c : RefusedCases) {
        const FrequencyGrid grid = MakeFrequencyGrid(c.pmin, c.pmax, c.span, c.oversample);
        EXPECT_EQ(grid.status, c.status) << c.name;
        EXPECT_EQ(GridFrequencyCount(grid), 0) << c.name;
        EXPECT_TRUE(GridPeriods(grid).empty()) << c.name;
        EXPECT_STRNE(NufftStatusText(grid.status), "ok") << c.name;
    }
}

struct GridCase {
    const char *name;
    double pmin, pmax, span, oversample;
    long intervals; // -1: not checked exactly
};

const GridCase GridCases[] = {
    {"one period", 3, 3, 100, 10, 0},
    {"one period, a power of 2", 0.25, 0.25, 100, 10, 0},
    {"two periods a hair apart", 3, 3.0000000001, 100, 10, 1},
    {"step wider than the range", 1, 1.5, 10, 0.01, 1},
    {"last step lands on 1 / pmin", 0.5, 1, 4, 1, 4},
    {"last step just past 1 / pmin", 0.49999999, 1, 4, 1, 5},
    {"the dialogue's range", 1, 20, 3000, 10, -1},
    {"long-period range", 100, 2000, 3350, 10, -1},
    {"a century up to 100 per day", 0.01, 1.0 / 99, 36500, 10, -1},
    {"huge oversample, narrow band", 1, 1.001, 100, 1e6, -1},
    {"oversample below 1", 0.5, 50, 1000, 0.3, -1},
};

TEST(FrequencyGrid, ReachesThePeriodRangeWithExactFrequencies)
{
    for (const GridCase &c : GridCases) {
        const FrequencyGrid grid = MakeFrequencyGrid(c.pmin, c.pmax, c.span, c.oversample);
        ASSERT_EQ(grid.status, NufftOk) << c.name;
        const long k = grid.intervals;
        const double steps = (1 / c.pmin - 1 / c.pmax) * c.oversample * c.span;
        if (c.intervals >= 0) {
            EXPECT_EQ(k, c.intervals) << c.name;
        } else {
            EXPECT_NEAR(static_cast<double>(k), std::ceil(steps), 1) << c.name;
        }
        EXPECT_EQ(GridFrequencyCount(grid), k + 1) << c.name;

        const long double q = Quantum(c.pmin, c.span, c.oversample);
        const long double lowest = 1 / static_cast<long double>(c.pmax);
        const long double highest = std::nearbyint(1 / static_cast<long double>(c.pmin) / q) * q;
        const long double wantedStep = 1 / (static_cast<long double>(c.oversample) * c.span);
        // The first frequency is 1 / pmax and the step is as asked, to half
        // a quantum each.
        EXPECT_LE(std::fabs(grid.first - lowest), q / 2) << c.name;
        EXPECT_LE(std::fabs(grid.step - wantedStep), q / 2) << c.name;
        // The last frequency is the first to reach 1 / pmin.
        EXPECT_GE(GridFrequency(grid, k), highest) << c.name;
        if (k > 0) {
            EXPECT_LT(GridFrequency(grid, k - 1), highest) << c.name;
        }
        // first + k step needs no rounding: the double equals the extended sum.
        for (long i : {0L, 1L, k / 3, k / 2, k - 1, k}) {
            if (i < 0 || i > k)
                continue;
            const long double exact = static_cast<long double>(grid.first) + static_cast<long double>(i) * grid.step;
            EXPECT_EQ(static_cast<long double>(GridFrequency(grid, i)), exact) << c.name << " k " << i;
            EXPECT_EQ(std::fmod(static_cast<long double>(GridFrequency(grid, i)), q), 0.0L) << c.name << " k " << i;
        }
    }
}

TEST(FrequencyGrid, PeriodsRunUpwardAsTheReciprocalsOfTheFrequencies)
{
    const FrequencyGrid grid = MakeFrequencyGrid(0.7, 9, 400, 10);
    ASSERT_EQ(grid.status, NufftOk);
    const std::vector<double> periods = GridPeriods(grid);
    ASSERT_EQ(static_cast<long>(periods.size()), grid.intervals + 1);
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const double f = GridFrequency(grid, grid.intervals - static_cast<long>(i));
        EXPECT_EQ(periods[i], static_cast<double>(1 / static_cast<long double>(f))) << i;
        if (i > 0) {
            EXPECT_GT(periods[i], periods[i - 1]) << i;
        }
    }
    // pmin or just below it first, pmax (within rounding) last.
    EXPECT_LE(periods.front(), 0.7);
    EXPECT_GT(periods.front(), 1 / (1 / 0.7 + grid.step));
    EXPECT_NEAR(periods.back(), 9, 9 * 1e-14);
}

} // namespace
