#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "numformat.h"
#include "text.h"

TEST(FixedText, RoundsHalvesAwayFromZeroAndNeverCuts)
{
    const struct {
        double x;
        int width, decimals;
        const char *text;
    } cases[] = {
        {1.5, 8, 5, " 1.50000"},
        {0.025, 8, 5, " 0.02500"},
        {-0.5, 8, 5, "-0.50000"},
        {0.125, 0, 2, "0.13"},     // exact half goes away from zero
        {-0.125, 0, 2, "-0.13"},
        {2.675, 0, 2, "2.67"},     // the double lies below the half
        {0.5, 0, 0, "1"},
        {-2.5, 0, 0, "-3"},
        {9.995, 0, 2, "9.99"},
        {9.9951, 0, 2, "10.00"},
        {99.5, 3, 0, "100"},
        {123456.789, 4, 1, "123456.8"}, // longer than the width: not cut
        {0.0, 6, 2, "  0.00"},
        {-0.001, 6, 2, " -0.00"},
        {1e20, 0, 0, "100000000000000000000"},
        {100, 6, 2, "100.00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FixedText(c.x, c.width, c.decimals), c.text) << c.x;
}

TEST(FixedText, NonFiniteValuesAreShortTexts)
{
    EXPECT_EQ(FixedText(INFINITY, 6, 2), "   Inf");
    EXPECT_EQ(FixedText(-INFINITY, 0, 2), "-Inf");
    EXPECT_EQ(FixedText(NAN, 0, 2), "NaN");
}

TEST(RealFieldText, ExtremeMagnitudesUseScientificForm)
{
    EXPECT_EQ(RealFieldText(1e36, 8, 5), " 1.000000000000000E+036");
    EXPECT_EQ(RealFieldText(-1e-40, 8, 5), "-9.999999999999999E-041"); // the double lies below 1e-40
    EXPECT_EQ(RealFieldText(1e35, 0, 0), FixedText(1e35, 0, 0)); // the bound itself stays fixed
    EXPECT_EQ(RealFieldText(0.0, 8, 5), " 0.00000");
}

TEST(ExtendedFieldText, RoundsTheExtendedValueItself)
{
    const long double product = 0.00003 * 15.0L; // just above 0.00045, as a double just below
    EXPECT_EQ(ExtendedFieldText(product, 9, 4), "   0.0005");
    EXPECT_EQ(RealFieldText(static_cast<double>(product), 9, 4), "   0.0004");
    EXPECT_EQ(ExtendedFieldText(1.5L, 8, 5), " 1.50000");
    EXPECT_EQ(ExtendedFieldText(-0.125L, 0, 2), "-0.13");
    EXPECT_EQ(ExtendedFieldText(99.5L, 0, 0), "100");
    EXPECT_EQ(ExtendedFieldText(1e36L, 8, 5), " 1.000000000000000E+036");
}

TEST(ScientificText, TwentyThreeCharacters)
{
    const struct {
        double x;
        const char *text;
    } cases[] = {
        {0.0, " 0.000000000000000E+000"},
        {2.5, " 2.500000000000000E+000"},
        {0.125, " 1.250000000000000E-001"},
        {-1234.5, "-1.234500000000000E+003"},
        {1e-300, " 1.000000000000000E-300"},
        {1.7976931348623157e308, " 1.797693134862316E+308"},
        {0.1, " 1.000000000000000E-001"},
        {2.0 / 3.0, " 6.666666666666666E-001"}, // 0.66666666666666663,
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScientificText(c.x), c.text) << c.x;
}

TEST(IntegerText, RightAlignedNeverCut)
{
    EXPECT_EQ(IntegerText(7, 3), "  7");
    EXPECT_EQ(IntegerText(-7, 1), "-7");
    EXPECT_EQ(IntegerText(12345, 2), "12345");
    EXPECT_EQ(IntegerText(0, 0), "0");
}

TEST(Copy, SubstringRule)
{
    const struct {
        const char *text;
        long start, count;
        const char *result;
    } cases[] = {
        {"beta.dat", 1, 4, "beta"}, {"beta.dat", 5, 99, ".dat"}, {"beta", 0, 2, "be"}, {"beta", -3, 2, "be"},
        {"beta", 5, 1, ""},         {"beta", 2, -1, ""},         {"", 1, 3, ""},       {"beta", 4, 1, "a"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Copy(c.text, c.start, c.count), c.result) << c.text << ' ' << c.start << ' ' << c.count;
    EXPECT_EQ(CutText(std::string(300, 'x')).size(), 255u);
}

namespace {

// The writer as it was before its integer path: the digit after the last
// kept one in the exact expansion decides the rounding.
std::string ExpansionFixedText(const char *exact, bool negative, int width, int decimals)
{
    const char *point = std::strchr(exact, '.');
    std::string kept(exact, static_cast<std::size_t>(point - exact) + 1 + static_cast<std::size_t>(decimals));
    if (decimals == 0)
        kept.pop_back();
    if (point[1 + decimals] >= '5') {
        std::size_t i = kept.size();
        while (i-- > 0 && (kept[i] == '.' || kept[i] == '9'))
            if (kept[i] == '9')
                kept[i] = '0';
        if (i == std::string::npos)
            kept.insert(kept.begin(), '1');
        else
            ++kept[i];
    }
    if (negative)
        kept.insert(kept.begin(), '-');
    return std::string(width > static_cast<int>(kept.size()) ? width - kept.size() : 0, ' ') + kept;
}

std::string ReferenceFixedText(double x, int width, int decimals)
{
    static char exact[1500];
    std::snprintf(exact, sizeof exact, "%.1080f", std::fabs(x));
    return ExpansionFixedText(exact, x < 0, width, decimals);
}

std::string ReferenceExtendedText(long double x, int width, int decimals)
{
    static char exact[1500];
    std::snprintf(exact, sizeof exact, "%.1080Lf", std::fabs(x));
    return ExpansionFixedText(exact, x < 0, width, decimals);
}

} // namespace

// Random values of every scale, exact halves and their neighbours, near the
// bounds of the integer path: the same text as the exact expansion gives.
TEST(FixedText, SameTextAsTheExactExpansion)
{
    std::mt19937_64 random(20261210);
    std::vector<double> values = {0.0, -0.0, 0.5, 2.5, 0.125, 0.0625, 1e-300, 5e-324, 9223372036854775807.0,
                                  9223372036854775808.0, 9.223372036854775e18, 4503599627370496.5, 1e19};
    for (int i = 0; i < 3000; ++i) {
        const int scale = static_cast<int>(random() % 60) - 30;
        const double x = std::ldexp(static_cast<double>(random() >> 11), -53) * std::pow(10.0, scale);
        const double half = std::ldexp(std::round(std::ldexp(x, 20)) + 0.5, -20);
        for (double v : {x, -x, half, std::nextafter(half, 0.0), std::nextafter(half, 1e300)})
            values.push_back(v);
        const std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        values.push_back(any);
    }
    for (double v : values) {
        if (!std::isfinite(v))
            continue;
        for (int decimals : {0, 1, 3, 4, 7, 9, 12, 19, 20}) {
            ASSERT_EQ(FixedText(v, 8, decimals), ReferenceFixedText(v, 8, decimals)) << v << ' ' << decimals;
            const long double e = static_cast<long double>(v) * (1 + 0x1p-60L);
            if (std::fabs(e) <= 1e35L && (e == 0 || std::fabs(e) >= 1e-35L)) {
                ASSERT_EQ(ExtendedFieldText(e, 8, decimals), ReferenceExtendedText(e, 8, decimals))
                    << static_cast<double>(e) << ' ' << decimals;
            }
        }
    }
}
