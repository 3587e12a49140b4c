// Numbers read from texts and parameters, and texts split into fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numparam.h"

TEST(TextReal, WholeTextOrZero)
{
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"12.5", 12.5}, {" 7", 7}, {"7 ", 0}, {"1,5", 0}, {"", 0}, {"1e3", 1000}, {"-.5", -0.5}, {"1e", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(TextReal(Text(c.text)), c.value) << c.text;
        EXPECT_EQ(TextReal(c.text), c.value) << c.text; // the copying entry point
    }
    EXPECT_EQ(TextReal(static_cast<const char *>(nullptr)), 0.0);
}

TEST(TextInt, LowSixteenBitsOrZero)
{
    const struct {
        const char *text;
        int16_t value;
    } cases[] = {
        {"$10", 16}, {"12 ", 0}, {"70000", 4464}, {"-1", -1}, {"%101", 5}, {"40000", -25536}, {"", 0}, {"1.5", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextInt(c.text), c.value) << c.text;
}

TEST(ParameterReaders, ReturnTheNumberOfAGoodParameter)
{
    EXPECT_EQ(ParamRealByChar(Text("w12.5")), 12.5);
    EXPECT_EQ(ParamRealByChar("w-1e2"), -100);
    EXPECT_EQ(ParamIntByChar("n70000"), 4464);
    EXPECT_EQ(ParamIntByChar("n-12"), -12);
    EXPECT_EQ(ParamRealByPrefix("per=3.5", 5), 3.5);
    EXPECT_EQ(ParamIntByPrefix("cnt=$ff", 5), 255);
    EXPECT_EQ(ParamIntByPrefix("17", 1), 17);
}

TEST(PlaceholderInt, TrailingCharactersCountAsPlaces)
{
    const struct {
        const char *text;
        int32_t value;
    } cases[] = {
        {"42", 42},
        {"12ab", 1200},
        {"1.5", 100},
        {"x1", 0},
        {"  7", 7},
        {"  12ab", 1200},
        {"-2ab", -200},
        {"", 0},
        {"1xxxxxxxxx", 1000000000},
        {"3xxxxxxxxx", 2147483647},   // beyond the range: the nearest limit
        {"-3xxxxxxxxx", -2147483647 - 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PlaceholderInt(c.text), c.value) << c.text;
}

TEST(TrimLeading, OnlyBlanksAtTheStart)
{
    EXPECT_EQ(TrimLeading("  a b "), "a b ");
    EXPECT_EQ(TrimLeading("   "), "");
    EXPECT_EQ(TrimLeading(""), "");
    EXPECT_EQ(TrimLeading("\ta"), "\ta");
}

TEST(Fields, CountAndText)
{
    const struct {
        char separator;
        const char *text;
        std::vector<std::string> fields;
    } cases[] = {
        {',', " a , b", {"a ", "b"}},
        {',', "a,,b", {"a", "", "b"}},
        {',', "a,b,", {"a", "b"}},
        {',', ",a", {"", "a"}},
        {',', "", {}},
        {' ', "a\tb", {"a", "b"}},
        {' ', "  one   two three ", {"one", "two", "three"}},
        {' ', "   ", {}},
        {':', "12:30:45", {"12", "30", "45"}},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(FieldCount(c.separator, c.text), c.fields.size()) << c.text;
        for (std::size_t i = 0; i < c.fields.size(); ++i)
            EXPECT_EQ(FieldText(c.separator, static_cast<uint8_t>(i + 1), c.text), c.fields[i]) << c.text << " " << i;
        EXPECT_EQ(FieldText(c.separator, static_cast<uint8_t>(c.fields.size() + 1), c.text), "") << c.text;
        EXPECT_EQ(FieldText(c.separator, 0, c.text), "") << c.text;
    }
}

TEST(Fields, WordsAreSeparatedByBlanksAndTabs)
{
    EXPECT_EQ(WordCount("alpha\tbeta"), 2);
    EXPECT_EQ(WordText(2, "alpha\tbeta"), "beta");
    EXPECT_EQ(WordText(1, " alpha beta"), "alpha");
}

TEST(Fields, LongTextsCountAtMost255)
{
    std::string words;
    for (int i = 1; i <= 300; ++i)
        words += i == 255 ? "z " : "a ";
    EXPECT_EQ(WordCount(words), 255);
    EXPECT_EQ(WordText(255, words), "z");
    EXPECT_EQ(FieldCount(',', std::string(300, ',')), 255);
}
