// End-to-end runs of kalidor's times of extrema (--minima, --maxima): a
// made-up eclipsing binary with a known quadratic ephemeris, the maxima of
// real Miras, the refusals, the STEM.oc table and the survey run's records.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "run_kalidor.h"

namespace {

using Json = nlohmann::json;
const double Pi = 3.14159265358979323846;

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-extrema-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

struct ExtremaRun {
    pid_t pid = -1;
    std::string dir, stem;
    int status = -1;
    std::string out, err, oc;
    bool figure = false;
};

// Starts kalidor in a new directory holding 'name' with 'content' (a copy
// of the file of tests/data when content is empty).
ExtremaRun StartRun(const std::vector<std::string> &args, const std::string &name, const std::string &content)
{
    ExtremaRun r;
    r.dir = MakeDirectory();
    r.stem = r.dir + "/" + name.substr(0, name.find('.'));
    WriteFileContent(r.dir + "/" + name,
                     content.empty() ? FileContent(std::string(TEST_DATA) + "/" + name) : content);
    WriteFileContent(r.dir + "/stdin", "");
    r.pid = StartProgram(KALIDOR, args, r.dir, r.dir + "/stdin", r.dir + "/stdout", r.dir + "/stderr");
    return r;
}

// Waits for it, reads what it wrote and removes the directory.
void FinishRun(ExtremaRun &r)
{
    r.status = WaitProgram(r.pid);
    r.out = FileContent(r.dir + "/stdout");
    r.err = FileContent(r.dir + "/stderr");
    r.oc = FileContent(r.stem + ".oc");
    r.figure = FileExists(r.stem + "-oc.svg");
    std::filesystem::remove_all(r.dir);
}

ExtremaRun RunExtrema(const std::vector<std::string> &args, const std::string &name, const std::string &content = "")
{
    ExtremaRun r = StartRun(args, name, content);
    FinishRun(r);
    return r;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A made-up detached eclipsing binary: primary minima at
// T0 + P0 E + Q E^2, each observed on one night in 'nights' cycles drawn
// from 0..cycles, 70 points across +-0.2 d of the minimum (a Gaussian dip
// of 0.8 mag, 0.05 d wide) with noise of 0.01 mag.
struct Binary {
    double t0 = 52000.3, p0 = 2.5, q = 2e-8;
    int nights = 30, cycles = 1000;
    double depth = 0.8, width = 0.05, noise = 0.01;
};

double MinimumTime(const Binary &b, long cycle) { return b.t0 + b.p0 * cycle + b.q * cycle * cycle; }

std::string MadeUpBinary(const Binary &b, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> cycle(0, b.cycles);
    std::uniform_real_distribution<double> jitter(-0.003, 0.003);
    std::normal_distribution<double> noise(0, b.noise);
    std::vector<int> chosen;
    while (static_cast<int>(chosen.size()) < b.nights) {
        const int e = cycle(random);
        if (std::find(chosen.begin(), chosen.end(), e) == chosen.end())
            chosen.push_back(e);
    }
    std::sort(chosen.begin(), chosen.end());
    std::string text;
    for (int e : chosen) {
        const double minimum = MinimumTime(b, e);
        const double start = minimum - 0.2 + 0.02 * (random() % 5);
        for (int i = 0; i < 70; ++i) {
            const double t = start + 0.4 * i / 70 + jitter(random) - 0.02;
            const double x = (t - minimum) / b.width;
            const double m = 10 + b.depth * std::exp(-x * x / 2) + noise(random);
            text += Fixed(t, 5) + " " + Fixed(m, 4) + "\n";
        }
    }
    return text;
}

std::vector<std::string> BinaryArgs(const Binary &b)
{
    return {"--periods", "1:5", "--intervals", "200", "--minima", "--ephemeris",
            Fixed(b.t0, 6) + ":" + Fixed(b.p0, 8), "--report", "json", "binary.jud"};
}

TEST(ExtremaRun, MadeUpBinaryGivesItsPeriodChangeAndEveryMinimumWithinItsError)
{
    const Binary b;
    ExtremaRun r = RunExtrema(BinaryArgs(b), "binary.jud", MadeUpBinary(b, 7));
    ASSERT_EQ(r.status, 0) << r.err;
    const Json x = Json::parse(r.out)["extrema"];
    EXPECT_EQ(x["kind"], "minimum");
    EXPECT_EQ(x["period_source"], "ephemeris");
    ASSERT_EQ(x["extrema"].size(), 30u);
    for (const Json &e : x["extrema"]) {
        const double truth = MinimumTime(b, e["cycle"].get<long>());
        EXPECT_LT(std::fabs(e["time"].get<double>() - truth), 3 * e["error"].get<double>()) << e.dump();
        EXPECT_EQ(e["method"], "kvw");
        EXPECT_EQ(e["error_source"], "scatter");
    }
    const Json q = x["quadratic"];
    const double truth = 2 * b.q / b.p0;
    EXPECT_LT(std::fabs(q["period_change"].get<double>() - truth), 2 * q["period_change_error"].get<double>());
    EXPECT_NEAR(q["period_change_seconds_per_year"].get<double>(), q["period_change"].get<double>() * 86400 * 365.25,
                1e-9 * std::fabs(q["period_change_seconds_per_year"].get<double>()));
    EXPECT_TRUE(q["significant"].get<bool>());
    EXPECT_NEAR(x["linear"]["epoch"].get<double>(), b.t0, 0.05);
}

// Over many realisations the errors of dP/dt are the scatter of dP/dt
// about the truth, and the minima's errors their scatter.
TEST(ExtremaRun, ErrorsOfThePeriodChangeAndOfTheMinimaMatchTheirScatter)
{
    const Binary b;
    const int realisations = 40;
    std::vector<ExtremaRun> runs;
    for (int k = 0; k < realisations; ++k)
        runs.push_back(StartRun(BinaryArgs(b), "binary.jud", MadeUpBinary(b, 100 + k)));
    double sumPull = 0, sumPull2 = 0, sumError2 = 0;
    long minima = 0, beyond3 = 0;
    double minimumPull2 = 0;
    for (ExtremaRun &r : runs) {
        FinishRun(r);
        ASSERT_EQ(r.status, 0) << r.err;
        const Json x = Json::parse(r.out)["extrema"];
        const double change = x["quadratic"]["period_change"];
        const double error = x["quadratic"]["period_change_error"];
        const double deviation = change - 2 * b.q / b.p0;
        sumPull += deviation;
        sumPull2 += deviation * deviation;
        sumError2 += error * error;
        for (const Json &e : x["extrema"]) {
            const double pull = (e["time"].get<double>() - MinimumTime(b, e["cycle"].get<long>())) /
                                e["error"].get<double>();
            minimumPull2 += pull * pull;
            beyond3 += std::fabs(pull) > 3;
            ++minima;
        }
    }
    const double scatter = std::sqrt(sumPull2 / realisations);
    const double meanError = std::sqrt(sumError2 / realisations);
    const double ratio = meanError / scatter;
    EXPECT_GT(ratio, 0.7) << "error " << meanError << " scatter " << scatter;
    EXPECT_LT(ratio, 1.4) << "error " << meanError << " scatter " << scatter;
    EXPECT_LT(std::fabs(sumPull / realisations), 3 * scatter / std::sqrt(realisations));
    const double minimumRatio = std::sqrt(minimumPull2 / minima);
    EXPECT_GT(minimumRatio, 0.7);
    EXPECT_LT(minimumRatio, 1.4);
    EXPECT_LE(beyond3, minima / 100 + 1);
}

// Real Miras' maxima: the residuals about the linear ephemeris that the run
// fits agree with their errors, and the report says whether the period
// changes.
TEST(ExtremaRun, RealMaximaHaveResidualsConsistentWithTheirErrors)
{
    const struct {
        const char *file;
        double period;
        unsigned timed;
    } cases[] = {{"tcas.jud", 437.4, 7}, {"sori.jud", 415.6, 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const ExtremaRun r = RunExtrema({"--periods", "300:600", "--maxima", "--report", "json", c.file}, c.file);
        ASSERT_EQ(r.status, 0) << r.err;
        const Json x = Json::parse(r.out)["extrema"];
        EXPECT_EQ(x["kind"], "maximum");
        EXPECT_NEAR(x["period"].get<double>(), c.period, 0.5);
        ASSERT_EQ(x["extrema"].size(), c.timed);
        double chi2 = 0;
        for (const Json &e : x["extrema"]) {
            const double pull = e["linear_residual"].get<double>() / e["error"].get<double>();
            chi2 += pull * pull;
            EXPECT_LT(std::fabs(pull), 3) << e.dump();
        }
        const Json &linear = x["linear"];
        EXPECT_NEAR(chi2, linear["chi_square"].get<double>(), 1e-6 * chi2 + 1e-9);
        const int freedom = linear["degrees_of_freedom"];
        EXPECT_EQ(freedom, static_cast<int>(c.timed) - 2);
        // A chi-square this large or larger comes by chance more than 1 % of the time.
        EXPECT_LT(chi2 / freedom, 3.3);
        EXPECT_NEAR(linear["period"].get<double>(), c.period, 5 * linear["period_error"].get<double>() + 3);
        ASSERT_TRUE(x["quadratic"].is_object());
        EXPECT_FALSE(x["quadratic"]["significant"].get<bool>());
        const ExtremaRun text = RunExtrema({"--periods", "300:600", "--maxima", c.file}, c.file);
        EXPECT_NE(text.out.find("no significant period change at the 1 % level"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("\nTimes of maximum brightness:\n"), std::string::npos);
    }
}

// A sine star of period 10 d observed over 'span' days, or only at phases
// 0.3 to 0.7 of the sine's minimum.
std::string SineStar(double span, bool onlyMiddlePhases)
{
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0, 0.02);
    std::string text;
    for (int i = 0; i < 400; ++i) {
        const double t = 50000 + span * i / 400;
        const double phase = (t - 50000) / 10 - std::floor((t - 50000) / 10);
        if (onlyMiddlePhases && (phase < 0.3 || phase > 0.7))
            continue;
        const double m = 9 + 0.5 * std::cos(2 * Pi * (t - 50000) / 10) + noise(random);
        text += Fixed(t, 4) + " " + Fixed(m, 4) + "\n";
    }
    return text;
}

TEST(ExtremaRun, RefusalsAreClearAndEndWithStatusOne)
{
    const struct {
        std::vector<std::string> args;
        std::string data;
        std::string message;
    } cases[] = {
        // The magnitude's maximum (a minimum of light) at 50000: windows of
        // 0.1 periods there see nothing in data of the middle phases.
        {{"--periods", "5:20", "--minima", "--ephemeris", "50000:10", "--extrema-window", "0.1", "star.jud"},
         SineStar(200, true),
         "kalidor: no extremum of the observations could be timed: the window around the extremum holds no "
         "observations (19 windows)\n"},
        // 14 days of a 10-day star: the minimum of light at 50000 has no
        // observations before it, the one at 50010 stands alone.
        {{"--periods", "5:12", "--minima", "--period", "10", "star.jud"},
         SineStar(14, false),
         "kalidor: a single extremum: an O-C fit needs at least two\n"},
    };
    for (const auto &c : cases) {
        const ExtremaRun r = RunExtrema(c.args, "star.jud", c.data);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.oc, "");
    }
    const struct {
        std::vector<std::string> args;
        std::string message;
    } options[] = {
        {{"--periods", "5:20", "--minima", "--maxima", "star.jud"}, "kalidor: --minima and --maxima exclude each other\n"},
        {{"--periods", "5:20", "--period", "10", "star.jud"},
         "kalidor: --period, --ephemeris and --extrema-window need --minima or --maxima\n"},
        {{"--minima", "star.jud"}, "kalidor: --minima and --maxima need a batch run (--periods)\n"},
        {{"--periods", "5:20", "--minima", "--extrema-window", "1.5", "star.jud"},
         "kalidor: invalid value '1.5' for --extrema-window (a share of the period greater than 0 and at most 1)\n"},
        {{"--periods", "5:20", "--minima", "--ephemeris", "50000", "star.jud"},
         "kalidor: invalid value '50000' for --ephemeris (EPOCH:PERIOD, a reduced Julian date and a period in days)\n"},
        {{"--periods", "5:20", "--minima", "--period", "-3", "star.jud"},
         "kalidor: invalid value '-3' for --period (a period in days)\n"},
    };
    for (const auto &c : options) {
        const ExtremaRun r = RunExtrema(c.args, "star.jud", SineStar(200, false));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message);
        EXPECT_NE(r.err.find("Usage: kalidor"), std::string::npos);
    }
}

// The table file: the header, then one line per extremum with E, the time,
// its error, O-C and the method in fixed columns; the same values as the
// JSON report.  With --plots the O-C figure is written beside it.
TEST(ExtremaRun, OCTableHoldsTheReportsExtremaInFixedColumns)
{
    const ExtremaRun r = RunExtrema({"--periods", "300:600", "--maxima", "--report", "json", "--plots", "svg", "tcas.jud"},
                             "tcas.jud");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json x = Json::parse(r.out)["extrema"];
    std::string expected = "#      E           time      error         O-C method\n";
    for (const Json &e : x["extrema"]) {
        char line[160];
        std::snprintf(line, sizeof line, "%8ld %14.6f %10.6f %+11.6f %s\n", e["cycle"].get<long>(),
                      e["time"].get<double>(), e["error"].get<double>(), e["oc"].get<double>(),
                      e["method"].get<std::string>().c_str());
        expected += line;
    }
    EXPECT_EQ(r.oc, expected);
    EXPECT_TRUE(r.figure);
    // The same run without the option writes no table and no "extrema" key.
    const ExtremaRun plain = RunExtrema({"--periods", "300:600", "--report", "json", "tcas.jud"}, "tcas.jud");
    EXPECT_EQ(plain.oc, "");
    EXPECT_FALSE(Json::parse(plain.out).contains("extrema"));
}

TEST(ExtremaRun, OCTableNeverOverwritesTheInput)
{
    // An observation file named STEM.oc would be emptied by its own table.
    const std::string observations = FileContent(std::string(TEST_DATA) + "/delcep.dat");
    const ExtremaRun r = RunExtrema({"--periods", "2:10", "--maxima", "delcep.oc"}, "delcep.oc", observations);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("delcep.oc"), std::string::npos) << r.err;
    EXPECT_EQ(r.oc, observations);
}

