// Date fields of six and eight digits and Julian dates of Gregorian dates.
#include <gtest/gtest.h>

#include "dates.h"
#include "kalidor.h"

namespace {

TEST(Dates, SixAndEightDigitFields)
{
    const struct {
        double field;
        int day, month, year;
        bool writtenOut, usable;
    } cases[] = {
        {19951009, 9, 10, 1995, true, true},   {951009, 9, 10, 1995, false, true},
        {20150312, 12, 3, 2015, true, true},   {900800, 0, 8, 1990, false, true},
        {1995109, 0, 0, 0, false, false},      {15821231, 31, 12, 1582, true, false},
        {15830101, 1, 1, 1583, true, true},    {99991231, 31, 12, 9999, true, true},
        {100000101, 1, 1, 10000, true, false},
    };
    for (const auto &c : cases) {
        const DateFieldParts parts = SplitDateField(c.field);
        EXPECT_EQ(parts.yearWrittenOut, c.writtenOut) << c.field;
        EXPECT_EQ(parts.usable, c.usable) << c.field;
        if (c.usable) {
            EXPECT_EQ(parts.day, c.day) << c.field;
            EXPECT_EQ(parts.month, c.month) << c.field;
            EXPECT_EQ(parts.year, c.year) << c.field;
        }
    }
    EXPECT_LT(DateFieldOrder(991231), DateFieldOrder(20000101));
    EXPECT_EQ(DateFieldOrder(951009), DateFieldOrder(19951009));
    EXPECT_GT(DateFieldOrder(19900101), DateFieldOrder(891231));
}

TEST(Dates, GregorianJulianDates)
{
    const struct {
        int day, month, year, hours, minutes;
        double reduced;
    } cases[] = {
        {1, 1, 1600, 0, 0, -94552.5},      {1, 1, 1583, 0, 0, -100761.5},   {1, 1, 1900, 0, 0, 15020.5},
        {28, 2, 1900, 0, 0, 15078.5},      {1, 3, 2100, 0, 0, 88128.5},     {31, 12, 9999, 0, 0, 2973483.5},
        {1, 1, 2000, 12, 0, 51545.0},      {12, 3, 2015, 24, 0, 57094.5},   {0, 1, 2200, 0, 0, 124592.5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GregorianJulianDateOf(c.day, c.month, c.year, c.hours, c.minutes), c.reduced)
            << c.day << "." << c.month << "." << c.year;
    // The same doubles as the formula of the 1900s wherever that one holds.
    for (int year = 1900; year <= 2100; ++year)
        for (int month = 0; month <= 12; ++month)
            for (int day = 0; day <= 31; day += 7) {
                if ((year == 1900 && month < 3) || (year == 2100 && month > 2))
                    continue;
                const int minutes = (day * 7 + month) % 60;
                ASSERT_EQ(GregorianJulianDateOf(day, month, year, 23, minutes),
                          JulianDateOf(day, month, year, 23, minutes))
                    << day << "." << month << "." << year;
            }
}

} // namespace
