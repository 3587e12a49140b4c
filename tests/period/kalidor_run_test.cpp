// The built kalidor, run in a directory of its own on prepared files and
// standard input: standard output byte for byte, the exit status, and the
// files it leaves behind.  Every picture step reads one answer line (the
// hard-copy answer); the prepared inputs give an empty line there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "run_kalidor.h"

namespace {

struct NamedText {
    std::string name;
    std::string content;
};

// A spectrum file to check: its number of lines, each in the 48-character
// form without a non-finite value, and optionally the period column.
struct ExpectedSpectrum {
    std::string name;
    int lines;
    std::vector<std::string> periods = {};
};

struct Case {
    std::string label;
    std::vector<std::string> args;
    std::vector<NamedText> files; // prepared in the working directory
    std::string input;            // standard input
    std::string output;           // standard output (before a run-time error report)
    int status;                   // exit status, the code for a run-time error
    bool runError = false;        // the output ends with a run-time error report
    std::vector<NamedText> expectedFiles = {};
    std::vector<std::string> absentFiles = {};
    std::vector<ExpectedSpectrum> spectra = {};
};

// --- the texts of the dialogue ---------------------------------------------

const std::string BannerLines = "Kalidor - verze 1.4 (22. rijna 1993)\n"
                                "Autor Kibo Varsk\n";
const std::string Banner = BannerLines + "\n\n";
const std::string HelpText = BannerLines + "\n"
                                           "Priklad pouziti:  C:\\OS\\KIBO>  kalidor.exe betalyr.dat\n"
                                           "Vstupni  soubor  betalyr.dat  obsahuje na kazdem radku\n"
                                           "postupne  datum  (mezi rokem  1901  a  1999), cas (UT)\n"
                                           "a hvezdnou velikost  (ci odhadni stupen). Tyto polozky\n"
                                           "jsou oddelene jednou nebo vice mezerami. Jejich format\n"
                                           "ukazuje priklad:\n"
                                           "\n"
                                           "900812  23.56  12.67\n"
                                           "\n"
                                           "znamena odhad z 12. srpna 1990 (23 h 56 min UT), pricemz\n"
                                           "hvezda mela 12,67 magnitudy\n"
                                           "\n"
                                           "Zmackni ENTER ...\n";
const std::string MinimumPrompt = "Minimalni perioda (ve dnech):   ";
const std::string MaximumPrompt = "Maximalni perioda (ve dnech):   ";
const std::string IntervalsPrompt = "Pocet intervalu:                ";
const std::string Opening = Banner + MinimumPrompt + MaximumPrompt + IntervalsPrompt + "\n";
const std::string Converting = "Pocitam julianska data ...\n";
const std::string Note = "Poznamka: Data nejsou usporadana chronologicky\n";
const std::string SpectrumLine = "\nPocitam frekvencni spektrum ...\n";
const std::string Recompute = "Prejete si prepocitat pro jine periody (a/n)?  ";
const std::string FoldQuestion = "\nPrejete si data seskladat do jedne periody (a/n)?  ";
const std::string FoldAgain = "Seskladat pro jinou periodu (a/n)?  ";
const std::string NoPositiveMinimum = "Minimalni perioda musi byt kladna.\n";

std::string Created(const std::string &stem) { return "Soubor " + stem + ".jud vytvoren\n"; }

std::string Warning(const std::string &span)
{
    return "\nPoznamka: Maximalni perioda prevysuje interval mezi\n"
           "prvnim a poslednim odhadem (" +
           span + ") dne.\n\n";
}

std::string FoldPrompts(const std::string &hint, const std::string &firstDate)
{
    return "Perioda (nalezene maximum: " + hint + " dne):  Zakladni epocha (prvni odhad: " + firstDate + "):  ";
}

// --- prepared data ---------------------------------------------------------

// 12 + 0.5 sin(2 pi t / 4) + 0.3 cos(2 pi t / 4) at whole days from
// 1 January 1990, 31 days in all: the best period of any grid through 4 is 4.
const std::string SineData = "900101  0.00  12.30\n"
                             "900102  0.00  12.50\n"
                             "900103  0.00  11.70\n"
                             "900104  0.00  11.50\n"
                             "900106  0.00  12.50\n"
                             "900107  0.00  11.70\n"
                             "900201  0.00  11.50\n";
const std::string SineJulianDates = "47892.500   12.300\n"
                                    "47893.500   12.500\n"
                                    "47894.500   11.700\n"
                                    "47895.500   11.500\n"
                                    "47897.500   12.500\n"
                                    "47898.500   11.700\n"
                                    "47923.500   11.500\n";

// Enough for the readers; the run then stops at the minimum period 0
// before any spectrum is computed.
const std::string StopAtTheSpectrum = "0\n10\n10\n";
const std::string StoppedAtTheSpectrum = SpectrumLine + NoPositiveMinimum;

// Ends after one spectrum pass: no recompute, no folding.
const std::string OnePass = "1\n3\n4\n\nn\nn\n";
const std::vector<std::string> PeriodsOneToThree = {" 1.000000000000000E+000", " 1.500000000000000E+000",
                                                    " 2.000000000000000E+000", " 2.500000000000000E+000",
                                                    " 3.000000000000000E+000"};

// n observation records in chronological order, more than 1000 days apart.
std::string ManyRecords(int n)
{
    std::string text;
    char line[64];
    for (int i = 0; i < n; ++i) {
        std::snprintf(line, sizeof line, "%02d%02d%02d  12.00  %.2f\n", 90 + i / 336, 1 + i / 28 % 12, 1 + i % 28,
                      10 + i % 7 * 0.1);
        text += line;
    }
    return text;
}

std::string ManyJulianDates(int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += std::to_string(48000 + i) + ".500   1" + std::to_string(i % 7) + ".000\n";
    return text;
}

// --- running a table -------------------------------------------------------

const std::regex RunErrorReport("Runtime error ([0-9]+) at 0x[0-9A-Fa-f]{8}\n(  0x[0-9A-Fa-f]{8}\n)+\n");

void CheckSpectrumFile(const std::string &dir, const ExpectedSpectrum &expected)
{
    SCOPED_TRACE(expected.name);
    ASSERT_TRUE(FileExists(dir + "/" + expected.name));
    const std::string content = FileContent(dir + "/" + expected.name);
    std::vector<std::string> periods;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "last line without a line end";
        const std::string line = content.substr(start, end - start);
        EXPECT_EQ(line.size(), 48u) << line;
        EXPECT_EQ(line.find_first_not_of(" 0123456789.E+-"), std::string::npos) << line;
        periods.push_back(line.substr(0, 23));
        start = end + 1;
    }
    EXPECT_EQ(static_cast<int>(periods.size()), expected.lines);
    if (!expected.periods.empty()) {
        EXPECT_EQ(periods, expected.periods);
    }
}