// A survey run: each star's record carries its extrema; a star whose extrema
// cannot be timed keeps its period report with a note and the error.
TEST(ExtremaRun, SurveyRecordsCarryTheExtremaAndTheirRefusalsAsNotes)
{
    const std::string dir = MakeDirectory();
    for (const char *name : {"tcas.jud", "sori.jud"})
        WriteFileContent(dir + "/" + name, FileContent(std::string(TEST_DATA) + "/" + name));
    // Too short for two maxima of a 300 to 600-day star.
    std::string shortStar;
    for (int i = 0; i < 40; ++i)
        shortStar += Fixed(50000 + 5 * i, 1) + " " + Fixed(9 + std::cos(2 * Pi * i * 5 / 400.0), 3) + "\n";
    WriteFileContent(dir + "/short.jud", shortStar);
    WriteFileContent(dir + "/stdin", "");
    const int status = WaitProgram(StartProgram(KALIDOR,
                                                {"--periods", "300:600", "--maxima", "--threads", "2", "tcas.jud",
                                                 "short.jud", "sori.jud"},
                                                dir, dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    const std::string out = FileContent(dir + "/stdout");
    std::filesystem::remove_all(dir);
    EXPECT_EQ(status, 0);
    std::istringstream lines(out);
    std::vector<Json> records;
    for (std::string line; std::getline(lines, line);)
        records.push_back(Json::parse(line));
    ASSERT_EQ(records.size(), 3u);
    for (int k : {0, 2}) {
        const ExtremaRun batch =
            RunExtrema({"--periods", "300:600", "--maxima", "--report", "json", records[k]["file"]}, records[k]["file"]);
        EXPECT_EQ(records[k]["extrema"], Json::parse(batch.out)["extrema"]);
        // Notes there may be (correlated residuals of a Mira's one sine),
        // but none about the extrema.
        if (records[k].contains("notes")) {
            for (const Json &note : records[k]["notes"])
                EXPECT_EQ(note.get<std::string>().find("extrema"), std::string::npos) << note;
        }
    }
    const Json &refused = records[1];
    EXPECT_FALSE(refused["peaks"].empty());
    ASSERT_TRUE(refused["extrema"].contains("error"));
    const std::string error = refused["extrema"]["error"];
    ASSERT_TRUE(refused.contains("notes"));
    EXPECT_EQ(refused["notes"].back(), "no times of extrema: " + error);
}

} // namespace
