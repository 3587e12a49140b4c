// The bandpng program: images written and read back, messages on standard
// error and exit statuses.  BANDPNG names the program under test.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "streambuild.h"

namespace {

class BandPngProgram : public ::testing::Test {
protected:
    std::string folder;

    void SetUp() override
    {
        char name[] = "/tmp/bandpng_test_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
    }
    void TearDown() override
    {
        const std::string command = "rm -rf '" + folder + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::string Path(const std::string &name) const { return folder + "/" + name; }

    void WriteBytes(const std::string &name, const Bytes &bytes) const
    {
        std::ofstream out(Path(name), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }

    std::string ReadText(const std::string &name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    bool Exists(const std::string &name) const { return access(Path(name).c_str(), F_OK) == 0; }

    // Runs bandpng in the test folder with the arguments (a shell text),
    // standard output and error going to files; returns the exit status.
    int Run(const std::string &arguments) const
    {
        const std::string command = "cd '" + folder + "' && '" BANDPNG "' " + arguments +
                                    " >stdout.txt 2>stderr.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Errors() const { return ReadText("stderr.txt"); }

    // Reads a PNG image back into dots (black pixels).
    BandImage ReadPng(const std::string &name) const
    {
        png_image png = {};
        png.version = PNG_IMAGE_VERSION;
        BandImage image;
        if (!png_image_begin_read_from_file(&png, Path(name).c_str()))
            return image;
        png.format = PNG_FORMAT_GRAY;
        std::vector<png_byte> grey(PNG_IMAGE_SIZE(png));
        if (!png_image_finish_read(&png, nullptr, grey.data(), 0, nullptr))
            return image;
        image.width = int(png.width);
        image.height = int(png.height);
        for (png_byte value : grey) {
            EXPECT_TRUE(value == 0 || value == 255);
            image.dots.push_back(value == 0);
        }
        return image;
    }
};

BandImage Picture(int width, int height, int seed)
{
    BandImage image = BlankImage(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x * 7 + y * 3 + seed) % 11 == 0)
                SetDot(image, x, y);
    SetDot(image, 0, 0);
    SetDot(image, width - 1, height - 1);
    return image;
}

TEST_F(BandPngProgram, HardCopyFileGivesOneImagePerSlot)
{
    const BandImage first = Picture(37, 16, 1), second = Picture(37, 16, 5);
    Bytes stream = FileDumpOf(first);
    Append(stream, FileDumpOf(second));
    WriteBytes("star.prn", stream);

    ASSERT_EQ(Run("star.prn out"), 0) << Errors();
    EXPECT_EQ(Errors(), "");
    const BandImage one = ReadPng("out-1.png"), two = ReadPng("out-2.png");
    EXPECT_EQ(one.width, 37);
    EXPECT_EQ(one.height, 16);
    EXPECT_EQ(one.dots, first.dots);
    EXPECT_EQ(two.dots, second.dots);
    EXPECT_FALSE(Exists("out-3.png"));

    ASSERT_EQ(Run("-s 2 star.prn only"), 0) << Errors();
    EXPECT_FALSE(Exists("only-1.png"));
    EXPECT_EQ(ReadPng("only-2.png").dots, second.dots);

    ASSERT_EQ(Run("--slot=0 -o first.png star.prn"), 0) << Errors();
    EXPECT_EQ(ReadPng("first.png").dots, first.dots);

    ASSERT_EQ(Run("-s 2 -o - - <star.prn"), 0) << Errors();
    EXPECT_EQ(ReadPng("stdout.txt").dots, second.dots);
}

TEST_F(BandPngProgram, PrintJobUsesTheGivenScreenSize)
{
    const BandImage picture = Picture(40, 24, 2);
    Bytes job = PrinterDumpOf(picture);
    Append(job, PrinterDumpOf(picture, 1));
    WriteBytes("job.lst", job);

    ASSERT_EQ(Run("-p -g 40x24 job.lst page"), 0) << Errors();
    EXPECT_EQ(ReadPng("page-1.png").dots, picture.dots);
    const BandImage cut = ReadPng("page-2.png");
    ASSERT_EQ(cut.height, 24);
    EXPECT_TRUE(std::equal(cut.dots.begin(), cut.dots.begin() + 40 * 8, picture.dots.begin()));
    EXPECT_EQ(std::count(cut.dots.begin() + 40 * 8, cut.dots.end(), 1), 0);
}

TEST_F(BandPngProgram, DefaultPrintJobScreenIs640By480)
{
    WriteBytes("blank.lst", Bytes(60, 0x82));
    ASSERT_EQ(Run("--printer blank.lst b"), 0) << Errors();
    const BandImage image = ReadPng("b-1.png");
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 480);
    EXPECT_FALSE(Exists("b-2.png"));
}

TEST_F(BandPngProgram, FailuresGiveMessageAndStatus)
{
    Bytes damaged = BandRecordBytes(0, {1, 2, 3});
    damaged[8] = 0x17;
    WriteBytes("damaged.prn", damaged);
    WriteBytes("empty.prn", {});
    Bytes two = FileDumpOf(Picture(8, 8, 0));
    Append(two, two);
    WriteBytes("two.prn", two);

    struct Case {
        const char *arguments;
        int status;
        const char *message;
    } cases[] = {
        {"damaged.prn x", 1, "bandpng: damaged.prn: byte 8: expected 0x82 (band end), found 0x17\n"},
        {"empty.prn x", 1, "bandpng: empty.prn: byte 0: empty stream, no band\n"},
        {"absent.prn x", 1, "bandpng: absent.prn: No such file or directory\n"},
        {"-s 3 two.prn x", 1, "bandpng: two.prn: no picture 3, the stream holds 2\n"},
        {"two.prn nodir/x", 1, "bandpng: nodir/x-1.png: No such file or directory\n"},
        {"", 2, "bandpng: missing input file\n"},
        {"two.prn x y", 2, "bandpng: extra operand 'y'\n"},
        {"-o x.png two.prn", 2, "choose one with --slot"},
        {"-p -g 640 two.prn x", 2, "invalid screen size '640'"},
        {"-g 640x480 two.prn x", 2, "applies to a print job (-p) only"},
        {"-s two two.prn x", 2, "invalid slot number 'two'"},
        {"-q two.prn x", 2, "invalid option -- 'q'"},
        {"--colour two.prn x", 2, "unrecognized option '--colour'"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Run(c.arguments), c.status) << c.arguments;
        const std::string errors = Errors();
        EXPECT_EQ(errors.find("bandpng: "), size_t(0)) << c.arguments << ": " << errors;
        EXPECT_NE(errors.find(c.message), std::string::npos) << c.arguments << ": " << errors;
        if (c.status == 2) {
            EXPECT_NE(errors.find("Try 'bandpng --help'"), std::string::npos) << c.arguments;
        }
    }
    EXPECT_FALSE(Exists("x-1.png"));
}

// An endless stream under a limit of the address space: memory runs out,
// which is told and ends with the status of a stream that cannot be read,
// never by an abort.
TEST_F(BandPngProgram, MemoryRunningOutIsToldWithTheFailureStatus)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    const std::string command = "cd '" + folder + "' && ulimit -v 100000 && '" BANDPNG "' /dev/zero x" +
                                " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Errors(), "bandpng: out of memory\n");
    EXPECT_FALSE(Exists("x-1.png"));
}

// A hard-copy file cut short in its third slot: the two complete slots are
// rendered, the fault is told, and the status says the file is damaged.
TEST_F(BandPngProgram, CompleteSlotsOfAFileCutShortAreRendered)
{
    const Bytes slot = FileDumpOf(Picture(37, 16, 1));
    Bytes stream = slot;
    Append(stream, FileDumpOf(Picture(37, 16, 5)));
    Append(stream, Bytes(slot.begin(), slot.begin() + 9));
    WriteBytes("cut.prn", stream);

    EXPECT_EQ(Run("cut.prn cut"), 1);
    EXPECT_NE(Errors().find("; the 2 complete pictures before it are rendered"), std::string::npos) << Errors();
    EXPECT_EQ(ReadPng("cut-2.png").dots, Picture(37, 16, 5).dots);
    EXPECT_FALSE(Exists("cut-3.png"));
}

} // namespace
