// Small builders of band streams for the tests: records from column bytes,
// and both forms of a whole picture of dots, written straight from the byte
// layout so that the reader is checked against an independent writer.
#pragma once
#include <vector>

#include "banddecode.h"

using Bytes = std::vector<unsigned char>;

inline void Append(Bytes &to, const Bytes &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// 0x80, skip, count (low byte first), the column bytes, 0x82.
inline Bytes BandRecordBytes(unsigned skip, const Bytes &columns)
{
    const unsigned count = unsigned(columns.size());
    Bytes record = {0x80, (unsigned char)(skip & 0xFF), (unsigned char)(skip >> 8),
                    (unsigned char)(count & 0xFF), (unsigned char)(count >> 8)};
    Append(record, columns);
    record.push_back(0x82);
    return record;
}

inline Bytes Trailer()
{
    return Bytes(8, 0x82);
}

inline BandImage BlankImage(int width, int height)
{
    BandImage image;
    image.width = width;
    image.height = height;
    image.dots.assign(size_t(width) * size_t(height), 0);
    return image;
}

inline void SetDot(BandImage &image, int x, int y)
{
    image.dots[size_t(y) * size_t(image.width) + size_t(x)] = 1;
}

// The column bytes of band b of the picture.
inline Bytes BandColumns(const BandImage &image, int band)
{
    Bytes columns(size_t(image.width), 0);
    for (int x = 0; x < image.width; ++x)
        for (int j = 0; j < 8; ++j)
            if (image.dots[size_t(8 * band + j) * size_t(image.width) + size_t(x)])
                columns[size_t(x)] |= (unsigned char)(1u << j);
    return columns;
}

// One file-form dump: every band full width, then the trailer.
inline Bytes FileDumpOf(const BandImage &image)
{
    Bytes dump;
    for (int b = 0; b < image.height / 8; ++b)
        Append(dump, BandRecordBytes(0, BandColumns(image, b)));
    Append(dump, Trailer());
    return dump;
}

// One printer-form dump of the first 'bands' bands (all by default):
// blank columns at both ends left out, a blank band as the byte 0x82.
inline Bytes PrinterDumpOf(const BandImage &image, int bands = -1)
{
    if (bands < 0)
        bands = image.height / 8;
    Bytes dump;
    for (int b = 0; b < bands; ++b) {
        const Bytes columns = BandColumns(image, b);
        size_t first = 0, end = columns.size();
        while (first < end && columns[first] == 0)
            ++first;
        while (end > first && columns[end - 1] == 0)
            --end;
        if (first == end)
            dump.push_back(0x82);
        else
            Append(dump, BandRecordBytes(unsigned(first),
                                         Bytes(columns.begin() + long(first),
                                               columns.begin() + long(end))));
    }
    return dump;
}
