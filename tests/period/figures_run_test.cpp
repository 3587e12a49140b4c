// kalidor --plots in the dialogue: the figure files of a spectrum pass and
// a fold are written beside the spectrum file, while the dialogue's texts,
// status and spectrum file stay those of a run without the option.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run_kalidor.h"

namespace {

const std::string Observations = "47892.500   12.300\n47893.500   12.500\n47894.500   11.700\n47895.500   11.500\n"
                                 "47897.500   12.500\n47898.500   11.700\n47923.500   11.500\n47925.500   12.400\n";
// A spectrum pass, no recompute, one fold at 4 d, no second fold.
const std::string Answers = "1\n40\n78\n\nn\na\n4\n47892.5\n\nn\n";

struct StarRun {
    int status;
    std::string output;
    std::string dir;  // where kalidor ran
    std::string base; // removed at the end
};

// Runs kalidor on star.jud in a fresh directory with the options before
// the file name; a folder named 'blocked' is made there first.
StarRun RunOnStar(const std::vector<std::string> &options, const std::string &name, const std::string &blocked = "")
{
    const std::string dir = std::filesystem::temp_directory_path() / ("kalidor-figures-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/work");
    WriteFileContent(dir + "/work/star.jud", Observations);
    WriteFileContent(dir + "/input", Answers);
    if (!blocked.empty())
        std::filesystem::create_directories(dir + "/work/" + blocked);
    std::vector<std::string> args = options;
    args.push_back("star.jud");
    const int status = WaitProgram(StartProgram(KALIDOR, args, dir + "/work", dir + "/input", dir + "/output"));
    return {status, FileContent(dir + "/output"), dir + "/work/", dir};
}

// The width and height a PNG file's header gives.
std::pair<unsigned, unsigned> PngSize(const std::string &png)
{
    auto word = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = at; i < at + 4 && i < png.size(); ++i)
            v = v << 8 | static_cast<unsigned char>(png[i]);
        return v;
    };
    return {word(16), word(20)};
}

} // namespace

TEST(KalidorFigures, WrittenBesideTheDialogueAndTheBatchRunWithoutChangingThem)
{
    const std::vector<std::string> dialogue = {}, batch = {"--periods", "1:40", "--window", "--fold", "best"};
    struct Row {
        std::vector<std::string> run, plots;
        std::string extension, sizeText;
    };
    const Row rows[] = {
        {dialogue, {"--plots", "png"}, ".png", ""},
        {dialogue, {"--plots=svg", "--plot-size", "640x400"}, ".svg", "width=\"640px\" height=\"400px\""},
        {dialogue, {"--plot-size=480x300", "--plots", "pdf"}, ".pdf", "/MediaBox [ 0 0 480 300 ]"},
        {batch, {"--plots", "svg"}, ".svg", "width=\"1600px\" height=\"1000px\""},
    };
    for (const Row &row : rows) {
        const std::string name = (row.run.empty() ? "dialogue-" : "batch-") + row.extension.substr(1);
        SCOPED_TRACE(name);
        const StarRun plain = RunOnStar(row.run, name + "-plain");
        std::vector<std::string> options = row.run;
        options.insert(options.end(), row.plots.begin(), row.plots.end());
        const StarRun run = RunOnStar(options, name);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, plain.output);
        EXPECT_EQ(FileContent(run.dir + "star.ven"), FileContent(plain.dir + "star.ven"));
        for (const char *kind : {"spectrum", "phase"}) {
            EXPECT_FALSE(FileExists(plain.dir + "star-" + kind + row.extension));
            const std::string figure = FileContent(run.dir + "star-" + kind + row.extension);
            if (row.extension == ".png")
                EXPECT_EQ(PngSize(figure), std::make_pair(1600u, 1000u)) << kind;
            else
                EXPECT_NE(figure.find(row.sizeText), std::string::npos) << kind;
        }
        std::filesystem::remove_all(run.base);
        std::filesystem::remove_all(plain.base);
    }
}

TEST(KalidorFigures, AFigureThatCannotBeCreatedStopsWithTheRunTimeError)
{
    // A directory in the place of the figure: access denied, as for the spectrum file.
    const StarRun run = RunOnStar({"--plots", "png"}, "blocked", "star-spectrum.png");
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.output.find("Runtime error 5"), std::string::npos);
    std::filesystem::remove_all(run.base);
}
