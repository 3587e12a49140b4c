#include "bandstream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "runerror.h"

unsigned char BandBuffer[BandHeaderSize + ScreenWidth + 1];

namespace {

const int BandRows = 8;

// The screen width, capped at what BandBuffer holds.
int DumpWidth()
{
    const int width = GetMaxX() + 1;
    return width < ScreenWidth ? width : ScreenWidth;
}

int BandCount() { return (GetMaxY() + 1) / BandRows; }

void SetBandHeader(uint16_t skip, uint16_t count)
{
    BandBuffer[0] = BandStart;
    BandBuffer[1] = static_cast<unsigned char>(skip & 0xFF);
    BandBuffer[2] = static_cast<unsigned char>(skip >> 8);
    BandBuffer[3] = static_cast<unsigned char>(count & 0xFF);
    BandBuffer[4] = static_cast<unsigned char>(count >> 8);
}

// Writes the bytes in one write; a failure, or a write that stops short,
// ends the program with its run-time error (a short write counts as a
// full disk).
void WriteWhole(int fd, const unsigned char *bytes, std::size_t length)
{
    ssize_t done;
    do
        done = write(fd, bytes, length);
    while (done < 0 && errno == EINTR);
    if (done < 0)
        RunErrorFromErrno(errno);
    if (static_cast<std::size_t>(done) != length)
        RunErrorFromErrno(ENOSPC);
}

} // namespace

void BuildBand(int band, uint16_t &skip, uint16_t &used)
{
    const int width = DumpWidth();
    const int top = band * BandRows;
    unsigned char *columns = BandBuffer + BandHeaderSize;
    skip = 0;
    int lastDot = -1;
    for (int x = 0; x < width; ++x) {
        unsigned char byte = 0;
        for (int j = 0; j < BandRows; ++j)
            if (GetPixel(x, top + j) != 0)
                byte |= static_cast<unsigned char>(1u << j);
        columns[x] = byte;
        if (byte != 0)
            lastDot = x;
        else if (lastDot < 0)
            ++skip;
    }
    used = static_cast<uint16_t>(lastDot + 1);
}

void WriteFileDump(int fd)
{
    const int width = DumpWidth();
    const int bands = BandCount();
    for (int band = 0; band < bands; ++band) {
        uint16_t skip, used;
        BuildBand(band, skip, used);
        SetBandHeader(0, static_cast<uint16_t>(width));
        BandBuffer[BandHeaderSize + width] = BandEnd;
        WriteWhole(fd, BandBuffer, static_cast<std::size_t>(width) + BandHeaderSize + 1);
    }
    unsigned char trailer[BandTrailerSize];
    std::memset(trailer, BandEnd, sizeof trailer);
    WriteWhole(fd, trailer, sizeof trailer);
}

void WritePrinterDump(void (*writeByte)(unsigned char))
{
    const int bands = BandCount();
    for (int band = 0; band < bands; ++band) {
        if (KeyPressed())
            return;
        uint16_t skip, used;
        BuildBand(band, skip, used);
        if (used == 0) {
            writeByte(BandEnd);
            continue;
        }
        const uint16_t count = static_cast<uint16_t>(used - skip);
        std::memmove(BandBuffer + BandHeaderSize, BandBuffer + BandHeaderSize + skip, count);
        SetBandHeader(skip, count);
        BandBuffer[BandHeaderSize + count] = BandEnd;
        for (int i = 0; i < count + BandHeaderSize + 1; ++i)
            writeByte(BandBuffer[i]);
    }
}

long DumpSize()
{
    const long recordSize = GetMaxX() + 1 + BandHeaderSize + 1;
    return recordSize * BandCount() + BandTrailerSize;
}