void CheckRun(const Case &c, const std::string &dir, int status, pid_t pid)
{
    SCOPED_TRACE(c.label);
    const std::string work = dir + "/work";
    const std::string output = FileContent(dir + "/output");
    EXPECT_EQ(status, c.status);
    if (c.runError) {
        ASSERT_EQ(output.substr(0, c.output.size()), c.output);
        std::smatch match;
        const std::string report = output.substr(c.output.size());
        EXPECT_TRUE(std::regex_match(report, match, RunErrorReport)) << report;
        if (!match.empty()) {
            EXPECT_EQ(match[1].str(), std::to_string(c.status));
        }
    } else {
        EXPECT_EQ(output, c.output);
    }
    for (const NamedText &f : c.expectedFiles) {
        EXPECT_TRUE(FileExists(work + "/" + f.name)) << f.name;
        EXPECT_EQ(FileContent(work + "/" + f.name), f.content) << f.name;
    }
    for (const std::string &name : c.absentFiles)
        EXPECT_FALSE(FileExists(work + "/" + name)) << name;
    for (const ExpectedSpectrum &s : c.spectra)
        CheckSpectrumFile(work, s);
    // The printer spool is removed at every end when nothing was printed.
    EXPECT_FALSE(FileExists("/tmp/" + std::to_string(pid) + ".lst"));
}

// Starts every case at once (each spectrum pass beeps for a third of a
// second), then checks them in order.
void RunCases(const std::vector<Case> &cases)
{
    char pattern[] = "/tmp/kalidor-run-XXXXXX";
    const char *made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    const std::string base = made;
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string dir = base + "/" + std::to_string(i);
        mkdir(dir.c_str(), 0755);
        mkdir((dir + "/work").c_str(), 0755);
        for (const NamedText &f : cases[i].files) {
            const std::size_t slash = f.name.find('/');
            if (slash != std::string::npos)
                mkdir((dir + "/work/" + f.name.substr(0, slash)).c_str(), 0755);
            WriteFileContent(dir + "/work/" + f.name, f.content);
        }
        WriteFileContent(dir + "/input", cases[i].input);
        pids.push_back(StartProgram(KALIDOR, cases[i].args, dir + "/work", dir + "/input", dir + "/output"));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const int status = WaitProgram(pids[i]);
        CheckRun(cases[i], base + "/" + std::to_string(i), status, pids[i]);
    }
    std::filesystem::remove_all(base);
}

} // namespace

