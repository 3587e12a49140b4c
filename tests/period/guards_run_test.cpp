// End-to-end runs of kalidor on input that the computation or the user's
// files cannot survive: numbers too large for a double, an output file that
// is the input file.  Each case runs in a directory of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>

#include "run_kalidor.h"

namespace {

const std::string Head = "Kalidor - verze 1.4 (22. rijna 1993)\nAutor Kibo Varsk\n\n\n"
                         "Minimalni perioda (ve dnech):   Maximalni perioda (ve dnech):   "
                         "Pocet intervalu:                \n";

// Five estimates over about a month, a clear variation.
const std::string FiveEstimates = "900801  20.00  6.1\n"
                                  "900805  21.30  6.9\n"
                                  "900811  22.00  6.3\n"
                                  "900818  23.15  6.8\n"
                                  "900829  20.45  6.2\n";

struct GuardCase {
    const char *name;
    const char *parameter;       // the observation file's name
    std::string content;         // written under that name ("" = none)
    const char *link;            // a symbolic link to the parameter ("" = none)
    std::string input;           // standard input
    std::string output;          // expected standard output (before the report of a run-time error)
    int status;
    bool runtimeError;           // the output ends with a run-time error report
};

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-guard-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

const std::string Report106 = "Runtime error 106 at 0x[0-9A-F]{8}\n(  0x[0-9A-F]{8}\n)+\n";

TEST(KalidorGuards, RefusedInsteadOfComputingWithInfinitiesOrOverwritingTheInput)
{
    const std::vector<GuardCase> cases = {
        {"period too large for a double", "star.dat", FiveEstimates, "", "1e999\n",
         "Kalidor - verze 1.4 (22. rijna 1993)\nAutor Kibo Varsk\n\n\nMinimalni perioda (ve dnech):   ", 106, true},
        {"fold period too large for a double", "star.jud",
         "48100.5   6.1\n48104.9   6.9\n48110.9   6.3\n48118.0   6.8\n48128.9   6.2\n", "",
         "1\n10\n9\n\nn\na\n1e999\n",
         Head + "\nPocitam frekvencni spektrum ...\nPrejete si prepocitat pro jine periody (a/n)?  \n"
                "Prejete si data seskladat do jedne periody (a/n)?  Perioda (nalezene maximum: 10.000 dne):  ",
         106, true},
        {"spectrum file would be the input", "star.ven", FiveEstimates, "", "1\n10\n9\n",
         Head + "Pocitam julianska data ...\nSoubor star.jud vytvoren\n\nPocitam frekvencni spektrum ...\n"
                "Soubor star.ven je vstupni soubor, nelze jej prepsat.\n",
         1, false},
        {"Julian-date file is a link to the input", "star.dat", FiveEstimates, "star.jud", "1\n10\n9\n",
         Head + "Pocitam julianska data ...\nSoubor star.jud je vstupni soubor, nelze jej prepsat.\n", 1, false},
        // An input without separators: the first number's text passes its
        // limit and the run stops instead of scanning forever.
        {"endless input without separators", "/dev/zero", "", "", "1\n10\n9\n",
         Head + "Pocitam julianska data ...\n", 106, true},
        {"time span beyond a double", "far.jud", "-1e308 6.1\n0 6.9\n1 6.3\n2 6.8\n1e308 6.2\n", "", "1\n10\n9\n",
         Head + "Data odhadu jsou prilis vzdalena: spektrum nelze spocitat.\n", 1, false},
        {"squares of the magnitudes beyond a double", "huge.jud",
         "1 1e200\n2 -1e200\n3 1e200\n4 -1e200\n5 0\n", "", "1\n3\n9\n",
         Head + "\nPocitam frekvencni spektrum ...\n"
                "Hvezdne velikosti jsou prilis velke: spektrum nelze spocitat.\n",
         1, false},
    };
    for (const GuardCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = MakeDirectory();
        ASSERT_FALSE(dir.empty());
        WriteFileContent(dir + "/" + c.parameter, c.content);
        if (*c.link) {
            ASSERT_EQ(symlink(c.parameter, (dir + "/" + c.link).c_str()), 0);
        }
        WriteFileContent(dir + "/stdin", c.input);
        const pid_t pid = StartProgram(KALIDOR, {c.parameter}, dir, dir + "/stdin", dir + "/stdout");
        EXPECT_EQ(WaitProgram(pid), c.status);
        const std::string output = FileContent(dir + "/stdout");
        if (c.runtimeError) {
            // The output up to the failing prompt, then the report.
            const std::size_t at = output.find("Runtime error");
            ASSERT_NE(at, std::string::npos) << output;
            EXPECT_EQ(output.substr(0, at), c.output);
            EXPECT_TRUE(std::regex_match(output.substr(at), std::regex(Report106))) << output;
        } else {
            EXPECT_EQ(output, c.output);
        }
        // The input file is never emptied or replaced.
        EXPECT_EQ(FileContent(dir + "/" + c.parameter), c.content);
        std::system(("rm -rf '" + dir + "'").c_str());
    }
}

} // namespace
