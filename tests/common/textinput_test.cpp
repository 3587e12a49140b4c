#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "textinput.h"

namespace {

// Writes the content to a temporary file and opens it as text input.
void OpenWith(TextInput &in, const std::string &content)
{
    char name[] = "/tmp/textinput_testXXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    ASSERT_TRUE(OpenTextInput(in, name));
    unlink(name);
}

} // namespace

TEST(TextInput, NumbersAcrossLinesAndRestOfLineSkipped)
{
    TextInput in;
    OpenWith(in, "\n\n  900812  23.56  12.67 junk\r\n\t-3e1 7\n");
    EXPECT_DOUBLE_EQ(ReadReal(in), 900812);
    EXPECT_DOUBLE_EQ(ReadReal(in), 23.56);
    EXPECT_DOUBLE_EQ(ReadReal(in), 12.67);
    SkipLine(in);
    EXPECT_FALSE(AtEndOfInput(in));
    EXPECT_DOUBLE_EQ(ReadReal(in), -30);
    EXPECT_EQ(ReadInteger(in), 7);
    SkipLine(in);
    EXPECT_TRUE(AtEndOfInput(in));
    CloseTextInput(in);
}

TEST(TextInput, BadNumberOrEndStopsWithError106)
{
    const char *contents[] = {"12,67\n", "abc", "   \n\n", "", "1.5 x", "<12"};
    for (const char *content : contents) {
        TextInput in;
        OpenWith(in, content);
        EXPECT_EXIT({ ReadReal(in); ReadReal(in); }, ::testing::ExitedWithCode(106), "") << content;
    }
    TextInput in;
    OpenWith(in, "1.5\n");
    EXPECT_EXIT(ReadInteger(in), ::testing::ExitedWithCode(106), "");
}

// A number's text may hold 255 characters; reading stops with error 106 as
// soon as one passes that length, also on an input that never ends.
TEST(TextInput, NumberTextsUpToTheLimit)
{
    const std::string longest = "1." + std::string(253, '0');
    TextInput in;
    OpenWith(in, longest + " " + longest + "\n");
    EXPECT_EQ(ReadReal(in), 1);
    EXPECT_EQ(ReadReal(in), 1);
    CloseTextInput(in);
    for (const std::string &content : {longest + "0\n", std::string(5000, '7')}) {
        TextInput tooLong;
        OpenWith(tooLong, content);
        EXPECT_EXIT(ReadReal(tooLong), ::testing::ExitedWithCode(106), "") << content.size();
    }
    TextInput endless;
    ASSERT_TRUE(OpenTextInput(endless, "/dev/zero"));
    EXPECT_EXIT({ alarm(20); ReadReal(endless); }, ::testing::ExitedWithCode(106), "");
    EXPECT_EXIT({ alarm(20); ReadInteger(endless); }, ::testing::ExitedWithCode(106), "");
}

TEST(TextInput, LinesWithoutLineEndAndCutAtTheLimit)
{
    TextInput in;
    OpenWith(in, "a\r\n\nabcdef\nlast");
    EXPECT_EQ(ReadLine(in), "a");
    EXPECT_EQ(ReadLine(in), "");
    EXPECT_EQ(ReadLine(in, 3), "abc");
    EXPECT_EQ(ReadLine(in), "last");
    EXPECT_TRUE(AtEndOfInput(in));
    EXPECT_EQ(ReadLine(in), "");
}

TEST(TextInput, ByteWaitingLooksWithoutTaking)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    TextInput in;
    in.fd = ends[0];
    EXPECT_FALSE(InputByteWaiting(in)); // empty pipe: answers at once
    ASSERT_EQ(write(ends[1], "ab\n", 3), 3);
    EXPECT_TRUE(InputByteWaiting(in));
    EXPECT_TRUE(InputByteWaiting(in)); // asking twice takes nothing
    EXPECT_EQ(ReadLine(in), "ab");
    EXPECT_FALSE(InputByteWaiting(in));
    close(ends[1]);
    EXPECT_FALSE(InputByteWaiting(in)); // the end is no byte
    EXPECT_TRUE(AtEndOfInput(in));
    close(ends[0]);
}