TEST(KalidorRun, HelpRequestsAndParameters)
{
    const Case quickStop = {"", {}, {{"star.dat", SineData}}, StopAtTheSpectrum,
                            Opening + Converting + Created("star") + StoppedAtTheSpectrum, 1};
    Case secondIgnored = quickStop;
    secondIgnored.label = "only the first parameter counts";
    secondIgnored.args = {"star.dat", "--help"};
    RunCases({
        {"no parameter", {}, {}, "\n", HelpText, 1},
        {"empty parameter", {""}, {}, "\n", HelpText, 1},
        {"question mark", {"?"}, {}, "\n", HelpText, 1},
        {"question mark inside", {"data?.txt"}, {}, "\n", HelpText, 1},
        {"--help", {"--help"}, {}, "\n", HelpText, 1},
        {"help without an Enter to read", {"?"}, {}, "", HelpText, 1},
        {"--HELP names no option: refused before the banner", {"--HELP"}, {}, "1\n2\n3\n", "", 1},
        {"--HELP is a file name where it exists", {"--HELP"}, {{"--HELP", SineData}}, OnePass,
         Opening + Converting + Created("") + SpectrumLine + Recompute + FoldQuestion, 1},
        {"-h is a file name without a point",
         {"-h"},
         {{"-h", SineData}},
         OnePass,
         Opening + Converting + Created("") + SpectrumLine + Recompute + FoldQuestion,
         1,
         false,
         {{".jud", SineJulianDates}},
         {},
         {{".ven", 5, PeriodsOneToThree}}},
        secondIgnored,
        {"star.old.dat derives star.jud and star.ven",
         {"star.old.dat"},
         {{"star.old.dat", SineData}},
         OnePass,
         Opening + Converting + Created("star") + SpectrumLine + Recompute + FoldQuestion,
         1,
         false,
         {{"star.jud", SineJulianDates}},
         {"star.old.jud"},
         {{"star.ven", 5, PeriodsOneToThree}}},
        {"star.jud is read as Julian dates (out of order, no note)",
         {"star.jud"},
         {{"star.jud", "47893.500   12.500\n47892.500   12.300\n47894.5 11.7\n47895.500\t11.500\n"
                       "47897.500   12.500\n47898.500   11.700\n47923.500   11.500\n"}},
         OnePass,
         Opening + SpectrumLine + Recompute + FoldQuestion,
         1,
         false,
         {{"star.jud", "47893.500   12.500\n47892.500   12.300\n47894.5 11.7\n47895.500\t11.500\n"
                       "47897.500   12.500\n47898.500   11.700\n47923.500   11.500\n"}},
         {},
         {{"star.ven", 5, PeriodsOneToThree}}},
        {"star.JUD is an observation file",
         {"star.JUD"},
         {{"star.JUD", SineData}},
         StopAtTheSpectrum,
         Opening + Converting + Created("star") + StoppedAtTheSpectrum,
         1,
         false,
         {{"star.jud", SineJulianDates}, {"star.JUD", SineData}},
         {"star.ven"}},
        {"missing Julian-date file", {"gone.jud"}, {}, "1\n2\n3\n", Opening, 2, true},
        {"missing observation file", {"gone.dat"}, {}, "1\n2\n3\n", Opening + Converting, 2, true, {}, {"gone.jud"}},
    });
}

TEST(KalidorRun, WholeRunsAndAnswers)
{
    RunCases({
        {"recompute, two folds, the warning in both places",
         {"star.dat"},
         {{"star.dat", SineData}},
         "\n\n1\n40\n78\n\na\n2\n35\n33\n\nn\na\n4\n47892.5\n\na\n4.5 and the rest of the line\n47900\n\nn\n",
         Opening + Converting + Created("star") + Warning("31.00") + SpectrumLine + Recompute + MinimumPrompt +
             MaximumPrompt + Warning("31.00") + IntervalsPrompt + SpectrumLine + Recompute + FoldQuestion +
             FoldPrompts("4.000", "47892.500") + FoldAgain + FoldPrompts("4.000", "47892.500") + FoldAgain,
         0,
         false,
         {{"star.jud", SineJulianDates}},
         {},
         {{"star.ven", 34}}},
        {"maximum equal to the span: no warning; ' a' and 'ano' are no",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n31\n10\n\na\n2\n31\n10\n\n a\nano\n",
         Opening + Converting + Created("star") + SpectrumLine + Recompute + MinimumPrompt + MaximumPrompt +
             IntervalsPrompt + SpectrumLine + Recompute + FoldQuestion,
         1,
         false,
         {},
         {},
         {{"star.ven", 11}}},
        {"'A' and an empty line are no",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n10\n10\n\nA\n\n",
         Opening + Converting + Created("star") + SpectrumLine + Recompute + FoldQuestion,
         1},
        {"decimal comma at the fold period",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n10\n18\n\nn\na\n4,0\n",
         Opening + Converting + Created("star") + SpectrumLine + Recompute + FoldQuestion +
             "Perioda (nalezene maximum: 4.000 dne):  ",
         106,
         true},
        {"no intervals in a recompute",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n10\n10\n\na\n1\n10\n-3\n",
         Opening + Converting + Created("star") + SpectrumLine + Recompute + MinimumPrompt + MaximumPrompt +
             IntervalsPrompt + SpectrumLine + "Pocet intervalu musi byt alespon 1.\n",
         1},
    });
}

