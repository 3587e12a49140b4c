#include "numformat.h"

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

bool NeedsScientific(long double magnitude) { return magnitude > 1e35L || (magnitude != 0 && magnitude < 1e-35L); }

} // namespace

std::string FixedText(double x, int width, int decimals)
{
    if (!std::isfinite(x))
        return PadLeft(NonFiniteText(x), width);
    decimals = LimitDecimals(decimals);
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
