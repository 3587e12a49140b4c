#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bandstream.h"
#include "hardcopy.h"
#include "runerror.h"
#include "screen.h"
#include "stdin_pipe.h"
#include "textinput.h"

namespace {

const long Dump = 38768;

std::vector<unsigned char> FileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long FileLength(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

// The column byte of column x in band 0 of the dump that starts at 'slotStart'.
unsigned char TopLeftByte(const std::vector<unsigned char> &bytes, long slotStart, int x)
{
    return bytes.at(static_cast<std::size_t>(slotStart + 5 + x));
}

// Every test runs in its own empty directory with TEMP and PATH cleared,
// the screen open off-screen, and the answers on a pipe at standard input.
class HardCopyTest : public ::testing::Test {
protected:
    std::string directory, savedPath;
    StandardInputPipe input;

    void SetUp() override
    {
        char name[] = "/tmp/hardcopy_testXXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory = name;
        ASSERT_EQ(chdir(directory.c_str()), 0);
        savedPath = getenv("PATH") ? getenv("PATH") : "";
        unsetenv("TEMP");
        setenv("PATH", "", 1);
        setenv("KALIDOR_DISPLAY", "offscreen", 1);
        int driver = 0, mode = 0;
        InitGraph(driver, mode, "");
        ClearDevice();
        SetHardCopyStem("star");
        ASSERT_TRUE(OpenStandardInputPipe(input));
    }

    void TearDown() override
    {
        CloseStandardInputPipe(input);
        CloseGraph();
        setenv("PATH", savedPath.c_str(), 1);
        unsetenv("TEMP");
        ASSERT_EQ(chdir("/"), 0);
        std::system(("rm -rf " + directory).c_str());
    }

    // Marks the picture with a dot in column x of the top row, then answers.
    void Answer(const std::string &line, int markColumn)
    {
        ClearDevice();
        PutPixel(markColumn, 0, 15);
        const std::string text = line + "\n";
        ASSERT_EQ(write(input.writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        HardCopyPrompt();
    }
};

TEST_F(HardCopyTest, SlotsAppendRewriteAndNeverShorten)
{
    Answer("f1", 1);
    EXPECT_EQ(FileLength("star.prn"), Dump);
    Answer("f2", 2);
    EXPECT_EQ(FileLength("star.prn"), 2 * Dump);
    Answer("f1", 3);
    const std::vector<unsigned char> bytes = FileBytes("star.prn");
    EXPECT_EQ(static_cast<long>(bytes.size()), 2 * Dump);
    EXPECT_EQ(TopLeftByte(bytes, 0, 3), 0x01);
    EXPECT_EQ(TopLeftByte(bytes, 0, 1), 0x00);
    EXPECT_EQ(TopLeftByte(bytes, Dump, 2), 0x01);
}

TEST_F(HardCopyTest, SlotBeyondTheEndAppendsWithoutGap)
{
    Answer("f1", 1);
    Answer("f5", 5);
    const std::vector<unsigned char> bytes = FileBytes("star.prn");
    ASSERT_EQ(static_cast<long>(bytes.size()), 2 * Dump);
    EXPECT_EQ(TopLeftByte(bytes, Dump, 5), 0x01);
}

TEST_F(HardCopyTest, MiddleSlotOfThreeIsRewrittenInPlace)
{
    Answer("f1", 1);
    Answer("f2", 2);
    Answer("f3", 3);
    Answer("f2", 9);
    const std::vector<unsigned char> bytes = FileBytes("star.prn");
    ASSERT_EQ(static_cast<long>(bytes.size()), 3 * Dump);
    EXPECT_EQ(TopLeftByte(bytes, 0, 1), 0x01);
    EXPECT_EQ(TopLeftByte(bytes, Dump, 9), 0x01);
    EXPECT_EQ(TopLeftByte(bytes, Dump, 2), 0x00);
    EXPECT_EQ(TopLeftByte(bytes, 2 * Dump, 3), 0x01);
}

TEST_F(HardCopyTest, AnswersThatChooseASlotOrNothing)
{
    const struct {
        const char *answer;
        long slot; // 0: no hard copy
    } cases[] = {
        {"F3", 3},   {"f 7", 7}, {"f123", 12}, {"f12", 12}, {"f0", 1}, {"f1", 1}, {"f", 0},
        {"fx", 0},   {"f-1", 0}, {"", 0},      {" f1", 0},  {"x1", 0}, {"f$A", 10},
    };
    for (const auto &c : cases) {
        unlink("star.prn");
        // A file of 12 blank dumps, so that every slot up to 12 lies inside it.
        {
            const int fd = open("star.prn", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const std::vector<unsigned char> blank(static_cast<std::size_t>(12 * Dump), 0);
            ASSERT_EQ(write(fd, blank.data(), blank.size()), static_cast<ssize_t>(blank.size()));
            close(fd);
        }
        Answer(c.answer, 7);
        const std::vector<unsigned char> bytes = FileBytes("star.prn");
        ASSERT_EQ(static_cast<long>(bytes.size()), 12 * Dump) << c.answer;
        for (long slot = 1; slot <= 12; ++slot)
            EXPECT_EQ(bytes[static_cast<std::size_t>((slot - 1) * Dump)], slot == c.slot ? 0x80 : 0x00)
                << "answer '" << c.answer << "', slot " << slot;
    }
}

TEST_F(HardCopyTest, TempIsWhereANewFileGoesAndIsFoundAgain)
{
    const std::string temp = directory + "/temp";
    ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
    setenv("TEMP", (temp + "/").c_str(), 1);
    Answer("f1", 1);
    EXPECT_EQ(FileLength("star.prn"), -1);
    EXPECT_EQ(FileLength(temp + "/star.prn"), Dump);
    Answer("f2", 2);
    EXPECT_EQ(FileLength(temp + "/star.prn"), 2 * Dump);
    EXPECT_EQ(FileLength("star.prn"), -1);
}

TEST_F(HardCopyTest, PathElementsAreSearchedWithBothSeparators)
{
    const std::string second = directory + "/second";
    ASSERT_EQ(mkdir(second.c_str(), 0755), 0);
    Answer("f1", 1);
    ASSERT_EQ(rename("star.prn", (second + "/star.prn").c_str()), 0);
    setenv("PATH", ("/nonexistent;" + directory + "/empty:" + second).c_str(), 1);
    Answer("f2", 2);
    EXPECT_EQ(FileLength(second + "/star.prn"), 2 * Dump);
    EXPECT_EQ(FileLength("star.prn"), -1);
}

TEST_F(HardCopyTest, WildcardsAreNeverFound)
{
    SetHardCopyStem("st?r");
    Answer("f1", 1);
    Answer("f2", 2); // not found again: created anew
    EXPECT_EQ(FileLength("st?r.prn"), Dump);
}

TEST_F(HardCopyTest, AbsoluteNameIsCreatedWhereItPointsEvenWithTemp)
{
    const std::string temp = directory + "/temp";
    ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
    setenv("TEMP", temp.c_str(), 1);
    SetHardCopyStem(directory + "/abs");
    Answer("f1", 1);
    EXPECT_EQ(FileLength(directory + "/abs.prn"), Dump);
}

TEST_F(HardCopyTest, MissingDirectoryStopsWithPathError)
{
    SetHardCopyStem("nodir/star");
    EXPECT_EXIT(Answer("f1", 1), ::testing::ExitedWithCode(RunErrorFileNotFound), "");
}

TEST_F(HardCopyTest, SymbolicLinksAreRefusedNeverWrittenThrough)
{
    // A link in TEMP (which is searched) to a file, and a dangling one.
    const std::string temp = directory + "/temp";
    ASSERT_EQ(mkdir(temp.c_str(), 0755), 0);
    setenv("TEMP", temp.c_str(), 1);
    std::ofstream(directory + "/victim") << "keep me";
    for (const char *target : {"victim", "absent"}) {
        unlink((temp + "/star.prn").c_str());
        ASSERT_EQ(symlink((directory + "/" + target).c_str(), (temp + "/star.prn").c_str()), 0);
        testing::internal::CaptureStdout();
        Answer("f1", 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Soubor " + temp + "/star.prn je symbolicky odkaz, nelze do nej zapsat.\n");
        EXPECT_EQ(FileLength(directory + "/victim"), 7);
        EXPECT_EQ(FileLength(directory + "/absent"), -1);
        EXPECT_EQ(FileLength("star.prn"), -1);
    }
}

TEST_F(HardCopyTest, FileCutShortGetsItsNextDumpAtASlotBoundary)
{
    Answer("f1", 1);
    std::ofstream("star.prn", std::ios::app) << std::string(100, '\x80'); // a dump cut short
    Answer("f1", 3); // rewritten in place; the file is never shortened
    EXPECT_EQ(FileLength("star.prn"), Dump + 100);
    Answer("f5", 5); // over the cut dump, at the slot boundary
    const std::vector<unsigned char> bytes = FileBytes("star.prn");
    ASSERT_EQ(static_cast<long>(bytes.size()), 2 * Dump);
    EXPECT_EQ(TopLeftByte(bytes, 0, 3), 0x01);
    EXPECT_EQ(bytes[Dump], 0x80);
    EXPECT_EQ(TopLeftByte(bytes, Dump, 5), 0x01);
}

// A dump that cannot be completed (here: beyond the file size limit) stops
// the program; the earlier file stays as it was, a new one is removed.
TEST_F(HardCopyTest, FailedDumpLeavesNoTrace)
{
    const auto answerUnderLimit = [this](const std::string &answer, rlim_t limit) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit l = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &l);
        const std::string text = answer + "\n";
        ssize_t written = write(input.writer, text.data(), text.size());
        (void)written;
        HardCopyPrompt();
    };
    EXPECT_EXIT(answerUnderLimit("f1", Dump / 2), ::testing::ExitedWithCode(RunErrorReadWriteFault), "");
    EXPECT_EQ(FileLength("star.prn"), -1);
    Answer("f1", 1);
    const std::vector<unsigned char> before = FileBytes("star.prn");
    EXPECT_EXIT(answerUnderLimit("f2", Dump + Dump / 2), ::testing::ExitedWithCode(RunErrorReadWriteFault), "");
    EXPECT_EQ(FileBytes("star.prn"), before);
    std::vector<std::string> entries;
    for (const auto &e : std::filesystem::directory_iterator(directory))
        entries.push_back(e.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"star.prn"});
}

TEST(PrinterSpool, PlantedSpoolNameIsLeftAloneAndAnotherNameTaken)
{
    const std::string planted = "/tmp/" + std::to_string(getpid()) + ".lst";
    // Someone else's file, then a link, under the spool name: neither is
    // reused or written through; the spool takes another free name in /tmp
    // and printing goes on.
    for (bool link : {false, true}) {
        unlink(planted.c_str());
        const std::string target = planted + ".target";
        if (link) {
            ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
        } else {
            std::ofstream other(planted);
            other << "not ours";
        }
        OpenPrinterSpool();
        const std::string spool = PrinterSpoolPath();
        EXPECT_NE(spool, planted);
        EXPECT_EQ(spool.rfind("/tmp/", 0), 0u) << spool;
        EXPECT_EQ(FileLength(spool), 0);
        // In a child, which ends without handing anything to a spooler.
        EXPECT_EXIT(
            {
                PrinterWriteByte(0x82);
                _exit(FileLength(spool) == 1 ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
        ClosePrinterSpool(); // nothing written here: the spool goes
        EXPECT_EQ(FileLength(spool), -1);
        EXPECT_EQ(FileLength(target), -1);
        if (!link) {
            std::ifstream back(planted);
            std::string content;
            std::getline(back, content);
            EXPECT_EQ(content, "not ours");
        }
        unlink(planted.c_str());
    }
}

TEST(PrinterSpool, NothingWrittenDeletesTheSpoolFile)
{
    const std::string path = "/tmp/" + std::to_string(getpid()) + ".lst";
    unlink(path.c_str());
    OpenPrinterSpool();
    EXPECT_EQ(PrinterSpoolPath(), path);
    EXPECT_EQ(FileLength(path), 0);
    ClosePrinterSpool();
    EXPECT_EQ(FileLength(path), -1);
}

} // namespace
