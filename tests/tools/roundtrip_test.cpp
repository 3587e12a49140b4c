// A screen dumped by the hard-copy encoder, in either form, and read back by
// the band stream reader gives exactly the dots of the screen.  The screen
// runs off-screen (KALIDOR_DISPLAY=offscreen).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "banddecode.h"
#include "bandstream.h"
#include "screen.h"

namespace {

std::vector<unsigned char> printerBytes;

void CollectPrinterByte(unsigned char byte)
{
    printerBytes.push_back(byte);
}

// The dots of the screen as the reader returns them: 1 where the colour is
// not 0.
BandImage ScreenDots()
{
    BandImage image;
    image.width = GetMaxX() + 1;
    image.height = GetMaxY() + 1;
    image.dots.assign(size_t(image.width) * size_t(image.height), 0);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.dots[size_t(y) * size_t(image.width) + size_t(x)] = GetPixel(x, y) != 0;
    return image;
}

std::vector<unsigned char> FileDumps(int copies)
{
    const int fd = memfd_create("dump", 0);
    EXPECT_GE(fd, 0);
    for (int i = 0; i < copies; ++i)
        WriteFileDump(fd);
    const off_t size = lseek(fd, 0, SEEK_END);
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), ssize_t(size));
    close(fd);
    return bytes;
}

std::vector<unsigned char> PrinterDumps(int copies)
{
    printerBytes.clear();
    for (int i = 0; i < copies; ++i)
        WritePrinterDump(CollectPrinterByte);
    return printerBytes;
}

void DrawNothing() {}

void DrawEdgeDots()
{
    // Both ends of the top and bottom rows, and every colour but 0.
    PutPixel(0, 0, White);
    PutPixel(ScreenWidth - 1, 0, 1);
    PutPixel(0, ScreenHeight - 1, 2);
    PutPixel(ScreenWidth - 1, ScreenHeight - 1, 3);
    for (int colour = 1; colour < ScreenColours; ++colour)
        PutPixel(100 + colour, 200 + colour % 8, colour);
}

void DrawPlotLikePicture()
{
    SetColor(White);
    Line(60, 20, 60, 440);
    Line(60, 440, 620, 440);
    for (int x = 60; x <= 620; x += 56)
        Line(x, 440, x, 446);
    SetColor(Yellow);
    for (int x = 61; x < 620; ++x) {
        const int y = 300 - int(120 * std::sin(x / 23.0) * std::exp(-x / 400.0));
        PutPixel(x, y, Yellow);
    }
    SetColor(Green);
    for (int i = 0; i < 40; ++i)
        Circle(80 + 13 * i, 100 + (i * 37) % 200, 2);
    Circle(320, 240, 150);
    SetColor(LightGray);
    OutTextXY(200, 8, "Perioda:  2.346 dne");
    OutTextXY(8, 470, "Zmackni ENTER ...");
}

struct PictureCase {
    const char *name;
    void (*draw)();
};

// Shows the case by its name in test reports.
void PrintTo(const PictureCase &c, std::ostream *out)
{
    *out << c.name;
}

class RoundTrip : public ::testing::TestWithParam<PictureCase> {
protected:
    void SetUp() override
    {
        // The printer form stops at a waiting key: nothing may wait on
        // standard input, whatever the test runner left there.
        const int nothing = open("/dev/null", O_RDONLY);
        ASSERT_GE(nothing, 0);
        dup2(nothing, 0);
        close(nothing);
        int driver = DetectDriver, mode = 0;
        InitGraph(driver, mode, "");
        ASSERT_EQ(GraphResult(), GraphOk);
        ClearDevice();
        GetParam().draw();
    }
    void TearDown() override { CloseGraph(); }
};

TEST_P(RoundTrip, FileFormGivesTheScreenInEverySlot)
{
    const BandImage screen = ScreenDots();
    // A picture that failed to draw would pass as blank.
    ASSERT_EQ(std::count(screen.dots.begin(), screen.dots.end(), 1) > 0,
              GetParam().draw != DrawNothing);
    const std::vector<unsigned char> stream = FileDumps(2);
    ASSERT_EQ(stream.size(), size_t(2 * DumpSize()));
    std::vector<BandImage> pictures;
    StreamFault fault;
    ASSERT_TRUE(DecodeBandStream(stream, false, 0, 0, pictures, fault))
        << "byte " << fault.offset << ": " << fault.text;
    ASSERT_EQ(pictures.size(), 2u);
    for (const BandImage &picture : pictures) {
        EXPECT_EQ(picture.width, screen.width);
        EXPECT_EQ(picture.height, screen.height);
        EXPECT_TRUE(picture.dots == screen.dots);
    }
}

TEST_P(RoundTrip, PrinterFormGivesTheScreenInEveryCopy)
{
    const BandImage screen = ScreenDots();
    const std::vector<unsigned char> stream = PrinterDumps(3);
    std::vector<BandImage> pictures;
    StreamFault fault;
    ASSERT_TRUE(DecodeBandStream(stream, true, GetMaxX() + 1, GetMaxY() + 1, pictures, fault))
        << "byte " << fault.offset << ": " << fault.text;
    ASSERT_EQ(pictures.size(), 3u);
    for (const BandImage &picture : pictures)
        EXPECT_TRUE(picture.dots == screen.dots);
}

INSTANTIATE_TEST_SUITE_P(Pictures, RoundTrip,
                         ::testing::Values(PictureCase{"Blank", DrawNothing},
                                           PictureCase{"EdgeDots", DrawEdgeDots},
                                           PictureCase{"PlotLike", DrawPlotLikePicture}),
                         [](const ::testing::TestParamInfo<PictureCase> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