TEST(KalidorRun, NumbersThatCannotBeRead)
{
    const std::string good2 = "900812  12.00  12.67\n900813  0.25  12.5\n";
    RunCases({
        {"letters at the minimum", {"star.dat"}, {{"star.dat", SineData}}, "abc\n", Banner + MinimumPrompt, 106, true},
        {"decimal comma at the maximum",
         {"star.dat"},
         {{"star.dat", SineData}},
         "\n1\n12,5\n",
         Banner + MinimumPrompt + MaximumPrompt,
         106,
         true},
        {"fraction at the intervals",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n10\n2.5\n",
         Banner + MinimumPrompt + MaximumPrompt + IntervalsPrompt,
         106,
         true},
        {"input ends before a number",
         {"star.dat"},
         {{"star.dat", SineData}},
         "1\n\n",
         Banner + MinimumPrompt + MaximumPrompt,
         106,
         true},
        {"decimal comma in a magnitude",
         {"star.dat"},
         {{"star.dat", good2 + "910115  23.50  11,9\n991231  0  13\n"}},
         StopAtTheSpectrum,
         Opening + Converting,
         106,
         true,
         {},
         {"star.jud"}},
        {"less-than sign before an estimate",
         {"star.dat"},
         {{"star.dat", good2 + "910115  23.50  <11.9\n"}},
         StopAtTheSpectrum,
         Opening + Converting,
         106,
         true,
         {},
         {"star.jud"}},
        {"record cut short by the end of the file",
         {"star.dat"},
         {{"star.dat", good2 + "910115  23.50"}},
         StopAtTheSpectrum,
         Opening + Converting,
         106,
         true,
         {},
         {"star.jud"}},
        {"extra empty line at the end",
         {"star.dat"},
         {{"star.dat", SineData + "\n"}},
         StopAtTheSpectrum,
         Opening + Converting,
         106,
         true,
         {},
         {"star.jud"}},
        {"blank after the last line end",
         {"star.dat"},
         {{"star.dat", SineData + " "}},
         StopAtTheSpectrum,
         Opening + Converting,
         106,
         true,
         {},
         {"star.jud"}},
        {"decimal comma in a Julian-date file",
         {"star.jud"},
         {{"star.jud", "48116.000   12,670\n"}},
         StopAtTheSpectrum,
         Opening,
         106,
         true},
    });
}

TEST(KalidorRun, OutputFilesThatCannotBeCreated)
{
    // A directory in the place of the output file: access denied.
    Case julianDates = {"Julian-date file", {"star.dat"}, {{"star.dat", SineData}}, "1\n10\n10\n",
                        Opening + Converting, 5, true};
    Case spectrum = {"spectrum file", {"star.dat"}, {{"star.dat", SineData}}, "1\n10\n10\n",
                     Opening + Converting + Created("star") + SpectrumLine, 5, true, {{"star.jud", SineJulianDates}}};
    std::vector<Case> cases = {julianDates, spectrum};
    cases[0].files.push_back({"star.jud/keep", "a file in the directory\n"});
    cases[1].files.push_back({"star.ven/keep", "a file in the directory\n"});
    cases[0].expectedFiles.push_back({"star.jud/keep", "a file in the directory\n"});
    RunCases(cases);
}

