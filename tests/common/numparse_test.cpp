#include <cmath>
#include <gtest/gtest.h>

#include "numparse.h"

struct RealCase {
    const char *text;
    double value;
    long position;
};

TEST(ParseReal, AcceptsAndRejectsAtTheRightPosition)
{
    const RealCase cases[] = {
        {"12.5", 12.5, 0},   {"  -3", -3, 0},   {"\t+.5", 0.5, 0}, {"5.", 5, 0},     {"1e2", 100, 0},
        {"1E-2", 0.01, 0},   {"2.5e+1", 25, 0}, {"12:30", 0, 3},   {"7 ", 0, 2},     {"", 0, 1},
        {"-", 0, 2},         {"1e", 0, 3},      {".", 0, 2},       {"e5", 0, 1},     {"1.5x", 0, 4},
        {"   ", 0, 4},       {"1e+", 0, 4},     {"12,5", 0, 3},    {"+-1", 0, 2},    {"1..2", 0, 3},
        {"nan", 0, 1},       {"0x10", 0, 2},    {"1e5.5", 0, 4},   {"98,6", 0, 3},   {"12F", 0, 3},
    };
    for (const RealCase &c : cases) {
        const RealParse r = ParseReal(c.text);
        EXPECT_EQ(r.position, c.position) << '"' << c.text << '"';
        EXPECT_DOUBLE_EQ(r.value, c.value) << '"' << c.text << '"';
    }
}

TEST(ParseReal, HugeExponentGivesInfinityWithoutCrash)
{
    const RealParse r = ParseReal("1e400");
    EXPECT_EQ(r.position, 0);
    EXPECT_TRUE(std::isinf(r.value));
    EXPECT_EQ(ParseReal(std::string(5000, '9')).position, 0);
}

struct IntCase {
    const char *text;
    int32_t value;
    long position;
};

TEST(ParseInt, BasesLimitsAndPositions)
{
    const IntCase cases[] = {
        {"42", 42, 0},
        {"  -7", -7, 0},
        {"+5", 5, 0},
        {"$10", 16, 0},
        {"$0000ff", 255, 0},
        {"$FFFFFFFF", -1, 0},
        {"$100000000", 0, 10},
        {"%101", 5, 0},
        {"%102", 0, 4},
        {"2147483647", 2147483647, 0},
        {"2147483648", 0, 10},
        {"-2147483648", INT32_MIN, 0},
        {"-2147483649", 0, 11},
        {"", 0, 1},
        {"-", 0, 2},
        {"$", 0, 2},
        {"$00", 0, 0},
        {"12a", 0, 3},
        {"12 ", 0, 3},
        {"1.5", 0, 2},
        {"$1G", 0, 3},
    };
    for (const IntCase &c : cases) {
        const IntParse r = ParseInt(c.text);
        EXPECT_EQ(r.position, c.position) << '"' << c.text << '"';
        EXPECT_EQ(r.value, c.value) << '"' << c.text << '"';
    }
}

TEST(ParseUnsigned, NoNegativeSignAndFullRange)
{
    const struct {
        const char *text;
        uint32_t value;
        long position;
    } cases[] = {
        {"4294967295", 4294967295u, 0}, {"4294967296", 0, 10}, {"-5", 0, 2}, {" -5", 0, 3},
        {"+7", 7, 0},                   {" 7", 7, 0},          {"x", 0, 1},  {"12", 12, 0},
        {"$ff", 255, 0},                {"", 0, 1},
    };
    for (const auto &c : cases) {
        const UnsignedParse r = ParseUnsigned(c.text);
        EXPECT_EQ(r.position, c.position) << '"' << c.text << '"';
        EXPECT_EQ(r.value, c.value) << '"' << c.text << '"';
    }
}
