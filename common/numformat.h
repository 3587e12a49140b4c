// Writers of numbers as text.
#pragma once
#include <cstdint>
#include <string>

// x in fixed-point notation with 'decimals' digits after the point (none and
// no point for 0), rounded at the last decimal with halves away from zero,
// right-aligned in 'width' characters and never cut.  A value that is not a
// finite number is written as "NaN", "Inf" or "-Inf", right-aligned.
std::string FixedText(double x, int width, int decimals);

// True when FixedText(x, 2, 3) of the finite x, the three-decimal text of
// the programs' files, keeps within the 255 characters of a text.
bool ThreeDecimalTextFits(double x);

// As FixedText, but a value of magnitude above 1e35, or a non-zero one below
// 1e-35, is written in scientific form (right-aligned in 'width').  This is
// how the converters and the number-parameter library write reals.
std::string RealFieldText(double x, int width, int decimals);

// As RealFieldText for a value kept in extended precision: the fixed form is
// rounded from the extended value itself, not from a double (the scientific
// form shows the value rounded to a double).
std::string ExtendedFieldText(long double x, int width, int decimals);

// The 23-character scientific form: a blank or '-', one digit, '.', 15
// digits, 'E', the exponent's sign and three digits; the digits are those of
// x rounded to 16 significant digits.  Zero is " 0.000000000000000E+000".
// A value that is not finite is written as "NaN", "Inf" or "-Inf",
// right-aligned in 23 characters.
std::string ScientificText(double x);

// Writes the scientific form of x into out[0..22] without a terminator and
// returns 23.  The fast path of ScientificText for bulk output.
int WriteScientific(double x, char *out);

// The decimal digits of value, '-' when negative, right-aligned in 'width'.
std::string IntegerText(long long value, int width);
