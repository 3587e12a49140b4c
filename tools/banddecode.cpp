// Reading band streams back into pictures: the scans that check a stream
// byte by byte and the rendering of one picture into dots.
#include "banddecode.h"

#include <cstdio>

namespace {

// One band record as read from the stream.
struct BandRecord {
    size_t start = 0;   // offset of its 0x80
    unsigned skip = 0;
    unsigned count = 0;
};

bool Fail(StreamFault &fault, size_t offset, const std::string &text)
{
    fault.offset = offset;
    fault.text = text;
    return false;
}

// The unsigned 16-bit field at pos, low byte first.  Assumes two bytes.
unsigned FieldAt(const unsigned char *data, size_t pos)
{
    return data[pos] | (unsigned(data[pos + 1]) << 8);
}

std::string Number(size_t value)
{
    return std::to_string(value);
}

// Reads the band record that starts at pos (where the caller found 0x80)
// and moves pos behind its end byte.  In the file form the record must span
// the full width: skip 0 and count equal to width, and a width of 0 is
// taken from this record's count.  In the printer form skip + count must
// stay within the width.
bool ReadBandRecord(const unsigned char *data, size_t size, size_t &pos, int &width,
                    bool fileForm, BandRecord &record, StreamFault &fault)
{
    const size_t start = pos;
    if (size - start < size_t(BandRecordHeaderSize))
        return Fail(fault, size, "stream ends inside the header of the band record at byte " +
                                     Number(start));
    const unsigned skip = FieldAt(data, start + 1);
    const unsigned count = FieldAt(data, start + 3);
    if (fileForm) {
        if (skip != 0)
            return Fail(fault, start + 1,
                        "skip " + Number(skip) + " in a hard-copy file, expected 0 (full-width band)");
        if (width == 0) {
            if (count == 0)
                return Fail(fault, start + 3, "count 0, a band needs at least one column");
            width = int(count);
        } else if (count != unsigned(width)) {
            return Fail(fault, start + 3,
                        "count " + Number(count) + ", expected " + Number(width) +
                            " (the width of the first band)");
        }
    } else {
        if (count > unsigned(width))
            return Fail(fault, start + 3,
                        "count " + Number(count) + " beyond the width " + Number(width));
        if (skip + count > unsigned(width))
            return Fail(fault, start + 1,
                        "skip " + Number(skip) + " + count " + Number(count) +
                            " beyond the width " + Number(width));
    }
    const size_t endByte = start + BandRecordHeaderSize + count;
    if (size - start <= size_t(BandRecordHeaderSize) + count)
        return Fail(fault, size,
                    "stream ends inside the band record at byte " + Number(start) + " (count " +
                        Number(count) + ")");
    if (data[endByte] != BandCloseByte)
        return Fail(fault, endByte,
                    "expected " + ByteText(BandCloseByte) + " (band end), found " +
                        ByteText(data[endByte]));
    record.start = start;
    record.skip = skip;
    record.count = count;
    pos = endByte + 1;
    return true;
}

// Reads one band of the printer form at pos: a record, or the blank-band
// byte (then record.count is 0).  Assumes pos < size.
bool ReadPrinterBand(const unsigned char *data, size_t size, size_t &pos, int width,
                     BandRecord &record, StreamFault &fault)
{
    if (data[pos] == BandCloseByte) {
        record = BandRecord();
        record.start = pos;
        ++pos;
        return true;
    }
    if (data[pos] != BandOpenByte)
        return Fail(fault, pos,
                    "expected " + ByteText(BandOpenByte) + " (band start) or " +
                        ByteText(BandCloseByte) + " (blank band), found " + ByteText(data[pos]));
    return ReadBandRecord(data, size, pos, width, false, record, fault);
}

// Reads the eight trailer bytes of a dump at pos.
bool ReadTrailer(const unsigned char *data, size_t size, size_t &pos, StreamFault &fault)
{
    for (int i = 0; i < DumpTrailerSize; ++i, ++pos) {
        if (pos >= size)
            return Fail(fault, size, "stream ends inside the trailer");
        if (data[pos] != BandCloseByte)
            return Fail(fault, pos,
                        "expected " + ByteText(BandCloseByte) + " (trailer), found " +
                            ByteText(data[pos]));
    }
    return true;
}

bool PictureTooLarge(long width, long height)
{
    return width * height > MaxPicturePixels;
}

std::string TooLargeText(long width, long height)
{
    return "a picture of " + Number(size_t(width)) + " x " + Number(size_t(height)) +
           " pixels is too large";
}

// Sets the dots of one record into band 'band' of the picture.
void PutRecordDots(const unsigned char *data, const BandRecord &record, int band,
                   BandImage &image)
{
    const unsigned char *columns = data + record.start + BandRecordHeaderSize;
    for (unsigned c = 0; c < record.count; ++c) {
        const int x = int(record.skip + c);
        for (int j = 0; j < 8; ++j)
            if (columns[c] & (1u << j))
                image.dots[size_t(8 * band + j) * size_t(image.width) + size_t(x)] = 1;
    }
}

} // namespace