TEST(KalidorRun, DatesAndTimesOfTheRecords)
{
    // In calendar order, so no note; the last record (the year written
    // out) has no line end.
    const std::string records = "900012  0  11\n"        // month 0: 12 December 1989
                                "900231  0  10\n"        // 31 February: 3 March 1990
                                "900800\t0\t10.5\n"      // day 0: 31 July 1990
                                "9.0081e5  12.00  10.25\n"
                                "900812  12.00  12.67\n"
                                "900812  23.56  12.67\r\n" // 23 h 56 min
                                "900812  24.00  12.0\n"    // hour 24: 0 h of the next day
                                "900812  12.5  9   remark\n" // 12 h 50 min
                                "900813  0.25  12.5\n"
                                "900813  0.30  -1.25\n"
                                "  910115  23.50  11.9\n"
                                "991231  0  13\n"
                                "19991231  12.00  8";     // the same day as the record before
    const std::string julianDates = "47872.500   11.000\n"
                                    "47953.500   10.000\n"
                                    "48103.500   10.500\n"
                                    "48114.000   10.250\n"
                                    "48116.000   12.670\n"
                                    "48116.497   12.670\n"
                                    "48116.500   12.000\n"
                                    "48116.035   9.000\n"
                                    "48116.517   12.500\n"
                                    "48116.521   -1.250\n"
                                    "48272.493   11.900\n"
                                    "51543.500   13.000\n"
                                    "51544.000   8.000\n";
    const std::string noteOnce = "900812 12.00 12.1\n900810 12.00 12.4\n900811 12.00 11.9\n"
                                 "900820 12.00 12.6\n900825 12.00 12.0\n";
    const std::string noteTwice = "900812 12.00 12.1\n900810 12.00 12.4\n900811 12.00 11.9\n"
                                  "900809 23.59 12.6\n900825 12.00 12.0\n";
    RunCases({
        {"date and time edges",
         {"star.dat"},
         {{"star.dat", records}},
         StopAtTheSpectrum,
         Opening + Converting + Created("star") + StoppedAtTheSpectrum,
         1,
         false,
         {{"star.jud", julianDates}}},
        {"one record out of order",
         {"star.dat"},
         {{"star.dat", noteOnce}},
         StopAtTheSpectrum,
         Opening + Converting + Note + Created("star") + StoppedAtTheSpectrum,
         1},
        {"two records out of order",
         {"star.dat"},
         {{"star.dat", noteTwice}},
         StopAtTheSpectrum,
         Opening + Converting + Note + Note + Created("star") + StoppedAtTheSpectrum,
         1},
    });
}

TEST(KalidorRun, RejectedRecords)
{
    const std::string before = "900101  0.00  12.30\n900102  0.00  12.50\n";
    const std::string after = "900103  0.00  11.70\n900104  0.00  11.50\n900106  0.00  12.50\n";
    const struct {
        const char *record;
    } bad[] = {
        {"900832  12.00  12.1"},  // day 32
        {"901312  12.00  12.1"},  // month 13
        {"900812  23.60  12.1"},  // minutes 60
        {"900812  25.00  12.1"},  // hour 25
        {"900812  -1.00  12.1"},  // negative hour
        {"-900812  12.00  12.1"}, // negative day and month
        {"900812  12.00  1e999"}, // magnitude beyond any number
        {"1e999  12.00  12.1"},   // date beyond any number
        // Values whose text in the Julian-date file would pass 255
        // characters and be cut to another number.
        {"900812  12.00  1e300"},
        {"900812  12.00  -1e251"},
        {"1e260  12.00  12.1"},
    };
    std::vector<Case> cases;
    for (const auto &b : bad)
        cases.push_back({b.record,
                         {"star.dat"},
                         {{"star.dat", before + b.record + "\n" + after}, {"star.jud", "an older file\n"}},
                         StopAtTheSpectrum,
                         Opening + Converting + std::string(b.record[0] == '-' ? Note : "") +
                             "Spatny format dat na radku 3\n",
                         1,
                         false,
                         {{"star.jud", "an older file\n"}}}); // the earlier file stays as it was
    cases.push_back({"first record", {"star.dat"}, {{"star.dat", "900812  23.60  12.1\n" + after}},
                     StopAtTheSpectrum, Opening + Converting + "Spatny format dat na radku 1\n", 1, false, {},
                     {"star.jud"}});
    cases.push_back({"twelfth record, after a note",
                     {"star.dat"},
                     {{"star.dat", ManyRecords(3) + "891231  0  1\n" + ManyRecords(7) + "900101 0.60 1\n"}},
                     StopAtTheSpectrum,
                     Opening + Converting + Note + Note + "Spatny format dat na radku 12\n",
                     1,
                     false,
                     {},
                     {"star.jud"}});
    RunCases(cases);
}

// n copies of one line.
std::string Repeated(const std::string &line, int n)
{
    std::string text;
    text.reserve(line.size() * n);
    for (int i = 0; i < n; ++i)
        text += line;
    return text;
}

