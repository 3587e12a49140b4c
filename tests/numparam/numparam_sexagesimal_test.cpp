// Sexagesimal values read and written.
#include <cmath>
#include <gtest/gtest.h>

#include "numparam.h"

TEST(ReadSexagesimal, DecimalsAndFields)
{
    const struct {
        const char *text;
        char unit;
        bool ok;
        double value;
    } cases[] = {
        {"12:30", 'D', true, 12.5},
        {"12:30:36", 'D', true, 12.51},
        {"-0:30", 'D', true, -0.5},
        {"12.5", 'D', true, 12.5},
        {"360.9", 'D', true, 360.9},
        {"360:59:59", 'D', true, 360 + (59 + 59 / 60.0L) / 60},
        {"361", 'D', false, 361},      // the value read stays
        {"400:00", 'D', false, 400},
        {"-361", 'D', false, -361},
        {"12:60", 'D', false, 0},
        {":30", 'D', false, 0},
        {"12:", 'D', true, 12},
        {"12 30", 'D', true, 12.5},
        {"12h30m", 'D', true, 12.5},
        {"12:30:45.5", 'D', true, 12 + (30 + 45.05L / 60) / 60},
        {"12:30:45.50", 'D', true, 12 + (30 + 45.5L / 60) / 60},
        {"12:30:45.123", 'D', false, 0},
        {"12:65541", 'D', false, 0},   // a field beyond 16 bits is not taken modulo 65536
        {"65548:30", 'D', false, 65535.5},
        {"1e400", 'D', false, HUGE_VAL},
        {"nan", 'D', false, 0},
        {"400", 'd', false, 400},
        {"400", 'x', true, 400},
        {"24:59", 'H', true, 24 + 59 / 60.0L},
        {"25", 'H', false, 25},
        {"-5:30", 'H', true, -5.5},     // the hour rules of the fields are not applied here
        {"-24:30", 'h', true, -24.5},
    };
    for (const auto &c : cases) {
        double value = -999;
        EXPECT_EQ(ReadSexagesimal(c.text, value, c.unit), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

TEST(ReadSexagesimal, LongTextsAreReadWhole)
{
    double value = 0;
    EXPECT_TRUE(ReadSexagesimal(std::string(5000, '0') + "12:30", value, 'D'));
    EXPECT_EQ(value, 12.5);
    EXPECT_TRUE(ReadSexagesimal(std::string(300, ' ') + "1:30", value, 'D'));
    EXPECT_EQ(value, 1.5);
}

TEST(SplitSexagesimal, Fields)
{
    const struct {
        const char *text;
        bool ok;
        uint16_t whole, min, sec, hund;
        double value;
    } cases[] = {
        {"12:30:45.50", true, 12, 30, 45, 50, 12 + (30 + 45.5L / 60) / 60},
        {"-5", true, 5, 0, 0, 0, -5},
        {"7", true, 7, 0, 0, 0, 7},
        {":30", false, 0, 0, 0, 0, 0},
        {"1:2:3:4", true, 1, 2, 3, 4, 1 + (2 + 3.04L / 60) / 60},
        {"1:2:3:4:5", true, 1, 2, 3, 0, 1 + (2 + 3.0L / 60) / 60}, // a rejected fourth field reads as 0
        {"1:70000", false, 1, 65535, 0, 0, 0},
        {"5:-30", true, 5, 0, 0, 0, -5},
    };
    for (const auto &c : cases) {
        uint16_t whole = 9, min = 9, sec = 9, hund = 9;
        double value = -999;
        EXPECT_EQ(SplitSexagesimal(c.text, whole, min, sec, hund, value, 'D'), c.ok) << c.text;
        EXPECT_EQ(whole, c.whole) << c.text;
        EXPECT_EQ(min, c.min) << c.text;
        EXPECT_EQ(sec, c.sec) << c.text;
        EXPECT_EQ(hund, c.hund) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

TEST(CombineSexagesimal, RangesPerUnit)
{
    const struct {
        int sign;
        uint16_t whole, min, sec, hund;
        char unit;
        bool ok;
        double value;
    } cases[] = {
        {1, 25, 0, 0, 0, 'H', false, 7},
        {-1, 5, 30, 0, 0, 'H', false, 7},
        {1, 25, 0, 0, 0, 'D', true, 25},
        {-1, 5, 30, 0, 0, 'D', true, -5.5},
        {1, 24, 59, 59, 99, 'h', true, 24 + (59 + 59.99L / 60) / 60},
        {1, 1, 60, 0, 0, 'D', false, 7},
        {1, 1, 0, 60, 0, 'D', false, 7},
        {1, 1, 0, 0, 100, 'D', false, 7},
        {1, 400, 0, 0, 0, 'D', true, 400}, // the degree range is the reader's check
    };
    for (const auto &c : cases) {
        double value = 7;
        EXPECT_EQ(CombineSexagesimal(c.sign, c.whole, c.min, c.sec, c.hund, value, c.unit), c.ok);
        EXPECT_DOUBLE_EQ(value, c.value);
    }
}

TEST(SexagesimalText, RoundedSecondsCarry)
{
    const struct {
        double x;
        const char *text;
    } cases[] = {
        {1.5, " 1:30: 0"},          {0.99999, " 1: 0: 0"}, {0.0, " 0: 0: 0"},
        {12.51, "12:30:36"},        {123.5, "123:30: 0"},  {23.99999999, "24: 0: 0"},
        {1 + 1 / 3600.0, " 1: 0: 1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SexagesimalText(c.x), c.text) << c.x;
}

TEST(SexagesimalParts, ValuesCarryFromHundredthsTextFromSeconds)
{
    const struct {
        double x;
        uint16_t h, m, s, hundredths;
        const char *text;
    } cases[] = {
        {12.51, 12, 30, 36, 0, "12:30:36"},
        {1.25, 1, 15, 0, 0, " 1:15: 0"},
        {0.99999999, 1, 0, 0, 0, " 1: 0: 0"},
        {1 + (2 + 3.45 / 60) / 60, 1, 2, 3, 45, " 1: 2: 3"},
        // 0:59:59.60 rounds to a whole minute in the text only.
        {(59 + 59.6 / 60) / 60, 0, 59, 59, 60, " 1: 0: 0"},
    };
    for (const auto &c : cases) {
        uint16_t h = 9, m = 9, s = 9, hundredths = 9;
        EXPECT_EQ(SexagesimalParts(c.x, h, m, s, hundredths), c.text) << c.x;
        EXPECT_EQ(h, c.h) << c.x;
        EXPECT_EQ(m, c.m) << c.x;
        EXPECT_EQ(s, c.s) << c.x;
        EXPECT_EQ(hundredths, c.hundredths) << c.x;
    }
}

TEST(MinutesTexts, WholeAndRoundedMinutes)
{
    const struct {
        double x;
        const char *hours, *degrees;
    } cases[] = {
        {82.5, " 5:30", " 82:30"},
        {-7.5, "-0:30", " -7:30"},
        {-5.5, "-0:22", " -5:30"},
        {-0.25, "-0: 1", " -0:15"},
        {123.75, " 8:15", "123:45"},
        {0.0, " 0: 0", "  0: 0"},
        {-82.5, "-5:30", "-82:30"},
        {360, "24: 0", "360: 0"},
        // Minutes that round to 60 carry into the whole part.
        {0.9999, " 0: 4", "  1: 0"},
        {-0.9999, "-0: 4", " -1: 0"},
        {14.9999, " 1: 0", " 15: 0"},
        {-14.9999, "-1: 0", "-15: 0"},
        {59.9999, " 4: 0", " 60: 0"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(HoursMinutesText(c.x), c.hours) << c.x;
        EXPECT_EQ(DegreesMinutesText(c.x), c.degrees) << c.x;
    }
}
