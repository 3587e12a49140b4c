// The built converters run with given parameters: standard output byte for
// byte and exit status 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

struct Case {
    std::vector<std::string> args;
    std::string output;
};

void ExpectRuns(const char *program, const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        std::string shown;
        for (const std::string &a : c.args)
            shown += "[" + (a.size() > 40 ? a.substr(0, 40) + "..." : a) + "]";
        const ProgramRun run = RunProgram(program, c.args);
        EXPECT_EQ(run.output, c.output) << program << " " << shown;
        EXPECT_EQ(run.status, 0) << program << " " << shown;
    }
}

const std::string NoFahrenheit = "No number (Fahrenheit temperature / 1 \xF8"
                                 "F) given,\r\n  to compute Celsius temperature.\n";

const std::string LapsorUsage = "lapsor  dd:hh:mm  [dd:hh:mm  [<width> [unit]]]\r\n"
                                " (two parameters will give the length of interval as well\r\n"
                                "  the third parameter will divide that length afterwards)\r\n"
                                "\r\n";

const std::string NoFiniteResult = "No finite number (time / 1 d) results,\r\n"
                                   "  the times or the width are too large or too small.\n";

const std::string SexadecUsage =
    "degrees:minutes:seconds to degrees (or h:min:s -> hours): babylonian to decadic\n";

std::string Repeated(const std::string &piece, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

const std::string Digits5000(5000, '9');

} // namespace

TEST(Tempconv, CelsiusOrMessage)
{
    ExpectRuns(TEMPCONV, {
        {{"212"}, "100.00\xF8" "C\n"},
        {{"98.6"}, " 37.00\xF8" "C\n"},
        {{"32"}, "  0.00\xF8" "C\n"},
        {{"-40"}, "-40.00\xF8" "C\n"},
        {{"0"}, "-17.78\xF8" "C\n"},
        {{"1000"}, "537.78\xF8" "C\n"},
        {{" 50"}, " 10.00\xF8" "C\n"},
        {{"1e2"}, " 37.78\xF8" "C\n"},
        {{"50", "ignored", "too"}, " 10.00\xF8" "C\n"},
        {{"-1e308"}, "-5.555555555555556E+307\xF8" "C\n"},
        {{}, NoFahrenheit},
        {{""}, NoFahrenheit},
        {{"98,6"}, NoFahrenheit},
        {{"12F"}, NoFahrenheit},
        {{"50 "}, NoFahrenheit},
        {{"nan"}, NoFahrenheit},
        {{"\xFF\xFE"}, NoFahrenheit},
        // Beyond the range of a double there is no temperature.
        {{"1e400"}, NoFahrenheit},
        {{Digits5000}, NoFahrenheit},
        // Long parameters are read whole, never cut.
        {{std::string(5000, ' ') + "50"}, " 10.00\xF8" "C\n"},
        {{"0." + std::string(5000, '0') + "1"}, "-17.78\xF8" "C\n"},
    });
}

