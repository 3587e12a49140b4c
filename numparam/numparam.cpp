#include "numparam.h"

#include <cctype>
#include <cmath>
#include <string>

#include "numformat.h"
#include "numparse.h"
#include "output.h"
#include "runerror.h"

namespace {

const int32_t Int32Max = 2147483647;
const int32_t Int32Min = -2147483647 - 1;

// The integer part of x (truncated towards zero), limited to the signed
// 32-bit range; a NaN gives 0.
int32_t IntegerPart(long double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0L)
        return Int32Max;
    if (x <= -2147483648.0L)
        return Int32Min;
    return static_cast<int32_t>(x);
}

uint16_t Low16(int64_t value) { return static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFFu); }

int16_t SignedLow16(int32_t value) { return static_cast<int16_t>(Low16(value)); }

// A field of a sexagesimal text: values beyond 16 bits count as 65535, so
// that the range checks refuse them rather than keep a small remainder.
uint16_t Field16(int64_t value) { return value > 65535 ? 65535 : Low16(value); }

// ---------------------------------------------------------------------------
// Compact form
// ---------------------------------------------------------------------------

// Positions in the 23-character scientific form.
const std::size_t ScientificExponentStart = 19; // after the 'E'
const std::size_t ScientificMantissaLength = 18; // sign, digit, point, 15 digits

// The exponent form of the compact text: the mantissa of s cut (not
// rounded) after n + 1 decimals, rounded to n decimals, then 'E' and e.
// A mantissa that rounds up to 10 is written as 1 with the exponent raised.
Text CompactExponentText(int n, const Text &s, int32_t e)
{
    // Beyond 15 decimals the cut would reach into the exponent part.
    const long cut = n + 4 < static_cast<long>(ScientificMantissaLength) ? n + 4 : ScientificMantissaLength;
    double mantissa = ParseReal(Copy(s, 1, cut)).value;
    Text fixed = RealFieldText(mantissa, n + 3, n);
    if (std::fabs(TextReal(fixed)) >= 10) {
        mantissa = mantissa < 0 ? -1.0 : 1.0;
        e += 1;
        fixed = RealFieldText(mantissa, n + 3, n);
    }
    return CutText(Copy(fixed, 1, n + 3) + "E" + IntText(1, e));
}

// The steps shared by CompactText and CompactTextWhole; whole selects the
// whole-number form for 0 <= e <= 3 with e > n.
Text CompactTextOf(int n, double x, bool whole)
{
    if (!std::isfinite(x))
        return CutText(RealFieldText(x, n + 3, n));
    Text s = ScientificText(x);
    int32_t e = ParseInt(s.substr(ScientificExponentStart)).value;
    // A mantissa of 9.999999999... becomes 1.0 with the exponent raised, so
    // that the choice between the forms sees the carried exponent.
    if (s.compare(1, 11, "9.999999999") == 0) {
        s = s.substr(0, 1) + "1.0000000000";
        e += 1;
    }
    if (e < 0 && e >= -3)
        return CutText(RealFieldText(x, n - e + 3, n - e));
    if (e >= 0 && e <= 3 && e <= n)
        return CutText(RealFieldText(x, n + 3, n - e));
    if (whole && e >= 0 && e <= 3)
        return CutText(RealFieldText(x, n + 3, 0));
    return CompactExponentText(n, s, e);
}

// ---------------------------------------------------------------------------
// Parameter readers
// ---------------------------------------------------------------------------

// Writes the two-line message on a bad number in a parameter and ends the
// program with exit status 0.
[[noreturn]] void StopOnBadParameter(const Text &parameter, const char *phrase, const Text &introduction,
                                     long position)
{
    WriteText("Parameter \"" + parameter + "\"" + phrase + "\"" + introduction + "\"\r\n" + " - the " +
              std::to_string(position) + "-th character is bad.\n");
    EndProgram(0);
}

const char PhraseRealByChar[] = " gives no number introduced by character ";
const char PhraseIntByChar[] = " gives no integer introduced by character ";
const char PhraseByPrefix[] = " gives no number introduced by ";

