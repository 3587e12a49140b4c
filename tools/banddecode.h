// Reading band streams back into pictures.
//
// A band stream is the raster of a screen cut into bands of eight pixel
// rows.  Each band is a record: 0x80, skip (2 bytes, low byte first), count
// (2 bytes), count column bytes for the columns skip to skip + count - 1,
// then 0x82.  In a column byte bit j is row j of the band (bit 0 the top).
//
// Two forms exist:
// - the file form (a hard-copy file): a sequence of dumps, each made of N
//   full-width records (skip 0, count W) and a trailer of eight 0x82 bytes.
//   The screen is W x 8N pixels and every dump of a file has that size.
// - the printer form (a print job): trimmed records, a blank band written as
//   the single byte 0x82, and no trailer; copies follow each other with
//   nothing between them, so the screen size has to be known beforehand.
//   A key press may have cut the last copy short; its missing bands are
//   blank.
//
// Reading goes in two steps: a scan checks the whole stream and notes where
// each picture begins, then pictures are rendered one at a time.  Neither
// step reads outside the bytes given.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

const unsigned char BandOpenByte = 0x80;
const unsigned char BandCloseByte = 0x82;
const int BandRecordHeaderSize = 5;
const int DumpTrailerSize = 8;
const int DefaultScreenWidth = 640;
const int DefaultScreenHeight = 480;
// The largest picture rendered, in pixels: a sanity limit against absurd
// screen sizes, far above any real screen.
const long MaxPicturePixels = 64L * 1024 * 1024;

// A picture: dots[y * width + x] is 1 where the screen had a dot, else 0.
struct BandImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> dots;
};

// Where the pictures of a checked stream lie.
struct BandLayout {
    bool printerForm = false;
    int width = 0;               // screen width W in pixels
    int height = 0;              // screen height in pixels
    int bandsPerPicture = 0;     // N = height div 8
    std::vector<size_t> pictureStarts;  // offset of each picture's first band
};

// What is wrong with a stream, and at which byte.
struct StreamFault {
    size_t offset = 0;
    std::string text;
};

// Checks a file-form stream (one or more dumps) and fills layout.  The
// screen size comes from the first dump.  Returns false and fills fault for
// an empty, damaged or truncated stream.
bool ScanFileStream(const unsigned char *data, size_t size, BandLayout &layout,
                    StreamFault &fault);

// Checks a printer-form stream for a screen of width x height pixels and
// fills layout; a last copy with fewer than height div 8 bands counts as a
// picture.  Returns false and fills fault for an empty, damaged or
// truncated stream, or a screen size out of range.
bool ScanPrinterStream(const unsigned char *data, size_t size, int width, int height,
                       BandLayout &layout, StreamFault &fault);

// Renders picture 'index' (from 0) of a stream that the matching scan
// accepted: W x H dots, rows below the last band and bands missing from a
// cut copy blank.
BandImage RenderPicture(const unsigned char *data, size_t size, const BandLayout &layout,
                        size_t index);

// Checks the stream in the form asked for and renders every picture, for
// callers that hold small streams (width and height matter only for the
// printer form).  Returns false and fills fault when the scan refuses it.
bool DecodeBandStream(const std::vector<unsigned char> &stream, bool printerForm, int width,
                      int height, std::vector<BandImage> &pictures, StreamFault &fault);

// "0x" and two lower-case hexadecimal digits, as the fault texts show bytes.
std::string ByteText(unsigned char value);
