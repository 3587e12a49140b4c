// Writing a picture of dots as a 1-bit greyscale PNG image with libpng.
#include "dotpng.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace {

// Packs one picture row into PNG bits: eight pixels a byte, the leftmost in
// the high bit, 1 for white (blank paper) and 0 for black (a dot).
void PackRow(const BandImage &image, int y, std::vector<png_byte> &row)
{
    const unsigned char *dots = image.dots.data() + size_t(y) * size_t(image.width);
    for (int x = 0; x < image.width; x += 8) {
        png_byte bits = 0;
        for (int k = 0; k < 8; ++k) {
            const bool white = x + k >= image.width || !dots[x + k];
            if (white)
                bits |= png_byte(0x80 >> k);
        }
        row[size_t(x / 8)] = bits;
    }
}

// Writes the image; libpng reports its failures by a long jump back here,
// so nothing with a destructor is created after setjmp.
bool WritePng(png_structp png, png_infop info, const BandImage &image,
              std::vector<png_byte> &row, std::FILE *out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, out);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        PackRow(image, y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

} // namespace

bool WriteDotsPng(const BandImage &image, std::FILE *out)
{
    if (image.width < 1 || image.height < 1 ||
        image.dots.size() != size_t(image.width) * size_t(image.height))
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(size_t(image.width + 7) / 8);
    bool ok = WritePng(png, info, image, row, out);
    png_destroy_write_struct(&png, &info);
    if (ok && std::fflush(out) != 0)
        ok = false;
    return ok && !std::ferror(out);
}
