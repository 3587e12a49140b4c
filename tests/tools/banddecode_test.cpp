// The band stream reader: well-formed streams of both forms, damaged ones
// with the byte named, and a bounded random mutation run.
#include <gtest/gtest.h>

#include <random>

#include "banddecode.h"
#include "streambuild.h"

namespace {

// A picture with dots in both corners of its first band and a diagonal.
BandImage SamplePicture(int width, int height)
{
    BandImage image = BlankImage(width, height);
    SetDot(image, 0, 0);
    SetDot(image, width - 1, 7);
    for (int y = 0; y < height && y < width; ++y)
        SetDot(image, y, y);
    return image;
}

TEST(BandDecode, PrinterFormWorkedBands)
{
    // A dot at column 10 in the top row; a dot at column 3 in the bottom
    // row and one at column 5 in the top row.
    struct Case {
        Bytes stream;
        std::vector<std::pair<int, int>> dots;
    } cases[] = {
        {{0x80, 0x0A, 0x00, 0x01, 0x00, 0x01, 0x82}, {{10, 0}}},
        {{0x80, 0x03, 0x00, 0x03, 0x00, 0x80, 0x00, 0x01, 0x82}, {{3, 7}, {5, 0}}},
        {{0x80, 0x7F, 0x02, 0x01, 0x00, 0x80, 0x82}, {{639, 7}}},
    };
    for (const Case &c : cases) {
        std::vector<BandImage> pictures;
        StreamFault fault;
        ASSERT_TRUE(DecodeBandStream(c.stream, true, 640, 8, pictures, fault)) << fault.text;
        ASSERT_EQ(pictures.size(), 1u);
        BandImage expected = BlankImage(640, 8);
        for (auto dot : c.dots)
            SetDot(expected, dot.first, dot.second);
        EXPECT_EQ(pictures[0].dots, expected.dots);
    }
}

TEST(BandDecode, FileFormTakesSizeFromStreamAndParsesByPosition)
{
    // Width 640 puts 0x80 also at offset 3 of every record.
    const BandImage picture = SamplePicture(640, 24);
    BandImage second = BlankImage(640, 24);
    SetDot(second, 320, 12);
    Bytes stream = FileDumpOf(picture);
    ASSERT_EQ(stream.size(), size_t(646 * 3 + 8));
    Append(stream, FileDumpOf(second));

    std::vector<BandImage> pictures;
    StreamFault fault;
    ASSERT_TRUE(DecodeBandStream(stream, false, 0, 0, pictures, fault)) << fault.text;
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].width, 640);
    EXPECT_EQ(pictures[0].height, 24);
    EXPECT_EQ(pictures[0].dots, picture.dots);
    EXPECT_EQ(pictures[1].dots, second.dots);
}

TEST(BandDecode, PrinterJobCopiesAndCutLastCopy)
{
    const BandImage first = SamplePicture(32, 24);
    BandImage second = BlankImage(32, 24);
    SetDot(second, 31, 23);
    Bytes job = PrinterDumpOf(first);
    Append(job, PrinterDumpOf(second));
    Append(job, PrinterDumpOf(first, 1)); // a key press after one band

    std::vector<BandImage> pictures;
    StreamFault fault;
    ASSERT_TRUE(DecodeBandStream(job, true, 32, 24, pictures, fault)) << fault.text;
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0].dots, first.dots);
    EXPECT_EQ(pictures[1].dots, second.dots);
    BandImage cut = BlankImage(32, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x)
            if (first.dots[size_t(y * 32 + x)])
                SetDot(cut, x, y);
    EXPECT_EQ(pictures[2].dots, cut.dots);
}

TEST(BandDecode, PrinterHeightNotMultipleOfEightLeavesLowRowsBlank)
{
    const Bytes job = {0x82, 0x80, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x82};
    std::vector<BandImage> pictures;
    StreamFault fault;
    ASSERT_TRUE(DecodeBandStream(job, true, 4, 12, pictures, fault)) << fault.text;
    ASSERT_EQ(pictures.size(), 2u); // one band per copy
    EXPECT_EQ(pictures[1].height, 12);
    BandImage expected = BlankImage(4, 12);
    for (int y = 0; y < 8; ++y)
        SetDot(expected, 0, y);
    EXPECT_EQ(pictures[1].dots, expected.dots);
}

struct DamagedCase {
    const char *name;
    bool printerForm;
    Bytes stream;
    size_t offset;
    const char *text;
};

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        Append(all, part);
    return all;
}

