// Writing a picture of dots as a PNG image.
#pragma once
#include <cstdio>

#include "banddecode.h"

// Writes the picture to the open stream as a 1-bit greyscale PNG image of
// the picture's size: a dot is black, blank paper white.  Returns false
// when libpng or the stream reports a failure (the stream may then hold
// part of an image); the caller closes the stream.
bool WriteDotsPng(const BandImage &image, std::FILE *out);
