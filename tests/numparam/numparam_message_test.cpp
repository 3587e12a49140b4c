// The parameter readers on bad parameters: the two-line message, byte for
// byte, and exit status 0.  Runs the probe program built beside the tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../converters/run_program.h"

TEST(ParameterMessages, BadCharacterIsReportedAndTheProgramEnds)
{
    const std::string longDigits(300, '1');
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"real-char", "w1,5"},
         "Parameter \"w1,5\" gives no number introduced by character \"w\"\r\n - the 2-th character is bad.\n"},
        {{"real-char-c", "w1,5"},
         "Parameter \"w1,5\" gives no number introduced by character \"w\"\r\n - the 2-th character is bad.\n"},
        {{"int-char", "n12x"},
         "Parameter \"n12x\" gives no integer introduced by character \"n\"\r\n - the 3-th character is bad.\n"},
        {{"real-char", "w"},
         "Parameter \"w\" gives no number introduced by character \"w\"\r\n - the 1-th character is bad.\n"},
        // An empty parameter has no introducing character: "" stands for it.
        {{"real-char", ""},
         "Parameter \"\" gives no number introduced by character \"\"\r\n - the 1-th character is bad.\n"},
        {{"int-char", ""},
         "Parameter \"\" gives no integer introduced by character \"\"\r\n - the 1-th character is bad.\n"},
        {{"real-prefix", "per=3,5", "5"},
         "Parameter \"per=3,5\" gives no number introduced by \"per=\"\r\n - the 2-th character is bad.\n"},
        {{"int-prefix", "cnt=1.5", "5"},
         "Parameter \"cnt=1.5\" gives no number introduced by \"cnt=\"\r\n - the 2-th character is bad.\n"},
        {{"int-char", "n99999999999"},
         "Parameter \"n99999999999\" gives no integer introduced by character \"n\"\r\n"
         " - the 10-th character is bad.\n"},
        {{"real-char", "w" + longDigits + "x"},
         "Parameter \"w" + longDigits + "x\" gives no number introduced by character \"w\"\r\n"
         " - the 301-th character is bad.\n"},
        // Good parameters: the value, nothing else.
        {{"real-char", "w12.5"}, "12.500\n"},
        {{"real-char-c", "w12.5"}, "12.500\n"},
        {{"int-char", "n70000"}, "4464\n"},
        {{"real-prefix", "per=3.5", "5"}, "3.500\n"},
    };
    for (const auto &c : cases) {
        const ProgramRun run = RunProgram(NUMPARAM_PROBE, c.args);
        EXPECT_EQ(run.output, c.output) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.status, 0) << c.args[0] << " " << c.args[1];
    }
}
