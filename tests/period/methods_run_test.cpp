// End-to-end runs of kalidor with --method and --fold-harmonics: delta Cep
// through the batch run, the spectrum file's form, "dcdft" as the run
// without a method, every method through the survey run, the options'
// refusals and the figures.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "run_kalidor.h"

namespace {

using Json = nlohmann::json;

struct RunResult {
    int status;
    std::string out, err, ven;
};

// A folder of its own for a test, removed at the end.
struct Folder {
    std::string dir;
    Folder()
    {
        char pattern[] = "/tmp/kalidor-methods-XXXXXX";
        const char *made = mkdtemp(pattern);
        dir = made ? made : "";
    }
    ~Folder() { std::filesystem::remove_all(dir); }
};

RunResult RunIn(const std::string &dir, const std::vector<std::string> &args, const std::string &stem = "")
{
    WriteFileContent(dir + "/stdin", "");
    RunResult r;
    r.status = WaitProgram(StartProgram(KALIDOR, args, dir, dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    r.out = FileContent(dir + "/stdout");
    r.err = FileContent(dir + "/stderr");
    r.ven = stem.empty() ? "" : FileContent(dir + "/" + stem + ".ven");
    return r;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void CopyTestFile(const std::string &dir, const std::string &name)
{
    WriteFileContent(dir + "/" + name, FileContent(std::string(TEST_DATA) + "/" + name));
}

// A Julian-date file of a made-up eclipsing binary: flat light at 12 mag
// with 0.5 and 0.2 mag dips 0.1 in phase wide, on nightly uneven times.
std::string MadeUpBinary(unsigned seed, double period)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::normal_distribution<double> noise(0, 0.02);
    std::string text;
    for (int night = 0; night < 300; ++night) {
        if (uniform(random) > 0.5)
            continue;
        for (int k = 0; k < 3; ++k) {
            const double t = 2452000.1 + night + 0.35 * uniform(random);
            const double phase = (t - 2452000.73) / period;
            const double x = phase - std::round(phase), y = phase - 0.5 - std::round(phase - 0.5);
            const double primary = std::fabs(x) < 0.05 ? 0.5 * std::sqrt(1 - 400 * x * x) : 0;
            const double secondary = std::fabs(y) < 0.05 ? 0.2 * std::sqrt(1 - 400 * y * y) : 0;
            char line[64];
            std::snprintf(line, sizeof line, "%.5f %.3f\n", t, 12 + primary + secondary + noise(random));
            text += line;
        }
    }
    return text;
}

TEST(MethodsRun, DeltaCepheiByHarmonicsAndAovWithItsShape)
{
    Folder folder;
    CopyTestFile(folder.dir, "delcep.tsv");
    for (const char *method : {"harmonics:3", "aov:3"}) {
        SCOPED_TRACE(method);
        const RunResult r = RunIn(folder.dir,
                            {"--periods", "1.5:8", "--intervals", "800", "--peaks", "2", "--method", method, "--fold", "best",
                             "--report", "json", "delcep.tsv"},
                            "delcep");
        ASSERT_EQ(r.status, 0) << r.err;
        const Json j = Json::parse(r.out);
        EXPECT_EQ(j["method"], method);
        EXPECT_EQ(j["statistic"], std::string(method) == "aov:3" ? "theta_aov" : "power");
        EXPECT_EQ(j["low_is_best"], false);
        EXPECT_NEAR(j["peaks"][0]["period"].get<double>(), 5.3663, 0.002);
        EXPECT_LT(j["peaks"][0]["false_alarm_probability"].get<double>(), 1e-10);
        const Json &shape = j["fold"]["shape"];
        EXPECT_EQ(shape["harmonics"], 3);
        EXPECT_NEAR(shape["r21"].get<double>(), 0.39, 0.03);
        EXPECT_NEAR(shape["phi21_sine"].get<double>(), 2.795, 0.05);
        EXPECT_NEAR(shape["phi21_cosine"].get<double>(), 4.366, 0.05);
        // The spectrum file keeps its form: a period and a value a line.
        const std::vector<std::string> lines = Lines(r.ven);
        ASSERT_EQ(lines.size(), 801u);
        double period = 0, value = 0;
        char rest = 0;
        EXPECT_EQ(std::sscanf(lines[0].c_str(), "%lf %lf %c", &period, &value, &rest), 2);
        EXPECT_EQ(period, 1.5);
        EXPECT_EQ(lines[0].size(), 48u);
    }
}

TEST(MethodsRun, TextReportNamesTheMethodAndTheStatistic)
{
    Folder folder;
    WriteFileContent(folder.dir + "/eb.jud", MadeUpBinary(3, 2.137));
    struct Case {
        const char *method;
        const char *lines[3];
    } cases[] = {
        {"pdm:20",
         {"Method:            pdm:20\n", "Statistic:         theta_pdm (the least is the best period)\n",
          "False alarm:       single frequency (beta distribution)\n"}},
        {"pdm:10",
         {"Method:            pdm:10\n", "Alternate cycles:  differ at 1.06",
          " random splits of 281 cycles): the period is twice that\n"}},
        {"bls", {"Method:            bls\n", "Statistic:         bls_power\n", "\nBoxes of the peaks"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.method);
        const RunResult r = RunIn(folder.dir, {"--periods", "0.8:4", "--method", c.method, "--peaks", "2", "eb.jud"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char *line : c.lines)
            EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
        EXPECT_NE(r.out.find("  1  2.13"), std::string::npos) << r.out;
    }
}

// --method dcdft and --fold-harmonics 1 are the run without them, byte for
// byte: report, spectrum file and all.
TEST(MethodsRun, DcdftIsTheRunWithoutAMethod)
{
    Folder folder;
    CopyTestFile(folder.dir, "delcep.tsv");
    const std::vector<std::string> plain = {"--periods", "2:8", "--intervals", "500", "--fold", "best"};
    for (const char *report : {"text", "json"}) {
        std::vector<std::string> args = plain;
        args.insert(args.end(), {"--report", report, "delcep.tsv"});
        const RunResult without = RunIn(folder.dir, args, "delcep");
        args.insert(args.begin(), {"--method", "dcdft", "--fold-harmonics", "1"});
        const RunResult with = RunIn(folder.dir, args, "delcep");
        ASSERT_EQ(without.status, 0);
        EXPECT_EQ(with.status, 0);
        EXPECT_EQ(with.out, without.out);
        EXPECT_EQ(with.err, without.err);
        EXPECT_EQ(with.ven, without.ven);
        EXPECT_EQ(without.out.find("\"method\""), std::string::npos);
        EXPECT_EQ(without.out.find("Method:"), std::string::npos);
        EXPECT_EQ(without.out.find("shape"), std::string::npos);
    }
}

// Each method through the survey run: the records, whatever the threads,
// are the stars' own batch reports with that method.
TEST(MethodsRun, EveryMethodThroughTheSurveyRun)
{
    Folder folder;
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back("eb" + std::to_string(i) + ".jud");
        WriteFileContent(folder.dir + "/" + files.back(), MadeUpBinary(20 + i, 1.7 + 0.6 * i));
    }
    for (const char *method : {"harmonics:2", "aov:2", "pdm:20", "bls"}) {
        SCOPED_TRACE(method);
        std::vector<std::string> options = {"--periods", "1:4", "--intervals", "1500", "--method", method,
                                            "--fold", "best"};
        std::string outputs[2];
        for (const char *threads : {"1", "2"}) {
            std::vector<std::string> args = options;
            args.insert(args.end(), {"--threads", threads});
            args.insert(args.end(), files.begin(), files.end());
            const RunResult r = RunIn(folder.dir, args);
            ASSERT_EQ(r.status, 0) << r.err;
            outputs[threads[0] - '1'] = r.out;
        }
        EXPECT_EQ(outputs[0], outputs[1]);
        const std::vector<std::string> records = Lines(outputs[0]);
        ASSERT_EQ(records.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            Json record = Json::parse(records[i]);
            EXPECT_EQ(record["method"], method);
            EXPECT_TRUE(record["fold"].contains("shape"));
            std::vector<std::string> single = options;
            single.insert(single.end(), {"--report", "json", files[i]});
            const RunResult batch = RunIn(folder.dir, single);
            ASSERT_EQ(batch.status, 0);
            record.erase("notes");
            EXPECT_EQ(record, Json::parse(batch.out)) << files[i];
        }
    }
}

// The catalogue of a survey with a method names it in a last column; the
// catalogue without one keeps its columns.
TEST(MethodsRun, CatalogueNamesTheMethod)
{
    Folder folder;
    const std::vector<std::string> files = {"a.jud", "b.jud"};
    WriteFileContent(folder.dir + "/a.jud", MadeUpBinary(31, 1.9));
    WriteFileContent(folder.dir + "/b.jud", "2452000.1 12.0\n");
    const std::string header = "star,file,band,observations,span,period,period_error,power,"
                               "false_alarm_probability,amplitude,epoch_of_maximum,error";
    for (const char *method : {"dcdft", "bls"}) {
        SCOPED_TRACE(method);
        const RunResult r = RunIn(folder.dir, {"--periods", "1:3", "--method", method, "--catalogue", "cat.csv",
                                               "a.jud", "b.jud"});
        EXPECT_EQ(r.status, 1) << r.err;
        const std::vector<std::string> rows = Lines(FileContent(folder.dir + "/cat.csv"));
        ASSERT_EQ(rows.size(), 3u);
        const std::string suffix = std::string(method) == "bls" ? ",bls" : "";
        EXPECT_EQ(rows[0], header + suffix);
        for (const std::string &row : {rows[1], rows[2]}) {
            EXPECT_EQ(row.compare(row.size() - suffix.size(), suffix.size(), suffix), 0) << row;
            EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(rows[0].begin(), rows[0].end(), ',')) << row;
        }
    }
}

TEST(MethodsRun, UnusableMethodOptionsAreRefusedWithTheUsage)
{
    Folder folder;
    CopyTestFile(folder.dir, "delcep.tsv");
    struct Case {
        std::vector<std::string> options;
        const char *message;
    } cases[] = {
        {{"--method", "sine"}, "kalidor: invalid value 'sine' for --method (dcdft, harmonics:H with H 1 to 12"},
        {{"--method", "aov:0"}, "kalidor: invalid value 'aov:0' for --method"},
        {{"--method", "pdm:1001"}, "kalidor: invalid value 'pdm:1001' for --method"},
        {{"--method", "bls", "--durations", "0.1,0.5"}, "kalidor: invalid value '0.1,0.5' for --durations"},
        {{"--method", "bls", "--durations", "0.1:0.05:0.01"}, "kalidor: invalid value '0.1:0.05:0.01' for --durations"},
        {{"--durations", "0.1"}, "kalidor: --durations needs --method bls\n"},
        {{"--method", "aov:2", "--durations", "0.1"}, "kalidor: --durations needs --method bls\n"},
        {{"--fold-harmonics", "13"}, "kalidor: invalid value '13' for --fold-harmonics (1 to 12)\n"},
        {{"--fold-harmonics", "0"}, "kalidor: invalid value '0' for --fold-harmonics"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--periods", "2:8"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("delcep.tsv");
        const RunResult r = RunIn(folder.dir, args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err.find(c.message), 0u) << r.err;
        EXPECT_NE(r.err.find("  --method NAME"), std::string::npos);
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(FileExists(folder.dir + "/delcep.ven"));
    }
}

// A range of durations is the list of its steps: the same report as the list.
TEST(MethodsRun, DurationsAsARangeOrAList)
{
    Folder folder;
    WriteFileContent(folder.dir + "/eb.jud", MadeUpBinary(5, 2.61));
    const std::vector<std::string> base = {"--periods", "2:3", "--method", "bls", "--report", "json"};
    std::vector<std::string> range = base, list = base;
    range.insert(range.end(), {"--durations", "0.04:0.12:0.02", "eb.jud"});
    list.insert(list.end(), {"--durations", "0.04,0.06,0.08,0.1,0.12", "eb.jud"});
    const RunResult a = RunIn(folder.dir, range), b = RunIn(folder.dir, list);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    const Json j = Json::parse(a.out);
    EXPECT_NEAR(j["peaks"][0]["period"].get<double>(), 2.61, 0.003);
    EXPECT_NEAR(j["peaks"][0]["box"]["duration"].get<double>() / 2.61, 0.08, 0.025);
}

TEST(MethodsRun, FiguresOfAMethod)
{
    Folder folder;
    WriteFileContent(folder.dir + "/eb.jud", MadeUpBinary(7, 1.93));
    for (const char *method : {"pdm:20", "bls", "aov:3"}) {
        const RunResult r = RunIn(folder.dir, {"--periods", "1:3", "--method", method, "--fold", "best", "--plots",
                                         "svg", "eb.jud"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_GT(FileContent(folder.dir + "/eb-spectrum.svg").size(), 1000u) << method;
        EXPECT_GT(FileContent(folder.dir + "/eb-phase.svg").size(), 1000u) << method;
    }
}

} // namespace
