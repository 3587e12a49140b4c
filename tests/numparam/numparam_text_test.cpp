// Numbers written as text: rounding, integer and real fields, compact form.
#include <cmath>
#include <gtest/gtest.h>

#include "numparam.h"

TEST(RoundHalfUp, HalvesGoUpwards)
{
    const struct {
        double x;
        int32_t result;
    } cases[] = {
        {0.5, 1},   {-0.5, 0},  {1.4999, 1}, {-1.5, -1}, {2.5, 3},  {-2.5, -2},
        {-2.6, -3}, {0.0, 0},   {-0.49, 0},  {7.0, 7},   {-7.0, -7}, {2147483646.5, 2147483647},
        {1e12, 2147483647},     {-1e12, -2147483647 - 1},            {NAN, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RoundHalfUp(c.x), c.result) << c.x;
}

TEST(IntText, PadsButNeverCuts)
{
    const struct {
        uint8_t width;
        int32_t value;
        const char *text;
    } cases[] = {
        {2, 5, " 5"}, {2, 123, "123"}, {1, -7, "-7"}, {0, 0, "0"}, {5, -42, "  -42"}, {1, -2147483647 - 1, "-2147483648"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IntText(c.width, c.value), c.text) << c.value;
}

TEST(RealText, FixedFieldAndTextLimit)
{
    EXPECT_EQ(RealText(8, 5, 1.5), " 1.50000");
    EXPECT_EQ(RealText(6, 2, -12.345), "-12.35");
    EXPECT_EQ(RealText(0, 0, 2.5), "3");
    EXPECT_EQ(RealText(8, 2, 1e36), " 1.000000000000000E+036");
    EXPECT_EQ(RealText(255, 255, 1e30).size(), 255u); // a longer text keeps 255 characters
}

TEST(CompactText, FixedAndExponentForms)
{
    const struct {
        uint8_t n;
        double x;
        const char *text;
    } cases[] = {
        {5, 123.456, " 123.456"},
        {5, 0.0123, " 0.0123000"},
        {5, 123456.7, " 1.23457E5"},
        {5, -0.00001234, "-1.23400E-5"},
        {5, 0.0, " 0.00000"},
        {5, 9999.99, " 9999.99"},
        {2, 1234, " 1.23E3"},
        {2, -0.5, "-0.500"},
        {3, -0.00123, "-0.001230"},
        {0, 5.0, "  5"},
        {0, 12.0, "  1E1"},
        {9, 9.99999999999, " 10.00000000"}, // the carry guard raises the exponent to 1
        {5, 1e-40, " 1.00000E-40"},        // 9.999999999999999E-041 carried
        {5, 2.5e100, " 2.50000E100"},
        // A mantissa that rounds up to 10 is written as 1 with the next exponent.
        {5, 999999.6, " 1.00000E6"},
        {5, -999999.6, "-1.00000E6"},
        {2, 9999.6, " 1.00E4"},
        {5, 0.000099999996, " 1.00000E-4"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CompactText(c.n, c.x), c.text) << int(c.n) << " " << c.x;
}

TEST(CompactText, ManyDigitsNeverReadTheExponentAsMantissa)
{
    const Text text = CompactText(20, 123456.7);
    EXPECT_EQ(text.substr(0, 8), " 1.23456");
    EXPECT_EQ(text.substr(text.size() - 2), "E5");
    EXPECT_EQ(text.size(), 25u);
    EXPECT_LE(CompactText(255, 1.5).size(), 255u);
}

TEST(CompactText, NonFiniteValuesGiveAShortText)
{
    EXPECT_NE(CompactText(5, INFINITY).find("Inf"), Text::npos);
    EXPECT_NE(CompactText(5, NAN).find("NaN"), Text::npos);
}

TEST(CompactTextWhole, WholeNumberInsteadOfSmallExponents)
{
    const struct {
        uint8_t n;
        double x;
        const char *text;
    } cases[] = {
        {2, 1234, " 1234"},
        {1, 123.4, " 123"},
        {0, 999.5, "1000"},
        {2, 12345, " 1.23E4"},      // exponent above 3 keeps the exponent form
        {5, 123.456, " 123.456"},   // as CompactText otherwise
        {5, 0.0123, " 0.0123000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CompactTextWhole(c.n, c.x), c.text) << int(c.n) << " " << c.x;
}
