#pragma once
// The decoders behind DecodeSkinImage, one per format, and what they share:
// the size limits, the refusal with its detail, and the one way a colour
// field of a few bits becomes a byte. Only the formats layer includes this.

#include <array>
#include <cstdint>
#include "formats/format_names.h"
#include <span>
#include <string>

#include "formats/skin_decoder.h"
#include "formats/skin_image.h"
#include "io/result.h"

namespace meshara::pictures {

// A picture of this format that cannot be decoded, and why.
inline Failure Broken(const char* format, std::string detail) {
    return Failure{ErrorKind::Damaged, std::move(detail), format};
}
// One in a variant of the format no reader here takes.
inline Failure Unsupported(const char* format, std::string detail) {
    return Failure{ErrorKind::Unsupported, std::move(detail), format};
}

// Refuses sizes we will not allocate (kMaxSkinSide, and maxPixels, at most
// kMaxSkinPixels); every decoder asks before it allocates the picture.
Status SizeProblem(const char* format, int64_t width, int64_t height, int64_t maxPixels = kMaxSkinPixels);

// A Check...Header for a format whose header reader fills a width and a
// height: the reader's own refusals, then the size against maxPixels.
template <typename Header>
Status CheckHeaderSize(const char* format, std::span<const uint8_t> head, int64_t maxPixels,
                       Status (*readHeader)(std::span<const uint8_t>, Header&)) {
    Header h{};
    if (Status header = readHeader(head, h); !header) return header;
    return SizeProblem(format, h.width, h.height, maxPixels);
}

// A picture of that size, every pixel black.
SkinImage MakePicture(int32_t width, int32_t height);

// A field of up to 32 bits whose largest value is max, as a byte, rounded to
// the nearest: 31 and 63 become 255, 16 of 31 becomes 132. The 5-bit
// channels of TGA and BMP and the masks of a BMP all go through here.
inline uint8_t ScaleToByte(uint32_t value, uint32_t max) {
    if (max == 0) return 0;
    return static_cast<uint8_t>((uint64_t{value} * 510 + max) / (uint64_t{max} * 2));
}

// The 256 colours of a PCX or BMP palette, by index, as red, green, blue.
using Palette = std::array<std::array<uint8_t, 3>, 256>;

// Each takes the whole file and returns the picture or why not; each Check
// takes the first bytes only and refuses what they already show, a picture
// of more than maxPixels included.
Result<SkinImage> DecodePcx(std::span<const uint8_t> bytes);
Status CheckPcxHeader(std::span<const uint8_t> head, int64_t maxPixels);
Result<SkinImage> DecodeBmp(std::span<const uint8_t> bytes);
Status CheckBmpHeader(std::span<const uint8_t> head, int64_t maxPixels);
Result<SkinImage> DecodePng(std::span<const uint8_t> bytes);
Status CheckPngHeader(std::span<const uint8_t> head, int64_t maxPixels);
Result<SkinImage> DecodeJpeg(std::span<const uint8_t> bytes);
Status CheckJpegHeader(std::span<const uint8_t> head, int64_t maxPixels);
Result<SkinImage> DecodeTga(std::span<const uint8_t> bytes);
Status CheckTgaHeader(std::span<const uint8_t> head, int64_t maxPixels);

}  // namespace meshara::pictures
