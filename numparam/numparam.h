// Number parameters: reals and integers written as text, numbers read from
// texts and from command-line parameters, texts split into fields, and
// sexagesimal values (degrees or hours, minutes, seconds) read and written.
//
// Texts given to these operations may be of any length; texts returned keep
// at most 255 characters.  Reals are doubles; arithmetic inside runs in
// extended precision (long double).
#pragma once
#include <cstdint>

#include "text.h"

// ---------------------------------------------------------------------------
// Reals and integers as text
// ---------------------------------------------------------------------------

// x rounded to a whole number, exact halves upwards (2.5 gives 3, -2.5 gives
// -2, -2.6 gives -3).  Values beyond the signed 32-bit range give the nearest
// limit; a NaN gives 0.
int32_t RoundHalfUp(double x);

// value in decimal, '-' when negative, padded on the left with blanks to
// width characters; a longer number is not cut.
Text IntText(uint8_t width, int32_t value);

// x in fixed notation with the given decimals, right-aligned in width
// characters (scientific form above 1e35 and below 1e-35).
Text RealText(uint8_t width, uint8_t decimals, double x);

// x with n + 1 significant digits: fixed notation when its decimal exponent
// e lies in -3..n (and at most 3), otherwise mantissa, 'E' and exponent
// without '+' or leading zeros (" 1.23457E5" for n = 5 and 123456.7).
// Meant for n from 0 to 14; larger n give more digits of the same value.
Text CompactText(uint8_t n, double x);

// As CompactText, but a value with 0 <= e <= 3 and e > n is written as a
// whole number in n + 3 characters instead of in the exponent form.
Text CompactTextWhole(uint8_t n, double x);

// ---------------------------------------------------------------------------
// Numbers from texts and command-line parameters
// ---------------------------------------------------------------------------

// The real that text holds, 0 when the real reader rejects any character.
double TextReal(const Text &text);
// The same for a C string (a null pointer counts as the empty text).
double TextReal(const char *text);

// The integer that text holds ('$' hexadecimal, '%' binary), as its low 16
// bits (70000 gives 4464); 0 when the integer reader rejects any character.
int16_t TextInt(const Text &text);

// The real after the parameter's first character (w12.5 gives 12.5).  On a
// bad number, writes which character is bad and ends the program with exit
// status 0.
double ParamRealByChar(const Text &parameter);
// The same for a C string (a null pointer counts as the empty text).
double ParamRealByChar(const char *parameter);

// The integer after the parameter's first character, as its low 16 bits;
// message and end of the program on a bad number.
int16_t ParamIntByChar(const Text &parameter);

// The real from the parameter's k-th character on (per=3.5 with k = 5 gives
// 3.5); message and end of the program on a bad number.
double ParamRealByPrefix(const Text &parameter, uint8_t k);

// The integer from the parameter's k-th character on, as its low 16 bits;
// message and end of the program on a bad number.
int16_t ParamIntByPrefix(const Text &parameter, uint8_t k);

// An integer whose trailing non-digit characters count as decimal places:
// "42" gives 42, "12ab" gives 1200, "1.5" gives 100; 0 when the first
// non-blank character is no digit.  Results beyond the signed 32-bit range
// give the nearest limit.
int32_t PlaceholderInt(const Text &text);

// text without the blanks (character 32) at its start.
Text TrimLeading(const Text &text);

// The number of fields of text separated by separator (the blank also lets
// the tab separate).  Blanks at the start of a field are dropped; two blank
// separators in a row separate once; two other separators in a row enclose
// an empty field; a separator at the very end adds no field.  Counts above
// 255 give 255.
uint8_t FieldCount(char separator, const Text &text);

// The n-th field (from 1) of text, or the empty text when there is none.
Text FieldText(char separator, uint8_t n, const Text &text);

// FieldCount and FieldText with the blank (and tab) as separator.
uint8_t WordCount(const Text &text);
Text WordText(uint8_t n, const Text &text);

// ---------------------------------------------------------------------------
// Sexagesimal values
// ---------------------------------------------------------------------------

// Reads a decimal number (12.5) or fields whole:min:sec[:hund] separated by
// any character the integer reader rejects ("12:30", "12h30m", "-0:30").
// unit 'D' (degrees) accepts |value| < 361, 'H' (hours) |value| < 25, in
// either case; any other letter accepts every value read.  A refused value
// stays in value.
bool ReadSexagesimal(const Text &text, double &value, char unit);

// Splits text into whole, minutes, seconds and hundredths of a second; a
// '-' anywhere makes the value negative.  A field beyond 65535 counts as
// 65535, so that the range checks refuse it.  false, with all out values 0,
// when the first character is rejected; otherwise the result of
// CombineSexagesimal.
bool SplitSexagesimal(const Text &text, uint16_t &whole, uint16_t &min, uint16_t &sec, uint16_t &hund,
                      double &value, char unit);

// value := sign * (whole + (min + (sec + hund / 100) / 60) / 60) when
// min <= 59, sec <= 59, hund <= 99 and, for unit 'H', whole <= 24 and sign
// +1; otherwise false and value is left as it was.
bool CombineSexagesimal(int sign, uint16_t whole, uint16_t min, uint16_t sec, uint16_t hund, double &value,
                        char unit);

// x >= 0 as "hh:mm:ss" with blank-padded fields, seconds rounded
// (1.5 gives " 1:30: 0", 0.99999 gives " 1: 0: 0").
Text SexagesimalText(double x);

// As SexagesimalText; also gives x >= 0 split into h, m, s and hundredths
// of a second, carried from the rounded hundredths (the text carries from
// the rounded seconds).
Text SexagesimalParts(double x, uint16_t &h, uint16_t &m, uint16_t &s, uint16_t &hundredths);

// x degrees as hours and minutes, "hh:mm" (82.5 gives " 5:30", -7.5 gives
// "-0:30"); minutes that round to 60 carry into the hours.
Text HoursMinutesText(double x);

// x degrees as degrees and minutes, "ddd:mm" (-5.5 gives " -5:30", 123.75
// gives "123:45"); minutes that round to 60 carry into the degrees.
Text DegreesMinutesText(double x);