// The number text after the introducing character, and that character
// (empty for an empty parameter).
Text NumberAfterChar(const Text &parameter) { return Copy(parameter, 2, static_cast<long>(parameter.size())); }
Text IntroducingChar(const Text &parameter) { return Copy(parameter, 1, 1); }

Text NumberFromPosition(const Text &parameter, uint8_t k)
{
    return Copy(parameter, k, static_cast<long>(parameter.size()));
}
Text IntroducingPrefix(const Text &parameter, uint8_t k) { return Copy(parameter, 1, k - 1L); }

// ---------------------------------------------------------------------------
// Fields
// ---------------------------------------------------------------------------

// Position (from 1) of the separator that ends the first field of t, 0 when
// none; the blank separator also stops at a tab.
long SeparatorPosition(char separator, const Text &t)
{
    long p = PositionOf(separator, t);
    if (separator == ' ') {
        const long q = PositionOf('\t', t);
        if (q > 0 && (p == 0 || q < p))
            p = q;
    }
    return p;
}

// Walks the fields of text; returns the number of fields and, when wanted
// is between 1 and that number, stores the wanted-th field in field.
long WalkFields(char separator, const Text &text, long wanted, Text &field)
{
    Text t = TrimLeading(text);
    long count = 0;
    while (!t.empty()) {
        ++count;
        const long p = SeparatorPosition(separator, t);
        Text current;
        if (p > 0) {
            current = Copy(t, 1, p - 1);
            t = TrimLeading(Copy(t, p + 1, static_cast<long>(t.size())));
        } else {
            current = t;
            t.clear();
        }
        if (count == wanted)
            field = current;
    }
    return count;
}

// ---------------------------------------------------------------------------
// Sexagesimal values
// ---------------------------------------------------------------------------

// The whole part of a sexagesimal text: the magnitude of v, and the sign
// from any '-' in the text.
void TakeWhole(const Text &text, int32_t v, int &sign, uint16_t &whole)
{
    if (PositionOf('-', text) > 0) {
        sign = -1;
        whole = Field16(std::llabs(static_cast<long long>(v)));
    } else {
        whole = Field16(v);
    }
}

// Applies the carries of rounded seconds into minutes and hours.
void CarrySeconds(int32_t &h, int32_t &m, int32_t &s)
{
    if (s == 60) {
        s = 0;
        m += 1;
    }
    if (m == 60) {
        m = 0;
        h += 1;
    }
}

Text HmsText(int32_t h, int32_t m, int32_t s)
{
    return IntText(2, h) + ":" + IntText(2, m) + ":" + IntText(2, s);
}

// Whole part and minutes of |x|, the minutes rounded and carried into the
// whole part when they reach 60.
void WholeAndMinutes(long double x, int32_t &whole, int32_t &minutes)
{
    const long double magnitude = std::fabs(x);
    whole = IntegerPart(magnitude);
    minutes = RoundHalfUp(static_cast<double>((magnitude - std::truncl(magnitude)) * 60));
    if (minutes == 60) {
        minutes = 0;
        if (whole < Int32Max)
            whole += 1;
    }
}

// "whole:mm" for value with the whole part in width characters; a negative
// value whose whole part is 0 shows "-0" there.
Text WholeMinutesText(double value, bool negative, uint8_t width)
{
    int32_t whole = 0;
    int32_t minutes = 0;
    WholeAndMinutes(value, whole, minutes);
    Text w;
    if (negative && whole == 0)
        w = Text(width > 2 ? width - 2u : 0u, ' ') + "-0";
    else
        w = IntText(width, negative ? -whole : whole);
    return w + ":" + IntText(2, minutes);
}

} // namespace

// ---------------------------------------------------------------------------
// Reals and integers as text
// ---------------------------------------------------------------------------

int32_t RoundHalfUp(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return Int32Max;
    if (x <= -2147483648.0)
        return Int32Min;
    const int32_t t = static_cast<int32_t>(x);
    const double f = x - t;
    if (f >= 0.5)
        return t + 1;
    if (f < -0.5)
        return t - 1;
    return t;
}

