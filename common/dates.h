// Date fields of observation files: YYMMDD of the 1900s or YYYYMMDD with
// the year written out, their calendar order, and Julian dates of any
// Gregorian date.
#pragma once

// A date field split into day, month and year.
struct DateFieldParts {
    long double day;
    long double month;
    long double year;
    bool yearWrittenOut; // eight digits, YYYYMMDD
    bool usable;         // six digits or fewer, or eight with a year 1583..9999
};

// Splits a date field.  Below 1,000,000 it is YYMMDD of the 1900s; from
// 10,000,000 on it is YYYYMMDD; seven digits are not usable.  Day and month
// come out unchecked (0 and 31 February are the caller's business).
DateFieldParts SplitDateField(double date);

// A UT time field hh.mm split into hours and minutes, both unchecked.
struct TimeFieldParts {
    long double hours;
    long double minutes;
};
TimeFieldParts SplitTimeField(double time);

// A key that orders date fields of both forms by calendar date: YYYYMMDD
// for both (a six-digit field gets 19000000 added); other fields (negative,
// seven digits) as they are.
long double DateFieldOrder(double date);

// The reduced Julian date (Julian date - 2400000) of a date and UT time by
// the calendar of the 1900s, valid from 1 March 1900 to 28 February 2100.
double JulianDateOf(int day, int month, double year, int hours, int minutes);

// The reduced Julian date (Julian date - 2400000) of a Gregorian date and UT
// time for any year from 1583 on.  From 1 March 1900 to 28 February 2100 it
// gives the same doubles as JulianDateOf; month 0 and day 0 count back as
// there.
double GregorianJulianDateOf(int day, int month, int year, int hours, int minutes);

// The reduced Julian date of a split date field at hours:minutes UT: a
// six-digit field by the calendar of the 1900s (JulianDateOf), a year
// written out by the Gregorian calendar (GregorianJulianDateOf).  The
// fields are taken as they are; checking them is the caller's business.
double JulianDateOfParts(const DateFieldParts &parts, int hours, int minutes);
