#pragma once
// Skin pictures (PCX, BMP, PNG, JPEG, TGA) into top-down RGB. The format is
// told by the first bytes, never by the file name.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "formats/skin_image.h"
#include "io/result.h"

namespace meshara {

// Largest width or height accepted, and the most pixels a picture may have
// (8192 x 8192); larger pictures are refused before anything is allocated.
constexpr int32_t kMaxSkinSide = 16384;
constexpr int64_t kMaxSkinPixels = int64_t{8192} * 8192;

// Bytes of a file that hold every header field CheckSkinHeader looks at; a
// JPEG's frame header usually follows its tables within the first kilobyte
// (when it does not, the decoder checks it before allocating).
constexpr size_t kSkinHeaderBytes = 1024;

// Decodes PCX (version 5, one plane of 8-bit indices, run-length coded,
// 256-colour palette at the end), BMP (8-bit uncompressed or run-length;
// 16, 24 and 32-bit uncompressed, 16 and 32-bit with colour masks; rows
// bottom-up or, uncompressed, top-down), PNG (every colour type and depth,
// interlaced or not), JPEG (Huffman-coded baseline, extended or progressive;
// greyscale or colour) and TGA (colour-mapped, true-colour or greyscale,
// plain or run-length). Samples of 16 bits keep their high byte; alpha is
// dropped, never blended. Fills pixels, width and height; fileName stays
// empty. Refusals: NotThisFormat (no picture of these), Damaged, Unsupported (a
// variant not read: the user is told, but for BMP depths, refused silently)
// or TooLarge, each with its format (formats/format_names.h).
Result<SkinImage> DecodeSkinImage(std::span<const uint8_t> bytes);

// What the first bytes of a picture file say: fine when the format, depth
// and size are ones DecodeSkinImage takes and the picture has at most
// maxPixels, otherwise its refusal. head holds the first kSkinHeaderBytes of
// the file (or the whole of a shorter one).
Status CheckSkinHeader(std::span<const uint8_t> head, int64_t maxPixels = kMaxSkinPixels);

// Reads and decodes the file at path and names the picture after it; the
// header is checked before the pixel data is read, and a picture of more
// than maxPixels is refused (TooLarge) before it is decoded. CannotOpen
// when the file cannot be read (refused silently).
Result<std::shared_ptr<const SkinImage>> ReadSkinImage(const std::string& path,
                                                       int64_t maxPixels = kMaxSkinPixels);

// The same for a file opened already (a game file found by a search); path
// names the picture.
class PathInput;
Result<std::shared_ptr<const SkinImage>> ReadSkinImage(PathInput input, const std::string& path,
                                                       int64_t maxPixels = kMaxSkinPixels);

}  // namespace meshara