std::string ByteText(unsigned char value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", unsigned(value));
    return text;
}

bool ScanFileStream(const unsigned char *data, size_t size, BandLayout &layout,
                    StreamFault &fault)
{
    layout = BandLayout();
    if (size == 0)
        return Fail(fault, 0, "empty stream, no band");

    // The first dump gives the screen size: records up to the trailer.
    int width = 0;
    int bands = 0;
    size_t pos = 0;
    BandRecord record;
    for (;;) {
        if (pos >= size)
            return Fail(fault, size, "stream ends before the trailer");
        if (data[pos] == BandCloseByte && bands > 0)
            break;
        if (data[pos] != BandOpenByte)
            return Fail(fault, pos,
                        "expected " + ByteText(BandOpenByte) + " (band start)" +
                            (bands > 0 ? " or " + ByteText(BandCloseByte) + " (trailer)" : "") +
                            ", found " + ByteText(data[pos]));
        if (!ReadBandRecord(data, size, pos, width, true, record, fault))
            return false;
        ++bands;
        if (PictureTooLarge(width, 8L * bands))
            return Fail(fault, record.start, TooLargeText(width, 8L * bands));
    }
    if (!ReadTrailer(data, size, pos, fault))
        return false;
    layout.width = width;
    layout.height = 8 * bands;
    layout.bandsPerPicture = bands;
    layout.pictureStarts.push_back(0);

    // Every further dump has the same number of full-width records.
    while (pos < size) {
        layout.pictureStarts.push_back(pos);
        for (int b = 0; b < bands; ++b) {
            if (pos >= size)
                return Fail(fault, size,
                            "stream ends after " + Number(size_t(b)) + " of " +
                                Number(size_t(bands)) + " bands of a dump");
            if (data[pos] != BandOpenByte)
                return Fail(fault, pos,
                            "expected " + ByteText(BandOpenByte) + " (band start), found " +
                                ByteText(data[pos]));
            if (!ReadBandRecord(data, size, pos, width, true, record, fault))
                return false;
        }
        if (!ReadTrailer(data, size, pos, fault))
            return false;
    }
    return true;
}

bool ScanPrinterStream(const unsigned char *data, size_t size, int width, int height,
                       BandLayout &layout, StreamFault &fault)
{
    layout = BandLayout();
    if (width < 1 || width > 0xFFFF || height < 8 || height > 0xFFFF)
        return Fail(fault, 0,
                    "screen size " + Number(size_t(width < 0 ? 0 : width)) + " x " +
                        Number(size_t(height < 0 ? 0 : height)) +
                        " out of range (width 1 to 65535, height 8 to 65535)");
    if (PictureTooLarge(width, height))
        return Fail(fault, 0, TooLargeText(width, height));
    if (size == 0)
        return Fail(fault, 0, "empty stream, no band");

    const int bands = height / 8;
    size_t pos = 0;
    long band = 0;
    BandRecord record;
    while (pos < size) {
        if (band % bands == 0)
            layout.pictureStarts.push_back(pos);
        if (!ReadPrinterBand(data, size, pos, width, record, fault)) {
            layout.pictureStarts.clear();
            return false;
        }
        ++band;
    }
    layout.printerForm = true;
    layout.width = width;
    layout.height = height;
    layout.bandsPerPicture = bands;
    return true;
}

BandImage RenderPicture(const unsigned char *data, size_t size, const BandLayout &layout,
                        size_t index)
{
    BandImage image;
    image.width = layout.width;
    image.height = layout.height;
    image.dots.assign(size_t(layout.width) * size_t(layout.height), 0);
    if (index >= layout.pictureStarts.size())
        return image;

    size_t pos = layout.pictureStarts[index];
    int width = layout.width;
    BandRecord record;
    StreamFault fault;
    for (int b = 0; b < layout.bandsPerPicture && pos < size; ++b) {
        // The scan has accepted these bytes; a refusal here can only mean
        // a layout that does not belong to the stream, and ends the picture.
        bool ok;
        if (layout.printerForm)
            ok = ReadPrinterBand(data, size, pos, width, record, fault);
        else
            ok = data[pos] == BandOpenByte &&
                 ReadBandRecord(data, size, pos, width, true, record, fault);
        if (!ok)
            break;
        PutRecordDots(data, record, b, image);
    }
    return image;
}

bool DecodeBandStream(const std::vector<unsigned char> &stream, bool printerForm, int width,
                      int height, std::vector<BandImage> &pictures, StreamFault &fault)
{
    pictures.clear();
    BandLayout layout;
    const bool ok = printerForm
                        ? ScanPrinterStream(stream.data(), stream.size(), width, height, layout,
                                            fault)
                        : ScanFileStream(stream.data(), stream.size(), layout, fault);
    if (!ok)
        return false;
    for (size_t i = 0; i < layout.pictureStarts.size(); ++i)
        pictures.push_back(RenderPicture(stream.data(), stream.size(), layout, i));
    return true;
}
