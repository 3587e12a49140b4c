// Readers of numbers from texts.
//
// Each reader returns the value and a position: 0 when the whole text was
// accepted, otherwise the position (from 1) of the first character that does
// not fit, or one past the end when the text ends too early; the value is
// then 0.  Blanks and tabs at the start are skipped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct RealParse {
    double value;
    long position;
};

struct IntParse {
    int32_t value;
    long position;
};

struct UnsignedParse {
    uint32_t value;
    long position;
};

// Optional sign, digits with an optional point (at least one digit before or
// after it), optional exponent: E or e, optional sign, at least one digit.
RealParse ParseReal(const std::string &text);

// The value of a number's text as the text readers take it: the whole of
// text[0..length) by ParseReal's rule (a common form such as "-12.5e3" read
// straight by std::from_chars, to the same double).  False when the text
// is rejected.  A value beyond the range of a double comes out infinite.
bool ReadRealText(const char *text, std::size_t length, double &value);

// Optional sign, optional base mark ('$' hexadecimal with the zeros right
// after it skipped, '%' binary), digits of the base.  Decimal digits that
// would take the magnitude beyond 2147483647 (2147483648 for a negative
// number) are rejected, and so are hexadecimal or binary digits that would
// need more than 32 bits; such 32-bit patterns read as two's complement.
IntParse ParseInt(const std::string &text);

// As ParseInt without a negative sign: a '-' is rejected at the character
// after it; the magnitude may reach 4294967295.
UnsignedParse ParseUnsigned(const std::string &text);
