#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bandstream.h"
#include "screen.h"
#include "stdin_pipe.h"
#include "textinput.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes printed;
void Collect(unsigned char byte) { printed.push_back(byte); }

// A byte pipe on standard input, for waiting keys.
int keyWriter = -1;
void PressKeyAfterEightBytes(unsigned char byte)
{
    printed.push_back(byte);
    if (printed.size() == 8 && write(keyWriter, "\n", 1) != 1)
        std::abort();
}

class BandStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int driver = DetectDriver, mode = 0;
        InitGraph(driver, mode, "");
        ASSERT_EQ(GraphResult(), GraphOk);
        printed.clear();
    }
    void TearDown() override { CloseGraph(); }
};

Bytes PrinterDump()
{
    printed.clear();
    WritePrinterDump(Collect);
    return printed;
}

std::string TemporaryPath()
{
    char name[] = "/tmp/bandstream_testXXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    return name;
}

Bytes ReadFileBytes(const std::string &path)
{
    Bytes bytes;
    const int fd = open(path.c_str(), O_RDONLY);
    unsigned char block[4096];
    ssize_t got;
    while ((got = read(fd, block, sizeof block)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    close(fd);
    return bytes;
}

Bytes FileDump()
{
    const std::string path = TemporaryPath();
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    WriteFileDump(fd);
    close(fd);
    Bytes bytes = ReadFileBytes(path);
    unlink(path.c_str());
    return bytes;
}

Bytes Repeated(unsigned char byte, std::size_t count) { return Bytes(count, byte); }

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One full-width record as the file form holds it.
Bytes FileRecord(const Bytes &columns)
{
    Bytes record = {0x80, 0x00, 0x00, 0x80, 0x02};
    record.insert(record.end(), columns.begin(), columns.end());
    record.push_back(0x82);
    return record;
}

// The dots of a stream read back by position: the file form when
// 'fileForm', else the printer form.
std::vector<Bytes> DecodedBands(const Bytes &stream, bool fileForm)
{
    std::vector<Bytes> bands;
    std::size_t at = 0;
    while (bands.size() < 60) {
        EXPECT_LT(at, stream.size());
        if (at >= stream.size())
            break;
        Bytes columns(640, 0);
        if (stream[at] == 0x82 && !fileForm) {
            ++at;
        } else {
            EXPECT_EQ(stream[at], 0x80) << "at " << at;
            const std::size_t skip = stream[at + 1] | stream[at + 2] << 8;
            const std::size_t count = stream[at + 3] | stream[at + 4] << 8;
            EXPECT_LE(skip + count, 640u);
            for (std::size_t i = 0; i < count && skip + i < 640; ++i)
                columns[skip + i] = stream[at + 5 + i];
            EXPECT_EQ(stream[at + 5 + count], 0x82);
            at += count + 6;
        }
        bands.push_back(columns);
    }
    if (fileForm)
        EXPECT_EQ(Bytes(stream.begin() + at, stream.end()), Repeated(0x82, 8));
    else
        EXPECT_EQ(at, stream.size());
    return bands;
}

} // namespace

TEST_F(BandStreamTest, BlankScreen)
{
    EXPECT_EQ(DumpSize(), 38768);
    const Bytes file = FileDump();
    Bytes expected;
    for (int band = 0; band < 60; ++band) {
        const Bytes record = FileRecord(Repeated(0, 640));
        expected.insert(expected.end(), record.begin(), record.end());
    }
    const Bytes trailer = Repeated(0x82, 8);
    expected.insert(expected.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(file.size(), 38768u);
    EXPECT_EQ(file, expected);
    EXPECT_EQ(PrinterDump(), Repeated(0x82, 60));
    uint16_t skip = 1, used = 1;
    BuildBand(59, skip, used);
    EXPECT_EQ(skip, 640);
    EXPECT_EQ(used, 0);
}

TEST_F(BandStreamTest, PrinterRecordsOfSingleBands)
{
    struct Case {
        const char *name;
        int band;
        std::vector<std::pair<int, int>> dots; // x, row within the band
        Bytes record;
    } cases[] = {
        {"dot at column 10, top row", 0, {{10, 0}}, {0x80, 0x0A, 0x00, 0x01, 0x00, 0x01, 0x82}},
        {"bottom row at 3, top row at 5", 2, {{3, 7}, {5, 0}}, {0x80, 0x03, 0x00, 0x03, 0x00, 0x80, 0x00, 0x01, 0x82}},
        {"column 0", 5, {{0, 3}}, {0x80, 0x00, 0x00, 0x01, 0x00, 0x08, 0x82}},
        {"column 639", 59, {{639, 6}}, {0x80, 0x7F, 0x02, 0x01, 0x00, 0x40, 0x82}},
        {"a whole column", 1, {{300, 0}, {300, 1}, {300, 2}, {300, 3}, {300, 4}, {300, 5}, {300, 6}, {300, 7}},
         {0x80, 0x2C, 0x01, 0x01, 0x00, 0xFF, 0x82}},
    };
    for (const auto &c : cases) {
        ClearDevice();
        for (const auto &dot : c.dots)
            PutPixel(dot.first, 8 * c.band + dot.second, White);
        const Bytes expected =
            Joined({Repeated(0x82, c.band), c.record, Repeated(0x82, 59 - static_cast<std::size_t>(c.band))});
        EXPECT_EQ(PrinterDump(), expected) << c.name;
    }
}

TEST_F(BandStreamTest, FileRecordOfTheWorkedExample)
{
    PutPixel(3, 8 * 2 + 7, White);
    PutPixel(5, 8 * 2, White);
    const Bytes file = FileDump();
    ASSERT_EQ(file.size(), 38768u);
    Bytes columns(640, 0);
    columns[3] = 0x80;
    columns[5] = 0x01;
    const Bytes record(file.begin() + 2 * 646, file.begin() + 3 * 646);
    EXPECT_EQ(record, FileRecord(columns));
}

TEST_F(BandStreamTest, BandWithBothEdgesPrintsItsFileRecord)
{
    PutPixel(0, 8 * 4 + 1, 3);
    PutPixel(639, 8 * 4 + 7, 9);
    const Bytes printer = PrinterDump();
    const Bytes file = FileDump();
    const Bytes fileRecord(file.begin() + 4 * 646, file.begin() + 5 * 646);
    EXPECT_EQ(Bytes(printer.begin() + 4, printer.begin() + 4 + 646), fileRecord);
    EXPECT_EQ(printer.size(), 59u + 646u);
    uint16_t skip, used;
    BuildBand(4, skip, used);
    EXPECT_EQ(skip, 0);
    EXPECT_EQ(used, 640);
}

TEST_F(BandStreamTest, EveryColourButZeroIsADotAndRowsAreBits)
{
    for (int colour = 0; colour < ScreenColours; ++colour) {
        ClearDevice();
        PutPixel(20, 8, colour);
        uint16_t skip, used;
        BuildBand(1, skip, used);
        EXPECT_EQ(used, colour == 0 ? 0 : 21) << colour;
        EXPECT_EQ(BandBuffer[BandHeaderSize + 20], colour == 0 ? 0 : 1) << colour;
    }
    for (int row = 0; row < 8; ++row) {
        ClearDevice();
        PutPixel(7, 16 + row, White);
        uint16_t skip, used;
        BuildBand(2, skip, used);
        EXPECT_EQ(BandBuffer[BandHeaderSize + 7], 1 << row) << row;
        EXPECT_EQ(skip, 7);
        EXPECT_EQ(used, 8);
    }
}

// Both forms read back by position give the dots of any picture.
TEST_F(BandStreamTest, BothFormsCarryTheWholePicture)
{
    std::mt19937 random(12345);
    for (int i = 0; i < 3000; ++i)
        PutPixel(static_cast<int>(random() % 640), static_cast<int>(random() % 480), static_cast<int>(random() % 16));
    SetColor(Green);
    Line(0, 0, 639, 479); // dots at both ends of many bands
    for (const bool fileForm : {true, false}) {
        const std::vector<Bytes> bands = DecodedBands(fileForm ? FileDump() : PrinterDump(), fileForm);
        ASSERT_EQ(bands.size(), 60u);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                ASSERT_EQ((bands[y / 8][x] >> (y % 8)) & 1, GetPixel(x, y) != 0 ? 1 : 0)
                    << (fileForm ? "file" : "printer") << " form at " << x << "," << y;
    }
}

TEST_F(BandStreamTest, FileDumpGoesWhereTheFileStands)
{
    const std::string path = TemporaryPath();
    const int fd = open(path.c_str(), O_RDWR | O_TRUNC);
    ASSERT_EQ(write(fd, "slot-one", 8), 8);
    WriteFileDump(fd);
    close(fd);
    const Bytes bytes = ReadFileBytes(path);
    unlink(path.c_str());
    ASSERT_EQ(bytes.size(), 8u + 38768u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "slot-one");
    EXPECT_EQ(bytes[8], 0x80);
}

TEST_F(BandStreamTest, FailedWriteStopsWithItsRunTimeError)
{
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    EXPECT_EXIT(WriteFileDump(full), ::testing::ExitedWithCode(101), "");
    close(full);
    const int readOnly = open("/dev/null", O_RDONLY);
    EXPECT_EXIT(WriteFileDump(readOnly), ::testing::ExitedWithCode(6), "");
    close(readOnly);
}

// Writes a file dump into a file that cannot grow beyond 'limit' bytes,
// so that one write stops short.
void DumpIntoFileOfAtMost(const std::string &path, rlim_t limit)
{
    signal(SIGXFSZ, SIG_IGN);
    const rlimit size = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
    WriteFileDump(fd);
}

TEST_F(BandStreamTest, ShortWriteStopsAndKeepsWhatWasWritten)
{
    const std::string path = TemporaryPath();
    EXPECT_EXIT(DumpIntoFileOfAtMost(path, 1000), ::testing::ExitedWithCode(101), "");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 1000);
    unlink(path.c_str());
}

// Keys on standard input: a pipe on descriptor 0.
class WaitingKeyTest : public BandStreamTest {
protected:
    StandardInputPipe input;
    void SetUp() override
    {
        BandStreamTest::SetUp();
        ASSERT_TRUE(OpenStandardInputPipe(input));
        keyWriter = input.writer;
        PutPixel(100, 100, White);
    }
    void TearDown() override
    {
        CloseStandardInputPipe(input);
        BandStreamTest::TearDown();
    }
};

TEST_F(WaitingKeyTest, KeyWaitingAtTheStartWritesNothingAndStaysUnread)
{
    ASSERT_EQ(write(keyWriter, "n\n", 2), 2);
    EXPECT_TRUE(PrinterDump().empty());
    EXPECT_EQ(ReadInputLine(255), "n");
}

TEST_F(WaitingKeyTest, ByteInTheInputBufferCountsAsKey)
{
    StandardInput.buffer[0] = 'x';
    StandardInput.length = 1;
    EXPECT_TRUE(PrinterDump().empty());
    EXPECT_TRUE(HasBufferedByte(StandardInput));
}

TEST_F(WaitingKeyTest, KeyDuringTheDumpEndsItAfterTheCurrentBand)
{
    printed.clear();
    WritePrinterDump(PressKeyAfterEightBytes);
    // Bands 0 to 11 are blank; the key comes with the eighth, so the dump
    // ends before band 8.
    EXPECT_EQ(printed, Repeated(0x82, 8));
}

TEST_F(WaitingKeyTest, EndOfInputIsNoKey)
{
    close(keyWriter);
    keyWriter = open("/dev/null", O_WRONLY);
    EXPECT_EQ(PrinterDump().size(), 59u + 7u);
}

TEST_F(WaitingKeyTest, FileFormIgnoresKeys)
{
    ASSERT_EQ(write(keyWriter, "n\n", 2), 2);
    EXPECT_EQ(FileDump().size(), 38768u);
}
