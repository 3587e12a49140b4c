// End-to-end survey runs of kalidor (several files): one JSON Lines record a
// star in input order whatever the threads, each equal to the star's own
// batch report, the catalogue, the statuses, and nothing written per star
// unless asked.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "run_kalidor.h"

namespace {

using Json = nlohmann::json;

std::string MakeDirectory()
{
    char pattern[] = "/tmp/kalidor-survey-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "";
}

struct SurveyOutput {
    int status;
    std::string out, err;
};

SurveyOutput RunIn(const std::string &dir, const std::vector<std::string> &args)
{
    WriteFileContent(dir + "/stdin", "");
    SurveyOutput r;
    r.status = WaitProgram(StartProgram(KALIDOR, args, dir, dir + "/stdin", dir + "/stdout", dir + "/stderr"));
    r.out = FileContent(dir + "/stdout");
    r.err = FileContent(dir + "/stderr");
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

// A Julian-date file of a made-up star with a sine of the given period.
std::string MadeUpStar(unsigned seed, int n, double period)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> when(0, 60);
    std::normal_distribution<double> noise(0, 0.05);
    std::string text;
    for (int i = 0; i < n; ++i) {
        const double t = 51000 + when(random);
        char line[64];
        std::snprintf(line, sizeof line, "%.4f   %.3f\n", t, 11 + 0.3 * std::sin(2 * M_PI * t / period) + noise(random));
        text += line;
    }
    return text;
}

// A folder with made-up stars s0.jud ... and, among them, files that cannot
// be analysed.
struct Field {
    std::string dir;
    std::vector<std::string> files;
    ~Field() { std::filesystem::remove_all(dir); }
};

void MakeField(Field &field, int stars)
{
    field.dir = MakeDirectory();
    for (int i = 0; i < stars; ++i) {
        const std::string name = "s" + std::to_string(i) + ".jud";
        WriteFileContent(field.dir + "/" + name, MadeUpStar(10 + i, 120 + 7 * i, 1.5 + 0.4 * i));
        field.files.push_back(name);
    }
}

std::vector<std::string> Arguments(std::vector<std::string> options, const std::vector<std::string> &files)
{
    options.insert(options.end(), files.begin(), files.end());
    return options;
}

TEST(SurveyRun, RecordsAreTheStarsOwnBatchReportsInInputOrderWhateverTheThreads)
{
    Field field;
    MakeField(field, 12);
    const std::vector<std::string> options = {"--periods", "1:8", "--prewhiten", "2", "--fold", "best"};
    std::vector<std::string> threads1 = options, threads3 = options;
    threads1.insert(threads1.end(), {"--threads", "1"});
    threads3.insert(threads3.end(), {"--threads", "3"});
    const SurveyOutput one = RunIn(field.dir, Arguments(threads1, field.files));
    const SurveyOutput three = RunIn(field.dir, Arguments(threads3, field.files));
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(three.status, 0);
    EXPECT_EQ(one.out, three.out);
    const std::vector<std::string> records = Lines(one.out);
    ASSERT_EQ(records.size(), field.files.size());
    // No file of a star is written unless asked.
    EXPECT_FALSE(FileExists(field.dir + "/s0.ven"));
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::vector<std::string> single = options;
        single.insert(single.end(), {"--report", "json", field.files[i]});
        const SurveyOutput batch = RunIn(field.dir, single);
        ASSERT_EQ(batch.status, 0);
        Json record = Json::parse(records[i]);
        record.erase("notes");
        EXPECT_EQ(record, Json::parse(batch.out)) << field.files[i];
        // The numbers' texts are the same, not only their values.
        EXPECT_NE(batch.out.find(record["peaks"][0]["period"].dump()), std::string::npos);
    }
}

TEST(SurveyRun, RefusedStarsGetARecordAndTheStatusSaysSo)
{
    Field field;
    MakeField(field, 3);
    WriteFileContent(field.dir + "/few.jud", "51000 1\n51001 2\n51002 1\n");
    WriteFileContent(field.dir + "/bad.jud", "51000 1\n51001 x\n");
    const std::vector<std::string> files = {"s0.jud", "few.jud", "s1.jud", "missing.jud", "bad.jud", "s2.jud"};
    const SurveyOutput r = RunIn(field.dir, Arguments({"--periods", "1:8", "--catalogue", "cat.csv"}, files));
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> records = Lines(r.out);
    ASSERT_EQ(records.size(), files.size());
    struct Expected {
        std::size_t index;
        const char *error; // empty: analysed
    } expected[] = {
        {0, ""}, {1, "too few estimates: the spectrum needs at least 5"}, {2, ""}, {3, "missing.jud"},
        {4, "line 2"}, {5, ""},
    };
    for (const Expected &e : expected) {
        const Json record = Json::parse(records[e.index]);
        EXPECT_EQ(record["file"], files[e.index]);
        if (*e.error == 0) {
            EXPECT_TRUE(record.contains("peaks")) << records[e.index];
        } else {
            ASSERT_TRUE(record.contains("error")) << records[e.index];
            EXPECT_NE(record["error"].get<std::string>().find(e.error), std::string::npos) << records[e.index];
        }
    }
    const std::vector<std::string> rows = Lines(FileContent(field.dir + "/cat.csv"));
    ASSERT_EQ(rows.size(), files.size() + 1);
    EXPECT_EQ(rows[0].substr(0, 30), "star,file,band,observations,sp");
    EXPECT_EQ(rows[1].substr(0, 8), ",s0.jud,");
    EXPECT_NE(rows[2].find("too few estimates"), std::string::npos);
}