TEST(KalidorRun, DataAndRangesThatAreRefused)
{
    const std::string tooMany = "Prilis mnoho odhadu: program pojme nejvyse 1000000 zaznamu.\n";
    const std::string empty = "Soubor neobsahuje zadny odhad.\n";
    const std::string TooManyIntervals = "Pocet intervalu smi byt nejvyse 10000000.\n";
    const std::string fourRecords = "900101 0 12.3\n900102 0 12.5\n900103 0 11.7\n900104 0 11.5\n";
    RunCases({
        {"1000001 records", {"star.dat"}, {{"star.dat", Repeated("900101 0 12\n", 1000001)}}, StopAtTheSpectrum,
         Opening + Converting + tooMany, 1, false, {}, {"star.jud"}},
        {"1000 records", {"star.dat"}, {{"star.dat", ManyRecords(1000)}}, StopAtTheSpectrum,
         Opening + Converting + Created("star") + StoppedAtTheSpectrum, 1},
        {"1000001 Julian dates", {"star.jud"}, {{"star.jud", Repeated("48000.5 12\n", 1000001)}},
         StopAtTheSpectrum, Opening + tooMany, 1},
        {"1000001 table rows", {"star.csv"}, {{"star.csv", Repeated("2448000.5,12\n", 1000001)}},
         StopAtTheSpectrum, Opening + Converting + tooMany, 1, false, {}, {"star.jud"}},
        {"1000 Julian dates", {"star.jud"}, {{"star.jud", ManyJulianDates(1000)}}, StopAtTheSpectrum,
         Opening + StoppedAtTheSpectrum, 1},
        {"empty observation file", {"star.dat"}, {{"star.dat", ""}}, StopAtTheSpectrum, Opening + Converting + empty,
         1, false, {}, {"star.jud"}},
        {"empty Julian-date file", {"star.jud"}, {{"star.jud", ""}}, StopAtTheSpectrum, Opening + empty, 1},
        {"four observations", {"star.dat"}, {{"star.dat", fourRecords}}, StopAtTheSpectrum,
         Opening + Converting + Created("star") + "Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.\n", 1},
        {"all magnitudes equal", {"star.dat"}, {{"star.dat", "900101 0 12\n900102 0 12\n900103 0 12.0\n900104 0 12\n900105 0 12\n"}},
         StopAtTheSpectrum,
         Opening + Converting + Created("star") + "Vsechny odhady maji stejnou velikost: spektrum nelze spocitat.\n",
         1},
        {"last observation before the first",
         {"star.dat"},
         {{"star.dat", "900105 0 12.3\n900104 0 12.5\n900106 0 11.7\n900107 0 11.5\n900101 0 12.0\n"}},
         StopAtTheSpectrum,
         Opening + Converting + Note + Note + Created("star") +
             "Posledni odhad neni pozdeji nez prvni: spektrum nelze spocitat.\n",
         1},
        {"no time span",
         {"star.dat"},
         {{"star.dat", "900105 6.30 12.3\n900106 0 12.5\n900107 0 11.7\n900108 0 11.5\n900105 6.30 12.0\n"}},
         StopAtTheSpectrum,
         Opening + Converting + Note + Created("star") +
             "Posledni odhad neni pozdeji nez prvni: spektrum nelze spocitat.\n",
         1},
        {"negative minimum", {"star.dat"}, {{"star.dat", SineData}}, "-1\n10\n10\n",
         Opening + Converting + Created("star") + SpectrumLine + NoPositiveMinimum, 1, false, {}, {"star.ven"}},
        {"minimum 0 after the warning", {"star.dat"}, {{"star.dat", SineData}}, "0\n40\n10\n",
         Opening + Converting + Created("star") + Warning("31.00") + SpectrumLine + NoPositiveMinimum, 1},
        {"minimum equal to the maximum", {"star.dat"}, {{"star.dat", SineData}}, "5\n5\n10\n",
         Opening + Converting + Created("star") + SpectrumLine + "Minimalni perioda musi byt mensi nez maximalni.\n",
         1},
        {"minimum above the maximum", {"star.dat"}, {{"star.dat", SineData}}, "8\n3\n10\n",
         Opening + Converting + Created("star") + SpectrumLine + "Minimalni perioda musi byt mensi nez maximalni.\n",
         1},
        {"no intervals", {"star.dat"}, {{"star.dat", SineData}}, "1\n10\n0\n",
         Opening + Converting + Created("star") + SpectrumLine + "Pocet intervalu musi byt alespon 1.\n", 1},
        // Too many intervals are refused before the Julian-date file is
        // written, and in a recompute before the spectrum file is rewritten.
        {"too many intervals", {"star.dat"}, {{"star.dat", SineData}}, "1\n10\n10000001\n",
         Banner + MinimumPrompt + MaximumPrompt + IntervalsPrompt + TooManyIntervals, 1, false, {}, {"star.jud"}},
        {"too many intervals in a recompute", {"star.dat"}, {{"star.dat", SineData}}, "1\n10\n4\n\na\n1\n10\n2147483647\n",
         Opening + Converting + Created("star") + SpectrumLine + Recompute + MinimumPrompt + MaximumPrompt +
             IntervalsPrompt + TooManyIntervals,
         1, false, {}, {}, {{"star.ven", 5}}},
    });
}

