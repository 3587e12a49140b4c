#include "numparse.h"

#include <charconv>
#include <cstdlib>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipBlanksAndTabs(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return i;
}

long PositionAt(std::size_t index) { return static_cast<long>(index) + 1; }

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 99;
}

// Reads the digits of an integer from index i (after any sign).  Returns the
// position of a rejected character, or 0, with the magnitude in 'magnitude'.
// 'limit' bounds the magnitude of decimal numbers.
long ReadMagnitude(const std::string &text, std::size_t i, uint64_t limit, uint64_t &magnitude)
{
    unsigned base = 10;
    bool sawDigit = false;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
        while (i < text.size() && text[i] == '0') {
            ++i;
            sawDigit = true;
        }
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= static_cast<int>(base))
            return PositionAt(i);
        const uint64_t next = magnitude * base + static_cast<uint64_t>(digit);
        const uint64_t bound = base == 10 ? limit : 0xFFFFFFFFull;
        if (next > bound)
            return PositionAt(i);
        magnitude = next;
        sawDigit = true;
    }
    return sawDigit ? 0 : PositionAt(i);
}

// The value of a number text in its most common form (an optional '-', a
// digit, then digits, a point and an exponent as std::from_chars takes
// them), which reads the same as ParseReal but without its copies.  False
// for any other text and for values out of the range of a double: those
// go through ParseReal.
bool ReadCommonReal(const char *text, std::size_t length, double &value)
{
    const std::size_t digit = length > 0 && text[0] == '-' ? 1 : 0;
    if (digit >= length || text[digit] < '0' || text[digit] > '9')
        return false;
    const std::from_chars_result result = std::from_chars(text, text + length, value);
    return result.ec == std::errc() && result.ptr == text + length;
}

} // namespace

bool ReadRealText(const char *text, std::size_t length, double &value)
{
    if (ReadCommonReal(text, length, value))
        return true;
    const RealParse parsed = ParseReal(std::string(text, length));
    value = parsed.value;
    return parsed.position == 0;
}

RealParse ParseReal(const std::string &text)
{
    const std::size_t n = text.size();
    std::size_t i = SkipBlanksAndTabs(text);
    const std::size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return {0.0, PositionAt(i)};
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < n && IsDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return {0.0, PositionAt(i)};
    }
    if (i < n)
        return {0.0, PositionAt(i)};
    const std::string number = text.substr(start);
    return {std::strtod(number.c_str(), nullptr), 0};
}

IntParse ParseInt(const std::string &text)
{
    std::size_t i = SkipBlanksAndTabs(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint64_t magnitude = 0;
    const long rejected = ReadMagnitude(text, i, negative ? 2147483648ull : 2147483647ull, magnitude);
    if (rejected != 0)
        return {0, rejected};
    const uint32_t bits = static_cast<uint32_t>(negative ? 0u - magnitude : magnitude);
    return {static_cast<int32_t>(bits), 0};
}

UnsignedParse ParseUnsigned(const std::string &text)
{
    std::size_t i = SkipBlanksAndTabs(text);
    if (i < text.size() && text[i] == '-')
        return {0, PositionAt(i + 1)};
    if (i < text.size() && text[i] == '+')
        ++i;
    uint64_t magnitude = 0;
    const long rejected = ReadMagnitude(text, i, 4294967295ull, magnitude);
    if (rejected != 0)
        return {0, rejected};
    return {static_cast<uint32_t>(magnitude), 0};
}
