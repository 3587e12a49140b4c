// End-to-end batch runs of kalidor (--periods): the report on real and
// made-up data, the files it shares with the dialogue, its refusals and
// warnings on standard error.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>

#include "run_kalidor.h"

namespace {

using Json = nlohmann::json;
const double Pi = 3.14159265358979323846;

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-batch-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

struct BatchResult {
    int status;
    std::string out, err;
    std::string jud, ven, win; // the files written beside the input ("" when none)
};

// Runs kalidor in a new directory holding 'name' with 'content' (or a copy
// of a file of tests/data when content is empty); the directory is removed
// afterwards.
BatchResult RunKalidor(const std::vector<std::string> &args, const std::string &name, const std::string &content,
               const std::string &input = "")
{
    BatchResult r;
    const std::string dir = MakeDirectory();
    WriteFileContent(dir + "/" + name, content.empty() ? FileContent(std::string(TEST_DATA) + "/" + name) : content);
    WriteFileContent(dir + "/stdin", input);
    r.status = WaitProgram(StartProgram(KALIDOR, args, dir, dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    r.out = FileContent(dir + "/stdout");
    r.err = FileContent(dir + "/stderr");
    const std::string stem = dir + "/" + name.substr(0, name.find('.'));
    r.jud = name.find(".jud") == std::string::npos ? FileContent(stem + ".jud") : "";
    r.ven = FileContent(stem + ".ven");
    r.win = FileContent(stem + ".win");
    std::filesystem::remove_all(dir);
    return r;
}

// A Julian-date file of a made-up star: uneven times over 'span' days, the
// given sines (period, semi-amplitude) and Gaussian noise of deviation sigma.
std::string MadeUpStar(int n, double span, const std::vector<std::pair<double, double>> &sines, double sigma,
                       unsigned seed)
{
    std::mt19937 random(seed);
    auto uniform = [&random] { return (random() + 0.5) / 4294967296.0; };
    std::string text;
    for (int i = 0; i < n; ++i) {
        const double t = 50000 + span * i / n + 0.8 * uniform();
        double m = 8 + sigma * std::sqrt(-2 * std::log(uniform())) * std::cos(2 * Pi * uniform());
        for (const auto &s : sines)
            m += s.second * std::sin(2 * Pi * t / s.first + s.first);
        char line[64];
        std::snprintf(line, sizeof line, "%.5f %.4f\n", t, m);
        text += line;
    }
    return text;
}

TEST(BatchRun, FindsThePeriodOfDeltaCephei)
{
    const BatchResult r = RunKalidor({"--periods", "2:10", "--grid", "period", "--report", "json", "--fold", "best",
                                      "delcep.dat"},
                             "delcep.dat", "");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json report = Json::parse(r.out);
    for (const char *key : {"file", "band", "time_scale", "observations", "first", "last", "span", "mean_magnitude",
                            "skipped", "grid", "significance_level", "peaks", "fold"})
        EXPECT_TRUE(report.contains(key)) << key;
    EXPECT_EQ(report["observations"], 1000);
    EXPECT_EQ(report["grid"]["intervals"], 6050); // ten points across a peak of width 2^2 / 302.46 d
    const Json &best = report["peaks"][0];
    EXPECT_LT(std::fabs(best["period"].get<double>() - 5.366), 2 * best["period_error"].get<double>());
    EXPECT_LT(best["false_alarm_probability"].get<double>(), 1e-20);
    EXPECT_EQ(report["fold"]["period"], best["period"]);
    // The dialogue's Julian-date file, and no line of the dialogue.
    EXPECT_EQ(r.jud.size(), 18000u);
    EXPECT_EQ(r.out.find("Pocitam"), std::string::npos);
}

TEST(BatchRun, NoiseHasNoSignificantPeak)
{
    const BatchResult r = RunKalidor({"--periods", "1:30", "--report", "json", "noise.jud"}, "noise.jud",
                             MadeUpStar(300, 400, {}, 0.2, 7));
    ASSERT_EQ(r.status, 0) << r.err;
    const Json report = Json::parse(r.out);
    EXPECT_GT(report["peaks"][0]["false_alarm_probability"].get<double>(), 0.05);
    EXPECT_LT(report["peaks"][0]["power"].get<double>(), report["significance_level"].get<double>());
}

TEST(BatchRun, PrewhiteningFindsBothPeriodsOfADoubleModeStar)
{
    const BatchResult r = RunKalidor({"--periods", "1.5:10", "--prewhiten", "2", "--report", "json", "double.jud"},
                             "double.jud", MadeUpStar(500, 300, {{4.123, 0.3}, {2.777, 0.15}}, 0.08, 11));
    ASSERT_EQ(r.status, 0) << r.err;
    const Json steps = Json::parse(r.out)["prewhitening"];
    ASSERT_EQ(steps.size(), 2u);
    const double truth[] = {4.123, 2.777};
    for (int j = 0; j < 2; ++j) {
        SCOPED_TRACE(truth[j]);
        EXPECT_LT(std::fabs(steps[j]["period"].get<double>() - truth[j]), 2 * steps[j]["period_error"].get<double>());
        EXPECT_LT(steps[j]["false_alarm_probability"].get<double>(), 1e-6);
    }
    EXPECT_NEAR(steps[1]["residual_rms"].get<double>(), 0.08, 0.01);
}

TEST(BatchRun, SpectrumFileIsTheDialoguesByteForByte)
{
    const BatchResult batch = RunKalidor({"--periods", "2:10", "--intervals", "3000", "--window", "delcep.dat"},
                                 "delcep.dat", "");
    const BatchResult dialogue = RunKalidor({"delcep.dat"}, "delcep.dat", "", "2\n10\n3000\n\nn\nn\n");
    ASSERT_EQ(batch.status, 0) << batch.err;
    ASSERT_EQ(dialogue.status, 1);
    EXPECT_EQ(batch.ven.size(), 3001u * 49);
    EXPECT_EQ(batch.ven, dialogue.ven);
    EXPECT_EQ(batch.jud, dialogue.jud);
    // The window on the same grid in the same line form.
    ASSERT_EQ(batch.win.size(), batch.ven.size());
    EXPECT_EQ(batch.win.substr(49 * 3000, 23), batch.ven.substr(49 * 3000, 23));
}

TEST(BatchRun, RefusalsAndWarningsOnStandardError)
{
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string file, content, input;
        int status;
        const char *error; // a part of standard error
    };
    const std::string five = "900801  20.00  6.1\n900805  21.30  6.9\n900811  22.00  6.3\n"
                             "900818  23.15  6.8\n900829  20.45  6.2\n";
    const std::vector<Case> cases = {
        {"too few estimates", {"--periods", "1:5", "f.jud"}, "f.jud", "1 5\n2 6\n3 5\n4 6\n", "", 1,
         "kalidor: too few estimates: the spectrum needs at least 5\n"},
        {"rejected record", {"--periods", "1:5", "s.dat"}, "s.dat", "900801 20.00 6.1\n901301 20.00 6.2\n", "", 1,
         "kalidor: bad data format on line 2\n"},
        {"too many intervals", {"--periods", "1:5", "--intervals", "10000001", "s.dat"}, "s.dat", five, "", 1,
         "kalidor: at most 10000000 intervals\n"},
        {"coarse grid in a batch run", {"--periods", "1:20", "--intervals", "20", "s.dat"}, "s.dat", five, "", 0,
         "kalidor: warning: 20 intervals give 0.038 points per peak width"},
        {"coarse grid in the dialogue", {"s.dat"}, "s.dat", five, "1\n20\n20\n\nn\nn\n", 1,
         "kalidor: Varovani: pri 20 intervalech pripada na sirku vrcholu jen 0.038 bodu"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BatchResult r = RunKalidor(c.args, c.file, c.content, c.input);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        if (c.status != 0 && c.input.empty()) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.jud, "");
        }
    }
}

} // namespace

