// Compares a screenshot of the graphics window (an XWD file from xwd -id)
// with the frame buffer of the test picture: the image must be the screen
// scaled by a whole factor, every screen pixel a square block of its
// palette colour.  Prints "scale N" and ends with 0 on a match, 1 on a
// mismatch, 2 when the file cannot be read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "screen.h"
#include "test_picture.h"

namespace {

// The fields of the XWD header, each a 32-bit big-endian number.
enum XwdField {
    HeaderSize, FileVersion, PixmapFormat, PixmapDepth, PixmapWidth, PixmapHeight, XOffset, ByteOrder,
    BitmapUnit, BitmapBitOrder, BitmapPad, BitsPerPixel, BytesPerLine, VisualClass, RedMask, GreenMask,
    BlueMask, BitsPerRgb, ColormapEntries, ColourCount, XwdFieldCount = 25
};
const int XwdColourSize = 12;
const uint32_t ZPixmap = 2;

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> rgb; // 0xRRGGBB per pixel
};

uint32_t BigEndian32(const unsigned char *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The 8-bit value of the colour under the mask.
uint32_t Channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    const uint32_t value = (pixel & mask) >> shift;
    const uint32_t top = mask >> shift;
    return top == 255 ? value : value * 255 / top;
}

bool Fail(const std::string &message)
{
    std::fprintf(stderr, "xwd_check: %s\n", message.c_str());
    return false;
}

bool ReadXwd(const char *path, Image &image)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() < XwdFieldCount * 4)
        return Fail("file too short for a header");
    uint32_t field[XwdFieldCount];
    for (int i = 0; i < XwdFieldCount; ++i)
        field[i] = BigEndian32(&data[4 * i]);
    if (field[FileVersion] != 7 || field[PixmapFormat] != ZPixmap)
        return Fail("not a version 7 ZPixmap dump");
    const uint32_t bits = field[BitsPerPixel];
    if (bits != 32 && bits != 24)
        return Fail("unsupported pixel size " + std::to_string(bits));
    image.width = field[PixmapWidth];
    image.height = field[PixmapHeight];
    const uint64_t pixelsAt = uint64_t(field[HeaderSize]) + uint64_t(field[ColourCount]) * XwdColourSize;
    const uint64_t bytesPerLine = field[BytesPerLine];
    if (bytesPerLine * 8 < uint64_t(image.width) * bits || pixelsAt + bytesPerLine * image.height > data.size())
        return Fail("pixel data missing");
    const int bytesPerPixel = int(bits / 8);
    image.rgb.resize(size_t(image.width) * image.height);
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            const unsigned char *p = &data[pixelsAt + y * bytesPerLine + size_t(x) * bytesPerPixel];
            uint32_t pixel = 0;
            for (int b = 0; b < bytesPerPixel; ++b) {
                const int index = field[ByteOrder] == 0 ? bytesPerPixel - 1 - b : b; // 0: least significant first
                pixel = pixel << 8 | p[index];
            }
            image.rgb[size_t(y) * image.width + x] = Channel(pixel, field[RedMask]) << 16 |
                                                     Channel(pixel, field[GreenMask]) << 8 |
                                                     Channel(pixel, field[BlueMask]);
        }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: xwd_check SCREENSHOT.xwd\n", stderr);
        return 2;
    }
    Image image;
    if (!ReadXwd(argv[1], image))
        return 2;
    const uint32_t scale = image.width / ScreenWidth;
    if (scale == 0 || image.width != scale * ScreenWidth || image.height != scale * ScreenHeight) {
        std::fprintf(stderr, "xwd_check: %ux%u is no whole multiple of the screen\n", image.width, image.height);
        return 1;
    }
    setenv("KALIDOR_DISPLAY", "offscreen", 1);
    int driver = DetectDriver, mode = 0;
    InitGraph(driver, mode, "");
    DrawTestPicture();
    int wrong = 0;
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) {
            const RgbColour c = ShownColour(GetPixel(x, y));
            const uint32_t expected = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            for (uint32_t dy = 0; dy < scale; ++dy)
                for (uint32_t dx = 0; dx < scale; ++dx) {
                    const uint32_t got = image.rgb[size_t(y * scale + dy) * image.width + x * scale + dx];
                    if (got != expected && ++wrong <= 5)
                        std::fprintf(stderr, "xwd_check: screen pixel (%d, %d): shown %06X, expected %06X\n", x, y,
                                     got, expected);
                }
        }
    std::printf("scale %u\n", scale);
    if (wrong > 0) {
        std::fprintf(stderr, "xwd_check: %d image pixels differ\n", wrong);
        return 1;
    }
    return 0;
}