TEST(SurveyRun, AllGoodEndsWithZeroAndFilesOnlyWhenAsked)
{
    Field field;
    MakeField(field, 2);
    const SurveyOutput r = RunIn(field.dir, Arguments({"--periods", "1:8", "--files"}, field.files));
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *stem : {"s0", "s1"}) {
        const std::string ven = FileContent(field.dir + "/" + stem + ".ven");
        EXPECT_GT(ven.size(), 49u * 100) << stem;
    }
    // The survey's .ven is the batch run's, byte for byte.
    const std::string surveyVen = FileContent(field.dir + "/s0.ven");
    const SurveyOutput batch = RunIn(field.dir, {"--periods", "1:8", "s0.jud"});
    EXPECT_EQ(batch.status, 0);
    EXPECT_EQ(FileContent(field.dir + "/s0.ven"), surveyVen);
}

TEST(SurveyRun, OneFileAsJsonLinesAndRefusedOptions)
{
    Field field;
    MakeField(field, 1);
    const SurveyOutput lines = RunIn(field.dir, {"--periods", "1:8", "--report", "jsonl", "s0.jud"});
    EXPECT_EQ(lines.status, 0);
    EXPECT_EQ(Lines(lines.out).size(), 1u);
    const SurveyOutput plots = RunIn(field.dir, {"--periods", "1:8", "--plots", "png", "s0.jud", "s0.jud"});
    EXPECT_EQ(plots.status, 1);
    EXPECT_NE(plots.err.find("--plots"), std::string::npos);
}

// Every form kalidor reads, through the survey's reader: the records equal
// the batch run's reports of the same files.
TEST(SurveyRun, RealFilesOfEveryFormGiveTheirBatchReports)
{
    Field field;
    field.dir = MakeDirectory();
    const std::vector<std::string> files = {"delcep.dat", "delcep.tsv", "sscyg-sample.csv", "tcas.jud", "sori.jud"};
    for (const std::string &name : files)
        WriteFileContent(field.dir + "/" + name, FileContent(std::string(TEST_DATA) + "/" + name));
    const std::vector<std::string> options = {"--periods", "2:600", "--intervals", "3000", "--peaks", "3"};
    const SurveyOutput survey = RunIn(field.dir, Arguments(options, files));
    ASSERT_EQ(survey.status, 0) << survey.err;
    const std::vector<std::string> records = Lines(survey.out);
    ASSERT_EQ(records.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::vector<std::string> single = options;
        single.insert(single.end(), {"--report", "json", files[i]});
        const SurveyOutput batch = RunIn(field.dir, single);
        ASSERT_EQ(batch.status, 0) << files[i];
        Json record = Json::parse(records[i]);
        record.erase("notes");
        EXPECT_EQ(record, Json::parse(batch.out)) << files[i];
    }
}

// A table with a star column: one record a star in the order the stars
// first appear, rows interleaved, a star with too few rows refused alone;
// each record is the report of that star's rows read as a table of their own.
TEST(SurveyRun, TableWithAStarColumnGivesOneRecordAStar)
{
    Field field;
    field.dir = MakeDirectory();
    const char *names[] = {"V1", "V2", "V3"};
    std::string all = "oid,hjd,mag,magerr\n", own[3];
    for (int s = 0; s < 3; ++s)
        own[s] = "hjd,mag,magerr\n";
    std::mt19937 random(4);
    std::uniform_real_distribution<double> when(0, 80);
    std::normal_distribution<double> noise(0, 0.03);
    for (int i = 0; i < 360; ++i) {
        const int s = i % 3;
        const double t = 2458000 + when(random);
        char row[96];
        std::snprintf(row, sizeof row, "%.5f,%.4f,0.03\n", t, 15 + 0.2 * std::sin(2 * M_PI * t / (1.3 + s)) + noise(random));
        all += std::string(names[s]) + "," + row;
        own[s] += row;
    }
    all += "V4,2458001.5,15.1,0.03\nV4,2458002.5,15.2,0.03\n";
    WriteFileContent(field.dir + "/field.csv", all);
    const SurveyOutput survey = RunIn(field.dir, {"--periods", "0.5:5", "--weights", "none", "field.csv"});
    EXPECT_EQ(survey.status, 1) << survey.err;
    const std::vector<std::string> records = Lines(survey.out);
    ASSERT_EQ(records.size(), 4u);
    for (int s = 0; s < 3; ++s) {
        Json record = Json::parse(records[s]);
        EXPECT_EQ(record["star"], names[s]);
        const std::string name = std::string("own") + names[s] + ".csv";
        WriteFileContent(field.dir + "/" + name, own[s]);
        const SurveyOutput batch = RunIn(field.dir, {"--periods", "0.5:5", "--weights", "none", "--report", "json", name});
        ASSERT_EQ(batch.status, 0) << batch.err;
        Json expected = Json::parse(batch.out);
        for (Json *j : {&record, &expected}) {
            j->erase("file");
            j->erase("star");
            j->erase("notes");
        }
        EXPECT_EQ(record, expected) << names[s];
    }
    const Json refused = Json::parse(records[3]);
    EXPECT_EQ(refused["star"], "V4");
    EXPECT_NE(refused["error"].get<std::string>().find("too few estimates"), std::string::npos);
}

} // namespace