namespace {

// A report that cannot be written is a failure, never success, and the
// files of the run are complete all the same.
TEST(BatchRun, ReportOnAFullDiskEndsWithTheWriteError)
{
    const std::string dir = MakeDirectory();
    WriteFileContent(dir + "/star.jud", MadeUpStar(200, 300, {{3.3, 0.5}}, 0.1, 5));
    WriteFileContent(dir + "/stdin", "");
    const int status = WaitProgram(StartProgram(KALIDOR, {"--periods", "1:10", "--intervals", "500", "star.jud"}, dir,
                                                dir + "/stdin", "/dev/full", dir + "/stderr"));
    EXPECT_EQ(status, 101);
    EXPECT_NE(FileContent(dir + "/stderr").find("write error on standard output"), std::string::npos);
    const std::string spectrum = FileContent(dir + "/star.ven");
    EXPECT_EQ(std::count(spectrum.begin(), spectrum.end(), '\n'), 501);
    std::filesystem::remove_all(dir);
}

} // namespace

namespace {

// A table of 40 estimates in one band.
std::string TableInBand(const std::string &band)
{
    std::string text = "JD,Magnitude,Band\n";
    for (int i = 0; i < 40; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%.4f,%.3f,%s\n", 2448000 + i * 1.37, 10 + std::sin(i * 2.1), band.c_str());
        text += line;
    }
    return text;
}

// A file name or a band that is not UTF-8 (a stray byte, a Latin-1 letter)
// gives a valid JSON report with U+FFFD in its place; UTF-8 is written as
// it is, and the text report keeps every byte.
TEST(BatchRun, NamesAndBandsThatAreNotUtf8GiveAValidJsonReport)
{
    const std::string R = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
    const struct {
        const char *what;
        std::string file, band, jsonFile, jsonBand;
    } cases[] = {
        {"a stray byte in the file name", "d\xff" "cep.csv", "V", "d" + R + "cep.csv", "V"},
        {"a Latin-1 band", "latin.csv", "Vis\xe9", "latin.csv", "Vis" + R},
        {"a UTF-8 file name and band", "\xce\xb4" "cep.csv", "Vis\xc3\xa9", "\xce\xb4" "cep.csv", "Vis\xc3\xa9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const BatchResult json = RunKalidor({"--periods", "1:10", "--report", "json", c.file}, c.file, TableInBand(c.band));
        ASSERT_EQ(json.status, 0) << json.err;
        Json report;
        ASSERT_NO_THROW(report = Json::parse(json.out)) << json.out;
        EXPECT_EQ(report["file"], c.jsonFile);
        EXPECT_EQ(report["band"], c.jsonBand);
        EXPECT_NE(json.out.find("\"file\": \"" + c.jsonFile + "\",\n  \"band\": \"" + c.jsonBand + "\",\n"),
                  std::string::npos);
        const BatchResult text = RunKalidor({"--periods", "1:10", c.file}, c.file, TableInBand(c.band));
        EXPECT_EQ(text.status, 0);
        EXPECT_NE(text.out.find("File:              " + c.file + "\nBand:              " + c.band + "\n"),
                  std::string::npos);
    }
}

// Without --intervals the grid is even in frequency, and the report says
// which transform took its sums; both transforms find the same periods.
TEST(BatchRun, DefaultGridIsEvenInFrequencyWithEitherTransform)
{
    std::vector<Json> reports;
    for (const char *transform : {"exact", "fast", "auto"}) {
        const BatchResult r = RunKalidor({"--periods", "2:10", "--report", "json", "--transform", transform,
                                          "--prewhiten", "2", "delcep.dat"},
                                         "delcep.dat", "");
        ASSERT_EQ(r.status, 0) << r.err;
        reports.push_back(Json::parse(r.out));
        const Json &grid = reports.back()["grid"];
        EXPECT_EQ(grid["kind"], "frequency");
        EXPECT_EQ(grid["oversample"], 10);
        EXPECT_EQ(grid["intervals"].get<long>() + 1, static_cast<long>(std::count(r.ven.begin(), r.ven.end(), '\n')));
    }
    EXPECT_EQ(reports[0]["transform"], "exact");
    EXPECT_EQ(reports[1]["transform"], "fast");
    for (const char *list : {"peaks", "prewhitening"})
        for (std::size_t i = 0; i < reports[0][list].size(); ++i) {
            const double exact = reports[0][list][i]["period"], fast = reports[1][list][i]["period"];
            EXPECT_NEAR(exact, fast, 1e-9 * exact) << list << " " << i;
        }
    const Json &best = reports[0]["peaks"][0];
    EXPECT_LT(std::fabs(best["period"].get<double>() - 5.366), 2 * best["period_error"].get<double>());
    const BatchResult refused =
        RunKalidor({"--periods", "2:10", "--grid", "period", "--transform", "fast", "delcep.dat"}, "delcep.dat", "");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the fast transform needs the grid even in frequency"), std::string::npos);
}

} // namespace
