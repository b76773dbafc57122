#include "formats/png_writer.h"

#include <png.h>

#include <cstdio>

namespace meshara {

namespace {
void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}
}  // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& pixels, int channels) {
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
        pixels.size() != static_cast<size_t>(width) * height * channels)
        return {};
    const std::vector<uint8_t>& rgb = pixels;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return {};
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> encoded;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    // libpng reports errors by longjmp; nothing with a destructor is created below this point.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &encoded, AppendToVector, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * width * channels]);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return encoded;
}

}  // namespace meshara