Text IntText(uint8_t width, int32_t value) { return IntegerText(value, width); }

Text RealText(uint8_t width, uint8_t decimals, double x) { return CutText(RealFieldText(x, width, decimals)); }

Text CompactText(uint8_t n, double x) { return CompactTextOf(n, x, false); }

Text CompactTextWhole(uint8_t n, double x) { return CompactTextOf(n, x, true); }

// ---------------------------------------------------------------------------
// Numbers from texts and command-line parameters
// ---------------------------------------------------------------------------

double TextReal(const Text &text)
{
    const RealParse r = ParseReal(text);
    return r.position == 0 ? r.value : 0.0;
}

double TextReal(const char *text) { return TextReal(Text(text ? text : "")); }

int16_t TextInt(const Text &text)
{
    const IntParse r = ParseInt(text);
    return r.position == 0 ? SignedLow16(r.value) : 0;
}

double ParamRealByChar(const Text &parameter)
{
    const RealParse r = ParseReal(NumberAfterChar(parameter));
    if (r.position != 0)
        StopOnBadParameter(parameter, PhraseRealByChar, IntroducingChar(parameter), r.position);
    return r.value;
}

double ParamRealByChar(const char *parameter) { return ParamRealByChar(Text(parameter ? parameter : "")); }

int16_t ParamIntByChar(const Text &parameter)
{
    const IntParse r = ParseInt(NumberAfterChar(parameter));
    if (r.position != 0)
        StopOnBadParameter(parameter, PhraseIntByChar, IntroducingChar(parameter), r.position);
    return SignedLow16(r.value);
}

double ParamRealByPrefix(const Text &parameter, uint8_t k)
{
    const RealParse r = ParseReal(NumberFromPosition(parameter, k));
    if (r.position != 0)
        StopOnBadParameter(parameter, PhraseByPrefix, IntroducingPrefix(parameter, k), r.position);
    return r.value;
}

int16_t ParamIntByPrefix(const Text &parameter, uint8_t k)
{
    const IntParse r = ParseInt(NumberFromPosition(parameter, k));
    if (r.position != 0)
        StopOnBadParameter(parameter, PhraseByPrefix, IntroducingPrefix(parameter, k), r.position);
    return SignedLow16(r.value);
}

int32_t PlaceholderInt(const Text &text)
{
    const Text t = TrimLeading(text);
    const long n = static_cast<long>(t.size());
    const IntParse r = ParseInt(t);
    if (r.position == 0)
        return r.value;
    const long places = n - r.position + 1;
    long double v = ParseInt(Copy(t, 1, r.position - 1)).value;
    for (long i = 0; i < places && v != 0 && std::fabs(v) <= 2147483648.0L; ++i)
        v *= 10;
    return IntegerPart(v);
}

Text TrimLeading(const Text &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == Text::npos ? Text() : text.substr(first);
}

uint8_t FieldCount(char separator, const Text &text)
{
    Text unused;
    const long count = WalkFields(separator, text, 0, unused);
    return static_cast<uint8_t>(count > 255 ? 255 : count);
}

Text FieldText(char separator, uint8_t n, const Text &text)
{
    Text field;
    if (n == 0 || WalkFields(separator, text, n, field) < n)
        return Text();
    return CutText(field);
}

uint8_t WordCount(const Text &text) { return FieldCount(' ', text); }

Text WordText(uint8_t n, const Text &text) { return FieldText(' ', n, text); }

// ---------------------------------------------------------------------------
// Sexagesimal values
// ---------------------------------------------------------------------------

bool ReadSexagesimal(const Text &text, double &value, char unit)
{
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(unit)));
    bool ok;
    const RealParse r = ParseReal(text);
    if (r.position == 0) {
        value = r.value;
        ok = true;
    } else {
        // Always degrees here: the hour rules of CombineSexagesimal do not
        // apply, the range check below does.
        uint16_t whole, min, sec, hund;
        ok = SplitSexagesimal(text, whole, min, sec, hund, value, 'D');
    }
    if (u == 'D')
        return ok && std::fabs(value) < 361;
    if (u == 'H')
        return ok && std::fabs(value) < 25;
    return ok;
}

