// The band stream: the screen as a raster for a printer head of eight dot
// rows, cut into bands of eight pixel rows, each band one record of column
// bytes.  A pixel of colour 0 is blank paper, every other colour a dot; in
// a column byte bit j is the row j of the band (bit 0 the top row).
//
// A band record: 0x80, skip (2 bytes, low byte first), count (2 bytes),
// count column bytes for the columns skip to skip + count - 1, then 0x82.
//
// The file form holds one full-width record (skip 0, count W) per band and
// a trailer of eight bytes 0x82, so every dump of a screen has the length
// DumpSize.  The printer form leaves out the blank columns at both ends of
// a band and writes a blank band as the single byte 0x82.
#pragma once
#include <cstdint>

#include "screen.h"

const unsigned char BandStart = 0x80;
const unsigned char BandEnd = 0x82;
const int BandHeaderSize = 5;
const int BandTrailerSize = 8;

// The record being built: the header, the column bytes of one band from
// offset BandHeaderSize on, and room for the end byte.
extern unsigned char BandBuffer[BandHeaderSize + ScreenWidth + 1];

// Fills the column bytes of BandBuffer for band 'band' (rows 8 band to
// 8 band + 7) from the screen.  skip is the number of blank columns at the
// left, used the position of the last column with a dot + 1; a blank band
// gives used 0 and skip W.
void BuildBand(int band, uint16_t &skip, uint16_t &used);

// Writes the file form of the screen to the open descriptor at its current
// position: one write per record and one for the trailer.  A failed or
// short write stops the program with the run-time error of the write.
void WriteFileDump(int fd);

// Writes the printer form of the screen byte by byte through writeByte.
// Before each band it looks for a waiting key press and, when there is one,
// stops at once without taking the key.
void WritePrinterDump(void (*writeByte)(unsigned char));

// The length of one file-form dump of the screen: (W + 6) * (H div 8) + 8.
long DumpSize();
