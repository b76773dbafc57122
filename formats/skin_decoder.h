#pragma once
// PCX and BMP skin pictures into top-down RGB. The format is told by the
// first bytes, never by the file name.

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

// Bytes of a file that hold every header field CheckSkinHeader looks at.
constexpr size_t kSkinHeaderBytes = 128;

// Decodes PCX (version 5, one plane of 8-bit indices, run-length coded,
// 256-colour palette at the end) and BMP (8-bit uncompressed or run-length,
// 24-bit uncompressed). Fills pixels, width and height; fileName stays
// empty. Refusals: NotSkin or SkinTooLarge (the user is told),
// UnsupportedBmpDepth (refused silently).
Result<SkinImage> DecodeSkinImage(std::span<const uint8_t> bytes);

// What the first bytes of a picture file say: fine when the format, depth
// and size are ones DecodeSkinImage takes, otherwise its refusal. head holds
// the first kSkinHeaderBytes of the file (or the whole of a shorter one).
Status CheckSkinHeader(std::span<const uint8_t> head);

// Reads and decodes the file at path and names the picture after it; the
// header is checked before the pixel data is read. CannotOpen when the file
// cannot be read (refused silently).
Result<std::shared_ptr<const SkinImage>> ReadSkinImage(const std::string& path);

}  // namespace meshara
