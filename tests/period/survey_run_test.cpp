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

} // namespace