bool SplitSexagesimal(const Text &text, uint16_t &whole, uint16_t &min, uint16_t &sec, uint16_t &hund,
                      double &value, char unit)
{
    whole = min = sec = hund = 0;
    value = 0;
    int sign = 1;
    const long length = static_cast<long>(text.size());
    const IntParse first = ParseInt(text);
    const long p1 = first.position;
    if (p1 == 1)
        return false;
    if (p1 == 0) {
        TakeWhole(text, first.value, sign, whole);
    } else {
        TakeWhole(text, ParseInt(Copy(text, 1, p1 - 1)).value, sign, whole);
        const UnsignedParse second = ParseUnsigned(Copy(text, p1 + 1, length - p1));
        const long p2 = second.position;
        min = Field16(second.value);
        if (p2 > 0) {
            min = Field16(ParseUnsigned(Copy(text, p1 + 1, p2 - 1)).value);
            const UnsignedParse third = ParseUnsigned(Copy(text, p1 + p2 + 1, length - p1 - p2));
            const long p3 = third.position;
            sec = Field16(third.value);
            if (p3 > 0) {
                sec = Field16(ParseUnsigned(Copy(text, p1 + p2 + 1, p3 - 1)).value);
                hund = Field16(ParseUnsigned(Copy(text, p1 + p2 + p3 + 1, length - p1 - p2 - p3)).value);
            }
        }
    }
    return CombineSexagesimal(sign, whole, min, sec, hund, value, unit);
}

bool CombineSexagesimal(int sign, uint16_t whole, uint16_t min, uint16_t sec, uint16_t hund, double &value,
                        char unit)
{
    bool ok = min <= 59 && sec <= 59 && hund <= 99;
    if (ok && std::toupper(static_cast<unsigned char>(unit)) == 'H' && (whole > 24 || sign == -1))
        ok = false;
    if (ok)
        value = static_cast<double>(sign * (whole + (min + (sec + hund / 100.0L) / 60) / 60));
    return ok;
}

Text SexagesimalText(double x)
{
    int32_t h = IntegerPart(x);
    int32_t m = IntegerPart((x - static_cast<long double>(h)) * 60);
    int32_t s = RoundHalfUp(static_cast<double>(((x - static_cast<long double>(h)) - m / 60.0L) * 3600));
    CarrySeconds(h, m, s);
    return HmsText(h, m, s);
}

Text SexagesimalParts(double x, uint16_t &h, uint16_t &m, uint16_t &s, uint16_t &hundredths)
{
    int32_t hours = IntegerPart(x);
    int32_t minutes = IntegerPart((x - static_cast<long double>(hours)) * 60);
    const double r = static_cast<double>((x - static_cast<long double>(hours)) - minutes / 60.0L);
    int32_t seconds = IntegerPart(r * 3600.0L);
    int32_t hund = RoundHalfUp(static_cast<double>((r - seconds / 3600.0L) * 360000));

    // The text carries from the rounded seconds, the out values from the
    // rounded hundredths.
    int32_t textH = hours;
    int32_t textM = minutes;
    int32_t textS = RoundHalfUp(static_cast<double>(r * 3600.0L));
    CarrySeconds(textH, textM, textS);

    if (hund == 100) {
        hund = 0;
        seconds += 1;
        if (seconds == 60) {
            seconds = 0;
            minutes += 1;
            if (minutes == 60) {
                minutes = 0;
                hours += 1;
            }
        }
    }
    h = Low16(hours);
    m = Low16(minutes);
    s = Low16(seconds);
    hundredths = Low16(hund);
    return HmsText(textH, textM, textS);
}

Text HoursMinutesText(double x)
{
    const double q = x / 15;
    return WholeMinutesText(q, x < 0, 2);
}

Text DegreesMinutesText(double x) { return WholeMinutesText(x, x < 0, 3); }
