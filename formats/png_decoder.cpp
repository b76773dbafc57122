// PNG pictures through libpng's low-level reader, every colour type and
// depth brought to 8-bit RGB by libpng's own transforms: palettes and grey
// expanded, 16-bit samples cut to their high byte, alpha dropped (never
// composited onto a background, which would change the colours).

#include <png.h>
#include "formats/format_names.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include "formats/picture_decoders.h"
#include "formats/skin_decoder.h"
#include "io/byte_reader.h"

namespace meshara::pictures {

namespace {

constexpr size_t kSignatureSize = 8;
constexpr size_t kIhdrEnd = kSignatureSize + 8 + 13;  // signature, chunk length and type, IHDR fields
// Deflate stands for at most 258 bytes with two bits, so no stream inflates
// to more than 1032 times its size.
constexpr uint64_t kMostInflation = 1032;

struct PngHeader {
    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 0, colourType = 0;
};

bool ValidDepth(uint8_t colourType, uint8_t depth) {
    switch (colourType) {
        case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6: return depth == 8 || depth == 16;
        default: return false;
    }
}

int Channels(uint8_t colourType) {
    switch (colourType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

// The signature is the sniffer's; IHDR must come first.
Status ReadPngHeader(std::span<const uint8_t> bytes, PngHeader& h) {
    if (bytes.size() < kIhdrEnd)
        return Broken(format::kPng, "PNG file of " + std::to_string(bytes.size()) + " bytes cannot hold its header");
    ByteReader r(bytes);
    r.Seek(kSignatureSize);
    const uint32_t length = r.U32Be(), type = r.U32Be();
    if (length != 13 || type != 0x49484452)  // "IHDR"
        return Broken(format::kPng, "PNG file does not start with its header chunk");
    h.width = r.U32Be();
    h.height = r.U32Be();
    h.bitDepth = r.U8();
    h.colourType = r.U8();
    if (!ValidDepth(h.colourType, h.bitDepth))
        return Broken(format::kPng, "PNG colour type " + std::to_string(h.colourType) + " with " + std::to_string(h.bitDepth) +
                       "-bit samples does not exist");
    return SizeProblem(format::kPng, h.width, h.height);
}

// The bytes of every image-data chunk together, walking the chunks up to
// the end marker or as far as the file goes (libpng refuses what is missing).
uint64_t ImageDataBytes(std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    r.Seek(kSignatureSize);
    uint64_t total = 0;
    while (r.Remaining() >= 8) {
        const uint32_t length = r.U32Be(), type = r.U32Be();
        if (type == 0x49444154) total += length;  // "IDAT"
        if (type == 0x49454E44) break;            // "IEND"
        r.Skip(uint64_t{length} + 4);             // data and CRC
    }
    return total;
}

struct PngSource {
    std::span<const uint8_t> bytes;
    size_t position = 0;
    char message[200] = {};
};

void ReadFromSpan(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->bytes.size() - source->position) png_error(png, "the file ends early");
    std::memcpy(out, source->bytes.data() + source->position, count);
    source->position += count;
}

// libpng stops at errors by longjmp, back into ReadRows.
[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::strncpy(source->message, message, sizeof source->message - 1);
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

// Reads the picture into rows. Nothing with a destructor lives in this
// frame, so the longjmp of an error skips nothing; libpng's own memory goes
// with its structures. Returns false with source.message set on an error.
bool ReadRows(PngSource& source, const PngHeader& header, png_bytep* rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    if (!png) {
        std::strcpy(source.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, ReadFromSpan);
    png_set_user_limits(png, kMaxSkinSide, kMaxSkinSide);
    png_read_info(png, info);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // What libpng will write must be what the rows were made for.
    if (png_get_image_width(png, info) != header.width || png_get_image_height(png, info) != header.height ||
        png_get_rowbytes(png, info) != size_t{header.width} * 3)
        png_error(png, "the transformed rows are not 8-bit RGB");
    // What follows the image data holds no pixels and is not read.
    png_read_image(png, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

Status CheckPngHeader(std::span<const uint8_t> head, int64_t maxPixels) {
    return CheckHeaderSize(format::kPng, head, maxPixels, ReadPngHeader);
}

Result<SkinImage> DecodePng(std::span<const uint8_t> bytes) {
    PngHeader h;
    if (Status header = ReadPngHeader(bytes, h); !header) return header.Why();
    // Checked before the picture is allocated: the compressed data must be
    // able to inflate to at least the picture's samples.
    const uint64_t samples = (uint64_t{h.width} * h.height * Channels(h.colourType) * h.bitDepth + 7) / 8;
    if (ImageDataBytes(bytes) * kMostInflation < samples) return Broken(format::kPng, "PNG image data is too short for the picture");

    SkinImage image = MakePicture(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height));
    std::vector<png_bytep> rows(h.height);
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = image.pixels.data() + y * h.width * 3;
    PngSource source{bytes};
    if (!ReadRows(source, h, rows.data())) return Broken(format::kPng, std::string("PNG: ") + source.message);
    return image;
}

}  // namespace meshara::pictures