// The bundled example: a star with the period 4.2713 days.  The spectrum
// from 1 to 20 days in 2000 intervals must put its maximum within one grid
// step of it (the fold prompt shows the maximum with three decimals).
TEST(KalidorRun, FindsThePeriodOfTheExample)
{
    const std::string data = FileContent(EXAMPLE_FILE);
    ASSERT_FALSE(data.empty()) << EXAMPLE_FILE;
    char pattern[] = "/tmp/kalidor-example-XXXXXX";
    const char *made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    const std::string dir = made;
    mkdir((dir + "/work").c_str(), 0755);
    WriteFileContent(dir + "/work/example.dat", data);
    WriteFileContent(dir + "/input", "1\n20\n2000\n\nn\na\n4.2713\n49360\n\nn\n");
    const int status = WaitProgram(StartProgram(KALIDOR, {"example.dat"}, dir + "/work", dir + "/input",
                                                dir + "/output"));
    const std::string output = FileContent(dir + "/output");
    EXPECT_EQ(status, 0) << output;
    const std::string before = Opening + Converting + Created("example") + SpectrumLine + Recompute + FoldQuestion +
                               "Perioda (nalezene maximum: ";
    ASSERT_EQ(output.substr(0, before.size()), before);
    const double found = std::atof(output.c_str() + before.size());
    const double step = (20.0 - 1.0) / 2000;
    EXPECT_NEAR(found, 4.2713, step + 0.0005) << output.substr(before.size(), 20);
    std::filesystem::remove_all(dir);
}

// --- today's observations: eight-digit dates, tables, time scales -----------

namespace {

std::string TableSummary(const std::string &text) { return "Tabulka: pouzito " + text + "\n"; }

// The period of the spectrum's maximum as the fold prompt shows it, after a
// pass from pmin to pmax in 'intervals' steps on a file of test data.
double FoundPeriod(const std::vector<std::string> &args, const std::string &file, const std::string &range)
{
    char pattern[] = "/tmp/kalidor-found-XXXXXX";
    const char *made = mkdtemp(pattern);
    if (made == nullptr)
        return 0;
    const std::string dir = made;
    mkdir((dir + "/work").c_str(), 0755);
    WriteFileContent(dir + "/work/" + file, FileContent(std::string(TEST_DATA) + "/" + file));
    WriteFileContent(dir + "/input", range + "\n\nn\na\n1\n0\n\nn\n");
    std::vector<std::string> all = args;
    all.push_back(file);
    const int status = WaitProgram(StartProgram(KALIDOR, all, dir + "/work", dir + "/input", dir + "/output"));
    const std::string output = FileContent(dir + "/output");
    std::filesystem::remove_all(dir);
    const std::string marker = "Perioda (nalezene maximum: ";
    const std::size_t at = output.find(marker);
    EXPECT_EQ(status, 0) << output;
    return at == std::string::npos ? 0 : std::atof(output.c_str() + at + marker.size());
}

} // namespace

TEST(KalidorRun, EightDigitDates)
{
    const std::string mixed = "19951009 18.09 3.9\n951010 20.28 4.3\n20150312 0 4.0\n20150311 0 4.1\n"
                              "21000301 0 4\n";
    const std::string mixedJulianDates = "50000.256   3.900\n50001.353   4.300\n57093.500   4.000\n"
                                         "57092.500   4.100\n88128.500   4.000\n";
    RunCases({
        {"six and eight digits mixed, one note for the earlier date",
         {"star.dat"},
         {{"star.dat", mixed}},
         StopAtTheSpectrum,
         Opening + Converting + Note + Created("star") + StoppedAtTheSpectrum,
         1,
         false,
         {{"star.jud", mixedJulianDates}}},
        {"seven digits", {"star.dat"}, {{"star.dat", "951009 0 3\n1995109 0 3.9\n"}}, StopAtTheSpectrum,
         Opening + Converting + "Spatny format dat na radku 2\n", 1, false, {}, {"star.jud"}},
        {"a year before 1583", {"star.dat"}, {{"star.dat", "15821231 0 3.9\n"}}, StopAtTheSpectrum,
         Opening + Converting + "Spatny format dat na radku 1\n", 1, false, {}, {"star.jud"}},
    });
}

