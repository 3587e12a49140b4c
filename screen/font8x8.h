// The 8 x 8 bitmap font of the graphics screen.
#pragma once
#include <cstdint>

const int FontFirst = 32;  // blank
const int FontLast = 126;  // tilde
const int FontCellSize = 8;

// The eight pixel rows of a character, top first, leftmost pixel in bit 7;
// all rows empty for a character without a glyph.
const uint8_t *GlyphOf(unsigned char character);
