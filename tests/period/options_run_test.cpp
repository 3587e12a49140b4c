// kalidor's options: refusals come before anything else happens, with one
// line naming the fault and the usage on standard error, and status 1.
#include <gtest/gtest.h>

#include "run_kalidor.h"

namespace {

struct OptionCase {
    std::vector<std::string> args;
    std::string firstErrorLine;
};

// Runs kalidor with empty standard input; returns the status and fills the
// two outputs.
int RunWithOutputs(const std::vector<std::string> &args, std::string &out, std::string &err)
{
    char pattern[] = "/tmp/kalidor-options-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string errPath = dir + "/err";
    std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" 2>" + errPath, KALIDOR};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    const int status = WaitProgram(StartProgram("/bin/sh", shellArgs, dir, "/dev/null", dir + "/out"));
    out = FileContent(dir + "/out");
    err = FileContent(errPath);
    std::remove((dir + "/out").c_str());
    std::remove(errPath.c_str());
    rmdir(dir.c_str());
    return status;
}

TEST(KalidorOptions, RefusedBeforeTheBannerWithTheUsage)
{
    const std::vector<OptionCase> cases = {
        {{"--bnad", "V", "star.dat"}, "kalidor: unrecognized option '--bnad'"},
        {{"--band"}, "kalidor: option '--band' requires a value"},
        {{"--heliocentric", "10:00"}, "kalidor: option '--heliocentric' requires two values, RA and DEC"},
        {{"--periods", "5", "star.dat"}, "kalidor: invalid value '5' for --periods (MIN:MAX in days)"},
        {{"--periods=20:1", "star.dat"}, "kalidor: --periods needs 0 < MIN < MAX"},
        {{"--intervals", "0", "star.dat"}, "kalidor: invalid value '0' for --intervals"},
        {{"--report=xml", "star.dat"}, "kalidor: invalid value 'xml' for --report (text or json)"},
        {{"--plot-size", "800", "star.dat"}, "kalidor: invalid value '800' for --plot-size (WxH, 16 to 20000 pixels)"},
        {{"--fold", "-2", "star.dat"}, "kalidor: invalid value '-2' for --fold (a period in days, or best)"},
    };
    for (const OptionCase &c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::string out, err;
        EXPECT_EQ(RunWithOutputs(c.args, out, err), 1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err.substr(0, err.find('\n')), c.firstErrorLine);
        EXPECT_NE(err.find("Usage: kalidor [OPTION]... FILE"), std::string::npos);
    }
}

} // namespace