TEST(KalidorRun, TablesOfTheDatabases)
{
    const std::string header = "\"JD\",\"Magnitude\",\"Band\"\n";
    const std::string rows = "2448100.5,6.1,V\n2448101.5,<6.0,V\n48102.5,6.9,Vis.\n2448103.5,6.3,Visual\n"
                             "2448104.5,,V\n2448105.5,6.8,V\n2448106.5,6.2,V\n2448107.5,6.5,V\n";
    const std::string vJulianDates = "48100.500   6.100\n48105.500   6.800\n48106.500   6.200\n48107.500   6.500\n";
    const std::string hjdTable = "HJD\tMag\n2448100.5\t6.1\n";
    const std::string refusedTwice = "Casy v souboru jsou jiz HJD: druhy prevod nelze provest.\n";
    RunCases({
        {"header, quotes, the band with most estimates",
         {"star.csv"},
         {{"star.csv", header + rows}},
         StopAtTheSpectrum,
         Opening + Converting +
             TableSummary("4 odhadu v pasmu V, vynechano 1 mezi (<, >), 2 odhadu jinych pasem a 1 neuplnych radku.") +
             Created("star") + "Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.\n",
         1,
         false,
         {{"star.jud", vJulianDates}}},
        {"--band Vis. takes Visual too",
         {"--band=Vis.", "star.csv"},
         {{"star.csv", header + rows}},
         StopAtTheSpectrum,
         Opening + Converting +
             TableSummary("2 odhadu v pasmu Vis., vynechano 0 mezi (<, >), 5 odhadu jinych pasem a 1 neuplnych radku.") +
             Created("star") + "Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.\n",
         1,
         false,
         {{"star.jud", "48102.500   6.900\n48103.500   6.300\n"}}},
        {"a band without estimates", {"--band", "B", "star.csv"}, {{"star.csv", header + rows}}, StopAtTheSpectrum,
         Opening + Converting + "V tabulce neni zadny odhad v pasmu B.\n", 1, false, {}, {"star.jud"}},
        {"a row that cannot be read", {"star.csv"}, {{"star.csv", header + rows + "2448108.5,6.5:,V\n"}},
         StopAtTheSpectrum, Opening + Converting + "Spatny format dat na radku 10\n", 1, false, {}, {"star.jud"}},
        {"a header without magnitudes", {"star.csv"}, {{"star.csv", "JD,Band\n2448100.5,V\n"}}, StopAtTheSpectrum,
         Opening + Converting + "Tabulka nema sloupec hvezdne velikosti (Magnitude nebo Mag).\n", 1},
        {"HJD already", {"--heliocentric", "1:00:00", "+10:00:00", "star.txt"}, {{"star.txt", hjdTable}},
         StopAtTheSpectrum, Opening + Converting + refusedTwice, 1, false, {}, {"star.jud"}},
        {"HJD named", {"star.txt"}, {{"star.txt", hjdTable + "2448101.5\t6.2\n"}}, StopAtTheSpectrum,
         Opening + Converting + TableSummary("2 odhadu, vynechano 0 mezi (<, >) a 0 neuplnych radku.") +
             Created("star") + "Casova skala: heliocentricka julianska data (HJD).\n" +
             "Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.\n",
         1},
        {"a decimal comma in the first record", {"star.dat"}, {{"star.dat", "900812  23.56  12,67\n"}},
         StopAtTheSpectrum, Opening + Converting, 106, true, {}, {"star.jud"}},
        {"--band for an observation file", {"--band", "V", "star.dat"}, {{"star.dat", SineData}}, StopAtTheSpectrum,
         Opening + "Volba --band plati jen pro tabulky.\n", 1},
        {"barycentric times of an observation file",
         {"--barycentric", "6.5", "-30.25", "star.dat"},
         {{"star.dat", "20040101 5.30 3.7\n"}},
         StopAtTheSpectrum,
         Opening + Converting + Created("star") + "Casova skala: barycentricka julianska data v TDB (BJD_TDB).\n" +
             "Malo odhadu: k vypoctu spektra je treba alespon 5 odhadu.\n",
         1,
         false,
         {{"star.jud", "53005.733   3.700\n"}}},
        {"a declination beyond the pole", {"--heliocentric", "1", "95", "star.dat"}, {{"star.dat", SineData}},
         StopAtTheSpectrum, "", 1},
    });
}

// Real exports: delta Cep pulsates with 5.366 d, SS Cyg's outbursts recur
// about every 48 d.
TEST(KalidorRun, PeriodsOfRealExports)
{
    EXPECT_NEAR(FoundPeriod({}, "delcep.tsv", "5\n6\n1000"), 5.366, 0.002);
    EXPECT_NEAR(FoundPeriod({"--heliocentric", "22:29:10.27", "+58:24:54.7"}, "delcep.tsv", "5\n6\n1000"), 5.366,
                0.002);
    EXPECT_NEAR(FoundPeriod({}, "sscyg-sample.csv", "20\n100\n800"), 48, 2);
    EXPECT_NEAR(FoundPeriod({"--band", "Visual"}, "sscyg-sample.csv", "20\n100\n800"), 48, 2);
}
