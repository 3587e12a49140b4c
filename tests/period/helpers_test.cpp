// File-name and number texts of kalidor, and reduced Julian dates, as tables
// of cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "kalidor.h"

TEST(FileNames, StemAndExtensionAtTheFirstPoint)
{
    struct Case {
        const char *name;
        const char *stem;
        const char *extension;
    };
    const Case cases[] = {
        {"beta.dat", "beta", ".dat"},
        {"beta.lyr.dat", "beta", ".lyr.dat"},
        {"beta", "", "beta"},
        {"./beta.dat", "", "./beta.dat"},
        {"obs/star.dat", "obs/star", ".dat"},
        {"star.", "star", "."},
        {".jud", "", ".jud"},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FileStem(c.name), c.stem) << c.name;
        EXPECT_EQ(FileExtension(c.name), c.extension) << c.name;
    }
}

TEST(NumberTexts, FormatFixedCutsTheThreeDecimalText)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double x;
        int decimals;
        const char *text;
    };
    const Case cases[] = {
        {12.34567, 4, "12.346"},
        {0.1, 2, "0.10"},
        {-0.05, 1, "-0.0"},
        {2.7996, 1, "2.8"},  // cut from the rounded 2.800
        {2.76, 1, "2.7"},    // cut, not rounded
        {5.0, 0, "5."},      // n = 0 keeps the point
        {0.25, 3, "0.250"},
        {-3.5, 3, "-3.500"},
        {1234.56789, 7, "1234.568"},
        {48116.5 + 0.00005, 4, "48116.500"},
        {2.34567 + 0.00005, 7, "2.346"},
        {1234.5678, 2, "1234.56"},
        {0.0, 2, "0.00"},
        {-1e-9, 3, "-0.000"},
        {1e20, 1, "100000000000000000000.0"},
        {5.0, -1, "5"},      // a negative count cuts before the point
        {nan, 2, "Na"},
        {nan, 7, "NaN"},
        {inf, 9, "Inf"},
        {-inf, 2, "-I"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFixed(c.x, c.decimals), c.text) << c.x << " " << c.decimals;
}

// The Julian-date file holds FormatFixed texts: a value that fits reads back
// to itself to three decimals; one whose text would be cut does not fit.
TEST(NumberTexts, ValuesThatFitReadBackToThreeDecimals)
{
    const struct {
        double x;
        bool fits;
    } cases[] = {
        {48123.4567, true}, {-0.0004, true},  {12.0005, true},  {9.99e248, true},   {-9.99e248, true},
        {1e249, true},      {-1e249, true},   {1e251, false},   {-1e251, false},    {1e260, false},
        {1e300, false},     {-1.7e308, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FitsFormatFixed(c.x), c.fits) << c.x;
        const std::string text = FormatFixed(c.x, 3);
        if (c.fits) {
            EXPECT_NEAR(std::strtod(text.c_str(), nullptr), c.x, 0.0005) << text;
        }
    }
}

TEST(NumberTexts, FormatWholeKeepsTheDigitsBeforeThePoint)
{
    struct Case {
        double x;
        const char *text;
    };
    const Case cases[] = {
        {0.9996, "1"}, {-1.2, "-1"}, {5.7, "5"}, {5.9996, "6"}, {-0.3, "-0"}, {0.0, "0"},
        {1000.0, "1000"}, {-99.9999, "-100"}, {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatWhole(c.x), c.text) << c.x;
}

TEST(JulianDates, ReducedJulianDatesOfCalendarDates)
{
    struct Case {
        int day, month, year, hours, minutes;
        double reduced;
    };
    // Reference values from the day count of the proleptic Gregorian
    // calendar (1 January of the year 1 began at Julian date 1721424.5).
    const Case cases[] = {
        {12, 8, 1990, 12, 0, 48116.0},
        {13, 8, 1990, 0, 25, 48116.0 + 0.5 + 25.0 / 1440},
        {15, 1, 1991, 23, 50, 48272.0 - 0.5 + (23 * 60 + 50) / 1440.0},
        {31, 12, 1999, 0, 0, 51543.5},
        {12, 8, 1990, 24, 0, 48116.5},   // hour 24 is 0 h of the next day
        {31, 2, 1990, 0, 0, 47953.5},    // 3 March 1990
        {0, 8, 1990, 0, 0, 48103.5},     // 31 July 1990
        {12, 0, 1990, 0, 0, 47872.5},    // 12 December 1989
        {1, 3, 1900, 0, 0, 15079.5},     // first day of the valid range
        {28, 2, 2100, 0, 0, 88127.5},    // last day of the valid range
        {29, 2, 1996, 0, 0, 50142.5},
        {1, 2, 1995, 0, 0, 49749.5},     // month + 13 = 15: 30.6 x 15 = 459
        {1, 4, 1995, 6, 0, 49808.75},    // month + 1 = 5: 30.6 x 5 = 153
        {1, 9, 1995, 18, 0, 49962.25},   // month + 1 = 10: 30.6 x 10 = 306
    };
    for (const Case &c : cases)
        EXPECT_NEAR(JulianDateOf(c.day, c.month, c.year, c.hours, c.minutes), c.reduced, 1e-9)
            << c.day << "." << c.month << "." << c.year << " " << c.hours << ":" << c.minutes;
}
