#include "numformat.h"
#include "text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string PadLeft(const std::string &s, int width)
{
    if (width > 0 && s.size() < static_cast<std::size_t>(width))
        return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
    return s;
}

std::string NonFiniteText(double x)
{
    if (std::isnan(x))
        return "NaN";
    return x < 0 ? "-Inf" : "Inf";
}

// Adds one unit at the last digit of a string of decimal digits and returns
// whether the carry ran out of the leftmost digit.
bool IncrementDigits(std::string &digits)
{
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.')
            continue;
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

} // namespace

namespace {

// Rounds the exact decimal expansion of |x| (digits, a point and enough
// fractional digits) at 'decimals' places, halves away from zero, and
// right-aligns it with its sign in 'width' characters.
std::string RoundedExpansion(const char *exact, bool negative, int width, int decimals)
{
    const char *point = std::strchr(exact, '.');
    std::string kept(exact, static_cast<std::size_t>(point - exact) + 1 + static_cast<std::size_t>(decimals));
    if (decimals == 0)
        kept.pop_back();
    const char next = point[1 + decimals];
    if (next >= '5' && IncrementDigits(kept))
        kept.insert(kept.begin(), '1');
    // A negative value keeps its sign even when it rounds to zero.
    if (negative)
        kept.insert(kept.begin(), '-');
    return PadLeft(kept, width);
}

int LimitDecimals(int decimals) { return decimals < 0 ? 0 : decimals > 1000 ? 1000 : decimals; }

using Wide = unsigned __int128;

// The most decimals that the exact integer path takes: 10^19 is the
// largest power of ten below 2^64.
const int MostExactDecimals = 19;

// The values below 2^63 take the integer path: with a 64-bit mantissa and
// 19 decimals the scaled value stays below 2^127.
const long double ExactPathLimit = 9223372036854775808.0L;

Wide PowerOfTen(int n)
{
    Wide p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

// mantissa x 2^exponent x 10^decimals rounded to an integer with halves
// away from zero; exact for a mantissa below 2^64, decimals up to 19 and a
// result below 2^127 (the caller's bound on the value assures it).
Wide ScaledRounded(std::uint64_t mantissa, int exponent, int decimals)
{
    const Wide product = static_cast<Wide>(mantissa) * PowerOfTen(decimals);
    if (exponent >= 0)
        return product << exponent;
    const int shift = -exponent;
    if (shift > 128)
        return 0; // below half of the last decimal
    if (shift == 128)
        return product >> 127; // 1 exactly when at least half
    const Wide kept = product >> shift;
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    const Wide rest = product & ((static_cast<Wide>(1) << shift) - 1);
    return rest >= half ? kept + 1 : kept;
}

// The decimal digits of value (at least one).
std::string WideDigits(Wide value)
{
    char digits[40];
    char *p = digits + sizeof digits;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    return std::string(p, digits + sizeof digits);
}

// The fixed-point text of mantissa x 2^exponent as RoundedExpansion makes it
// from the exact expansion: the rounded digits, a point before the last
// 'decimals' of them (at least one integer digit), the sign, the padding.
std::string ExactFixedText(std::uint64_t mantissa, int exponent, bool negative, int width, int decimals)
{
    std::string digits = WideDigits(ScaledRounded(mantissa, exponent, decimals));
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    if (decimals > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    if (negative)
        digits.insert(digits.begin(), '-');
    return PadLeft(digits, width);
}

// The fixed-point text of a finite value below 2^63 in magnitude, for at
// most 19 decimals, from its 64-bit mantissa (a double's is taken whole).
std::string ExactFixedText(long double x, int width, int decimals)
{
    int exponent;
    const long double fraction = std::frexp(std::fabs(x), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
    return ExactFixedText(mantissa, exponent - 64, x < 0, width, decimals);
}

bool TakesExactPath(long double magnitude, int decimals)
{
    return magnitude < ExactPathLimit && decimals <= MostExactDecimals;
}

bool NeedsScientific(long double magnitude) { return magnitude > 1e35L || (magnitude != 0 && magnitude < 1e-35L); }

} // namespace

std::string FixedText(double x, int width, int decimals)
{
    if (!std::isfinite(x))
        return PadLeft(NonFiniteText(x), width);
    decimals = LimitDecimals(decimals);
    if (TakesExactPath(std::fabs(x), decimals))
        return ExactFixedText(static_cast<long double>(x), width, decimals);
    // The exact decimal expansion of a double has at most 1074 fractional
    // digits; glibc prints it exactly, so the digit after the last kept one
    // decides the rounding (5 or more rounds away from zero).
    static char exact[1500];
    std::snprintf(exact, sizeof exact, "%.1080f", std::fabs(x));
    return RoundedExpansion(exact, x < 0, width, decimals);
}

std::string ExtendedFieldText(long double x, int width, int decimals)
{
    if (!std::isfinite(x) || NeedsScientific(std::fabs(x)))
        return RealFieldText(static_cast<double>(x), width, decimals);
    decimals = LimitDecimals(decimals);
    if (TakesExactPath(std::fabs(x), decimals))
        return ExactFixedText(x, width, decimals);
    // Between 1e-35 and 1e35 the exact expansion of a 64-bit mantissa has
    // at most 36 integer and 180 fractional digits.
    static char exact[1200];
    std::snprintf(exact, sizeof exact, "%.1080Lf", std::fabs(x));
    return RoundedExpansion(exact, x < 0, width, decimals);
}

std::string RealFieldText(double x, int width, int decimals)
{
    const double magnitude = std::fabs(x);
    if (magnitude > 1e35 || (magnitude != 0 && magnitude < 1e-35) || !std::isfinite(x))
        return PadLeft(ScientificText(x), width);
    return FixedText(x, width, decimals);
}

int WriteScientific(double x, char *out)
{
    if (!std::isfinite(x)) {
        const std::string text = PadLeft(NonFiniteText(x), 23);
        std::memcpy(out, text.data(), 23);
        return 23;
    }
    char digits[40];
    const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(x), std::chars_format::scientific, 15);
    // digits now holds d.dddddddddddddddde[+-]dd or more exponent digits.
    const char *e = std::find(digits, result.ptr, 'e');
    out[0] = x < 0 ? '-' : ' ';
    std::memcpy(out + 1, digits, 17);
    out[18] = 'E';
    out[19] = e[1];
    const int exponentDigits = static_cast<int>(result.ptr - (e + 2));
    char *exponent = out + 20;
    for (int i = 0; i < 3 - exponentDigits; ++i)
        *exponent++ = '0';
    std::memcpy(exponent, e + 2, static_cast<std::size_t>(exponentDigits));
    return 23;
}

std::string ScientificText(double x)
{
    char text[23];
    WriteScientific(x, text);
    return std::string(text, 23);
}

std::string IntegerText(long long value, int width)
{
    return PadLeft(std::to_string(value), width);
}

bool ThreeDecimalTextFits(double x)
{
    // Below 1e249 the text has at most 250 integer digits, a sign and four
    // characters from the point on.
    return std::fabs(x) < 1e249 || FixedText(x, 2, 3).size() <= MaxTextLength;
}
