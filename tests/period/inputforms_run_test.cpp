// End-to-end runs of kalidor on the input forms the light-curve readers
// take: FITS light curves written here by cfitsio in the mission layout
// (sectors, quality flags, missing fluxes), survey downloads, spreadsheet
// exports, and tables of several bands analysed at once.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fitsio.h>
#include <nlohmann/json.hpp>
#include <random>

#include "run_kalidor.h"

namespace {

using Json = nlohmann::json;
const double Pi = 3.14159265358979323846;
const float NaN = std::nanf("");
// A sampling where each band alone shows an alias, found once by trying seeds.
const unsigned SeveralBandsSeed = 3;

struct RunResult {
    int status;
    std::string out, err, jud;
};

struct InputFile {
    std::string name, content; // content empty: written by 'write' instead
};

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-forms-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

struct FitsRow {
    double time;
    float sap, pdcsap, pdcsapError;
    int quality;
};

// A light-curve file as the missions lay it out: an empty primary array
// with OBJECT, then the table LIGHTCURVE with its time keys.
void WriteLightCurveFits(const std::string &path, const std::vector<FitsRow> &rows, const std::string &object)
{
    fitsfile *file = nullptr;
    int status = 0;
    fits_create_diskfile(&file, path.c_str(), &status);
    fits_create_img(file, BYTE_IMG, 0, nullptr, &status);
    fits_update_key(file, TSTRING, "OBJECT", const_cast<char *>(object.c_str()), "", &status);
    const char *names[] = {"TIME", "SAP_FLUX", "PDCSAP_FLUX", "PDCSAP_FLUX_ERR", "QUALITY"};
    const char *forms[] = {"D", "E", "E", "E", "J"};
    fits_create_tbl(file, BINARY_TBL, 0, 5, const_cast<char **>(names), const_cast<char **>(forms), nullptr,
                    "LIGHTCURVE", &status);
    long bjdRefI = 2457000;
    double bjdRefF = 0;
    fits_update_key(file, TLONG, "BJDREFI", &bjdRefI, "", &status);
    fits_update_key(file, TDOUBLE, "BJDREFF", &bjdRefF, "", &status);
    fits_update_key(file, TSTRING, "TIMESYS", const_cast<char *>("TDB"), "", &status);
    fits_update_key(file, TSTRING, "TIMEUNIT", const_cast<char *>("d"), "", &status);
    const long long n = static_cast<long long>(rows.size());
    std::vector<double> time;
    std::vector<float> sap, pdcsap, error;
    std::vector<int> quality;
    for (const FitsRow &row : rows) {
        time.push_back(row.time);
        sap.push_back(row.sap);
        pdcsap.push_back(row.pdcsap);
        error.push_back(row.pdcsapError);
        quality.push_back(row.quality);
    }
    fits_write_col(file, TDOUBLE, 1, 1, 1, n, time.data(), &status);
    fits_write_col(file, TFLOAT, 2, 1, 1, n, sap.data(), &status);
    fits_write_col(file, TFLOAT, 3, 1, 1, n, pdcsap.data(), &status);
    fits_write_col(file, TFLOAT, 4, 1, 1, n, error.data(), &status);
    fits_write_col(file, TINT, 5, 1, 1, n, quality.data(), &status);
    fits_close_file(file, &status);
    ASSERT_EQ(status, 0);
}

// A sector of a star of period 1.7 d: 300 rows over 'days' from 'start'
// (TIME, days after BJD 2457000), with rows 10 and 20 flagged, row 30
// without a flux and row 40 with a negative one.
std::vector<FitsRow> Sector(double start, double days, float level)
{
    std::vector<FitsRow> rows;
    for (int i = 0; i < 300; ++i) {
        const double t = start + days * i / 300;
        const float flux = level * static_cast<float>(1 + 0.05 * std::sin(2 * Pi * t / 1.7));
        rows.push_back({t, flux * 1.01f, flux, level * 0.001f, 0});
    }
    rows[10].quality = 512;
    rows[20].quality = 1;
    rows[30].pdcsap = NaN;
    rows[40].pdcsap = -5;
    return rows;
}

// Runs kalidor in a new directory holding the inputs (FITS sectors written
// there when named in 'sectors'); the directory is removed afterwards.
RunResult RunOn(const std::vector<std::string> &args, const std::vector<InputFile> &inputs,
              const std::vector<std::pair<std::string, std::vector<FitsRow>>> &sectors = {},
              const std::string &input = "")
{
    RunResult r;
    const std::string dir = MakeDirectory();
    for (const InputFile &f : inputs)
        WriteFileContent(dir + "/" + f.name, f.content);
    for (const auto &s : sectors)
        WriteLightCurveFits(dir + "/" + s.first, s.second, "TIC 1234");
    WriteFileContent(dir + "/stdin", input);
    r.status = WaitProgram(StartProgram(KALIDOR, args, dir, dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    r.out = FileContent(dir + "/stdout");
    r.err = FileContent(dir + "/stderr");
    const std::string first = !sectors.empty() ? sectors[0].first : inputs.empty() ? "" : inputs[0].name;
    r.jud = FileContent(dir + "/" + first.substr(0, first.find('.')) + ".jud");
    std::filesystem::remove_all(dir);
    return r;
}

TEST(FitsInput, OneSectorTimesSkippedRowsAndPeriod)
{
    const RunResult r = RunOn({"--periods", "1:3", "--report", "json", "s1.fits"}, {}, {{"s1.fits", Sector(1500.25, 27, 1000)}});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["time_scale"], "BJD_TDB");
    EXPECT_EQ(j["observations"], 296);
    EXPECT_NEAR(j["first"].get<double>(), 57000 + 1500.25, 1e-8);
    EXPECT_NEAR(j["last"].get<double>(), 57000 + 1500.25 + 27.0 * 299 / 300, 1e-8);
    EXPECT_EQ(j["skipped"]["flagged"], 2);
    EXPECT_EQ(j["skipped"]["empty"], 1);
    EXPECT_EQ(j["skipped"]["non_positive_flux"], 1);
    EXPECT_EQ(j["input_form"], "fits");
    EXPECT_EQ(j["flux_column"], "PDCSAP_FLUX");
    EXPECT_EQ(j["files_joined"], 1);
    EXPECT_NEAR(j["peaks"][0]["period"].get<double>(), 1.7, 0.01);
    // Magnitudes about the median: 5 % in flux is about 0.054 mag.
    EXPECT_NEAR(j["peaks"][0]["amplitude"].get<double>(), 0.0543, 0.002);
    EXPECT_EQ(r.jud.substr(0, 10), "58500.250 ");
}

TEST(FitsInput, FluxChoicesAndRefusals)
{
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string inReport; // in the text report, or in the refusal
    };
    const std::vector<Case> cases = {
        {{"--flux", "sap"}, 0, "SAP_FLUX as magnitudes"},
        {{"--flux-units", "relative"}, 0, "PDCSAP_FLUX relative to its median"},
        {{"--barycentric", "1.0", "20.0"}, 1, "the times of the file are BJD_TDB already; a second conversion is refused"},
        {{"--band", "V"}, 1, "--band applies to tables only"},
        {{"--bands", "all"}, 1, "--bands applies to tables only"},
        {{"--flux", "both"}, 1, "invalid value 'both' for --flux"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--periods", "1:3"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("s1.fits");
        const RunResult r = RunOn(args, {}, {{"s1.fits", Sector(1500.25, 27, 1000)}});
        EXPECT_EQ(r.status, c.status) << c.options[0] << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.inReport), std::string::npos) << c.options[0] << r.out << r.err;
    }
}

