// Reading numbers from a text file, as the plot reads the spectrum file
// back: the quick way of ReadReal must give exactly what ParseReal gives
// for the number's text, and refuse what it refuses (run-time error 106).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "numparse.h"
#include "textinput.h"

namespace {

std::string WriteTemporary(const std::string &content)
{
    char name[] = "/tmp/readback_test.XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    return name;
}

// The value of the first number of the file, read by ReadReal.
double ReadFirstReal(const std::string &content)
{
    const std::string name = WriteTemporary(content);
    TextInput in;
    EXPECT_TRUE(OpenTextInput(in, name.c_str()));
    const double value = ReadReal(in);
    CloseTextInput(in);
    unlink(name.c_str());
    return value;
}

// ReadReal on the file stops the program with run-time error 106.
void ExpectRefused(const std::string &content)
{
    const std::string name = WriteTemporary(content);
    EXPECT_EXIT(
        {
            TextInput in;
            OpenTextInput(in, name.c_str());
            ReadReal(in);
            std::exit(0);
        },
        ::testing::ExitedWithCode(106), "")
        << content.substr(0, 40);
    unlink(name.c_str());
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ReadBack, NumbersReadAsParseRealReadsThem)
{
    const char *const texts[] = {
        " 2.500000000000000E+000", "1.250000000000000E-001", "-9.999999999999999E+307", "-0", "+7", "-.5", ".5",
        "5.", "1.e5", "12", "0.1000000000000000055511151231257827", "4.9406564584124654E-324",
        "2.2250738585072011E-308", "1e400", "-1e400", "1e-400", "123456789012345678901234567890",
    };
    for (const char *text : texts) {
        const RealParse parsed = ParseReal(text);
        ASSERT_EQ(parsed.position, 0) << text;
        EXPECT_TRUE(SameBits(ReadFirstReal(std::string(" \r\n\t") + text + "  9\n"), parsed.value)) << text;
    }
}

TEST(ReadBack, RejectedTextsStopWithError106)
{
    const char *const texts[] = {"+-1", "--1", "1e", "1e+", "-", ".", "inf", "nan", "0x10", "1.5.2", "1,5", "", "\n\n"};
    for (const char *text : texts)
        ExpectRefused(std::string(text) + "\n");
}

TEST(ReadBack, TextsAcrossTheBufferAndTheLengthLimit)
{
    // A number that starts just before the end of the first buffer.
    const std::string number = "1.234567890123456E-001";
    for (std::size_t blanks : {4090u, 4095u, 4096u, 8180u})
        EXPECT_TRUE(SameBits(ReadFirstReal(std::string(blanks, ' ') + number + "\n"), ParseReal(number).value))
            << blanks;
    // 255 characters are kept and read; one more is always refused.
    const std::string longest = "0." + std::string(252, '0') + "5";
    ASSERT_EQ(longest.size(), 255u);
    EXPECT_TRUE(SameBits(ReadFirstReal(std::string(4000, ' ') + longest + "\n"), ParseReal(longest).value));
    ExpectRefused(longest + "0\n");
    ExpectRefused(std::string(5000, '1') + "\n");
}

TEST(ReadBack, LinesOfTheSpectrumFileReadInTurn)
{
    const std::string name = WriteTemporary(" 2.500000000000000E+000   1.250000000000000E-001\n"
                                            " 3.000000000000000E+000  -0.000000000000000E+000 rest\n"
                                            "4 5");
    TextInput in;
    ASSERT_TRUE(OpenTextInput(in, name.c_str()));
    EXPECT_EQ(ReadReal(in), 2.5);
    EXPECT_EQ(ReadReal(in), 0.125);
    SkipLine(in);
    EXPECT_EQ(ReadReal(in), 3);
    EXPECT_TRUE(SameBits(ReadReal(in), -0.0));
    SkipLine(in);
    EXPECT_EQ(ReadInteger(in), 4);
    EXPECT_EQ(ReadReal(in), 5);
    EXPECT_TRUE(AtEndOfInput(in));
    CloseTextInput(in);
    unlink(name.c_str());
}

} // namespace