TEST(Lapsor, TimesIntervalsAndRatios)
{
    ExpectRuns(LAPSOR, {
        {{}, LapsorUsage},
        {{"2"}, " 2.00000"},
        {{"1.5"}, " 1.50000"},
        {{"0:0:36"}, " 0.02500"},
        {{"0:36"}, " 1.50000"},
        {{"1:12:30:30"}, " 1.52118"},
        {{"-1:12"}, "-0.50000"},
        {{"?"}, " 0.00000"},
        {{"?x"}, " 0.00000"},
        {{"-?"}, LapsorUsage},
        {{"1:?"}, LapsorUsage},
        {{"1", "1:?"}, " 1.00000" + LapsorUsage},
        {{"1:12:00", "3:00:00"},
         " 1.50000 d (start)\r\n 3.00000 d (end)\n 1.50000 d (time)\n"},
        // The end time keeps hours and minutes of the start time.
        {{"1:12:30", "2"}, " 1.52083 d (start)\r\n 2.52083 d (end)\n 1.00000 d (time)\n"},
        {{"1:12:00", "3:00:00", "0.5"},
         " 1.50000 d (start)\r\n 3.00000 d (end)\n 1.50000 d (time)\n 3.00000  (ratio)\n"},
        {{"0", "2", "12", "h"},
         " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n 4.00000 h (ratio)\n"},
        {{"0", "2", "12", "hours"},
         " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n 4.00000 h (ratio)\n"},
        {{"0", "2", "1", "days"},
         " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n 2.00000 d (ratio)\n"},
        {{"0", "0.00003", "0.00002"},
         " 0.00000 d (start)\r\n 0.00003 d (end)\n 0.00003 d (time)\n 1.50000  (ratio)\n"},
        {{"0", "2", "0"}, " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n"},
        {{"0", "2", "x"}, " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n"},
        {{"0", "2", "1", ""}, " 0.00000 d (start)\r\n 2.00000 d (end)\n 2.00000 d (time)\n 2.00000  (ratio)\n"},
        // A field that begins with a rejected character reads as 0 and ends
        // the time; the later fields keep their values (here 30 minutes).
        {{"1:12:30", "2::45"}, " 1.52083 d (start)\r\n 2.02083 d (end)\n 0.50000 d (time)\n"},
        // Fields after the fourth are ignored.
        {{"1:2:3:4:5:6"}, " 1.08546"},
        {{"1" + Repeated(":1", 2500)}, " 1.04237"},
        // A '?' far into a long parameter still asks for the usage.
        {{std::string(3000, '1') + "?"}, LapsorUsage},
        {{"nan"}, " 0.00000"},
        {{"\xFF:\xFE"}, " 0.00000"},
        // A result that is no finite number is replaced by the message,
        // which ends the output.
        {{"1e400"}, NoFiniteResult},
        {{"1e400", "1e400"}, NoFiniteResult},
        {{"1", "1e400"}, " 1.00000 d (start)\r\n" + NoFiniteResult},
        {{"-1e308", "1e308"},
         "-1.000000000000000E+308 d (start)\r\n 1.000000000000000E+308 d (end)\n" + NoFiniteResult},
        {{"0", "1", "1e-320"}, " 0.00000 d (start)\r\n 1.00000 d (end)\n 1.00000 d (time)\n" + NoFiniteResult},
        {{"0", "1", "1e-300", "h"},
         " 0.00000 d (start)\r\n 1.00000 d (end)\n 1.00000 d (time)\n 2.400000000000000E+301 h (ratio)\n"},
    });
}

TEST(Sexadec, DecimalAndTimesFifteen)
{
    ExpectRuns(SEXADEC, {
        {{}, SexadecUsage},
        {{"1", "2"}, SexadecUsage},
        {{"12:30"}, " 12.5000, and *15 = 187.5000\n"},
        {{"-0:30"}, " -0.5000, and *15 =  -7.5000\n"},
        {{"12.5"}, " 12.5000, and *15 = 187.5000\n"},
        {{"5:30"}, "  5.5000, and *15 =  82.5000\n"},
        {{"360:59:59"}, "360.9997, and *15 =5414.9958\n"},
        {{"12:30:45.50"}, " 12.5126, and *15 = 187.6896\n"},
        // The product is rounded from its extended value (0.00045000...01).
        {{"0.00003"}, "  0.0000, and *15 =   0.0005\n"},
        {{"361"}, ""},
        {{"400:00"}, ""},
        {{"12:60"}, ""},
        {{":30"}, ""},
        {{""}, ""},
        {{"1e400"}, ""},
        {{"nan"}, ""},
        {{"\xFF"}, ""},
        {{Digits5000}, ""},
        {{"12:65541"}, ""},
        // Long parameters are read whole.
        {{std::string(5000, '0') + "12:30"}, " 12.5000, and *15 = 187.5000\n"},
        {{std::string(5000, ' ') + "12:30"}, " 12.5000, and *15 = 187.5000\n"},
    });
}