TEST(BandDecode, DamagedStreamsNameTheByte)
{
    const Bytes band = BandRecordBytes(0, {1, 2, 3, 4}); // 10 bytes
    const Bytes dump = Concat({band, band, Trailer()});   // 28 bytes
    const DamagedCase cases[] = {
        {"empty file", false, {}, 0, "empty stream"},
        {"empty job", true, {}, 0, "empty stream"},
        {"header cut", false, {0x80, 0x00, 0x00}, 3, "ends inside the header of the band record at byte 0"},
        {"record cut", false, Bytes(band.begin(), band.begin() + 7), 7, "ends inside the band record at byte 0"},
        {"end byte missing", false, Bytes(band.begin(), band.end() - 1), 9, "ends inside the band record"},
        {"wrong end byte", false, {0x80, 0, 0, 1, 0, 0xFF, 0x17}, 6, "expected 0x82 (band end), found 0x17"},
        {"starts with trailer", false, Trailer(), 0, "expected 0x80 (band start), found 0x82"},
        {"skip in file form", false, Concat({BandRecordBytes(2, {1, 2}), Trailer()}), 1, "skip 2"},
        {"count zero", false, Concat({BandRecordBytes(0, {}), Trailer()}), 3, "count 0"},
        {"width changes", false, Concat({band, BandRecordBytes(0, {1, 2, 3}), Trailer()}), 13, "count 3, expected 4"},
        {"foreign byte between bands", false, Concat({band, {0x17}}), 10, "or 0x82 (trailer), found 0x17"},
        {"no trailer", false, band, 10, "ends before the trailer"},
        {"trailer cut", false, Concat({band, Bytes(7, 0x82)}), 17, "ends inside the trailer"},
        {"trailer damaged", false, Concat({band, {0x82, 0x82, 0x00}}), 12, "expected 0x82 (trailer), found 0x00"},
        {"second dump shorter", false, Concat({dump, band, Trailer()}), 38, "expected 0x80 (band start), found 0x82"},
        {"second dump longer", false, Concat({dump, band, band, band}), 48, "expected 0x82 (trailer), found 0x80"},
        {"second dump cut between bands", false, Concat({dump, band}), 38, "after 1 of 2 bands"},
        {"byte after last dump", false, Concat({dump, {0x00}}), 28, "expected 0x80 (band start), found 0x00"},
        {"job foreign byte", true, {0x82, 0x17}, 1, "expected 0x80 (band start) or 0x82 (blank band), found 0x17"},
        {"job count beyond width", true, BandRecordBytes(0, Bytes(17, 1)), 3, "count 17 beyond the width 16"},
        {"job skip + count beyond width", true, BandRecordBytes(10, Bytes(7, 1)), 1, "skip 10 + count 7 beyond the width 16"},
        {"job skip alone beyond width", true, BandRecordBytes(17, {}), 1, "skip 17 + count 0 beyond"},
        {"job record cut", true, {0x82, 0x80, 0x01, 0x00, 0x02, 0x00, 0x01}, 7, "ends inside the band record at byte 1"},
        {"job wrong end byte", true, {0x80, 0x01, 0x00, 0x01, 0x00, 0x01, 0x80}, 6, "expected 0x82 (band end), found 0x80"},
    };
    for (const DamagedCase &c : cases) {
        BandLayout layout;
        StreamFault fault;
        const bool ok = c.printerForm
                            ? ScanPrinterStream(c.stream.data(), c.stream.size(), 16, 16, layout, fault)
                            : ScanFileStream(c.stream.data(), c.stream.size(), layout, fault);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(fault.offset, c.offset) << c.name << ": " << fault.text;
        EXPECT_NE(fault.text.find(c.text), std::string::npos) << c.name << ": " << fault.text;
    }
}

TEST(BandDecode, PrinterScreenSizeOutOfRange)
{
    const Bytes job = {0x82};
    const std::pair<int, int> sizes[] = {{0, 480}, {640, 7}, {65536, 8}, {-1, 480}, {65535, 65535}};
    for (auto size : sizes) {
        BandLayout layout;
        StreamFault fault;
        EXPECT_FALSE(ScanPrinterStream(job.data(), job.size(), size.first, size.second, layout, fault))
            << size.first << "x" << size.second;
    }
}

// Bounded random mutations of valid streams of both forms: flipped bits,
// overwritten, inserted and deleted bytes, cut ends.  The reader must either
// refuse the stream with a fault inside it or render pictures of the screen
// size; under AddressSanitizer or valgrind any read outside the bytes shows.
TEST(BandDecode, MutatedStreamsNeverBreakTheReader)
{
    std::mt19937 random(20240611);
    const BandImage picture = SamplePicture(24, 32);
    const Bytes fileStream = Concat({FileDumpOf(picture), FileDumpOf(BlankImage(24, 32))});
    const Bytes jobStream = Concat({PrinterDumpOf(picture), PrinterDumpOf(picture, 2)});
    int refused = 0;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        const bool printerForm = iteration % 2 == 1;
        Bytes stream = printerForm ? jobStream : fileStream;
        const int mutations = 1 + int(random() % 4);
        for (int m = 0; m < mutations && !stream.empty(); ++m) {
            const size_t at = random() % stream.size();
            switch (random() % 5) {
            case 0: stream[at] ^= (unsigned char)(1u << (random() % 8)); break;
            case 1: stream[at] = (unsigned char)(random() % 4 == 0 ? 0x80 + random() % 3 : random()); break;
            case 2: stream.insert(stream.begin() + long(at), (unsigned char)random()); break;
            case 3: stream.erase(stream.begin() + long(at)); break;
            default: stream.resize(at); break;
            }
        }
        BandLayout layout;
        StreamFault fault;
        const bool ok = printerForm
                            ? ScanPrinterStream(stream.data(), stream.size(), 24, 32, layout, fault)
                            : ScanFileStream(stream.data(), stream.size(), layout, fault);
        if (!ok) {
            ++refused;
            ASSERT_LE(fault.offset, stream.size());
            ASSERT_FALSE(fault.text.empty());
            continue;
        }
        ASSERT_FALSE(layout.pictureStarts.empty());
        for (size_t i = 0; i < layout.pictureStarts.size(); ++i) {
            const BandImage image = RenderPicture(stream.data(), stream.size(), layout, i);
            ASSERT_EQ(image.dots.size(), size_t(image.width) * size_t(image.height));
            ASSERT_EQ(image.height, layout.height);
        }
    }
    // Most mutations damage the stream; a run that refuses none is not fuzzing.
    EXPECT_GT(refused, 2000);
}

} // namespace