TEST(FitsInput, SectorsJoinedEachOverItsOwnMedian)
{
    const RunResult r = RunOn({"--periods", "1:3", "--join", "--report", "json", "s1.fits", "s2.fits"}, {},
                            {{"s1.fits", Sector(1500, 27, 1000)}, {"s2.fits", Sector(1530, 27, 2500)}});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["files_joined"], 2);
    EXPECT_EQ(j["observations"], 592);
    EXPECT_EQ(j["skipped"]["flagged"], 4);
    EXPECT_NEAR(j["peaks"][0]["period"].get<double>(), 1.7, 0.002);
    // Each sector over its own median: the two levels meet, the amplitude stays.
    EXPECT_NEAR(j["peaks"][0]["amplitude"].get<double>(), 0.0543, 0.002);
    EXPECT_NE(r.err.find("note: 2 FITS files joined into one light curve"), std::string::npos) << r.err;
}

TEST(FitsInput, SeveralSectorsWithoutJoinStaySeveralStars)
{
    const RunResult r = RunOn({"--periods", "1:3", "s1.fits", "s2.fits"}, {},
                            {{"s1.fits", Sector(1500, 27, 1000)}, {"s2.fits", Sector(1530, 27, 2500)}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    // A survey run takes every file as its own star: --join is refused there.
    const RunResult survey = RunOn({"--periods", "1:3", "--join", "--report", "jsonl", "s1.fits", "s2.fits"}, {},
                                   {{"s1.fits", Sector(1500, 27, 1000)}, {"s2.fits", Sector(1530, 27, 2500)}});
    EXPECT_EQ(survey.status, 1);
    EXPECT_NE(survey.err.find("--join reads the FITS files of one star"), std::string::npos) << survey.err;
    // Files of different stars are not joined.
    const std::string dir = MakeDirectory();
    WriteLightCurveFits(dir + "/a.fits", Sector(1500, 27, 1000), "TIC 1");
    WriteLightCurveFits(dir + "/b.fits", Sector(1530, 27, 1000), "TIC 2");
    WriteFileContent(dir + "/stdin", "");
    const int status = WaitProgram(StartProgram(KALIDOR, {"--periods", "1:3", "--join", "a.fits", "b.fits"}, dir,
                                                dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    EXPECT_EQ(status, 1);
    EXPECT_NE(FileContent(dir + "/stderr").find("the FITS files hold different stars"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(SurveyTables, UncertaintiesOfTodaysTablesDoNotChangeTheReport)
{
    // A database export with an uncertainty column: read by the dialogue's
    // own reader, its report as before (no new keys).
    std::string table = "JD,Magnitude,Uncertainty,Band\n";
    for (int i = 0; i < 30; ++i)
        table += std::to_string(2459000.5 + i * 0.7) + "," + std::to_string(10 + 0.3 * std::sin(i * 1.3)) + ",0.02,V\n";
    const RunResult r = RunOn({"--periods", "1:5", "--report", "json", "t.csv"}, {{"t.csv", table}});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_FALSE(j.contains("input_form"));
    EXPECT_FALSE(j["skipped"].contains("flagged"));
}

// A survey download: modified Julian dates, magnitudes, errors, filter codes and a flag.
std::string SurveyDownload()
{
    std::string text = "mjd,magpsf,sigmapsf,filtercode,catflags\n";
    for (int i = 0; i < 120; ++i) {
        const double t = 58000 + i * 1.37;
        const bool g = i % 3 != 0;
        char line[160];
        std::snprintf(line, sizeof line, "%.6f,%.4f,0.0%d,%s,%d\n", t,
                      (g ? 15.0 : 14.6) + (g ? 0.3 : 0.2) * std::sin(2 * Pi * t / 2.9), 1 + i % 5, g ? "zg" : "zr",
                      i % 17 == 5 ? 32768 : 0);
        text += line;
    }
    return text;
}

TEST(SurveyTables, DownloadAndSpreadsheetForms)
{
    struct Case {
        std::string name, content;
        long observations, flagged;
        std::string band;
    };
    std::string spreadsheet = "JD;Magnitude;Band\n";
    for (int i = 0; i < 40; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%.5f;%.3f;V\n", 2459000.25 + i * 0.83, 9.5 + 0.4 * std::sin(2 * Pi * i * 0.83 / 3.3));
        std::string row = line;
        for (char &c : row)
            if (c == '.')
                c = ',';
        spreadsheet += row;
    }
    const std::vector<Case> cases = {
        {"ztf.csv", SurveyDownload(), 75, 5, "zg"},
        {"sheet.csv", spreadsheet, 40, 0, "V"},
    };
    for (const Case &c : cases) {
        const RunResult r = RunOn({"--periods", "1.5:5", "--report", "json", c.name}, {{c.name, c.content}});
        ASSERT_EQ(r.status, 0) << c.name << r.err;
        const Json j = Json::parse(r.out);
        EXPECT_EQ(j["observations"], c.observations) << c.name;
        EXPECT_EQ(j["skipped"]["flagged"], c.flagged) << c.name;
        EXPECT_EQ(j["band"], c.band) << c.name;
        EXPECT_EQ(j["input_form"], "survey") << c.name;
    }
}

// A made-up star in two bands, each sampled sparsely and at its own times,
// with its own mean and amplitude and Gaussian noise.
std::string TwoBandStar(double period, unsigned seed)
{
    std::mt19937 random(seed);
    auto uniform = [&random] { return (random() + 0.5) / 4294967296.0; };
    auto gauss = [&] { return std::sqrt(-2 * std::log(uniform())) * std::cos(2 * Pi * uniform()); };
    std::string text = "JD,Magnitude,Uncertainty,Band\n";
    for (int i = 0; i < 16; ++i) {
        const bool v = i % 2 == 0;
        const double t = 2459000 + 200 * uniform();
        const double m = (v ? 11.0 : 12.2) + (v ? 0.25 : 0.4) * std::sin(2 * Pi * t / period) + 0.08 * gauss();
        char line[96];
        std::snprintf(line, sizeof line, "%.5f,%.4f,0.08,%s\n", t, m, v ? "V" : "Vis.");
        text += line;
    }
    return text;
}

double BestPeriod(const RunResult &r) { return Json::parse(r.out)["peaks"][0]["period"].get<double>(); }

TEST(SeveralBands, TogetherFindThePeriodThatEachBandAloneMisses)
{
    const double period = 0.8123;
    const std::string star = TwoBandStar(period, SeveralBandsSeed);
    const std::vector<std::string> common = {"--periods", "0.3:5", "--report", "json"};
    auto run = [&](const std::vector<std::string> &band) {
        std::vector<std::string> args = common;
        args.insert(args.end(), band.begin(), band.end());
        args.push_back("star.csv");
        return RunOn(args, {{"star.csv", star}});
    };
    const RunResult both = run({"--bands", "all"}), v = run({"--band", "V"}), vis = run({"--band", "Vis."});
    ASSERT_EQ(both.status, 0) << both.err;
    ASSERT_EQ(v.status, 0) << v.err;
    ASSERT_EQ(vis.status, 0) << vis.err;
    EXPECT_NEAR(BestPeriod(both), period, 0.002);
    EXPECT_GT(std::fabs(BestPeriod(v) - period), 0.01);
    EXPECT_GT(std::fabs(BestPeriod(vis) - period), 0.01);
    const Json j = Json::parse(both.out);
    ASSERT_EQ(j["bands"].size(), 2u);
    EXPECT_EQ(j["bands"][0]["band"], "V");
    EXPECT_EQ(j["bands"][0]["observations"], 8);
    EXPECT_NEAR(j["bands"][0]["mean_magnitude"].get<double>(), 11.0, 0.15);
    EXPECT_NEAR(j["bands"][1]["mean_magnitude"].get<double>(), 12.2, 0.2);
    EXPECT_NEAR(j["bands"][0]["amplitude"].get<double>(), 0.25, 0.12);
    EXPECT_NEAR(j["bands"][1]["amplitude"].get<double>(), 0.4, 0.12);
    // A list names the bands taken; without --bands the report has no key.
    const RunResult listed = run({"--bands", "V,Vis."});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(Json::parse(listed.out)["band"], "V, Vis.");
    EXPECT_FALSE(Json::parse(v.out).contains("bands"));
}

TEST(SeveralBands, SurveyRunRecordsCarryTheBands)
{
    const RunResult r = RunOn({"--periods", "0.3:5", "--bands", "all", "--report", "jsonl", "star.csv"},
                            {{"star.csv", TwoBandStar(0.8123, SeveralBandsSeed)}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json::parse(r.out)["bands"].size(), 2u);
}

} // namespace
