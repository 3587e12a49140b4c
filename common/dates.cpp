// Date fields of observation files and Julian dates of Gregorian dates.
#include "dates.h"

#include <cmath>

namespace {

const double FirstEightDigitDate = 10000000;
const double FirstSevenDigitDate = 1000000;
const long double FirstGregorianYear = 1583;
const long double LastYear = 9999;

// 30.6 held slightly above its decimal value, so that 30.6 x 5, 10 and 15
// give exactly 153, 306 and 459 before the fraction is dropped.
const long double ThirtyPointSix = 30.6L + 1e-12L;

long double IntegerPart(long double v) { return std::trunc(v); }
long double Fraction(long double v) { return v - std::trunc(v); }

// The reduced Julian date of a date and UT time, in extended precision, by
// the calendar of the 1900s (years counted from March): the Gregorian
// calendar from 1 March 1900 to 28 February 2100.
long double DaysOfDate(int day, int month, long double year, int hours, int minutes)
{
    const long double dayWithFraction = day + (hours + minutes / 60.0L) / 24.0L;
    long double y = year;
    long double m = month + 1;
    if (month <= 2) {
        y = year - 1.0L;
        m = month + 13;
    }
    return std::trunc(365.25L * y) + std::trunc(ThirtyPointSix * m) + dayWithFraction - 679018.5L;
}

} // namespace

TimeFieldParts SplitTimeField(double time)
{
    // Minutes as the two decimal digits are written: 23.56 is 23 h 56 min
    // although the double behind it lies just below.
    return {IntegerPart(time), IntegerPart(Fraction(time) * 100 + 1e-6L)};
}

double JulianDateOf(int day, int month, double year, int hours, int minutes)
{
    return static_cast<double>(DaysOfDate(day, month, year, hours, minutes));
}

DateFieldParts SplitDateField(double date)
{
    DateFieldParts parts{};
    parts.yearWrittenOut = date >= FirstEightDigitDate;
    // The allowance 0.1 lets 12 come out as 12 although 9008.12 is not
    // exact in binary.
    long double d = static_cast<double>(date / 100.0L);
    parts.day = IntegerPart(Fraction(d) * 100 + 0.1L);
    d = static_cast<double>(IntegerPart(d) / 100.0L);
    parts.month = IntegerPart(Fraction(d) * 100 + 0.1L);
    if (parts.yearWrittenOut) {
        parts.year = IntegerPart(d);
        parts.usable = parts.year >= FirstGregorianYear && parts.year <= LastYear;
    } else {
        parts.year = 1900 + IntegerPart(d);
        parts.usable = date < FirstSevenDigitDate;
    }
    return parts;
}

long double DateFieldOrder(double date)
{
    if (date >= 0 && date < FirstSevenDigitDate)
        return 19000000.0L + date;
    return date;
}

double GregorianJulianDateOf(int day, int month, int year, int hours, int minutes)
{
    // The days the Gregorian calendar has dropped by the year counted from
    // March: -13 throughout 1900..2099, which DaysOfDate holds.
    const long centuries = (month <= 2 ? year - 1L : long(year)) / 100;
    const long correction = 2 - centuries + centuries / 4 + 13;
    return static_cast<double>(DaysOfDate(day, month, year, hours, minutes) + correction);
}

double JulianDateOfParts(const DateFieldParts &parts, int hours, int minutes)
{
    const int day = static_cast<int>(parts.day), month = static_cast<int>(parts.month);
    if (parts.yearWrittenOut)
        return GregorianJulianDateOf(day, month, static_cast<int>(parts.year), hours, minutes);
    return JulianDateOf(day, month, static_cast<double>(parts.year), hours, minutes);
}
